#!/bin/sh
# The main job: builds Pixmill and runs the command-line front end over the
# JPEG photographs of /usr/share/backgrounds/mate/nature/ (Debian package
# mate-backgrounds): each is resampled to 800 pixels wide keeping its aspect
# ratio, sharpened, and saved as JPEG and as TIFF into ./demo-out.
set -eu
cd "$(dirname "$0")/.."
SOURCE="${PIXMILL_DEMO_SOURCE:-/usr/share/backgrounds/mate/nature}"
OUT="${PIXMILL_DEMO_OUT:-demo-out}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"

mkdir -p "$OUT"
CLI=build/bin/pixmill-cli
# The demo's settings live in its own file, so a user's settings stay as they are.
SETTINGS="$OUT/settings.ini"
set -- --settings "$SETTINGS" \
  --op Resample --set Resample.width=800 --set Resample.height=32767 \
  --set Resample.keepAspect=1 --op "Filter Sharpen"

count=0
for photo in "$SOURCE"/*.jpg; do
  [ -e "$photo" ] || { echo "no photographs in $SOURCE" >&2; exit 1; }
  name=$(basename "$photo" .jpg)
  "$CLI" convert "$photo" "$OUT/$name.jpg" "$@"
  "$CLI" convert "$photo" "$OUT/$name.tif" "$@"
  count=$((count + 1))
done
echo "converted $count photographs into $OUT/ (JPEG and TIFF, 800 pixels wide, sharpened)"
