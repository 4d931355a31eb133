#!/bin/sh
# Batch throughput: 60 photographs (the mate-backgrounds JPEGs, repeated) each
# become an 800-pixel-wide JPEG and a thumbnail of at most 150 x 150, with
#   pixmill-cli batch (one worker, then every core; exact and --fast-decode),
#   vipsthumbnail (one process at VIPS_CONCURRENCY=1, then xargs -P),
#   the sharp npm module (concurrency 1 one file at a time, then its own
#   concurrency over every file at once; installed under bench/batch/node_modules
#   the first time, never committed).
# Prints files per second (and per CPU-second), each the best of
# PIXMILL_BENCH_RUNS runs (3 by default), and the PSNR of --fast-decode
# against the exact path.
# Usage: bench/batch/run.sh [build] [photo folder]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"

# The timed steps run as "run.sh --step NAME ..." so that /usr/bin/time can
# measure them (work, build and cores come from the environment).
pixmill() { # jobs, extra options...
  jobs="$1"; shift
  "$build/bin/pixmill-cli" batch "$work/in" --out "$work/out" --settings "$work/settings.ini" \
    --format JPEG --op Resample --set Resample.width=800 --set Resample.height=32767 \
    --set Resample.keepAspect=1 --thumbs 150x150 --jobs "$jobs" -q "$@" || true
}
vips_all() {
  VIPS_CONCURRENCY=1 vipsthumbnail "$work"/in/*.jpg --size 800x -o "$work/out/%s.jpg"
  VIPS_CONCURRENCY=1 vipsthumbnail "$work"/in/*.jpg --size 150x150 -o "$work/out/%s_Thumb.jpg"
}
vips_parallel() {
  ls "$work"/in/*.jpg | VIPS_CONCURRENCY=1 xargs -P "$cores" -n 4 sh -c \
    'vipsthumbnail "$@" --size 800x -o "'"$work"'/out/%s.jpg" &&
     vipsthumbnail "$@" --size 150x150 -o "'"$work"'/out/%s_Thumb.jpg"' sh
}
if [ "${1:-}" = "--step" ]; then
  step="$2"; shift 2
  "$step" "$@"
  exit 0
fi

root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
photos="${2:-/usr/share/backgrounds/mate/nature}"
cores="$(nproc)"
runs="${PIXMILL_BENCH_RUNS:-3}" # each row is the best of this many runs
work="$(mktemp -d /tmp/pixmill-batch-bench-XXXXXX)"
export work build cores
trap 'rm -rf "$work"' EXIT

: >"$work/settings.ini" # the program's defaults, never the user's settings
"$here/../sixty-photos.sh" "$photos" "$work/in"

if [ ! -d "$here/node_modules/sharp" ]; then
  (cd "$here" && npm install --no-save --no-audit --no-fund sharp >/dev/null 2>&1) ||
    echo "(sharp could not be installed: its rows are left out)" >&2
fi

# Wall time gives files per second; on a machine shared with other work the
# CPU time (user + system, every thread and child process) is the steadier
# measure of the work itself.
measure() { # label, command...
  label="$1"; shift
  : >"$work/times"
  run=0
  while [ "$run" -lt "$runs" ]; do
    rm -rf "$work/out"; mkdir -p "$work/out"
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>&1 || true
    tail -n 1 "$work/time" >>"$work/times"
    run=$((run + 1))
  done
  # The best run by wall time: the others were slowed by something else.
  sort -n "$work/times" | head -n 1 | awk -v label="$label" '{ printf "%-44s %6.2f files/s  %6.2f files per CPU-second  (%.2f s, CPU %.2f s)\n",
    label, 60 / $1, 60 / ($2 + $3), $1, $2 + $3 }'
}

echo "60 photographs from $photos -> 800 px wide JPEG + 150 x 150 thumbnail; $cores cores, best of $runs runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure "pixmill-cli batch --jobs 1"                "$here/run.sh" --step pixmill 1
measure "pixmill-cli batch --jobs 1 --fast-decode"  "$here/run.sh" --step pixmill 1 --fast-decode
measure "vipsthumbnail, one process"                "$here/run.sh" --step vips_all
if [ -d "$here/node_modules/sharp" ]; then
  measure "sharp, concurrency 1, one file at a time" node "$here/sharp_bench.js" "$work/in" "$work/out" 1
fi
measure "pixmill-cli batch --jobs $cores"                "$here/run.sh" --step pixmill "$cores"
measure "pixmill-cli batch --jobs $cores --fast-decode"  "$here/run.sh" --step pixmill "$cores" --fast-decode
measure "vipsthumbnail, xargs -P $cores"                 "$here/run.sh" --step vips_parallel
if [ -d "$here/node_modules/sharp" ]; then
  measure "sharp, its own concurrency, all files"     node "$here/sharp_bench.js" "$work/in" "$work/out" 0
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# How far reduced decoding lands from the exact path (800-pixel images).
rm -rf "$work/exact" "$work/fast"
"$build/bin/pixmill-cli" batch "$work/in" --out "$work/exact" --settings "$work/settings.ini" \
  --format TIFF --op Resample --set Resample.width=800 --set Resample.height=32767 \
  --set Resample.keepAspect=1 -q >/dev/null 2>&1 || true
"$build/bin/pixmill-cli" batch "$work/in" --out "$work/fast" --settings "$work/settings.ini" \
  --format TIFF --op Resample --set Resample.width=800 --set Resample.height=32767 \
  --set Resample.keepAspect=1 -q --fast-decode >/dev/null 2>&1 || true
# The first copies are the distinct photographs.
i=0
for photo in "$photos"/*.jpg; do
  [ "$i" -lt 60 ] || break
  file=$(printf %02d "$i")
  psnr=$(compare -metric PSNR "$work/exact/$file.tif" "$work/fast/$file.tif" null: 2>&1 || true)
  printf 'fast decode vs exact, %-20s PSNR %s dB\n' "$(basename "$photo")" "$psnr"
  i=$((i + 1))
done
