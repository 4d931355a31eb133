#!/bin/sh
# The main job: builds Pixmill and runs one batch over the JPEG photographs of
# /usr/share/backgrounds/mate/nature/ (Debian package mate-backgrounds): each
# is resampled to 800 pixels wide keeping its aspect ratio, sharpened and
# saved as JPEG at quality level 64 for luminance and chrominance (half the
# steps of the standard tables) into ./demo-out with a 150 x 150 thumbnail cut
# from its middle, and the "HTML pages" destination makes a web gallery of
# them with its modern pages (scripts/demo-gallery.vhb): the grid of
# thumbnails demo-out/index.htm, one page per picture and demo-out/index.zip
# of the full-size pictures, linked from the grid. Each picture is also
# written 480 pixels wide (the profile's sizes 960 and 1600 are not below
# its 800 pixels: there the full picture serves), which phones load, and
# each thumbnail at 300 x 300 for sharp screens. The batch log is
# demo-out/qorel.log. (The gallery sees the whole run, so it runs in
# one process.)
set -eu
cd "$(dirname "$0")/.."
SOURCE="${PIXMILL_DEMO_SOURCE:-/usr/share/backgrounds/mate/nature}"
OUT="${PIXMILL_DEMO_OUT:-demo-out}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"

ls "$SOURCE"/*.jpg >/dev/null 2>&1 || { echo "no photographs in $SOURCE" >&2; exit 1; }
mkdir -p "$OUT"
: >>"$OUT/settings.ini"
# The demo's settings live in its own file, so a user's settings stay as they are.
build/bin/pixmill-cli batch "$SOURCE"/*.jpg --out "$OUT" --settings "$OUT/settings.ini" \
  --format JPEG --op Resample --set Resample.width=800 --set Resample.height=32767 \
  --set Resample.keepAspect=1 --op "Filter Sharpen" \
  --set JPEG_Parameters.luminance=64 --set JPEG_Parameters.chrominance=64 \
  --dest "HTML pages" --dest-profile scripts/demo-gallery.vhb --project index.htm
echo "the log of the run: $OUT/qorel.log"
echo "the gallery: $OUT/index.htm (open it in a browser)"
