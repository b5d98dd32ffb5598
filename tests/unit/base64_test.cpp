// Base64: RFC 4648 vectors, a reference encoder of the test's own (six bits
// at a time, nothing in common with the library's tables), and every fast
// path against the portable code.  No other library is needed, so the
// cross builds run these too.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/base64.h"
#include "encoding/base64_codec.h"
#include "tests/unit/kernel_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Encoding and decoding choose from the same list.
std::vector<const Base64Codec *> codecs() { return runnableTables<Base64Codec>(gBase64EncodeKernel); }
const Base64Codec *portable() { return portableTable<Base64Codec>(gBase64EncodeKernel); }

Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto &x : b) x = static_cast<uint8_t>(rng());
    return b;
}

std::string encodeWith(const Base64Codec *codec, const Bytes &in) {
    std::string out(base64_encoded_length(in.size()) + 8, '\x7f');
    size_t n = base64_encode_text_with(codec, reinterpret_cast<uint8_t *>(&out[0]), in.data(), in.size());
    EXPECT_EQ(n, base64_encoded_length(in.size()));
    EXPECT_EQ(out.substr(n), std::string(8, '\x7f')) << "wrote past the text";
    out.resize(n);
    return out;
}

// Decodes with a guard zone after capacity + 1 bytes, which must stay intact,
// from an exact-size copy of the text, so that AddressSanitizer sees any read
// past its end.
Bytes decodeWith(const Base64Codec *codec, const std::string &text, size_t capacity) {
    Bytes out(capacity + 1 + 16, 0xEE);
    const Bytes exact(text.begin(), text.end());
    size_t n = base64_decode_unwrapped_with(codec, out.data(), exact.data(), exact.size(), capacity);
    EXPECT_LE(n, capacity);
    EXPECT_EQ(out[n], 0) << "no NUL after the bytes";
    for (size_t i = capacity + 1; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "wrote past capacity";
    out.resize(n);
    return out;
}
Bytes decodeWith(const Base64Codec *codec, const std::string &text) {
    return decodeWith(codec, text, text.size());
}

// RFC 4648 read literally: the bits in order, six at a time, then '=' to a
// multiple of four characters.
std::string referenceEncode(const Bytes &in) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t bits = in.size() * 8;
    for (size_t at = 0; at < bits; at += 6) {
        unsigned v = 0;
        for (size_t b = at; b < at + 6; ++b) v = v << 1 | (b < bits ? (in[b / 8] >> (7 - b % 8)) & 1 : 0);
        out += alphabet[v];
    }
    while (out.size() % 4) out += '=';
    return out;
}

std::string str(const Bytes &b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string &s) { return Bytes(s.begin(), s.end()); }

TEST(Base64, Rfc4648Vectors) {
    const char *const vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                      {"foo", "Zm9v"},  {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
                                      {"foobar", "Zm9vYmFy"}};
    for (const Base64Codec *codec : codecs()) {
        for (const auto &v : vectors) {
            EXPECT_EQ(encodeWith(codec, bytes(v[0])), v[1]) << codec->name;
            EXPECT_EQ(str(decodeWith(codec, v[1])), v[0]) << codec->name;
        }
    }
}

TEST(Base64, PublicFunctionsTerminateAndCount) {
    uint8_t out[16];
    const uint8_t man[] = {'M', 'a', 'n'};
    EXPECT_EQ(base64_encode(out, man, 2), 4u);
    EXPECT_STREQ(reinterpret_cast<char *>(out), "TWE=");
    EXPECT_EQ(base64_encode(out, man, 0), 0u);
    EXPECT_EQ(out[0], 0);
    // A 100-byte value: 136 characters on one line.
    Bytes hundred = randomBytes(100, 1);
    std::string text(200, '\0');
    EXPECT_EQ(base64_encode(reinterpret_cast<uint8_t *>(&text[0]), hundred.data(), 100), 136u);
    EXPECT_EQ(strlen(text.c_str()), 136u);
    EXPECT_EQ(text.find_first_of("\r\n "), std::string::npos);
}

