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

# link NAME SOURCES...: compiles the sources side by side, then links the target (with the
# libraries in LIBS).
link() {
    local name=$1; shift
    rm -rf "$out/obj-$name"
    mkdir -p "$out/obj-$name"
    printf '%s\n' "$@" | xargs -P "$(nproc 2>/dev/null || echo 2)" -I{} sh -c \
        'src=$0 dir=$1; shift; clang++-14 "$@" -c "$src" -o "$dir/$(echo "$src" | tr / _).o"' \
        {} "$out/obj-$name" "${flags[@]}"
    # shellcheck disable=SC2086
    clang++-14 "${flags[@]}" "$out/obj-$name"/*.o -o "$out/$name" ${LIBS:-}
}

# The line readers under every format; the corpus starts from one line of each layout.
mkdir -p "$out/corpus-line-readers"
seed() {  # name format-byte text
    printf '%b%b' "$2" "$3" >"$out/corpus-line-readers/$1"
}
seed common '\x00\x00\x18\x01' '127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET /a.gif HTTP/1.0" 200 2326\n'
seed combined '\x01\x00\x18\x07' '1.2.3.4 - - [01/Jul/1995:00:00:01 -0400] "GET /x HTTP/1.0" 200 10 "http://r/" "Mozilla/4.0"\n'
seed comma '\x02\x00\x18\x01' '192.168.1.2, -, 03/20/01, 7:55:20, W3SVC2, S, 172.21.13.45, 4502, 163, 3223, 200, 0, GET, /Logo.gif, -,\n'
seed w3c '\x04\x02\x18\x07' '#Fields: date time c-ip cs-method cs-uri-stem sc-status sc-bytes\n2001-03-20 07:55:20 1.2.3.4 GET /a.htm 200 12\n'
seed referer '\x07\x00\x18\x0a' 'http://r/ -> /a.html\n'
link fuzz_line_readers tests/fuzz/fuzz_line_readers.cpp src/ingest/log_format.cpp \
    src/ingest/log_time.cpp src/ingest/text_search.cpp
run fuzz_line_readers "$out/corpus-line-readers"

mkdir -p "$out/corpus-host-cache"
link fuzz_host_cache tests/fuzz/fuzz_host_cache.cpp src/engine/host_cache.cpp \
    src/engine/archive.cpp src/engine/lookup2.cpp src/ingest/text_search.cpp
run fuzz_host_cache "$out/corpus-host-cache"

# The saved-report reader needs the whole engine behind it. Its corpus starts from a small real
# saved report and cuts of it, which the target writes itself to the path in TALLYWEB_FUZZ_SEED
# and beside it.
mkdir -p "$out/corpus-saved-report"
LIBS=$(pkg-config --libs re2 yaml-cpp) \
    link fuzz_saved_report tests/fuzz/fuzz_saved_report.cpp src/document/saved_report.cpp \
    src/engine/archive.cpp src/engine/filter_set.cpp src/engine/host_cache.cpp \
    src/engine/client_classifier.cpp src/engine/client_reports.cpp \
    src/engine/lookup2.cpp src/engine/record_classifier.cpp src/engine/referrers.cpp \
    src/engine/results.cpp src/engine/reverse_dns.cpp src/engine/site_pages.cpp \
    src/engine/statistics.cpp src/engine/statistics_engine.cpp src/engine/string_arena.cpp \
    src/engine/user_agents.cpp src/engine/planned_lookups.cpp src/engine/range_merge.cpp \
    src/engine/memory_meter.cpp src/ingest/text_search.cpp src/ingest/log_time.cpp \
    src/platform/resolver.cpp src/platform/strings.cpp
TALLYWEB_FUZZ_SEED="$out/corpus-saved-report/seed.twb" "$out/fuzz_saved_report" -runs=0 \
    "$out/corpus-saved-report" 2>/dev/null
run fuzz_saved_report "$out/corpus-saved-report"
