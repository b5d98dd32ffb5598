// SHA-1 (FIPS 180-4) over a caller-owned context.  Nothing here allocates;
// SHA1Final wipes the context (state, bit count, block buffer).
#ifndef GH_SHA1_H
#define GH_SHA1_H

#include <stddef.h>
#include <stdint.h>

enum { SHA1_DIGEST_LENGTH_BYTES = 20, SHA1_BLOCK_BYTES = 64 };

// The block step over `blocks` consecutive 64-byte blocks.
typedef void (*sha1_blocks_fn)(uint32_t state[5], const uint8_t *data, size_t blocks);

struct SHA1_CTX {
    uint32_t state[5];
    uint32_t count[2];      // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];     // a partial block
    sha1_blocks_fn blocks;  // the block step this context uses
};

// SHA1Init takes the block step chosen for this CPU (digest/digest_paths.h).
void SHA1Init(SHA1_CTX *context);
void SHA1Update(SHA1_CTX *context, const uint8_t *data, size_t len);
void SHA1Final(uint8_t digest[20], SHA1_CTX *context);

// One 64-byte block into the state, with the chosen block step.
void SHA1Transform(uint32_t state[5], const uint8_t buffer[64]);

// One call: SHA1Init, SHA1Update over all bytes, SHA1Final.
void do_sha1(uint8_t digest[20], const uint8_t *data, size_t len);

// Test hook: a context that uses the given block step (one of
// sha1_blocks_for(), digest_paths.h) instead of the chosen one.
void SHA1InitWith(SHA1_CTX *context, sha1_blocks_fn blocks);

// The block steps themselves.  The portable one runs anywhere; the SHA
// extensions one only where sha1_blocks_for() offers it.
void sha1_blocks_portable(uint32_t state[5], const uint8_t *data, size_t blocks);
void sha1_blocks_shani(uint32_t state[5], const uint8_t *data, size_t blocks);
void sha1_blocks_armv8(uint32_t state[5], const uint8_t *data, size_t blocks);

#endif
