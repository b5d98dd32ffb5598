// SHA-1 block step with the x86 SHA extensions (sha1rnds4, sha1nexte,
// sha1msg1, sha1msg2).  Chosen only on CPUs that report SHA, SSSE3 and
// SSE4.1 (digest_paths.cpp); the target attribute keeps these instructions
// out of every other function.
//
// sha1rnds4 does four rounds from ABCD and a register holding E added to the
// next four schedule words; sha1nexte derives that E from the ABCD of four
// rounds earlier.  The schedule keeps four registers of four words each.
#include "digest/sha1.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define GH_SHA_TARGET __attribute__((target("sha,ssse3,sse4.1")))

namespace {

// Four rounds (function f = 0..3) with schedule words m, E derived from the
// ABCD saved four rounds earlier.
#define SHA1NI_ROUNDS(m, f)                        \
    e = _mm_sha1nexte_epu32(prev, m);              \
    prev = abcd;                                   \
    abcd = _mm_sha1rnds4_epu32(abcd, e, f);
// W[t..t+3] from the four previous groups m0 (oldest) .. m3 (newest),
// written over m0.
#define SHA1NI_SCHEDULE(m0, m1, m2, m3)            \
    m0 = _mm_sha1msg1_epu32(m0, m1);               \
    m0 = _mm_xor_si128(m0, m2);                    \
    m0 = _mm_sha1msg2_epu32(m0, m3);

}  // namespace

GH_SHA_TARGET void sha1_blocks_shani(uint32_t state[5], const uint8_t *data, size_t blocks) {
    const __m128i byteswap = _mm_set_epi64x(0x0001020304050607ll, 0x08090a0b0c0d0e0fll);
    // abcd holds a in lane 3 down to d in lane 0; e0 holds e in lane 3.
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; blocks; --blocks, data += 64) {
        const __m128i abcd0 = abcd, e00 = e0;
        const __m128i *in = reinterpret_cast<const __m128i *>(data);
        __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128(in + 0), byteswap);
        __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteswap);
        __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteswap);
        __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteswap);

        // Rounds 0-3: E is the saved e itself.
        __m128i e = _mm_add_epi32(e0, m0);
        __m128i prev = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e, 0);
        SHA1NI_ROUNDS(m1, 0)
        SHA1NI_ROUNDS(m2, 0)
        SHA1NI_ROUNDS(m3, 0)
        SHA1NI_SCHEDULE(m0, m1, m2, m3) SHA1NI_ROUNDS(m0, 0)  // 16-19
        SHA1NI_SCHEDULE(m1, m2, m3, m0) SHA1NI_ROUNDS(m1, 1)  // 20-23
        SHA1NI_SCHEDULE(m2, m3, m0, m1) SHA1NI_ROUNDS(m2, 1)
        SHA1NI_SCHEDULE(m3, m0, m1, m2) SHA1NI_ROUNDS(m3, 1)
        SHA1NI_SCHEDULE(m0, m1, m2, m3) SHA1NI_ROUNDS(m0, 1)
        SHA1NI_SCHEDULE(m1, m2, m3, m0) SHA1NI_ROUNDS(m1, 1)  // 36-39
        SHA1NI_SCHEDULE(m2, m3, m0, m1) SHA1NI_ROUNDS(m2, 2)  // 40-43
        SHA1NI_SCHEDULE(m3, m0, m1, m2) SHA1NI_ROUNDS(m3, 2)
        SHA1NI_SCHEDULE(m0, m1, m2, m3) SHA1NI_ROUNDS(m0, 2)
        SHA1NI_SCHEDULE(m1, m2, m3, m0) SHA1NI_ROUNDS(m1, 2)
        SHA1NI_SCHEDULE(m2, m3, m0, m1) SHA1NI_ROUNDS(m2, 2)  // 56-59
        SHA1NI_SCHEDULE(m3, m0, m1, m2) SHA1NI_ROUNDS(m3, 3)  // 60-63
        SHA1NI_SCHEDULE(m0, m1, m2, m3) SHA1NI_ROUNDS(m0, 3)
        SHA1NI_SCHEDULE(m1, m2, m3, m0) SHA1NI_ROUNDS(m1, 3)
        SHA1NI_SCHEDULE(m2, m3, m0, m1) SHA1NI_ROUNDS(m2, 3)
        SHA1NI_SCHEDULE(m3, m0, m1, m2) SHA1NI_ROUNDS(m3, 3)  // 76-79

        // The e of the next block: e after round 79 (derived from the ABCD
        // of round 76) plus the saved e.
        e0 = _mm_sha1nexte_epu32(prev, e00);
        abcd = _mm_add_epi32(abcd, abcd0);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

#else

// Not an x86 build: never offered by sha1_blocks_for().
void sha1_blocks_shani(uint32_t state[5], const uint8_t *data, size_t blocks) {
    sha1_blocks_portable(state, data, blocks);
}

#endif
