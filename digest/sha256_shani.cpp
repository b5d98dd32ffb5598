// SHA-256 block step with the x86 SHA extensions (sha256rnds2, sha256msg1,
// sha256msg2).  Chosen only on CPUs that report SHA, SSSE3 and SSE4.1
// (digest_paths.cpp); the target attribute keeps these instructions out of
// every other function.
//
// The extensions keep the state as two registers, ABEF and CDGH; each
// sha256rnds2 does two rounds from the low two words of a message+constant
// register.  The schedule keeps four registers of four words each.
#include "digest/sha256.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define GH_SHA_TARGET __attribute__((target("sha,ssse3,sse4.1")))

namespace {

// Four rounds from the four schedule words in `m` (W[4g .. 4g+3]).
#define SHA256NI_ROUNDS(m, g)                                                              \
    {                                                                                      \
        __m128i wk = _mm_add_epi32(                                                        \
            m, _mm_load_si128(reinterpret_cast<const __m128i *>(kSha256RoundConstants) + (g))); \
        cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);                                      \
        wk = _mm_shuffle_epi32(wk, 0x0E);                                                  \
        abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);                                      \
    }
// W[t..t+3] from the four previous groups m0 (oldest) .. m3 (newest),
// written over m0.
#define SHA256NI_SCHEDULE(m0, m1, m2, m3)                                   \
    m0 = _mm_sha256msg1_epu32(m0, m1);                                      \
    m0 = _mm_add_epi32(m0, _mm_alignr_epi8(m3, m2, 4));                     \
    m0 = _mm_sha256msg2_epu32(m0, m3);

}  // namespace

GH_SHA_TARGET void sha256_blocks_shani(uint32_t hash[8], const uint8_t *data, size_t blocks) {
    const __m128i byteswap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);

    // hash[0..7] = a..h  ->  abef, cdgh (lane 3 first).
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hash));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hash + 4));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; blocks; --blocks, data += 64) {
        const __m128i abef0 = abef, cdgh0 = cdgh;
        const __m128i *in = reinterpret_cast<const __m128i *>(data);
        __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128(in + 0), byteswap);
        __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteswap);
        __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteswap);
        __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteswap);

        SHA256NI_ROUNDS(m0, 0)
        SHA256NI_ROUNDS(m1, 1)
        SHA256NI_ROUNDS(m2, 2)
        SHA256NI_ROUNDS(m3, 3)
        SHA256NI_SCHEDULE(m0, m1, m2, m3) SHA256NI_ROUNDS(m0, 4)
        SHA256NI_SCHEDULE(m1, m2, m3, m0) SHA256NI_ROUNDS(m1, 5)
        SHA256NI_SCHEDULE(m2, m3, m0, m1) SHA256NI_ROUNDS(m2, 6)
        SHA256NI_SCHEDULE(m3, m0, m1, m2) SHA256NI_ROUNDS(m3, 7)
        SHA256NI_SCHEDULE(m0, m1, m2, m3) SHA256NI_ROUNDS(m0, 8)
        SHA256NI_SCHEDULE(m1, m2, m3, m0) SHA256NI_ROUNDS(m1, 9)
        SHA256NI_SCHEDULE(m2, m3, m0, m1) SHA256NI_ROUNDS(m2, 10)
        SHA256NI_SCHEDULE(m3, m0, m1, m2) SHA256NI_ROUNDS(m3, 11)
        SHA256NI_SCHEDULE(m0, m1, m2, m3) SHA256NI_ROUNDS(m0, 12)
        SHA256NI_SCHEDULE(m1, m2, m3, m0) SHA256NI_ROUNDS(m1, 13)
        SHA256NI_SCHEDULE(m2, m3, m0, m1) SHA256NI_ROUNDS(m2, 14)
        SHA256NI_SCHEDULE(m3, m0, m1, m2) SHA256NI_ROUNDS(m3, 15)

        abef = _mm_add_epi32(abef, abef0);
        cdgh = _mm_add_epi32(cdgh, cdgh0);
    }

    // abef, cdgh  ->  hash[0..7].
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(hash), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(hash + 4), hgfe);
}

#else

// Not an x86 build: never offered by sha256_blocks_for().
void sha256_blocks_shani(uint32_t hash[8], const uint8_t *data, size_t blocks) {
    sha256_blocks_portable(hash, data, blocks);
}

#endif
