#!/bin/sh
# Every single-picture path of pixmill-cli beside the tool that does the same
# work best, as whole processes: RUNS alternating runs of each pair (5 by
# default), the median wall time, CPU time (user + system) and peak RSS of
# each, and Pixmill's ratio to the yardstick (below 1.00 is better). On a
# machine shared with other work the CPU column is the steadier one.
#
# Pictures: a 17.9-megapixel JPEG (5184 x 3456, quality 92) made with
# ImageMagick from the mate-backgrounds photograph Wood.jpg, the same
# picture as an uncompressed TIFF and as a PPM (cjpeg's input), Wood.jpg
# itself (2560 x 1920) for AVIF, whose encoders take half a minute on the
# large one, and the 60 photographs of the main job for the shard row.
# Columns: Pixmill's CPU time over the yardstick's, both in ms, the same for
# wall time, and both peak RSS.
# Yardsticks: vipsthumbnail and vips (VIPS_CONCURRENCY=1), cjpeg, cwebp,
# avifenc -j 1, tiffcp, identify, and the sharp module when node finds it
# (NODE_PATH, default bench/batch/node_modules; rows without it are left out).
# Usage: bench/compare/compare.sh [build] [runs]
set -eu
# The two batch rows run as "compare.sh --step NAME" so that /usr/bin/time
# measures both shards as one (cli, settings and work come from the
# environment).
batch() { # out, options...
  out="$1"; shift
  rm -rf "$out"
  "$cli" batch "$work/sixty" --out "$out" --settings "$settings" -q --format JPEG \
    --op Resample --set Resample.width=800 --set Resample.height=32767 --thumbs 150x150 "$@"
}
shards() {
  batch "$work/out-shards" --jobs 1 --shard 0/2
  batch "$work/out-shards" --jobs 1 --shard 1/2
}
one_run() { batch "$work/out-one" --jobs 2; }
if [ "${1:-}" = "--step" ]; then
  "$2"
  exit 0
fi
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-5}"
cli="$build/bin/pixmill-cli"
photos=/usr/share/backgrounds/mate/nature
export NODE_PATH="${NODE_PATH:-$root/bench/batch/node_modules}"
export VIPS_CONCURRENCY=1
work="$(mktemp -d "${TMPDIR:-/tmp}/pixmill-compare-XXXXXX")"
trap 'rm -rf "$work"' EXIT
settings="$work/settings.ini"
: >"$settings" # the program's defaults, never the user's settings

convert "$photos/Wood.jpg" -resize '5184x3456!' -quality 92 "$work/big.jpg"
convert "$work/big.jpg" -compress none "$work/big.tif"
convert "$work/big.jpg" "$work/big.ppm"
"$here/../sixty-photos.sh" "$photos" "$work/sixty"
sharp=""
if command -v node >/dev/null 2>&1 && node -e "require('sharp')" >/dev/null 2>&1; then
  sharp="node $here/sharp_single.js"
else
  echo "(no sharp module under NODE_PATH=$NODE_PATH: its rows are left out)"
fi

px="$cli --settings $settings -q"
jpeg() { # level progressive web
  echo "--set JPEG_Parameters.luminance=$1 --set JPEG_Parameters.chrominance=$1" \
    "--set JPEG_Parameters.progressive=$2 --set JPEG_Parameters.web=$3"
}

