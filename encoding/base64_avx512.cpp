// Base64 block kernels for AVX-512 VBMI: 48 bytes <-> 64 characters a step.
//
// Encoding places each group's bytes as b1 b0 b2 b1 in a 32-bit lane, picks
// the four 6-bit fields out with one multishift, and maps them through the
// 64-character alphabet with one byte permute (which reads only an index's
// low 6 bits).  Decoding looks every character up in a 128-entry table
// (0x80 marks the bytes outside the alphabet; bytes 0x80-0xFF are caught by
// their own top bit) and packs as the SSSE3 kernel does.
#include "encoding/base64_codec.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// GCC 12's VBMI intrinsics start from an "undefined" register, which its
// optimiser then reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

struct Tables {
    uint8_t spread[64];    // byte permute: 3 source bytes -> b1 b0 b2 b1
    uint8_t shifts[64];    // multishift offsets of the four fields of a group
    uint8_t alphabet[64];
    uint8_t decode[128];   // value of characters 0-127, or 0x80
    uint8_t pack[64];      // byte permute: 24 bits a lane -> 3 bytes
    constexpr Tables() : spread(), shifts(), alphabet(), decode(), pack() {
        const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int j = 0; j < 16; ++j) {
            spread[4 * j] = static_cast<uint8_t>(3 * j + 1);
            spread[4 * j + 1] = static_cast<uint8_t>(3 * j);
            spread[4 * j + 2] = static_cast<uint8_t>(3 * j + 2);
            spread[4 * j + 3] = static_cast<uint8_t>(3 * j + 1);
            int base = (j & 1) * 32;
            shifts[4 * j] = static_cast<uint8_t>(base + 10);
            shifts[4 * j + 1] = static_cast<uint8_t>(base + 4);
            shifts[4 * j + 2] = static_cast<uint8_t>(base + 22);
            shifts[4 * j + 3] = static_cast<uint8_t>(base + 16);
            pack[3 * j] = static_cast<uint8_t>(4 * j + 2);
            pack[3 * j + 1] = static_cast<uint8_t>(4 * j + 1);
            pack[3 * j + 2] = static_cast<uint8_t>(4 * j);
        }
        for (int i = 0; i < 128; ++i) decode[i] = 0x80;
        for (int i = 0; i < 64; ++i) {
            alphabet[i] = static_cast<uint8_t>(letters[i]);
            decode[static_cast<uint8_t>(letters[i])] = static_cast<uint8_t>(i);
        }
    }
};
constexpr Tables kTables;

GH_TARGET inline __m512i load(const uint8_t *p) { return _mm512_loadu_si512(p); }

constexpr __mmask64 kLow48 = 0x0000FFFFFFFFFFFFull;

}  // namespace

GH_TARGET size_t base64_encode_avx512vbmi(const uint8_t *src, size_t n, uint8_t *dst) {
    const __m512i spread = load(kTables.spread);
    const __m512i shifts = load(kTables.shifts);
    const __m512i alphabet = load(kTables.alphabet);
    size_t i = 0;
    for (; n - i >= 48; i += 48, dst += 64) {
        // A masked load reads (and faults on) only the 48 bytes wanted.
        __m512i in = _mm512_maskz_loadu_epi8(kLow48, src + i);
        in = _mm512_permutexvar_epi8(spread, in);
        __m512i fields = _mm512_multishift_epi64_epi8(shifts, in);
        _mm512_storeu_si512(dst, _mm512_permutexvar_epi8(fields, alphabet));
    }
    // Short ends in smaller steps (every such processor has AVX2).
    return i + base64_encode_avx2(src + i, n - i, dst);
}

GH_TARGET size_t base64_decode_avx512vbmi(const uint8_t *src, size_t n, uint8_t *dst, size_t room) {
    const __m512i low = load(kTables.decode);
    const __m512i high = load(kTables.decode + 64);
    const __m512i pack = load(kTables.pack);
    size_t i = 0;
    for (; n - i >= 64 && room >= 48; i += 64, dst += 48, room -= 48) {
        __m512i in = load(src + i);
        __m512i values = _mm512_permutex2var_epi8(low, in, high);
        if (_mm512_movepi8_mask(_mm512_or_si512(in, values))) break;
        __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
        __m512i words = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
        _mm512_mask_storeu_epi8(dst, kLow48, _mm512_permutexvar_epi8(pack, words));
    }
    // Short ends in smaller steps, unless this block held a byte outside
    // the alphabet.
    return n - i < 64 || room < 48 ? i + base64_decode_avx2(src + i, n - i, dst, room) : i;
}

#else  // not x86: never chosen

size_t base64_encode_avx512vbmi(const uint8_t *, size_t, uint8_t *) { return 0; }
size_t base64_decode_avx512vbmi(const uint8_t *, size_t, uint8_t *, size_t) { return 0; }

#endif
