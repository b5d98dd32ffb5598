// Blowfish (Schneier, 1993): the round function, one block each way, and the
// key schedule.
#include "cipher/blowfish.h"

#include <string.h>

#include "cipher/blowfish_round.h"
#include "cipher/blowfish_tables.h"

void blowfish_encrypt(const BlowfishContext *ctx, uint32_t *xl, uint32_t *xr) {
    uint32_t l = *xl;
    uint32_t r = *xr;
    blowfishEncryptHalves(ctx, l, r);
    *xl = l;
    *xr = r;
}

void blowfish_decrypt(const BlowfishContext *ctx, uint32_t *xl, uint32_t *xr) {
    uint32_t l = *xl;
    uint32_t r = *xr;
    blowfishDecryptHalves(ctx, l, r);
    *xl = l;
    *xr = r;
}

void blowfish_init(BlowfishContext *ctx, const uint8_t *key, size_t keyLength) {
    memcpy(ctx->S, kBlowfishInitialS, sizeof ctx->S);
    // The key is taken cyclically, 4 bytes per P word, first byte most
    // significant: only its first 72 bytes can reach the 18 words.
    size_t k = 0;
    for (int i = 0; i < 18; ++i) {
        uint32_t word = 0;
        for (int j = 0; j < 4; ++j) {
            word = word << 8 | (keyLength ? key[k] : 0);
            if (++k >= keyLength) k = 0;
        }
        ctx->P[i] = kBlowfishInitialP[i] ^ word;
    }
    // 521 encryptions, starting from the zero block, each output pair
    // replacing the next two words of P and then of the S-boxes at once.
    uint32_t l = 0;
    uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        blowfishEncryptHalves(ctx, l, r);
        ctx->P[i] = l;
        ctx->P[i + 1] = r;
    }
    for (int box = 0; box < 4; ++box) {
        for (int i = 0; i < 256; i += 2) {
            blowfishEncryptHalves(ctx, l, r);
            ctx->S[box][i] = l;
            ctx->S[box][i + 1] = r;
        }
    }
}
