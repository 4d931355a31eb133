#!/bin/sh
# Rate against distortion of our JPEG encodings (exact and web), cjpeg and
# sharp's encoder on five desktop-background photographs reduced to 1600
# pixels: per picture the bytes, luma SSIM and RGB PSNR at several settings,
# then the bytes each needs for the yardstick's quality.
# Usage: bench/alderfmt/rate_distortion.sh [build]   (SHARP_MODULES: a node_modules
# folder that has sharp already)
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="${TMPDIR:-/tmp}/pixmill-jpeg-rd-pictures"
mkdir -p "$work"
photos=/usr/share/backgrounds/mate/nature
for name in YellowFlower Garden LadyBird Dune Wood; do
  [ -f "$work/$name.ppm" ] || convert "$photos/$name.jpg" -strip -resize 1600x1600 "$work/$name.ppm"
done
# sharp is installed for benchmarks only, beside the batch bench, never committed.
modules="${SHARP_MODULES:-$root/bench/batch/node_modules}"
if [ ! -d "$modules/sharp" ]; then
  (cd "$root/bench/batch" && npm install --no-save --no-audit --no-fund sharp >/dev/null 2>&1) ||
    echo "sharp not available: its rows are left out" >&2
fi
if [ -d "$modules/sharp" ]; then
  export NODE_PATH="$modules" SHARP_ENCODE="$here/sharp_encode.js"
fi
"$build/bin/jpeg_rate_distortion" "$work/YellowFlower.ppm" "$work/Garden.ppm" \
  "$work/LadyBird.ppm" "$work/Dune.ppm" "$work/Wood.ppm"
