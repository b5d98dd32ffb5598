// Conversions between 32-bit characters and bytes: the portable code and
// the kernels behind them.
#include "platform/charcodec.h"

#include "platform/charcodec_kernels.h"
#include "platform/cpu_features.h"

namespace {

inline unsigned encodedSize(uint32_t c) {
    if (c <= 0xFF) return 1;
    if (c <= 0x7FF) return 2;
    if (c <= 0xFFFF) return 3;
    if (c <= 0x1FFFFF) return 4;
    if (c <= 0x3FFFFFF) return 5;
    return 6;
}

inline uint8_t continuation(uint32_t x) { return static_cast<uint8_t>(0x80 | (x & 0x3F)); }

// True when the eight characters at p are all below 0x100, the common case
// that a block-at-a-time loop takes without looking at each one.
inline bool eightBelow256(const uint32_t *p) {
    return ((p[0] | p[1] | p[2] | p[3] | p[4] | p[5] | p[6] | p[7]) >> 8) == 0;
}

}  // namespace

uint64_t qchar_encoded_length_portable(const uint32_t *chars, size_t n) {
    uint64_t total = 0;
    size_t i = 0;
    for (; n - i >= 8; i += 8) {
        if (eightBelow256(chars + i)) {
            total += 8;
        } else {
            for (size_t k = i; k < i + 8; ++k) total += encodedSize(chars[k]);
        }
    }
    for (; i < n; ++i) total += encodedSize(chars[i]);
    return total;
}

namespace {

// Writes the byte form of c at o; returns the end.
inline uint8_t *encodeOne(uint32_t c, uint8_t *o) {
    switch (encodedSize(c)) {
    case 1:
        *o++ = static_cast<uint8_t>(c);
        break;
    case 2:
        *o++ = static_cast<uint8_t>(0xC0 + (c >> 6));
        *o++ = continuation(c);
        break;
    case 3:
        *o++ = static_cast<uint8_t>(0xE0 + (c >> 12 & 0x0F));
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    case 4:
        *o++ = static_cast<uint8_t>(0xF0 + (c >> 18 & 0x07));
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    case 5:
        *o++ = static_cast<uint8_t>(0xF8 + (c >> 24 & 0x07));
        *o++ = continuation(c >> 18);
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    default:
        *o++ = static_cast<uint8_t>(0xFC + (c >> 30 & 0x07));
        *o++ = continuation(c >> 24);
        *o++ = continuation(c >> 18);
        *o++ = continuation(c >> 12);
        *o++ = continuation(c >> 6);
        *o++ = continuation(c);
        break;
    }
    return o;
}

}  // namespace

size_t qchar_encode_portable(const uint32_t *chars, size_t n, uint8_t *out) {
    uint8_t *o = out;
    size_t i = 0;
    for (; n - i >= 8; i += 8) {
        if (eightBelow256(chars + i)) {
            for (size_t k = 0; k < 8; ++k) o[k] = static_cast<uint8_t>(chars[i + k]);
            o += 8;
        } else {
            for (size_t k = i; k < i + 8; ++k) o = encodeOne(chars[k], o);
        }
    }
    for (; i < n; ++i) o = encodeOne(chars[i], o);
    return static_cast<size_t>(o - out);
}

void bytes_widen_portable(const uint8_t *bytes, size_t n, uint32_t *out) {
    for (size_t i = 0; i < n; ++i) out[i] = bytes[i];
}

void qchar_narrow_low8_portable(const uint32_t *chars, size_t n, uint8_t *out) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(chars[i]);
}

namespace {

const CharCodecKernels kPortable = {"portable", qchar_encoded_length_portable,
                                    qchar_encode_portable, bytes_widen_portable,
                                    qchar_narrow_low8_portable};

const KernelPath kPaths[] = {
#if defined(__x86_64__) || defined(__i386__)
    {"avx512", CPU_AVX512BW, &kCharCodecAvx512},
    {"avx2", CPU_AVX2, &kCharCodecAvx2},
#endif
#if defined(__aarch64__)
    {"neon", CPU_NEON, &kCharCodecNeon},
#endif
    {"portable", 0, &kPortable},
};

inline const CharCodecKernels *chosen(CharCodecFunction f) {
    return static_cast<const CharCodecKernels *>(gh_kernel_fns(&gCharCodecKernels[f]));
}

}  // namespace

// Each conversion is chosen on its own: the four are bound by different
// things (compares, shuffles, stores).
Kernel gCharCodecKernels[CHARCODEC_FUNCTIONS] = {
    {"qchar_encoded_length", kPaths}, {"qchar_encode", kPaths}, {"bytes_widen", kPaths}, {"qchar_narrow_low8", kPaths}};

uint64_t qchar_encoded_length(const uint32_t *chars, size_t n) {
    return chosen(CHARCODEC_ENCODED_LENGTH)->encodedLength(chars, n);
}

size_t qchar_encode(const uint32_t *chars, size_t n, uint8_t *out) {
    return chosen(CHARCODEC_ENCODE)->encode(chars, n, out);
}

void bytes_widen(const uint8_t *bytes, size_t n, uint32_t *out) {
    chosen(CHARCODEC_WIDEN)->widen(bytes, n, out);
}

void qchar_narrow_low8(const uint32_t *chars, size_t n, uint8_t *out) {
    chosen(CHARCODEC_NARROW_LOW8)->narrowLow8(chars, n, out);
}
