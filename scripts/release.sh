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
#   SHA256SUMS                   the checksums of the archives
#
# Each package's SHA256SUMS holds the checksum of every other file in it.
# The Windows DLLs come from the presets mingw-i686 and mingw-x86_64, the
# Linux files from linux-release.  After packing, scripts/check-release.sh
# unpacks the packages and tries them.
#
# The packages are reproducible: the same commit gives the same bytes,
# whatever the build folder and the time.  Every file and archive entry is
# dated SOURCE_DATE_EPOCH (default: the time of the last commit), with fixed
# owners, modes and order; gzip stores no name or time.
#
#   scripts/release.sh [--linux] [--no-test] [--reuse] [--linux-tree DIR] [--out DIR]
#
#   --linux           the Linux package alone (no Windows toolchain needed)
#   --no-test         neither run the build trees' tests nor check the packages
#   --reuse           pack what the build trees hold, without configuring or
#                     building them (they must exist)
#   --linux-tree DIR  take the Linux files from this build tree (default
#                     build/linux-release)
#   --out DIR         write the packages here (default out)
set -eu
cd "$(dirname "$0")/.."

run_tests=yes
reuse=no
windows=yes
linux_tree=build/linux-release
out=out
usage="usage: scripts/release.sh [--linux] [--no-test] [--reuse] [--linux-tree DIR] [--out DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --linux) windows=no ;;
        --no-test) run_tests=no ;;
        --reuse) reuse=yes ;;
        --linux-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; linux_tree=$2; shift ;;
        --out) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; out=$2; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done

windows_trees=""
presets=linux-release
if [ $windows = yes ]; then
    windows_trees="build/mingw-i686 build/mingw-x86_64"
    presets="$presets mingw-i686 mingw-x86_64"
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
for tree in $linux_tree $windows_trees; do
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
rm -rf "${stage:?}" "$out/$windows_name.zip" "$out/$linux_name.tar.gz" "$out/SHA256SUMS"
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

echo "== $linux_name.tar.gz"
cmake --install "$linux_tree" --prefix "$stage/$linux_name" --component release --strip >/dev/null
checksums "$stage/$linux_name"
normalise "$stage/$linux_name"
tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --format=gnu -cf - "$linux_name" | gzip -9 -n > "$out/$linux_name.tar.gz"
tar -tvzf "$out/$linux_name.tar.gz"
archives="$archives $linux_name.tar.gz"

rm -rf "${stage:?}"
# shellcheck disable=SC2086 # the archive names hold no spaces
(cd "$out" && sha256sum $archives > SHA256SUMS)
echo "== $out/SHA256SUMS"
cat "$out/SHA256SUMS"

if [ $run_tests = yes ]; then
    scripts/check-release.sh --linux-tree "$linux_tree" "$out"
fi
