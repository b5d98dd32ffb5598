// SHA-256 (FIPS 180-4) over a caller-owned context.  Nothing here allocates;
// sha256_final wipes the context.
#ifndef GH_SHA256_H
#define GH_SHA256_H

#include <stddef.h>
#include <stdint.h>

#include "digest/hash_class.h"

enum { SHA256_OUTPUT_SIZE = 32, SHA256_BLOCK_SIZE = 64 };

// The block step over `blocks` consecutive 64-byte blocks.
typedef void (*Sha256BlocksFn)(uint32_t hash[8], const uint8_t *data, size_t blocks);

struct Sha256Context {
    uint32_t count[2];        // message length in bytes, mod 2^64, low word first
    uint32_t hash[8];
    uint8_t wbuf[64];         // a partial block
    Sha256BlocksFn blocks;  // the block step this context uses
};

// sha256_init takes the block step chosen for this CPU (digest_paths.h).
void sha256_init(Sha256Context *ctx);
void sha256_update(Sha256Context *ctx, const uint8_t *data, size_t len);
// Pads, appends the 64-bit big-endian bit count, writes the eight hash words
// big-endian, and wipes the context.
void sha256_final(Sha256Context *ctx, uint8_t out[SHA256_OUTPUT_SIZE]);
// One call: init, update over all bytes, final.
void sha256_digest(uint8_t out[SHA256_OUTPUT_SIZE], const uint8_t *data, size_t len);

extern const HashClass kSha256Hash;

// Test hook: a context that uses the given block step (one of
// sha256_blocks_for(), digest_paths.h) instead of the chosen one.
void sha256_init_with(Sha256Context *ctx, Sha256BlocksFn blocks);

void sha256_blocks_portable(uint32_t hash[8], const uint8_t *data, size_t blocks);
void sha256_blocks_shani(uint32_t hash[8], const uint8_t *data, size_t blocks);
void sha256_blocks_armv8(uint32_t hash[8], const uint8_t *data, size_t blocks);

// The 64 round constants (shared with the SHA extensions block step).
extern const uint32_t kSha256RoundConstants[64];

#endif
