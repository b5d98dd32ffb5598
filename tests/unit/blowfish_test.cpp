// Blowfish: the designer's published vectors, OpenSSL's independent
// implementation as a reference over random keys and data, the four-block
// ECB loop against one block at a time, padding and the percent text form.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"
#include "cipher/blowfish_tables.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string &hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const Bytes &b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

Bytes OurEcbEncrypt(const Bytes &key, Bytes data) {
    BlowfishContext ctx;
    blowfish_init(&ctx, key.data(), key.size());
    blowfish_ecb_encrypt(&ctx, data.data(), data.size() / 8);
    return data;
}

Bytes OpensslEcbEncrypt(const Bytes &key, Bytes data) {
    BF_KEY k;
    BF_set_key(&k, static_cast<int>(key.size()), key.data());
    for (size_t i = 0; i + 8 <= data.size(); i += 8) BF_ecb_encrypt(&data[i], &data[i], &k, BF_ENCRYPT);
    return data;
}

struct Vector {
    const char *key, *plain, *cipher;
};

// Schneier's ECB test set (key, plaintext, ciphertext); the seventh row
// repeats the first in the published list.
const Vector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

// The variable-key set: plaintext FEDCBA9876543210 under the first 1..24
// bytes of one key.
const char kVariableKey[] = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
const char *const kVariableKeyCiphers[] = {
    "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
    "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
    "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
    "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
    "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
};

TEST(Blowfish, InitialTablesAreTheDigitsOfPi) {
    EXPECT_EQ(kBlowfishInitialP[0], 0x243F6A88u);
    EXPECT_EQ(kBlowfishInitialP[17], 0x8979FB1Bu);
    EXPECT_EQ(kBlowfishInitialS[0][0], 0xD1310BA6u);
    EXPECT_EQ(kBlowfishInitialS[3][255], 0x3AC372E6u);
}

TEST(Blowfish, PublishedEcbVectors) {
    ASSERT_EQ(sizeof kEcbVectors / sizeof kEcbVectors[0], 34u);
    for (const Vector &v : kEcbVectors) {
        SCOPED_TRACE(v.key);
        Bytes key = FromHex(v.key), plain = FromHex(v.plain);
        // The typed-in vector is first checked by the independent implementation.
        EXPECT_EQ(ToHex(OpensslEcbEncrypt(key, plain)), v.cipher);

        BlowfishContext ctx;
        blowfish_init(&ctx, key.data(), key.size());
        uint32_t l = uint32_t{plain[0]} << 24 | plain[1] << 16 | plain[2] << 8 | plain[3];
        uint32_t r = uint32_t{plain[4]} << 24 | plain[5] << 16 | plain[6] << 8 | plain[7];
        const uint32_t l0 = l, r0 = r;
        blowfish_encrypt(&ctx, &l, &r);
        Bytes cipher = FromHex(v.cipher);
        EXPECT_EQ(l, uint32_t{cipher[0]} << 24 | cipher[1] << 16 | cipher[2] << 8 | cipher[3]);
        EXPECT_EQ(r, uint32_t{cipher[4]} << 24 | cipher[5] << 16 | cipher[6] << 8 | cipher[7]);
        blowfish_decrypt(&ctx, &l, &r);
        EXPECT_EQ(l, l0);
        EXPECT_EQ(r, r0);

        EXPECT_EQ(ToHex(OurEcbEncrypt(key, plain)), v.cipher);
    }
}

TEST(Blowfish, PublishedVariableKeyVectors) {
    Bytes fullKey = FromHex(kVariableKey);
    Bytes plain = FromHex("FEDCBA9876543210");
    for (size_t n = 1; n <= 24; ++n) {
        Bytes key(fullKey.begin(), fullKey.begin() + static_cast<long>(n));
        EXPECT_EQ(ToHex(OpensslEcbEncrypt(key, plain)), kVariableKeyCiphers[n - 1]) << n;
        EXPECT_EQ(ToHex(OurEcbEncrypt(key, plain)), kVariableKeyCiphers[n - 1]) << n;
    }
}

