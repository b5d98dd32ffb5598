#!/bin/sh
# Builds the Windows DLLs and tools (MinGW-w64 cross builds, release
# configuration) and tests them: the DLL files themselves (exports, imports,
# catalogue resources, version), the DLLs on the Windows loader under wine,
# and every catalogue case against them.
#
#   scripts/test-windows.sh [--no-deps] [i686] [x86_64]
#
# With no architecture named, both are built and tested (presets mingw-i686
# and mingw-x86_64, build trees build/mingw-*).  x64 programs run on the
# 64-bit wine loader on every machine.  x86 programs run under wine only
# where this machine runs 32-bit programs (scripts/runs-32bit.sh; forced off
# with GH_FORCE_NO_32BIT=1); elsewhere the x86 DLLs are checked from their
# files and the library's 32-bit code is tested by the i686 Linux build
# under qemu-i386 (preset linux-i686).  Missing Debian packages are installed
# first (scripts/deps.sh, needs root only when something is missing) unless
# --no-deps is given.  The wine prefixes are created on first use in
# build/wineprefix-x86 and build/wineprefix-x64.
set -eu
cd "$(dirname "$0")/.."
. scripts/stages.sh

deps=yes
arches=""
for arg in "$@"; do
    case $arg in
        --no-deps) deps=no ;;
        i686|x86_64) arches="$arches $arg" ;;
        *) echo "usage: scripts/test-windows.sh [--no-deps] [i686] [x86_64]" >&2; exit 2 ;;
    esac
done
[ -n "$arches" ] || arches="i686 x86_64"

[ $deps = yes ] && scripts/deps.sh

start=$(date +%s)
# shellcheck disable=SC2086  # the list is meant to split
stage_windows $arches
stage_summary
echo "== Windows tests passed in $(( $(date +%s) - start )) s"
