// Blowfish over whole values: ECB over 8-byte blocks whose halves are
// big-endian 32-bit words, and the length padding that makes any value a
// whole number of blocks.  Pure functions on caller-owned bytes.
#ifndef GH_BLOWFISH_ECB_H
#define GH_BLOWFISH_ECB_H

#include <stddef.h>
#include <stdint.h>

#include "cipher/blowfish.h"

enum { BLOWFISH_BLOCK = 8 };

// Encrypts or decrypts `blocks` 8-byte blocks at data, in place, each on its
// own (no chaining).  Left half = bytes 0-3 big-endian, right = bytes 4-7.
void blowfish_ecb_encrypt(const BlowfishContext *ctx, uint8_t *data, size_t blocks);
void blowfish_ecb_decrypt(const BlowfishContext *ctx, uint8_t *data, size_t blocks);

// The pad length of an n-byte value: 8 - n % 8, so 1..8 (a whole block of
// eights when n is already a multiple of 8).
inline size_t blowfish_pad_length(size_t n) { return BLOWFISH_BLOCK - n % BLOWFISH_BLOCK; }
// The padded length of an n-byte value, in 64 bits: n + 1 .. n + 8, a
// multiple of 8.
inline uint64_t blowfish_padded_length(uint64_t n) { return n + (BLOWFISH_BLOCK - n % BLOWFISH_BLOCK); }

// Writes the pad bytes after the n data bytes at data (which has room for
// n + blowfish_pad_length(n)); returns the padded length.
size_t blowfish_pad(uint8_t *data, size_t n);

// The plaintext length of n decrypted bytes: n less the value of the last
// byte.  A last byte of 0, above 8 or above n cannot be padding (wrong key or
// damaged data); then, and for n = 0, returns false rather than invent a
// length.  The other pad bytes are not checked.
bool blowfish_unpadded_length(const uint8_t *data, size_t n, size_t *plainLength);

#endif