# time_one FILE COMMAND...: appends "wall cpu peak-MB" of one run to FILE.
time_one() {
  file="$1"; shift
  if /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
    awk '{ printf "%s %.3f %.1f\n", $1, $2 + $3, $4 / 1024 }' "$work/time" >>"$file"
  else
    echo "failed: $*" >&2; sed -n 1,5p "$work/stderr" >&2
    return 1
  fi
}
median() { # FILE COLUMN
  sort -n -k "$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
printf '%-36s %-22s %5s %13s %5s %11s\n' "work" "yardstick" "CPU" "CPU ms" "wall" "peak MB"
# row LABEL YARDSTICK-NAME "PIXMILL COMMAND" "YARDSTICK COMMAND"
row() {
  label="$1"; yard="$2"; ours="$3"; theirs="$4"
  rm -f "$work/a" "$work/b"
  i=0
  while [ "$i" -lt "$runs" ]; do
    eval "time_one \"\$work/a\" $ours" || return 0
    eval "time_one \"\$work/b\" $theirs" || return 0
    i=$((i + 1))
  done
  ca=$(median "$work/a" 2); cb=$(median "$work/b" 2)
  wa=$(median "$work/a" 1); wb=$(median "$work/b" 1)
  ma=$(median "$work/a" 3); mb=$(median "$work/b" 3)
  awk -v l="$label" -v y="$yard" -v ca="$ca" -v cb="$cb" -v wa="$wa" -v wb="$wb" \
    -v ma="$ma" -v mb="$mb" 'BEGIN {
      printf "%-36s %-22s %5.2f %6.0f/%-6.0f %5.2f %6.0f/%-4.0f\n", l, y, ca / cb, ca * 1000, cb * 1000,
        (wb > 0 ? wa / wb : 0), ma, mb }'
}
stepcmd() { echo "env cli=$cli settings=$settings work=$work sh $here/compare.sh --step $1"; }
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $runs alternating runs, medians"
resample="--op Resample --set Resample.width=800 --set Resample.height=32767"
row "17.9 MP JPEG -> 800 px JPEG" vipsthumbnail \
  "$px convert $work/big.jpg $work/a.jpg $resample" \
  "vipsthumbnail $work/big.jpg --size 800x -o $work/b.jpg"
[ -z "$sharp" ] || row "17.9 MP JPEG -> 800 px JPEG" sharp \
  "$px convert $work/big.jpg $work/a.jpg $resample" \
  "$sharp resize $work/big.jpg $work/b.jpg 800"
row "TIFF -> JPEG, level 128, baseline" "cjpeg -optimize -q 50" \
  "$px convert $work/big.tif $work/a.jpg $(jpeg 128 0 0)" \
  "cjpeg -optimize -quality 50 -outfile $work/b.jpg $work/big.ppm"
row "TIFF -> JPEG, level 128, progressive" "cjpeg -progressive" \
  "$px convert $work/big.tif $work/a.jpg $(jpeg 128 1 0)" \
  "cjpeg -progressive -quality 50 -outfile $work/b.jpg $work/big.ppm"
row "TIFF -> web JPEG, level 128" "cjpeg -optimize -q 50" \
  "$px convert $work/big.tif $work/a.jpg $(jpeg 128 0 1)" \
  "cjpeg -optimize -quality 50 -outfile $work/b.jpg $work/big.ppm"
[ -z "$sharp" ] || row "TIFF -> PNG level 6" sharp \
  "$px convert $work/big.tif $work/a.png" \
  "$sharp png $work/big.tif $work/b.png"
row "TIFF -> WebP q75 method 4" cwebp \
  "$px convert $work/big.tif $work/a.webp" \
  "cwebp -quiet -q 75 -m 4 $work/big.tif -o $work/b.webp"
row "4.9 MP JPEG -> AVIF speed 6" "avifenc -j 1 -s 6" \
  "$px convert $photos/Wood.jpg $work/a.avif" \
  "avifenc -j 1 -s 6 $photos/Wood.jpg $work/b.avif"
row "JPEG rotate 10 deg -> TIFF" "vips rotate" \
  "$px convert $work/big.jpg $work/a.tif --op Rotate --set RotateParam.angle=10" \
  "vips rotate $work/big.jpg $work/b.tif 10"
row "TIFF -> TIFF, uncompressed" tiffcp \
  "$px convert $work/big.tif $work/a.tif" \
  "tiffcp $work/big.tif $work/b.tif"
row "info of a JPEG" identify \
  "$px info $work/big.jpg" \
  "identify $work/big.jpg"
row "60 photos: 2 shards x --jobs 1" "one run --jobs 2" \
  "$(stepcmd shards)" "$(stepcmd one_run)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
ls -l "$work"/a.* "$work"/b.* | awk '{ printf "%s %s\n", $5, $NF }' | sed "s|$work/||" | sort -k2 | tr '\n' ' '; echo
