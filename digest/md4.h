// MD4 (RFC 1320): the reference code's interface over a caller-owned
// context.  Nothing here allocates; MD4Final wipes the whole context.
#ifndef GH_MD4_H
#define GH_MD4_H

#include <stddef.h>
#include <stdint.h>

enum { MD4_DIGEST_LENGTH_BYTES = 16, MD4_BLOCK_BYTES = 64 };

struct MD4_CTX {
    uint32_t state[4];   // A, B, C, D
    uint32_t count[2];   // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];  // a partial block
};

void MD4Init(MD4_CTX *context);
void MD4Update(MD4_CTX *context, const uint8_t *input, size_t inputLen);
void MD4Final(uint8_t digest[16], MD4_CTX *context);

// The block step: one 64-byte block into the state.
void MD4Transform(uint32_t state[4], const uint8_t block[64]);

// The block step over `blocks` consecutive 64-byte blocks.
void md4_blocks(uint32_t state[4], const uint8_t *data, size_t blocks);

// One call: MD4Init, MD4Update over all bytes, MD4Final.
void do_md4(uint8_t digest[16], const uint8_t *data, size_t len);

#endif
