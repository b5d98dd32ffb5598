// MD4 (RFC 1320).
//
// Shaped like md5.cpp: the message word is added first and the boolean
// function is arranged so that b, the value just computed, enters last:
//   F = d ^ (b & (c ^ d))
//   G = majority = (c & d) | (b & (c | d))   (c & d and c | d are ready early)
//   H = b ^ (c ^ d)
// GH_OPAQUE keeps compilers from reassociating the additions (md5.cpp).
#include "digest/md4.h"

#include "digest/digest_util.h"
#include "digest/hash_steps.h"
#include "digest/md_buffer.h"

using namespace digest_detail;

namespace {

#define MD4_F(a, b, c, d, k, s)            \
    a += load_le32(p + 4 * (k));           \
    GH_OPAQUE(a);                          \
    a += d ^ (b & (c ^ d));                \
    a = rotl32(a, s);
#define MD4_G(a, b, c, d, k, s)                        \
    a += load_le32(p + 4 * (k)) + 0x5a827999u;         \
    GH_OPAQUE(a);                                      \
    a += (c & d) | (b & (c | d));                      \
    a = rotl32(a, s);
#define MD4_H(a, b, c, d, k, s)                        \
    a += load_le32(p + 4 * (k)) + 0x6ed9eba1u;         \
    GH_OPAQUE(a);                                      \
    a += b ^ (c ^ d);                                  \
    a = rotl32(a, s);

}  // namespace

void md4_blocks(uint32_t state[4], const uint8_t *p, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks; --blocks, p += 64) {
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        MD4_F(a, b, c, d, 0, 3)
        MD4_F(d, a, b, c, 1, 7)
        MD4_F(c, d, a, b, 2, 11)
        MD4_F(b, c, d, a, 3, 19)
        MD4_F(a, b, c, d, 4, 3)
        MD4_F(d, a, b, c, 5, 7)
        MD4_F(c, d, a, b, 6, 11)
        MD4_F(b, c, d, a, 7, 19)
        MD4_F(a, b, c, d, 8, 3)
        MD4_F(d, a, b, c, 9, 7)
        MD4_F(c, d, a, b, 10, 11)
        MD4_F(b, c, d, a, 11, 19)
        MD4_F(a, b, c, d, 12, 3)
        MD4_F(d, a, b, c, 13, 7)
        MD4_F(c, d, a, b, 14, 11)
        MD4_F(b, c, d, a, 15, 19)

        MD4_G(a, b, c, d, 0, 3)
        MD4_G(d, a, b, c, 4, 5)
        MD4_G(c, d, a, b, 8, 9)
        MD4_G(b, c, d, a, 12, 13)
        MD4_G(a, b, c, d, 1, 3)
        MD4_G(d, a, b, c, 5, 5)
        MD4_G(c, d, a, b, 9, 9)
        MD4_G(b, c, d, a, 13, 13)
        MD4_G(a, b, c, d, 2, 3)
        MD4_G(d, a, b, c, 6, 5)
        MD4_G(c, d, a, b, 10, 9)
        MD4_G(b, c, d, a, 14, 13)
        MD4_G(a, b, c, d, 3, 3)
        MD4_G(d, a, b, c, 7, 5)
        MD4_G(c, d, a, b, 11, 9)
        MD4_G(b, c, d, a, 15, 13)

        MD4_H(a, b, c, d, 0, 3)
        MD4_H(d, a, b, c, 8, 9)
        MD4_H(c, d, a, b, 4, 11)
        MD4_H(b, c, d, a, 12, 15)
        MD4_H(a, b, c, d, 2, 3)
        MD4_H(d, a, b, c, 10, 9)
        MD4_H(c, d, a, b, 6, 11)
        MD4_H(b, c, d, a, 14, 15)
        MD4_H(a, b, c, d, 1, 3)
        MD4_H(d, a, b, c, 9, 9)
        MD4_H(c, d, a, b, 5, 11)
        MD4_H(b, c, d, a, 13, 15)
        MD4_H(a, b, c, d, 3, 3)
        MD4_H(d, a, b, c, 11, 9)
        MD4_H(c, d, a, b, 7, 11)
        MD4_H(b, c, d, a, 15, 15)

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

void md4_init(Md4Context *ctx) { md_init(ctx); }

void md4_update(Md4Context *ctx, const uint8_t *data, size_t len) {
    md_update(ctx, data, len, md4_blocks);
}

void md4_final(Md4Context *ctx, uint8_t out[MD4_OUTPUT_SIZE]) { md_final(out, ctx, md4_blocks); }

void md4_digest(uint8_t out[MD4_OUTPUT_SIZE], const uint8_t *data, size_t len) {
    Md4Context ctx;
    md4_init(&ctx);
    md4_update(&ctx, data, len);
    md4_final(&ctx, out);
}

const HashClass kMd4Hash = HashSteps<Md4Context, md4_init, md4_update, md4_final>::record(
    "MD4", MD4_BLOCK_SIZE, MD4_OUTPUT_SIZE);
