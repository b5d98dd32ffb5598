// Hexadecimal digits: the small helpers the percent escapes, the digest texts
// and the CRAM-MD5 response are built from.  Digits written are lowercase;
// digits read may be of either case.
#ifndef GH_HEX_H
#define GH_HEX_H

#include <stddef.h>
#include <stdint.h>

// True for 0-9, A-F, a-f.
bool is_hex_digit(uint8_t c);

// The value of one digit, classified by the high nibble of its low 8 bits:
// 0x30-0x3F count as code - 0x30, 0x40-0x4F as code - 0x37, 0x60-0x6F as
// code - 0x57.  Anything else counts as 0.
uint8_t hex_digit_value(uint8_t c);

// The byte value of the two digits at p (first digit high), kept to 8 bits.
// For bytes and for host characters of either width: the digits are taken
// from the low 8 bits of each character.
template <class Char>
uint8_t hex_pair_value(const Char *p) {
    return static_cast<uint8_t>(hex_digit_value(static_cast<uint8_t>(p[0])) * 16 +
                                hex_digit_value(static_cast<uint8_t>(p[1])));
}

// Replaces the byte (or the low 8 bits of the character) at p by its two
// lowercase digits, high nibble first (p has room for two).  No terminator.
template <class Char>
void byte_to_hex_in_place(Char *p) {
    static const unsigned char digits[] = "0123456789abcdef";
    uint8_t v = static_cast<uint8_t>(p[0]);
    p[0] = static_cast<Char>(digits[v >> 4]);
    p[1] = static_cast<Char>(digits[v & 15]);
}

// The digits of n bytes: 2n, in 64 bits.
inline uint64_t hex_text_length(uint64_t n) { return 2 * n; }

// Writes the 2n lowercase digits of n bytes to out (no terminator).
void hex_encode_lower(const uint8_t *in, size_t n, uint8_t *out);

// The same as characters of either width.
template <class Char>
void hex_encode_lower_chars(const uint8_t *in, size_t n, Char *out) {
    static const unsigned char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = static_cast<Char>(digits[in[i] >> 4]);
        out[2 * i + 1] = static_cast<Char>(digits[in[i] & 15]);
    }
}

// Pairs the n digits at in into n/2 bytes with hex_pair_value (a final odd
// digit is ignored); returns n/2.  Nothing is validated: a second digit
// outside the three digit groups counts as 0, and so does a first one.
size_t hex_decode_pairs(const uint8_t *in, size_t n, uint8_t *out);

#endif
