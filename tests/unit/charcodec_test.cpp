// Character conversions: the byte form of known characters, and every
// vector kernel against the portable code at every length and alignment.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/charcodec.h"
#include "platform/charcodec_kernels.h"
#include "tests/unit/kernel_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The four conversions choose from the same list.
std::vector<const CharCodecKernels *> allKernels() {
    return runnableTables<CharCodecKernels>(gCharCodecKernels[CHARCODEC_ENCODE]);
}

Bytes encoded(const std::vector<uint32_t> &chars) {
    Bytes out(qchar_encoded_length(chars.data(), chars.size()));
    EXPECT_EQ(qchar_encode(chars.data(), chars.size(), out.data()), out.size());
    return out;
}

TEST(CharCodec, ByteFormOfEachRange) {
    struct Case {
        uint32_t c;
        Bytes bytes;
    } cases[] = {
        {0x00, {0x00}},
        {0x41, {0x41}},
        {0xE9, {0xE9}},  // one byte, not the two of UTF-8
        {0xFF, {0xFF}},
        {0x100, {0xC4, 0x80}},
        {0x7FF, {0xDF, 0xBF}},
        {0x800, {0xE0, 0xA0, 0x80}},
        {0x20AC, {0xE2, 0x82, 0xAC}},
        {0xD800, {0xED, 0xA0, 0x80}},  // surrogates are encoded like any code
        {0xFFFF, {0xEF, 0xBF, 0xBF}},
        {0x10000, {0xF0, 0x90, 0x80, 0x80}},
        {0x1F600, {0xF0, 0x9F, 0x98, 0x80}},
        {0x1FFFFF, {0xF7, 0xBF, 0xBF, 0xBF}},
        {0x200000, {0xF8, 0x88, 0x80, 0x80, 0x80}},
        {0x3FFFFFF, {0xFB, 0xBF, 0xBF, 0xBF, 0xBF}},
        {0x4000000, {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}},
        {0xFFFFFFFF, {0xFF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}},
    };
    for (const Case &k : cases) EXPECT_EQ(encoded({k.c}), k.bytes) << std::hex << k.c;
    EXPECT_EQ(encoded(std::vector<uint32_t>(1000, 0x4E2D)).size(), 3000u);
}

// Texts of one of several mixes: all below 0x100, or with characters from
// each range sprinkled in, densely or rarely.
std::vector<uint32_t> randomText(size_t n, int mix, std::mt19937 &rng) {
    static const uint32_t edges[] = {0x7F,   0x80,     0xFF,      0x100,     0x7FF,     0x800,
                                     0xFFFF, 0x10000,  0x10FFFF,  0x1FFFFF,  0x200000,  0x3FFFFFF,
                                     0x4000000, 0x7FFFFFFF, 0x80000000, 0xFFFFFF00, 0xFFFFFFFF};
    std::vector<uint32_t> t(n);
    for (auto &c : t) {
        uint32_t r = static_cast<uint32_t>(rng());
        bool wide = mix == 1 ? r % 2 == 0 : mix == 2 ? r % 61 == 0 : false;
        if (!wide) {
            c = r >> 24;
        } else if (r % 3 == 0) {
            c = edges[(r >> 8) % (sizeof edges / sizeof edges[0])];
        } else {
            c = static_cast<uint32_t>(rng()) >> ((r >> 8) % 32);
        }
    }
    return t;
}

// The byte form straight from its definition, one character at a time.
Bytes referenceEncode(const std::vector<uint32_t> &chars) {
    Bytes out;
    for (uint32_t c : chars) {
        int extra = c <= 0xFF ? 0 : c <= 0x7FF ? 1 : c <= 0xFFFF ? 2 : c <= 0x1FFFFF ? 3 : c <= 0x3FFFFFF ? 4 : 5;
        static const uint8_t lead[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
        static const uint32_t leadMask[] = {0xFF, 0x1F, 0x0F, 0x07, 0x07, 0x07};
        out.push_back(static_cast<uint8_t>(lead[extra] + (c >> (6 * extra) & leadMask[extra])));
        for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<uint8_t>(0x80 | (c >> (6 * k) & 0x3F)));
    }
    return out;
}

