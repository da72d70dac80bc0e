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
flags=(-std=c++20 -O1 -g1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Isrc)

# run NAME CORPUS: runs one built target over its corpus for the bounded time.
run() {
    "$out/$1" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$2" \
        2>"$out/$1.log" || {
        tail -40 "$out/$1.log" >&2
        exit 1
    }
    echo "$1:" >&2
    grep -E '^(stat::number_of_executed_units|Done)' "$out/$1.log" >&2 || true
}

# link NAME SOURCES...: compiles the sources side by side, then links the target.
link() {
    local name=$1; shift
    rm -rf "$out/obj-$name"
    mkdir -p "$out/obj-$name"
    printf '%s\n' "$@" | xargs -P "$(nproc 2>/dev/null || echo 2)" -I{} sh -c \
        'src=$0 dir=$1; shift; clang++-14 "$@" -c "$src" -o "$dir/$(echo "$src" | tr / _).o"' \
        {} "$out/obj-$name" "${flags[@]}"
    clang++-14 "${flags[@]}" "$out/obj-$name"/*.o -o "$out/$name"
}

mkdir -p "$out/corpus-host-cache"
link fuzz_host_cache tests/fuzz/fuzz_host_cache.cpp src/engine/host_cache.cpp \
    src/engine/archive.cpp src/engine/lookup2.cpp src/ingest/text_search.cpp
run fuzz_host_cache "$out/corpus-host-cache"

# The saved-report reader needs the whole engine behind it. Its corpus starts from a small real
# saved report, which the target writes itself to the path in TALLYWEB_FUZZ_SEED.
mkdir -p "$out/corpus-saved-report"
link fuzz_saved_report tests/fuzz/fuzz_saved_report.cpp src/document/saved_report.cpp \
    src/engine/archive.cpp src/engine/filter_set.cpp src/engine/host_cache.cpp \
    src/engine/lookup2.cpp src/engine/record_classifier.cpp src/engine/referrers.cpp \
    src/engine/results.cpp src/engine/reverse_dns.cpp src/engine/site_pages.cpp \
    src/engine/statistics.cpp src/engine/statistics_engine.cpp src/engine/string_arena.cpp \
    src/engine/user_agents.cpp src/ingest/text_search.cpp src/ingest/log_time.cpp \
    src/platform/resolver.cpp src/platform/strings.cpp
TALLYWEB_FUZZ_SEED="$out/corpus-saved-report/seed.twb" "$out/fuzz_saved_report" -runs=0 \
    "$out/corpus-saved-report" 2>/dev/null
run fuzz_saved_report "$out/corpus-saved-report"
