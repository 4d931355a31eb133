#!/bin/sh
# Makes a 12-megapixel 24-bit picture from a photograph and times the filters
# and the tone adjustment on it next to ImageMagick.
#   bench/elmpass/run.sh [build dir] [photograph]
set -eu
build=${1:-build}
photo=${2:-/usr/share/backgrounds/mate/nature/Aqua.jpg}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 4384 x 2740 = 12.01 megapixels, the photograph's own aspect.
convert "$photo" -resize '4384x2740!' -depth 8 "$work/photo.ppm"
"$build/bin/filter_bench" "$work/photo.ppm" "$work"
