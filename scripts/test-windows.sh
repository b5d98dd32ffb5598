#!/bin/sh
# Builds the Windows DLLs and tools (MinGW-w64 cross builds, release
# configuration) and runs their tests under wine: the export and import
# tables, the DLLs on the Windows loader, and every catalogue case against
# all four DLLs.
#
#   scripts/test-windows.sh [--no-deps] [i686] [x86_64]
#
# With no architecture named, both are built and tested (presets mingw-i686
# and mingw-x86_64, build trees build/mingw-*).  Missing Debian packages are
# installed first (scripts/deps.sh, needs root only when something is
# missing) unless --no-deps is given.  The wine prefix is created on first
# use in build/wineprefix.
set -eu
cd "$(dirname "$0")/.."

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
for arch in $arches; do
    echo "== mingw-$arch"
    cmake --preset "mingw-$arch" >/dev/null
    cmake --build --preset "mingw-$arch"
    ctest --preset "mingw-$arch"
done
echo "== Windows tests passed in $(( $(date +%s) - start )) s"
