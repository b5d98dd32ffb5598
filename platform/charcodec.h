// Kernels of the conversions between the wide build's 32-bit characters and
// bytes.  Pure functions over arrays; they know nothing of the host.
//
// The byte form of a character c (as an unsigned 32-bit value):
//   0 .. 0xFF           one byte, c itself (also 0x80..0xFF, unlike UTF-8)
//   0x100 .. 0x7FF      two bytes     0xC0 | c>>6, then continuation bytes
//   0x800 .. 0xFFFF     three bytes   0xE0 | (c>>12 & 0x0F), ...
//   0x10000 .. 0x1FFFFF four bytes    0xF0 | (c>>18 & 0x07), ...
//   0x200000 .. 0x3FFFFFF   five bytes  0xF8 | (c>>24 & 0x07), ...
//   0x4000000 and above     six bytes   0xFC | (c>>30 & 0x07), ...
// A continuation byte of x is 0x80 | (x & 0x3F).  Surrogates and codes above
// 0x10FFFF are encoded like any other, so every text has a byte form and a
// text of characters 0..255 becomes exactly those bytes.
#ifndef GH_CHARCODEC_H
#define GH_CHARCODEC_H

#include <stddef.h>
#include <stdint.h>

// Number of bytes the byte form of n characters takes.
uint64_t qchar_encoded_length(const uint32_t *chars, size_t n);

// Writes the byte form of n characters to out, which has room for
// qchar_encoded_length(chars, n) bytes; returns the bytes written.
size_t qchar_encode(const uint32_t *chars, size_t n, uint8_t *out);

// One character per byte, of the same value.
void bytes_widen(const uint8_t *bytes, size_t n, uint32_t *out);

// One byte per character: its low 8 bits.
void qchar_narrow_low8(const uint32_t *chars, size_t n, uint8_t *out);

#endif
