// The scans: the portable kernels, and the kernels over the tiers
// (scan_kernels.h).  The portable byte searches lean on the C library where
// it has them (memchr, memrchr), which is vectorised there already.
#include "text/scan.h"

#include <string.h>

#include <atomic>

#include "platform/cpu_features.h"
#include "text/scan_kernels.h"

namespace {

template <class C>
size_t findChar(const C *s, size_t n, C c) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == c) return i;
    }
    return n;
}

size_t findByte(const uint8_t *s, size_t n, uint8_t c) {
    const void *p = n ? memchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
}

template <class C>
size_t findEither(const C *s, size_t n, C a, C b) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == a || s[i] == b) return i;
    }
    return n;
}

template <class C>
size_t findLastChar(const C *s, size_t n, C c) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] == c) return i;
    }
    return n;
}

size_t findLastByte(const uint8_t *s, size_t n, uint8_t c) {
#if defined(__GLIBC__)
    const void *p = n ? memrchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
#else
    return findLastChar(s, n, c);
#endif
}

template <class C>
size_t findLastAtMost(const C *s, size_t n, C limit) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] <= limit) return i;
    }
    return n;
}

template <class C>
size_t countChar(const C *s, size_t n, C c) {
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) count += s[i] == c;
    return count;
}

template <class C>
size_t copyWithout(C *dst, const C *src, size_t n, C c) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        C x = src[i];
        dst[o] = x;  // written always, counted only when kept: no branch to mispredict
        o += x != c;
    }
    return o;
}

bool wideKept(const CharKeepSet &keep, uint32_t c) {
    for (size_t i = 0; i < keep.wideCount; ++i) {
        if (keep.wideKept[i] == c) return true;
    }
    return false;
}

size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = src[i];
        dst[o] = x;
        o += keep.byteKept[x];
    }
    return o;
}

size_t copyKeptWide(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = src[i];
        dst[o] = x;
        o += x < 256 ? keep.byteKept[x] : wideKept(keep, x);
    }
    return o;
}

// The first character by the C library's search, the second checked.
size_t findPairBytes(const uint8_t *s, size_t n, uint8_t a, uint8_t b, size_t gap) {
    for (size_t i = findByte(s, n, a); i < n; i += 1 + findByte(s + i + 1, n - i - 1, a)) {
        if (s[i + gap] == b) return i;
    }
    return n;
}

size_t findPairWide(const uint32_t *s, size_t n, uint32_t a, uint32_t b, size_t gap) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == a && s[i + gap] == b) return i;
    }
    return n;
}

template <class C>
size_t copyBreaks(C *dst, const C *src, size_t n, C from, C to, bool dropLf) {
    return copy_breaks_tail(dst, src, n, from, to, dropLf, 0, 0, false);
}

template <class C>
void markChars(const C *s, size_t n, C c, C limit, uint64_t *equal, uint64_t *atMost) {
    mark_chars_tail(s, n, c, limit, equal, atMost, 0);
}

// Bytes eight at a time in a 64-bit word: a byte's top bit set where it is
// zero (or, against a limit below 128, where it is at most the limit), then
// the eight top bits gathered into one byte by a multiplication.
constexpr uint64_t kOnes = 0x0101010101010101u, kLow7 = 0x7F7F7F7F7F7F7F7Fu, kTops = 0x8080808080808080u;
inline uint64_t topsOfZeros(uint64_t y) { return ~(((y & kLow7) + kLow7) | y) & kTops; }
inline uint64_t topsAtMost(uint64_t x, uint64_t lift) { return ~(((x & kLow7) + lift) | x) & kTops; }
inline uint64_t gatherTops(uint64_t t) { return ((t >> 7) * 0x0102040810204080u) >> 56; }

void markBytes(const uint8_t *s, size_t n, uint8_t c, uint8_t limit, uint64_t *equal, uint64_t *atMost) {
    if (limit >= 128) return mark_chars_tail(s, n, c, limit, equal, atMost, 0);
    const uint64_t vc = c * kOnes, lift = (127u - limit) * kOnes;
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        uint64_t e = 0, a = 0;
        for (unsigned j = 0; j < 64; j += 8) {
            uint64_t x;
            memcpy(&x, s + i + j, 8);  // little-endian: byte k is bits 8k to 8k + 7
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            x = __builtin_bswap64(x);
#endif
            e |= gatherTops(topsOfZeros(x ^ vc)) << j;
            a |= gatherTops(topsAtMost(x, lift)) << j;
        }
        equal[i / 64] = e;
        if (atMost) atMost[i / 64] = a;
    }
    mark_chars_tail(s, n, c, limit, equal, atMost, i);
}

}  // namespace

