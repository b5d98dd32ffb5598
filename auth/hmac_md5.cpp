// HMAC-MD5 (RFC 2104).
#include "auth/hmac_md5.h"

#include "digest/digest_util.h"

using digest_detail::wipe;

void hmac_md5_begin(HMAC_MD5_CTX *ctx, const uint8_t *key, size_t key_len) {
    uint8_t keyDigest[16];
    if (key_len > MD5_BLOCK_BYTES) {
        do_md5(keyDigest, key, key_len);
        key = keyDigest;
        key_len = sizeof keyDigest;
    }
    uint8_t pad[MD5_BLOCK_BYTES];
    for (size_t i = 0; i < MD5_BLOCK_BYTES; ++i) pad[i] = static_cast<uint8_t>((i < key_len ? key[i] : 0) ^ 0x36);
    MD5Init(&ctx->inner);
    MD5Update(&ctx->inner, pad, sizeof pad);
    // 0x36 ^ 0x5C turns the inner pad into the outer one.
    for (uint8_t &b : pad) b ^= 0x36 ^ 0x5C;
    MD5Init(&ctx->outer);
    MD5Update(&ctx->outer, pad, sizeof pad);
    wipe(pad, sizeof pad);
    wipe(keyDigest, sizeof keyDigest);
}

void hmac_md5_update(HMAC_MD5_CTX *ctx, const uint8_t *text, size_t text_len) {
    MD5Update(&ctx->inner, text, text_len);
}

void hmac_md5_end(HMAC_MD5_CTX *ctx, uint8_t digest[16]) {
    uint8_t innerDigest[16];
    MD5Final(innerDigest, &ctx->inner);
    MD5Update(&ctx->outer, innerDigest, sizeof innerDigest);
    MD5Final(digest, &ctx->outer);
    wipe(innerDigest, sizeof innerDigest);
}

void hmac_md5(const uint8_t *text, size_t text_len, const uint8_t *key, size_t key_len,
              uint8_t digest[16]) {
    HMAC_MD5_CTX ctx;
    hmac_md5_begin(&ctx, key, key_len);
    hmac_md5_update(&ctx, text, text_len);
    hmac_md5_end(&ctx, digest);
}
