// The Base64 block kernels.  Internal to encoding/; the tests reach every
// kernel through the kernels' path lists.
//
// A kernel handles only whole blocks in the middle of the data; the portable
// code in base64.cpp does the ends, so every kernel gives exactly the
// portable result.
#ifndef GH_BASE64_CODEC_H
#define GH_BASE64_CODEC_H

#include <stddef.h>
#include <stdint.h>

#include "platform/kernels.h"

struct Base64Codec {
    const char *name;
    // Encodes a prefix of the n bytes at src, a multiple of 3 bytes long, to
    // dst (4 characters for every 3 bytes); returns the bytes consumed.
    // Reads nothing past src + n.
    size_t (*encode)(const uint8_t *src, size_t n, uint8_t *dst);
    // Decodes a prefix of the n characters at src, a multiple of 4 long and
    // made only of alphabet characters, to dst; writes at most room bytes
    // (3 for every 4 characters) and returns the characters consumed.  It
    // stops at the first block holding any other byte and leaves that block
    // to the caller.
    size_t (*decode)(const uint8_t *src, size_t n, uint8_t *dst, size_t room);
};

// Encoding and decoding are each a kernel over one list of codecs
// (avx512vbmi, avx2, ssse3, portable on x86; neon, portable on 64-bit ARM;
// platform/kernels.h); a path's table is a Base64Codec.
extern Kernel gBase64EncodeKernel;
extern Kernel gBase64DecodeKernel;

inline const Base64Codec *base64_codec_of(const KernelPath &p) { return static_cast<const Base64Codec *>(p.fns); }

// The codecs every Base64 function encodes and decodes with.
const Base64Codec *base64_encoder();
const Base64Codec *base64_decoder();

// The public functions on a given codec (the tests run each codec through
// these).
size_t base64_encode_text_with(const Base64Codec *codec, uint8_t *dst, const uint8_t *src, size_t n);
size_t base64_decode_unwrapped_with(const Base64Codec *codec, uint8_t *dst, const uint8_t *src,
                                    size_t n, size_t capacity);

// The kernels of each instruction set (defined in base64_<set>.cpp).
size_t base64_encode_ssse3(const uint8_t *src, size_t n, uint8_t *dst);
size_t base64_decode_ssse3(const uint8_t *src, size_t n, uint8_t *dst, size_t room);
size_t base64_encode_avx2(const uint8_t *src, size_t n, uint8_t *dst);
size_t base64_decode_avx2(const uint8_t *src, size_t n, uint8_t *dst, size_t room);
size_t base64_encode_avx512vbmi(const uint8_t *src, size_t n, uint8_t *dst);
size_t base64_decode_avx512vbmi(const uint8_t *src, size_t n, uint8_t *dst, size_t room);
size_t base64_encode_neon(const uint8_t *src, size_t n, uint8_t *dst);
size_t base64_decode_neon(const uint8_t *src, size_t n, uint8_t *dst, size_t room);

#endif
