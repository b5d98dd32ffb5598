// Character conversions with AVX2: 8 characters a register.  Blocks whose
// characters are all below 0x100 are packed to bytes with saturating packs
// (which leave such values as they are); other blocks and the ends go to
// the portable code.
#include "platform/charcodec_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_TARGET __attribute__((target("avx2,popcnt")))

namespace {

GH_TARGET inline __m256i load(const uint32_t *p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

GH_TARGET inline bool allBelow256(__m256i v) {
    return _mm256_testz_si256(v, _mm256_set1_epi32(static_cast<int>(0xFFFFFF00u)));
}

// Lanes of v above limit, as a count (unsigned compare through the sign flip).
GH_TARGET inline unsigned countAbove(__m256i flipped, uint32_t limit) {
    __m256i gt = _mm256_cmpgt_epi32(flipped, _mm256_set1_epi32(static_cast<int>(limit ^ 0x80000000u)));
    return static_cast<unsigned>(__builtin_popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(gt)))));
}

GH_TARGET inline unsigned extraBytes(__m256i v) {
    __m256i f = _mm256_xor_si256(v, _mm256_set1_epi32(static_cast<int>(0x80000000u)));
    return countAbove(f, 0xFF) + countAbove(f, 0x7FF) + countAbove(f, 0xFFFF) + countAbove(f, 0x1FFFFF) +
           countAbove(f, 0x3FFFFFF);
}

// 32 characters below 0x100 -> 32 bytes in order.
GH_TARGET inline __m256i pack32(__m256i a, __m256i b, __m256i c, __m256i d) {
    __m256i ab = _mm256_packus_epi32(a, b), cd = _mm256_packus_epi32(c, d);
    return _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

GH_TARGET uint64_t encodedLength(const uint32_t *chars, size_t n) {
    uint64_t total = n;
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        __m256i a = load(chars + i), b = load(chars + i + 8), c = load(chars + i + 16), d = load(chars + i + 24);
        if (allBelow256(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d)))) continue;
        total += extraBytes(a) + extraBytes(b) + extraBytes(c) + extraBytes(d);
    }
    return total + qchar_encoded_length_portable(chars + i, n - i) - (n - i);
}

GH_TARGET size_t encode(const uint32_t *chars, size_t n, uint8_t *out) {
    uint8_t *o = out;
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        __m256i a = load(chars + i), b = load(chars + i + 8), c = load(chars + i + 16), d = load(chars + i + 24);
        if (allBelow256(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d)))) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(o), pack32(a, b, c, d));
            o += 32;
        } else {
            o += qchar_encode_portable(chars + i, 32, o);
        }
    }
    return static_cast<size_t>(o - out) + qchar_encode_portable(chars + i, n - i, o);
}

GH_TARGET void widen(const uint8_t *bytes, size_t n, uint32_t *out) {
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        for (int k = 0; k < 4; ++k) {
            __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(bytes + i + 8 * k));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i + 8 * k), _mm256_cvtepu8_epi32(b));
        }
    }
    bytes_widen_portable(bytes + i, n - i, out + i);
}

GH_TARGET void narrowLow8(const uint32_t *chars, size_t n, uint8_t *out) {
    const __m256i low8 = _mm256_set1_epi32(0xFF);
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        __m256i a = _mm256_and_si256(load(chars + i), low8), b = _mm256_and_si256(load(chars + i + 8), low8),
                c = _mm256_and_si256(load(chars + i + 16), low8), d = _mm256_and_si256(load(chars + i + 24), low8);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), pack32(a, b, c, d));
    }
    qchar_narrow_low8_portable(chars + i, n - i, out + i);
}

}  // namespace

const CharCodecKernels kCharCodecAvx2 = {"avx2", encodedLength, encode, widen, narrowLow8};

#else  // not x86: never chosen
const CharCodecKernels kCharCodecAvx2 = {"avx2", qchar_encoded_length_portable, qchar_encode_portable,
                                         bytes_widen_portable, qchar_narrow_low8_portable};
#endif
