#!/usr/bin/env bash
# run.sh SECONDS: builds the fuzz targets with clang's libFuzzer and runs each for SECONDS.
# Skipped, with a note, where clang++-14 is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
if ! command -v clang++-14 >/dev/null; then
    echo "fuzz: clang++-14 not found, fuzz targets skipped" >&2
    exit 0
fi
out=build-fuzz
mkdir -p "$out/corpus-host-cache"
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -Isrc tests/fuzz/fuzz_host_cache.cpp src/engine/host_cache.cpp src/engine/archive.cpp \
    src/engine/lookup2.cpp src/ingest/text_search.cpp -o "$out/fuzz_host_cache"
"$out/fuzz_host_cache" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    "$out/corpus-host-cache" 2>"$out/fuzz_host_cache.log" || {
    tail -40 "$out/fuzz_host_cache.log" >&2
    exit 1
}
grep -E '^(stat::number_of_executed_units|Done)' "$out/fuzz_host_cache.log" >&2 || true
