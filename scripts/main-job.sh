#!/usr/bin/env bash
# Installs what is missing, builds the Release programs and analyses the sample logs in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTALLYWEB_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)" --target tallyweb-cli >&2
# The three-file sets are read as one layout, which the command line cannot ask for yet.
mapfile -t logs < <(find data -type f -name '*.log' ! -path '*/apache-three-file/*' | sort)
[ ${#logs[@]} -gt 0 ] || { echo "main-job: no logs in data/" >&2; exit 1; }
echo "Analysing ${#logs[@]} log files from data/ ..." >&2
exec build-release/src/app/tallyweb-cli "${logs[@]}"