TEST(Base64, EncodeMatchesTheReferenceAtEveryLength) {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 1100; ++n) lengths.push_back(n);
    for (size_t n : {65535u, 65536u, 65537u, 1048576u, 1048577u, 1048578u}) lengths.push_back(n);
    for (size_t n : lengths) {
        Bytes in = randomBytes(n, static_cast<uint32_t>(n));
        std::string expected = referenceEncode(in);
        for (const Base64Codec *codec : codecs()) {
            ASSERT_EQ(encodeWith(codec, in), expected) << codec->name << " n=" << n;
        }
    }
}

TEST(Base64, EveryByteValueAtEveryOffsetBothWays) {
    // All 256 values, starting at every offset of a buffer, so that each
    // value meets every lane and every place in a group of every kernel.
    for (size_t offset = 0; offset < 200; ++offset) {
        Bytes buffer(offset + 256);
        for (size_t i = 0; i < 256; ++i) buffer[offset + i] = static_cast<uint8_t>(i * 7 + offset);
        Bytes in(buffer.begin() + static_cast<long>(offset), buffer.end());
        std::string expected = referenceEncode(in);
        for (const Base64Codec *codec : codecs()) {
            std::string text(expected.size(), '\0');
            base64_encode_text_with(codec, reinterpret_cast<uint8_t *>(&text[0]), buffer.data() + offset, 256);
            ASSERT_EQ(text, expected) << codec->name << " offset=" << offset;
            std::string shifted = std::string(offset, ' ') + expected;  // leading blanks are skipped
            ASSERT_EQ(decodeWith(codec, shifted), in) << codec->name << " offset=" << offset;
        }
    }
}

TEST(Base64, DecodeGivesTheBytesBackAtEveryLength) {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 1100; ++n) lengths.push_back(n);
    for (size_t n : {65536u, 1048576u, 1048577u, 1048578u}) lengths.push_back(n);
    for (size_t n : lengths) {
        Bytes in = randomBytes(n, static_cast<uint32_t>(n) + 7);
        std::string text = referenceEncode(in);
        for (const Base64Codec *codec : codecs()) {
            ASSERT_EQ(decodeWith(codec, text), in) << codec->name << " n=" << n;
            // Without the padding the same bytes come out.
            std::string bare = text.substr(0, text.find('='));
            ASSERT_EQ(decodeWith(codec, bare), in) << codec->name << " n=" << n;
        }
    }
}

TEST(Base64, EncodesStraightToWideCharacters) {
    for (size_t n : {0u, 1u, 2u, 3u, 3071u, 3072u, 3073u, 10000u}) {
        Bytes in = randomBytes(n, static_cast<uint32_t>(n));
        std::string expected = referenceEncode(in);
        std::vector<uint32_t> wide(expected.size() + 4, 0xEEEEEEEE);
        ASSERT_EQ(base64_encode_text(wide.data(), in.data(), n), expected.size());
        ASSERT_EQ(std::string(wide.begin(), wide.begin() + static_cast<long>(expected.size())), expected) << n;
        ASSERT_EQ(wide[expected.size()], 0xEEEEEEEEu) << "wrote past the text";
    }
}

TEST(Base64, EveryByteValueAtEveryPositionStopsLikePortable) {
    // A valid text with one byte replaced: an alphabet byte changes nothing
    // but that value; any other byte ends the decoding right there.
    std::string valid = referenceEncode(randomBytes(150, 3));  // 200 characters
    std::vector<const Base64Codec *> all = codecs();
    for (size_t pos = 0; pos < valid.size(); ++pos) {
        for (int b = 0; b < 256; ++b) {
            std::string text = valid;
            text[pos] = static_cast<char>(b);
            Bytes reference = decodeWith(portable(), text);
            bool alphabet = isalnum(b) && b < 0x80 ? true : (b == '+' || b == '/');
            size_t run = alphabet ? text.size() : pos;
            if (pos == 0 && (b == ' ' || b == '\t')) run = text.size() - 1;  // a skipped blank
            size_t tail = run % 4;
            ASSERT_EQ(reference.size(), run / 4 * 3 + (tail == 3 ? 2 : tail == 2 ? 1 : 0))
                << "pos=" << pos << " byte=" << b;
            for (const Base64Codec *codec : all) {
                ASSERT_EQ(decodeWith(codec, text), reference) << codec->name << " pos=" << pos << " byte=" << b;
            }
        }
    }
}

