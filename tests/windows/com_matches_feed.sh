#!/bin/sh
# Usage: com_matches_feed.sh LINUX_CLI WINDOWS_CLI STANDIN_DLL WORK_DIR
# The component loaded into the 32-bit tolven-cli.exe (--jvlink com), as a
# 32-bit TOLVEN on Windows loads JV-Link 4.x: the stand-in COM server,
# registered in a 32-bit Wine prefix, serves a sample feed; the store it
# imports is the store the Linux tolven-cli imports from the same feed folder
# (FeedLink), byte for byte.
set -eu
linux=$1
windows=$2
standin=$3
work=$4
export LANG=C.UTF-8 WINEDEBUG=-all
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# The Windows form of a path. winepath writes to a file, not to the pipe of a
# command substitution: a Wine program may start Wine's background services,
# which would inherit the pipe and hold the substitution open until they end.
winpath() {
    winepath -w "$1" >"$work/winepath.out" 2>/dev/null && cat "$work/winepath.out"
}

rm -rf "$work"
mkdir -p "$work"
# The prefix of make test-windows when it is a 32-bit one, else one of its own:
# a 32-bit component registers in the 32-bit half of the registry only.
if [ -z "${WINEPREFIX:-}" ] || ! grep -q '^#arch=win32' "$WINEPREFIX/system.reg" 2>/dev/null; then
    WINEPREFIX="$work/prefix"
    export WINEPREFIX
    WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1
fi

"$linux" make-sample-feed "$work/feed" --seed 5 --weeks 1 --today 20261205 >/dev/null
from="--from 20000101000000"
# shellcheck disable=SC2086
"$linux" --base "$work/feedlink" --feed "$work/feed" import --quiet $from >/dev/null

wine regsvr32 /s "$(winpath "$standin")" || fail "regsvr32 could not register the stand-in"
status=0
# shellcheck disable=SC2086
TOLVEN_STANDIN_FEED=$(winpath "$work/feed") TOLVEN_STANDIN_CACHE=$(winpath "$work/cache") \
    wine "$windows" --base "$work/com" --jvlink com import --quiet $from >"$work/com.out" 2>&1 ||
    status=$?
wine regsvr32 /s /u "$(winpath "$standin")" || true
[ "$status" -eq 0 ] || fail "tolven-cli.exe --jvlink com import ended with $status: $(cat "$work/com.out")"

# FeedLink keeps its download cache in the base folder, the component keeps
# its own elsewhere; the lock file names the process that held it last; the
# rest is the store.
files=$(find "$work/feedlink" -path "$work/feedlink/JVCache" -prune -o -type f -print | wc -l)
[ "$files" -gt 1000 ] || fail "the FeedLink import wrote only $files files"
diff -r -x JVCache -x tolven.lock "$work/feedlink" "$work/com" >"$work/store.diff" ||
    fail "the stores differ: $work/store.diff"
echo "the store of tolven-cli.exe --jvlink com is the FeedLink store byte for byte ($files files)"
