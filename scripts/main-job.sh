#!/usr/bin/env bash
# Installs what is missing, builds the Release programs, analyses the sample logs in data/ in
# one unattended run and writes the whole report as one HTML file, whose path it prints last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTALLYWEB_TESTS=OFF -DTALLYWEB_WERROR=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)" --target tallyweb-cli >&2
# The three-file set is one layout of its own; the rest are read together.
mapfile -t logs < <(find data -type f -name '*.log' ! -path '*/apache-three-file/*' | sort)
[ ${#logs[@]} -gt 0 ] || { echo "main-job: no logs in data/" >&2; exit 1; }
report="$PWD/build-release/main-job/tallyweb-report.html"
mkdir -p "$(dirname "$report")"
echo "Analysing ${#logs[@]} log files from data/ ..." >&2
build-release/src/app/tallyweb-cli --domain www.example.com --export html "$report" "${logs[@]}"
echo "HTML report written to $report"
