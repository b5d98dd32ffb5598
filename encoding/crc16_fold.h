// The multipliers of CRC-16 folding by carry-less multiplication, shared by
// the x86 kernels (crc16_clmul.cpp, crc16_vpclmul.cpp).
//
// Folding moves a 128-bit lane X of the message D bits further on: X is
// congruent, modulo the CRC polynomial P, to its high half times
// x^(D+64) mod P plus its low half times x^D mod P, a sum that fits in 128
// bits and can be added (XOR) to the lane D bits on.  Each multiplier is
// one 64-bit half of a 128-bit constant: `lo` multiplies the lane's low
// 64 bits (immediate 0x00), `hi` its high 64 bits (immediate 0x11).
//
// Two ways to read 16 bytes as a lane:
//  - MSB-first (XMODEM): bytes reversed, byte 0's top bit is the lane's
//    bit 127, bit i the coefficient of x^i; the multipliers are x^D mod P
//    and x^(D+64) mod P as they are.
//  - Reflected: bytes as loaded, byte 0's bit 0 is the lane's bit 0,
//    bit i the coefficient of x^(127-i); a 64-bit half's bit j is then
//    x^(63-j).  The low half now holds the high powers, and the product of
//    two reflected halves comes out one place low (bits 0..126 standing for
//    powers 127..1): the multipliers are mirrored into the top 16 bits of
//    their half and carry one power less, x^(D+63) mod P for the low half
//    and x^(D-1) mod P for the high one.
// Either way the folded lane, stored back as 16 bytes in message order, has
// the same register as the bytes it stands for.
#ifndef GH_CRC16_FOLD_H
#define GH_CRC16_FOLD_H

#include <stdint.h>

// x^k mod P for P = x^16 + x^12 + x^5 + 1; bit m is the coefficient of x^m.
constexpr uint16_t crc16_xpow_mod(unsigned k) {
    uint32_t r = 1;
    for (unsigned i = 0; i < k; ++i) {
        r <<= 1;
        if (r & 0x10000) r ^= 0x11021;
    }
    return static_cast<uint16_t>(r);
}

constexpr uint16_t crc16_mirror16(uint16_t v) {
    uint16_t r = 0;
    for (int i = 0; i < 16; ++i) r = static_cast<uint16_t>(r | ((v >> i & 1) << (15 - i)));
    return r;
}

// The multipliers of one fold, as the 128-bit constant's two halves.
struct Crc16Fold {
    uint64_t lo, hi;
};

// A fold by d bits (d a multiple of 128, at least 128).
constexpr Crc16Fold crc16_fold_msb(unsigned d) { return {crc16_xpow_mod(d), crc16_xpow_mod(d + 64)}; }
constexpr Crc16Fold crc16_fold_lsb(unsigned d) {
    return {uint64_t{crc16_mirror16(crc16_xpow_mod(d + 63))} << 48, uint64_t{crc16_mirror16(crc16_xpow_mod(d - 1))} << 48};
}
template <bool Reflected>
constexpr Crc16Fold crc16_fold(unsigned d) {
    return Reflected ? crc16_fold_lsb(d) : crc16_fold_msb(d);
}

#endif
