#!/bin/sh
# Builds the four Windows DLLs (x86 and x64, wide and byte builds) with the
# mingw-i686 and mingw-x86_64 presets, tests them under wine, and packs them
# with the users' README into out/glyphHerder-<version>-windows.zip:
#
#   glyphHerder-<version>-windows/README.txt
#   glyphHerder-<version>-windows/x86/glyphHerderU.dll, glyphHerder.dll
#   glyphHerder-<version>-windows/x64/glyphHerderU.dll, glyphHerder.dll
#
#   scripts/release.sh [--no-test]
set -eu
cd "$(dirname "$0")/.."

run_tests=yes
case "${1:-}" in
    "") ;;
    --no-test) run_tests=no ;;
    *) echo "usage: scripts/release.sh [--no-test]" >&2; exit 2 ;;
esac

for arch in i686 x86_64; do
    echo "== mingw-$arch"
    cmake --preset "mingw-$arch" >/dev/null
    cmake --build --preset "mingw-$arch"
    [ $run_tests = yes ] && ctest --preset "mingw-$arch"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw-x86_64/CMakeCache.txt)
[ -n "$version" ] || { echo "release: no project version in the build tree" >&2; exit 1; }
name="glyphHerder-$version-windows"
stage="out/stage"
rm -rf "${stage:?}/${name:?}" "out/$name.zip"
for arch in i686 x86_64; do
    cmake --install "build/mingw-$arch" --prefix "$stage/$name" --component release
done
(cd "$stage" && zip -q -r -X "../$name.zip" "$name")
echo "== out/$name.zip"
unzip -l "out/$name.zip"
