// CRC-16 by carry-less multiplication on 64-bit ARM (PMULL, PMULL2): the
// folding of crc16_clmul.cpp (Gopal et al., "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction", Intel, 2009), with
// NEON's own byte reversal and bit mirroring.
//
// The message is read as one polynomial, 16 bytes to a 128-bit lane.
// Folding replaces a lane X by X.hi * (x^(D+64) mod P) + X.lo * (x^D mod P),
// congruent to X * x^D modulo the CRC polynomial P, so the lane can be added
// (XOR) to the data D bits further on.  Four lanes run side by side
// (D = 512), are folded into one (D = 128), and the final lane is handed as
// 16 bytes to the table code; the bytes after the last whole lane follow.
//
// Only the MSB-first form is folded: the X-25 register is the bit-mirror of
// the MSB-first register of the bit-mirrored bytes (rbit mirrors each byte).
//
// Compiled for the crypto extension (which holds the 64-bit PMULL, beside
// AES) per function; called only where the kernel reports PMULL.
#include "encoding/crc16_kernels.h"

#include <arm_neon.h>

#define GH_PMULL_TARGET __attribute__((target("+crypto")))

namespace {

// x^k mod P for P = x^16 + x^12 + x^5 + 1.
constexpr uint64_t xpow_mod(unsigned k) {
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

// The multipliers of a fold by D bits: x^D mod P low, x^(D+64) mod P high.
alignas(16) constexpr uint64_t k512[2] = {xpow_mod(512), xpow_mod(512 + 64)};
alignas(16) constexpr uint64_t k128[2] = {xpow_mod(128), xpow_mod(128 + 64)};

GH_PMULL_TARGET inline uint8x16_t fold(uint8x16_t x, poly64x2_t k) {
    poly64x2_t p = vreinterpretq_p64_u8(x);
    poly128_t high = vmull_high_p64(p, k);
    poly128_t low = vmull_p64(vgetq_lane_p64(p, 0), vgetq_lane_p64(k, 0));
    return veorq_u8(vreinterpretq_u8_p128(high), vreinterpretq_u8_p128(low));
}

// The lane's bytes in reverse order: byte 0 of the message becomes the
// most significant byte of the 128-bit lane.
inline uint8x16_t reversed(uint8x16_t v) {
    v = vrev64q_u8(v);
    return vextq_u8(v, v, 8);
}

// The 16 bytes at p as a polynomial: byte 0's most significant bit is the
// lane's bit 127.  With Mirror each byte's bits are reversed first.
template <bool Mirror>
GH_PMULL_TARGET inline uint8x16_t load_lane(const uint8_t *p) {
    uint8x16_t v = vld1q_u8(p);
    if (Mirror) v = vrbitq_u8(v);
    return reversed(v);
}

// The MSB-first register after `lanes` 16-byte lanes (at least LANES) from
// register crc.
template <bool Mirror>
GH_PMULL_TARGET uint16_t fold_lanes(uint16_t crc, const uint8_t *data, size_t lanes) {
    const poly64x2_t by512 = vreinterpretq_p64_u64(vld1q_u64(k512));
    const poly64x2_t by128 = vreinterpretq_p64_u64(vld1q_u64(k128));
    uint8x16_t acc[LANES];
    for (int k = 0; k < LANES; ++k) acc[k] = load_lane<Mirror>(data + LANE * k);
    // The register's start value acts as if XORed into the first 16 bits.
    acc[0] = veorq_u8(acc[0], vreinterpretq_u8_u64(vsetq_lane_u64(uint64_t{crc} << 48, vdupq_n_u64(0), 1)));

    size_t i = LANES;
    for (; lanes - i >= LANES; i += LANES) {
        for (int k = 0; k < LANES; ++k) acc[k] = veorq_u8(fold(acc[k], by512), load_lane<Mirror>(data + LANE * (i + k)));
    }
    uint8x16_t x = acc[0];
    for (int k = 1; k < LANES; ++k) x = veorq_u8(fold(x, by128), acc[k]);
    for (; i < lanes; ++i) x = veorq_u8(fold(x, by128), load_lane<Mirror>(data + LANE * i));

    // Back to bytes in message order; their register from zero is the answer.
    uint8_t bytes[LANE];
    vst1q_u8(bytes, reversed(x));
    return crc16_msb_slice16(0, bytes, LANE);
}

}  // namespace

uint16_t crc16_msb_pmull(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < LANE * LANES) return crc16_msb_slice16(crc, data, n);
    size_t lanes = n / LANE;
    crc = fold_lanes<false>(crc, data, lanes);
    return crc16_msb_slice16(crc, data + LANE * lanes, n - LANE * lanes);
}

uint16_t crc16_lsb_pmull(uint16_t crc, const uint8_t *data, size_t n) {
    if (n < LANE * LANES) return crc16_lsb_slice16(crc, data, n);
    size_t lanes = n / LANE;
    crc = mirror16(fold_lanes<true>(mirror16(crc), data, lanes));
    return crc16_lsb_slice16(crc, data + LANE * lanes, n - LANE * lanes);
}
