// Any of the five digests through its class record.
#include "digest/digest_any.h"

#include <string.h>

#include "digest/digest_util.h"

void digest_init(DigestContext *ctx, const HashClass *hash) {
    ctx->hash = hash;
    hash->init(&ctx->state);
}

void digest_update(DigestContext *ctx, const uint8_t *data, size_t len) {
    ctx->hash->update(&ctx->state, data, len);
}

void digest_final(DigestContext *ctx, uint8_t *out) {
    ctx->hash->final(&ctx->state, out);
    digest_detail::wipe(ctx, sizeof *ctx);
}

void digest_compute(const HashClass *hash, uint8_t *out, const uint8_t *data, size_t len) {
    DigestContext ctx;
    digest_init(&ctx, hash);
    digest_update(&ctx, data, len);
    digest_final(&ctx, out);
}

size_t digest_update_low8_until_zero(DigestContext *ctx, const uint32_t *chars, size_t n) {
    // A long text comes from memory, not from the caches, at four bytes a
    // character.  Small chunks let the processor's prefetcher fetch the next
    // characters while a chunk is digested: with 512 characters a chunk the
    // narrowing costs a sixth of SHA-256's time, with 8192 a half.  Both
    // loops vectorise.
    constexpr size_t kChunk = 512;
    uint8_t bytes[kChunk];
    size_t fed = 0, used = 0;
    while (fed < n) {
        size_t k = n - fed < kChunk ? n - fed : kChunk;
        if (k > used) used = k;
        for (size_t i = 0; i < k; ++i) bytes[i] = static_cast<uint8_t>(chars[fed + i]);
        const void *zero = memchr(bytes, 0, k);
        size_t take = zero ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - bytes) : k;
        digest_update(ctx, bytes, take);
        fed += take;
        if (zero) break;
    }
    digest_detail::wipe(bytes, used);  // the text may be a secret
    return fed;
}
