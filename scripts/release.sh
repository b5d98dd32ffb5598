#!/bin/sh
# Builds, tests and packs a release, all of one version (the project version
# of CMakeLists.txt), into out/:
#
#   glyphHerder-<version>-windows.zip
#       README.txt, functions.md, SHA256SUMS,
#       x86/glyphHerderU.dll, x86/glyphHerder.dll,
#       x64/glyphHerderU.dll, x64/glyphHerder.dll
#   glyphHerder-<version>-linux-<cpu>.tar.gz
#       README.txt, functions.md, SHA256SUMS, glyphHerderU.so, glyphHerder.so,
#       libglyphmem.so, glyphhost
#   glyphHerder-<version>-linux-aarch64.tar.gz
#       the same for 64-bit ARM Linux
#   SHA256SUMS                   the checksums of the archives
#
# Each package's SHA256SUMS holds the checksum of every other file in it.
# The Windows DLLs come from the presets mingw-i686 and mingw-x86_64, the
# Linux files from linux-release, the ARM ones from linux-aarch64-release.
# After packing, scripts/check-release.sh unpacks the packages and tries
# them (the ARM one under qemu-aarch64).
#
#   scripts/release.sh [--no-test] [--reuse] [--linux-tree DIR]
#                      [--aarch64-tree DIR] [--out DIR]
#
#   --no-test         neither run the build trees' tests nor check the packages
#   --reuse           pack what the build trees hold, without configuring or
#                     building them (they must exist)
#   --linux-tree DIR  take the Linux files from this build tree (default
#                     build/linux-release)
#   --aarch64-tree DIR
#                     the same for the ARM files (default
#                     build/linux-aarch64-release)
#   --out DIR         write the packages here (default out)
set -eu
cd "$(dirname "$0")/.."

run_tests=yes
reuse=no
linux_tree=build/linux-release
aarch64_tree=build/linux-aarch64-release
out=out
usage="usage: scripts/release.sh [--no-test] [--reuse] [--linux-tree DIR] [--aarch64-tree DIR] [--out DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --no-test) run_tests=no ;;
        --reuse) reuse=yes ;;
        --linux-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; linux_tree=$2; shift ;;
        --aarch64-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; aarch64_tree=$2; shift ;;
        --out) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; out=$2; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done

windows_trees="build/mingw-i686 build/mingw-x86_64"
if [ $reuse = no ]; then
    for preset in linux-release mingw-i686 mingw-x86_64 linux-aarch64-release; do
        echo "== $preset"
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset"
        if [ $run_tests = yes ]; then ctest --preset "$preset"; fi
    done
fi

# One version for everything: the one each build tree was configured with.
version=""
for tree in $linux_tree $windows_trees $aarch64_tree; do
    v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt" 2>/dev/null || true)
    [ -n "$v" ] || { echo "release: $tree is not a configured build tree" >&2; exit 1; }
    [ -z "$version" ] || [ "$v" = "$version" ] ||
        { echo "release: $tree is version $v, not $version" >&2; exit 1; }
    version=$v
done

# Writes DIR/SHA256SUMS: every file of DIR but that one, by its path in DIR.
checksums() {
    (cd "$1" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
        xargs -d '\n' sha256sum > SHA256SUMS)
}

mkdir -p "$out"
stage="$out/stage"
windows="glyphHerder-$version-windows"
linux="glyphHerder-$version-linux-$(uname -m)"
aarch64="glyphHerder-$version-linux-aarch64"
rm -rf "${stage:?}" "$out/$windows.zip" "$out/$linux.tar.gz" "$out/$aarch64.tar.gz" "$out/SHA256SUMS"

echo "== $windows.zip"
for tree in $windows_trees; do
    cmake --install "$tree" --prefix "$stage/$windows" --component release >/dev/null
done
checksums "$stage/$windows"
(cd "$stage" && zip -q -r -X "../$windows.zip" "$windows")
python3 -m zipfile -l "$out/$windows.zip"

# pack_linux TREE NAME: the release files of a Linux build tree as NAME.tar.gz.
pack_linux() {
    echo "== $2.tar.gz"
    cmake --install "$1" --prefix "$stage/$2" --component release --strip >/dev/null
    checksums "$stage/$2"
    tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner -czf "$out/$2.tar.gz" "$2"
    tar -tvzf "$out/$2.tar.gz"
}
pack_linux "$linux_tree" "$linux"
pack_linux "$aarch64_tree" "$aarch64"

rm -rf "${stage:?}"
(cd "$out" && sha256sum "$windows.zip" "$linux.tar.gz" "$aarch64.tar.gz" > SHA256SUMS)
echo "== $out/SHA256SUMS"
cat "$out/SHA256SUMS"

if [ $run_tests = yes ]; then
    scripts/check-release.sh "$out"
fi
