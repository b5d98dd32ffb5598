// Base64 block kernels for AVX2: 24 bytes <-> 32 characters a step, each
// 128-bit lane working as the SSSE3 kernels do (see base64_ssse3.cpp).
#include "encoding/base64_codec.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_TARGET __attribute__((target("avx2")))

namespace {

GH_TARGET inline __m256i encodeLanes(__m256i in) {
    in = _mm256_shuffle_epi8(in, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                                  1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    __m256i ac = _mm256_mulhi_epu16(_mm256_and_si256(in, _mm256_set1_epi32(0x0FC0FC00)),
                                    _mm256_set1_epi32(0x04000040));
    __m256i bd = _mm256_mullo_epi16(_mm256_and_si256(in, _mm256_set1_epi32(0x003F03F0)),
                                    _mm256_set1_epi32(0x01000010));
    __m256i values = _mm256_or_si256(ac, bd);
    __m256i range = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    range = _mm256_or_si256(range, _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(26), values),
                                                    _mm256_set1_epi8(13)));
    const __m256i offsets = _mm256_setr_epi8(
        'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
        '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0, 'a' - 26, '0' - 52, '0' - 52, '0' - 52,
        '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63,
        'A', 0, 0);
    return _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, range));
}

// 24 bytes from src: 12 in each lane (28 bytes are read).
GH_TARGET inline __m256i loadLanes(const uint8_t *src) {
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 12));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

GH_TARGET inline __m256i decodeValues(__m256i in, int *bad) {
    const __m256i lowBits = _mm256_setr_epi8(
        0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B,
        0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B,
        0x1B, 0x1A);
    const __m256i highBits = _mm256_setr_epi8(
        0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
        0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
        0x10, 0x10);
    const __m256i offsets = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0,
                                             0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i hi = _mm256_and_si256(_mm256_srli_epi32(in, 4), nibble);
    __m256i lo = _mm256_and_si256(in, nibble);
    *bad = !_mm256_testz_si256(_mm256_shuffle_epi8(lowBits, lo), _mm256_shuffle_epi8(highBits, hi));
    __m256i slash = _mm256_cmpeq_epi8(in, _mm256_set1_epi8('/'));
    return _mm256_add_epi8(in, _mm256_shuffle_epi8(offsets, _mm256_add_epi8(slash, hi)));
}

// Four 6-bit values a lane -> 24 bytes at the start of the register.
GH_TARGET inline __m256i packLanes(__m256i values) {
    __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    words = _mm256_shuffle_epi8(words, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1,
                                                        -1, -1, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13,
                                                        12, -1, -1, -1, -1));
    return _mm256_permutevar8x32_epi32(words, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

}  // namespace

GH_TARGET size_t base64_encode_avx2(const uint8_t *src, size_t n, uint8_t *dst) {
    size_t i = 0;
    for (; n - i >= 52; i += 48, dst += 64) {
        __m256i a = encodeLanes(loadLanes(src + i));
        __m256i b = encodeLanes(loadLanes(src + i + 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + 32), b);
    }
    for (; n - i >= 28; i += 24, dst += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), encodeLanes(loadLanes(src + i)));
    }
    // Short ends in smaller steps (every AVX2 processor has SSSE3).
    return i + base64_encode_ssse3(src + i, n - i, dst);
}

GH_TARGET size_t base64_decode_avx2(const uint8_t *src, size_t n, uint8_t *dst, size_t room) {
    size_t i = 0;
    for (; n - i >= 32 && room >= 24; i += 32, dst += 24, room -= 24) {
        int bad;
        __m256i values = decodeValues(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i)), &bad);
        if (bad) break;
        __m256i bytes = packLanes(values);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + 16), _mm256_extracti128_si256(bytes, 1));
    }
    // Short ends in smaller steps, unless this block held a byte outside
    // the alphabet (the SSSE3 kernel would only find it again).
    return n - i < 32 || room < 24 ? i + base64_decode_ssse3(src + i, n - i, dst, room) : i;
}

#else  // not x86: never chosen

size_t base64_encode_avx2(const uint8_t *, size_t, uint8_t *) { return 0; }
size_t base64_decode_avx2(const uint8_t *, size_t, uint8_t *, size_t) { return 0; }

#endif
