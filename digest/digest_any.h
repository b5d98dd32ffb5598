// Any of the five digests through its class record, for code that picks the
// hash at run time (the catalogue functions, the file reader, HMAC).  Pure:
// caller-owned context, no allocation, nothing of the host.
#ifndef GH_DIGEST_ANY_H
#define GH_DIGEST_ANY_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"
#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

// Room for the context of any of the five hashes.
union AnyHashContext {
    Md4Context md4;
    Md5Context md5;
    Sha1Context sha1;
    Sha256Context sha256;
    Sha512Context sha512;
};

// A hash's context together with its record.
struct DigestContext {
    const HashClass *hash;
    AnyHashContext state;
};

void digest_init(DigestContext *ctx, const HashClass *hash);
void digest_update(DigestContext *ctx, const uint8_t *data, size_t len);
// Writes ctx->hash->outputSize bytes and wipes the context.
void digest_final(DigestContext *ctx, uint8_t *out);
// One call: writes hash->outputSize bytes.
void digest_compute(const HashClass *hash, uint8_t *out, const uint8_t *data, size_t len);

// Feeds the low 8 bits of each of up to n characters, stopping before the
// first character whose low 8 bits are zero; returns the characters fed.
// Narrows through a small fixed buffer: no allocation, however long the text.
size_t digest_update_low8_until_zero(DigestContext *ctx, const uint32_t *chars, size_t n);

#endif
