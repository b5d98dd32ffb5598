// The conversion kernels of each instruction set.  Internal to encoding/;
// the tests reach every set through the kernels' path lists.
#ifndef GH_CHARCODEC_KERNELS_H
#define GH_CHARCODEC_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include "platform/kernels.h"

// One set of the four conversions of charcodec.h, each with the same
// contract and the same result as the portable one.
struct CharCodecKernels {
    const char *name;
    uint64_t (*encodedLength)(const uint32_t *chars, size_t n);
    size_t (*encode)(const uint32_t *chars, size_t n, uint8_t *out);
    void (*widen)(const uint8_t *bytes, size_t n, uint32_t *out);
    void (*narrowLow8)(const uint32_t *chars, size_t n, uint8_t *out);
};

// The conversions, each a kernel of its own over one list of sets (avx512,
// avx2, portable on x86; neon, portable on 64-bit ARM; platform/kernels.h);
// a path's table is a CharCodecKernels.
enum CharCodecFunction {
    CHARCODEC_ENCODED_LENGTH,  // qchar_encoded_length
    CHARCODEC_ENCODE,          // qchar_encode
    CHARCODEC_WIDEN,           // bytes_widen
    CHARCODEC_NARROW_LOW8,     // qchar_narrow_low8
    CHARCODEC_FUNCTIONS
};
extern Kernel gCharCodecKernels[CHARCODEC_FUNCTIONS];

inline const CharCodecKernels &charcodec_set_of(const KernelPath &p) {
    return *static_cast<const CharCodecKernels *>(p.fns);
}

// The portable code, which the vector kernels also use for the blocks that
// hold characters above 0xFF.
uint64_t qchar_encoded_length_portable(const uint32_t *chars, size_t n);
size_t qchar_encode_portable(const uint32_t *chars, size_t n, uint8_t *out);
void bytes_widen_portable(const uint8_t *bytes, size_t n, uint32_t *out);
void qchar_narrow_low8_portable(const uint32_t *chars, size_t n, uint8_t *out);

extern const CharCodecKernels kCharCodecAvx2;
extern const CharCodecKernels kCharCodecAvx512;
extern const CharCodecKernels kCharCodecNeon;

#endif
