// The scans with AVX-512 (F, BW, VL): 64 bytes or 16 characters of 32 bits
// a register.  Ends shorter than a block are read with masked loads, which
// touch nothing past the text.
//
// The filtering copies compress the kept characters with vpcompressd: 32-bit
// characters directly, bytes 16 at a time widened to 32 bits and narrowed
// again (vpcompressb would need VBMI2, which not every AVX-512 processor
// has).  Whether a code 0..255 is kept is looked up in two nibble tables by
// byte shuffles, as in the AVX2 kernels.
#include "text/scan_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_SCAN_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,popcnt")))

// GCC 12's AVX-512 intrinsics start from an "undefined" register, which its
// optimiser then reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#  pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "text/scan_simd.h"

#include "text/scan_avx512_ops.h"

namespace {

GH_SCAN_TARGET size_t countBytes(const uint8_t *s, size_t n, uint8_t c) {
    const __m512i vc = Bytes::splat(c), zero = _mm512_setzero_si512(), minusOne = _mm512_set1_epi8(-1);
    size_t total = 0, i = 0;
    while (n - i >= 64) {
        size_t blocks = (n - i) / 64;
        if (blocks > 255) blocks = 255;
        __m512i acc = zero;
        for (size_t b = 0; b < blocks; ++b, i += 64)
            acc = _mm512_mask_sub_epi8(acc, _mm512_cmpeq_epi8_mask(Bytes::load(s + i), vc), acc, minusOne);
        total += static_cast<size_t>(_mm512_reduce_add_epi64(_mm512_sad_epu8(acc, zero)));
    }
    if (i < n) total += ones(Bytes::eq(Bytes::loadFirst(s + i, n - i), vc) & lowBits(n - i));
    return total;
}

GH_SCAN_TARGET size_t countWide(const uint32_t *s, size_t n, uint32_t c) {
    const __m512i vc = Wide::splat(c), minusOne = _mm512_set1_epi32(-1);
    size_t total = 0, i = 0;
    while (n - i >= 16) {
        size_t blocks = (n - i) / 16;
        if (blocks > (size_t{1} << 24)) blocks = size_t{1} << 24;
        __m512i acc = _mm512_setzero_si512();
        for (size_t b = 0; b < blocks; ++b, i += 16)
            acc = _mm512_mask_sub_epi32(acc, _mm512_cmpeq_epi32_mask(Wide::load(s + i), vc), acc, minusOne);
        total += static_cast<uint32_t>(_mm512_reduce_add_epi32(acc));
    }
    if (i < n) total += ones(Wide::eq(Wide::loadFirst(s + i, n - i), vc) & lowBits(n - i));
    return total;
}

// The 16 bytes at src that keep16 keeps, to dst (16 bytes written); how many.
GH_SCAN_TARGET inline size_t compress16(uint8_t *dst, const uint8_t *src, uint32_t keep16) {
    __m512i wide = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src)));
    __m128i kept = _mm512_cvtepi32_epi8(_mm512_maskz_compress_epi32(static_cast<__mmask16>(keep16), wide));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), kept);
    return ones(keep16);
}

// 64 bytes, kept where keep64 says, from src + i to dst + o; returns the new
// o.  In place, a block kept whole before anything was dropped stays.
GH_SCAN_TARGET inline size_t keepBlock(uint8_t *dst, const uint8_t *src, size_t i, size_t o, uint64_t keep64) {
    if (keep64 == ~uint64_t{0}) {
        if (o != i || dst != src) _mm512_storeu_si512(dst + o, Bytes::load(src + i));
        return o + 64;
    }
    for (unsigned k = 0; k < 64; k += 16) {
        uint32_t keep16 = static_cast<uint32_t>(keep64 >> k) & 0xFFFF;
        if (keep16 == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + o), _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + k)));
            o += 16;
        } else if (keep16) {
            o += compress16(dst + o, src + i + k, keep16);
        }
    }
    return o;
}

// The lanes of x that keep16 keeps, to dst (16 lanes written); how many.
GH_SCAN_TARGET inline size_t compressLanes(uint32_t *dst, __m512i x, uint32_t keep16) {
    _mm512_storeu_si512(dst, _mm512_maskz_compress_epi32(static_cast<__mmask16>(keep16), x));
    return ones(keep16);
}

GH_SCAN_TARGET size_t copyWithoutBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    size_t i = dst == src ? findChar<Bytes>(src, n, c) : 0;
    size_t o = i;
    const __m512i vc = Bytes::splat(c);
    for (; n - i >= 64; i += 64) o = keepBlock(dst, src, i, o, ~Bytes::eq(Bytes::load(src + i), vc));
    return copyWithoutTail(dst, src, n, c, i, o);
}

GH_SCAN_TARGET size_t copyWithoutWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    size_t i = dst == src ? findChar<Wide>(src, n, c) : 0;
    size_t o = i;
    const __m512i vc = Wide::splat(c);
    for (; n - i >= 16; i += 16) {
        __m512i x = Wide::load(src + i);
        o += compressLanes(dst + o, x, ~static_cast<uint32_t>(Wide::eq(x, vc)) & 0xFFFF);
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

GH_SCAN_TARGET size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    size_t i = 0, o = 0;
    for (; n - i >= 64; i += 64) o = keepBlock(dst, src, i, o, classify.kept(Bytes::load(src + i)));
    return copyKeptTail(dst, src, n, keep, i, o);
}

