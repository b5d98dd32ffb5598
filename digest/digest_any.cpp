// The five digests behind one interface.
#include "digest/digest_any.h"

#include <string.h>

#include "digest/digest_util.h"

size_t digest_length(DigestAlgorithm algorithm) {
    switch (algorithm) {
    case DIGEST_MD4:
    case DIGEST_MD5:
        return 16;
    case DIGEST_SHA1:
        return 20;
    case DIGEST_SHA256:
        return 32;
    case DIGEST_SHA512:
        return 64;
    }
    return 0;
}

void digest_begin(DigestContext *ctx, DigestAlgorithm algorithm) {
    ctx->algorithm = algorithm;
    switch (algorithm) {
    case DIGEST_MD4:
        MD4Init(&ctx->u.md4);
        break;
    case DIGEST_MD5:
        MD5Init(&ctx->u.md5);
        break;
    case DIGEST_SHA1:
        SHA1Init(&ctx->u.sha1);
        break;
    case DIGEST_SHA256:
        sha256_begin(&ctx->u.sha256);
        break;
    case DIGEST_SHA512:
        sha512_begin(&ctx->u.sha512);
        break;
    }
}

void digest_update(DigestContext *ctx, const uint8_t *data, size_t len) {
    switch (ctx->algorithm) {
    case DIGEST_MD4:
        MD4Update(&ctx->u.md4, data, len);
        break;
    case DIGEST_MD5:
        MD5Update(&ctx->u.md5, data, len);
        break;
    case DIGEST_SHA1:
        SHA1Update(&ctx->u.sha1, data, len);
        break;
    case DIGEST_SHA256:
        sha256_hash(data, len, &ctx->u.sha256);
        break;
    case DIGEST_SHA512:
        sha512_hash(data, len, &ctx->u.sha512);
        break;
    }
}

void digest_end(DigestContext *ctx, uint8_t *out) {
    switch (ctx->algorithm) {
    case DIGEST_MD4:
        MD4Final(out, &ctx->u.md4);
        break;
    case DIGEST_MD5:
        MD5Final(out, &ctx->u.md5);
        break;
    case DIGEST_SHA1:
        SHA1Final(out, &ctx->u.sha1);
        break;
    case DIGEST_SHA256:
        sha256_end(out, &ctx->u.sha256);
        break;
    case DIGEST_SHA512:
        sha512_end(out, &ctx->u.sha512);
        break;
    }
    digest_detail::wipe(ctx, sizeof *ctx);
}

size_t digest_update_low8_until_zero(DigestContext *ctx, const uint32_t *chars, size_t n) {
    // A long text comes from memory, not from the caches, at four bytes a
    // character.  Small chunks let the processor's prefetcher fetch the next
    // characters while a chunk is digested: with 512 characters a chunk the
    // narrowing costs a sixth of SHA-256's time, with 8192 a half.  Both
    // loops vectorise.
    constexpr size_t CHUNK = 512;
    uint8_t bytes[CHUNK];
    size_t fed = 0, used = 0;
    while (fed < n) {
        size_t k = n - fed < CHUNK ? n - fed : CHUNK;
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
