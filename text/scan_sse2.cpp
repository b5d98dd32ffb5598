// The scans with SSE2: 16 bytes or 4 characters of 32 bits a register.
// SSE2 has no byte shuffle, so the filtering copy by a keep set is left to
// the portable code; dropping one character copies whole blocks that do not
// hold it and goes one character at a time through those that do.
#include "text/scan_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#define GH_SCAN_TARGET __attribute__((target("sse2")))
#include "text/scan_simd.h"

namespace {

struct Bytes {
    using C = uint8_t;
    using V = __m128i;
    static constexpr size_t kLanes = 16;
    static constexpr bool kMasked = false;
    GH_SCAN_TARGET static V splat(C c) { return _mm_set1_epi8(static_cast<char>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
    }
    GH_SCAN_TARGET static uint64_t le(V a, V limit) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(a, limit), a)));
    }
};

struct Wide {
    using C = uint32_t;
    using V = __m128i;
    static constexpr size_t kLanes = 4;
    static constexpr bool kMasked = false;
    GH_SCAN_TARGET static V splat(C c) { return _mm_set1_epi32(static_cast<int>(c)); }
    GH_SCAN_TARGET static V load(const C *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
    GH_SCAN_TARGET static uint64_t eq(V a, V b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))));
    }
    // Unsigned through the sign flip: a <= limit unless a > limit.
    GH_SCAN_TARGET static uint64_t le(V a, V limit) {
        const V flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
        V above = _mm_cmpgt_epi32(_mm_xor_si128(a, flip), _mm_xor_si128(limit, flip));
        return ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(above))) & 0xFu;
    }
};

// Counting: each match subtracts -1 from its lane; byte lanes are summed
// every 255 blocks, before they could wrap.
GH_SCAN_TARGET size_t countBytes(const uint8_t *s, size_t n, uint8_t c) {
    const __m128i vc = Bytes::splat(c), zero = _mm_setzero_si128();
    size_t total = 0, i = 0;
    while (n - i >= 16) {
        size_t blocks = (n - i) / 16;
        if (blocks > 255) blocks = 255;
        __m128i acc = zero;
        for (size_t b = 0; b < blocks; ++b, i += 16) acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(Bytes::load(s + i), vc));
        __m128i sums = _mm_sad_epu8(acc, zero);
        total += static_cast<unsigned>(_mm_cvtsi128_si32(sums)) +
                 static_cast<unsigned>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

GH_SCAN_TARGET size_t countWide(const uint32_t *s, size_t n, uint32_t c) {
    const __m128i vc = Wide::splat(c);
    size_t total = 0, i = 0;
    while (n - i >= 4) {
        size_t blocks = (n - i) / 4;
        if (blocks > (size_t{1} << 24)) blocks = size_t{1} << 24;
        __m128i acc = _mm_setzero_si128();
        for (size_t b = 0; b < blocks; ++b, i += 4) acc = _mm_sub_epi32(acc, _mm_cmpeq_epi32(Wide::load(s + i), vc));
        uint32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(lanes), acc);
        total += size_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
    }
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

// Blocks without c are copied whole (not at all before the first c when the
// copy is in place).
template <class O>
GH_SCAN_TARGET size_t copyWithout(typename O::C *dst, const typename O::C *src, size_t n, typename O::C c) {
    using C = typename O::C;
    constexpr size_t L = O::kLanes;
    size_t i = dst == src ? findChar<O>(src, n, c) : 0;
    size_t o = i;
    const typename O::V vc = O::splat(c);
    for (; n - i >= L; i += L) {
        typename O::V x = O::load(src + i);
        if (!O::eq(x, vc)) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + o), x);
            o += L;
            continue;
        }
        for (size_t k = 0; k < L; ++k) {
            C y = src[i + k];
            dst[o] = y;
            o += y != c;
        }
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

}  // namespace

const ScanKernels<uint8_t> kScanSse2U8 = {
    "sse2",           findChar<Bytes>,     findEither<Bytes>, findLastChar<Bytes>, findLastAtMost<Bytes>,
    countBytes,       copyWithout<Bytes>,  nullptr,           findPair<Bytes>,      nullptr, markChars<Bytes>};
const ScanKernels<uint32_t> kScanSse2U32 = {
    "sse2",           findChar<Wide>,      findEither<Wide>,  findLastChar<Wide>,  findLastAtMost<Wide>,
    countWide,        copyWithout<Wide>,   nullptr,           findPair<Wide>,       nullptr, markChars<Wide>};

#else
const ScanKernels<uint8_t> kScanSse2U8 = {"sse2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
const ScanKernels<uint32_t> kScanSse2U32 = {"sse2", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
#endif
