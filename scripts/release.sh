#!/bin/sh
# Builds, tests and packs a release, all of one version (the project version
# of CMakeLists.txt), into out/:
#
#   glyphHerder-<version>-windows.zip
#       README.txt, functions.md, LICENSE, CHANGELOG.md, SHA256SUMS,
#       include/glyphherder.h, examples/host.c,
#       x86/glyphHerderU.dll, x86/glyphHerder.dll,
#       x64/glyphHerderU.dll, x64/glyphHerder.dll
#   glyphHerder-<version>-linux-<cpu>.tar.gz
#       README.txt, functions.md, LICENSE, CHANGELOG.md, SHA256SUMS,
#       include/glyphherder.h, examples/host.c,
#       glyphHerderU.so, glyphHerder.so, libglyphmem.so.1, glyphhost
#   glyphHerder-<version>-linux-aarch64.tar.gz
#       the same for 64-bit ARM Linux
#   SHA256SUMS                   the checksums of the archives
#
# Each package's SHA256SUMS holds the checksum of every other file in it.
# The Windows DLLs come from the presets mingw-i686 and mingw-x86_64, the
# Linux files from linux-release, the ARM ones from linux-aarch64-release.
# After packing, scripts/check-release.sh unpacks the packages and tries them
# (the ARM one under qemu-aarch64).
#
# The packages are reproducible: the same commit gives the same bytes,
# whatever the build folder and the time.  Every file and archive entry is
# dated SOURCE_DATE_EPOCH (default: the time of the last commit), with fixed
# owners, modes and order; gzip stores no name or time.
#
#   scripts/release.sh [--linux] [--no-test] [--reuse] [--linux-tree DIR]
#                      [--aarch64-tree DIR] [--out DIR]
#
#   --linux           the Linux package of this machine alone (no Windows or
#                     ARM toolchain needed)
#   --no-test         neither run the build trees' tests nor check the packages
#   --reuse           pack what the build trees hold, without configuring or
#                     building them (they must exist)
#   --linux-tree DIR  take the Linux files from this build tree (default
#                     build/linux-release)
#   --aarch64-tree DIR  take the 64-bit ARM Linux files from this build tree
#                     (default build/linux-aarch64-release)
#   --out DIR         write the packages here (default out)
set -eu
cd "$(dirname "$0")/.."

run_tests=yes
reuse=no
windows=yes
linux_tree=build/linux-release
aarch64_tree=build/linux-aarch64-release
out=out
usage="usage: scripts/release.sh [--linux] [--no-test] [--reuse] [--linux-tree DIR] [--aarch64-tree DIR] [--out DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --linux) windows=no ;;
        --no-test) run_tests=no ;;
        --reuse) reuse=yes ;;
        --linux-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; linux_tree=$2; shift ;;
        --aarch64-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; aarch64_tree=$2; shift ;;
        --out) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; out=$2; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done

windows_trees=""
arm_trees=""
presets=linux-release
if [ $windows = yes ]; then
    windows_trees="build/mingw-i686 build/mingw-x86_64"
    arm_trees=$aarch64_tree
    presets="$presets mingw-i686 mingw-x86_64 linux-aarch64-release"
fi
if [ $reuse = no ]; then
    for preset in $presets; do
        echo "== $preset"
        cmake --preset "$preset" >/dev/null
        cmake --build --preset "$preset"
        if [ $run_tests = yes ]; then ctest --preset "$preset"; fi
    done
fi

# One version for everything: the one each build tree was configured with.
version=""
for tree in $linux_tree $windows_trees $arm_trees; do
    v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt" 2>/dev/null || true)
    [ -n "$v" ] || { echo "release: $tree is not a configured build tree" >&2; exit 1; }
    [ -z "$version" ] || [ "$v" = "$version" ] ||
        { echo "release: $tree is version $v, not $version" >&2; exit 1; }
    version=$v
done

# The one date of every file: the commit's, so that a rebuild matches.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

# Writes DIR/SHA256SUMS: every file of DIR but that one, by its path in DIR.
checksums() {
    (cd "$1" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
        xargs -d '\n' sha256sum > SHA256SUMS)
}

# Gives every file and folder of DIR fixed modes and the one date.
normalise() {
    find "$1" -type d -exec chmod 755 {} +
    find "$1" -type f -perm /111 -exec chmod 755 {} +
    find "$1" -type f ! -perm /111 -exec chmod 644 {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

mkdir -p "$out"
stage="$out/stage"
windows_name="glyphHerder-$version-windows"
linux_name="glyphHerder-$version-linux-$(uname -m)"
aarch64_name="glyphHerder-$version-linux-aarch64"
rm -rf "${stage:?}" "$out/$windows_name.zip" "$out/$linux_name.tar.gz" "$out/$aarch64_name.tar.gz" "$out/SHA256SUMS"
archives=""

if [ $windows = yes ]; then
    echo "== $windows_name.zip"
    for tree in $windows_trees; do
        cmake --install "$tree" --prefix "$stage/$windows_name" --component release >/dev/null
    done
    checksums "$stage/$windows_name"
    normalise "$stage/$windows_name"
    # zip stores local time: UTC, so that the entries' times do not depend
    # on the machine's zone; -X leaves out owners and extra times.
    (cd "$stage" && find "$windows_name" | LC_ALL=C sort |
        TZ=UTC zip -q -X -@ "../$windows_name.zip")
    python3 -m zipfile -l "$out/$windows_name.zip"
    archives="$windows_name.zip"
fi

# pack_linux TREE NAME: the release files of a Linux build tree as NAME.tar.gz.
pack_linux() {
    echo "== $2.tar.gz"
    cmake --install "$1" --prefix "$stage/$2" --component release --strip >/dev/null
    checksums "$stage/$2"
    normalise "$stage/$2"
    tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
        --format=gnu -cf - "$2" | gzip -9 -n > "$out/$2.tar.gz"
    tar -tvzf "$out/$2.tar.gz"
    archives="$archives $2.tar.gz"
}
pack_linux "$linux_tree" "$linux_name"
if [ -n "$arm_trees" ]; then
    pack_linux "$aarch64_tree" "$aarch64_name"
fi

rm -rf "${stage:?}"
# shellcheck disable=SC2086 # the archive names hold no spaces
(cd "$out" && sha256sum $archives > SHA256SUMS)
echo "== $out/SHA256SUMS"
cat "$out/SHA256SUMS"

if [ $run_tests = yes ]; then
    scripts/check-release.sh --linux-tree "$linux_tree" "$out"
fi
