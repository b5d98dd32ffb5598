// Blowfish ECB with the S-box words gathered: each 32-bit lane of a vector
// is one block's half, and each of F's four lookups is one gather.  AVX2 runs
// 16 blocks a step (two vectors of 8), AVX-512 32 (two of 16): two
// independent vectors keep more gathers in flight.
#include "cipher/blowfish_kernels.h"

#if GH_BLOWFISH_HAVE_GATHER

#include <immintrin.h>

#define GH_AVX2 __attribute__((target("avx2")))
#define GH_AVX512 __attribute__((target("avx512f,avx512bw")))

// GCC 12's gather intrinsics start from an "undefined" register, which its
// optimiser then reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

enum { VECTORS = 2 };

const int *box(const BlowfishContext *ctx, int i) { return reinterpret_cast<const int *>(ctx->S[i]); }

// One step's P word for round half `i` (1..16), either way.
template <bool Encrypt>
uint32_t roundKey(const uint32_t *P, int i) {
    return P[Encrypt ? i : 17 - i];
}

GH_AVX2 inline __m256i f8(const BlowfishContext *ctx, __m256i x) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    __m256i a = _mm256_i32gather_epi32(box(ctx, 0), _mm256_srli_epi32(x, 24), 4);
    __m256i b = _mm256_i32gather_epi32(box(ctx, 1), _mm256_and_si256(_mm256_srli_epi32(x, 16), byte), 4);
    __m256i c = _mm256_i32gather_epi32(box(ctx, 2), _mm256_and_si256(_mm256_srli_epi32(x, 8), byte), 4);
    __m256i d = _mm256_i32gather_epi32(box(ctx, 3), _mm256_and_si256(x, byte), 4);
    return _mm256_add_epi32(_mm256_xor_si256(_mm256_add_epi32(a, b), c), d);
}

// 16 blocks: each pair of vectors loaded holds 8 blocks as L R L R ...;
// the halves are split into L and R vectors (order within them does not
// matter, as long as it is undone) with the bytes swapped to big-endian.
template <bool Encrypt>
GH_AVX2 void step8(const BlowfishContext *ctx, uint8_t *data) {
    const __m256i swap = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,
                                          3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    const uint32_t *P = ctx->P;
    __m256i l[VECTORS], r[VECTORS];
    for (int v = 0; v < VECTORS; ++v) {
        __m256 a = _mm256_castsi256_ps(_mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + 64 * v)), swap));
        __m256 b = _mm256_castsi256_ps(_mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + 64 * v + 32)), swap));
        l[v] = _mm256_xor_si256(_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                                _mm256_set1_epi32(static_cast<int>(P[Encrypt ? 0 : 17])));
        r[v] = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    for (int i = 1; i < 17; i += 2) {
        const __m256i p1 = _mm256_set1_epi32(static_cast<int>(roundKey<Encrypt>(P, i)));
        const __m256i p2 = _mm256_set1_epi32(static_cast<int>(roundKey<Encrypt>(P, i + 1)));
        for (int v = 0; v < VECTORS; ++v) r[v] = _mm256_xor_si256(r[v], _mm256_xor_si256(f8(ctx, l[v]), p1));
        for (int v = 0; v < VECTORS; ++v) l[v] = _mm256_xor_si256(l[v], _mm256_xor_si256(f8(ctx, r[v]), p2));
    }
    for (int v = 0; v < VECTORS; ++v) {
        __m256 outL = _mm256_castsi256_ps(_mm256_xor_si256(r[v], _mm256_set1_epi32(static_cast<int>(P[Encrypt ? 17 : 0]))));
        __m256 outR = _mm256_castsi256_ps(l[v]);
        __m256i a = _mm256_shuffle_epi8(_mm256_castps_si256(_mm256_unpacklo_ps(outL, outR)), swap);
        __m256i b = _mm256_shuffle_epi8(_mm256_castps_si256(_mm256_unpackhi_ps(outL, outR)), swap);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(data + 64 * v), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(data + 64 * v + 32), b);
    }
}