const ScanKernels<uint8_t> kScanPortableU8 = {
    "portable",        findByte,           findEither<uint8_t>, findLastByte, findLastAtMost<uint8_t>,
    countChar<uint8_t>, copyWithout<uint8_t>, copyKeptBytes,     findPairBytes, copyBreaks<uint8_t>,
    markBytes};
const ScanKernels<uint32_t> kScanPortableU32 = {
    "portable",          findChar<uint32_t>,    findEither<uint32_t>, findLastChar<uint32_t>,
    findLastAtMost<uint32_t>, countChar<uint32_t>, copyWithout<uint32_t>, copyKeptWide, findPairWide,
    copyBreaks<uint32_t>, markChars<uint32_t>};

template <class C>
bool scan_kernel_present(const ScanKernels<C> &k, TextScanFunction f) {
    switch (f) {
    case TEXT_SCAN_FIND_CHAR:
        return k.findChar;
    case TEXT_SCAN_FIND_EITHER:
        return k.findEither;
    case TEXT_SCAN_FIND_LAST_CHAR:
        return k.findLastChar;
    case TEXT_SCAN_FIND_LAST_AT_MOST:
        return k.findLastAtMost;
    case TEXT_SCAN_COUNT_CHAR:
        return k.countChar;
    case TEXT_SCAN_COPY_WITHOUT:
        return k.copyWithout;
    case TEXT_SCAN_COPY_KEPT:
        return k.copyKept;
    case TEXT_SCAN_FIND_PAIR:
        return k.findPair;
    case TEXT_SCAN_COPY_BREAKS:
        return k.copyBreaks;
    case TEXT_SCAN_MARK_CHARS:
        return k.markChars;
    default:
        return false;
    }
}
template bool scan_kernel_present(const ScanKernels<uint8_t> &, TextScanFunction);
template bool scan_kernel_present(const ScanKernels<uint32_t> &, TextScanFunction);

namespace {

// With the GNU C library the portable byte searches are its memchr and
// memrchr, vectorised there and faster than every set here (bench/README.md):
// those two kernels keep the portable path.  Elsewhere (msvcrt's memchr, a
// loop for the last byte) the sets' kernels run.
template <class C>
bool hasScan(const void *fns, int slot) {
#if defined(__GLIBC__)
    if (sizeof(C) == 1 && (slot == TEXT_SCAN_FIND_CHAR || slot == TEXT_SCAN_FIND_LAST_CHAR)) return false;
#endif
    return scan_kernel_present(*static_cast<const ScanKernels<C> *>(fns), static_cast<TextScanFunction>(slot));
}

// With AVX-512 run in two 256-bit halves (Zen 4) these AVX-512 kernels ran
// more than 5 % slower than the next set down (bench/README.md), while on
// processors with full-width AVX-512 they run ahead of it.
constexpr uint32_t bitOf(TextScanFunction f) { return 1u << f; }
bool passOverScan(const void *fns, int slot, uint64_t features) {
    if (!(features & CPU_AVX512_HALVES)) return false;
    uint32_t bit = 1u << slot, over = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (fns == &kScanAvx512U8) over = bitOf(TEXT_SCAN_COUNT_CHAR) | bitOf(TEXT_SCAN_COPY_KEPT);
    if (fns == &kScanAvx512Vbmi2U8) over = bitOf(TEXT_SCAN_COPY_BREAKS);
    if (fns == &kScanAvx512U32)
        over = bitOf(TEXT_SCAN_FIND_CHAR) | bitOf(TEXT_SCAN_COUNT_CHAR) | bitOf(TEXT_SCAN_COPY_WITHOUT);
#else
    (void)fns;
#endif
    return bit & over;
}

// Per width: the tiers, best first, and a kernel per scan over them.
template <class C>
struct Width;

template <>
struct Width<uint8_t> {
    static constexpr Kernel *kKernels = gScanKernels8;
};

template <>
struct Width<uint32_t> {
    static constexpr Kernel *kKernels = gScanKernels32;
};

// The test hook's tier, or -1.
std::atomic<int> gForcedTier{-1};

template <class C>
const ScanKernels<C> &forced(int tier, TextScanFunction f) {
    const Kernel &k = Width<C>::kKernels[f];
    return *static_cast<const ScanKernels<C> *>(k.paths[gh_kernel_path_runs(k, tier) ? tier : k.count - 1].fns);
}

template <class C>
inline const ScanKernels<C> &chosen(TextScanFunction f) {
    int tier = gForcedTier.load(std::memory_order_relaxed);
    if (__builtin_expect(tier >= 0, 0)) return forced<C>(tier, f);
    return *static_cast<const ScanKernels<C> *>(gh_kernel_fns(&Width<C>::kKernels[f]));
}

}  // namespace

