// SHA-1 (FIPS 180-4): the context functions and the portable block step.
#include "digest/sha1.h"

#include "digest/digest_paths.h"
#include "digest/digest_util.h"
#include "digest/hash_steps.h"
#include "digest/md_buffer.h"

using namespace digest_detail;

namespace {

// Rounds over a 16-word ring of the message schedule.
#define SHA1_W(t) (w[(t) & 15] = rotl32(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t) & 15], 1))
#define SHA1_R(a, b, c, d, e, f, k, x) \
    e += rotl32(a, 5) + (f) + (k) + (x); \
    b = rotl32(b, 30);
#define SHA1_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_PAR(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

#define SHA1_R0(a, b, c, d, e, t) SHA1_R(a, b, c, d, e, SHA1_CH(b, c, d), 0x5a827999u, w[t])
#define SHA1_R1(a, b, c, d, e, t) SHA1_R(a, b, c, d, e, SHA1_CH(b, c, d), 0x5a827999u, SHA1_W(t))
#define SHA1_R2(a, b, c, d, e, t) SHA1_R(a, b, c, d, e, SHA1_PAR(b, c, d), 0x6ed9eba1u, SHA1_W(t))
#define SHA1_R3(a, b, c, d, e, t) SHA1_R(a, b, c, d, e, SHA1_MAJ(b, c, d), 0x8f1bbcdcu, SHA1_W(t))
#define SHA1_R4(a, b, c, d, e, t) SHA1_R(a, b, c, d, e, SHA1_PAR(b, c, d), 0xca62c1d6u, SHA1_W(t))

// Five rounds rotate the roles of a..e back to where they started.
#define SHA1_FIVE(R, t)          \
    R(a, b, c, d, e, (t) + 0)    \
    R(e, a, b, c, d, (t) + 1)    \
    R(d, e, a, b, c, (t) + 2)    \
    R(c, d, e, a, b, (t) + 3)    \
    R(b, c, d, e, a, (t) + 4)

}  // namespace

void sha1_blocks_portable(uint32_t state[5], const uint8_t *p, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    uint32_t w[16];
    for (; blocks; --blocks, p += 64) {
        for (int i = 0; i < 16; ++i) w[i] = load_be32(p + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d, e0 = e;
        SHA1_FIVE(SHA1_R0, 0)
        SHA1_FIVE(SHA1_R0, 5)
        SHA1_FIVE(SHA1_R0, 10)
        SHA1_R0(a, b, c, d, e, 15)
        SHA1_R1(e, a, b, c, d, 16)
        SHA1_R1(d, e, a, b, c, 17)
        SHA1_R1(c, d, e, a, b, 18)
        SHA1_R1(b, c, d, e, a, 19)
        SHA1_FIVE(SHA1_R2, 20)
        SHA1_FIVE(SHA1_R2, 25)
        SHA1_FIVE(SHA1_R2, 30)
        SHA1_FIVE(SHA1_R2, 35)
        SHA1_FIVE(SHA1_R3, 40)
        SHA1_FIVE(SHA1_R3, 45)
        SHA1_FIVE(SHA1_R3, 50)
        SHA1_FIVE(SHA1_R3, 55)
        SHA1_FIVE(SHA1_R4, 60)
        SHA1_FIVE(SHA1_R4, 65)
        SHA1_FIVE(SHA1_R4, 70)
        SHA1_FIVE(SHA1_R4, 75)
        a += a0;
        b += b0;
        c += c0;
        d += d0;
        e += e0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
    state[4] = e;
    wipe(w, sizeof w);
}

void sha1_init_with(Sha1Context *ctx, Sha1BlocksFn blocks) {
    ctx->state[0] = 0x67452301u;
    ctx->state[1] = 0xefcdab89u;
    ctx->state[2] = 0x98badcfeu;
    ctx->state[3] = 0x10325476u;
    ctx->state[4] = 0xc3d2e1f0u;
    ctx->count[0] = ctx->count[1] = 0;
    ctx->blocks = blocks ? blocks : sha1_blocks_portable;
}

void sha1_init(Sha1Context *ctx) { sha1_init_with(ctx, sha1_blocks_chosen()); }

void sha1_update(Sha1Context *ctx, const uint8_t *data, size_t len) {
    // A context wiped by sha1_final and reused without sha1_init has no
    // block step; the portable one keeps that misuse harmless.
    Sha1BlocksFn blocks = ctx->blocks ? ctx->blocks : sha1_blocks_portable;
    size_t used = (ctx->count[0] >> 3) & 63;
    add_bits32x2(ctx->count, len);
    buffer_update<64>(ctx->state, ctx->buffer, used, data, len, blocks);
}

void sha1_final(Sha1Context *ctx, uint8_t out[SHA1_OUTPUT_SIZE]) {
    uint8_t bits[8];
    store_be32(bits, ctx->count[1]);
    store_be32(bits + 4, ctx->count[0]);
    static const uint8_t padding[64] = {0x80};
    size_t used = (ctx->count[0] >> 3) & 63;
    size_t padLen = used < 56 ? 56 - used : 120 - used;
    sha1_update(ctx, padding, padLen);
    sha1_update(ctx, bits, 8);
    for (int i = 0; i < 5; ++i) store_be32(out + 4 * i, ctx->state[i]);
    wipe(ctx, sizeof *ctx);
}

void sha1_digest(uint8_t out[SHA1_OUTPUT_SIZE], const uint8_t *data, size_t len) {
    Sha1Context ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, data, len);
    sha1_final(&ctx, out);
}

const HashClass kSha1Hash = HashSteps<Sha1Context, sha1_init, sha1_update, sha1_final>::record(
    "SHA-1", SHA1_BLOCK_SIZE, SHA1_OUTPUT_SIZE);
