// SHA-512 block step with the message schedule in AVX2 registers and the
// rounds in BMI2 scalar code.  Chosen only on CPUs (and systems) that offer
// AVX2 and BMI2 (digest_paths.cpp).
//
// The rounds leave the integer units no room for the schedule, which costs
// nearly as much again; the vector units are idle.  So blocks go in pairs:
// one 256-bit register holds two schedule words of the first block in its
// low half and the same two words of the second block in its high half, the
// schedule for both is computed between the first block's rounds (sixteen
// rounds ahead of use, out-of-order execution overlaps the two), W + K is
// kept on the stack, and the second block's rounds then only read it.  A
// last odd block takes the BMI2 scalar step.
#include "digest/sha512.h"
#include "digest/sha512_rounds.h"

using namespace digest_detail;

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define GH_AVX2_TARGET __attribute__((target("avx2,bmi2")))

namespace {

// The round of sha512_rounds.h with its additions split further: e's
// successor, d + h + W + K + Ch + Sigma1, no longer waits for the sum that h
// needs.  (Faster here, where the schedule runs beside the rounds; slower
// in the plain scalar steps.)
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

// Rotation right by 8 is a byte shuffle: one instruction instead of three.
#define V_ROR(x, n) _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - (n)))
#define V_S0(x) _mm256_xor_si256(_mm256_xor_si256(V_ROR(x, 1), _mm256_shuffle_epi8(x, ror8)), _mm256_srli_epi64(x, 7))
#define V_S1(x) _mm256_xor_si256(_mm256_xor_si256(V_ROR(x, 19), V_ROR(x, 61)), _mm256_srli_epi64(x, 6))

// Schedule words 2k and 2k+1 of both blocks (16 <= 2k < 80) into x[k % 8],
// which held words 2k-16 and 2k-15; then W + K for them onto the stack.
#define V_STEP(k)                                                                             \
    {                                                                                         \
        __m256i *x0 = &x[(k) % 8];                                                            \
        __m256i w15 = _mm256_alignr_epi8(x[((k) + 1) % 8], *x0, 8);                           \
        __m256i w7 = _mm256_alignr_epi8(x[((k) + 5) % 8], x[((k) + 4) % 8], 8);               \
        __m256i w = _mm256_add_epi64(_mm256_add_epi64(*x0, V_S0(w15)),                         \
                                     _mm256_add_epi64(w7, V_S1(x[((k) + 7) % 8])));           \
        *x0 = w;                                                                              \
        storeWk(wk, 2 * (k), w);                                                              \
    }

GH_AVX2_TARGET inline void storeWk(uint64_t (*wk)[80], int t, __m256i w) {
    __m256i k = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(sha512_round_constants + t)));
    w = _mm256_add_epi64(w, k);
    _mm_store_si128(reinterpret_cast<__m128i *>(&wk[0][t]), _mm256_castsi256_si128(w));
    _mm_store_si128(reinterpret_cast<__m128i *>(&wk[1][t]), _mm256_extracti128_si256(w, 1));
}

// Rounds t .. t+15 of the first block, with two schedule steps before
// every four rounds.
#define R4(t)                                                          \
    SHA512_ROUND_SPLIT(a, b, c, d, e, f, g, h, w0[(t) + 0])                  \
    SHA512_ROUND_SPLIT(h, a, b, c, d, e, f, g, w0[(t) + 1])                  \
    SHA512_ROUND_SPLIT(g, h, a, b, c, d, e, f, w0[(t) + 2])                  \
    SHA512_ROUND_SPLIT(f, g, h, a, b, c, d, e, w0[(t) + 3])
#define R4B(t)                                                         \
    SHA512_ROUND_SPLIT(e, f, g, h, a, b, c, d, w0[(t) + 0])                  \
    SHA512_ROUND_SPLIT(d, e, f, g, h, a, b, c, w0[(t) + 1])                  \
    SHA512_ROUND_SPLIT(c, d, e, f, g, h, a, b, w0[(t) + 2])                  \
    SHA512_ROUND_SPLIT(b, c, d, e, f, g, h, a, w0[(t) + 3])
#define R16(t, S0, S1, S2, S3, S4, S5, S6, S7)                         \
    S0 S1 R4(t)                                                        \
    S2 S3 R4B((t) + 4)                                                 \
    S4 S5 R4((t) + 8)                                                  \
    S6 S7 R4B((t) + 12)

#define SHA512_EIGHT_WK(w, t)                                          \
    SHA512_ROUND_SPLIT(a, b, c, d, e, f, g, h, w[(t) + 0])                   \
    SHA512_ROUND_SPLIT(h, a, b, c, d, e, f, g, w[(t) + 1])                   \
    SHA512_ROUND_SPLIT(g, h, a, b, c, d, e, f, w[(t) + 2])                   \
    SHA512_ROUND_SPLIT(f, g, h, a, b, c, d, e, w[(t) + 3])                   \
    SHA512_ROUND_SPLIT(e, f, g, h, a, b, c, d, w[(t) + 4])                   \
    SHA512_ROUND_SPLIT(d, e, f, g, h, a, b, c, w[(t) + 5])                   \
    SHA512_ROUND_SPLIT(c, d, e, f, g, h, a, b, w[(t) + 6])                   \
    SHA512_ROUND_SPLIT(b, c, d, e, f, g, h, a, w[(t) + 7])