TEST(Base64, EveryKernelTakesTheWholeBlocksOfALongText) {
    // The portable ends would hide a kernel that gave up early, but not its
    // lost speed.
    Bytes in = randomBytes(3000, 21);
    std::string text = referenceEncode(in);
    Bytes out(text.size());
    for (const Base64Codec *codec : codecs()) {
        if (codec->encode) {
            EXPECT_GE(codec->encode(in.data(), in.size(), out.data()), in.size() - 48) << codec->name;
        }
        EXPECT_GE(codec->decode(reinterpret_cast<const uint8_t *>(text.data()), text.size(), out.data(), in.size()),
                  text.size() - 64)
            << codec->name;
    }
}

TEST(Base64, RandomTextsAndCapacitiesAgreeAcrossPaths) {
    // Long valid runs (so that every kernel and its shorter-step ends run),
    // ended by junk, with capacities that cut anywhere.
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string junk = "= \t\r\n@.\x80\xff";
    std::mt19937 rng(17);
    std::vector<const Base64Codec *> all = codecs();
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        size_t length = rng() % 400;
        for (size_t i = 0; i < length; ++i) {
            text += rng() % 97 ? alphabet[rng() % 64] : junk[rng() % junk.size()];
        }
        size_t capacity = rng() % 2 ? text.size() : rng() % (text.size() + 1);
        Bytes reference = decodeWith(portable(), text, capacity);
        for (const Base64Codec *codec : all) {
            ASSERT_EQ(decodeWith(codec, text, capacity), reference) << codec->name << " " << text << " cap=" << capacity;
        }
    }
}

TEST(Base64, CapacityKeepsAPrefixAndNeverOverruns) {
    Bytes in = randomBytes(300, 5);
    std::string text = referenceEncode(in);
    for (const Base64Codec *codec : codecs()) {
        for (size_t capacity = 0; capacity <= in.size() + 2; ++capacity) {
            Bytes out = decodeWith(codec, text, capacity);
            size_t expected = capacity < in.size() ? capacity : in.size();
            ASSERT_EQ(out, Bytes(in.begin(), in.begin() + static_cast<long>(expected)))
                << codec->name << " capacity=" << capacity;
        }
    }
}

TEST(Base64, DecoderEdges) {
    for (const Base64Codec *codec : codecs()) {
        SCOPED_TRACE(codec->name);
        EXPECT_EQ(str(decodeWith(codec, "TWFu")), "Man");
        EXPECT_EQ(str(decodeWith(codec, "TWE=")), "Ma");
        EXPECT_EQ(str(decodeWith(codec, "TWE")), "Ma");
        EXPECT_EQ(str(decodeWith(codec, "TWFu=extra")), "Man");
        EXPECT_EQ(str(decodeWith(codec, "TWFu TWFu")), "Man");
        EXPECT_EQ(str(decodeWith(codec, " \t \tTWFu")), "Man");
        EXPECT_EQ(str(decodeWith(codec, "=TWFu")), "");
        EXPECT_EQ(str(decodeWith(codec, "TWFuT")), "Man");  // a lone final character gives nothing
        EXPECT_EQ(str(decodeWith(codec, "TWFu\xc3\xa9TWFu")), "Man");
        EXPECT_EQ(str(decodeWith(codec, "TWFuTWFu", 3)), "Man");
        EXPECT_EQ(str(decodeWith(codec, "TWFuTWFu", 4)), "ManM");
        EXPECT_EQ(str(decodeWith(codec, "TWFuTWFu", 0)), "");
        // Only the bytes given are read, even when alphabet bytes lie before
        // and after them.
        Bytes in = randomBytes(192, 4);
        const struct { std::string text; size_t at, n; std::string expected; } slices[] = {
            {"TWFuTWFu", 0, 4, "Man"}, {"TWFuYWJjTWFu", 4, 4, "abc"}, {" \t TWFu", 0, 2, ""},
            {referenceEncode(in), 0, 100, str(Bytes(in.begin(), in.begin() + 75))}};
        for (const auto &slice : slices) {
            Bytes out(slice.text.size() + 1);
            const uint8_t *at = reinterpret_cast<const uint8_t *>(slice.text.data()) + slice.at;
            out.resize(base64_decode_unwrapped_with(codec, out.data(), at, slice.n, slice.text.size()));
            EXPECT_EQ(str(out), slice.expected) << slice.text;
        }
        // Runs of one character fill every lane of a block with the same byte.
        for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")) {
            std::string run(96, c);
            ASSERT_EQ(decodeWith(codec, run), decodeWith(portable(), run)) << c;
        }
    }
    // A long text with a capacity of 1020 gives exactly 1020 bytes.
    Bytes in = randomBytes(2000, 9);
    std::string text = referenceEncode(in);
    for (const Base64Codec *codec : codecs()) {
        EXPECT_EQ(decodeWith(codec, text, 1020), Bytes(in.begin(), in.begin() + 1020)) << codec->name;
    }
}

