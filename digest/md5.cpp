// MD5 (RFC 1321).
//
// The block step is written for the dependency chain: each step's only
// inputs that arrive late are b (just computed) and, through it, the
// boolean function.  So the message word and constant are added to a first,
// and the functions are shaped so that b enters last:
//   F = d ^ (b & (c ^ d))           (c ^ d is ready early)
//   G = (b & d) | (c & ~d)  ->  a += c & ~d; a += b & d   (disjoint bits add)
//   H = b ^ (c ^ d)
//   I = c ^ (b | ~d)                (~d is ready early)
// Message words are read straight from the block as needed (x86 adds them
// from memory), never copied.  Compilers may reassociate the additions and
// put the late term first (clang did, and lost 15%); GH_OPAQUE pins the
// order: the early sum is complete before the late term joins it.
#include "digest/md5.h"

#include "digest/digest_util.h"
#include "digest/hash_steps.h"
#include "digest/md_buffer.h"

using namespace digest_detail;

namespace {

#define MD5_F(a, b, c, d, k, s, t)                  \
    a += load_le32(p + 4 * (k)) + (t);              \
    GH_OPAQUE(a);                                   \
    a += d ^ (b & (c ^ d));                         \
    a = rotl32(a, s) + b;
#define MD5_G(a, b, c, d, k, s, t)                  \
    a += load_le32(p + 4 * (k)) + (t);              \
    a += c & ~d;                                    \
    GH_OPAQUE(a);                                   \
    a += b & d;                                     \
    a = rotl32(a, s) + b;
#define MD5_H(a, b, c, d, k, s, t)                  \
    a += load_le32(p + 4 * (k)) + (t);              \
    GH_OPAQUE(a);                                   \
    a += b ^ (c ^ d);                               \
    a = rotl32(a, s) + b;
#define MD5_I(a, b, c, d, k, s, t)                  \
    a += load_le32(p + 4 * (k)) + (t);              \
    GH_OPAQUE(a);                                   \
    a += c ^ (b | ~d);                              \
    a = rotl32(a, s) + b;

}  // namespace

