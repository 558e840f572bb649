#!/bin/sh
# Installs the Debian packages TOLVEN needs to build, test and run, and only
# those that are missing. Works as root without sudo, and through sudo
# otherwise.
#
#   tools/install-deps.sh          what make run and make test need
#   tools/install-deps.sh bridge   that, and MinGW-w64 and Wine (with its 32-bit
#                                  half) for the JV-Link bridge
#                                  (tolven-jvbridge.exe), its tests and the
#                                  Windows build's tests (make test-windows)
#   tools/install-deps.sh fuzz     that, and clang with libFuzzer (make fuzz)
#
# Qt6Charts' CMake package needs Qt6OpenGL's (libqt6opengl6-dev), which
# qt6-base-dev only recommends; it is listed because packages are installed
# without their recommendations. poppler-utils (pdftoppm) turns the printed
# pages tolven-cli writes as PDF into pictures to look at. python3 runs the
# include check of the tests (tools/check_layers.py). qt6-base-private-dev
# lets the window tests switch accessibility on as a screen reader does, so
# they hear the events the program sends to one.
set -eu

PACKAGES="cmake ninja-build g++ make pkg-config libgtest-dev libc6-dev
qt6-base-dev qt6-base-private-dev qt6-charts-dev libqt6opengl6-dev libgl-dev qt6-translations-l10n
fonts-ipafont-gothic fonts-ipafont-mincho xvfb xauth poppler-utils python3"

# The bridge to the real component: both Windows compilers (32-bit for
# JV-Link 4.x, 64-bit for 5.x) and the Wine that runs the bridge's tests.
# wine32:i386 runs 32-bit programs (the 32-bit bridge, the Windows build's
# tests); it needs the i386 architecture, added before the package lists are
# read. A Wine prefix made before wine32 is installed cannot start anything
# (c0000135), so the tests make theirs only after this. googletest is the
# source GoogleTest is compiled from for the Windows build.
BRIDGE_PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 googletest"
# The fuzz targets: clang with libFuzzer.
FUZZ_PACKAGES="clang-14 libclang-rt-14-dev"

for group in "$@"; do
    case "$group" in
        bridge) PACKAGES="$PACKAGES $BRIDGE_PACKAGES" ;;
        fuzz) PACKAGES="$PACKAGES $FUZZ_PACKAGES" ;;
        *) echo "install-deps: unknown group $group (known: bridge, fuzz)" >&2; exit 2 ;;
    esac
done

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "install-deps: missing packages:$missing (run as root or install sudo)" >&2
    exit 1
fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
    *:i386*)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            $as_root dpkg --add-architecture i386
        fi
        ;;
esac
$as_root apt-get update
# shellcheck disable=SC2086
$as_root apt-get install -y --no-install-recommends $missing
