#!/usr/bin/env bash
# robots.sh CLI ROBOTS LOG: the client reports of a real log. Browser Families puts a Chrome
# version first and has Firefox and Safari families; Robots and Crawlers has every robot of
# ROBOTS with the hits grep found for its agents. With CountRobots=0 the robots are left out:
# no robot rows, the row "Hits by robots" says how many were left out, and Hits drops by as many.
set -uo pipefail
cli=$1 robots=$2 log=$3
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
fail=0
bad() { echo "$*"; fail=1; }

families=$("$cli" --report "Browser Families" "$log" 2>/dev/null) || bad "Browser Families: exit status $?"
[ "$(head -n1 <<<"$families")" = $'Browser\tHits\tVisits\tPercentage' ] || bad "Browser Families: header $(head -n1 <<<"$families")"
first=$(sed -n 2p <<<"$families" | cut -f1)
[[ $first =~ ^Chrome\ [0-9]+$ ]] || bad "Browser Families: first row '$first', not a Chrome version"
for family in Firefox Safari; do
    grep -Eq "^$family [0-9]+"$'\t' <<<"$families" || bad "Browser Families: no $family version"
done

listed=$("$cli" --report "Robots and Crawlers" "$log" 2>/dev/null) || bad "Robots and Crawlers: exit status $?"
[ "$(head -n1 <<<"$listed")" = $'Robot\tHits\tBandwidth\tLast Seen' ] || bad "Robots and Crawlers: header $(head -n1 <<<"$listed")"
while IFS=$'\t' read -r name hits _; do
    [ -z "$name" ] || [ "${name:0:1}" = "#" ] && continue
    got=$(awk -F'\t' -v n="$name" 'NR > 1 && $1 == n { print $2 }' <<<"$listed")
    [ "$got" = "$hits" ] || bad "Robots and Crawlers: $name has '$got' hits, grep counted $hits"
done <"$robots"

general() { "$@" 2>/dev/null | awk -F'\t' -v r="$row" '$1 == r { print $2 }'; }
row="Hits by robots"
counted=$(general "$cli" "$log")
left=$(general "$cli" --setting CountRobots=0 "$log")
[[ $counted =~ ^([0-9]+)\ \([0-9]+\.[0-9]{2}%\)$ ]] || bad "$row: '$counted'"
n=${BASH_REMATCH[1]:-none}
[ "$left" = "$n (not counted)" ] || bad "$row without robots: '$left', expected '$n (not counted)'"
row="Hits"
all=$(general "$cli" "$log")
people=$(general "$cli" --setting CountRobots=0 "$log")
[ "$n" != none ] && [ "$people" = "$((all - n))" ] ||
    bad "Hits without robots: '$people', expected $all less $n"

err=$home/err
out=$("$cli" --setting CountRobots=0 --report "Robots and Crawlers" "$log" 2>"$err")
status=$?
[ "$status" -eq 1 ] || bad "Robots and Crawlers without robots: exit status $status, expected 1"
[ -z "$out" ] || bad "Robots and Crawlers without robots lists: $(head -n3 <<<"$out")"
grep -q "There were no items in this view" "$err" || bad "Robots and Crawlers without robots: message $(cat "$err")"
exit $fail
