// CRC-16 by carry-less multiplication (PCLMULQDQ) on 128-bit registers,
// after the folding method of Gopal et al., "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction" (Intel, 2009).
//
// The message is read as one polynomial, 16 bytes to a 128-bit lane
// (crc16_fold.h has the arithmetic).  LANES lanes run side by side, each
// folded LANES * 128 bits on to the next message bytes, so the multiplier's
// latency is hidden behind the other lanes: 8 on x86-64, 4 on 32-bit x86,
// whose eight xmm registers would not hold 8 lanes and their constants.
// At the end each lane is folded once by its own distance to the last one
// (independent multiplications), the whole lanes left over follow one at a
// time, and the final lane goes as 16 bytes to the table code; the bytes
// after the last whole lane follow.
//
// XMODEM reverses each lane's bytes on the way in.  X-25 folds in the
// reflected domain: the bytes are used as loaded, the constants are
// mirrored.
//
// Compiled for PCLMULQDQ and SSSE3 per function; called only when the CPU
// has both.
#include "encoding/crc16_kernels.h"

#if GH_CRC16_HAVE_CLMUL

#include <immintrin.h>

#include "encoding/crc16_fold.h"

#define GH_CLMUL_TARGET __attribute__((target("pclmul,ssse3")))

namespace {

#if defined(__x86_64__)
enum { LANE = 16, LANES = 8 };
#else
enum { LANE = 16, LANES = 4 };
#endif

// The constants of one form: the main loop's fold, and folds by 128 * k
// bits (k = 1 .. LANES - 1) that bring lane k to the last one.
struct FoldTable {
    alignas(16) Crc16Fold loop;
    alignas(16) Crc16Fold by[LANES];  // by[k]: 128 * k bits; by[0] unused
};

template <bool Reflected>
constexpr FoldTable makeTable() {
    FoldTable t{};
    t.loop = crc16_fold<Reflected>(128 * LANES);
    for (unsigned k = 1; k < LANES; ++k) t.by[k] = crc16_fold<Reflected>(128 * k);
    return t;
}

constexpr FoldTable kMsbTable = makeTable<false>();
constexpr FoldTable kLsbTable = makeTable<true>();

GH_CLMUL_TARGET inline __m128i constant(const Crc16Fold &f) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(&f));
}

GH_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

GH_CLMUL_TARGET inline __m128i byteReverse() {
    return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// The 16 bytes at p as a lane of the form.
template <bool Reflected>
GH_CLMUL_TARGET inline __m128i loadLane(const uint8_t *p) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return Reflected ? v : _mm_shuffle_epi8(v, byteReverse());
}

// The register after `lanes` 16-byte lanes (at least LANES) from register
// crc, in the form's own bit order.
template <bool Reflected>
GH_CLMUL_TARGET uint16_t foldLanes(uint16_t crc, const uint8_t *data, size_t lanes) {
    const FoldTable &table = Reflected ? kLsbTable : kMsbTable;
    __m128i acc[LANES];
    for (int k = 0; k < LANES; ++k) acc[k] = loadLane<Reflected>(data + LANE * k);
    // The register's start value acts as if XORed into the first 16 bits.
    acc[0] = _mm_xor_si128(acc[0], Reflected ? _mm_cvtsi32_si128(crc)
                                             : _mm_set_epi64x(static_cast<long long>(uint64_t{crc} << 48), 0));

    const __m128i loop = constant(table.loop);
    size_t i = LANES;
    for (; lanes - i >= LANES; i += LANES) {
        // Unrolled, so that the lanes stay in registers at any level of optimisation.
#pragma GCC unroll 8
        for (int k = 0; k < LANES; ++k) {
            acc[k] = _mm_xor_si128(fold(acc[k], loop), loadLane<Reflected>(data + LANE * (i + k)));
        }
    }
    __m128i x = acc[LANES - 1];
    for (int k = 0; k < LANES - 1; ++k) x = _mm_xor_si128(x, fold(acc[k], constant(table.by[LANES - 1 - k])));
    const __m128i next = constant(table.by[1]);
    for (; i < lanes; ++i) x = _mm_xor_si128(fold(x, next), loadLane<Reflected>(data + LANE * i));

    // Back to bytes in message order; their register from zero is the answer.
    alignas(16) uint8_t bytes[LANE];
    _mm_store_si128(reinterpret_cast<__m128i *>(bytes), Reflected ? x : _mm_shuffle_epi8(x, byteReverse()));
    return Reflected ? crc16_lsb_slice16(0, bytes, LANE) : crc16_msb_slice16(0, bytes, LANE);
}

}  // namespace

uint16_t crc16_msb_clmul(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < LANE * LANES) return crc16_msb_slice16(crc, data, n);
    size_t lanes = n / LANE;
    crc = foldLanes<false>(crc, data, lanes);
    return crc16_msb_slice16(crc, data + LANE * lanes, n - LANE * lanes);
}

uint16_t crc16_lsb_clmul(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < LANE * LANES) return crc16_lsb_slice16(crc, data, n);
    size_t lanes = n / LANE;
    crc = foldLanes<true>(crc, data, lanes);
    return crc16_lsb_slice16(crc, data + LANE * lanes, n - LANE * lanes);
}

#endif
