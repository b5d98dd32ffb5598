// The scans with AVX2: 32 bytes or 8 characters of 32 bits a register.
//
// The filtering copies keep or drop each character of a block by a mask
// and move the kept ones to the front with a shuffle read from a table of
// the 256 masks of 8 lanes (8 bytes a shuffle, or 8 characters of 32 bits a
// permutation).  Whether a code 0..255 is kept is looked up in two 16-entry
// nibble tables by byte shuffles; a block with a character above 255 (wide
// text) goes one character at a time.
#include "text/scan_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_SCAN_TARGET __attribute__((target("avx2,popcnt")))
#include "text/scan_simd.h"

namespace {

struct Bytes {
    using C = uint8_t;
    using V = __m256i;
    static constexpr size_t kLanes = 32;
    static constexpr bool kMasked = false;
    GH_SCAN_TARGET static V splat(C c) { return _mm256_set1_epi8(static_cast<char>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) {
        return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
    }
    GH_SCAN_TARGET static uint64_t le(V a, V limit) {
        return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(a, limit), a)));
    }
};

struct Wide {
    using C = uint32_t;
    using V = __m256i;
    static constexpr size_t kLanes = 8;
    static constexpr bool kMasked = false;
    GH_SCAN_TARGET static V splat(C c) { return _mm256_set1_epi32(static_cast<int>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) {
        return static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b))));
    }
    GH_SCAN_TARGET static uint64_t le(V a, V limit) {
        return static_cast<uint32_t>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(a, limit), a))));
    }
};

GH_SCAN_TARGET inline void store(void *p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i *>(p), v); }

// For each mask of 8 lanes: the kept lanes' indices in order, one a byte
// (then 0x80, which a byte shuffle turns into 0), and the same packed 4 bits
// an index for a permutation of eight 32-bit lanes.
struct CompressTables {
    uint64_t bytes[256];
    uint32_t lanes[256];
};

constexpr CompressTables makeCompressTables() {
    CompressTables t = {};
    for (unsigned m = 0; m < 256; ++m) {
        uint64_t b = 0;
        uint32_t l = 0;
        unsigned k = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (!((m >> bit) & 1)) continue;
            b |= uint64_t{bit} << (8 * k);
            l |= uint32_t{bit} << (4 * k);
            ++k;
        }
        for (; k < 8; ++k) b |= uint64_t{0x80} << (8 * k);
        t.bytes[m] = b;
        t.lanes[m] = l;
    }
    return t;
}
constexpr CompressTables kCompress = makeCompressTables();

// The bytes of src[0, 8) that keep8 keeps, to dst; returns how many.  (8
// bytes are written.)
GH_SCAN_TARGET inline size_t compress8(uint8_t *dst, const uint8_t *src, unsigned keep8) {
    __m128i piece = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src));
    __m128i order = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&kCompress.bytes[keep8]));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), _mm_shuffle_epi8(piece, order));
    return static_cast<size_t>(__builtin_popcount(keep8));
}

// The lanes of x that keep8 keeps, to dst; returns how many.  (8 lanes are
// written.)
GH_SCAN_TARGET inline size_t compressLanes(uint32_t *dst, __m256i x, unsigned keep8) {
    __m256i order = _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(kCompress.lanes[keep8])),
                                      _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28));
    store(dst, _mm256_permutevar8x32_epi32(x, order));
    return static_cast<size_t>(__builtin_popcount(keep8));
}

// 32 bytes, kept where keep32 says, from src + i to dst + o; returns the new o.
// In place (dst == src), a block kept whole before anything was dropped
// stays where it is.
GH_SCAN_TARGET inline size_t keepBlock(uint8_t *dst, const uint8_t *src, size_t i, size_t o, uint32_t keep32) {
    if (keep32 == 0xFFFFFFFFu) {
        if (o != i || dst != src) store(dst + o, Bytes::load(src + i));
        return o + 32;
    }
    if (keep32 == 0) return o;
    for (unsigned k = 0; k < 32; k += 8) o += compress8(dst + o, src + i + k, (keep32 >> k) & 0xFF);
    return o;
}

