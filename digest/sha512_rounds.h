// The SHA-512 block step as an always-inlined body, so that one source
// compiles into the portable function and into variants whose target
// attribute lets the compiler use other instructions (rorx with BMI2).
// Only sha512*.cpp include this.
#ifndef GH_SHA512_ROUNDS_H
#define GH_SHA512_ROUNDS_H

#include "digest/digest_util.h"
#include "digest/sha512.h"

namespace digest_detail {

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

__attribute__((always_inline)) inline void sha512_blocks_body(uint64_t hash[8], const uint8_t *p,
                                                              size_t blocks) {
    const uint64_t *K = sha512_round_constants;
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
