// The SHA-512 block step as an always-inlined body, so that one source
// compiles into the portable function and into variants whose target
// attribute lets the compiler use other instructions (rorx with BMI2).
// Only sha512*.cpp include this.
#ifndef GH_SHA512_ROUNDS_H
#define GH_SHA512_ROUNDS_H

#include "digest/digest_util.h"
#include "digest/sha512.h"

namespace digest_detail {

// The 80 round constants.
alignas(64) inline constexpr uint64_t kSha512K[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull};

__attribute__((always_inline)) inline uint64_t sha512_S0(uint64_t x) {
    return rotr64(x, 28) ^ rotr64(x, 34) ^ rotr64(x, 39);
}
__attribute__((always_inline)) inline uint64_t sha512_S1(uint64_t x) {
    return rotr64(x, 14) ^ rotr64(x, 18) ^ rotr64(x, 41);
}
__attribute__((always_inline)) inline uint64_t sha512_s0(uint64_t x) {
    return rotr64(x, 1) ^ rotr64(x, 8) ^ (x >> 7);
}
__attribute__((always_inline)) inline uint64_t sha512_s1(uint64_t x) {
    return rotr64(x, 19) ^ rotr64(x, 61) ^ (x >> 6);
}

// One round; the roles of a..h rotate instead of the values moving.  The
// additions are ordered for the dependency chains: h + W + K is ready early,
// Ch(e,f,g) two steps after e, Sigma1(e) three; Maj(a,b,c) is written as
// b ^ ((a ^ b) & (b ^ c)) with b ^ c carried over from the previous round's
// a ^ b (in bc).
#define SHA512_ROUND(a, b, c, d, e, f, g, h, wk)                       \
    {                                                                  \
        uint64_t t1 = h + (wk);                                        \
        t1 += g ^ (e & (f ^ g));                                       \
        t1 += sha512_S1(e);                                            \
        d += t1;                                                       \
        uint64_t ab = a ^ b;                                           \
        h = t1 + (b ^ (ab & bc));                                      \
        h += sha512_S0(a);                                             \
        bc = ab;                                                       \
    }
#define SHA512_W(t)                                                                             \
    (w[(t) & 15] += sha512_s1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + sha512_s0(w[((t) + 1) & 15]))
#define SHA512_PLAIN(t) w[t]
#define SHA512_EIGHT(t, X)                                                \
    SHA512_ROUND(a, b, c, d, e, f, g, h, K[(t) + 0] + X((t) + 0))         \
    SHA512_ROUND(h, a, b, c, d, e, f, g, K[(t) + 1] + X((t) + 1))         \
    SHA512_ROUND(g, h, a, b, c, d, e, f, K[(t) + 2] + X((t) + 2))         \
    SHA512_ROUND(f, g, h, a, b, c, d, e, K[(t) + 3] + X((t) + 3))         \
    SHA512_ROUND(e, f, g, h, a, b, c, d, K[(t) + 4] + X((t) + 4))         \
    SHA512_ROUND(d, e, f, g, h, a, b, c, K[(t) + 5] + X((t) + 5))         \
    SHA512_ROUND(c, d, e, f, g, h, a, b, K[(t) + 6] + X((t) + 6))         \
    SHA512_ROUND(b, c, d, e, f, g, h, a, K[(t) + 7] + X((t) + 7))

// The round with its additions split further: e's successor, d + h + W + K
// + Ch + Sigma1, no longer waits for the sum that h needs.  Faster where a
// vector schedule runs beside the rounds, slower in the plain scalar steps.
#define SHA512_ROUND_SPLIT(a, b, c, d, e, f, g, h, wk)                       \
    {                                                                  \
        uint64_t hw = h + (wk);                                        \
        uint64_t ch = g ^ (e & (f ^ g));                               \
        uint64_t s1 = sha512_S1(e);                                    \
        d += hw;                                                       \
        d += ch;                                                       \
        d += s1;                                                       \
        uint64_t t1 = hw + ch + s1;                                    \
        uint64_t ab = a ^ b;                                           \
        h = t1 + (b ^ (ab & bc));                                      \
        h += sha512_S0(a);                                             \
        bc = ab;                                                       \
    }

// The round constants duplicated in pairs, K[2k], K[2k+1], K[2k], K[2k+1],
// for adding to two schedule words of two blocks at once.
struct Sha512K2 {
    alignas(32) uint64_t v[160];
};
constexpr Sha512K2 make_sha512_k2() {
    Sha512K2 t{};
    for (int i = 0; i < 160; ++i) t.v[i] = kSha512K[2 * (i / 4) + (i & 1)];
    return t;
}

__attribute__((always_inline)) inline void sha512_blocks_body(uint64_t hash[8], const uint8_t *p,
                                                              size_t blocks) {
    const uint64_t *K = kSha512K;
    uint64_t w[16];
    for (; blocks; --blocks, p += 128) {
        for (int i = 0; i < 16; ++i) w[i] = load_be64(p + 8 * i);
        uint64_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
        uint64_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
        uint64_t bc = b ^ c;
        SHA512_EIGHT(0, SHA512_PLAIN)
        SHA512_EIGHT(8, SHA512_PLAIN)
        SHA512_EIGHT(16, SHA512_W)
        SHA512_EIGHT(24, SHA512_W)
        SHA512_EIGHT(32, SHA512_W)
        SHA512_EIGHT(40, SHA512_W)
        SHA512_EIGHT(48, SHA512_W)
        SHA512_EIGHT(56, SHA512_W)
        SHA512_EIGHT(64, SHA512_W)
        SHA512_EIGHT(72, SHA512_W)
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

}  // namespace digest_detail

#endif
