// Base64: the portable code, the ends of the data around the block kernels,
// and the kernels behind them.
#include "encoding/base64.h"

#include <string.h>

#include "encoding/base64_codec.h"
#include "platform/charcodec.h"
#include "platform/cpu_features.h"

namespace {

constexpr uint8_t kAlphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of every byte: 0-63 in the alphabet, 64 outside it.
struct DecodeTable {
    int32_t value[256];
    constexpr DecodeTable() : value() {
        for (int i = 0; i < 256; ++i) value[i] = 64;
        for (int i = 0; i < 64; ++i) value[kAlphabet[i]] = i;
    }
};
constexpr DecodeTable kDecode;

inline bool inAlphabet(uint8_t c) { return kDecode.value[c] != 64; }

void encodeGroup(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t *out) {
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[2] = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
    out[3] = kAlphabet[b2 & 63];
}

// The two characters of every 12-bit value: half a group a lookup.
struct PairTable {
    uint8_t pair[4096][2];
    constexpr PairTable() : pair() {
        for (int v = 0; v < 4096; ++v) {
            pair[v][0] = kAlphabet[v >> 6];
            pair[v][1] = kAlphabet[v & 63];
        }
    }
};
constexpr PairTable kPairs;

// Whole groups, then the padded last group.
void encodePortable(const uint8_t *src, size_t n, uint8_t *dst) {
    size_t i = 0;
    for (; n - i >= 3; i += 3, dst += 4) {
        uint32_t word = static_cast<uint32_t>(src[i]) << 16 | static_cast<uint32_t>(src[i + 1]) << 8 | src[i + 2];
        memcpy(dst, kPairs.pair[word >> 12], 2);
        memcpy(dst + 2, kPairs.pair[word & 0xFFF], 2);
    }
    size_t rest = n - i;
    if (rest == 0) return;
    encodeGroup(src[i], rest == 2 ? src[i + 1] : 0, 0, dst);
    dst[3] = '=';
    if (rest == 1) dst[2] = '=';
}

// Decodes the v alphabet characters at src to the first min(capacity, what
// they give) bytes at dst; returns that count.
size_t decodeRun(const uint8_t *src, size_t v, uint8_t *dst, size_t capacity) {
    size_t tail = v % 4;
    size_t total = v / 4 * 3 + (tail == 3 ? 2 : tail == 2 ? 1 : 0);
    if (total > capacity) total = capacity;
    size_t o = 0;
    for (; total - o >= 3; o += 3, src += 4) {
        uint32_t word = static_cast<uint32_t>(kDecode.value[src[0]]) << 18 |
                        static_cast<uint32_t>(kDecode.value[src[1]]) << 12 |
                        static_cast<uint32_t>(kDecode.value[src[2]]) << 6 |
                        static_cast<uint32_t>(kDecode.value[src[3]]);
        dst[o] = static_cast<uint8_t>(word >> 16);
        dst[o + 1] = static_cast<uint8_t>(word >> 8);
        dst[o + 2] = static_cast<uint8_t>(word);
    }
    if (o < total) {
        // A group cut short by the end of the run or by the capacity: the
        // characters it lacks count as 0, and only the bytes wanted are kept.
        size_t left = v - o / 3 * 4;
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            word = word << 6 | (k < left ? static_cast<uint32_t>(kDecode.value[src[k]]) : 0);
        }
        uint8_t bytes[3] = {static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 8),
                            static_cast<uint8_t>(word)};
        memcpy(dst + o, bytes, total - o);
        o = total;
    }
    return o;
}

// The value of every byte already shifted to its place in a group's 24
// bits, one table for each of the four places; bytes outside the alphabet
// carry bit 24, which survives the OR of a group's four entries.
struct GroupTables {
    uint32_t place[4][256];
    constexpr GroupTables() : place() {
        for (int c = 0; c < 256; ++c) {
            uint32_t v = static_cast<uint32_t>(kDecode.value[c]);
            for (int k = 0; k < 4; ++k) place[k][c] = v == 64 ? 0x01000000u : v << (18 - 6 * k);
        }
    }
};
constexpr GroupTables kGroups;

// The portable block kernel: whole groups while they are valid, in one pass.
size_t decodeGroupsPortable(const uint8_t *src, size_t n, uint8_t *dst, size_t room) {
    size_t i = 0;
    for (; n - i >= 4 && room >= 3; i += 4, dst += 3, room -= 3) {
        uint32_t word = kGroups.place[0][src[i]] | kGroups.place[1][src[i + 1]] |
                        kGroups.place[2][src[i + 2]] | kGroups.place[3][src[i + 3]];
        if (word >> 24) break;
        dst[0] = static_cast<uint8_t>(word >> 16);
        dst[1] = static_cast<uint8_t>(word >> 8);
        dst[2] = static_cast<uint8_t>(word);
    }
    return i;
}

const Base64Codec kPortable = {"portable", nullptr, decodeGroupsPortable};
#if defined(__x86_64__) || defined(__i386__)
const Base64Codec kSsse3 = {"ssse3", base64_encode_ssse3, base64_decode_ssse3};
const Base64Codec kAvx2 = {"avx2", base64_encode_avx2, base64_decode_avx2};
const Base64Codec kAvx512Vbmi = {"avx512vbmi", base64_encode_avx512vbmi, base64_decode_avx512vbmi};
#endif
#if defined(__aarch64__)
const Base64Codec kNeon = {"neon", base64_encode_neon, base64_decode_neon};
#endif

