// SHA-256 (FIPS 180-4) over a caller-owned context, in the published
// begin/hash/end form.  Nothing here allocates; sha256_end wipes the context.
#ifndef GH_SHA256_H
#define GH_SHA256_H

#include <stddef.h>
#include <stdint.h>

enum { SHA256_DIGEST_SIZE = 32, SHA256_BLOCK_SIZE = 64 };

// The block step over `blocks` consecutive 64-byte blocks.
typedef void (*sha256_blocks_fn)(uint32_t hash[8], const uint8_t *data, size_t blocks);

struct sha256_ctx {
    uint32_t count[2];        // message length in bytes, mod 2^64, low word first
    uint32_t hash[8];
    uint8_t wbuf[64];         // a partial block
    sha256_blocks_fn blocks;  // the block step this context uses
};

// sha256_begin takes the block step chosen for this CPU (digest_paths.h).
void sha256_begin(sha256_ctx *ctx);
void sha256_hash(const uint8_t *data, size_t len, sha256_ctx *ctx);
// Pads, appends the 64-bit big-endian bit count, writes the eight hash words
// big-endian, and wipes the context.
void sha256_end(uint8_t hval[32], sha256_ctx *ctx);

// Compresses the full block held in ctx->wbuf.
void sha256_compile(sha256_ctx *ctx);

// One call: sha256_begin, sha256_hash over all bytes, sha256_end.
void do_sha256(uint8_t hval[32], const uint8_t *data, size_t len);

// Test hook: a context that uses the given block step (one of
// sha256_blocks_for(), digest_paths.h) instead of the chosen one.
void sha256_begin_with(sha256_ctx *ctx, sha256_blocks_fn blocks);

void sha256_blocks_portable(uint32_t hash[8], const uint8_t *data, size_t blocks);
void sha256_blocks_shani(uint32_t hash[8], const uint8_t *data, size_t blocks);
void sha256_blocks_armv8(uint32_t hash[8], const uint8_t *data, size_t blocks);

// The 64 round constants (shared with the SHA extensions block step).
extern const uint32_t sha256_round_constants[64];

#endif
