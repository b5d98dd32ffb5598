// HMAC-MD5 against RFC 2202, HMAC-SHA-256 and -512 against RFC 4231, CRAM-MD5 against RFC 2195, and the byte forms
// of names and passwords (UTF-16LE with capitals, CRAM's one byte a
// character or UTF-8).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/auth_text.h"
#include "auth/cram_md5.h"
#include "auth/hmac.h"
#include "auth/unicode_upper.h"
#include "tests/support/hex.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

using testhex::hex;

struct HmacCase {
    Bytes key, text;
    const char *digest;
};

// RFC 2202, section 2: keys of 16, 4, 16, 25, 16 and 80 bytes.
std::vector<HmacCase> rfc2202() {
    Bytes key25;
    for (uint8_t b = 1; b <= 25; ++b) key25.push_back(b);
    return {
        {Bytes(16, 0x0b), bytesOf("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d"},
        {bytesOf("Jefe"), bytesOf("what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738"},
        {Bytes(16, 0xaa), Bytes(50, 0xdd), "56be34521d144c88dbb8c733f0e8b3f6"},
        {key25, Bytes(50, 0xcd), "697eaf0aca3a3aea3a75164746ffaa79"},
        {Bytes(16, 0x0c), bytesOf("Test With Truncation"), "56461ef2342edc00f9bab995690efd4c"},
        {Bytes(80, 0xaa), bytesOf("Test Using Larger Than Block-Size Key - Hash Key First"),
         "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
        {Bytes(80, 0xaa), bytesOf("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "6f630fad67cda0ee1fb1f562db3aa53e"},
    };
}

TEST(HmacMd5, Rfc2202InOneCallAndInPieces) {
    for (const HmacCase &c : rfc2202()) {
        uint8_t out[16];
        hmac_compute(&kMd5Hash, out, c.key.data(), c.key.size(), c.text.data(), c.text.size());
        EXPECT_EQ(hex(out, 16), c.digest);
        for (size_t split = 0; split <= c.text.size(); split += 7) {
            HmacContext ctx;
            hmac_init(&ctx, &kMd5Hash, c.key.data(), c.key.size());
            hmac_update(&ctx, c.text.data(), split);
            hmac_update(&ctx, c.text.data() + split, c.text.size() - split);
            hmac_final(&ctx, out);
            EXPECT_EQ(hex(out, 16), c.digest) << "split at " << split;
        }
    }
}

// RFC 4231, test cases 1, 2 and 6: the same code over a hash with another
// block (SHA-512's 128 bytes) and a key longer than either block.
TEST(Hmac, Rfc4231OverSha256AndSha512) {
    const struct {
        Bytes key, text;
        const char *sha256, *sha512;
    } cases[] = {
        {Bytes(20, 0x0b), bytesOf("Hi There"),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
         "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
         "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
        {bytesOf("Jefe"), bytesOf("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
         "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
         "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
        {Bytes(131, 0xaa), bytesOf("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
         "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
         "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
    };
    for (const auto &c : cases) {
        uint8_t out[64];
        hmac_compute(&kSha256Hash, out, c.key.data(), c.key.size(), c.text.data(), c.text.size());
        EXPECT_EQ(hex(out, 32), c.sha256);
        hmac_compute(&kSha512Hash, out, c.key.data(), c.key.size(), c.text.data(), c.text.size());
        EXPECT_EQ(hex(out, 64), c.sha512);
    }
}

TEST(Hmac, FinalWipesTheContext) {
    HmacContext ctx;
    const uint8_t key[3] = {'k', 'e', 'y'};
    uint8_t out[16];
    hmac_init(&ctx, &kMd5Hash, key, sizeof key);
    hmac_update(&ctx, key, sizeof key);
    hmac_final(&ctx, out);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&ctx);
    for (size_t i = 0; i < sizeof ctx; ++i) ASSERT_EQ(p[i], 0) << i;
}

TEST(HmacMd5, AKeyOverOneBlockIsItsDigestAndOneOfABlockIsNot) {
    Bytes text = bytesOf("text");
    for (size_t n : {64u, 65u, 200u}) {
        Bytes key(n, 'k');
        uint8_t keyDigest[16], viaKey[16], viaDigest[16];
        md5_digest(keyDigest, key.data(), key.size());
        hmac_compute(&kMd5Hash, viaKey, key.data(), key.size(), text.data(), text.size());
        hmac_compute(&kMd5Hash, viaDigest, keyDigest, 16, text.data(), text.size());
        EXPECT_EQ(hex(viaKey, 16) == hex(viaDigest, 16), n > 64) << n;
    }
}

std::string cram(std::string challenge, const std::string &user, const std::string &password) {
    uint8_t out[CRAM_MAX_TEXT + 1];
    size_t n = cram_md5_response(reinterpret_cast<uint8_t *>(&challenge[0]), challenge.size(),
                                 reinterpret_cast<const uint8_t *>(user.data()), user.size(),
                                 reinterpret_cast<const uint8_t *>(password.data()), password.size(), out);
    EXPECT_EQ(out[n], 0);
    return std::string(reinterpret_cast<char *>(out), n);
}

TEST(CramMd5, Rfc2195ExampleAlsoAcrossLines) {
    const std::string expected = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw";
    EXPECT_EQ(cram("PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+", "tim", "tanstaaftanstaaf"), expected);
    for (const char *br : {"\r\n", "\n", "\r"}) {
        std::string split = std::string("PDE4OTYuNjk3MTcw") + br + "OTUyQHBvc3RvZmZpY2Uu" + br +
                            "cmVzdG9uLm1jaS5uZXQ+";
        EXPECT_EQ(cram(split, "tim", "tanstaaftanstaaf"), expected);
    }
}

TEST(CramMd5, TheLongestUserNameFillsTheResponse) {
    std::string text = cram("PDE4OTY+", std::string(200, 'u'), "secret");
    EXPECT_EQ(text.size(), 312u);  // 200 + 1 + 32 bytes
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(UnicodeUpper, SimpleMappingsOnly) {
    struct { uint32_t c, upper; } cases[] = {
        {'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'{', '{'}, {0xFC, 0xDC},   // ü
        {0xFF, 0x178},                                                    // ÿ leaves Latin-1
        {0xB5, 0x39C},                                                    // micro sign
        {0xDF, 0xDF},                                                     // ß: only a full mapping
        {0x131, 'I'}, {0x17F, 'S'}, {0x1C5, 0x1C4}, {0x3C2, 0x3A3},      // ı ſ ǅ ς
        {0x101, 0x100}, {0x100, 0x100}, {0x430, 0x410}, {0x1FB3, 0x1FBC}, {0x24D0, 0x24B6},
        {0x10428, 0x10400},                                               // Deseret, above the basic plane
        {0x1E922, 0x1E900}, {0x110000, 0x110000}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (auto c : cases) EXPECT_EQ(unicode_simple_upper(c.c), c.upper) << std::hex << c.c;
}

TEST(AuthText, Utf16SurrogatePairsCapitalsAndCodesWithoutAForm) {
    const uint32_t text[] = {'j', 0xFC, 0x1F600, 0xD800, 0x10428};
    ASSERT_EQ(utf16le_length(text, 5), 14u);
    uint8_t out[14];
    ASSERT_EQ(utf16le_encode(text, 5, out, false), 14u);
    EXPECT_EQ(hex(out, 14), "6a00fc003dd800de00d801d828dc");
    utf16le_encode(text, 5, out, true);
    EXPECT_EQ(hex(out, 14), "4a00dc003dd800de00d801d800dc");
    const uint32_t tooHigh[] = {'a', 0x110000};
    EXPECT_EQ(utf16le_length(tooHigh, 2), AUTH_TEXT_NO_FORM);
}

TEST(AuthText, CramKeepsOneByteACharacterUnlessOneLiesAboveLatin1) {
    uint8_t out[16];
    const uint32_t latin1[] = {'j', 0xFC, 'r'};
    ASSERT_EQ(cram_text_bytes(latin1, 3, out), 3u);
    EXPECT_EQ(hex(out, 3), "6afc72");
    const uint32_t mixed[] = {0xFC, 0x20AC, 0x1F600};
    ASSERT_EQ(cram_text_bytes(mixed, 3, out), 9u);
    EXPECT_EQ(hex(out, 9), "c3bce282acf09f9880");
    for (uint32_t s : {0xD800u, 0xDC00u, 0xDFFFu}) {
        const uint32_t surrogate[] = {0x20AC, s};
        EXPECT_EQ(cram_text_bytes(surrogate, 2, out), AUTH_TEXT_NO_FORM) << std::hex << s;
    }
    const uint32_t tooHigh[] = {0x110000};
    EXPECT_EQ(cram_text_bytes(tooHigh, 1, out), AUTH_TEXT_NO_FORM);
}

}  // namespace
