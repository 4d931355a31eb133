#!/bin/sh
# Runs the optimised pixmill-cli under valgrind over TIFF files of many
# layouts (made here from ImageMagick's built-in pictures) and fails when
# valgrind sees a read of uninitialised or freed memory, or a leak of a
# definitely lost block. Usage: scripts/valgrind-cli.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
CLI="$BUILD/bin/pixmill-cli"
WORK="$(mktemp -d /tmp/pixmill-valgrind-XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

# 153 pixels wide: rows of 1-bit pictures end inside a byte.
convert rose: -resize 153x101! "$WORK/base.png"
convert "$WORK/base.png" -compress none "$WORK/rgb.tif"
convert "$WORK/base.png" -monochrome -compress Group4 "$WORK/g4.tif"
convert "$WORK/base.png" -monochrome -compress Fax "$WORK/g3.tif"
convert "$WORK/base.png" -colorspace Gray -depth 16 "$WORK/gray16.tif"
convert "$WORK/base.png" -colors 16 -type Palette -depth 4 "$WORK/palette4.tif"
convert "$WORK/base.png" -colors 200 -type Palette "$WORK/palette8.tif"
convert "$WORK/base.png" -alpha set -channel A -evaluate set 60% +channel "$WORK/alpha.tif"
convert "$WORK/base.png" -colorspace CMYK "$WORK/cmyk.tif"
tiffcp -c lzw "$WORK/rgb.tif" "$WORK/lzw.tif"
tiffcp -c zip -t -w 64 -l 64 "$WORK/rgb.tif" "$WORK/tiled.tif"
tiffcp -p separate "$WORK/rgb.tif" "$WORK/planes.tif"
tiffcp -c jpeg:r -r 16 "$WORK/rgb.tif" "$WORK/jpeg.tif"
tiffcp -c packbits "$WORK/g4.tif" "$WORK/packbits1.tif"

count=$(ls "$WORK"/*.tif | wc -l)
status=0
for file in "$WORK"/*.tif; do
  name="$(basename "$file" .tif)"
  for out in tif jpg; do
    if ! PIXMILL_SETTINGS="$WORK/settings.ini" valgrind -q --error-exitcode=99 \
        --leak-check=full --errors-for-leak-kinds=definite \
        "$CLI" convert "$file" "$WORK/out-$name.$out" -q; then
      echo "valgrind-cli: $name -> $out failed" >&2
      status=1
    fi
  done
done
[ "$status" = 0 ] && echo "valgrind-cli: $count files read, each written as TIFF and JPEG, cleanly"
exit $status
