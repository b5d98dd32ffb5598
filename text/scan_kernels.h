// The kernels behind the scans of scan.h, one set per instruction set, and
// the choice among them.  Internal to text/; the tests and benchmarks reach
// every set through scan_kernels8_for() and scan_kernels32_for().
//
// Every kernel of every set has the contract of its scan in scan.h and gives
// the portable kernel's result.  A set may lack a kernel (a null pointer)
// where the instruction set offers nothing better than the portable code.
// Each scan of each width is chosen on its own, timed once at its first use
// (platform/path_choice.h; the portable kernel under GH_FORCE_PORTABLE=1):
// a short search, a long count and a filtering copy are bound by different
// things, and which set wins each differs between processors.
#ifndef GH_TEXT_SCAN_KERNELS_H
#define GH_TEXT_SCAN_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include "text/scan.h"

template <class C>
struct ScanKernels {
    const char *name;
    size_t (*findChar)(const C *s, size_t n, C c);
    size_t (*findEither)(const C *s, size_t n, C a, C b);
    size_t (*findLastChar)(const C *s, size_t n, C c);
    size_t (*findLastAtMost)(const C *s, size_t n, C limit);
    size_t (*countChar)(const C *s, size_t n, C c);
    size_t (*copyWithout)(C *dst, const C *src, size_t n, C c);
    size_t (*copyKept)(C *dst, const C *src, size_t n, const CharKeepSet &keep);
    size_t (*findPair)(const C *s, size_t n, C a, C b, size_t gap);
    size_t (*copyBreaks)(C *dst, const C *src, size_t n, C from, C to, bool dropLf);
};

// The paths, the conventional (widest) one last here; a chooser lists them
// widest first.
enum TextScanPath {
    TEXT_SCAN_PORTABLE,
    TEXT_SCAN_SSE2,
    TEXT_SCAN_AVX2,
    TEXT_SCAN_AVX512,
    TEXT_SCAN_AVX512VBMI2,  // the byte copies alone
    TEXT_SCAN_PATHS
};

// The kernels of a path, or null when this processor cannot run them (the
// portable set always runs).
const ScanKernels<uint8_t> *scan_kernels8_for(TextScanPath path);
const ScanKernels<uint32_t> *scan_kernels32_for(TextScanPath path);

// The scans, in the order of ScanKernels.
enum TextScanFunction {
    TEXT_SCAN_FIND_CHAR,
    TEXT_SCAN_FIND_EITHER,
    TEXT_SCAN_FIND_LAST_CHAR,
    TEXT_SCAN_FIND_LAST_AT_MOST,
    TEXT_SCAN_COUNT_CHAR,
    TEXT_SCAN_COPY_WITHOUT,
    TEXT_SCAN_COPY_KEPT,
    TEXT_SCAN_FIND_PAIR,
    TEXT_SCAN_COPY_BREAKS,
    TEXT_SCAN_FUNCTIONS
};

// How a scan of one width was chosen (made now if need be; path numbers
// are TextScanPath); null for a function number out of range.
struct PathChoice;
const PathChoice *scan_choice8(TextScanFunction f);
const PathChoice *scan_choice32(TextScanFunction f);

// A test hook: from now on every scan of scan.h runs the kernel of `path`
// (the portable one where that path has none or the processor cannot run
// it), until called with TEXT_SCAN_PATHS, which goes back to the chosen
// kernels.  So the algorithms built on the scans (token search, parts,
// lines) are tested on every path.  Tests only; not for use while other
// threads scan.
void scan_force_path(TextScanPath path);

// Whether a set has a scan's kernel.
template <class C>
bool scan_kernel_present(const ScanKernels<C> &k, TextScanFunction f);

// The break copy one character at a time from src[i] and dst[o] on
// (afterBreak: src[i - 1] was `from`): the portable kernel from the start,
// the vector kernels for what is left after their last whole block.
template <class C>
inline size_t copy_breaks_tail(C *dst, const C *src, size_t n, C from, C to, bool dropLf, size_t i, size_t o,
                               bool afterBreak) {
    for (; i < n; ++i) {
        C x = src[i];
        bool isBreak = x == from;
        bool dropped = dropLf && afterBreak && x == 10;
        afterBreak = isBreak;
        dst[o] = isBreak ? to : x;
        o += !dropped;
    }
    return o;
}

extern const ScanKernels<uint8_t> kScanPortableU8, kScanSse2U8, kScanAvx2U8, kScanAvx512U8, kScanAvx512Vbmi2U8;
extern const ScanKernels<uint32_t> kScanPortableU32, kScanSse2U32, kScanAvx2U32, kScanAvx512U32, kScanAvx512Vbmi2U32;

#endif
