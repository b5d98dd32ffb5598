// The five digests behind one small interface, for code that picks the
// algorithm at run time (the catalogue functions, the file reader).  Pure:
// caller-owned context, no allocation, nothing of the host.
#ifndef GH_DIGEST_ANY_H
#define GH_DIGEST_ANY_H

#include <stddef.h>
#include <stdint.h>

#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

enum DigestAlgorithm { DIGEST_MD4, DIGEST_MD5, DIGEST_SHA1, DIGEST_SHA256, DIGEST_SHA512 };

enum { DIGEST_MAX_LENGTH = 64 };

struct DigestContext {
    DigestAlgorithm algorithm;
    union {
        MD4_CTX md4;
        MD5_CTX md5;
        SHA1_CTX sha1;
        sha256_ctx sha256;
        sha512_ctx sha512;
    } u;
};

// Bytes of the digest: 16, 16, 20, 32 or 64.
size_t digest_length(DigestAlgorithm algorithm);

void digest_begin(DigestContext *ctx, DigestAlgorithm algorithm);
void digest_update(DigestContext *ctx, const uint8_t *data, size_t len);
// Writes digest_length() bytes and wipes the context.
void digest_end(DigestContext *ctx, uint8_t *out);

// Feeds the low 8 bits of each of up to n characters, stopping before the
// first character whose low 8 bits are zero; returns the characters fed.
// Narrows through a small fixed buffer: no allocation, however long the text.
size_t digest_update_low8_until_zero(DigestContext *ctx, const uint32_t *chars, size_t n);

#endif
