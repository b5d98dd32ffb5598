// SHA-1 (FIPS 180-4) over a caller-owned context.  Nothing here allocates;
// sha1_final wipes the context (state, bit count, block buffer).
#ifndef GH_SHA1_H
#define GH_SHA1_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

enum { SHA1_OUTPUT_SIZE = 20, SHA1_BLOCK_SIZE = 64 };

// The block step over `blocks` consecutive 64-byte blocks.
typedef void (*Sha1BlocksFn)(uint32_t state[5], const uint8_t *data, size_t blocks);

struct Sha1Context {
    uint32_t state[5];
    uint32_t count[2];      // message length in bits, mod 2^64, low word first
    uint8_t buffer[64];     // a partial block
    Sha1BlocksFn blocks;  // the block step this context uses
};

// sha1_init takes the block step chosen for this CPU (digest/digest_paths.h).
void sha1_init(Sha1Context *ctx);
void sha1_update(Sha1Context *ctx, const uint8_t *data, size_t len);
void sha1_final(Sha1Context *ctx, uint8_t out[SHA1_OUTPUT_SIZE]);
// One call: init, update over all bytes, final.
void sha1_digest(uint8_t out[SHA1_OUTPUT_SIZE], const uint8_t *data, size_t len);

extern const HashClass kSha1Hash;

// Test hook: a context that uses the given block step (one of
// sha1_blocks_for(), digest_paths.h) instead of the chosen one.
void sha1_init_with(Sha1Context *ctx, Sha1BlocksFn blocks);

// The block steps themselves.  The portable one runs anywhere; the SHA
// extensions one only where sha1_blocks_for() offers it.
void sha1_blocks_portable(uint32_t state[5], const uint8_t *data, size_t blocks);
void sha1_blocks_shani(uint32_t state[5], const uint8_t *data, size_t blocks);
void sha1_blocks_armv8(uint32_t state[5], const uint8_t *data, size_t blocks);

#endif
