#!/bin/sh
# Usage: cli_matches_linux.sh LINUX_CLI WINDOWS_CLI WORK_DIR
# The Windows tolven-cli.exe (under Wine) against the Linux tolven-cli on one
# sample feed: the imported store is the same byte for byte, days named in
# Japanese on the Windows command line are found, their output is the same
# bytes, and the files on disk carry the Japanese names, not mojibake.
set -eu
linux=$1
windows=$2
work=$3
# Wine hands the Windows program its command line in UTF-16, decoded from
# the bytes given here in the locale's encoding.
export LANG=C.UTF-8 WINEDEBUG=-all
win() { wine "$windows" "$@"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"
"$linux" make-sample-feed "$work/feed" --seed 3 --weeks 1 --today 20261205 >/dev/null
import="--feed $work/feed import --quiet --from 20000101000000"
# shellcheck disable=SC2086
"$linux" --base "$work/linux" $import >/dev/null
# shellcheck disable=SC2086
win --base "$work/windows" $import >/dev/null
files=$(find "$work/linux" -type f | wc -l)
[ "$files" -gt 1000 ] || fail "the Linux import wrote only $files files"
# The lock file names the process that held it last (its id, computer and
# start), which differs from run to run on any system.
diff -r -x tolven.lock "$work/linux" "$work/windows" >"$work/store.diff" ||
    fail "the stores differ: $work/store.diff"
echo "the store of tolven-cli.exe is the Linux store byte for byte ($files files)"

# The names on disk: Japanese, as the Linux build writes them.
japanese=$(ls "$work/windows/Data" | grep -c '年.*月.*日') || true
[ "$japanese" -gt 0 ] || fail "no day file with a Japanese name in $work/windows/Data"
if ls "$work/windows/Data" | grep -q 'å'; then fail "mojibake in the names of $work/windows/Data"; fi

"$linux" --base "$work/linux" days >"$work/days.linux"
win --base "$work/windows" days >"$work/days.windows"
cmp "$work/days.linux" "$work/days.windows" || fail "days differs"
count=0
for day in $(head -n 6 "$work/days.linux"); do
    for command in "show $day --json" "show $day" "results $day"; do
        # shellcheck disable=SC2086
        "$linux" --base "$work/linux" $command >"$work/out.linux"
        # shellcheck disable=SC2086
        win --base "$work/windows" $command >"$work/out.windows" || fail "tolven-cli.exe $command"
        cmp "$work/out.linux" "$work/out.windows" || fail "tolven-cli.exe $command differs"
        count=$((count + 1))
    done
done
[ "$count" -ge 6 ] || fail "only $count day commands ran"
echo "$count commands with Japanese day names print the same bytes"

# The hit export writes files named from the date; a tick writes a user file
# named from the day.
first=$(head -n 1 "$work/days.linux")
"$linux" --base "$work/linux" hits 20261205 >/dev/null
win --base "$work/windows" hits 20261205 >/dev/null
"$linux" --base "$work/linux" tick "$first" 1 1 3 >/dev/null
win --base "$work/windows" tick "$first" 1 1 3 >/dev/null
ls "$work/windows/Data" | grep -q "^$first\.User$" || fail "no user file named $first.User"
diff -r -x tolven.lock "$work/linux" "$work/windows" >"$work/store.diff" ||
    fail "after hits and tick the folders differ: $work/store.diff"
echo "hits and tick write the same files under the same names"
