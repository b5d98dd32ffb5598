// Character conversions with AVX-512 (F, BW, VL): 16 characters a register.
// The common text has every character below 0x100; such blocks are packed
// to bytes with truncating moves, and any other block is left to the
// portable code.  Ends shorter than a block use masked loads and stores.
#include "platform/charcodec_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,popcnt")))

// GCC 12's AVX-512 intrinsics start from an "undefined" register, which its
// optimiser then reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

GH_TARGET inline __m512i load(const uint32_t *p) { return _mm512_loadu_si512(p); }

GH_TARGET inline __mmask16 above(__m512i v, uint32_t limit) {
    return _mm512_cmpgt_epu32_mask(v, _mm512_set1_epi32(static_cast<int>(limit)));
}

// Bytes of the characters of v beyond the first byte each.
GH_TARGET inline unsigned extraBytes(__m512i v) {
    return static_cast<unsigned>(__builtin_popcount(above(v, 0xFF)) + __builtin_popcount(above(v, 0x7FF)) +
                                 __builtin_popcount(above(v, 0xFFFF)) + __builtin_popcount(above(v, 0x1FFFFF)) +
                                 __builtin_popcount(above(v, 0x3FFFFFF)));
}

GH_TARGET inline __mmask16 firstLanes(size_t k) {
    return static_cast<__mmask16>((1u << k) - 1);
}

GH_TARGET uint64_t encodedLength(const uint32_t *chars, size_t n) {
    uint64_t total = n;
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        __m512i a = load(chars + i), b = load(chars + i + 16), c = load(chars + i + 32),
                d = load(chars + i + 48);
        __m512i any = _mm512_or_si512(_mm512_or_si512(a, b), _mm512_or_si512(c, d));
        if (!above(any, 0xFF)) continue;  // one byte each
        total += extraBytes(a) + extraBytes(b) + extraBytes(c) + extraBytes(d);
    }
    for (; i < n; i += 16) {
        size_t k = n - i < 16 ? n - i : 16;
        // Lanes past the end load as 0, which takes no extra bytes.
        total += extraBytes(_mm512_maskz_loadu_epi32(firstLanes(k), chars + i));
    }
    return total;
}

GH_TARGET size_t encode(const uint32_t *chars, size_t n, uint8_t *out) {
    uint8_t *o = out;
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        __m512i v[4] = {load(chars + i), load(chars + i + 16), load(chars + i + 32), load(chars + i + 48)};
        __m512i any = _mm512_or_si512(_mm512_or_si512(v[0], v[1]), _mm512_or_si512(v[2], v[3]));
        if (!above(any, 0xFF)) {
            for (int k = 0; k < 4; ++k) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 16 * k), _mm512_cvtepi32_epi8(v[k]));
            }
            o += 64;
            continue;
        }
        for (int k = 0; k < 4; ++k) {
            if (!above(v[k], 0xFF)) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm512_cvtepi32_epi8(v[k]));
                o += 16;
            } else {
                o += qchar_encode_portable(chars + i + 16 * k, 16, o);
            }
        }
    }
    for (; i < n; i += 16) {
        size_t k = n - i < 16 ? n - i : 16;
        __m512i v = _mm512_maskz_loadu_epi32(firstLanes(k), chars + i);
        if (!above(v, 0xFF)) {
            _mm512_mask_cvtepi32_storeu_epi8(o, firstLanes(k), v);
            o += k;
        } else {
            o += qchar_encode_portable(chars + i, k, o);
        }
    }
    return static_cast<size_t>(o - out);
}

// 16 bytes (broadcast to every lane) -> 16 characters: each lane picks
// its four bytes into the low byte of its four 32-bit slots, zeroing the rest.
GH_TARGET inline __m512i widen16(const uint8_t *p) {
    const __m512i pick = _mm512_set_epi32(
        static_cast<int>(0x8080800Fu), static_cast<int>(0x8080800Eu), static_cast<int>(0x8080800Du), static_cast<int>(0x8080800Cu),
        static_cast<int>(0x8080800Bu), static_cast<int>(0x8080800Au), static_cast<int>(0x80808009u), static_cast<int>(0x80808008u),
        static_cast<int>(0x80808007u), static_cast<int>(0x80808006u), static_cast<int>(0x80808005u), static_cast<int>(0x80808004u),
        static_cast<int>(0x80808003u), static_cast<int>(0x80808002u), static_cast<int>(0x80808001u), static_cast<int>(0x80808000u));
    __m512i b = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
    return _mm512_shuffle_epi8(b, pick);
}

// Outputs larger than the caches are written around them: they would only
// push out the input, and a write that bypasses the cache need not read the
// line first.
constexpr size_t kStreamingChars = size_t(4) << 20;

GH_TARGET void widen(const uint8_t *bytes, size_t n, uint32_t *out) {
    size_t i = 0;
    if (n >= kStreamingChars) {
        // Up to a 64-byte boundary of the output first.
        size_t lead = (64 - (reinterpret_cast<uintptr_t>(out) & 63)) / 4 & 15;
        if (reinterpret_cast<uintptr_t>(out) % 4 == 0) {
            for (; i < lead; ++i) out[i] = bytes[i];
            for (; n - i >= 64; i += 64) {
                for (int k = 0; k < 4; ++k) _mm512_stream_si512(reinterpret_cast<__m512i *>(out + i + 16 * k), widen16(bytes + i + 16 * k));
            }
            _mm_sfence();
        }
    }
    for (; n - i >= 64; i += 64) {
        for (int k = 0; k < 4; ++k) _mm512_storeu_si512(out + i + 16 * k, widen16(bytes + i + 16 * k));
    }
    for (; i < n; i += 16) {
        size_t k = n - i < 16 ? n - i : 16;
        __m128i b = _mm_maskz_loadu_epi8(firstLanes(k), bytes + i);
        _mm512_mask_storeu_epi32(out + i, firstLanes(k), _mm512_cvtepu8_epi32(b));
    }
}

GH_TARGET void narrowLow8(const uint32_t *chars, size_t n, uint8_t *out) {
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        for (int k = 0; k < 4; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 16 * k),
                             _mm512_cvtepi32_epi8(load(chars + i + 16 * k)));
        }
    }
    for (; i < n; i += 16) {
        size_t k = n - i < 16 ? n - i : 16;
        _mm512_mask_cvtepi32_storeu_epi8(out + i, firstLanes(k),
                                         _mm512_maskz_loadu_epi32(firstLanes(k), chars + i));
    }
}

}  // namespace

const CharCodecKernels kCharCodecAvx512 = {"avx512", encodedLength, encode, widen, narrowLow8};

#else  // not x86: never chosen
const CharCodecKernels kCharCodecAvx512 = {"avx512", qchar_encoded_length_portable,
                                           qchar_encode_portable, bytes_widen_portable,
                                           qchar_narrow_low8_portable};
#endif
