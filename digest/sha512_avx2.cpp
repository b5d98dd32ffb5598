// SHA-512 block step with the message schedule in AVX2 registers and the
// rounds in BMI scalar code (sha512_pairs.inc; on x86-64 the rounds are
// assembly, sha512_round_x64.h).  Chosen only on CPUs and systems that offer
// AVX2 and BMI2 (digest_paths.cpp).  An AVX-512VL twin (one-instruction
// rotations in the schedule) ran within 3 % of this step on AMD and Intel
// alike, and was removed; with the assembly rounds it was 1.2 % ahead on an
// AMD EPYC (Zen 4), still short of the 5 % a path must gain.
#include "digest/sha512.h"
#include "digest/sha512_rounds.h"

using namespace digest_detail;

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace {
constexpr Sha512K2 kSha512K2 = make_sha512_k2();
}

#define SHA512_PAIRS_FN sha512_blocks_avx2
#define SHA512_PAIRS_TARGET __attribute__((target("avx2,bmi2")))
// AVX2 has no 64-bit rotation: two shifts and an or, except a rotation by
// 8, which is a byte shuffle.
#define V_ROR(x, n) _mm256_or_si256(_mm256_srli_epi64(x, n), _mm256_slli_epi64(x, 64 - (n)))
#define V_S0(x) \
    _mm256_xor_si256(_mm256_xor_si256(V_ROR(x, 1), _mm256_shuffle_epi8(x, ror8)), _mm256_srli_epi64(x, 7))
#define V_S1(x) _mm256_xor_si256(_mm256_xor_si256(V_ROR(x, 19), V_ROR(x, 61)), _mm256_srli_epi64(x, 6))
#if defined(__x86_64__)
// The assembly round (sha512_round_x64.h): 1.09x the compiled split round
// on an AMD EPYC, Zen 4.
#include "digest/sha512_round_x64.h"
#define SHA512_PAIRS_ROUND SHA512_ROUND_X64
#define SHA512_PAIRS_STATE SHA512_ROUND_X64_STATE
#define SHA512_PAIRS_END SHA512_ROUND_X64_END
#else
// 32-bit x86 has too few registers for the assembly round.  The split
// round: e's successor no longer waits for the sum that h needs.
#define SHA512_PAIRS_ROUND(a, b, c, d, e, f, g, h, wk, bcIn, bcOut) SHA512_ROUND_SPLIT(a, b, c, d, e, f, g, h, wk)
#define SHA512_PAIRS_STATE
#define SHA512_PAIRS_END
#endif
#include "digest/sha512_pairs.inc"

#else

// Not an x86 build: never in the list of paths.
void sha512_blocks_avx2(uint64_t hash[8], const uint8_t *data, size_t blocks) {
    sha512_blocks_portable(hash, data, blocks);
}

#endif
