// The scans with NEON (Advanced SIMD, 64-bit ARM): 16 bytes or 4
// characters of 32 bits a register.
//
// NEON has no instruction that gathers a comparison into a bit mask; the
// lanes' results are weighted by their bit and added across each half
// (laneBits), which gives the masks scan_simd.h works with.  The filtering
// copies keep or drop each character of a block by such a mask and move
// the kept ones to the front with a table lookup (vtbl, vqtbl: an index out
// of range gives 0, as x86's byte shuffle does for a set top bit), its
// indices read from a table of the 256 masks of 8 bytes or the 16 masks of
// 4 characters.  Whether a code 0..255 is kept is looked up in two 16-entry
// nibble tables.
//
// Advanced SIMD is part of every 64-bit ARM processor Linux runs on (the
// compiler's baseline), so nothing here needs a target attribute; the path
// still names the feature the kernel reports.
#include "text/scan_kernels.h"

#include <arm_neon.h>

#define GH_SCAN_TARGET
#include "text/scan_simd.h"

namespace {

// Bit k of a byte lane: lanes 0-7 and 8-15 each make one byte of the mask.
alignas(16) constexpr uint8_t kByteLaneBits[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
alignas(16) constexpr uint32_t kWideLaneBits[4] = {1, 2, 4, 8};

// One bit per lane of a comparison (lanes all ones or all zeros).
inline uint64_t laneBits(uint8x16_t m) {
    uint8x16_t b = vandq_u8(m, vld1q_u8(kByteLaneBits));
    return vaddv_u8(vget_low_u8(b)) | static_cast<uint64_t>(vaddv_u8(vget_high_u8(b))) << 8;
}
inline uint64_t laneBits(uint32x4_t m) { return vaddvq_u32(vandq_u32(m, vld1q_u32(kWideLaneBits))); }

struct Bytes {
    using C = uint8_t;
    using V = uint8x16_t;
    static constexpr size_t kLanes = 16;
    static constexpr bool kMasked = false;
    static V splat(C c) { return vdupq_n_u8(c); }
    static V load(const C *p) { return vld1q_u8(p); }
    static uint64_t eq(V a, V b) { return laneBits(vceqq_u8(a, b)); }
    static uint64_t le(V a, V limit) { return laneBits(vcleq_u8(a, limit)); }
};

struct Wide {
    using C = uint32_t;
    using V = uint32x4_t;
    static constexpr size_t kLanes = 4;
    static constexpr bool kMasked = false;
    static V splat(C c) { return vdupq_n_u32(c); }
    static V load(const C *p) { return vld1q_u32(p); }
    static uint64_t eq(V a, V b) { return laneBits(vceqq_u32(a, b)); }
    static uint64_t le(V a, V limit) { return laneBits(vcleq_u32(a, limit)); }
};

// For each mask of 8 byte lanes, the kept lanes' indices in order (then
// 0xFF, which a lookup turns into 0); for each mask of 4 lanes of 32 bits,
// the same as the indices of their bytes.
struct CompressTables {
    uint64_t bytes[256];
    uint8_t lanes[16][16];
};

constexpr CompressTables makeCompressTables() {
    CompressTables t = {};
    for (unsigned m = 0; m < 256; ++m) {
        uint64_t b = 0;
        unsigned k = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((m >> bit) & 1) b |= uint64_t{bit} << (8 * k++);
        }
        for (; k < 8; ++k) b |= uint64_t{0xFF} << (8 * k);
        t.bytes[m] = b;
    }
    for (unsigned m = 0; m < 16; ++m) {
        unsigned k = 0;
        for (unsigned lane = 0; lane < 4; ++lane) {
            if (!((m >> lane) & 1)) continue;
            for (unsigned byte = 0; byte < 4; ++byte) t.lanes[m][4 * k + byte] = static_cast<uint8_t>(4 * lane + byte);
            ++k;
        }
        for (unsigned byte = 4 * k; byte < 16; ++byte) t.lanes[m][byte] = 0xFF;
    }
    return t;
}
alignas(16) constexpr CompressTables kCompress = makeCompressTables();

// The bytes of `piece` that keep8 keeps, to dst; returns how many.  (8
// bytes are written.)
inline size_t compress8(uint8_t *dst, uint8x8_t piece, unsigned keep8) {
    vst1_u8(dst, vtbl1_u8(piece, vcreate_u8(kCompress.bytes[keep8])));
    return static_cast<size_t>(__builtin_popcount(keep8));
}

// The lanes of x that keep4 keeps, to dst; returns how many.  (4 lanes are
// written.)
inline size_t compressLanes(uint32_t *dst, uint32x4_t x, unsigned keep4) {
    uint8x16_t kept = vqtbl1q_u8(vreinterpretq_u8_u32(x), vld1q_u8(kCompress.lanes[keep4]));
    vst1q_u32(dst, vreinterpretq_u32_u8(kept));
    return static_cast<size_t>(__builtin_popcount(keep4));
}

// The 16 bytes x (from src + i), kept where keep16 says, to dst + o;
// returns the new o.  In place (dst == src), a block kept whole before
// anything was dropped stays where it is.
inline size_t keepBlock(uint8_t *dst, const uint8_t *src, size_t i, size_t o, uint8x16_t x, unsigned keep16) {
    if (keep16 == 0xFFFF) {
        if (o != i || dst != src) vst1q_u8(dst + o, x);
        return o + 16;
    }
    o += compress8(dst + o, vget_low_u8(x), keep16 & 0xFF);
    return o + compress8(dst + o, vget_high_u8(x), keep16 >> 8);
}

// Counting: each match subtracts -1 from its lane; byte lanes are summed
// every 255 blocks, before they could wrap.
size_t countBytes(const uint8_t *s, size_t n, uint8_t c) {
    const uint8x16_t vc = vdupq_n_u8(c);
    size_t total = 0, i = 0;
    while (n - i >= 16) {
        size_t blocks = (n - i) / 16;
        if (blocks > 255) blocks = 255;
        uint8x16_t acc = vdupq_n_u8(0);
        for (size_t b = 0; b < blocks; ++b, i += 16) acc = vsubq_u8(acc, vceqq_u8(vld1q_u8(s + i), vc));
        total += vaddlvq_u8(acc);
    }
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

size_t countWide(const uint32_t *s, size_t n, uint32_t c) {
    const uint32x4_t vc = vdupq_n_u32(c);
    size_t total = 0, i = 0;
    while (n - i >= 4) {
        size_t blocks = (n - i) / 4;
        if (blocks > (size_t{1} << 24)) blocks = size_t{1} << 24;
        uint32x4_t acc = vdupq_n_u32(0);
        for (size_t b = 0; b < blocks; ++b, i += 4) acc = vsubq_u32(acc, vceqq_u32(vld1q_u32(s + i), vc));
        total += vaddlvq_u32(acc);
    }
    for (; i < n; ++i) total += s[i] == c;
    return total;
}

size_t copyWithoutBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    size_t i = dst == src ? findChar<Bytes>(src, n, c) : 0;
    size_t o = i;
    const uint8x16_t vc = vdupq_n_u8(c);
    for (; n - i >= 16; i += 16) {
        uint8x16_t x = vld1q_u8(src + i);
        o = keepBlock(dst, src, i, o, x, ~static_cast<unsigned>(laneBits(vceqq_u8(x, vc))) & 0xFFFF);
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

size_t copyWithoutWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    size_t i = dst == src ? findChar<Wide>(src, n, c) : 0;
    size_t o = i;
    const uint32x4_t vc = vdupq_n_u32(c);
    for (; n - i >= 4; i += 4) {
        uint32x4_t x = vld1q_u32(src + i);
        unsigned keep = ~static_cast<unsigned>(laneBits(vceqq_u32(x, vc))) & 0xF;
        if (keep == 0xF) {
            if (o != i || dst != src) vst1q_u32(dst + o, x);
            o += 4;
        } else {
            o += compressLanes(dst + o, x, keep);
        }
    }
    return copyWithoutTail(dst, src, n, c, i, o);
}

// The keep set's nibble tables, and the classification of 16 codes 0..255
// (as bytes) by them: a lookup gives 0 for an index from 16 on, so codes
// from 128 miss the low table and codes below miss the high one.
struct Classifier {
    uint8x16_t lowHalf, highHalf, bits;
    explicit Classifier(const CharKeepSet &keep) {
        NibbleTables t = nibbleTables(keep);
        lowHalf = vld1q_u8(t.lowHalf);
        highHalf = vld1q_u8(t.highHalf);
        bits = vld1q_u8(kByteLaneBits);
    }
    unsigned kept(uint8x16_t x) const {
        const uint8x16_t index = vdupq_n_u8(0x8F), top = vdupq_n_u8(0x80);
        uint8x16_t row = vorrq_u8(vqtbl1q_u8(lowHalf, vandq_u8(x, index)),
                                  vqtbl1q_u8(highHalf, vandq_u8(veorq_u8(x, top), index)));
        uint8x16_t bit = vqtbl1q_u8(bits, vandq_u8(vshrq_n_u8(x, 4), vdupq_n_u8(7)));
        return static_cast<unsigned>(laneBits(vtstq_u8(row, bit)));
    }
};

size_t copyKeptBytes(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    size_t i = 0, o = 0;
    for (; n - i >= 16; i += 16) {
        uint8x16_t x = vld1q_u8(src + i);
        o = keepBlock(dst, src, i, o, x, classify.kept(x));
    }
    return copyKeptTail(dst, src, n, keep, i, o);
}

size_t copyKeptWide(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    const Classifier classify(keep);
    size_t i = 0, o = 0;
    for (; n - i >= 16; i += 16) {
        uint32x4_t x[4];
        for (int k = 0; k < 4; ++k) x[k] = vld1q_u32(src + i + 4 * k);
        if (vmaxvq_u32(vorrq_u32(vorrq_u32(x[0], x[1]), vorrq_u32(x[2], x[3]))) > 0xFF) {
            o = copyKeptTail(dst, src, i + 16, keep, i, o);
            continue;
        }
        // 16 codes below 256 as 16 bytes in order.
        uint16x8_t low = vcombine_u16(vmovn_u32(x[0]), vmovn_u32(x[1]));
        uint16x8_t high = vcombine_u16(vmovn_u32(x[2]), vmovn_u32(x[3]));
        unsigned kept = classify.kept(vcombine_u8(vmovn_u16(low), vmovn_u16(high)));
        for (int k = 0; k < 4; ++k) {
            unsigned keep4 = (kept >> (4 * k)) & 0xF;
            if (keep4 == 0xF) {
                if (o != i + 4 * k || dst != src) vst1q_u32(dst + o, x[k]);
                o += 4;
            } else {
                o += compressLanes(dst + o, x[k], keep4);
            }
        }
    }
    return copyKeptTail(dst, src, n, keep, i, o);
}

// Each `from` becomes `to`; a line feed after a `from` (the one before
// the block carried in) is dropped when dropLf is set.  In place, a block
// with nothing to change before anything was dropped stays where it is.
size_t copyBreaksBytes(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf) {
    const uint8x16_t vf = vdupq_n_u8(from), vt = vdupq_n_u8(to), lf = vdupq_n_u8(10);
    size_t i = 0, o = 0;
    unsigned carry = 0;
    for (; n - i >= 16; i += 16) {
        uint8x16_t x = vld1q_u8(src + i), isFrom = vceqq_u8(x, vf);
        unsigned froms = static_cast<unsigned>(laneBits(isFrom));
        unsigned drop = dropLf ? static_cast<unsigned>(laneBits(vceqq_u8(x, lf))) & ((froms << 1) | carry) : 0;
        carry = froms >> 15;
        uint8x16_t y = vbslq_u8(isFrom, vt, x);
        if (!drop) {
            if (froms || o != i || dst != src) vst1q_u8(dst + o, y);
            o += 16;
            continue;
        }
        o = keepBlock(dst, src, i, o, y, ~drop & 0xFFFF);
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

size_t copyBreaksWide(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf) {
    const uint32x4_t vf = vdupq_n_u32(from), vt = vdupq_n_u32(to), lf = vdupq_n_u32(10);
    size_t i = 0, o = 0;
    unsigned carry = 0;
    for (; n - i >= 4; i += 4) {
        uint32x4_t x = vld1q_u32(src + i), isFrom = vceqq_u32(x, vf);
        unsigned froms = static_cast<unsigned>(laneBits(isFrom));
        unsigned drop = dropLf ? static_cast<unsigned>(laneBits(vceqq_u32(x, lf))) & ((froms << 1) | carry) & 0xF : 0;
        carry = froms >> 3;
        uint32x4_t y = vbslq_u32(isFrom, vt, x);
        if (!drop) {
            if (froms || o != i || dst != src) vst1q_u32(dst + o, y);
            o += 4;
        } else {
            o += compressLanes(dst + o, y, ~drop & 0xF);
        }
    }
    return copy_breaks_tail(dst, src, n, from, to, dropLf, i, o, carry != 0);
}

}  // namespace

const ScanKernels<uint8_t> kScanNeonU8 = {
    "neon",     findChar<Bytes>,  findEither<Bytes>, findLastChar<Bytes>, findLastAtMost<Bytes>,
    countBytes, copyWithoutBytes, copyKeptBytes,     findPair<Bytes>,     copyBreaksBytes,
    markChars<Bytes>};
const ScanKernels<uint32_t> kScanNeonU32 = {
    "neon",    findChar<Wide>,  findEither<Wide>, findLastChar<Wide>, findLastAtMost<Wide>,
    countWide, copyWithoutWide, copyKeptWide,     findPair<Wide>,     copyBreaksWide,
    markChars<Wide>};
