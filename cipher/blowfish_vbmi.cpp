// Blowfish ECB with AVX-512 VBMI, 64 blocks a step, byte-sliced.
//
// Each 32-bit half of 64 blocks is held as four vectors of 64 bytes, one per
// byte of the word (a byte plane), so that an S-box lookup is a byte table
// lookup: each S-box is kept as four planes of 256 bytes, and a two-source
// byte permute looks 64 indices up in 128 bytes, reading only the low 7 bits
// of each index.  Two permutes (the low and the high half of the plane) and
// a blend on the indices' top bit give 64 blocks one byte of an S-box word.
// The additions of F are done on the planes too, with the carries between
// planes taken from byte compares (a sum below its addend carried).  The 32
// permutes of a round's lookups bound the loop (about 2 cycles each on
// Zen 4, which is the whole round's time); keeping the halves as 32-bit
// words instead would add some 40 shuffles a round (the index planes out of
// the words, the looked-up planes back into words) to save the carries'
// 28 simple operations.
//
// The 64 blocks are transposed into planes once a step, the big-endian
// order of the halves folded into which plane each byte goes to; the blocks
// left over after the last whole step go to the portable code.
#include "cipher/blowfish_kernels.h"

#if GH_BLOWFISH_HAVE_VBMI

#include <immintrin.h>

#define GH_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// vpermb.  The zero-masked form, every lane kept: GCC 12's plain intrinsic
// starts from an "undefined" register, which its optimiser then reports as
// used uninitialized (an error under -Werror from -O1 on).
GH_TARGET inline __m512i permuteBytes(__m512i index, __m512i v) {
    return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, v);
}

// vshufi64x2, for the same reason zero-masked with every lane kept.
template <int Lanes>
GH_TARGET inline __m512i shuffleLanes(__m512i a, __m512i b) {
    return _mm512_maskz_shuffle_i64x2(__mmask8(0xFF), a, b, Lanes);
}

enum { STEP = 64 };  // blocks a step: one byte of each in a vector

// The four S-boxes as byte planes: plane[i][b] is byte b (0 the least
// significant) of the 256 words of S-box i.
struct alignas(64) SlicedBoxes {
    uint8_t plane[4][4][256];
};

// The permutes' indices.
struct Tables {
    // One 64-byte vector of 8 blocks: byte 8m + j of the result is byte m of
    // block j (an 8 x 8 transpose, its own inverse).
    uint8_t transpose8[64];
    uint8_t boxPlanes[64];    // 16 words -> their bytes grouped by significance
    uint64_t pairs[3][2][8];  // the qword transpose's two-source permutes
    constexpr Tables() : transpose8(), boxPlanes(), pairs() {
        for (int m = 0; m < 8; ++m) {
            for (int j = 0; j < 8; ++j) transpose8[8 * m + j] = static_cast<uint8_t>(8 * j + m);
        }
        for (int b = 0; b < 4; ++b) {
            for (int w = 0; w < 16; ++w) boxPlanes[16 * b + w] = static_cast<uint8_t>(4 * w + b);
        }
        // Stage k swaps bit k of the register number with bit k of the
        // qword number: the lower register of a pair keeps its qwords whose
        // bit k is clear and takes the upper one's, and the other way.
        for (int k = 0; k < 3; ++k) {
            const int d = 1 << k;
            for (int m = 0; m < 8; ++m) {
                bool set = (m & d) != 0;
                pairs[k][0][m] = static_cast<uint64_t>(set ? 8 + (m ^ d) : m);
                pairs[k][1][m] = static_cast<uint64_t>(set ? 8 + m : m ^ d);
            }
        }
    }
};
constexpr Tables kTables;

GH_TARGET inline __m512i load(const void *p) { return _mm512_loadu_si512(p); }

// v[r].qword[m] <-> v[m].qword[r].
GH_TARGET inline void transposeQwords(__m512i v[8]) {
    for (int k = 0; k < 3; ++k) {
        const int d = 1 << k;
        const __m512i lower = load(kTables.pairs[k][0]), upper = load(kTables.pairs[k][1]);
        for (int r = 0; r < 8; ++r) {
            if (r & d) continue;
            __m512i a = v[r], b = v[r | d];
            v[r] = _mm512_permutex2var_epi64(a, lower, b);
            v[r | d] = _mm512_permutex2var_epi64(a, upper, b);
        }
    }
}

// 512 bytes of blocks <-> their eight byte planes: plane m holds byte m of
// the 64 blocks (in an order of blocks that fromPlanes undoes).
GH_TARGET inline void toPlanes(const uint8_t *data, __m512i v[8]) {
    const __m512i t = load(kTables.transpose8);
    for (int r = 0; r < 8; ++r) v[r] = permuteBytes(t, load(data + 64 * r));
    transposeQwords(v);
}

GH_TARGET inline void fromPlanes(__m512i v[8], uint8_t *data) {
    const __m512i t = load(kTables.transpose8);
    transposeQwords(v);
    for (int r = 0; r < 8; ++r) _mm512_storeu_si512(data + 64 * r, permuteBytes(t, v[r]));
}

