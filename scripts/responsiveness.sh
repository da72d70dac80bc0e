#!/usr/bin/env bash
# responsiveness.sh [MEGABYTES]: runs the desktop window's generation on a large log (the
# sample log in data/ repeated to about MEGABYTES, 1024 by default) under a virtual X server
# and prints how long the user-interface thread went unserved while the progress dialog was up.
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-1024}
scripts/install-deps.sh
if ! command -v xvfb-run >/dev/null; then
    apt-get install -y --no-install-recommends xvfb xauth >/dev/null
fi
cmake -S . -B build-shots -DCMAKE_BUILD_TYPE=Release -DTALLYWEB_BENCH=OFF >/dev/null
cmake --build build-shots -j "$(nproc)" --target ui_responsiveness >/dev/null
sample=data/combined/elastic-examples_apache_logs.log
log=build-shots/large-${size}MB.log
if [ ! -s "$log" ]; then
    copies=$(( size * 1048576 / $(stat -c %s "$sample") + 1 ))
    for _ in $(seq "$copies"); do cat "$sample"; done > "$log.part"
    mv "$log.part" "$log"
fi
echo "log: $log ($(( $(stat -c %s "$log") / 1048576 )) MB)"
xvfb-run -a -s "-screen 0 1280x800x24" build-shots/tests/ui/ui_responsiveness "$log" \
    semicomplete.com
