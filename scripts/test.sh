#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test: the whole suite
# in an optimised AddressSanitizer/UBSan build, the threaded pipeline and run tests under
# ThreadSanitizer, and the file readers' fuzz targets for a bounded time.
#
# The suite runs once, under the sanitizers, which check all a plain run would and more; a
# second, plain build of the whole tree nearly doubled the time on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

build() {  # dir, extra cmake args...
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYWEB_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

echo "== build and test (AddressSanitizer and UBSan)"
build build-asan -DTALLYWEB_ASAN=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (pipeline and run)"
# Only the programs that hold threaded tests: building the rest under TSan would double the time.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYWEB_WERROR=ON -DTALLYWEB_TSAN=ON \
    -DTALLYWEB_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target platform_tests ingest_tests engine_tests document_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan --output-on-failure -L pipeline -j "$jobs"

echo "== fuzzing the file readers (bounded)"
tests/fuzz/run.sh 30
