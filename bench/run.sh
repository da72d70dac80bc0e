#!/usr/bin/env bash
# The benchmark figures of record: single- and two-thread MB/s of the full analysis on a
# generated log, instructions per byte, and peak resident memory. Not part of the tests: the
# figures depend on the machine and on what else runs.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1G}
cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-rel -j "$(nproc)" --target tallyweb-genlog tallyweb-parsebench >/dev/null
log=/tmp/tallyweb-bench-$size.log
[ -s "$log" ] || build-rel/bench/tallyweb-genlog --size "$size" --seed 42 --out "$log"
wide=/tmp/tallyweb-wide-$size.log
[ -s "$wide" ] ||
    build-rel/bench/tallyweb-genlog --size "$size" --seed 42 --wide 1000000,2000000 --out "$wide"
bench=build-rel/bench/tallyweb-parsebench

for threads in 1 2; do
    echo "== full analysis of $log on $threads thread(s)"
    "$bench" --repeat 3 --full --domain example.com --threads "$threads" "$log" |
        grep -E '^(size|threads|records|runs|MB/s|peak RSS)'
done
echo "== full analysis of $wide (a million hosts, two million URLs) on 1 thread"
"$bench" --full --domain example.com --threads 1 "$wide" | grep -E '^(size|records|MB/s|peak RSS)'

if command -v valgrind >/dev/null; then
    # The log itself, not a smaller one: how many lines share a minute, and so how often a
    # date is read whole, depends on the size.
    echo "== instructions per byte (callgrind, one thread, $log)"
    out=$(mktemp)
    valgrind --tool=callgrind --callgrind-out-file="$out" \
        "$bench" --full --domain example.com --threads 1 "$log" >/dev/null 2>&1
    ir=$(grep -E '^summary:' "$out" | awk '{print $2}')
    bytes=$(stat -c %s "$log")
    awk -v ir="$ir" -v b="$bytes" 'BEGIN { printf "%.0f instructions, %.2f per byte\n", ir, ir / b }'
    rm -f "$out"
fi