GH_TARGET void sliceBoxes(const BlowfishContext *ctx, SlicedBoxes *out) {
    const __m512i group = load(kTables.boxPlanes);
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 256; c += 64) {
            // 64 words as four vectors of 16, each regrouped to four 16-byte
            // lanes, one per byte; then lane b of the four into plane b.
            __m512i w[4];
            for (int q = 0; q < 4; ++q) w[q] = permuteBytes(group, load(&ctx->S[i][c + 16 * q]));
            __m512i lo01 = shuffleLanes<0x44>(w[0], w[1]), hi01 = shuffleLanes<0xEE>(w[0], w[1]);
            __m512i lo23 = shuffleLanes<0x44>(w[2], w[3]), hi23 = shuffleLanes<0xEE>(w[2], w[3]);
            _mm512_storeu_si512(&out->plane[i][0][c], shuffleLanes<0x88>(lo01, lo23));
            _mm512_storeu_si512(&out->plane[i][1][c], shuffleLanes<0xDD>(lo01, lo23));
            _mm512_storeu_si512(&out->plane[i][2][c], shuffleLanes<0x88>(hi01, hi23));
            _mm512_storeu_si512(&out->plane[i][3][c], shuffleLanes<0xDD>(hi01, hi23));
        }
    }
}

// The four byte planes of S-box words at 64 indices.
GH_TARGET inline void lookup(const uint8_t (*box)[256], __m512i index, __m512i out[4]) {
    const __mmask64 high = _mm512_movepi8_mask(index);
    for (int b = 0; b < 4; ++b) {
        __m512i lo = _mm512_permutex2var_epi8(load(box[b]), index, load(box[b] + 64));
        __m512i hi = _mm512_permutex2var_epi8(load(box[b] + 128), index, load(box[b] + 192));
        out[b] = _mm512_mask_blend_epi8(high, lo, hi);
    }
}

// a += b modulo 2^32, plane by plane from the least significant.  Adding
// the carry in cannot carry again when the sum of the two bytes already
// carried (it is at most 0xFE), so the carries out are or-ed.
GH_TARGET inline void add(__m512i a[4], const __m512i b[4]) {
    const __m512i one = _mm512_set1_epi8(1);
    __m512i s = _mm512_add_epi8(a[0], b[0]);
    __mmask64 carry = _mm512_cmplt_epu8_mask(s, a[0]);
    a[0] = s;
    for (int p = 1; p < 4; ++p) {
        s = _mm512_add_epi8(a[p], b[p]);
        __mmask64 out = p < 3 ? _mm512_cmplt_epu8_mask(s, a[p]) : 0;
        s = _mm512_mask_add_epi8(s, carry, s, one);
        if (p < 3) carry = out | _mm512_mask_cmpeq_epi8_mask(carry, s, _mm512_setzero_si512());
        a[p] = s;
    }
}

// y ^= F(x) ^ key, 64 blocks.
GH_TARGET inline void halfRound(const SlicedBoxes &boxes, const __m512i x[4], __m512i y[4], uint32_t key) {
    __m512i f[4], t[4];
    lookup(boxes.plane[0], x[3], f);
    lookup(boxes.plane[1], x[2], t);
    add(f, t);
    lookup(boxes.plane[2], x[1], t);
    for (int b = 0; b < 4; ++b) f[b] = _mm512_xor_si512(f[b], t[b]);
    lookup(boxes.plane[3], x[0], t);
    add(f, t);
    for (int b = 0; b < 4; ++b) {
        y[b] = _mm512_ternarylogic_epi32(y[b], f[b], _mm512_set1_epi8(static_cast<char>(key >> (8 * b))), 0x96);
    }
}

GH_TARGET inline void xorKey(__m512i x[4], uint32_t key) {
    for (int b = 0; b < 4; ++b) x[b] = _mm512_xor_si512(x[b], _mm512_set1_epi8(static_cast<char>(key >> (8 * b))));
}

template <bool Encrypt>
GH_TARGET void step(const SlicedBoxes &boxes, const BlowfishContext *ctx, uint8_t *data) {
    const uint32_t *P = ctx->P;
    __m512i v[8];
    toPlanes(data, v);
    // Plane m is byte m of the blocks: bytes 0-3 the left half from its
    // most significant byte, 4-7 the right half.
    __m512i l[4] = {v[3], v[2], v[1], v[0]};
    __m512i r[4] = {v[7], v[6], v[5], v[4]};
    xorKey(l, P[Encrypt ? 0 : 17]);
    for (int i = 1; i < 17; i += 2) {
        halfRound(boxes, l, r, P[Encrypt ? i : 17 - i]);
        halfRound(boxes, r, l, P[Encrypt ? i + 1 : 16 - i]);
    }
    xorKey(r, P[Encrypt ? 17 : 0]);
    for (int b = 0; b < 4; ++b) {
        v[3 - b] = r[b];
        v[7 - b] = l[b];
    }
    fromPlanes(v, data);
}

template <bool Encrypt>
GH_TARGET void run(const BlowfishContext *ctx, uint8_t *data, size_t blocks) {
    size_t whole = blocks / STEP * STEP;
    if (whole) {
        SlicedBoxes boxes;
        sliceBoxes(ctx, &boxes);
        for (size_t i = 0; i < whole; i += STEP) step<Encrypt>(boxes, ctx, data + 8 * i);
    }
    if (Encrypt) {
        blowfish_ecb_encrypt_portable(ctx, data + 8 * whole, blocks - whole);
    } else {
        blowfish_ecb_decrypt_portable(ctx, data + 8 * whole, blocks - whole);
    }
}

}  // namespace

void blowfish_ecb_encrypt_vbmi(const BlowfishContext *ctx, uint8_t *data, size_t blocks) { run<true>(ctx, data, blocks); }

void blowfish_ecb_decrypt_vbmi(const BlowfishContext *ctx, uint8_t *data, size_t blocks) { run<false>(ctx, data, blocks); }

#endif
