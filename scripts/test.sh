#!/bin/sh
# Builds everything and runs every test:
#   - Linux, debug build with warnings as errors: unit tests (every fast path
#     against the portable code, OpenSSL as a reference), the host layer in
#     process, the libraries through the host emulator, every catalogue case
#     in both builds with the allocation-failure sweep, the tools, and the
#     same again with the fast paths switched off (GH_FORCE_PORTABLE=1);
#     the benchmarks are compiled, not run;
#   - Linux again under AddressSanitizer, UBSan and LeakSanitizer;
#   - the concurrency test under ThreadSanitizer (8 threads, every function);
#   - the libFuzzer targets (clang, sanitizers), each run briefly from its
#     seed corpus;
#   - Windows: the four DLLs and the tools cross-built with MinGW-w64 and
#     tested under wine (scripts/test-windows.sh);
#   - the release packages made from those trees (the Linux one from
#     linux-debug), unpacked and tried (scripts/check-release.sh).
#
#   scripts/test.sh
#
# Missing Debian packages are installed first (scripts/deps.sh; root is
# needed only when something is missing).
set -eu
cd "$(dirname "$0")/.."

scripts/deps.sh
start=$(date +%s)
for preset in linux-debug linux-asan linux-tsan linux-fuzz; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
scripts/test-windows.sh --no-deps
# The release packages, made from the trees just tested, unpacked and tried.
echo "== release packages"
scripts/release.sh --reuse --no-test --linux-tree build/linux-debug --out build/packages >/dev/null
scripts/check-release.sh build/packages
echo "== every test passed in $(( $(date +%s) - start )) s"
