// SHA-512 (FIPS 180-4) over a caller-owned context.  Nothing here allocates;
// sha512_final wipes the context.
#ifndef GH_SHA512_H
#define GH_SHA512_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

enum { SHA512_OUTPUT_SIZE = 64, SHA512_BLOCK_SIZE = 128 };

// The block step over `blocks` consecutive 128-byte blocks.
typedef void (*Sha512BlocksFn)(uint64_t hash[8], const uint8_t *data, size_t blocks);

struct Sha512Context {
    uint64_t count[2];        // message length in bytes, mod 2^128, low word first
    uint64_t hash[8];
    uint8_t wbuf[128];        // a partial block
    Sha512BlocksFn blocks;  // the block step this context uses
};

// sha512_init takes the block step chosen for this CPU (digest_paths.h).
void sha512_init(Sha512Context *ctx);
void sha512_update(Sha512Context *ctx, const uint8_t *data, size_t len);
// Pads, appends the 128-bit big-endian bit count, writes the eight hash words
// big-endian, and wipes the context.
void sha512_final(Sha512Context *ctx, uint8_t out[SHA512_OUTPUT_SIZE]);
// One call: init, update over all bytes, final.
void sha512_digest(uint8_t out[SHA512_OUTPUT_SIZE], const uint8_t *data, size_t len);

extern const HashClass kSha512Hash;

// Test hook: a context that uses the given block step (one of
// sha512_blocks_for(), digest_paths.h) instead of the chosen one.
void sha512_init_with(Sha512Context *ctx, Sha512BlocksFn blocks);

void sha512_blocks_portable(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_bmi2(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_avx2(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_armv8(uint64_t hash[8], const uint8_t *data, size_t blocks);

#endif
