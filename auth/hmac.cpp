// HMAC (RFC 2104), from the hash's class record.
#include "auth/hmac.h"

#include "digest/digest_util.h"

using digest_detail::wipe;

void hmac_init(HmacContext *ctx, const HashClass *hash, const uint8_t *key, size_t keyLength) {
    ctx->hash = hash;
    uint8_t keyDigest[HASH_MAX_OUTPUT_SIZE];
    if (keyLength > hash->blockSize) {
        digest_compute(hash, keyDigest, key, keyLength);
        key = keyDigest;
        keyLength = hash->outputSize;
    }
    uint8_t pad[HASH_MAX_BLOCK_SIZE];
    const size_t block = hash->blockSize;
    for (size_t i = 0; i < block; ++i) pad[i] = static_cast<uint8_t>((i < keyLength ? key[i] : 0) ^ 0x36);
    hash->init(&ctx->inner);
    hash->update(&ctx->inner, pad, block);
    // 0x36 ^ 0x5C turns the inner pad into the outer one.
    for (size_t i = 0; i < block; ++i) pad[i] ^= 0x36 ^ 0x5C;
    hash->init(&ctx->outer);
    hash->update(&ctx->outer, pad, block);
    wipe(pad, sizeof pad);
    wipe(keyDigest, sizeof keyDigest);
}

void hmac_update(HmacContext *ctx, const uint8_t *text, size_t textLength) {
    ctx->hash->update(&ctx->inner, text, textLength);
}

void hmac_final(HmacContext *ctx, uint8_t *out) {
    const HashClass *hash = ctx->hash;
    uint8_t innerDigest[HASH_MAX_OUTPUT_SIZE];
    hash->final(&ctx->inner, innerDigest);
    hash->update(&ctx->outer, innerDigest, hash->outputSize);
    hash->final(&ctx->outer, out);
    wipe(innerDigest, sizeof innerDigest);
    wipe(ctx, sizeof *ctx);
}

void hmac_compute(const HashClass *hash, uint8_t *out, const uint8_t *key, size_t keyLength,
                  const uint8_t *text, size_t textLength) {
    HmacContext ctx;
    hmac_init(&ctx, hash, key, keyLength);
    hmac_update(&ctx, text, textLength);
    hmac_final(&ctx, out);
}
