// Base64 block kernels for NEON (64-bit ARM): 48 bytes <-> 64 characters a
// step.
//
// The structure loads and stores do the work of the x86 shuffles: vld3
// splits 48 bytes into the first, second and third bytes of their 16
// groups, whose four 6-bit values are cut out with shifts and mapped to
// characters by one lookup in the 64-byte alphabet (vqtbl4); vst4 puts the
// characters back in order.  Decoding is the same backwards, the values of
// the characters 0..127 looked up in two 64-byte tables (bytes from 128 on
// are outside the alphabet, and checked apart).
//
// Advanced SIMD is part of every 64-bit ARM processor Linux runs on, so no
// target attribute is needed.
#include "encoding/base64_codec.h"

#include <arm_neon.h>

namespace {

alignas(16) constexpr uint8_t kAlphabet[64] = {
    'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',
    'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', 'a', 'b', 'c', 'd', 'e', 'f',
    'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v',
    'w', 'x', 'y', 'z', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '+', '/'};

// The value of every character 0..127; 0xFF outside the alphabet.
struct Values {
    uint8_t of[128];
    constexpr Values() : of() {
        for (int c = 0; c < 128; ++c) of[c] = 0xFF;
        for (int v = 0; v < 64; ++v) of[kAlphabet[v]] = static_cast<uint8_t>(v);
    }
};
alignas(16) constexpr Values kValues;

inline uint8x16x4_t load64(const uint8_t *p) {
    uint8x16x4_t t;
    for (int k = 0; k < 4; ++k) t.val[k] = vld1q_u8(p + 16 * k);
    return t;
}

// The values of 16 characters; bad collects the top bit of any value or
// character outside the alphabet.
inline uint8x16_t valuesOf(uint8x16_t c, const uint8x16x4_t &low, const uint8x16x4_t &high, uint8x16_t &bad) {
    // An index from 64 on gives 0: each table answers for its own quarter.
    uint8x16_t v = vorrq_u8(vqtbl4q_u8(low, c), vqtbl4q_u8(high, vsubq_u8(c, vdupq_n_u8(64))));
    bad = vorrq_u8(bad, vorrq_u8(v, c));
    return v;
}

}  // namespace

size_t base64_encode_neon(const uint8_t *src, size_t n, uint8_t *dst) {
    const uint8x16x4_t alphabet = load64(kAlphabet);
    const uint8x16_t six = vdupq_n_u8(63);
    size_t i = 0;
    for (; n - i >= 48; i += 48, dst += 64) {
        uint8x16x3_t in = vld3q_u8(src + i);
        uint8x16x4_t out;
        out.val[0] = vshrq_n_u8(in.val[0], 2);
        out.val[1] = vandq_u8(vorrq_u8(vshlq_n_u8(in.val[0], 4), vshrq_n_u8(in.val[1], 4)), six);
        out.val[2] = vandq_u8(vorrq_u8(vshlq_n_u8(in.val[1], 2), vshrq_n_u8(in.val[2], 6)), six);
        out.val[3] = vandq_u8(in.val[2], six);
        for (int k = 0; k < 4; ++k) out.val[k] = vqtbl4q_u8(alphabet, out.val[k]);
        vst4q_u8(dst, out);
    }
    return i;
}

size_t base64_decode_neon(const uint8_t *src, size_t n, uint8_t *dst, size_t room) {
    const uint8x16x4_t low = load64(kValues.of), high = load64(kValues.of + 64);
    size_t i = 0;
    for (; n - i >= 64 && room >= 48; i += 64, dst += 48, room -= 48) {
        uint8x16x4_t in = vld4q_u8(src + i);
        uint8x16_t bad = vdupq_n_u8(0);
        uint8x16_t a = valuesOf(in.val[0], low, high, bad), b = valuesOf(in.val[1], low, high, bad),
                   c = valuesOf(in.val[2], low, high, bad), d = valuesOf(in.val[3], low, high, bad);
        if (vmaxvq_u8(bad) & 0x80) break;
        uint8x16x3_t out;
        out.val[0] = vorrq_u8(vshlq_n_u8(a, 2), vshrq_n_u8(b, 4));
        out.val[1] = vorrq_u8(vshlq_n_u8(b, 4), vshrq_n_u8(c, 2));
        out.val[2] = vorrq_u8(vshlq_n_u8(c, 6), d);
        vst3q_u8(dst, out);
    }
    return i;
}
