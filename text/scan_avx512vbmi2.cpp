// The filtering copies of bytes with AVX-512 VBMI2: vpcompressb moves the
// kept bytes of a whole block of 64 to the front in one instruction, where
// AVX-512 alone needs four compressions of 16 bytes widened to 32 bits.
// Only the byte copies gain from it; every other scan stays with the other
// sets.  The result is compressed in a register and stored with an
// ordinary store (a compressing store to memory is microcoded, and slow, on
// some processors).
#include "text/scan_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define GH_SCAN_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,popcnt")))

// GCC 12's AVX-512 intrinsics start from an "undefined" register, which its
// optimiser then reports as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#  pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#  pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "text/scan_simd.h"

#include "text/scan_avx512_ops.h"

namespace {

// The bytes of x that keep64 keeps, to dst + o (64 bytes written); the new
// o.  In place (dst + o == src + i), a block kept whole stays where it is.
GH_SCAN_TARGET inline size_t keepBlock(uint8_t *dst, size_t o, const uint8_t *at, __m512i x, uint64_t keep64) {
    if (keep64 == ~uint64_t{0}) {
        if (dst + o != at) _mm512_storeu_si512(dst + o, x);
        return o + 64;
    }
    _mm512_storeu_si512(dst + o, _mm512_maskz_compress_epi8(static_cast<__mmask64>(keep64), x));
    return o + ones(keep64);
}

GH_SCAN_TARGET size_t copyWithoutBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    size_t i = dst == src ? findChar<Bytes>(src, n, c) : 0;
    size_t o = i;
    const __m512i vc = Bytes::splat(c);
    for (; n - i >= 64; i += 64) {
        __m512i x = Bytes::load(src + i);
        o = keepBlock(dst, o, src + i, x, ~Bytes::eq(x, vc));
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

GH_SCAN_TARGET size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    size_t i = 0, o = 0;
    for (; n - i >= 64; i += 64) {
        __m512i x = Bytes::load(src + i);
        o = keepBlock(dst, o, src + i, x, classify.kept(x));
    }
    return copyKeptTail(dst, src, n, keep, i, o);
}

GH_SCAN_TARGET size_t copyBreaksBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    const __m512i vf = Bytes::splat(from), vt = Bytes::splat(to), lf = Bytes::splat(10);
    size_t i = 0, o = 0;
    uint64_t carry = 0;  // the block before ended with `from`
    for (; n - i >= 64; i += 64) {
        __m512i x = Bytes::load(src + i);
        uint64_t froms = Bytes::eq(x, vf);
        uint64_t drop = dropLf ? Bytes::eq(x, lf) & ((froms << 1) | carry) : 0;
        carry = froms >> 63;
        if (!froms && !drop) {
            o = keepBlock(dst, o, src + i, x, ~uint64_t{0});
            continue;
        }
        __m512i y = _mm512_mask_mov_epi8(x, static_cast<__mmask64>(froms), vt);
        o = keepBlock(dst, o, nullptr, y, ~drop);
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

}  // namespace

const ScanKernels<uint8_t> kScanAvx512Vbmi2U8 = {"avx512vbmi2", nullptr, nullptr, nullptr,         nullptr, nullptr,
                                                 copyWithoutBytes, copyKeptBytes, nullptr, copyBreaksBytes, nullptr};

#else
const ScanKernels<uint8_t> kScanAvx512Vbmi2U8 = {"avx512vbmi2", nullptr, nullptr, nullptr, nullptr,
                                                 nullptr,       nullptr, nullptr, nullptr, nullptr, nullptr};
#endif

// No 32-bit character copy gains from byte compression.
const ScanKernels<uint32_t> kScanAvx512Vbmi2U32 = {"avx512vbmi2", nullptr, nullptr, nullptr, nullptr,
                                                   nullptr,       nullptr, nullptr, nullptr, nullptr, nullptr};
