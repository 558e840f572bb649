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

# ccache, where it is installed, serves the MinGW compilers too.
launcher=""
if command -v ccache >/dev/null 2>&1; then launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
# shellcheck disable=SC2086
cmake --preset dev $launcher >/dev/null
cmake --build --preset dev --target tolven-cli
# shellcheck disable=SC2086
cmake --preset windows $launcher
cmake --build --preset windows

# The prefix is made here, after tools/install-deps.sh bridge installed
# wine32: one made without it cannot start a 32-bit program. It is a 32-bit
# prefix, like the Windows a 32-bit JV-Link is registered in: every program
# here is 32-bit, and the in-process test registers the stand-in component.
WINEPREFIX="$(pwd)/build/windows/wine-prefix"
export WINEPREFIX WINEDEBUG=-all
if ! grep -q '^#arch=win32' "$WINEPREFIX/system.reg" 2>/dev/null; then
    echo "test-windows: making the 32-bit Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1
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
grep -E '^[0-9]+: (the store|[0-9]+ commands|hits and tick)|FAIL:' "$log" | sed 's/^[0-9]*: //' || true
tail -n 4 "$log"
echo "test-windows: $(($(date +%s) - start)) s in all (log: $log)"
exit "$status"
