#!/bin/sh
# Checks the packages scripts/release.sh wrote, as a user receives them:
# verifies the checksums, unpacks the archives in a fresh folder, and then
#   - both: LICENSE, CHANGELOG.md (with this version), the public header and
#     the example host are there;
#   - Linux: the files need no more than resources/linux-needs.txt allows
#     (tests/linux/check_shipped.sh), carry the version in their SONAME, and
#     find each other by their run path; runs the unpacked glyphhost (from
#     another folder, with a bare environment) on both unpacked libraries:
#     MD5Digest of abc, --version, help, the catalogue; compiles the
#     package's examples/host.c against the package alone and runs it;
#   - 64-bit ARM Linux (when there is such a package): its files, what they
#     need (against resources/linux-needs-aarch64.txt), SONAMEs and run
#     paths, and its glyphhost under qemu-aarch64 (MD5Digest, SHA1Digest,
#     --version, the catalogue, the ARM paths in glyphhost paths), and the
#     package's examples/host.c cross-built against it and run there;
#   - Windows: checks the unpacked DLL files (tests/windows/check_pe.py), then
#     runs the DLL tests (the catalogue strings, the descriptor, the
#     version resource, the entry point on the Windows loader) on the unpacked
#     DLLs of each architecture under wine, through the bin/wine-run of that
#     architecture's build tree, with the test program of that tree copied
#     next to them.  An architecture whose tree cannot run Windows programs
#     (no bin/wine-run) is skipped, and the script says so;
#   - reproducibility: builds the Linux package again in a second build tree
#     (build/repro-<preset>, with the preset of the tree the package came
#     from) and one DLL (x64/glyphHerderU.dll, build/repro-mingw-x86_64),
#     and compares them byte for byte with what was unpacked.  Both trees
#     keep their objects, and ccache serves the rest, so this takes a minute
#     or two once they exist.
#
#   scripts/check-release.sh [--linux-tree DIR] [--no-rebuild] [OUT_DIR]
#
#   --linux-tree DIR  the build tree the Linux package was made from (default
#                     build/linux-release); its name is the preset rebuilt
#   --no-rebuild      skip the reproducibility check
#   OUT_DIR           where the packages are (default out)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
linux_tree=build/linux-release
rebuild=yes
usage="usage: scripts/check-release.sh [--linux-tree DIR] [--no-rebuild] [OUT_DIR]"
while [ $# -gt 0 ]; do
    case $1 in
        --linux-tree) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; linux_tree=$2; shift ;;
        --no-rebuild) rebuild=no ;;
        -*) echo "$usage" >&2; exit 2 ;;
        *) break ;;
    esac
    shift
done
out=${1:-out}

fail() { echo "check-release: $*" >&2; exit 1; }

[ -f "$out/SHA256SUMS" ] || fail "no $out/SHA256SUMS"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "the archives do not match $out/SHA256SUMS"
zip=$(sed -n 's/^[0-9a-f]*  \(.*-windows\.zip\)$/\1/p' "$out/SHA256SUMS")
tarball=$(sed -n '/-linux-aarch64\.tar\.gz$/d; s/^[0-9a-f]*  \(.*-linux-.*\.tar\.gz\)$/\1/p' "$out/SHA256SUMS")
arm_tarball=$(sed -n 's/^[0-9a-f]*  \(.*-linux-aarch64\.tar\.gz\)$/\1/p' "$out/SHA256SUMS")
[ -n "$tarball" ] || fail "$out/SHA256SUMS names no Linux package"
version=$(echo "$tarball" | sed 's/^glyphHerder-\(.*\)-linux-.*\.tar\.gz$/\1/')
if [ -n "$zip" ]; then
    [ "$zip" = "glyphHerder-$version-windows.zip" ] || fail "$zip is not of version $version"
fi
if [ -n "$arm_tarball" ]; then
    [ "$arm_tarball" = "glyphHerder-$version-linux-aarch64.tar.gz" ] || fail "$arm_tarball is not of version $version"
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
tar -C "$unpacked" -xzf "$out/$tarball"
linux="$unpacked/${tarball%.tar.gz}"
packages=$linux
windows=""
if [ -n "$zip" ]; then
    python3 -m zipfile -e "$out/$zip" "$unpacked"
    windows="$unpacked/${zip%.zip}"
    packages="$packages $windows"
