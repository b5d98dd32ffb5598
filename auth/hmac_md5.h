// HMAC-MD5 (RFC 2104): MD5 keyed with a secret, as CRAM-MD5 (RFC 2195) and
// NTLMv2 use it.  Pure: caller-owned context, no allocation, nothing of the
// host.  A key longer than the 64-byte block is first replaced by its MD5
// digest; a shorter one is zero-filled to 64 bytes.
#ifndef GH_HMAC_MD5_H
#define GH_HMAC_MD5_H

#include <stddef.h>
#include <stdint.h>

#include "digest/md5.h"

enum { HMAC_MD5_LENGTH = 16 };

// In steps, for a text that comes in pieces (NTLMv2 hashes a user name and a
// domain that are never put side by side in memory).
struct HMAC_MD5_CTX {
    MD5_CTX inner;  // has taken the inner pad; takes the text
    MD5_CTX outer;  // has taken the outer pad; takes the inner digest
};

void hmac_md5_begin(HMAC_MD5_CTX *ctx, const uint8_t *key, size_t key_len);
void hmac_md5_update(HMAC_MD5_CTX *ctx, const uint8_t *text, size_t text_len);
// Writes the 16-byte result and wipes the context.
void hmac_md5_end(HMAC_MD5_CTX *ctx, uint8_t digest[16]);

// One call, with the arguments in the order of RFC 2104's sample code.
void hmac_md5(const uint8_t *text, size_t text_len, const uint8_t *key, size_t key_len,
              uint8_t digest[16]);

#endif