// Words 0..15 of the pair at p into x, and their W + K onto the stack.
GH_AVX2_TARGET inline void loadPair(__m256i x[8], const uint8_t *p, uint64_t (*wk)[80]) {
    const __m256i byteswap = _mm256_set_epi64x(0x08090a0b0c0d0e0fll, 0x0001020304050607ll,
                                               0x08090a0b0c0d0e0fll, 0x0001020304050607ll);
    for (int i = 0; i < 8; ++i) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 128 + 16 * i));
        x[i] = _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1),
                                   byteswap);
        storeWk(wk, 2 * i, x[i]);
    }
}

#define SHA512_LOAD_STATE                                     \
    uint64_t a = hash[0], b = hash[1], c = hash[2], d = hash[3]; \
    uint64_t e = hash[4], f = hash[5], g = hash[6], h = hash[7]; \
    uint64_t bc = b ^ c;
#define SHA512_ADD_STATE \
    hash[0] += a;        \
    hash[1] += b;        \
    hash[2] += c;        \
    hash[3] += d;        \
    hash[4] += e;        \
    hash[5] += f;        \
    hash[6] += g;        \
    hash[7] += h;

// 80 rounds from W + K at w0, with the 16 schedule steps k0 .. k0+15 of the
// next pair spread between them (one before every five rounds or so).
#define ROUNDS_WITH_STEPS(k0)                                                                    \
    {                                                                                            \
        SHA512_LOAD_STATE                                                                        \
        R16(0, V_STEP((k0) + 0), , V_STEP((k0) + 1), , V_STEP((k0) + 2), , V_STEP((k0) + 3), )   \
        R16(16, V_STEP((k0) + 4), , V_STEP((k0) + 5), , V_STEP((k0) + 6), , V_STEP((k0) + 7), )  \
        R16(32, V_STEP((k0) + 8), , V_STEP((k0) + 9), , V_STEP((k0) + 10), , V_STEP((k0) + 11), ) \
        R16(48, V_STEP((k0) + 12), , V_STEP((k0) + 13), , V_STEP((k0) + 14), , V_STEP((k0) + 15), ) \
        R16(64, , , , , , , , )                                                                  \
        SHA512_ADD_STATE                                                                         \
    }
#define ROUNDS_PLAIN                  \
    {                                 \
        SHA512_LOAD_STATE             \
        SHA512_EIGHT_WK(w0, 0)        \
        SHA512_EIGHT_WK(w0, 8)        \
        SHA512_EIGHT_WK(w0, 16)       \
        SHA512_EIGHT_WK(w0, 24)       \
        SHA512_EIGHT_WK(w0, 32)       \
        SHA512_EIGHT_WK(w0, 40)       \
        SHA512_EIGHT_WK(w0, 48)       \
        SHA512_EIGHT_WK(w0, 56)       \
        SHA512_EIGHT_WK(w0, 64)       \
        SHA512_EIGHT_WK(w0, 72)       \
        SHA512_ADD_STATE              \
    }

}  // namespace

GH_AVX2_TARGET void sha512_blocks_avx2(uint64_t hash[8], const uint8_t *p, size_t blocks) {
    // W + K of two pairs: the one whose rounds run, and the next one, whose
    // schedule is computed between them.
    alignas(32) uint64_t wkPairs[2][2][80];
    const __m256i ror8 = _mm256_set_epi64x(0x080f0e0d0c0b0a09ll, 0x0007060504030201ll,
                                           0x080f0e0d0c0b0a09ll, 0x0007060504030201ll);
    if (blocks >= 2) {
        __m256i x[8];
        uint64_t(*wk)[80] = wkPairs[0];
        loadPair(x, p, wk);
        V_STEP(8) V_STEP(9) V_STEP(10) V_STEP(11) V_STEP(12) V_STEP(13) V_STEP(14) V_STEP(15)
        V_STEP(16) V_STEP(17) V_STEP(18) V_STEP(19) V_STEP(20) V_STEP(21) V_STEP(22) V_STEP(23)
        V_STEP(24) V_STEP(25) V_STEP(26) V_STEP(27) V_STEP(28) V_STEP(29) V_STEP(30) V_STEP(31)
        V_STEP(32) V_STEP(33) V_STEP(34) V_STEP(35) V_STEP(36) V_STEP(37) V_STEP(38) V_STEP(39)
        int current = 0;
        for (; blocks >= 2; blocks -= 2, p += 256, current ^= 1) {
            const uint64_t *first = wkPairs[current][0];
            const uint64_t *second = wkPairs[current][1];
            if (blocks >= 4) {
                wk = wkPairs[current ^ 1];
                loadPair(x, p + 256, wk);
                const uint64_t *w0 = first;
                ROUNDS_WITH_STEPS(8)
                w0 = second;
                ROUNDS_WITH_STEPS(24)
            } else {
                const uint64_t *w0 = first;
                ROUNDS_PLAIN
                w0 = second;
                ROUNDS_PLAIN
            }
        }
    }
    if (blocks) sha512_blocks_body(hash, p, blocks);
    wipe(wkPairs, sizeof wkPairs);
}

#else

// Not an x86 build: never offered by sha512_blocks_for().
void sha512_blocks_avx2(uint64_t hash[8], const uint8_t *data, size_t blocks) {
    sha512_blocks_portable(hash, data, blocks);
}

#endif
