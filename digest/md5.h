// MD5 (RFC 1321) over a caller-owned context.  Nothing here allocates;
// md5_final wipes the whole context.
#ifndef GH_MD5_H
#define GH_MD5_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

enum { MD5_OUTPUT_SIZE = 16, MD5_BLOCK_SIZE = 64 };

struct Md5Context {
    uint32_t state[4];   // A, B, C, D
    uint32_t count[2];   // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];  // a partial block
};

void md5_init(Md5Context *ctx);
void md5_update(Md5Context *ctx, const uint8_t *data, size_t len);
void md5_final(Md5Context *ctx, uint8_t out[MD5_OUTPUT_SIZE]);
// One call: init, update over all bytes, final.
void md5_digest(uint8_t out[MD5_OUTPUT_SIZE], const uint8_t *data, size_t len);

extern const HashClass kMd5Hash;

// The block step over `blocks` consecutive 64-byte blocks.
void md5_blocks(uint32_t state[4], const uint8_t *data, size_t blocks);

#endif
