#!/bin/sh
# Rotation by 10 degrees as whole processes: pixmill-cli convert with the
# Rotate operation against `vips rotate`, on the same 4000 x 3000 JPEG made
# from a desktop photograph, each written as an uncompressed TIFF. The tools
# run alternately; the best wall time of each is kept, with its CPU time and
# the largest peak RSS seen.
# Usage: bench/pineturn/run.sh [build-dir] [runs] [other pixmill-cli to compare]
set -eu
build="${1:-build}"
runs="${2:-5}"
other="${3:-}"
photo="/usr/share/backgrounds/mate/nature/Wood.jpg"
work="$(mktemp -d "${TMPDIR:-/tmp}/pineturn-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
convert "$photo" -resize '4000x3000!' -quality 92 "$work/in.jpg"
: >"$work/settings.ini"

measure() { # name, command...
  name="$1"; shift
  rm -f "$work/out.tif"
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1
  read -r wall user sys rss <"$work/time"
  echo "$name $wall $user $sys $rss" >>"$work/results"
}
pixmill() { # name, cli
  measure "$1" "$2" convert "$work/in.jpg" "$work/out.tif" --settings "$work/settings.ini" \
    --op Rotate --set RotateParam.angle=10
}
i=0
while [ "$i" -lt "$runs" ]; do
  pixmill pixmill "$build/bin/pixmill-cli"
  measure vips vips rotate "$work/in.jpg" "$work/out.tif" 10
  [ -z "$other" ] || pixmill other "$other"
  i=$((i + 1))
done
printf '%-8s %8s %8s %10s\n' tool wall-s cpu-s peak-MB
for name in pixmill vips other; do
  awk -v n="$name" '$1 == n {
      if (best == "" || $2 < best) { best = $2; cpu = $3 + $4 }
      if ($5 > rss) rss = $5 }
    END { if (best != "") printf "%-8s %8.2f %8.2f %10.0f\n", n, best, cpu, rss / 1024 }' \
    "$work/results"
done
