#!/bin/sh
# The benches' main-job input: 60 photographs, the JPEGs of a folder repeated
# in name order, copied into a folder as 00.jpg .. 59.jpg.
#   bench/sixty-photos.sh PHOTO_FOLDER TARGET_FOLDER
set -eu
photos="$1"; target="$2"
set -- "$photos"/*.jpg
[ -e "$1" ] || { echo "no photographs in $photos" >&2; exit 1; }
mkdir -p "$target"
i=0
while [ "$i" -lt 60 ]; do
  for photo in "$photos"/*.jpg; do
    [ "$i" -lt 60 ] || break
    cp "$photo" "$target/$(printf %02d "$i").jpg"
    i=$((i + 1))
  done
done
