#!/bin/sh
# Builds Pixmill twice (optimised in build/, Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/) and runs the whole test suite in
# both. Any failure fails the script.
set -eu
cd "$(dirname "$0")/.."
JOBS="${PIXMILL_JOBS:-$(nproc)}"
status=0

run_suite() {
  dir="$1"; shift
  echo "=== configure $dir ($*)"
  cmake -S . -B "$dir" -G Ninja "$@"
  echo "=== build $dir"
  cmake --build "$dir" -j "$JOBS"
  echo "=== test $dir"
  if ! (cd "$dir" && ctest --output-on-failure -j "$JOBS"); then
    status=1
  fi
}

run_suite build -DCMAKE_BUILD_TYPE=Release
echo "=== the Debian package: validators, install and removal"
if ! ./packaging/check-package.sh build; then
  status=1
fi
echo "=== valgrind over the command line's TIFF reading and writing"
if ! ./scripts/valgrind-cli.sh build; then
  status=1
fi
export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DPIXMILL_SANITIZE=ON -DPIXMILL_BUILD_BENCH=OFF
exit $status