// Each runs about twice as fast as the next (bench/README.md).
const KernelPath kPaths[] = {
#if defined(__x86_64__) || defined(__i386__)
    {"avx512vbmi", CPU_AVX512VBMI, &kAvx512Vbmi},
    {"avx2", CPU_AVX2, &kAvx2},
    {"ssse3", CPU_SSSE3, &kSsse3},
#endif
#if defined(__aarch64__)
    {"neon", CPU_NEON, &kNeon},
#endif
    {"portable", 0, &kPortable},
};

}  // namespace

// Encoding and decoding are chosen apart: a processor may favour one width
// for the one and another for the other.
Kernel gBase64EncodeKernel("base64_encode", kPaths);
Kernel gBase64DecodeKernel("base64_decode", kPaths);

const Base64Codec *base64_encoder() { return static_cast<const Base64Codec *>(gh_kernel_fns(&gBase64EncodeKernel)); }
const Base64Codec *base64_decoder() { return static_cast<const Base64Codec *>(gh_kernel_fns(&gBase64DecodeKernel)); }

uint64_t base64_enc_size(uint32_t n) {
    uint64_t estimate = static_cast<uint64_t>(n * 1.3333333) + 3;
    uint64_t exact = base64_encoded_length(n) + 1;
    return estimate < exact ? exact : estimate;
}

uint64_t base64_dec_size(uint32_t n) {
    return static_cast<uint64_t>(n * 0.75) + 3;
}

size_t base64_encode_text_with(const Base64Codec *codec, uint8_t *dst, const uint8_t *src, size_t n) {
    size_t done = codec->encode ? codec->encode(src, n, dst) : 0;
    encodePortable(src + done, n - done, dst + done / 3 * 4);
    return static_cast<size_t>(base64_encoded_length(n));
}

size_t base64_encode_text(uint8_t *dst, const uint8_t *src, size_t n) {
    return base64_encode_text_with(base64_encoder(), dst, src, n);
}

size_t base64_encode_text(uint32_t *dst, const uint8_t *src, size_t n) {
    // In slices whose text stays in the first-level cache, widened from
    // there: no text of bytes as large as the result is ever made.
    constexpr size_t kSlice = 3 * 1024;
    uint8_t text[kSlice / 3 * 4];
    const Base64Codec *codec = base64_encoder();
    for (size_t i = 0; i < n; i += kSlice) {
        size_t part = n - i < kSlice ? n - i : kSlice;
        size_t length = base64_encode_text_with(codec, text, src + i, part);
        bytes_widen(text, length, dst + i / 3 * 4);
    }
    return static_cast<size_t>(base64_encoded_length(n));
}

size_t base64_encode(uint8_t *dst, const uint8_t *src, size_t n) {
    size_t written = base64_encode_text(dst, src, n);
    dst[written] = 0;
    return written;
}

size_t base64_remove_breaks(uint8_t *s, size_t n) {
    if (n == 0) return 0;
    // Most texts have no breaks at all: find the first one quickly.
    const void *cr = memchr(s, '\r', n);
    const void *lf = memchr(s, '\n', cr ? static_cast<size_t>(static_cast<const uint8_t *>(cr) - s) : n);
    const uint8_t *first = static_cast<const uint8_t *>(lf ? lf : cr);
    if (!first) return n;
    size_t kept = static_cast<size_t>(first - s);
    for (size_t i = kept; i < n; ++i) {
        uint8_t c = s[i];
        if (c != '\r' && c != '\n') s[kept++] = c;
    }
    s[kept] = 0;  // kept < n: something was removed
    return kept;
}

namespace {

// Decodes as base64_decode_unwrapped does; *stop is where the decoding ended
// (the first byte outside the alphabet after the leading blanks, or n).
size_t decodeWith(const Base64Codec *codec, const uint8_t *src, size_t n, uint8_t *dst,
                  size_t capacity, size_t *stop) {
    size_t i = 0;
    while (i < n && (src[i] == ' ' || src[i] == '\t')) ++i;
    size_t out = 0;
    if (codec->decode) {
        size_t used = codec->decode(src + i, n - i, dst, capacity);
        i += used;
        out = used / 4 * 3;
    }
    size_t v = 0;
    while (i + v < n && inAlphabet(src[i + v])) ++v;
    out += decodeRun(src + i, v, dst + out, capacity - out);
    dst[out] = 0;
    *stop = i + v;
    return out;
}

}  // namespace

size_t base64_decode_unwrapped_with(const Base64Codec *codec, uint8_t *dst, const uint8_t *src,
                                    size_t n, size_t capacity) {
    size_t stop;
    return decodeWith(codec, src, n, dst, capacity, &stop);
}

size_t base64_decode_unwrapped(uint8_t *dst, const uint8_t *src, size_t n, size_t capacity) {
    return base64_decode_unwrapped_with(base64_decoder(), dst, src, n, capacity);
}

size_t base64_decode(uint8_t *dst, uint8_t *src, size_t n, size_t capacity) {
    // The same as base64_remove_breaks, then base64_decode_unwrapped, without
    // a pass of its own over a text that has no breaks: the decoding stops at
    // the first CR or LF, and only then are the breaks removed (there are
    // none before it) and the text decoded again.
    const Base64Codec *codec = base64_decoder();
    size_t stop;
    size_t out = decodeWith(codec, src, n, dst, capacity, &stop);
    if (stop == n || (src[stop] != '\r' && src[stop] != '\n')) return out;
    size_t kept = stop + base64_remove_breaks(src + stop, n - stop);
    return decodeWith(codec, src, kept, dst, capacity, &stop);
}
