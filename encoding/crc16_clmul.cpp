// CRC-16 by carry-less multiplication (PCLMULQDQ), after the folding method
// of Gopal et al., "Fast CRC Computation for Generic Polynomials Using
// PCLMULQDQ Instruction" (Intel, 2009).
//
// The message is read as one polynomial, 16 bytes to a 128-bit lane.  Folding
// replaces a lane X by X.hi * (x^(D+64) mod P) + X.lo * (x^D mod P), which is
// congruent to X * x^D modulo the CRC polynomial P and still fits in 128 bits,
// so the lane can be added (XOR) to the data D bits further on.  Four lanes
// run side by side (D = 512), are folded into one (D = 128), and the final
// lane, congruent to the whole message, is handed as 16 bytes to the table
// code, which gives its register; the bytes after the last whole lane follow.
//
// Only the MSB-first form is folded.  The reflected register is the
// bit-mirror of the MSB-first register of the bit-mirrored bytes, so X-25
// mirrors each byte on the way in and the register on the way in and out.
//
// Compiled for PCLMULQDQ and SSSE3 per function; called only when the CPU
// has both.
#include "encoding/crc16_kernels.h"

#if GH_CRC16_HAVE_CLMUL

#include <immintrin.h>

#define GH_CLMUL_TARGET __attribute__((target("pclmul,ssse3")))

namespace {

// x^k mod P for P = x^16 + x^12 + x^5 + 1.
constexpr uint64_t xpowMod(unsigned k) {
    uint32_t r = 1;
    for (unsigned i = 0; i < k; ++i) {
        r <<= 1;
        if (r & 0x10000) r ^= 0x11021;
    }
    return r;
}

constexpr uint16_t mirror16(uint16_t v) {
    uint16_t r = 0;
    for (int i = 0; i < 16; ++i) r = static_cast<uint16_t>(r | ((v >> i & 1) << (15 - i)));
    return r;
}

enum { LANE = 16, LANES = 4 };

GH_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

// The 16 bytes at p as a polynomial: byte 0's most significant bit is the
// lane's bit 127.  With Mirror each byte's bits are reversed first.
template <bool Mirror>
GH_CLMUL_TARGET inline __m128i loadLane(const uint8_t *p) {
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    if (Mirror) {
        // Nibble lookups: the mirror of the low nibble becomes the high one.
        const __m128i mirrorHigh = _mm_set_epi8(
            static_cast<char>(0xF0), 0x70, static_cast<char>(0xB0), 0x30,
            static_cast<char>(0xD0), 0x50, static_cast<char>(0x90), 0x10,
            static_cast<char>(0xE0), 0x60, static_cast<char>(0xA0), 0x20,
            static_cast<char>(0xC0), 0x40, static_cast<char>(0x80), 0x00);
        const __m128i mirrorLow = _mm_set_epi8(15, 7, 11, 3, 13, 5, 9, 1, 14, 6, 10, 2, 12, 4, 8, 0);
        const __m128i nibble = _mm_set1_epi8(0x0F);
        __m128i lo = _mm_shuffle_epi8(mirrorHigh, _mm_and_si128(v, nibble));
        __m128i hi = _mm_shuffle_epi8(mirrorLow, _mm_and_si128(_mm_srli_epi16(v, 4), nibble));
        v = _mm_or_si128(lo, hi);
    }
    return _mm_shuffle_epi8(v, reverse);
}

// The MSB-first register after `lanes` 16-byte lanes (at least LANES) from
// register crc.
template <bool Mirror>
GH_CLMUL_TARGET uint16_t foldLanes(uint16_t crc, const uint8_t *data, size_t lanes) {
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(xpowMod(512 + 64)),
                                        static_cast<long long>(xpowMod(512)));
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(xpowMod(128 + 64)),
                                        static_cast<long long>(xpowMod(128)));
    __m128i acc[LANES];
    for (int k = 0; k < LANES; ++k) acc[k] = loadLane<Mirror>(data + LANE * k);
    // The register's start value acts as if XORed into the first 16 bits.
    acc[0] = _mm_xor_si128(acc[0], _mm_set_epi64x(static_cast<long long>(uint64_t{crc} << 48), 0));

    size_t i = LANES;
    for (; lanes - i >= LANES; i += LANES) {
        for (int k = 0; k < LANES; ++k) {
            acc[k] = _mm_xor_si128(fold(acc[k], k512), loadLane<Mirror>(data + LANE * (i + k)));
        }
    }
    __m128i x = acc[0];
    for (int k = 1; k < LANES; ++k) x = _mm_xor_si128(fold(x, k128), acc[k]);
    for (; i < lanes; ++i) x = _mm_xor_si128(fold(x, k128), loadLane<Mirror>(data + LANE * i));

    // Back to bytes in message order; their register from zero is the answer.
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    alignas(16) uint8_t bytes[LANE];
    _mm_store_si128(reinterpret_cast<__m128i *>(bytes), _mm_shuffle_epi8(x, reverse));
    return crc16_msb_slice16(0, bytes, LANE);
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
    crc = mirror16(foldLanes<true>(mirror16(crc), data, lanes));
    return crc16_lsb_slice16(crc, data + LANE * lanes, n - LANE * lanes);
}

#endif
