// The shape every hash shares, as a constant record: context size, block
// size, output size and the three steps over a caller-owned context.  Code
// that works for any hash (the digest of a value or a file, HMAC) takes a
// record and never asks which hash it has.
//
// Each hash also has the same typed calls (md5.h and its siblings):
//   xxx_init(ctx), xxx_update(ctx, data, len), xxx_final(ctx, out)
// and the one-shot xxx_digest(out, data, len).  A final step writes the
// digest and wipes the whole context.
#ifndef GH_HASH_CLASS_H
#define GH_HASH_CLASS_H

#include <stddef.h>
#include <stdint.h>

struct HashClass {
    const char *name;    // "MD5", "SHA-256", ...
    size_t contextSize;  // bytes of the context the steps take
    size_t blockSize;    // bytes of a block (HMAC pads its key to it)
    size_t outputSize;   // bytes of the digest
    void (*init)(void *ctx);
    void (*update)(void *ctx, const uint8_t *data, size_t len);
    // Writes outputSize bytes to out and wipes the context.
    void (*final)(void *ctx, uint8_t *out);
};

// The largest of the five hashes (SHA-512's).
enum { HASH_MAX_OUTPUT_SIZE = 64, HASH_MAX_BLOCK_SIZE = 128 };

#endif
