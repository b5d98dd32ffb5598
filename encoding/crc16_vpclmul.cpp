// CRC-16 by carry-less multiplication on 512-bit registers (VPCLMULQDQ with
// AVX-512): the folding of crc16_clmul.cpp four 128-bit lanes at a time.
//
// A 64-byte block is four lanes in one zmm register.  ACCUMULATORS
// registers run side by side (4 on x86-64, 2 on 32-bit x86, which has eight
// vector registers), each lane folded ACCUMULATORS * 512 bits on to the
// next block, the two products and the new block added with one three-way
// XOR.  At the end the registers are folded into one, the whole blocks left
// over follow, the register's four lanes are folded into one (one
// multiplication, a multiplier per lane), the whole 16-byte lanes left over
// follow one at a time, and the final lane goes as 16 bytes to the table
// code; the bytes after it follow.  Messages shorter than one round of the
// accumulators take the 128-bit kernel.
//
// XMODEM reverses each lane's bytes on the way in; X-25 folds in the
// reflected domain with mirrored constants (crc16_fold.h).
//
// Compiled for AVX-512 F/BW and VPCLMULQDQ per function; called only when
// the CPU has them (and so PCLMULQDQ and SSSE3 for the shorter messages).
#include "encoding/crc16_kernels.h"

#if GH_CRC16_HAVE_VPCLMUL

#include <immintrin.h>

#include "encoding/crc16_fold.h"

#define GH_VPCLMUL_TARGET __attribute__((target("avx512f,avx512bw,vpclmulqdq,pclmul,ssse3")))

namespace {

#if defined(__x86_64__)
enum { BLOCK = 64, LANE = 16, ACCUMULATORS = 4 };
#else
enum { BLOCK = 64, LANE = 16, ACCUMULATORS = 2 };
#endif

// A zmm constant: one multiplier pair per lane.
struct Wide {
    alignas(64) Crc16Fold lanes[4];
};

constexpr Wide spread(Crc16Fold f) { return {{f, f, f, f}}; }

struct WideTable {
    Wide lanes;                  // a block's lanes to its last: by 384, 256, 128 bits; none
    Wide loop;                   // ACCUMULATORS blocks on
    Wide by[ACCUMULATORS];       // by[j]: j blocks on; by[0] unused
    alignas(16) Crc16Fold lane;  // one lane on
};

template <bool Reflected>
constexpr WideTable makeTable() {
    WideTable t{};
    for (unsigned k = 0; k < 3; ++k) t.lanes.lanes[k] = crc16_fold<Reflected>(128 * (3 - k));
    t.loop = spread(crc16_fold<Reflected>(512 * ACCUMULATORS));
    for (unsigned j = 1; j < ACCUMULATORS; ++j) t.by[j] = spread(crc16_fold<Reflected>(512 * j));
    t.lane = crc16_fold<Reflected>(128);
    return t;
}

constexpr WideTable kMsbTable = makeTable<false>();
constexpr WideTable kLsbTable = makeTable<true>();

GH_VPCLMUL_TARGET inline __m128i constant(const Crc16Fold &f) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(&f));
}

GH_VPCLMUL_TARGET inline __m512i constant(const Wide &w) { return _mm512_load_si512(w.lanes); }

// Each lane of x folded by k, plus y.
GH_VPCLMUL_TARGET inline __m512i fold(__m512i x, __m512i k, __m512i y) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x11), _mm512_clmulepi64_epi128(x, k, 0x00), y,
                                     0x96);
}

GH_VPCLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

// Each 16-byte lane's bytes reversed (vpshufb indexes within its lane).
constexpr struct {
    alignas(64) uint8_t lanes[64];
} kByteReverse = {{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4,
                   3,  2,  1,  0,  15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10,
                   9,  8,  7,  6,  5,  4,  3,  2,  1,  0}};

