#!/bin/sh
# Checks the packages scripts/release.sh wrote, as a user receives them:
# verifies the checksums, unpacks both archives in a fresh folder, and then
#   - Linux: runs the unpacked glyphhost (from another folder, with a bare
#     environment) on both unpacked libraries: MD5Digest of abc, --version,
#     help, the catalogue; the 64-bit ARM package the same under
#     qemu-aarch64, and glyphhost paths there;
#   - Windows: checks the unpacked DLL files (tests/windows/check_pe.py), then
#     runs the DLL tests (the catalogue strings, the descriptor, the
#     version resource, the entry point on the Windows loader) on the unpacked
#     DLLs of each architecture under wine, through the bin/wine-run of that
#     architecture's build tree, with the test program of that tree copied
#     next to them.  An architecture whose tree cannot run Windows programs
#     (no bin/wine-run) is skipped, and the script says so.
#
#   scripts/check-release.sh [OUT_DIR]      (default out)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-out}

fail() { echo "check-release: $*" >&2; exit 1; }

[ -f "$out/SHA256SUMS" ] || fail "no $out/SHA256SUMS"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "the archives do not match $out/SHA256SUMS"
zip=$(sed -n 's/^[0-9a-f]*  \(.*-windows\.zip\)$/\1/p' "$out/SHA256SUMS")
tarball=$(sed -n '/-linux-aarch64\.tar\.gz$/d; s/^[0-9a-f]*  \(.*-linux-.*\.tar\.gz\)$/\1/p' "$out/SHA256SUMS")
arm_tarball=$(sed -n 's/^[0-9a-f]*  \(.*-linux-aarch64\.tar\.gz\)$/\1/p' "$out/SHA256SUMS")
[ -n "$zip" ] && [ -n "$tarball" ] && [ -n "$arm_tarball" ] || fail "$out/SHA256SUMS does not name the three packages"
version=$(echo "$zip" | sed 's/^glyphHerder-\(.*\)-windows\.zip$/\1/')

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -m zipfile -e "$out/$zip" "$unpacked"
tar -C "$unpacked" -xzf "$out/$tarball"
tar -C "$unpacked" -xzf "$out/$arm_tarball"
windows="$unpacked/${zip%.zip}"
linux="$unpacked/${tarball%.tar.gz}"
arm="$unpacked/${arm_tarball%.tar.gz}"

for package in "$windows" "$linux" "$arm"; do
    (cd "$package" && sha256sum --quiet -c SHA256SUMS) || fail "$(basename "$package"): files do not match its SHA256SUMS"
done
for f in README.txt functions.md x86/glyphHerderU.dll x86/glyphHerder.dll x64/glyphHerderU.dll x64/glyphHerder.dll; do
    [ -f "$windows/$f" ] || fail "the Windows package lacks $f"
done
for package in "$linux" "$arm"; do
    for f in README.txt functions.md glyphHerderU.so glyphHerder.so libglyphmem.so glyphhost; do
        [ -f "$package/$f" ] || fail "$(basename "$package") lacks $f"
    done
    # The unpacked files find each other by their run path alone.
    for f in glyphhost glyphHerderU.so glyphHerder.so; do
        runpath=$(readelf -d "$package/$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]$/\1/p')
        [ "$runpath" = '$ORIGIN' ] || fail "$(basename "$package")/$f has the run path '$runpath', not \$ORIGIN"
    done
done

echo "== the Linux package"
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

echo "== the 64-bit ARM Linux package, under qemu-aarch64"
readelf -h "$arm/glyphHerderU.so" | grep -q 'Machine: *AArch64' || fail "the ARM package's glyphHerderU.so is not AArch64"
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
echo "== the packages of $version are sound"