const KernelPath kScanPaths8[TEXT_SCAN_TIERS] = {
#if defined(__x86_64__) || defined(__i386__)
    {"avx512vbmi2", CPU_AVX512VBMI2, &kScanAvx512Vbmi2U8},
    {"avx512", CPU_AVX512BW, &kScanAvx512U8},
    {"avx2", CPU_AVX2, &kScanAvx2U8},
    {"sse2", CPU_SSE2, &kScanSse2U8},
#endif
#if defined(__aarch64__)
    {"neon", CPU_NEON, &kScanNeonU8},
#endif
    {"portable", 0, &kScanPortableU8},
};
const KernelPath kScanPaths32[TEXT_SCAN_TIERS] = {
#if defined(__x86_64__) || defined(__i386__)
    {"avx512vbmi2", CPU_AVX512VBMI2, &kScanAvx512Vbmi2U32},
    {"avx512", CPU_AVX512BW, &kScanAvx512U32},
    {"avx2", CPU_AVX2, &kScanAvx2U32},
    {"sse2", CPU_SSE2, &kScanSse2U32},
#endif
#if defined(__aarch64__)
    {"neon", CPU_NEON, &kScanNeonU32},
#endif
    {"portable", 0, &kScanPortableU32},
};

#define GH_SCAN_KERNELS(w)                                                                                   \
    {                                                                                                        \
        {"find_char" #w, kScanPaths##w, TEXT_SCAN_FIND_CHAR, hasScan<uint##w##_t>, passOverScan},                          \
            {"find_either" #w, kScanPaths##w, TEXT_SCAN_FIND_EITHER, hasScan<uint##w##_t>, passOverScan},                  \
            {"find_last_char" #w, kScanPaths##w, TEXT_SCAN_FIND_LAST_CHAR, hasScan<uint##w##_t>, passOverScan},            \
            {"find_last_at_most" #w, kScanPaths##w, TEXT_SCAN_FIND_LAST_AT_MOST, hasScan<uint##w##_t>, passOverScan},      \
            {"count_char" #w, kScanPaths##w, TEXT_SCAN_COUNT_CHAR, hasScan<uint##w##_t>, passOverScan},                    \
            {"copy_without" #w, kScanPaths##w, TEXT_SCAN_COPY_WITHOUT, hasScan<uint##w##_t>, passOverScan},                \
            {"copy_kept" #w, kScanPaths##w, TEXT_SCAN_COPY_KEPT, hasScan<uint##w##_t>, passOverScan},                      \
            {"find_pair" #w, kScanPaths##w, TEXT_SCAN_FIND_PAIR, hasScan<uint##w##_t>, passOverScan},                      \
            {"copy_breaks" #w, kScanPaths##w, TEXT_SCAN_COPY_BREAKS, hasScan<uint##w##_t>, passOverScan},                  \
            {"mark_chars" #w, kScanPaths##w, TEXT_SCAN_MARK_CHARS, hasScan<uint##w##_t>, passOverScan},                    \
    }
Kernel gScanKernels8[TEXT_SCAN_FUNCTIONS] = GH_SCAN_KERNELS(8);
Kernel gScanKernels32[TEXT_SCAN_FUNCTIONS] = GH_SCAN_KERNELS(32);
#undef GH_SCAN_KERNELS

bool scan_tier_runs(int tier) {
    for (int f = 0; f < TEXT_SCAN_FUNCTIONS; ++f) {
        if (gh_kernel_path_runs(gScanKernels8[f], tier) || gh_kernel_path_runs(gScanKernels32[f], tier)) return true;
    }
    return false;
}

void scan_force_path(int tier) {
    gForcedTier.store(tier >= 0 && tier < TEXT_SCAN_TIERS ? tier : -1, std::memory_order_relaxed);
}

size_t scan_find_char(const uint8_t *s, size_t n, uint8_t c) { return chosen<uint8_t>(TEXT_SCAN_FIND_CHAR).findChar(s, n, c); }
size_t scan_find_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_CHAR).findChar(s, n, c);
}

size_t scan_find_either(const uint8_t *s, size_t n, uint8_t a, uint8_t b) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_EITHER).findEither(s, n, a, b);
}
size_t scan_find_either(const uint32_t *s, size_t n, uint32_t a, uint32_t b) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_EITHER).findEither(s, n, a, b);
}

size_t scan_find_last_char(const uint8_t *s, size_t n, uint8_t c) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_LAST_CHAR).findLastChar(s, n, c);
}
size_t scan_find_last_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_LAST_CHAR).findLastChar(s, n, c);
}

