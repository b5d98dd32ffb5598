// The kernels behind the scans of scan.h, one set per instruction-set tier.
// Internal to text/; the tests and benchmarks reach every set through the
// kernels' path lists.
//
// Every kernel of every set has the contract of its scan in scan.h and gives
// the portable kernel's result.  A set lacks a kernel (a null pointer) where
// its tier brings nothing over the next tier down or the portable code.
// Each scan of each width is a kernel of its own (platform/kernels.h) over
// the tiers of its width, taking the first tier this processor runs that has
// it: a short search, a long count and a filtering copy are bound by
// different things, so a tier may serve one and not another.
#ifndef GH_TEXT_SCAN_KERNELS_H
#define GH_TEXT_SCAN_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include "platform/kernels.h"
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
    void (*markChars)(const C *s, size_t n, C c, C limit, uint64_t *equal, uint64_t *atMost);
};

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
    TEXT_SCAN_MARK_CHARS,
    TEXT_SCAN_FUNCTIONS
};

// The tiers of each width, best first, the portable one last (the same
// tiers in the same order for both widths); a path's table is a
// ScanKernels of its width.  Each processor family has its own tiers.
#if defined(__x86_64__) || defined(__i386__)
enum { TEXT_SCAN_TIERS = 5 };
#elif defined(__aarch64__)
enum { TEXT_SCAN_TIERS = 2 };  // neon, portable
#else
enum { TEXT_SCAN_TIERS = 1 };
#endif
extern const KernelPath kScanPaths8[TEXT_SCAN_TIERS];
extern const KernelPath kScanPaths32[TEXT_SCAN_TIERS];

// A kernel per scan and width ("find_char8"), indexed by TextScanFunction.
extern Kernel gScanKernels8[TEXT_SCAN_FUNCTIONS];
extern Kernel gScanKernels32[TEXT_SCAN_FUNCTIONS];

template <class C>
inline const ScanKernels<C> &scan_set_of(const KernelPath &p) {
    return *static_cast<const ScanKernels<C> *>(p.fns);
}

// Whether this processor runs tier `tier` (an index into the lists) and it
// has a kernel of either width.
bool scan_tier_runs(int tier);

// A test hook: from now on every scan of scan.h runs the kernel of tier
// `tier` (the portable one where that tier has none or the processor cannot
// run it), until called with -1, which goes back to the chosen kernels.  So
// the algorithms built on the scans (token search, parts, lines) are tested
// on every tier.  Tests only; not for use while other threads scan.
void scan_force_path(int tier);

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

// The marks one character at a time from s[i] on, i a multiple of 64: the
// portable kernel from the start, the vector kernels for the last, partial
// word.
template <class C>
inline void mark_chars_tail(const C *s, size_t n, C c, C limit, uint64_t *equal, uint64_t *atMost, size_t i) {
    for (; i < n; i += 64) {
        size_t end = n - i < 64 ? n - i : 64;
        uint64_t e = 0, a = 0;
        for (size_t j = 0; j < end; ++j) {
            e |= uint64_t{s[i + j] == c} << j;
            a |= uint64_t{s[i + j] <= limit} << j;
        }
        equal[i / 64] = e;
        if (atMost) atMost[i / 64] = a;
    }
}

extern const ScanKernels<uint8_t> kScanPortableU8, kScanSse2U8, kScanAvx2U8, kScanAvx512U8, kScanAvx512Vbmi2U8;
extern const ScanKernels<uint32_t> kScanPortableU32, kScanSse2U32, kScanAvx2U32, kScanAvx512U32, kScanAvx512Vbmi2U32;
extern const ScanKernels<uint8_t> kScanNeonU8;
extern const ScanKernels<uint32_t> kScanNeonU32;

#endif
