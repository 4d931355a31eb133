#!/bin/sh
# Runs every benchmark against the optimised build (default build/). They
# compare Pixmill's plug-ins with ImageMagick, vips, cjpeg and tiffcp on a
# 12-megapixel picture made from the mate-backgrounds photographs; install
# those with: PIXMILL_WITH_DEMO=1 PIXMILL_WITH_BENCH=1 ./scripts/install-deps.sh
set -eu
cd "$(dirname "$0")/.."
build="${1:-build}"
echo "=== TIFF (birchfmt)";            bench/birchfmt/run.sh "$build"
echo "=== JPEG encoder (alderfmt)";    "$build/bin/alderfmt_bench"
echo "=== colour reduction (cedarcol)"; "$build/bin/cedarcol_bench"
echo "=== filters and tone (elmpass, oaktone)"; bench/elmpass/run.sh "$build"
echo "=== resample and rotate (firscale, pineturn)"; "$build/bin/firscale_bench"
echo "=== rotation, whole processes (pineturn)"; bench/pineturn/run.sh "$build"
echo "=== batch runs (pixmill-cli batch, vipsthumbnail, sharp)"; bench/batch/run.sh "$build"
echo "=== PNG, WebP, AVIF (larchfmt, rowanfmt, aspenfmt)"; bench/webformats/run.sh "$build"
echo "=== image browser, 500 photographs"; "$build/bin/browser_bench"
