#!/bin/sh
# Makes a 4000 x 3000 24-bit TIFF from one of the desktop's photographs and
# runs the TIFF benchmark on it. Usage: bench/birchfmt/run.sh [build-dir]
set -eu
build="${1:-build}"
photo="$(ls /usr/share/backgrounds/mate/nature/*.jpg 2>/dev/null | head -n 1 || true)"
picture="${TMPDIR:-/tmp}/birchbench-photo-$$.tif"
trap 'rm -f "$picture"' EXIT
if [ -n "$photo" ]; then
  convert "$photo" -resize '4000x3000!' -type TrueColor -depth 8 -compress none "$picture"
  echo "picture made from $photo"
  "$build/bin/birchfmt_bench" "$picture"
else
  "$build/bin/birchfmt_bench"
fi