TEST(Base64, RemoveBreaksAndDecodeAcrossLines) {
    std::string s = "TW\r\nFu\rTW\nFu\r";
    size_t kept = base64_remove_breaks(reinterpret_cast<uint8_t *>(&s[0]), s.size());
    EXPECT_EQ(s.substr(0, kept), "TWFuTWFu");
    EXPECT_EQ(s[kept], '\0');
    std::string none = "TWFu";
    EXPECT_EQ(base64_remove_breaks(reinterpret_cast<uint8_t *>(&none[0]), 4), 4u);
    EXPECT_EQ(base64_remove_breaks(nullptr, 0), 0u);

    // Wrapped at 76 characters as mail does: the same bytes.
    Bytes in = randomBytes(5000, 11);
    std::string flat = referenceEncode(in), wrapped;
    for (size_t i = 0; i < flat.size(); i += 76) wrapped += flat.substr(i, 76) + "\r\n";
    Bytes out(in.size() + 8);
    size_t n = base64_decode(out.data(), reinterpret_cast<uint8_t *>(&wrapped[0]), wrapped.size(),
                             base64_dec_size(static_cast<uint32_t>(wrapped.size())) + 4);
    out.resize(n);
    EXPECT_EQ(out, in);
}

TEST(Base64, DecodeWithBreaksIsRemoveBreaksThenDecode) {
    // base64_decode removes breaks only when the decoding meets one; the
    // result must be that of the two steps done one after the other.
    const char pieces[] = "AQZaz09+/=  \t\t\r\n\r\n@\x80";
    std::mt19937 rng(13);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        size_t length = rng() % 90;
        for (size_t i = 0; i < length; ++i) {
            // Mostly alphabet characters, so that long runs reach the kernels.
            text += rng() % 4 ? pieces[rng() % 9] : pieces[rng() % (sizeof pieces - 1)];
        }
        size_t capacity = rng() % 3 ? text.size() : rng() % 40;
        std::string copy = text;
        Bytes expected(capacity + 1), got(capacity + 1);
        size_t kept = base64_remove_breaks(reinterpret_cast<uint8_t *>(&copy[0]), copy.size());
        expected.resize(base64_decode_unwrapped(expected.data(), reinterpret_cast<const uint8_t *>(copy.data()), kept, capacity));
        got.resize(base64_decode(got.data(), reinterpret_cast<uint8_t *>(&text[0]), text.size(), capacity));
        ASSERT_EQ(got, expected) << text;
    }
}

TEST(Base64, SizeEstimatesAreNeverTooSmall) {
    EXPECT_EQ(base64_enc_size(3), 6u);  // 3 x 1.3333333 + 3, truncated
    EXPECT_EQ(base64_enc_size(4), 9u);  // the estimate (8) is one short: the exact size
    EXPECT_EQ(base64_dec_size(8), 9u);
    EXPECT_EQ(base64_decoded_max(8), 6u);
    for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 100ull, 300000000ull, 400000001ull, 0xFFFFFFFFull}) {
        uint32_t n32 = static_cast<uint32_t>(n);
        EXPECT_GE(base64_enc_size(n32), base64_encoded_length(n) + 1) << n;
        EXPECT_GE(base64_dec_size(n32), base64_decoded_max(n)) << n;
    }
    EXPECT_EQ(base64_enc_size(0xFFFFFFFFu), base64_encoded_length(0xFFFFFFFFull) + 1);
}

}  // namespace
