// SHA-256 (FIPS 180-4): the context functions and the portable block step.
#include "digest/sha256.h"

#include "digest/digest_paths.h"
#include "digest/digest_util.h"
#include "digest/hash_steps.h"
#include "digest/md_buffer.h"

using namespace digest_detail;

alignas(64) const uint32_t kSha256RoundConstants[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u,
    0xab1c5ed5u, 0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu,
    0x9bdc06a7u, 0xc19bf174u, 0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu,
    0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau, 0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u,
    0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u, 0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu,
    0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u, 0xa2bfe8a1u, 0xa81a664bu,
    0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u, 0x19a4c116u,
    0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u,
    0xc67178f2u};

namespace {

inline uint32_t S0(uint32_t x) { return rotr32(x, 2) ^ rotr32(x, 13) ^ rotr32(x, 22); }
inline uint32_t S1(uint32_t x) { return rotr32(x, 6) ^ rotr32(x, 11) ^ rotr32(x, 25); }
inline uint32_t s0(uint32_t x) { return rotr32(x, 7) ^ rotr32(x, 18) ^ (x >> 3); }
inline uint32_t s1(uint32_t x) { return rotr32(x, 17) ^ rotr32(x, 19) ^ (x >> 10); }

// One round; the roles of a..h rotate instead of the values moving.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, k, x)                      \
    {                                                                   \
        uint32_t t1 = h + S1(e) + (g ^ (e & (f ^ g))) + (k) + (x);      \
        d += t1;                                                        \
        h = t1 + S0(a) + ((a & b) | (c & (a | b)));                     \
    }
#define SHA256_W(t)                                                                      \
    (w[(t) & 15] += s1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + s0(w[((t) + 1) & 15]))
#define SHA256_EIGHT(t, X)                                                       \
    SHA256_ROUND(a, b, c, d, e, f, g, h, K[(t) + 0], X((t) + 0))                 \
    SHA256_ROUND(h, a, b, c, d, e, f, g, K[(t) + 1], X((t) + 1))                 \
    SHA256_ROUND(g, h, a, b, c, d, e, f, K[(t) + 2], X((t) + 2))                 \
    SHA256_ROUND(f, g, h, a, b, c, d, e, K[(t) + 3], X((t) + 3))                 \
    SHA256_ROUND(e, f, g, h, a, b, c, d, K[(t) + 4], X((t) + 4))                 \
    SHA256_ROUND(d, e, f, g, h, a, b, c, K[(t) + 5], X((t) + 5))                 \
    SHA256_ROUND(c, d, e, f, g, h, a, b, K[(t) + 6], X((t) + 6))                 \
    SHA256_ROUND(b, c, d, e, f, g, h, a, K[(t) + 7], X((t) + 7))
#define SHA256_PLAIN(t) w[t]

}  // namespace

void sha256_blocks_portable(uint32_t hash[8], const uint8_t *p, size_t blocks) {
    const uint32_t *K = kSha256RoundConstants;
    uint32_t w[16];
    for (; blocks; --blocks, p += 64) {
        for (int i = 0; i < 16; ++i) w[i] = load_be32(p + 4 * i);
        uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
        uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
        SHA256_EIGHT(0, SHA256_PLAIN)
        SHA256_EIGHT(8, SHA256_PLAIN)
        SHA256_EIGHT(16, SHA256_W)
        SHA256_EIGHT(24, SHA256_W)
        SHA256_EIGHT(32, SHA256_W)
        SHA256_EIGHT(40, SHA256_W)
        SHA256_EIGHT(48, SHA256_W)
        SHA256_EIGHT(56, SHA256_W)
        hash[0] += a;
        hash[1] += b;
        hash[2] += c;
        hash[3] += d;
        hash[4] += e;
        hash[5] += f;
        hash[6] += g;
        hash[7] += h;
    }
    wipe(w, sizeof w);
}

void sha256_init_with(Sha256Context *ctx, Sha256BlocksFn blocks) {
    static const uint32_t initial[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                        0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};
    ctx->count[0] = ctx->count[1] = 0;
    memcpy(ctx->hash, initial, sizeof initial);
    ctx->blocks = blocks ? blocks : sha256_blocks_portable;
}

void sha256_init(Sha256Context *ctx) { sha256_init_with(ctx, sha256_blocks_chosen()); }

namespace {

inline Sha256BlocksFn blocksOf(const Sha256Context *ctx) {
    // A context wiped by sha256_final and reused without sha256_init has no
    // block step; the portable one keeps that misuse harmless.
    return ctx->blocks ? ctx->blocks : sha256_blocks_portable;
}

}  // namespace

void sha256_update(Sha256Context *ctx, const uint8_t *data, size_t len) {
    size_t used = ctx->count[0] & 63;
    uint64_t bytes = (static_cast<uint64_t>(ctx->count[1]) << 32 | ctx->count[0]) + len;
    ctx->count[0] = static_cast<uint32_t>(bytes);
    ctx->count[1] = static_cast<uint32_t>(bytes >> 32);
    buffer_update<64>(ctx->hash, ctx->wbuf, used, data, len, blocksOf(ctx));
}

void sha256_final(Sha256Context *ctx, uint8_t out[SHA256_OUTPUT_SIZE]) {
    // The bit count is the byte count times 8, as 64 bits big-endian.
    uint64_t bytes = static_cast<uint64_t>(ctx->count[1]) << 32 | ctx->count[0];
    uint8_t bits[8];
    store_be32(bits, static_cast<uint32_t>(bytes >> 29));
    store_be32(bits + 4, static_cast<uint32_t>(bytes << 3));
    static const uint8_t padding[64] = {0x80};
    size_t used = ctx->count[0] & 63;
    size_t padLen = used < 56 ? 56 - used : 120 - used;
    sha256_update(ctx, padding, padLen);
    sha256_update(ctx, bits, 8);
    for (int i = 0; i < 8; ++i) store_be32(out + 4 * i, ctx->hash[i]);
    wipe(ctx, sizeof *ctx);
}

void sha256_digest(uint8_t out[SHA256_OUTPUT_SIZE], const uint8_t *data, size_t len) {
    Sha256Context ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, data, len);
    sha256_final(&ctx, out);
}

const HashClass kSha256Hash = HashSteps<Sha256Context, sha256_init, sha256_update, sha256_final>::record(
    "SHA-256", SHA256_BLOCK_SIZE, SHA256_OUTPUT_SIZE);