GH_SCAN_TARGET size_t copyKeptWide(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    const __m512i limit = _mm512_set1_epi32(255);
    size_t i = 0, o = 0;
    for (; n - i >= 64; i += 64) {
        __m512i x[4];
        for (int k = 0; k < 4; ++k) x[k] = Wide::load(src + i + 16 * k);
        __m512i any = _mm512_or_si512(_mm512_or_si512(x[0], x[1]), _mm512_or_si512(x[2], x[3]));
        if (_mm512_cmpgt_epu32_mask(any, limit)) {
            o = copyKeptTail(dst, src, i + 64, keep, i, o);
            continue;
        }
        // 64 codes below 256 as 64 bytes in order.
        __m512i packed = _mm512_castsi128_si512(_mm512_cvtepi32_epi8(x[0]));
        packed = _mm512_inserti32x4(packed, _mm512_cvtepi32_epi8(x[1]), 1);
        packed = _mm512_inserti32x4(packed, _mm512_cvtepi32_epi8(x[2]), 2);
        packed = _mm512_inserti32x4(packed, _mm512_cvtepi32_epi8(x[3]), 3);
        uint64_t kept = classify.kept(packed);
        for (int k = 0; k < 4; ++k) {
            uint32_t keep16 = static_cast<uint32_t>(kept >> (16 * k)) & 0xFFFF;
            if (keep16 == 0xFFFF && o == i + 16 * k && dst == src) {
                o += 16;  // in place, nothing dropped yet: it stays
            } else {
                o += compressLanes(dst + o, x[k], keep16);
            }
        }
    }
    return copyKeptTail(dst, src, n, keep, i, o);
}

// Each `from` becomes `to`; a line feed after a `from` (the one before
// the block carried in) is dropped when dropLf is set.  In place, a block
// with nothing to change before anything was dropped stays where it is.
GH_SCAN_TARGET size_t copyBreaksBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    const __m512i vf = Bytes::splat(from), vt = Bytes::splat(to), lf = Bytes::splat(10);
    alignas(64) uint8_t block[64];
    size_t i = 0, o = 0;
    uint64_t carry = 0;
    for (; n - i >= 64; i += 64) {
        __m512i x = Bytes::load(src + i);
        uint64_t froms = Bytes::eq(x, vf);
        uint64_t drop = dropLf ? Bytes::eq(x, lf) & ((froms << 1) | carry) : 0;
        carry = froms >> 63;
        __m512i y = _mm512_mask_mov_epi8(x, static_cast<__mmask64>(froms), vt);
        if (!drop) {
            if (froms || o != i || dst != src) _mm512_storeu_si512(dst + o, y);
            o += 64;
            continue;
        }
        _mm512_store_si512(block, y);
        for (unsigned k = 0; k < 64; k += 16) {
            uint32_t keep16 = static_cast<uint32_t>(~drop >> k) & 0xFFFF;
            o += compress16(dst + o, block + k, keep16);
        }
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

GH_SCAN_TARGET size_t copyBreaksWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf) {
    const __m512i vf = Wide::splat(from), vt = Wide::splat(to), lf = Wide::splat(10);
    size_t i = 0, o = 0;
    uint32_t carry = 0;
    for (; n - i >= 16; i += 16) {
        __m512i x = Wide::load(src + i);
        uint32_t froms = static_cast<uint32_t>(Wide::eq(x, vf));
        uint32_t drop = dropLf ? static_cast<uint32_t>(Wide::eq(x, lf)) & ((froms << 1) | carry) & 0xFFFF : 0;
        carry = froms >> 15;
        __m512i y = _mm512_mask_mov_epi32(x, static_cast<__mmask16>(froms), vt);
        if (!drop) {
            if (froms || o != i || dst != src) _mm512_storeu_si512(dst + o, y);
            o += 16;
        } else {
            o += compressLanes(dst + o, y, ~drop & 0xFFFF);
        }
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

}  // namespace

// The byte search for one character ran no faster than AVX2 anywhere
// measured (bench/README.md): left to the AVX2 set.
const ScanKernels<uint8_t> kScanAvx512U8 = {
    "avx512",   nullptr,          findEither<Bytes>, findLastChar<Bytes>, findLastAtMost<Bytes>,
    countBytes, copyWithoutBytes, copyKeptBytes,     findPair<Bytes>,     copyBreaksBytes,
    markChars<Bytes>};
const ScanKernels<uint32_t> kScanAvx512U32 = {
    "avx512",  findChar<Wide>,  findEither<Wide>, findLastChar<Wide>, findLastAtMost<Wide>,
    countWide, copyWithoutWide, copyKeptWide,     findPair<Wide>,     copyBreaksWide,
    markChars<Wide>};

#else
const ScanKernels<uint8_t> kScanAvx512U8 = {"avx512", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ScanKernels<uint32_t> kScanAvx512U32 = {"avx512", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
#endif