size_t scan_find_last_at_most(const uint8_t *s, size_t n, uint8_t limit) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_LAST_AT_MOST).findLastAtMost(s, n, limit);
}
size_t scan_find_last_at_most(const uint32_t *s, size_t n, uint32_t limit) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_LAST_AT_MOST).findLastAtMost(s, n, limit);
}

size_t scan_find_pair(const uint8_t *s, size_t n, uint8_t a, uint8_t b, size_t gap) {
    return chosen<uint8_t>(TEXT_SCAN_FIND_PAIR).findPair(s, n, a, b, gap);
}
size_t scan_find_pair(const uint32_t *s, size_t n, uint32_t a, uint32_t b, size_t gap) {
    return chosen<uint32_t>(TEXT_SCAN_FIND_PAIR).findPair(s, n, a, b, gap);
}

size_t scan_count_char(const uint8_t *s, size_t n, uint8_t c) { return chosen<uint8_t>(TEXT_SCAN_COUNT_CHAR).countChar(s, n, c); }
size_t scan_count_char(const uint32_t *s, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_COUNT_CHAR).countChar(s, n, c);
}

size_t scan_copy_without(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_WITHOUT).copyWithout(dst, src, n, c);
}
size_t scan_copy_without(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_WITHOUT).copyWithout(dst, src, n, c);
}

size_t scan_copy_breaks(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_BREAKS).copyBreaks(dst, src, n, from, to, dropLf);
}
size_t scan_copy_breaks(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_BREAKS).copyBreaks(dst, src, n, from, to, dropLf);
}

void scan_mark_chars(const uint8_t *s, size_t n, uint8_t c, uint8_t limit, uint64_t *equal, uint64_t *atMost) {
    chosen<uint8_t>(TEXT_SCAN_MARK_CHARS).markChars(s, n, c, limit, equal, atMost);
}
void scan_mark_chars(const uint32_t *s, size_t n, uint32_t c, uint32_t limit, uint64_t *equal, uint64_t *atMost) {
    chosen<uint32_t>(TEXT_SCAN_MARK_CHARS).markChars(s, n, c, limit, equal, atMost);
}

size_t scan_copy_kept(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    return chosen<uint8_t>(TEXT_SCAN_COPY_KEPT).copyKept(dst, src, n, keep);
}
size_t scan_copy_kept(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    return chosen<uint32_t>(TEXT_SCAN_COPY_KEPT).copyKept(dst, src, n, keep);
}

// The spans are short (the spaces at a text's ends): no kernels.
namespace {
template <class C>
size_t spanChar(const C *s, size_t n, C c) {
    size_t i = 0;
    while (i < n && s[i] == c) ++i;
    return i;
}

template <class C>
size_t spanCharBack(const C *s, size_t n, C c) {
    size_t i = n;
    while (i > 0 && s[i - 1] == c) --i;
    return n - i;
}
}  // namespace

size_t scan_span_char(const uint8_t *s, size_t n, uint8_t c) { return spanChar(s, n, c); }
size_t scan_span_char(const uint32_t *s, size_t n, uint32_t c) { return spanChar(s, n, c); }
size_t scan_span_char_back(const uint8_t *s, size_t n, uint8_t c) { return spanCharBack(s, n, c); }
size_t scan_span_char_back(const uint32_t *s, size_t n, uint32_t c) { return spanCharBack(s, n, c); }