GH_VPCLMUL_TARGET inline __m128i byteReverse() {
    return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// The 64 bytes at p as four lanes of the form.
template <bool Reflected>
GH_VPCLMUL_TARGET inline __m512i loadBlock(const uint8_t *p) {
    __m512i v = _mm512_loadu_si512(p);
    return Reflected ? v : _mm512_shuffle_epi8(v, _mm512_load_si512(kByteReverse.lanes));
}

template <bool Reflected>
GH_VPCLMUL_TARGET inline __m128i loadLane(const uint8_t *p) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return Reflected ? v : _mm_shuffle_epi8(v, byteReverse());
}

// The register after the first n / 16 whole lanes (n at least
// ACCUMULATORS blocks) from register crc, in the form's own bit order.
template <bool Reflected>
GH_VPCLMUL_TARGET uint16_t foldBlocks(uint16_t crc, const uint8_t *data, size_t n) {
    const WideTable &table = Reflected ? kLsbTable : kMsbTable;
    const size_t blocks = n / BLOCK;
    __m512i acc[ACCUMULATORS];
    for (int j = 0; j < ACCUMULATORS; ++j) acc[j] = loadBlock<Reflected>(data + BLOCK * j);
    // The register's start value acts as if XORed into the first 16 bits.
    __m128i start = Reflected ? _mm_cvtsi32_si128(crc) : _mm_set_epi64x(static_cast<long long>(uint64_t{crc} << 48), 0);
    acc[0] = _mm512_xor_si512(acc[0], _mm512_zextsi128_si512(start));

    const __m512i loop = constant(table.loop);
    size_t i = ACCUMULATORS;
    for (; blocks - i >= ACCUMULATORS; i += ACCUMULATORS) {
#pragma GCC unroll 4
        for (int j = 0; j < ACCUMULATORS; ++j) acc[j] = fold(acc[j], loop, loadBlock<Reflected>(data + BLOCK * (i + j)));
    }
    __m512i x = acc[ACCUMULATORS - 1];
    for (int j = 0; j < ACCUMULATORS - 1; ++j) x = fold(acc[j], constant(table.by[ACCUMULATORS - 1 - j]), x);
    const __m512i next = constant(table.by[1]);
    for (; i < blocks; ++i) x = fold(x, next, loadBlock<Reflected>(data + BLOCK * i));

    // Four lanes into one: lanes 0-2 folded on to lane 3, lane 3 as it is.
    __m512i all = fold(x, constant(table.lanes), _mm512_maskz_mov_epi64(0xC0, x));
    __m256i half = _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xF, all, 0), _mm512_maskz_extracti64x4_epi64(0xF, all, 1));
    __m128i y = _mm_xor_si128(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));

    const __m128i lane = constant(table.lane);
    for (size_t at = BLOCK * blocks; n - at >= LANE; at += LANE) y = _mm_xor_si128(fold(y, lane), loadLane<Reflected>(data + at));

    // Back to bytes in message order; their register from zero is the answer.
    alignas(16) uint8_t bytes[LANE];
    _mm_store_si128(reinterpret_cast<__m128i *>(bytes), Reflected ? y : _mm_shuffle_epi8(y, byteReverse()));
    return Reflected ? crc16_lsb_slice16(0, bytes, LANE) : crc16_msb_slice16(0, bytes, LANE);
}

}  // namespace

uint16_t crc16_msb_vpclmul(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < BLOCK * ACCUMULATORS) return crc16_msb_clmul(crc, data, n);
    size_t whole = n / LANE * LANE;
    crc = foldBlocks<false>(crc, data, n);
    return crc16_msb_slice16(crc, data + whole, n - whole);
}

uint16_t crc16_lsb_vpclmul(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < BLOCK * ACCUMULATORS) return crc16_lsb_clmul(crc, data, n);
    size_t whole = n / LANE * LANE;
    crc = foldBlocks<true>(crc, data, n);
    return crc16_lsb_slice16(crc, data + whole, n - whole);
}

#endif
