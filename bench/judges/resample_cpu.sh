#!/bin/sh
# CPU time of the two resample filters on a 12-megapixel photograph (4000 x
# 3000, uncompressed TIFF in and out so that codecs cost little): the best of
# five runs of pixmill-cli convert with each filter, less the best run that
# converts without resampling. Usage: bench/judges/resample_cpu.sh [build] [width]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build}" && pwd)"
width="${2:-800}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export PIXMILL_SETTINGS="$work/settings.ini"
convert /usr/share/backgrounds/mate/nature/Wood.jpg -resize '4000x3000!' -compress none "$work/in.tif"
best() {
  best=999999
  for i in 1 2 3 4 5; do
    t=$( { /usr/bin/time -f '%U %S' "$build/bin/pixmill-cli" convert "$work/in.tif" "$work/out.tif" "$@" >/dev/null; } 2>&1 | tail -n 1 | awk '{printf "%d", ($1 + $2) * 1000}')
    [ "$t" -lt "$best" ] && best=$t
  done
  echo "$best"
}
base=$(best)
area=$(best --op Resample --set Resample.width="$width" --set Resample.height=32767 --set Resample.filter=0)
lanczos=$(best --op Resample --set Resample.width="$width" --set Resample.height=32767 --set Resample.filter=1)
echo "to $width px wide: convert alone ${base} ms CPU; resample area average $((area - base)) ms, Lanczos-3 $((lanczos - base)) ms"
