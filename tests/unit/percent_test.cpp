// Percent escapes and hexadecimal pairs, in both character widths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/hex.h"
#include "encoding/percent.h"

namespace {

template <class Char>
std::basic_string<Char> text(const std::u32string &s) {
    std::basic_string<Char> t;
    for (char32_t c : s) t.push_back(static_cast<Char>(c));
    return t;
}

// Escaped the way the catalogue function does it: in place, from the last
// third of a block three times as long.
template <class Char>
std::basic_string<Char> encode(const std::basic_string<Char> &in, bool addLinefeeds) {
    size_t n = in.size();
    std::vector<Char> block(3 * n + 1);
    std::copy(in.begin(), in.end(), block.begin() + static_cast<long>(2 * n));
    size_t count = percent_encode(block.data() + 2 * n, n, block.data(), addLinefeeds);
    return std::basic_string<Char>(block.data(), count);
}

template <class Char>
std::basic_string<Char> decode(std::basic_string<Char> s, bool saveLinefeeds) {
    s.resize(percent_decode(&s[0], s.size(), saveLinefeeds));
    return s;
}

template <class Char>
class Percent : public ::testing::Test {};
using CharTypes = ::testing::Types<uint8_t, uint32_t>;
TYPED_TEST_SUITE(Percent, CharTypes);

TYPED_TEST(Percent, Escapes) {
    using C = TypeParam;
    auto t = text<C>;
    EXPECT_EQ(encode(t(U"a b&c"), false), t(U"a%20b%26c"));
    EXPECT_EQ(encode(t(U"100%"), false), t(U"100%25"));
    EXPECT_EQ(encode(t(U"50%2x"), false), t(U"50%252x"));
    EXPECT_EQ(encode(t(U"50%2f"), false), t(U"50%2f"));
    EXPECT_EQ(encode(t(U"%4"), false), t(U"%254"));
    EXPECT_EQ(encode(t(U"caf\u00e9"), false), t(U"caf%e9"));
    EXPECT_EQ(encode(t(U"+=?/#\n"), false), t(U"+=?/#\n"));
    EXPECT_EQ(encode(t(U"x\ry"), true), t(U"x\r\ny"));
    EXPECT_EQ(encode(t(U"x\r\ny\r"), true), t(U"x\r\ny\r\n"));
    EXPECT_EQ(encode(t(U"x\ry\r"), false), t(U"x\ry\r"));
    EXPECT_EQ(encode(t(U"\r\r"), true), t(U"\r\n\r\n"));
    // The worst case fills all three slots of every character.
    EXPECT_EQ(encode(t(U"    "), false), t(U"%20%20%20%20"));
}

TYPED_TEST(Percent, Unescapes) {
    using C = TypeParam;
    auto t = text<C>;
    EXPECT_EQ(decode(t(U"a%20b+c"), false), t(U"a b c"));
    EXPECT_EQ(decode(t(U"%zz%4"), false), t(U"%zz%4"));
    EXPECT_EQ(decode(t(U"%4A%4a%"), false), t(U"JJ%"));
    EXPECT_EQ(decode(t(U"a\r\nb\n"), false), t(U"a\rb"));
    EXPECT_EQ(decode(t(U"a\r\nb\n"), true), t(U"a\r\nb\n"));
    EXPECT_EQ(decode(t(U"%c3%a9%00"), false), text<C>(std::u32string{0xC3, 0xA9, 0}));
    EXPECT_EQ(decode(t(U"%%41"), false), t(U"%A"));
}

TEST(PercentWide, OnlyGenuineDigitsMakeAnEscape) {
    // U+0130 and U+0141 have the low 8 bits of "0" and "A".
    std::u32string fake = {'%', 0x130, 0x141};
    EXPECT_EQ(decode(fake, false), fake);
    EXPECT_EQ(encode(fake, false), (std::u32string{'%', '2', '5', 0x130, 0x141}));
    // Bit 7 alone decides what is escaped: U+20AC has it, U+0141 has not.
    EXPECT_EQ(encode(std::u32string{0x20AC, 0x141, 0x1F680, 0x1F600}, false),
              (std::u32string{'%', 'a', 'c', 0x141, '%', '8', '0', 0x1F600}));
}

TYPED_TEST(Percent, InPlaceMatchesSeparateBuffers) {
    using C = TypeParam;
    std::mt19937 rng(3);
    const char32_t alphabet[] = {'a', ' ', '&', '%', '\r', '\n', '4', 'F', 0xE9, 0x80, 0x7F};
    for (int round = 0; round < 2000; ++round) {
        std::basic_string<C> in;
        size_t n = rng() % 30;
        for (size_t i = 0; i < n; ++i) in.push_back(static_cast<C>(alphabet[rng() % 11]));
        bool flag = rng() & 1;
        std::vector<C> out(3 * n + 1);
        size_t count = percent_encode(in.data(), n, out.data(), flag);
        ASSERT_EQ(encode(in, flag), std::basic_string<C>(out.data(), count));
    }
}

TEST(HexPairs, DigitsOfEitherCaseAndAnythingElse) {
    std::string s = "00abFF7";
    uint8_t out[4] = {};
    EXPECT_EQ(hex_decode_pairs(reinterpret_cast<const uint8_t *>(s.data()), s.size(), out), 3u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0xAB);
    EXPECT_EQ(out[2], 0xFF);
    // Neither digit is validated: outside the digit groups counts as 0, and
    // each group gives code minus its base ("G" is 16, "0x" gives 0).
    std::string odd = "zzG00x";
    EXPECT_EQ(hex_decode_pairs(reinterpret_cast<const uint8_t *>(odd.data()), odd.size(), out), 3u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], static_cast<uint8_t>(16 * 16 + 0));
    EXPECT_EQ(out[2], 0x00);
    std::vector<uint32_t> wide(6);
    const uint8_t bytes[] = {0x00, 0xAB, 0xFF};
    hex_encode_lower_chars(bytes, 3, wide.data());
    EXPECT_EQ(std::u32string(wide.begin(), wide.end()), U"00abff");
}

}  // namespace
