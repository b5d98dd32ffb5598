// NTLM: the NTLMv2 example of the published protocol document (MS-NLMP,
// "NTLMv2 Authentication" examples: user "User", domain "Domain", password
// "Password", server challenge 0123456789abcdef, client challenge aa..aa,
// time 0), an authenticate message checked byte for byte, and challenge
// messages that lie about their fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "digest/ntlm.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string &h) {
    Bytes b;
    for (size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return b;
}

std::string hex(const uint8_t *p, size_t n) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}
std::string hex(const Bytes &b) { return hex(b.data(), b.size()); }

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
    Bytes blob(NTLM_BLOB_FIXED + info.size());
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
    ntlmv2_hash(ntHash, user.data(), user.size(), asUtf16.data(), asUtf16.size(), hash);
    EXPECT_EQ(hex(hash, 16), hex(expected, 16));
    const uint8_t as8Bit[] = {'D', 'o', 'm', 'a', 'i', 'n'};
    ntlmv2_hash(ntHash, user.data(), user.size(), as8Bit, sizeof as8Bit, hash);
    EXPECT_EQ(hex(hash, 16), hex(expected, 16));
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

Bytes challengeMessage(const Bytes &targetName, const Bytes &targetInfo) {
    Bytes m = fromHex("4e544c4d5353500002000000");
    auto put16 = [&](size_t v) { m.insert(m.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); };
    auto put32 = [&](size_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put16(targetName.size()); put16(targetName.size()); put32(48);
    put32(0xe28a8233);
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
          std::make_tuple(name, Bytes{}, true)}) {
        NtlmChallenge c = {targetName.data(), targetName.size(), kServerChallenge, targetInfo.data(), targetInfo.size()};
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
}

TEST(Ntlm, TheNegotiateMessage) {
    uint8_t out[NTLM_NEGOTIATE_LENGTH];
    ntlm_negotiate(out);
    EXPECT_EQ(hex(out, sizeof out), "4e544c4d535350000100000005820800" + std::string(32, '0'));
}

}  // namespace
