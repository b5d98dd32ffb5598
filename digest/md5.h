// MD5 (RFC 1321): the reference code's interface over a caller-owned
// context.  Nothing here allocates; MD5Final wipes the whole context.
#ifndef GH_MD5_H
#define GH_MD5_H

#include <stddef.h>
#include <stdint.h>

enum { MD5_DIGEST_LENGTH_BYTES = 16, MD5_BLOCK_BYTES = 64 };

struct MD5_CTX {
    uint32_t state[4];   // A, B, C, D
    uint32_t count[2];   // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];  // a partial block
};

void MD5Init(MD5_CTX *context);
void MD5Update(MD5_CTX *context, const uint8_t *input, size_t inputLen);
void MD5Final(uint8_t digest[16], MD5_CTX *context);

// The block step: one 64-byte block into the state.
void MD5Transform(uint32_t state[4], const uint8_t block[64]);

// The block step over `blocks` consecutive 64-byte blocks.
void md5_blocks(uint32_t state[4], const uint8_t *data, size_t blocks);

// One call: MD5Init, MD5Update over all bytes, MD5Final.
void do_md5(uint8_t digest[16], const uint8_t *data, size_t len);

#endif
