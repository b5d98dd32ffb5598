// SHA-512 block step with the message schedule in 256-bit AVX-512VL
// registers and the rounds in BMI2 scalar code (sha512_pairs.inc): the same
// as the AVX2 step, but each rotation is one instruction and each
// three-way exclusive or another.  Chosen only on CPUs and systems that
// offer AVX-512F, AVX-512VL and BMI2 (digest_paths.cpp).
#include "digest/sha512.h"
#include "digest/sha512_rounds.h"

using namespace digest_detail;

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace {
constexpr Sha512K2 kSha512K2 = make_sha512_k2();
}

#define SHA512_PAIRS_FN sha512_blocks_avx512
#define SHA512_PAIRS_TARGET __attribute__((target("avx2,bmi2,avx512f,avx512vl")))
// 0x96: the truth table of a ^ b ^ c.
#define V_S0(x) \
    _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 1), _mm256_ror_epi64(x, 8), _mm256_srli_epi64(x, 7), 0x96)
#define V_S1(x) \
    _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 19), _mm256_ror_epi64(x, 61), _mm256_srli_epi64(x, 6), 0x96)
// The split round: measured faster with this schedule.
#define SHA512_PAIRS_ROUND SHA512_ROUND_SPLIT
#include "digest/sha512_pairs.inc"

#else

// Not an x86 build: never offered by sha512_blocks_for().
void sha512_blocks_avx512(uint64_t hash[8], const uint8_t *data, size_t blocks) {
    sha512_blocks_portable(hash, data, blocks);
}

#endif
