#!/bin/sh
# What turning photographs upright and converting their colours costs a
# batch: the 12 mate-backgrounds photographs, each a JPEG of at most 800 x 800
# and a thumbnail of at most 150 x 150 (one worker), in two sets (the boxes
# are square so that a turned picture makes as many pixels as before):
#   plain  - the photographs as shipped (no profile, no orientation tag);
#   phone  - each tagged with the Adobe RGB (1998) compatible profile and
#            EXIF orientation 6, so every one is turned and its thumbnail
#            converted to sRGB.
# Prints the CPU seconds (user + system, best of PIXMILL_BENCH_RUNS runs) of
# each set for the build given and, when a second build is given (the same
# program before the change), for that one and the ratio.
# Usage: bench/photographs/run.sh [build] [build before] [photo folder]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
before="${2:-}"
photos="${3:-/usr/share/backgrounds/mate/nature}"
runs="${PIXMILL_BENCH_RUNS:-3}"
profile=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc
work="$(mktemp -d /tmp/pixmill-photo-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
: >"$work/settings.ini"

mkdir -p "$work/plain" "$work/phone"
cp "$photos"/*.jpg "$work/plain/"
cp "$photos"/*.jpg "$work/phone/"
exiftool -q -overwrite_original "-ICC_Profile<=$profile" -Orientation#=6 "$work"/phone/*.jpg

cpu() { # build, set: the best CPU seconds of the runs
  best=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    rm -rf "$work/out"
    seconds=$(/usr/bin/time -f "%U %S" "$1/bin/pixmill-cli" batch "$work/$2" --out "$work/out" \
      --settings "$work/settings.ini" --format JPEG --op Resample --set Resample.width=800 \
      --set Resample.height=800 --set Resample.keepAspect=1 --thumbs 150x150 --jobs 1 -q \
      2>&1 >/dev/null | tail -1 | awk '{ print $1 + $2 }')
    if [ -z "$best" ]; then
      best="$seconds"
    else
      best=$(echo "$best $seconds" | awk '{ print ($2 < $1) ? $2 : $1 }')
    fi
    i=$((i + 1))
  done
  echo "$best"
}

for set in plain phone; do
  now=$(cpu "$build" "$set")
  if [ -n "$before" ]; then
    then=$(cpu "$before" "$set")
    echo "$set: $now s CPU (before: $then s, $(echo "$now $then" |
      awk '{ printf "%+.1f%%", 100 * ($1 / $2 - 1) }'))"
  else
    echo "$set: $now s CPU"
  fi
done