// Random keys of 1..80 bytes (beyond 72 only the first 72 count, here and in
// OpenSSL) and random data of 0..1100 bytes, padded as the library pads.
TEST(Blowfish, AgreesWithOpensslOnRandomKeysAndData) {
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 400; ++round) {
        Bytes key(1 + rng() % 80), data(rng() % 1101);
        for (auto &b : key) b = static_cast<uint8_t>(rng());
        for (auto &b : data) b = static_cast<uint8_t>(rng());
        Bytes padded = data;
        padded.resize(data.size() + blowfish_pad_length(data.size()));
        ASSERT_EQ(blowfish_pad(padded.data(), data.size()), padded.size());

        BlowfishContext ctx;
        blowfish_init(&ctx, key.data(), key.size());
        Bytes ours = padded;
        blowfish_ecb_encrypt(&ctx, ours.data(), ours.size() / 8);
        ASSERT_EQ(ours, OpensslEcbEncrypt(key, padded)) << "key length " << key.size();

        blowfish_ecb_decrypt(&ctx, ours.data(), ours.size() / 8);
        size_t plainLength = 0;
        ASSERT_TRUE(blowfish_unpadded_length(ours.data(), ours.size(), &plainLength));
        ours.resize(plainLength);
        ASSERT_EQ(ours, data);
    }
}

TEST(Blowfish, KeysBeyond72BytesActLikeTheirFirst72) {
    Bytes key(100);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 37 + 1);
    Bytes plain = FromHex("0123456789ABCDEF");
    Bytes first72(key.begin(), key.begin() + 72);
    EXPECT_EQ(OurEcbEncrypt(key, plain), OurEcbEncrypt(first72, plain));
    Bytes first71(key.begin(), key.begin() + 71);
    EXPECT_NE(OurEcbEncrypt(first71, plain), OurEcbEncrypt(first72, plain));
}

// The interleaved loop against one block at a time, for every count of
// blocks around the width of the interleave, both ways.
TEST(Blowfish, EcbLoopMatchesOneBlockAtATime) {
    const uint8_t key[] = "interleave";
    BlowfishContext ctx;
    blowfish_init(&ctx, key, sizeof key - 1);
    for (size_t blocks = 0; blocks <= 13; ++blocks) {
        Bytes data(8 * blocks + 1);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 11 + blocks);
        Bytes expected = data;
        for (size_t b = 0; b < blocks; ++b) {
            uint8_t *p = &expected[8 * b];
            uint32_t l = uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
            uint32_t r = uint32_t{p[4]} << 24 | p[5] << 16 | p[6] << 8 | p[7];
            blowfish_encrypt(&ctx, &l, &r);
            for (int i = 0; i < 4; ++i) {
                p[i] = static_cast<uint8_t>(l >> (24 - 8 * i));
                p[4 + i] = static_cast<uint8_t>(r >> (24 - 8 * i));
            }
        }
        Bytes ours = data;
        blowfish_ecb_encrypt(&ctx, ours.data(), blocks);
        EXPECT_EQ(ours, expected) << blocks;  // the byte after the blocks untouched too
        blowfish_ecb_decrypt(&ctx, ours.data(), blocks);
        EXPECT_EQ(ours, data) << blocks;
    }
}

TEST(BlowfishPadding, OneToEightBytesOfThePadLength) {
    EXPECT_EQ(blowfish_pad_length(0), 8u);
    EXPECT_EQ(blowfish_pad_length(1), 7u);
    EXPECT_EQ(blowfish_pad_length(7), 1u);
    EXPECT_EQ(blowfish_pad_length(8), 8u);
    EXPECT_EQ(blowfish_pad_length(16), 8u);
    Bytes b(16, 0xAA);
    EXPECT_EQ(blowfish_pad(b.data(), 8), 16u);
    EXPECT_EQ(ToHex(b), "AAAAAAAAAAAAAAAA0808080808080808");
    Bytes c(8, 0xAA);
    EXPECT_EQ(blowfish_pad(c.data(), 5), 8u);
    EXPECT_EQ(ToHex(c), "AAAAAAAAAA030303");
}

