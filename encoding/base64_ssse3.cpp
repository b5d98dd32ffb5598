// Base64 block kernels for SSSE3: 12 bytes <-> 16 characters a step.
//
// Encoding spreads each 3 bytes over a 32-bit lane, cuts the four 6-bit
// values out with two multiplies, and maps them to characters by adding an
// offset looked up from the value's range.  Decoding classifies each
// character by its two nibbles (a byte is valid only if the bit sets of its
// low and its high nibble do not meet), adds the offset of its range, and
// packs four 6-bit values into three bytes with two multiply-adds.
#include "encoding/base64_codec.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#include <string.h>

#define GH_TARGET __attribute__((target("ssse3")))

namespace {

GH_TARGET inline __m128i encodeLane(__m128i in) {
    // Bytes b0 b1 b2 of each group as b1 b0 b2 b1.
    in = _mm_shuffle_epi8(in, _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    __m128i ac = _mm_mulhi_epu16(_mm_and_si128(in, _mm_set1_epi32(0x0FC0FC00)),
                                 _mm_set1_epi32(0x04000040));
    __m128i bd = _mm_mullo_epi16(_mm_and_si128(in, _mm_set1_epi32(0x003F03F0)),
                                 _mm_set1_epi32(0x01000010));
    __m128i values = _mm_or_si128(ac, bd);
    // 0-25 -> 13, 26-51 -> 0, 52-61 -> 1-10, 62 -> 11, 63 -> 12.
    __m128i range = _mm_subs_epu8(values, _mm_set1_epi8(51));
    range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), values),
                                              _mm_set1_epi8(13)));
    const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                          '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                          '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    return _mm_add_epi8(values, _mm_shuffle_epi8(offsets, range));
}

// Values of 16 characters; *bad is nonzero when any is outside the alphabet.
GH_TARGET inline __m128i decodeValues(__m128i in, int *bad) {
    const __m128i lowBits = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                          0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m128i highBits = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10,
                                           0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m128i offsets = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i hi = _mm_and_si128(_mm_srli_epi32(in, 4), nibble);
    __m128i lo = _mm_and_si128(in, nibble);
    __m128i meet = _mm_and_si128(_mm_shuffle_epi8(lowBits, lo), _mm_shuffle_epi8(highBits, hi));
    *bad = _mm_movemask_epi8(_mm_cmpgt_epi8(meet, _mm_setzero_si128()));
    // "/" shares its high nibble with "+": step it to its own offset.
    __m128i slash = _mm_cmpeq_epi8(in, _mm_set1_epi8('/'));
    return _mm_add_epi8(in, _mm_shuffle_epi8(offsets, _mm_add_epi8(slash, hi)));
}

// Four 6-bit values a lane -> 12 bytes at the start of the register.
GH_TARGET inline __m128i packLane(__m128i values) {
    __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    __m128i words = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    return _mm_shuffle_epi8(words, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1,
                                                 -1, -1));
}

}  // namespace

GH_TARGET size_t base64_encode_ssse3(const uint8_t *src, size_t n, uint8_t *dst) {
    size_t i = 0;
    // 16 bytes are read for the 12 used.
    for (; n - i >= 16; i += 12, dst += 16) {
        __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), encodeLane(in));
    }
    return i;
}

GH_TARGET size_t base64_decode_ssse3(const uint8_t *src, size_t n, uint8_t *dst, size_t room) {
    size_t i = 0;
    // Two blocks a step while there is room to spare, so that their work
    // overlaps.
    for (; n - i >= 32 && room >= 28; i += 32, dst += 24, room -= 24) {
        int badA, badB;
        __m128i a = decodeValues(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i)), &badA);
        __m128i b = decodeValues(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 16)), &badB);
        if (badA | badB) break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), packLane(a));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 12), packLane(b));
    }
    for (; n - i >= 16 && room >= 12; i += 16, dst += 12, room -= 12) {
        int bad;
        __m128i values = decodeValues(_mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i)), &bad);
        if (bad) break;
        __m128i bytes = packLane(values);
        if (room >= 16) {
            // Four bytes too many, within the room: the next block or the
            // caller writes over them.
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), bytes);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), bytes);
            uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
            memcpy(dst + 8, &last, 4);
        }
    }
    return i;
}

#else  // not x86: never chosen

size_t base64_encode_ssse3(const uint8_t *, size_t, uint8_t *) { return 0; }
size_t base64_decode_ssse3(const uint8_t *, size_t, uint8_t *, size_t) { return 0; }

#endif
