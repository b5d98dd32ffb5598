// HMAC (RFC 2104) over any hash's class record: HMAC-MD5 for CRAM-MD5
// (RFC 2195) and NTLMv2, and the same code for the other hashes.  Pure:
// caller-owned context, no allocation, nothing of the host.  A key longer
// than the hash's block is first replaced by its digest; a shorter one is
// zero-filled to the block.
#ifndef GH_AUTH_HMAC_H
#define GH_AUTH_HMAC_H

#include <stddef.h>
#include <stdint.h>

#include "digest/digest_any.h"

enum { HMAC_MD5_LENGTH = MD5_OUTPUT_SIZE };

// In steps, for a text that comes in pieces (NTLMv2 hashes a user name and a
// domain that are never put side by side in memory).
struct HmacContext {
    const HashClass *hash;
    AnyHashContext inner;  // has taken the inner pad; takes the text
    AnyHashContext outer;  // has taken the outer pad; takes the inner digest
};

void hmac_init(HmacContext *ctx, const HashClass *hash, const uint8_t *key, size_t keyLength);
void hmac_update(HmacContext *ctx, const uint8_t *text, size_t textLength);
// Writes hash->outputSize bytes and wipes the context.
void hmac_final(HmacContext *ctx, uint8_t *out);

// One call: writes hash->outputSize bytes.
void hmac_compute(const HashClass *hash, uint8_t *out, const uint8_t *key, size_t keyLength,
                  const uint8_t *text, size_t textLength);

#endif