GH_SCAN_TARGET size_t countBytes(const uint8_t *s, size_t n, uint8_t c) {
    const __m256i vc = Bytes::splat(c), zero = _mm256_setzero_si256();
    size_t total = 0, i = 0;
    while (n - i >= 32) {
        size_t blocks = (n - i) / 32;
        if (blocks > 255) blocks = 255;
        __m256i acc = zero;
        for (size_t b = 0; b < blocks; ++b, i += 32) acc = _mm256_sub_epi8(acc, _mm256_cmpeq_epi8(Bytes::load(s + i), vc));
        uint64_t sums[4];
        store(sums, _mm256_sad_epu8(acc, zero));
        total += static_cast<size_t>(sums[0] + sums[1] + sums[2] + sums[3]);
    }
    if (i < n && n >= 32) return total + static_cast<size_t>(__builtin_popcountll(Bytes::eq(Bytes::load(s + n - 32), vc) >> (32 - (n - i))));
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

GH_SCAN_TARGET size_t countWide(const uint32_t *s, size_t n, uint32_t c) {
    const __m256i vc = Wide::splat(c);
    size_t total = 0, i = 0;
    while (n - i >= 8) {
        size_t blocks = (n - i) / 8;
        if (blocks > (size_t{1} << 24)) blocks = size_t{1} << 24;
        __m256i acc = _mm256_setzero_si256();
        for (size_t b = 0; b < blocks; ++b, i += 8) acc = _mm256_sub_epi32(acc, _mm256_cmpeq_epi32(Wide::load(s + i), vc));
        uint32_t lanes[8];
        store(lanes, acc);
        for (uint32_t lane : lanes) total += lane;
    }
    if (i < n && n >= 8) return total + static_cast<size_t>(__builtin_popcountll(Wide::eq(Wide::load(s + n - 8), vc) >> (8 - (n - i))));
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

GH_SCAN_TARGET size_t copyWithoutBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    size_t i = dst == src ? findChar<Bytes>(src, n, c) : 0;
    size_t o = i;
    const __m256i vc = Bytes::splat(c);
    for (; n - i >= 32; i += 32) o = keepBlock(dst, src, i, o, ~static_cast<uint32_t>(Bytes::eq(Bytes::load(src + i), vc)));
    return copyWithoutTail(dst, src, n, c, i, o);
}

GH_SCAN_TARGET size_t copyWithoutWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    size_t i = dst == src ? findChar<Wide>(src, n, c) : 0;
    size_t o = i;
    const __m256i vc = Wide::splat(c);
    for (; n - i >= 8; i += 8) {
        __m256i x = Wide::load(src + i);
        unsigned keep = ~static_cast<unsigned>(Wide::eq(x, vc)) & 0xFF;
        if (keep == 0xFF) {
            store(dst + o, x);
            o += 8;
        } else {
            o += compressLanes(dst + o, x, keep);
        }
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

// The keep set's nibble tables in both halves of a register, and the
// classification of 32 codes 0..255 (as bytes) by them.
struct Classifier {
    __m256i lowHalf, highHalf, bits;
    GH_SCAN_TARGET explicit Classifier(const CharKeepSet &keep) {
        NibbleTables t = nibbleTables(keep);
        lowHalf = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.lowHalf)));
        highHalf = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.highHalf)));
        bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64,
                                -128, 1, 2, 4, 8, 16, 32, 64, -128);
    }
    // A byte shuffle gives 0 where the index byte has its top bit set: codes
    // from 128 miss the low table, codes below miss the high one.
    GH_SCAN_TARGET uint32_t kept(__m256i x) const {
        const __m256i index = _mm256_set1_epi8(static_cast<char>(0x8F)), top = _mm256_set1_epi8(static_cast<char>(0x80));
        __m256i row = _mm256_or_si256(_mm256_shuffle_epi8(lowHalf, _mm256_and_si256(x, index)),
                                      _mm256_shuffle_epi8(highHalf, _mm256_and_si256(_mm256_xor_si256(x, top), index)));
        __m256i bit = _mm256_shuffle_epi8(bits, _mm256_and_si256(_mm256_srli_epi16(x, 4), _mm256_set1_epi8(7)));
        return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
    }
};

GH_SCAN_TARGET size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    size_t i = 0, o = 0;
    for (; n - i >= 32; i += 32) o = keepBlock(dst, src, i, o, classify.kept(Bytes::load(src + i)));
    return copyKeptTail(dst, src, n, keep, i, o);
}

