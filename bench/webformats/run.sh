#!/bin/sh
# Makes a 4000 x 3000 24-bit PNG from one of the desktop's photographs and
# runs the web-format benchmark on it. Usage: bench/webformats/run.sh [build-dir]
set -eu
build="${1:-build}"
photo="$(ls /usr/share/backgrounds/mate/nature/*.jpg 2>/dev/null | head -n 1 || true)"
if [ -z "$photo" ]; then
  echo "no photograph: install mate-backgrounds" >&2
  exit 2
fi
picture="${TMPDIR:-/tmp}/webbench-photo-$$.png"
trap 'rm -f "$picture"' EXIT
convert "$photo" -resize '4000x3000!' -type TrueColor -depth 8 "$picture"
echo "picture made from $photo"
"$build/bin/web_formats_bench" "$picture"