void md5_blocks(uint32_t state[4], const uint8_t *p, size_t blocks) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks; --blocks, p += 64) {
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        MD5_F(a, b, c, d, 0, 7, 0xd76aa478u)
        MD5_F(d, a, b, c, 1, 12, 0xe8c7b756u)
        MD5_F(c, d, a, b, 2, 17, 0x242070dbu)
        MD5_F(b, c, d, a, 3, 22, 0xc1bdceeeu)
        MD5_F(a, b, c, d, 4, 7, 0xf57c0fafu)
        MD5_F(d, a, b, c, 5, 12, 0x4787c62au)
        MD5_F(c, d, a, b, 6, 17, 0xa8304613u)
        MD5_F(b, c, d, a, 7, 22, 0xfd469501u)
        MD5_F(a, b, c, d, 8, 7, 0x698098d8u)
        MD5_F(d, a, b, c, 9, 12, 0x8b44f7afu)
        MD5_F(c, d, a, b, 10, 17, 0xffff5bb1u)
        MD5_F(b, c, d, a, 11, 22, 0x895cd7beu)
        MD5_F(a, b, c, d, 12, 7, 0x6b901122u)
        MD5_F(d, a, b, c, 13, 12, 0xfd987193u)
        MD5_F(c, d, a, b, 14, 17, 0xa679438eu)
        MD5_F(b, c, d, a, 15, 22, 0x49b40821u)

        MD5_G(a, b, c, d, 1, 5, 0xf61e2562u)
        MD5_G(d, a, b, c, 6, 9, 0xc040b340u)
        MD5_G(c, d, a, b, 11, 14, 0x265e5a51u)
        MD5_G(b, c, d, a, 0, 20, 0xe9b6c7aau)
        MD5_G(a, b, c, d, 5, 5, 0xd62f105du)
        MD5_G(d, a, b, c, 10, 9, 0x02441453u)
        MD5_G(c, d, a, b, 15, 14, 0xd8a1e681u)
        MD5_G(b, c, d, a, 4, 20, 0xe7d3fbc8u)
        MD5_G(a, b, c, d, 9, 5, 0x21e1cde6u)
        MD5_G(d, a, b, c, 14, 9, 0xc33707d6u)
        MD5_G(c, d, a, b, 3, 14, 0xf4d50d87u)
        MD5_G(b, c, d, a, 8, 20, 0x455a14edu)
        MD5_G(a, b, c, d, 13, 5, 0xa9e3e905u)
        MD5_G(d, a, b, c, 2, 9, 0xfcefa3f8u)
        MD5_G(c, d, a, b, 7, 14, 0x676f02d9u)
        MD5_G(b, c, d, a, 12, 20, 0x8d2a4c8au)

        MD5_H(a, b, c, d, 5, 4, 0xfffa3942u)
        MD5_H(d, a, b, c, 8, 11, 0x8771f681u)
        MD5_H(c, d, a, b, 11, 16, 0x6d9d6122u)
        MD5_H(b, c, d, a, 14, 23, 0xfde5380cu)
        MD5_H(a, b, c, d, 1, 4, 0xa4beea44u)
        MD5_H(d, a, b, c, 4, 11, 0x4bdecfa9u)
        MD5_H(c, d, a, b, 7, 16, 0xf6bb4b60u)
        MD5_H(b, c, d, a, 10, 23, 0xbebfbc70u)
        MD5_H(a, b, c, d, 13, 4, 0x289b7ec6u)
        MD5_H(d, a, b, c, 0, 11, 0xeaa127fau)
        MD5_H(c, d, a, b, 3, 16, 0xd4ef3085u)
        MD5_H(b, c, d, a, 6, 23, 0x04881d05u)
        MD5_H(a, b, c, d, 9, 4, 0xd9d4d039u)
        MD5_H(d, a, b, c, 12, 11, 0xe6db99e5u)
        MD5_H(c, d, a, b, 15, 16, 0x1fa27cf8u)
        MD5_H(b, c, d, a, 2, 23, 0xc4ac5665u)

        MD5_I(a, b, c, d, 0, 6, 0xf4292244u)
        MD5_I(d, a, b, c, 7, 10, 0x432aff97u)
        MD5_I(c, d, a, b, 14, 15, 0xab9423a7u)
        MD5_I(b, c, d, a, 5, 21, 0xfc93a039u)
        MD5_I(a, b, c, d, 12, 6, 0x655b59c3u)
        MD5_I(d, a, b, c, 3, 10, 0x8f0ccc92u)
        MD5_I(c, d, a, b, 10, 15, 0xffeff47du)
        MD5_I(b, c, d, a, 1, 21, 0x85845dd1u)
        MD5_I(a, b, c, d, 8, 6, 0x6fa87e4fu)
        MD5_I(d, a, b, c, 15, 10, 0xfe2ce6e0u)
        MD5_I(c, d, a, b, 6, 15, 0xa3014314u)
        MD5_I(b, c, d, a, 13, 21, 0x4e0811a1u)
        MD5_I(a, b, c, d, 4, 6, 0xf7537e82u)
        MD5_I(d, a, b, c, 11, 10, 0xbd3af235u)
        MD5_I(c, d, a, b, 2, 15, 0x2ad7d2bbu)
        MD5_I(b, c, d, a, 9, 21, 0xeb86d391u)

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

void md5_init(Md5Context *ctx) { md_init(ctx); }

void md5_update(Md5Context *ctx, const uint8_t *data, size_t len) {
    md_update(ctx, data, len, md5_blocks);
}

void md5_final(Md5Context *ctx, uint8_t out[MD5_OUTPUT_SIZE]) { md_final(out, ctx, md5_blocks); }

void md5_digest(uint8_t out[MD5_OUTPUT_SIZE], const uint8_t *data, size_t len) {
    Md5Context ctx;
    md5_init(&ctx);
    md5_update(&ctx, data, len);
    md5_final(&ctx, out);
}

const HashClass kMd5Hash = HashSteps<Md5Context, md5_init, md5_update, md5_final>::record(
    "MD5", MD5_BLOCK_SIZE, MD5_OUTPUT_SIZE);
