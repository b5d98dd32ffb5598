// Blowfish (Schneier, 1993): 64-bit blocks, 16 rounds, key of 1 to 72 bytes
// (longer keys act as their first 72 bytes).  Pure functions on a caller-owned
// context.
#ifndef GH_BLOWFISH_H
#define GH_BLOWFISH_H

#include <stddef.h>
#include <stdint.h>

// The key schedule: the P-array, then the four S-boxes.  4168 bytes.
typedef struct BlowfishContext {
    uint32_t P[18];
    uint32_t S[4][256];
} BlowfishContext;

// Full key schedule from the published initial values and keyLength key
// bytes (taken cyclically).  keyLength must be at least 1.
void blowfish_init(BlowfishContext *ctx, const uint8_t *key, size_t keyLength);

// One block in place: xl is the left half, xr the right half.
void blowfish_encrypt(const BlowfishContext *ctx, uint32_t *xl, uint32_t *xr);
void blowfish_decrypt(const BlowfishContext *ctx, uint32_t *xl, uint32_t *xr);

#endif