GH_AVX512 inline __m512i f16(const BlowfishContext *ctx, __m512i x) {
    const __m512i byte = _mm512_set1_epi32(0xFF);
    __m512i a = _mm512_i32gather_epi32(_mm512_srli_epi32(x, 24), box(ctx, 0), 4);
    __m512i b = _mm512_i32gather_epi32(_mm512_and_si512(_mm512_srli_epi32(x, 16), byte), box(ctx, 1), 4);
    __m512i c = _mm512_i32gather_epi32(_mm512_and_si512(_mm512_srli_epi32(x, 8), byte), box(ctx, 2), 4);
    __m512i d = _mm512_i32gather_epi32(_mm512_and_si512(x, byte), box(ctx, 3), 4);
    return _mm512_add_epi32(_mm512_xor_si512(_mm512_add_epi32(a, b), c), d);
}

// 32 blocks: as step8, 16 to a vector; even and odd words apart by one
// two-source permute each way.
template <bool Encrypt>
GH_AVX512 void step16(const BlowfishContext *ctx, uint8_t *data) {
    const __m512i swap = _mm512_set4_epi32(0x0C0D0E0F, 0x08090A0B, 0x04050607, 0x00010203);
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i low = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i high = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    const uint32_t *P = ctx->P;
    __m512i l[VECTORS], r[VECTORS];
    for (int v = 0; v < VECTORS; ++v) {
        __m512i a = _mm512_shuffle_epi8(_mm512_loadu_si512(data + 128 * v), swap);
        __m512i b = _mm512_shuffle_epi8(_mm512_loadu_si512(data + 128 * v + 64), swap);
        l[v] = _mm512_xor_si512(_mm512_permutex2var_epi32(a, even, b),
                                _mm512_set1_epi32(static_cast<int>(P[Encrypt ? 0 : 17])));
        r[v] = _mm512_permutex2var_epi32(a, odd, b);
    }
    for (int i = 1; i < 17; i += 2) {
        const __m512i p1 = _mm512_set1_epi32(static_cast<int>(roundKey<Encrypt>(P, i)));
        const __m512i p2 = _mm512_set1_epi32(static_cast<int>(roundKey<Encrypt>(P, i + 1)));
        for (int v = 0; v < VECTORS; ++v) r[v] = _mm512_ternarylogic_epi32(r[v], f16(ctx, l[v]), p1, 0x96);
        for (int v = 0; v < VECTORS; ++v) l[v] = _mm512_ternarylogic_epi32(l[v], f16(ctx, r[v]), p2, 0x96);
    }
    for (int v = 0; v < VECTORS; ++v) {
        __m512i outL = _mm512_xor_si512(r[v], _mm512_set1_epi32(static_cast<int>(P[Encrypt ? 17 : 0])));
        _mm512_storeu_si512(data + 128 * v, _mm512_shuffle_epi8(_mm512_permutex2var_epi32(outL, low, l[v]), swap));
        _mm512_storeu_si512(data + 128 * v + 64, _mm512_shuffle_epi8(_mm512_permutex2var_epi32(outL, high, l[v]), swap));
    }
}

}  // namespace

GH_AVX2 void blowfish_ecb_encrypt_avx2(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t whole = blocks / (8 * VECTORS) * (8 * VECTORS);
    for (size_t i = 0; i < whole; i += 8 * VECTORS) step8<true>(ctx, data + 8 * i);
    blowfish_ecb_encrypt_portable(ctx, data + 8 * whole, blocks - whole);
}

GH_AVX2 void blowfish_ecb_decrypt_avx2(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t whole = blocks / (8 * VECTORS) * (8 * VECTORS);
    for (size_t i = 0; i < whole; i += 8 * VECTORS) step8<false>(ctx, data + 8 * i);
    blowfish_ecb_decrypt_portable(ctx, data + 8 * whole, blocks - whole);
}

GH_AVX512 void blowfish_ecb_encrypt_avx512(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t whole = blocks / (16 * VECTORS) * (16 * VECTORS);
    for (size_t i = 0; i < whole; i += 16 * VECTORS) step16<true>(ctx, data + 8 * i);
    blowfish_ecb_encrypt_portable(ctx, data + 8 * whole, blocks - whole);
}

GH_AVX512 void blowfish_ecb_decrypt_avx512(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t whole = blocks / (16 * VECTORS) * (16 * VECTORS);
    for (size_t i = 0; i < whole; i += 16 * VECTORS) step16<false>(ctx, data + 8 * i);
    blowfish_ecb_decrypt_portable(ctx, data + 8 * whole, blocks - whole);
}

#endif
