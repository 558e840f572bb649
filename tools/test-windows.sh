#!/bin/sh
# make test-windows: builds the core, tolven-cli.exe and the core tests for
# 32-bit Windows (the "windows" preset: MinGW-w64 -posix, GoogleTest from
# /usr/src/googletest) and runs them under Wine in a prefix of their own, one
# Wine process per test program; then tolven-cli.exe against the Linux
# tolven-cli of the dev preset (tests/windows/cli_matches_linux.sh). Prints
# how many tests ran, which were skipped and why, and how long it all took.
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)

cmake --preset dev >/dev/null
cmake --build --preset dev --target tolven-cli
cmake --preset windows
cmake --build --preset windows

# The prefix is made here, after tools/install-deps.sh bridge installed
# wine32: one made without it cannot start a 32-bit program.
WINEPREFIX="$(pwd)/build/windows/wine-prefix"
export WINEPREFIX WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "test-windows: making the Wine prefix $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1
    wineserver --wait
fi
log=build/windows/test-windows.log
status=0
ctest --preset windows -j2 -V >"$log" 2>&1 || status=$?
wineserver --kill 2>/dev/null || true

# Every test program prints GoogleTest's summary lines.
ran=$(sed -n 's/.*\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$log" |
    awk '{ n += $1 } END { print n + 0 }')
skipped=$(sed -n 's/.*\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" |
    awk '{ n += $1 } END { print n + 0 }')
failed=$(grep -c '\[  FAILED  \] [A-Za-z]' "$log" || true)
echo "test-windows: $ran core tests ran under Wine, $skipped skipped, $failed failed"
# A skip's reason is the line after "Skipped" in the log.
grep -A1 ': Skipped$' "$log" | sed -n 's/^[0-9]*: \(.*\)/  skipped: \1/p' | grep -v ': Skipped$' || true
grep -E '^(the store|[0-9]+ commands|hits and tick)|FAIL:' "$log" | sed 's/^[0-9]*: //' || true
tail -n 4 "$log"
echo "test-windows: $(($(date +%s) - start)) s in all (log: $log)"
exit "$status"
