#!/bin/sh
# The browser is the judge that matters for web formats: a photograph is
# converted by pixmill-cli to PNG, GIF (through the 256-colour conversion),
# WebP and AVIF, each is shown by headless Chromium, and every screenshot
# must match the screenshot of the source within a tolerance (and differ
# clearly from a blank page). Exit 77 (skipped) without Chromium, a
# photograph or ImageMagick.
# Usage: browser_check.sh BIN_DIR WORK_DIR
set -eu
bin=$1
work=$2
photo=/usr/share/backgrounds/mate/nature/Garden.jpg
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ] || [ ! -f "$photo" ] || ! command -v compare >/dev/null; then
  echo "skipped: needs chromium, ImageMagick and $photo"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
convert "$photo" -resize 800x500 photo.jpg

shot() { # shot NAME SOURCE
  printf '<html><body style="margin:0"><img src="%s" style="display:block;width:640px;height:400px"></body></html>' \
    "$2" >"$1.html"
  "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=640,400 \
    --user-data-dir="$work/profile" --screenshot="$work/$1.png" "file://$work/$1.html" \
    >/dev/null 2>&1
  test -s "$1.png"
}

# The normalised root-mean-square difference of two screenshots.
difference() {
  compare -metric RMSE "$1" "$2" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/'
}

shot reference photo.jpg
convert -size 640x400 xc:white blank.png
status=0
for ext in png gif webp avif; do
  "$bin/pixmill-cli" convert photo.jpg "photo.$ext"
  shot "$ext" "photo.$ext"
  near=$(difference reference.png "$ext.png")
  far=$(difference blank.png "$ext.png")
  echo "$ext: difference from the source $near, from a blank page $far"
  # 256 colours leave more difference than the lossy codings at their defaults.
  limit=0.02
  [ "$ext" = gif ] && limit=0.03
  if ! awk -v near="$near" -v far="$far" -v limit="$limit" \
    'BEGIN { exit !(near < limit && far > 0.1) }'; then
    echo "$ext: Chromium does not show the picture"
    status=1
  fi
done
exit $status