TEST(CharCodec, PortableMatchesTheDefinition) {
    std::mt19937 rng(5);
    for (int mix = 0; mix < 3; ++mix) {
        for (size_t n : {0u, 1u, 7u, 8u, 9u, 63u, 64u, 65u, 1000u}) {
            std::vector<uint32_t> text = randomText(n, mix, rng);
            Bytes expected = referenceEncode(text), out(expected.size());
            ASSERT_EQ(qchar_encoded_length_portable(text.data(), n), expected.size());
            ASSERT_EQ(qchar_encode_portable(text.data(), n, out.data()), expected.size());
            ASSERT_EQ(out, expected) << "n=" << n << " mix=" << mix;
        }
    }
}

TEST(CharCodec, EveryKernelMatchesPortableAtEveryLengthAndAlignment) {
    std::mt19937 rng(42);
    for (const CharCodecKernels *k : allKernels()) {
        SCOPED_TRACE(k->name);
        for (int mix = 0; mix < 3; ++mix) {
            for (size_t n = 0; n <= 200; ++n) {
                for (size_t offset = 0; offset < 16; offset += (n < 40 ? 1 : 5)) {
                    std::vector<uint32_t> buffer = randomText(n + offset, mix, rng);
                    const uint32_t *chars = buffer.data() + offset;

                    uint64_t length = qchar_encoded_length_portable(chars, n);
                    ASSERT_EQ(k->encodedLength(chars, n), length) << "n=" << n << " mix=" << mix;
                    Bytes expected(length), out(offset + length + 8, 0xEE);
                    qchar_encode_portable(chars, n, expected.data());
                    ASSERT_EQ(k->encode(chars, n, out.data() + offset), length);
                    ASSERT_EQ(Bytes(out.begin() + static_cast<long>(offset), out.end() - 8), expected) << "n=" << n;
                    ASSERT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE)) << "wrote past the end";

                    Bytes low(offset + n + 8, 0xEE), lowExpected(n);
                    qchar_narrow_low8_portable(chars, n, lowExpected.data());
                    k->narrowLow8(chars, n, low.data() + offset);
                    ASSERT_EQ(Bytes(low.begin() + static_cast<long>(offset), low.end() - 8), lowExpected);
                    ASSERT_EQ(Bytes(low.end() - 8, low.end()), Bytes(8, 0xEE));

                    const uint8_t *bytes = low.data() + offset;
                    std::vector<uint32_t> wide(offset + n + 4, 0xEEEEEEEE);
                    k->widen(bytes, n, wide.data() + offset);
                    for (size_t i = 0; i < n; ++i) ASSERT_EQ(wide[offset + i], bytes[i]);
                    for (size_t i = offset + n; i < wide.size(); ++i) ASSERT_EQ(wide[i], 0xEEEEEEEEu);
                }
            }
        }
    }
}

TEST(CharCodec, LargeMixedTextsAgree) {
    std::mt19937 rng(7);
    for (int mix = 0; mix < 3; ++mix) {
        std::vector<uint32_t> text = randomText(100003, mix, rng);
        Bytes expected(qchar_encoded_length_portable(text.data(), text.size()));
        qchar_encode_portable(text.data(), text.size(), expected.data());
        for (const CharCodecKernels *k : allKernels()) {
            ASSERT_EQ(k->encodedLength(text.data(), text.size()), expected.size()) << k->name;
            Bytes out(expected.size());
            ASSERT_EQ(k->encode(text.data(), text.size(), out.data()), out.size()) << k->name;
            ASSERT_EQ(out, expected) << k->name << " mix=" << mix;
        }
    }
}

// Past some megabytes the output is written around the caches, from its
// first 64-byte boundary on (the output here is not on one).
TEST(CharCodec, LargeWideningsAgree) {
    Bytes bytes((size_t(4) << 20) + 37);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    for (const CharCodecKernels *k : allKernels()) {
        std::vector<uint32_t> wide(bytes.size() + 1);
        k->widen(bytes.data(), bytes.size(), wide.data() + 1);
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), wide.begin() + 1)) << k->name;
    }
}

}  // namespace
