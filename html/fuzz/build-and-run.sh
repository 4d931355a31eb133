#!/bin/sh
# Builds the libFuzzer targets of the HTML code with clang (the main build
# uses g++) and, unless told otherwise, runs each for a while.
#
#   html/fuzz/build-and-run.sh [SECONDS]     build, then run each target SECONDS (default 120)
#   html/fuzz/build-and-run.sh --build-only  build only
#
# Binaries and the growing corpora go to build-fuzz/ at the top of the tree;
# the committed seed inputs in tests/data/html/corpus start both corpora.
# Crashing inputs are left in build-fuzz/ as crash-* files: add them to the
# seed corpus once fixed, so that the tests replay them.
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$root/build-fuzz"
CXX="${CXX_FUZZ:-clang++}"
if ! command -v "$CXX" >/dev/null 2>&1; then
  echo "build-and-run.sh: $CXX not found; the fuzz targets need clang" >&2
  exit 1
fi
mkdir -p "$out"

flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I$root -I$root/plugin-kit/include"
sources="$root/html/html_attribute_list.cpp $root/html/html_document.cpp \
  $root/html/html_error.cpp $root/html/html_node.cpp $root/html/html_number.cpp \
  $root/html/html_parser.cpp $root/html/html_source.cpp $root/html/html_tokenizer.cpp \
  $root/html/html_url.cpp $root/plugin-kit/src/errors.cpp $root/html/fuzz/fuzz_targets.cpp"

for target in parser url; do
  echo "=== building fuzz-html-$target"
  # shellcheck disable=SC2086
  "$CXX" $flags $sources "$root/html/fuzz/libfuzzer_$target.cpp" -o "$out/fuzz-html-$target"
done

[ "${1:-}" = "--build-only" ] && exit 0
seconds="${1:-120}"
status=0
for target in parser url; do
  corpus="$out/corpus-$target"
  mkdir -p "$corpus"
  echo "=== running fuzz-html-$target for ${seconds}s"
  dict=""
  [ "$target" = parser ] && dict="-dict=$root/html/fuzz/html.dict"
  # shellcheck disable=SC2086
  if ! (cd "$out" && ASAN_OPTIONS=detect_leaks=1 "./fuzz-html-$target" $dict \
      -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "$corpus" "$root/tests/data/html/corpus"); then
    status=1
  fi
done
exit $status
