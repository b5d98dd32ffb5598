// MD4 (RFC 1320) over a caller-owned context.  Nothing here allocates;
// md4_final wipes the whole context.
#ifndef GH_MD4_H
#define GH_MD4_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

enum { MD4_OUTPUT_SIZE = 16, MD4_BLOCK_SIZE = 64 };

struct Md4Context {
    uint32_t state[4];   // A, B, C, D
    uint32_t count[2];   // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];  // a partial block
};

void md4_init(Md4Context *ctx);
void md4_update(Md4Context *ctx, const uint8_t *data, size_t len);
void md4_final(Md4Context *ctx, uint8_t out[MD4_OUTPUT_SIZE]);
// One call: init, update over all bytes, final.
void md4_digest(uint8_t out[MD4_OUTPUT_SIZE], const uint8_t *data, size_t len);

extern const HashClass kMd4Hash;

// The block step over `blocks` consecutive 64-byte blocks.
void md4_blocks(uint32_t state[4], const uint8_t *data, size_t blocks);

#endif
