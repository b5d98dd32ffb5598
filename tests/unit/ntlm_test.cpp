// NTLM: the NTLMv2 example of the published protocol document (MS-NLMP,
// "NTLMv2 Authentication" examples: user "User", domain "Domain", password
// "Password", server challenge 0123456789abcdef, client challenge aa..aa,
// time 0), an authenticate message checked byte for byte, and challenge
// messages that lie about their fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "auth/ntlm.h"
#include "tests/support/hex.h"

namespace {

using Bytes = std::vector<uint8_t>;

using testhex::fromHex;
using testhex::hex;

using Points = std::vector<uint32_t>;
Points points(const std::u32string &s) { return Points(s.begin(), s.end()); }

Bytes utf16(const char *ascii) {
    Bytes b;
    for (const char *p = ascii; *p; ++p) b.insert(b.end(), {static_cast<uint8_t>(*p), 0});
    return b;
}

// The example's target information: NetBIOS domain "Domain", NetBIOS
// computer "Server", end of list.
const std::string kTargetInfo = "02000c0044006f006d00610069006e0001000c0053006500720076006500720000000000";
const uint8_t kServerChallenge[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
const uint8_t kClientChallenge[8] = {0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa};

TEST(Ntlm, TheProtocolDocumentsNtlmv2Example) {
    Points password = points(U"Password"), user = points(U"User");
    uint8_t ntHash[16], hash[16];
    ASSERT_TRUE(ntlm_nt_hash(password.data(), password.size(), ntHash));
    EXPECT_EQ(hex(ntHash, 16), "a4f49c406510bdcab6824ee7c30fd852");
    Bytes domain = utf16("Domain");
    ASSERT_TRUE(ntowfv2(ntHash, user.data(), user.size(), domain.data(), domain.size(), hash));
    EXPECT_EQ(hex(hash, 16), "0c868a403bfd7a93a3001ef22ef02e3f");

    Bytes info = fromHex(kTargetInfo);
    Bytes blob(NTLM_BLOB_FIXED + info.size(), 0xEE);  // every byte must be written
    ntlmv2_blob(0, kClientChallenge, info.data(), info.size(), blob.data());
    EXPECT_EQ(hex(blob), "0101000000000000" "0000000000000000" "aaaaaaaaaaaaaaaa" "00000000" + kTargetInfo + "00000000");
    uint8_t proof[16], lm[24];
    ntlmv2_proof(hash, kServerChallenge, blob.data(), blob.size(), proof);
    EXPECT_EQ(hex(proof, 16), "68cd0ab851e51c96aabc927bebef6a1c");
    lmv2_response(hash, kServerChallenge, kClientChallenge, lm);
    EXPECT_EQ(hex(lm, 24), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
}

TEST(Ntlm, TheTargetNameIsTheDomainInCapitalsEither8BitOrUtf16) {
    Points user = points(U"User");
    uint8_t ntHash[16] = {1, 2, 3}, expected[16], hash[16];
    Bytes capitals = utf16("DOMAIN");
    ntowfv2(ntHash, user.data(), user.size(), capitals.data(), capitals.size(), expected);
    Bytes asUtf16 = utf16("Domain");
    ntlmv2_hash(ntHash, user.data(), user.size(), asUtf16.data(), asUtf16.size(), true, hash);
    EXPECT_EQ(hex(hash, 16), hex(expected, 16));
    const uint8_t as8Bit[] = {'D', 'o', 'm', 'a', 'i', 'n'};
    ntlmv2_hash(ntHash, user.data(), user.size(), as8Bit, sizeof as8Bit, false, hash);
    EXPECT_EQ(hex(hash, 16), hex(expected, 16));
}

Bytes utf16le(const std::u16string &s) {
    Bytes b;
    for (char16_t u : s) b.insert(b.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
    return b;
}

// A target name is put in capitals character by character, never byte by
// byte: U+6587 (bytes 87 65) is no letter e, U+0178 (78 01) no letter x.
// The hashes are known answers for User / Password computed apart (Python's
// MD4 and hmac over "USER" and the capitals in UTF-16LE); the capitals are
// also checked as the domain of NTOWFv2.
TEST(Ntlm, TheTargetNameIsHashedInUnicodeCapitals) {
    Points password = points(U"Password"), user = points(U"User");
    uint8_t ntHash[16], hash[16], expected[16];
    ASSERT_TRUE(ntlm_nt_hash(password.data(), password.size(), ntHash));
    const Bytes eightBit = {'D', 0xFC, 's', 's', 'e', 'l', 'd', 'o', 'r', 'f', 0xFF};
    struct {
        const char *what;
        Bytes name;
        bool utf16;
        std::u16string capitals;
        const char *hash;
    } cases[] = {
        {"ASCII, as before", utf16le(u"Domain"), true, u"DOMAIN", "f38efea48ada6afaa95ae44669e5634b"},
        {"CJK beside ASCII", utf16le(u"Gh-\u6587\u5b57"), true, u"GH-\u6587\u5b57", "c98bd536d2036cbe72e4da9b6c5274c5"},
        {"CJK only", utf16le(u"\u6587\u5b57"), true, u"\u6587\u5b57", "bef53f6f30c1f6dc63f1ca430c88be3c"},
        {"Greek only", utf16le(u"\u03c7\u03ac\u03bf\u03c2"), true, u"\u03a7\u0386\u039f\u03a3",
         "3b54b705810841d0e427cadbe7722ca4"},
        {"Y with diaeresis, capital and small", utf16le(u"\u0178\u00ff"), true, u"\u0178\u0178",
         "7a570aae3a4a7b07c4438e3a860ae1c2"},
        {"Cyrillic", utf16le(u"\u043c\u043e\u0441\u043a\u0432\u0430"), true,
         u"\u041c\u041e\u0421\u041a\u0412\u0410", "7a8c51eabef92b0e84c83000d9afa9c0"},
        {"a surrogate pair", utf16le(u"a\U00010428"), true, u"A\U00010400", "581f925a08cb99575d3c71c0d08841da"},
        {"8-bit beyond ASCII", eightBit, false, u"D\u00dcSSELDORF\u0178", "18f5ec920afd349be326663ae92f8430"},
    };
    for (const auto &tc : cases) {
        ASSERT_TRUE(ntlmv2_hash(ntHash, user.data(), user.size(), tc.name.data(), tc.name.size(), tc.utf16, hash));
        EXPECT_EQ(hex(hash, 16), tc.hash) << tc.what;
        Bytes capitals = utf16le(tc.capitals);
        ntowfv2(ntHash, user.data(), user.size(), capitals.data(), capitals.size(), expected);
        EXPECT_EQ(hex(hash, 16), hex(expected, 16)) << tc.what;
    }
}

TEST(Ntlm, OddPiecesOfAUtf16TargetNameStayAsTheyCame) {
    Points user = points(U"u");
    uint8_t ntHash[16] = {7}, hash[16], expected[16];
    std::u16string loneHigh = u"a", loneLow = u"b", pairReversed = u"c";
    loneHigh += char16_t(0xD801);                                   // at the end
    loneLow += char16_t(0xDC28);
    loneLow += u"z";
    pairReversed += {char16_t(0xDC28), char16_t(0xD801), u'd'};     // low before high: two lone units
    std::u16string loneHighCap = u"A", loneLowCap = u"B", pairReversedCap = u"C";
    loneHighCap += char16_t(0xD801);
    loneLowCap += char16_t(0xDC28);
    loneLowCap += u"Z";
    pairReversedCap += {char16_t(0xDC28), char16_t(0xD801), u'D'};
    Bytes odd = utf16le(u"\u00e9a");
    odd.push_back('q');                                             // half a unit: a-z in capitals
    Bytes oddCap = utf16le(u"\u00c9A");
    oddCap.push_back('Q');
    // Long enough to cross the pieces the name is hashed in, pairs on every
    // boundary.
    std::u16string longName, longCap;
    for (int i = 0; i < 45; ++i) {
        longName += u"\u6587b\U00010428";
        longCap += u"\u6587B\U00010400";
    }
    struct { Bytes name, capitals; } cases[] = {
        {utf16le(loneHigh), utf16le(loneHighCap)}, {utf16le(loneLow), utf16le(loneLowCap)},
        {utf16le(pairReversed), utf16le(pairReversedCap)}, {odd, oddCap}, {utf16le(longName), utf16le(longCap)}};
    for (const auto &tc : cases) {
        ntlmv2_hash(ntHash, user.data(), user.size(), tc.name.data(), tc.name.size(), true, hash);
        ntowfv2(ntHash, user.data(), user.size(), tc.capitals.data(), tc.capitals.size(), expected);
        EXPECT_EQ(hex(hash, 16), hex(expected, 16)) << hex(tc.name);
    }
}

TEST(Ntlm, TheUserNameIsHashedInUnicodeCapitals) {
    uint8_t ntHash[16] = {9}, a[16], b[16];
    Bytes domain = utf16("D");
    Points lower = points(U"j\u00fcrgen"), upper = points(U"J\u00dcRGEN");
    ntowfv2(ntHash, lower.data(), lower.size(), domain.data(), domain.size(), a);
    ntowfv2(ntHash, upper.data(), upper.size(), domain.data(), domain.size(), b);
    EXPECT_EQ(hex(a, 16), hex(b, 16));
    Points deseret = points(U"\U00010428"), deseretCapital = points(U"\U00010400");
    ntowfv2(ntHash, deseret.data(), 1, domain.data(), domain.size(), a);
    ntowfv2(ntHash, deseretCapital.data(), 1, domain.data(), domain.size(), b);
    EXPECT_EQ(hex(a, 16), hex(b, 16));
    const uint32_t noForm[] = {0x110000};
    EXPECT_FALSE(ntowfv2(ntHash, noForm, 1, domain.data(), domain.size(), a));
    EXPECT_FALSE(ntlm_nt_hash(noForm, 1, a));
}

Bytes challengeMessage(const Bytes &targetName, const Bytes &targetInfo, uint32_t flags = 0xe28a8233) {
    Bytes m = fromHex("4e544c4d5353500002000000");
    auto put16 = [&](size_t v) { m.insert(m.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); };
    auto put32 = [&](size_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put16(targetName.size()); put16(targetName.size()); put32(48);
    put32(flags);
    m.insert(m.end(), kServerChallenge, kServerChallenge + 8);
    put32(0); put32(0);
    put16(targetInfo.size()); put16(targetInfo.size()); put32(48 + targetName.size());
    m.insert(m.end(), targetName.begin(), targetName.end());
    m.insert(m.end(), targetInfo.begin(), targetInfo.end());
    return m;
}

struct Credentials {
    Points user, password, workstation;
    NtlmCredentials view() const {
        return {user.data(), user.size(), password.data(), password.size(), workstation.data(), workstation.size()};
    }
};

// Reads a challenge from an exact-size copy, so that AddressSanitizer sees
// any read past its end.
bool readExact(const Bytes &m, NtlmChallenge *out) {
    auto *copy = new uint8_t[m.size() ? m.size() : 1];
    if (!m.empty()) std::memcpy(copy, m.data(), m.size());
    bool ok = ntlm_read_challenge(copy, m.size(), out);
    delete[] copy;
    return ok;
}

TEST(Ntlm, AnAuthenticateMessageByteForByte) {
    // The example's challenge with the target name in capitals, as servers
    // send a NetBIOS domain name; the expected message was computed apart.
    Bytes m = challengeMessage(utf16("DOMAIN"), fromHex(kTargetInfo));
    NtlmChallenge c;
    ASSERT_TRUE(ntlm_read_challenge(m.data(), m.size(), &c));
    Credentials id{points(U"User"), points(U"Password"), points(U"COMPUTER")};
    NtlmCredentials creds = id.view();
    ASSERT_EQ(ntlm_authenticate_length(&c, &creds), 208u);
    Bytes out(208);
    ASSERT_EQ(ntlm_authenticate(&c, &creds, kClientChallenge, 0, out.data()), 208u);
    EXPECT_EQ(hex(out),
              "4e544c4d53535000030000001800180064000000540054007c0000000c000c0040000000080008004c00000010001000"
              "5400000000000000d00000000102000044004f004d00410049004e00550073006500720043004f004d00500055005400"
              "45005200a364ead07e87f76bef07b555d8564bb3aaaaaaaaaaaaaaaa9dee77a61159fe187cb72a714b564c0101010000"
              "000000000000000000000000aaaaaaaaaaaaaaaa0000000002000c0044006f006d00610069006e0001000c0053006500"
              "72007600650072000000000000000000");
}

// A server that says NEGOTIATE_UNICODE sends its name in UTF-16, also one
// without a zero byte; without the flag the zero bytes decide.
TEST(Ntlm, TheNegotiateFlagsSayWhetherTheTargetNameIsUtf16) {
    const uint32_t unicode = 0xe28a8233, oem = 0xe28a8232;
    Bytes greek = utf16le(u"\u03a7\u0386\u039f\u03a3"), domain = {'D', 'o', 'm', 'a', 'i', 'n'};
    Bytes oddWithZero = {'D', 0, 'o'};
    struct { Bytes name; uint32_t flags; bool utf16; } cases[] = {
        {greek, unicode, true},         {greek, oem, false},       {domain, unicode, true},
        {domain, oem, false},           {utf16("Dom"), oem, true}, {Bytes{'D', 'o', 'm'}, unicode, false},
        {oddWithZero, unicode, true},   {Bytes{}, oem, false},
    };
    for (const auto &tc : cases) {
        Bytes m = challengeMessage(tc.name, {}, tc.flags);
        NtlmChallenge c;
        ASSERT_TRUE(ntlm_read_challenge(m.data(), m.size(), &c));
        EXPECT_EQ(c.flags, tc.flags);
        EXPECT_EQ(ntlm_target_name_is_utf16(&c), tc.utf16) << hex(tc.name) << " flags " << tc.flags;
    }
}

TEST(Ntlm, TheServersTimestampIsUsedWhenItsTargetInformationCarriesOne) {
    const std::string stamp = "0700080001020304050607f8";
    Credentials id{points(U"u"), points(U"p"), points(U"w")};
    NtlmCredentials creds = id.view();
    struct { std::string info; uint64_t expected; } cases[] = {
        {"01000200aaaa" + stamp + "00000000", 0xf807060504030201ull},
        {stamp, 0xf807060504030201ull},
        {"0000000" "0" + stamp, 42},        // after the end of the list
        {"0100ff00aaaa" + stamp, 42},       // a pair that runs past the end hides the rest
        {"07000400aaaaaaaa", 42},           // a timestamp of the wrong size
        {"", 42}};
    for (const auto &tc : cases) {
        Bytes m = challengeMessage(Bytes{'D'}, fromHex(tc.info));
        NtlmChallenge c;
        ASSERT_TRUE(ntlm_read_challenge(m.data(), m.size(), &c));
        Bytes out(ntlm_authenticate_length(&c, &creds));
        ASSERT_EQ(ntlm_authenticate(&c, &creds, kClientChallenge, 42, out.data()), out.size());
        uint64_t t = 0;
        size_t blob = out.size() - (NTLM_BLOB_FIXED + c.targetInfoLength);
        for (int i = 7; i >= 0; --i) t = t << 8 | out[blob + 8 + i];
        EXPECT_EQ(t, tc.expected) << tc.info;
    }
}

TEST(Ntlm, ChallengesThatLieAboutTheirFieldsAreRefused) {
    Bytes good = challengeMessage(utf16("DOM"), fromHex(kTargetInfo));
    NtlmChallenge c;
    ASSERT_TRUE(readExact(good, &c));
    EXPECT_EQ(c.targetNameLength, 6u);
    EXPECT_EQ(c.targetInfoLength, kTargetInfo.size() / 2);

    auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes m = good;
        std::copy(bytes.begin(), bytes.end(), m.begin() + static_cast<long>(at));
        return m;
    };
    size_t n = good.size();
    EXPECT_FALSE(readExact(Bytes(good.begin(), good.begin() + 47), &c));             // shorter than 48
    EXPECT_TRUE(readExact(challengeMessage({}, {}), &c));                             // exactly 48
    EXPECT_FALSE(readExact(with(0, {'n'}), &c));                                      // signature
    EXPECT_FALSE(readExact(with(8, {3}), &c));                                        // type 3
    EXPECT_FALSE(readExact(with(9, {1}), &c));                                        // type 0x102
    EXPECT_FALSE(readExact(with(12, {0xFF, 0xFF}), &c));                              // name too long
    EXPECT_FALSE(readExact(with(16, {0xFF, 0xFF, 0xFF, 0xFF}), &c));                  // offset wraps
    EXPECT_FALSE(readExact(with(16, {static_cast<uint8_t>(n + 1)}), &c));             // name starts past the end
    EXPECT_FALSE(readExact(with(44, {static_cast<uint8_t>(n - 35)}), &c));            // info one past the end
    EXPECT_TRUE(readExact(with(44, {static_cast<uint8_t>(n - 36)}), &c));             // info up to the end
    EXPECT_TRUE(readExact(with(12, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), &c));       // empty name anywhere
    EXPECT_EQ(c.targetNameLength, 0u);
}

TEST(Ntlm, FieldsOver65535BytesGiveNoMessage) {
    Credentials id{points(U"u"), points(U"p"), points(U"w")};
    NtlmCredentials creds = id.view();
    Bytes infoFits(65535 - 48, 0xee), infoTooLong(65536 - 48, 0xee), name(65535, 'n');
    for (const auto &[targetName, targetInfo, fits] :
         {std::make_tuple(Bytes{}, infoFits, true), std::make_tuple(Bytes{}, infoTooLong, false),
          std::make_tuple(name, Bytes{}, true), std::make_tuple(Bytes(65536, 'n'), Bytes{}, false)}) {
        NtlmChallenge c = {targetName.data(), targetName.size(), 0, kServerChallenge, targetInfo.data(),
                           targetInfo.size()};
        size_t length = ntlm_authenticate_length(&c, &creds);
        EXPECT_EQ(length != 0, fits);
        if (fits) {
            Bytes out(length);
            EXPECT_EQ(ntlm_authenticate(&c, &creds, kClientChallenge, 0, out.data()), length);
        }
    }
    // 256 characters above U+FFFF: 1024 bytes of UTF-16, well within a field.
    Credentials wide{Points(256, 0x1F600), points(U"p"), Points(256, 0xE9)};
    NtlmCredentials wideCreds = wide.view();
    Bytes m = challengeMessage(Bytes{'D'}, {});
    NtlmChallenge c;
    ASSERT_TRUE(ntlm_read_challenge(m.data(), m.size(), &c));
    EXPECT_EQ(ntlm_authenticate_length(&c, &wideCreds), 64u + 1 + 1024 + 512 + 24 + 48);
    Credentials bad{points(U"u"), Points{'p', 0x110000}, points(U"w")};
    NtlmCredentials badCreds = bad.view();
    EXPECT_EQ(ntlm_authenticate_length(&c, &badCreds), 0u);
    Bytes untouched(256, 0xEE);
    EXPECT_EQ(ntlm_authenticate(&c, &badCreds, kClientChallenge, 0, untouched.data()), 0u);
    EXPECT_EQ(untouched, Bytes(256, 0xEE));  // nothing written
}

TEST(Ntlm, TheNegotiateMessage) {
    uint8_t out[NTLM_NEGOTIATE_LENGTH];
    ntlm_negotiate(out);
    EXPECT_EQ(hex(out, sizeof out), "4e544c4d535350000100000005820800" + std::string(32, '0'));
}

}  // namespace
