#!/usr/bin/env bash
# check.sh CLI EXPECTED LOG...: the program's General Statistics for LOG... must equal
# EXPECTED, computed independently; the row with the run's own start time is left out, and so is
# "Hits by robots": telling robots apart takes the user-agent rules, which compute.py, standard
# library only, does not have (robots.sh checks the robots on their own).
set -euo pipefail
cli=$1 expected=$2
shift 2
actual=$(mktemp) home=$(mktemp -d)
trap 'rm -rf "$actual" "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
"$cli" "$@" 2>/dev/null | grep -v -e '^Report generated on' -e $'^Hits by robots\t' >"$actual"
diff -u "$expected" "$actual"
