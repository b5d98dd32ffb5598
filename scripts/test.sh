#!/bin/sh
# Builds everything and runs every test:
#   - Linux, debug build with warnings as errors: unit tests (every fast path
#     against the portable code, OpenSSL as a reference), the host layer in
#     process, the libraries through the host emulator, every catalogue case
#     in both builds with the allocation-failure sweep, the tools, and the
#     same again with the fast paths switched off (GH_FORCE_PORTABLE=1);
#     the benchmarks are compiled, not run;
#   - clang-tidy over the library code, from that tree's compile commands:
#     the naming conventions of the .clang-tidy files and a few bug-finding
#     checks, warnings as errors (scripts/tidy.sh);
#   - Linux again under AddressSanitizer, UBSan and LeakSanitizer;
#   - the concurrency tests under ThreadSanitizer (8 threads, every function;
#     NTLMresponse on 8 instances at once);
#   - the libFuzzer targets (clang, sanitizers), each run briefly from its
#     seed corpus;
#   - Windows: the four DLLs and the tools cross-built with MinGW-w64, their
#     files checked, and tested under wine; where this machine runs no 32-bit
#     programs (or GH_FORCE_NO_32BIT=1), the x86 DLLs are checked from their
#     files only and the library's 32-bit code is tested by an i686 Linux
#     build under qemu-i386 instead (scripts/test-windows.sh);
#   - Linux on 64-bit ARM: the aarch64 cross build run under qemu-aarch64
#     (-cpu max, every ARM extension): the unit tests (every NEON and ARMv8
#     crypto path against the portable code), every catalogue case in both
#     builds with the allocation-failure sweep, the tools, glyphhost paths;
#     the same on every machine, with or without 32-bit programs;
#   - the release packages made from those trees (the Linux ones from
#     linux-debug and linux-aarch64), unpacked and tried, and the native
#     Linux one and one DLL built again in second trees to show the same
#     bytes come out (scripts/check-release.sh).
#
#   scripts/test.sh
#
# Missing Debian packages are installed first (scripts/deps.sh; root is
# needed only when something is missing).  Every stage is timed; the summary
# at the end lists them.
set -eu
cd "$(dirname "$0")/.."
. scripts/stages.sh

start=$(date +%s)
scripts/deps.sh
stage_note "$(printf '%-13s packages checked or installed in %s s' deps $(( $(date +%s) - start )))"
stage_preset linux-debug
stage_tidy linux-debug
for preset in linux-asan linux-tsan linux-fuzz; do
    stage_preset "$preset"
done
stage_windows i686 x86_64
stage_preset linux-aarch64
# The release packages, made from the trees just tested, unpacked and tried.
echo "== release packages"
packed=$(date +%s)
scripts/release.sh --reuse --no-test --linux-tree build/linux-debug --aarch64-tree build/linux-aarch64 \
    --out build/packages >/dev/null
scripts/check-release.sh --linux-tree build/linux-debug build/packages
stage_note "$(printf '%-13s packed, unpacked and tried in %s s' packages $(( $(date +%s) - packed )))"
stage_summary
echo "== every test passed in $(( $(date +%s) - start )) s"
