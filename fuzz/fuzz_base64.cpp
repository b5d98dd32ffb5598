// Base64 on arbitrary input, every block kernel the processor runs against
// the portable code and against a plain reference decoder written here:
//  - base64_decode_unwrapped with any capacity writes at most capacity bytes and a NUL
//    (the destination is a heap buffer of exactly capacity + 1 bytes, so
//    AddressSanitizer sees one byte too many);
//  - a kernel's decode writes at most its room and only whole valid groups;
//  - base64_decode (line breaks removed first) equals removing every CR and
//    LF and decoding;
//  - encoding any bytes, by every kernel and as 32-bit characters, gives the
//    same text, which decodes back to the bytes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "encoding/base64.h"
#include "encoding/base64_codec.h"
#include "fuzz/fuzz_input.h"

namespace {

int value(uint8_t c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Leading blanks skipped, the run of alphabet characters decoded bit by bit,
// the first `capacity` bytes kept.
std::vector<uint8_t> reference(const uint8_t *s, size_t n, size_t capacity) {
    size_t i = 0;
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    std::vector<uint8_t> out;
    uint32_t bits = 0;
    int have = 0;
    for (; i < n && value(s[i]) >= 0; ++i) {
        bits = bits << 6 | static_cast<uint32_t>(value(s[i]));
        have += 6;
        if (have >= 8) {
            have -= 8;
            out.push_back(static_cast<uint8_t>(bits >> have));
        }
    }
    if (out.size() > capacity) out.resize(capacity);
    return out;
}

// A heap buffer of exactly n bytes (at least one, so that it has an address).
std::unique_ptr<uint8_t[]> exact(size_t n) { return std::unique_ptr<uint8_t[]>(new uint8_t[n ? n : 1]); }

void checkDecode(const uint8_t *src, size_t n, size_t capacity) {
    std::vector<uint8_t> want = reference(src, n, capacity);
    for (int p = 0; p < gBase64DecodeKernel.count; ++p) {
        if (!gh_kernel_path_runs(gBase64DecodeKernel, p)) continue;
        const Base64Codec *codec = base64_codec_of(gBase64DecodeKernel.paths[p]);
        auto dst = exact(capacity + 1);
        size_t got = base64_decode_unwrapped_with(codec, dst.get(), src, n, capacity);
        GH_FUZZ_CHECK(got == want.size());
        GH_FUZZ_CHECK(std::equal(want.begin(), want.end(), dst.get()));
        GH_FUZZ_CHECK(dst[got] == 0);

        // The kernel alone: at most room bytes, whole groups only, and what
        // it consumed decodes to what it wrote.
        if (!codec->decode) continue;
        size_t room = capacity;
        auto raw = exact(room);
        size_t used = codec->decode(src, n, raw.get(), room);
        GH_FUZZ_CHECK(used % 4 == 0 && used <= n && used / 4 * 3 <= room);
        std::vector<uint8_t> part = reference(src, used, used / 4 * 3);
        GH_FUZZ_CHECK(part.size() == used / 4 * 3);
        GH_FUZZ_CHECK(std::equal(part.begin(), part.end(), raw.get()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    uint16_t c = in.u16();
    size_t n;
    const uint8_t *text = in.rest(&n);
    // Any capacity up to past the decoded length, weighted towards the exact
    // sizes and just around them.
    size_t full = static_cast<size_t>(base64_decoded_max(n));
    size_t capacity = c & 0x8000 ? (c & 0x7FFF) % (full + 8) : full - (c & 3 ? 0 : (c >> 2) % (full + 1));

    auto src = exact(n);
    if (n) std::memcpy(src.get(), text, n);
    checkDecode(src.get(), n, capacity);

    // With line breaks: base64_decode removes them (modifying its input).
    std::vector<uint8_t> unbroken;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != '\r' && text[i] != '\n') unbroken.push_back(text[i]);
    }
    std::vector<uint8_t> want = reference(unbroken.data(), unbroken.size(), capacity);
    auto dst = exact(capacity + 1);
    size_t got = base64_decode(dst.get(), src.get(), n, capacity);
    GH_FUZZ_CHECK(got == want.size() && std::equal(want.begin(), want.end(), dst.get()) && dst[got] == 0);

    // The input as bytes to encode: every kernel, bytes and characters.
    size_t length = static_cast<size_t>(base64_encoded_length(n));
    auto portable = exact(length);
    const Base64Codec *portableCodec = base64_codec_of(gBase64EncodeKernel.paths[gBase64EncodeKernel.count - 1]);
    GH_FUZZ_CHECK(base64_encode_text_with(portableCodec, portable.get(), text, n) == length);
    for (int p = 0; p < gBase64EncodeKernel.count; ++p) {
        if (!gh_kernel_path_runs(gBase64EncodeKernel, p)) continue;
        const Base64Codec *codec = base64_codec_of(gBase64EncodeKernel.paths[p]);
        auto out = exact(length);
        GH_FUZZ_CHECK(base64_encode_text_with(codec, out.get(), text, n) == length);
        GH_FUZZ_CHECK(length == 0 || std::memcmp(out.get(), portable.get(), length) == 0);
    }
    auto terminated = exact(length + 1);
    GH_FUZZ_CHECK(base64_encode(terminated.get(), text, n) == length && terminated[length] == 0);
    GH_FUZZ_CHECK(length == 0 || std::memcmp(terminated.get(), portable.get(), length) == 0);
    std::unique_ptr<uint32_t[]> wide(new uint32_t[length ? length : 1]);
    GH_FUZZ_CHECK(base64_encode_text(wide.get(), text, n) == length);
    for (size_t i = 0; i < length; ++i) GH_FUZZ_CHECK(wide[i] == portable[i]);
    std::vector<uint8_t> back = reference(portable.get(), length, n);
    GH_FUZZ_CHECK(back.size() == n && std::equal(back.begin(), back.end(), text));
    return 0;
}
