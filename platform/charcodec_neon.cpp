// Character conversions with NEON (64-bit ARM): 16 characters (four
// registers) a step.  Blocks whose characters are all below 0x100 are
// narrowed to bytes by keeping each lane's low half twice; other blocks and
// the ends go to the portable code.
//
// Advanced SIMD is part of every 64-bit ARM processor Linux runs on, so no
// target attribute is needed.
#include "platform/charcodec_kernels.h"

#include <arm_neon.h>

namespace {

struct Block {
    uint32x4_t v[4];
    explicit Block(const uint32_t *p) {
        for (int k = 0; k < 4; ++k) v[k] = vld1q_u32(p + 4 * k);
    }
    bool allBelow256() const {
        return vmaxvq_u32(vorrq_u32(vorrq_u32(v[0], v[1]), vorrq_u32(v[2], v[3]))) <= 0xFF;
    }
    // The low byte of each character, in order.
    uint8x16_t lowBytes() const {
        uint16x8_t ab = vuzp1q_u16(vreinterpretq_u16_u32(v[0]), vreinterpretq_u16_u32(v[1]));
        uint16x8_t cd = vuzp1q_u16(vreinterpretq_u16_u32(v[2]), vreinterpretq_u16_u32(v[3]));
        return vuzp1q_u8(vreinterpretq_u8_u16(ab), vreinterpretq_u8_u16(cd));
    }
};

// The largest character of each length of the byte form, 1 to 5 bytes.
constexpr uint32_t kLimits[5] = {0xFF, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF};

uint64_t encodedLength(const uint32_t *chars, size_t n) {
    uint64_t total = n;
    size_t i = 0;
    for (; n - i >= 16; i += 16) {
        Block b(chars + i);
        if (b.allBelow256()) continue;
        // One more byte for every limit a character is above; each match
        // subtracts -1 from its lane.
        uint32x4_t extra = vdupq_n_u32(0);
        for (uint32_t limit : kLimits) {
            uint32x4_t l = vdupq_n_u32(limit);
            for (int k = 0; k < 4; ++k) extra = vsubq_u32(extra, vcgtq_u32(b.v[k], l));
        }
        total += vaddvq_u32(extra);
    }
    return total + qchar_encoded_length_portable(chars + i, n - i) - (n - i);
}

size_t encode(const uint32_t *chars, size_t n, uint8_t *out) {
    uint8_t *o = out;
    size_t i = 0;
    for (; n - i >= 16; i += 16) {
        Block b(chars + i);
        if (b.allBelow256()) {
            vst1q_u8(o, b.lowBytes());
            o += 16;
        } else {
            o += qchar_encode_portable(chars + i, 16, o);
        }
    }
    return static_cast<size_t>(o - out) + qchar_encode_portable(chars + i, n - i, o);
}

void widen(const uint8_t *bytes, size_t n, uint32_t *out) {
    size_t i = 0;
    for (; n - i >= 16; i += 16) {
        uint8x16_t b = vld1q_u8(bytes + i);
        uint16x8_t low = vmovl_u8(vget_low_u8(b)), high = vmovl_high_u8(b);
        vst1q_u32(out + i, vmovl_u16(vget_low_u16(low)));
        vst1q_u32(out + i + 4, vmovl_high_u16(low));
        vst1q_u32(out + i + 8, vmovl_u16(vget_low_u16(high)));
        vst1q_u32(out + i + 12, vmovl_high_u16(high));
    }
    bytes_widen_portable(bytes + i, n - i, out + i);
}

void narrowLow8(const uint32_t *chars, size_t n, uint8_t *out) {
    size_t i = 0;
    for (; n - i >= 16; i += 16) vst1q_u8(out + i, Block(chars + i).lowBytes());
    qchar_narrow_low8_portable(chars + i, n - i, out + i);
}

}  // namespace

const CharCodecKernels kCharCodecNeon = {"neon", encodedLength, encode, widen, narrowLow8};