GH_SCAN_TARGET size_t copyKeptWide(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    const __m256i high = _mm256_set1_epi32(static_cast<int>(0xFFFFFF00u));
    size_t i = 0, o = 0;
    for (; n - i >= 32; i += 32) {
        __m256i x[4];
        for (int k = 0; k < 4; ++k) x[k] = Wide::load(src + i + 8 * k);
        __m256i any = _mm256_or_si256(_mm256_or_si256(x[0], x[1]), _mm256_or_si256(x[2], x[3]));
        if (!_mm256_testz_si256(any, high)) {
            o = copyKeptTail(dst, src, i + 32, keep, i, o);
            continue;
        }
        // 32 codes below 256 as 32 bytes in order (saturating packs keep them).
        __m256i packed = _mm256_permutevar8x32_epi32(
            _mm256_packus_epi16(_mm256_packus_epi32(x[0], x[1]), _mm256_packus_epi32(x[2], x[3])),
            _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        uint32_t kept = classify.kept(packed);
        for (int k = 0; k < 4; ++k) {
            unsigned keep8 = (kept >> (8 * k)) & 0xFF;
            if (keep8 == 0xFF) {
                if (o != i + 8 * k || dst != src) store(dst + o, x[k]);
                o += 8;
            } else {
                o += compressLanes(dst + o, x[k], keep8);
            }
        }
    }
    return copyKeptTail(dst, src, n, keep, i, o);
}

// Each `from` becomes `to`; a line feed after a `from` (the one before
// the block carried in) is dropped when dropLf is set.  In place, a block
// with nothing to change before anything was dropped stays where it is.
GH_SCAN_TARGET size_t copyBreaksBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    const __m256i vf = Bytes::splat(from), vt = Bytes::splat(to), lf = Bytes::splat(10);
    alignas(32) uint8_t block[32];
    size_t i = 0, o = 0;
    uint32_t carry = 0;
    for (; n - i >= 32; i += 32) {
        __m256i x = Bytes::load(src + i), isFrom = _mm256_cmpeq_epi8(x, vf);
        uint32_t froms = static_cast<uint32_t>(_mm256_movemask_epi8(isFrom));
        uint32_t drop = dropLf ? static_cast<uint32_t>(Bytes::eq(x, lf)) & ((froms << 1) | carry) : 0;
        carry = froms >> 31;
        __m256i y = _mm256_blendv_epi8(x, vt, isFrom);
        if (!drop) {
            if (froms || o != i || dst != src) store(dst + o, y);
            o += 32;
            continue;
        }
        store(block, y);
        for (unsigned k = 0; k < 32; k += 8) o += compress8(dst + o, block + k, (~drop >> k) & 0xFF);
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

GH_SCAN_TARGET size_t copyBreaksWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf) {
    const __m256i vf = Wide::splat(from), vt = Wide::splat(to), lf = Wide::splat(10);
    size_t i = 0, o = 0;
    unsigned carry = 0;
    for (; n - i >= 8; i += 8) {
        __m256i x = Wide::load(src + i), isFrom = _mm256_cmpeq_epi32(x, vf);
        unsigned froms = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(isFrom)));
        unsigned drop = dropLf ? static_cast<unsigned>(Wide::eq(x, lf)) & ((froms << 1) | carry) & 0xFF : 0;
        carry = froms >> 7;
        __m256i y = _mm256_blendv_epi8(x, vt, isFrom);
        if (!drop) {
            if (froms || o != i || dst != src) store(dst + o, y);
            o += 8;
        } else {
            o += compressLanes(dst + o, y, ~drop & 0xFF);
        }
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

}  // namespace

const ScanKernels<uint8_t> kScanAvx2U8 = {
    "avx2",     findChar<Bytes>,  findEither<Bytes>, findLastChar<Bytes>, findLastAtMost<Bytes>,
    countBytes, copyWithoutBytes, copyKeptBytes,     findPair<Bytes>,     copyBreaksBytes,
    markChars<Bytes>};
const ScanKernels<uint32_t> kScanAvx2U32 = {
    "avx2",    findChar<Wide>,  findEither<Wide>, findLastChar<Wide>, findLastAtMost<Wide>,
    countWide, copyWithoutWide, copyKeptWide,     findPair<Wide>,     copyBreaksWide,
    markChars<Wide>};

#else
const ScanKernels<uint8_t> kScanAvx2U8 = {"avx2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ScanKernels<uint32_t> kScanAvx2U32 = {"avx2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
#endif
