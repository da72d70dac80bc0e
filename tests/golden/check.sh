#!/usr/bin/env bash
# check.sh CLI EXPECTED LOG...: the program's General Statistics for LOG... must equal
# EXPECTED, computed independently; the row with the run's own start time is left out.
set -euo pipefail
cli=$1 expected=$2
shift 2
actual=$(mktemp) home=$(mktemp -d)
trap 'rm -rf "$actual" "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
"$cli" "$@" 2>/dev/null | grep -v '^Report generated on' >"$actual"
diff -u "$expected" "$actual"
