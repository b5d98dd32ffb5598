// The Blowfish round function and the 16 rounds over one block's halves,
// inline so that the block loops can interleave several blocks.
#ifndef GH_BLOWFISH_ROUND_H
#define GH_BLOWFISH_ROUND_H

#include <stdint.h>

#include "cipher/blowfish.h"

// F(x) = ((S1[a] + S2[b]) ^ S3[c]) + S4[d], a..d the bytes of x from the most
// significant, modulo 2^32.
static inline uint32_t blowfishF(const BlowfishContext *ctx, uint32_t x) {
    return ((ctx->S[0][x >> 24] + ctx->S[1][(x >> 16) & 0xFF]) ^ ctx->S[2][(x >> 8) & 0xFF]) +
           ctx->S[3][x & 0xFF];
}

// Sixteen rounds (L ^= P[i]; R ^= F(L); swap), the last swap undone, then
// R ^= P[16], L ^= P[17]; written two rounds at a time so no swap is moved.
static inline void blowfishEncryptHalves(const BlowfishContext *ctx, uint32_t &xl, uint32_t &xr) {
    const uint32_t *P = ctx->P;
    uint32_t l = xl ^ P[0];
    uint32_t r = xr;
    for (int i = 1; i < 17; i += 2) {
        r ^= blowfishF(ctx, l) ^ P[i];
        l ^= blowfishF(ctx, r) ^ P[i + 1];
    }
    xl = r ^ P[17];
    xr = l;
}

// The same with the P-array in reverse order.
static inline void blowfishDecryptHalves(const BlowfishContext *ctx, uint32_t &xl, uint32_t &xr) {
    const uint32_t *P = ctx->P;
    uint32_t l = xl ^ P[17];
    uint32_t r = xr;
    for (int i = 16; i > 0; i -= 2) {
        r ^= blowfishF(ctx, l) ^ P[i];
        l ^= blowfishF(ctx, r) ^ P[i - 1];
    }
    xl = r ^ P[0];
    xr = l;
}

#endif
