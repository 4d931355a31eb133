#!/bin/sh
# Writes docs/screenshots/help-jpeg.png: the JPEG options help page as a
# browser shows it, from the help folder of a build in build/ (headless
# Chromium).
set -eu
cd "$(dirname "$0")/.."
BUILD="${PIXMILL_BUILD:-build}"
OUT="${PIXMILL_SCREENSHOTS:-docs/screenshots}"
PAGE="$(pwd)/$BUILD/bin/help/jpeg.html"
[ -f "$PAGE" ] || { echo "no $PAGE: build first" >&2; exit 1; }
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
  --user-data-dir="$WORK/profile" --window-size=1000,2000 \
  --screenshot="$(pwd)/$OUT/help-jpeg.png" "file://$PAGE" 2>/dev/null
echo "wrote $OUT/help-jpeg.png"