fi
arm=""
if [ -n "$arm_tarball" ]; then
    tar -C "$unpacked" -xzf "$out/$arm_tarball"
    arm="$unpacked/${arm_tarball%.tar.gz}"
    packages="$packages $arm"
fi

for package in $packages; do
    (cd "$package" && sha256sum --quiet -c SHA256SUMS) || fail "$(basename "$package"): files do not match its SHA256SUMS"
    for f in README.txt functions.md LICENSE CHANGELOG.md include/glyphherder.h examples/host.c; do
        [ -f "$package/$f" ] || fail "$(basename "$package") lacks $f"
    done
    grep -q "^## $version\$" "$package/CHANGELOG.md" || fail "$(basename "$package"): CHANGELOG.md has no entry for $version"
done
if [ -n "$windows" ]; then
    for f in x86/glyphHerderU.dll x86/glyphHerder.dll x64/glyphHerderU.dll x64/glyphHerder.dll; do
        [ -f "$windows/$f" ] || fail "the Windows package lacks $f"
    done
fi
for f in glyphHerderU.so glyphHerder.so libglyphmem.so.1 glyphhost; do
    [ -f "$linux/$f" ] || fail "the Linux package lacks $f"
done

echo "== the Linux package"
# What the files need from the system, as the docs say.
sh tests/linux/check_shipped.sh resources/linux-needs.txt platform/glyphmem.map \
    "$linux/glyphHerderU.so" "$linux/glyphHerder.so" "$linux/libglyphmem.so.1" "$linux/glyphhost" ||
    fail "the Linux files need more than resources/linux-needs.txt allows"
# The unpacked files find each other by their run path alone.
for f in glyphhost glyphHerderU.so glyphHerder.so; do
    runpath=$(readelf -d "$linux/$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
    [ "$runpath" = '$ORIGIN' ] || fail "$f has the run path '$runpath', not \$ORIGIN"
done
# The SONAMEs: the release's version on the libraries, the interface's on
# the memory layer.
for f in glyphHerderU.so glyphHerder.so libglyphmem.so.1; do
    soname=$(readelf -d "$linux/$f" | sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p')
    case $f in
        lib*) want=$f ;;
        *) want=$f.$version ;;
    esac
    [ "$soname" = "$want" ] || fail "$f has the SONAME '$soname', not $want"
done
echo "ok: needs, run paths, SONAMEs"
# libglyphmem.so.1 is the shipped build: the memory calls only.
if nm -D --defined-only "$linux/libglyphmem.so.1" | grep -q glyphmem_fail_nth; then
    fail "libglyphmem.so.1 is the test build"
fi
# expect OUTPUT_PATTERN COMMAND...: runs COMMAND from / with a bare environment.
expect() {
    pattern=$1
    shift
    got=$(cd / && env -i PATH=/usr/bin:/bin "$@" 2>&1) || fail "$* failed: $got"
    printf '%s\n' "$got" | grep -q -E -e "$pattern" || fail "$*: expected $pattern, got: $got"
    echo "ok: $(echo "$*" | sed "s|$unpacked/[^/]*/||")"
}
host="$linux/glyphhost"
expect '^text: "900150983cd24fb0d6963f7d28e17f72"$' "$host" call MD5Digest abc
expect '^text: "900150983cd24fb0d6963f7d28e17f72"$' "$host" --build byte call MD5Digest abc
expect "^glyphHerder $version\$" "$host" --version
expect '^MD5Digest\(data\)$' "$host" help MD5Digest
expect 'wide build, group GlyphHerder, 38 functions' "$host" list
expect 'byte build, group GlyphHerder, 38 functions' "$host" --build byte list

