// SHA-512 (FIPS 180-4): the context functions and the portable block step.
#include "digest/sha512.h"

#include "digest/digest_paths.h"
#include "digest/digest_util.h"
#include "digest/hash_steps.h"
#include "digest/md_buffer.h"
#include "digest/sha512_rounds.h"

using namespace digest_detail;

void sha512_blocks_portable(uint64_t hash[8], const uint8_t *data, size_t blocks) {
    sha512_blocks_body(hash, data, blocks);
}

void sha512_init_with(Sha512Context *ctx, Sha512BlocksFn blocks) {
    static const uint64_t initial[8] = {
        0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
        0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull};
    ctx->count[0] = ctx->count[1] = 0;
    memcpy(ctx->hash, initial, sizeof initial);
    ctx->blocks = blocks ? blocks : sha512_blocks_portable;
}

void sha512_init(Sha512Context *ctx) { sha512_init_with(ctx, sha512_blocks_chosen()); }

namespace {

inline Sha512BlocksFn blocksOf(const Sha512Context *ctx) {
    // A context wiped by sha512_final and reused without sha512_init has no
    // block step; the portable one keeps that misuse harmless.
    return ctx->blocks ? ctx->blocks : sha512_blocks_portable;
}

}  // namespace

void sha512_update(Sha512Context *ctx, const uint8_t *data, size_t len) {
    size_t used = static_cast<size_t>(ctx->count[0] & 127);
    uint64_t before = ctx->count[0];
    ctx->count[0] += len;
    if (ctx->count[0] < before) ++ctx->count[1];
    buffer_update<128>(ctx->hash, ctx->wbuf, used, data, len, blocksOf(ctx));
}

void sha512_final(Sha512Context *ctx, uint8_t out[SHA512_OUTPUT_SIZE]) {
    // The bit count is the byte count times 8, as 128 bits big-endian.
    uint8_t bits[16];
    store_be64(bits, ctx->count[1] << 3 | ctx->count[0] >> 61);
    store_be64(bits + 8, ctx->count[0] << 3);
    static const uint8_t padding[128] = {0x80};
    size_t used = static_cast<size_t>(ctx->count[0] & 127);
    size_t padLen = used < 112 ? 112 - used : 240 - used;
    sha512_update(ctx, padding, padLen);
    sha512_update(ctx, bits, 16);
    for (int i = 0; i < 8; ++i) store_be64(out + 8 * i, ctx->hash[i]);
    wipe(ctx, sizeof *ctx);
}

void sha512_digest(uint8_t out[SHA512_OUTPUT_SIZE], const uint8_t *data, size_t len) {
    Sha512Context ctx;
    sha512_init(&ctx);
    sha512_update(&ctx, data, len);
    sha512_final(&ctx, out);
}

const HashClass kSha512Hash = HashSteps<Sha512Context, sha512_init, sha512_update, sha512_final>::record(
    "SHA-512", SHA512_BLOCK_SIZE, SHA512_OUTPUT_SIZE);
