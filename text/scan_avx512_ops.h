// The AVX-512 (F, BW, VL) pieces the two AVX-512 kernel files share: the
// Ops of scan_simd.h for both widths and the classification of codes
// 0..255 by a keep set.  Included after scan_simd.h, with GH_SCAN_TARGET
// naming at least AVX-512 F, BW and VL.
#include <immintrin.h>

namespace {

struct Bytes {
    using C = uint8_t;
    using V = __m512i;
    static constexpr size_t kLanes = 64;
    static constexpr bool kMasked = true;
    GH_SCAN_TARGET static V splat(C c) { return _mm512_set1_epi8(static_cast<char>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm512_loadu_si512(p); }
    GH_SCAN_TARGET static V loadFirst(const C *p, size_t k) {
        return _mm512_maskz_loadu_epi8(static_cast<__mmask64>(lowBits(k)), p);
    }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) { return _mm512_cmpeq_epi8_mask(a, b); }
    GH_SCAN_TARGET static uint64_t le(V a, V limit) { return _mm512_cmple_epu8_mask(a, limit); }
};

struct Wide {
    using C = uint32_t;
    using V = __m512i;
    static constexpr size_t kLanes = 16;
    static constexpr bool kMasked = true;
    GH_SCAN_TARGET static V splat(C c) { return _mm512_set1_epi32(static_cast<int>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm512_loadu_si512(p); }
    GH_SCAN_TARGET static V loadFirst(const C *p, size_t k) {
        return _mm512_maskz_loadu_epi32(static_cast<__mmask16>(lowBits(k)), p);
    }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) { return _mm512_cmpeq_epi32_mask(a, b); }
    GH_SCAN_TARGET static uint64_t le(V a, V limit) { return _mm512_cmple_epu32_mask(a, limit); }
};

// The keep set's nibble tables in every 128-bit lane, and the
// classification of codes 0..255 (as bytes) by them; see scan_avx2.cpp.
struct Classifier {
    __m512i lowHalf, highHalf, bits;
    GH_SCAN_TARGET explicit Classifier(const CharKeepSet &keep) {
        NibbleTables t = nibbleTables(keep);
        lowHalf = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.lowHalf)));
        highHalf = _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.highHalf)));
        bits = _mm512_broadcast_i32x4(_mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128));
    }
    GH_SCAN_TARGET uint64_t kept(__m512i x) const {
        const __m512i index = _mm512_set1_epi8(static_cast<char>(0x8F)), top = _mm512_set1_epi8(static_cast<char>(0x80));
        __m512i row = _mm512_or_si512(_mm512_shuffle_epi8(lowHalf, _mm512_and_si512(x, index)),
                                      _mm512_shuffle_epi8(highHalf, _mm512_and_si512(_mm512_xor_si512(x, top), index)));
        __m512i bit = _mm512_shuffle_epi8(bits, _mm512_and_si512(_mm512_srli_epi16(x, 4), _mm512_set1_epi8(7)));
        return _mm512_test_epi8_mask(row, bit);
    }
};

inline size_t ones(uint64_t m) { return static_cast<size_t>(__builtin_popcountll(m)); }

}  // namespace
