#!/bin/sh
# The emulator of the windows preset: runs one Windows program under Wine
# for ctest and ends when the program ends.
#
# The first Wine program of a prefix starts the wineserver and Wine's own
# services (services.exe, explorer.exe, rpcss.exe and more), and they inherit
# its standard error. ctest reads a test's output until the pipe closes, so a
# test program that happened to start them was held long after it had ended,
# until the last Wine program of the whole run ended and the wineserver and
# services with it: minutes, once the test's time-out. The output goes to a
# file instead, which ctest gets as soon as the program itself has ended.
set -u
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
trap 'rm -f "$out"' EXIT
status=0
wine "$@" >"$out" 2>&1 || status=$?
cat "$out"
exit "$status"
