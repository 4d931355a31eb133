#!/bin/sh
# Makes a 4000 x 3000 24-bit PNG from one of the desktop's photographs and
# runs the web-format benchmark on it; the PNG row against the sharp module
# uses the copy bench/batch installs (NODE_PATH may name another).
# Usage: bench/webformats/run.sh [build-dir]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-build}"
export NODE_PATH="${NODE_PATH:-$here/../batch/node_modules}"
sharp=""
if command -v node >/dev/null 2>&1 && [ -d "$NODE_PATH/sharp" ]; then
  sharp="$here/sharp_png.js"
else
  echo "no sharp module under $NODE_PATH (bench/batch/run.sh installs it): its row is left out" >&2
fi
photo="$(ls /usr/share/backgrounds/mate/nature/*.jpg 2>/dev/null | head -n 1 || true)"
if [ -z "$photo" ]; then
  echo "no photograph: install mate-backgrounds" >&2
  exit 2
fi
picture="${TMPDIR:-/tmp}/webbench-photo-$$.png"
trap 'rm -f "$picture"' EXIT
convert "$photo" -resize '4000x3000!' -type TrueColor -depth 8 "$picture"
echo "picture made from $photo"
"$build/bin/web_formats_bench" "$picture" $sharp