# The example host, built from the package alone, as its comment says.
expect_host='MD5Digest("abc") = 900150983cd24fb0d6963f7d28e17f72
splitstring("list", ",") = a, list = "b,c"
splitstring("list", ",") = b, list = "c"
splitstring("list", ",") = c, list = ""'
if command -v cc >/dev/null; then
    (cd "$linux" && cc -std=c99 -Iinclude examples/host.c -o "$unpacked/host" -L. -l:libglyphmem.so.1 -ldl \
        -Wl,-rpath,"$linux") || fail "examples/host.c does not build from the package"
    got=$(cd / && env -i PATH=/usr/bin:/bin "$unpacked/host" "$linux/glyphHerderU.so" 2>&1) ||
        fail "the example host failed: $got"
    [ "$got" = "$expect_host" ] || fail "the example host printed: $got"
    echo "ok: examples/host.c, built against the package, calls MD5Digest and splitstring"
else
    echo "skipped: examples/host.c (no C compiler)"
fi

if [ -n "$arm" ]; then
    echo "== the 64-bit ARM Linux package, under qemu-aarch64"
    for f in glyphHerderU.so glyphHerder.so libglyphmem.so.1 glyphhost; do
        [ -f "$arm/$f" ] || fail "the ARM package lacks $f"
    done
    readelf -h "$arm/glyphHerderU.so" | grep -q 'Machine: *AArch64' || fail "the ARM package's glyphHerderU.so is not AArch64"
    sh tests/linux/check_shipped.sh resources/linux-needs-aarch64.txt platform/glyphmem.map \
        "$arm/glyphHerderU.so" "$arm/glyphHerder.so" "$arm/libglyphmem.so.1" "$arm/glyphhost" ||
        fail "the ARM files need more than resources/linux-needs-aarch64.txt allows"
    if nm -D --defined-only "$arm/libglyphmem.so.1" | grep -q glyphmem_fail_nth; then
        fail "the ARM libglyphmem.so.1 is the test build"
    fi
    for f in glyphhost glyphHerderU.so glyphHerder.so; do
        runpath=$(readelf -d "$arm/$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
        [ "$runpath" = '$ORIGIN' ] || fail "the ARM $f has the run path '$runpath', not \$ORIGIN"
    done
    for f in glyphHerderU.so glyphHerder.so; do
        soname=$(readelf -d "$arm/$f" | sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p')
        [ "$soname" = "$f.$version" ] || fail "the ARM $f has the SONAME '$soname', not $f.$version"
    done
    qemu=$(command -v qemu-aarch64) || fail "no qemu-aarch64 to run the ARM package (scripts/deps.sh installs qemu-user)"
    arm_host="$qemu -cpu max -L /usr/aarch64-linux-gnu $arm/glyphhost"
    # shellcheck disable=SC2086  # the command is meant to split
    {
        expect '^text: "900150983cd24fb0d6963f7d28e17f72"$' $arm_host call MD5Digest abc
        expect '^text: "a9993e364706816aba3e25717850c26c9cd0d89d"$' $arm_host --build byte call SHA1Digest abc
        expect "^glyphHerder $version\$" $arm_host --version
        expect 'wide build, group GlyphHerder, 38 functions' $arm_host list
        expect '^crc16_x25: pmull \(' $arm_host paths
        expect '^find_char32: neon \(' $arm_host paths
    }
    # The example host, cross-built from the package alone, under qemu.
    if command -v aarch64-linux-gnu-gcc >/dev/null; then
        (cd "$arm" && aarch64-linux-gnu-gcc -std=c99 -Iinclude examples/host.c -o "$unpacked/arm-host" -L. \
            -l:libglyphmem.so.1 -ldl -Wl,-rpath,"$arm") || fail "examples/host.c does not build from the ARM package"
        got=$(cd / && env -i PATH=/usr/bin:/bin "$qemu" -cpu max -L /usr/aarch64-linux-gnu "$unpacked/arm-host" \
            "$arm/glyphHerderU.so" 2>&1) || fail "the ARM example host failed: $got"
        [ "$got" = "$expect_host" ] || fail "the ARM example host printed: $got"
        echo "ok: examples/host.c, built against the ARM package, under qemu-aarch64"
    else
        echo "skipped: examples/host.c for ARM (no aarch64-linux-gnu-gcc)"
    fi
fi

if [ -n "$windows" ]; then
echo "== the Windows package"
# The files themselves first, as the host reads them: on every machine, also
# where the x86 DLLs cannot be run.
pe_python=""
for python in /usr/bin/python3 python3; do
    if "$python" -c 'import pefile' 2>/dev/null; then pe_python=$python; break; fi
done
[ -n "$pe_python" ] || fail "no python3 with pefile to read the DLLs (scripts/deps.sh installs python3-pefile)"
for arch in x86 x64; do
    for dll in glyphHerderU:wide glyphHerder:byte; do
        "$pe_python" tests/windows/check_pe.py --arch $arch --build "${dll#*:}" --version "$version" \
            --source "$root" "$windows/$arch/${dll%%:*}.dll" || fail "$arch/${dll%%:*}.dll is not sound"
    done
    echo "ok: $arch: the DLL files (exports, imports, catalogue, descriptor, version)"
done
for arch in i686:x86 x86_64:x64; do
    tree="$root/build/mingw-${arch%%:*}"
    dir="$windows/${arch#*:}"
    if [ ! -x "$tree/bin/wine-run" ] || [ ! -f "$tree/bin/gh_windows_tests.exe" ]; then
        echo "skipped: ${arch#*:} (no $tree/bin/wine-run or gh_windows_tests.exe to run the DLLs with)"
        continue
    fi
    cp "$tree/bin/gh_windows_tests.exe" "$dir/"
    log="$unpacked/${arch#*:}.log"
    if ! "$tree/bin/wine-run" "$dir/gh_windows_tests.exe" --gtest_filter='*DllTest.*' >"$log" 2>&1; then
        cat "$log"
        fail "the DLL tests failed on the unpacked ${arch#*:} DLLs"
    fi
    grep -q '^\[  PASSED  \] [1-9]' "$log" || { cat "$log"; fail "no test ran on the ${arch#*:} DLLs"; }
    echo "ok: ${arch#*:}: $(grep '^\[  PASSED  \]' "$log")"
done
fi

if [ $rebuild = yes ]; then
    echo "== the same bytes from a second build tree"
    preset=$(basename "$linux_tree")
    again="build/repro-$preset"
    # With the compiler launcher (ccache) of the first tree, if it had one.
    launcher=$(sed -n 's/^CMAKE_CXX_COMPILER_LAUNCHER:[A-Z]*=//p' "$linux_tree/CMakeCache.txt")
    cmake --preset "$preset" -B "$again" ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} \
        ${launcher:+-DCMAKE_C_COMPILER_LAUNCHER="$launcher"} >/dev/null
    cmake --build "$again" -j2 --target glyphHerderU glyphHerder glyphmem_shipped glyphhost gh_release_readme >/dev/null
    scripts/release.sh --linux --reuse --no-test --linux-tree "$again" --out "$again/packages" >/dev/null
    cmp "$out/$tarball" "$again/packages/$tarball" || fail "$tarball differs when built in $again"
    echo "ok: $tarball, built again in $again"
    if [ -n "$windows" ] && command -v x86_64-w64-mingw32-g++ >/dev/null; then
        again=build/repro-mingw-x86_64
        launcher=$(sed -n 's/^CMAKE_CXX_COMPILER_LAUNCHER:[A-Z]*=//p' build/mingw-x86_64/CMakeCache.txt 2>/dev/null || true)
        cmake --preset mingw-x86_64 -B "$again" ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher"} \
            ${launcher:+-DCMAKE_C_COMPILER_LAUNCHER="$launcher"} >/dev/null
        cmake --build "$again" -j2 --target glyphHerderU >/dev/null
        cmp "$windows/x64/glyphHerderU.dll" "$again/bin/glyphHerderU.dll" ||
            fail "x64/glyphHerderU.dll differs when built in $again"
        echo "ok: x64/glyphHerderU.dll, built again in $again"
    fi
fi
echo "== the packages of $version are sound"
