// SHA-512 (FIPS 180-4) over a caller-owned context, in the published
// begin/hash/end form.  Nothing here allocates; sha512_end wipes the context.
#ifndef GH_SHA512_H
#define GH_SHA512_H

#include <stddef.h>
#include <stdint.h>

enum { SHA512_DIGEST_SIZE = 64, SHA512_BLOCK_SIZE = 128 };

// The block step over `blocks` consecutive 128-byte blocks.
typedef void (*sha512_blocks_fn)(uint64_t hash[8], const uint8_t *data, size_t blocks);

struct sha512_ctx {
    uint64_t count[2];        // message length in bytes, mod 2^128, low word first
    uint64_t hash[8];
    uint8_t wbuf[128];        // a partial block
    sha512_blocks_fn blocks;  // the block step this context uses
};

// sha512_begin takes the block step chosen for this CPU (digest_paths.h).
void sha512_begin(sha512_ctx *ctx);
void sha512_hash(const uint8_t *data, size_t len, sha512_ctx *ctx);
// Pads, appends the 128-bit big-endian bit count, writes the eight hash
// words big-endian, and wipes the context.
void sha512_end(uint8_t hval[64], sha512_ctx *ctx);

// Compresses the full block held in ctx->wbuf.
void sha512_compile(sha512_ctx *ctx);

// One call: sha512_begin, sha512_hash over all bytes, sha512_end.
void do_sha512(uint8_t hval[64], const uint8_t *data, size_t len);

// Test hook: a context that uses the given block step (one of
// sha512_blocks_for(), digest_paths.h) instead of the chosen one.
void sha512_begin_with(sha512_ctx *ctx, sha512_blocks_fn blocks);

void sha512_blocks_portable(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_bmi2(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_avx2(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_avx512(uint64_t hash[8], const uint8_t *data, size_t blocks);
void sha512_blocks_armv8(uint64_t hash[8], const uint8_t *data, size_t blocks);

#endif
