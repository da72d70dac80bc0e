#!/usr/bin/env bash
# check.sh CLI DIR: a saved file of version 9, written by the last program that wrote that
# version, opens with every table that program showed of it (DIR/elastic-v9.shown, its
# `--report` output of each entry), and the reports it did not keep say so.
set -euo pipefail
cli=$1 dir=$2
home=$(mktemp -d) actual=$(mktemp)
trap 'rm -rf "$home" "$actual"' EXIT
export TZ=UTC XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
file=$dir/elastic-v9.twb
grep '^== ' "$dir/elastic-v9.shown" | cut -c4- | while IFS= read -r entry; do
    echo "== $entry"
    "$cli" --open "$file" --report "$entry" 2>/dev/null || true  # a message is no table
done >"$actual"
# The robots' row is new: such a file has no figure for it.
grep -qx $'Hits by robots\t-' "$actual"
grep -vx $'Hits by robots\t-' "$actual" | diff -u "$dir/elastic-v9.shown" -
for entry in "Browser Families" "Operating Systems" "Devices" "Robots and Crawlers"; do
    status=0
    message=$("$cli" --open "$file" --report "$entry" 2>&1 >/dev/null) || status=$?
    if [ "$status" -ne 1 ] || ! grep -q "saved by an earlier version" <<<"$message"; then
        echo "$entry: status $status, message: $message" >&2
        exit 1
    fi
done
echo "version 9 file: every table as its writer showed it"
