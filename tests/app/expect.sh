#!/usr/bin/env bash
# expect.sh STATUS STDOUT-REGEX STDERR-REGEX -- COMMAND...
# Runs COMMAND and checks its exit status and that each stream matches its regex (an empty
# regex means the stream must be empty).
set -u
want=$1 out_re=$2 err_re=$3
shift 3
[ "$1" = "--" ] && shift
out=$(mktemp) err=$(mktemp) home=$(mktemp -d)
trap 'rm -rf "$out" "$err" "$home"' EXIT
# The program's settings and data files go to a home of the test's own, never the user's.
export XDG_CONFIG_HOME=${TALLYWEB_TEST_CONFIG:-$home/config} XDG_DATA_HOME=$home/data
"$@" >"$out" 2>"$err"
status=$?
fail=0
if [ "$status" -ne "$want" ]; then echo "exit status $status, expected $want"; fail=1; fi
check() {  # name file regex
    if [ -z "$3" ]; then
        [ -s "$2" ] && { echo "$1 should be empty"; fail=1; }
    elif ! grep -Eq -- "$3" "$2"; then
        echo "$1 does not match: $3"; fail=1
    fi
}
check stdout "$out" "$out_re"
check stderr "$err" "$err_re"
if [ $fail -ne 0 ]; then
    echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
fi
exit $fail
