// The conversion kernels of each instruction set and the choice among them.
// Internal to encoding/; the tests reach every set through
// charcodec_kernels_for().
#ifndef GH_CHARCODEC_KERNELS_H
#define GH_CHARCODEC_KERNELS_H

#include <stddef.h>
#include <stdint.h>

// One set of the four conversions of charcodec.h, each with the same
// contract and the same result as the portable one.
struct CharCodecKernels {
    const char *name;
    uint64_t (*encodedLength)(const uint32_t *chars, size_t n);
    size_t (*encode)(const uint32_t *chars, size_t n, uint8_t *out);
    void (*widen)(const uint8_t *bytes, size_t n, uint32_t *out);
    void (*narrowLow8)(const uint32_t *chars, size_t n, uint8_t *out);
};

enum CharCodecPath { CHARCODEC_PORTABLE, CHARCODEC_AVX2, CHARCODEC_AVX512, CHARCODEC_PATHS };

// The kernels of a path, or null when this processor cannot run them.
const CharCodecKernels *charcodec_kernels_for(CharCodecPath path);

// Each conversion takes the fastest kernel this processor runs, timed and
// chosen once, at its first use (platform/path_choice.h; the portable one
// under GH_FORCE_PORTABLE=1).  How each was chosen (made now if need be;
// path numbers are CharCodecPath; null for a number out of range):
enum CharCodecFunction {
    CHARCODEC_ENCODED_LENGTH,  // qchar_encoded_length
    CHARCODEC_ENCODE,          // qchar_encode
    CHARCODEC_WIDEN,           // bytes_widen
    CHARCODEC_NARROW_LOW8,     // qchar_narrow_low8
    CHARCODEC_FUNCTIONS
};
struct PathChoice;
const PathChoice *charcodec_choice(CharCodecFunction f);

// The portable code, which the vector kernels also use for the blocks that
// hold characters above 0xFF.
uint64_t qchar_encoded_length_portable(const uint32_t *chars, size_t n);
size_t qchar_encode_portable(const uint32_t *chars, size_t n, uint8_t *out);
void bytes_widen_portable(const uint8_t *bytes, size_t n, uint32_t *out);
void qchar_narrow_low8_portable(const uint32_t *chars, size_t n, uint8_t *out);

extern const CharCodecKernels kCharCodecAvx2;
extern const CharCodecKernels kCharCodecAvx512;

#endif