TEST(BlowfishPadding, OutOfRangeLastBytesAreRejected) {
    size_t n = 99;
    Bytes b = FromHex("4142434445464703");
    ASSERT_TRUE(blowfish_unpadded_length(b.data(), b.size(), &n));
    EXPECT_EQ(n, 5u);
    Bytes whole = FromHex("0808080808080808");
    ASSERT_TRUE(blowfish_unpadded_length(whole.data(), whole.size(), &n));
    EXPECT_EQ(n, 0u);
    n = 99;
    for (const char *bad : {"4142434445464700", "4142434445464709", "41424344454647FF", "41424344454647F8",
                            "0203", ""}) {
        Bytes d = FromHex(bad);
        EXPECT_FALSE(blowfish_unpadded_length(d.data(), d.size(), &n)) << bad;
        EXPECT_EQ(n, 99u);  // untouched
    }
}

std::string Decode(std::string text) {
    Bytes b(text.begin(), text.end());
    size_t n = blowfish_text_decode(b.data(), b.size());
    return std::string(b.begin(), b.begin() + static_cast<long>(n));
}

TEST(BlowfishText, EncodesEveryByteAsPercentAndUppercaseDigits) {
    Bytes in = {0x00, 0x0F, 0xA5, 0xFF};
    Bytes out(blowfish_text_size(in.size()), 0x55);
    blowfish_text_encode(in.data(), in.size(), out.data());
    EXPECT_EQ(std::string(reinterpret_cast<char *>(out.data())), "%00%0F%A5%FF");
    EXPECT_EQ(out.back(), 0);
    EXPECT_EQ(blowfish_text_size(0), 1u);
    EXPECT_EQ(blowfish_text_size(SIZE_MAX / 3), 0u);  // would overflow
    EXPECT_EQ(blowfish_text_size(SIZE_MAX / 2), 0u);

    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    Bytes text(blowfish_text_size(all.size()));
    blowfish_text_encode(all.data(), all.size(), text.data());
    size_t n = blowfish_text_decode(text.data(), text.size());
    EXPECT_EQ(Bytes(text.begin(), text.begin() + static_cast<long>(n)), all);
}

TEST(BlowfishText, DecodesEscapesAndCopiesEverythingElse) {
    EXPECT_EQ(Decode("%41b%42"), "AbB");
    EXPECT_EQ(Decode("%4a%4A"), "JJ");  // lowercase digits in either place
    EXPECT_EQ(Decode("x%41"), "xA");
    // Digits outside 0-9, A-F, a-f count their code less 0x37, 8 bits kept.
    EXPECT_EQ(Decode("%G0"), std::string(1, '\0'));
    EXPECT_EQ(Decode("%0G"), "\x10");
}

// The decoder's rule written plainly, against the decoder over random texts
// made of the bytes that matter.
TEST(BlowfishText, DecoderMatchesItsRuleOnRandomTexts) {
    auto digit = [](uint8_t c) -> unsigned {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10u;
        return static_cast<uint8_t>(c - 0x37);
    };
    const uint8_t alphabet[] = {'%', '%', '4', '1', 'f', 'F', 'G', 'x', 0};
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        Bytes text(rng() % 12);
        for (auto &b : text) b = alphabet[rng() % sizeof alphabet];
        Bytes expected;
        size_t end = 0;
        while (end < text.size() && text[end]) ++end;
        for (size_t i = 0; i < end;) {
            if (text[i] == '%' && i + 2 < end) {
                expected.push_back(static_cast<uint8_t>(digit(text[i + 1]) << 4 | digit(text[i + 2])));
                i += 3;
            } else {
                expected.push_back(text[i++]);
            }
        }
        Bytes work = text;
        size_t n = blowfish_text_decode(work.data(), work.size());
        ASSERT_EQ(Bytes(work.begin(), work.begin() + static_cast<long>(n)), expected)
            << std::string(text.begin(), text.end());
    }
}

TEST(BlowfishText, NeverReadsPastTheText) {
    EXPECT_EQ(Decode("%41%"), "A%");
    EXPECT_EQ(Decode("%41%4"), "A%4");
    EXPECT_EQ(Decode("%"), "%");
    // The text ends at a NUL: an escape cut by it is copied too.
    std::string cut("%4\0%41", 6);
    EXPECT_EQ(Decode(cut), "%4");
    // The bytes after the given length are not looked at, even when they
    // would complete an escape.
    Bytes b = {'%', '4', '1'};
    EXPECT_EQ(blowfish_text_decode(b.data(), 2), 2u);
    EXPECT_EQ(b[0], '%');
}

}  // namespace
