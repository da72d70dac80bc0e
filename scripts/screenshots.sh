#!/usr/bin/env bash
# screenshots.sh [OUTDIR]: builds the desktop program and takes pictures of its main window
# after a run on the sample log in data/, and of every page of the report, filter and export
# wizards, the report editor's tabs, the destination dialog and the help window, under a
# virtual X server (installed when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-shots/screenshots}
scripts/install-deps.sh
if ! command -v xvfb-run >/dev/null; then
    apt-get install -y --no-install-recommends xvfb xauth >/dev/null
fi
cmake -S . -B build-shots -DCMAKE_BUILD_TYPE=Release -DTALLYWEB_BENCH=OFF >/dev/null
cmake --build build-shots -j "$(nproc)" --target ui_screenshots >/dev/null
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" build-shots/tests/ui/ui_screenshots "$out" \
    data/combined/elastic-examples_apache_logs.log semicomplete.com \
    "General Statistics" "Most Requested Pages" "Individual Page Referrers" "Tracked Files" \
    "Browser" "Most Popular Hour" "Hits per Day"
echo "Screenshots written to $out"
