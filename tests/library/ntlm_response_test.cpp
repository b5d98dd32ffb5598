// NTLMresponse of the shipped libraries: every response is fresh (a new
// client challenge from the system's random generator each time, so that no
// response can be computed ahead or replayed), and a challenge whose answer
// would need a field over 65535 bytes gets none.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "emulator/ntlm_check.h"
#include "tests/support/loaded.h"

namespace {

class NtlmResponse : public ghtest::EachBuild {};
GH_FOR_EACH_BUILD(NtlmResponse);

const char *kChallenge =
    "TlRMTVNTUAACAAAADAAMADAAAAAzgoriASNFZ4mrze8AAAAAAAAAACQAJAA8AAAARABPAE0AQQBJAE4AAgAMAEQAbwBtAGEAaQBu"
    "AAEADABTAGUAcgB2AGUAcgAAAAAA";

TEST_P(NtlmResponse, EveryResponseHasItsOwnClientChallenge) {
    ghemu::Session session(library());
    std::set<std::vector<uint8_t>> seen;
    for (int i = 0; i < 20; ++i) {
        ghemu::CallOutcome out = session.call(
            "NTLMresponse", {ghemu::textParam(build(), kChallenge), ghemu::textParam(build(), "User"),
                             ghemu::textParam(build(), "Password"), ghemu::textParam(build(), "COMPUTER")});
        ASSERT_TRUE(out.ok()) << out.problemText();
        std::vector<uint8_t> message = ghemu::base64Prefix(ghemu::encodeUtf8(out.result.value.text()));
        ASSERT_EQ(message.size(), 208u);
        // The LM response (24 bytes, at the offset its security buffer at
        // 12 gives) ends with the client challenge.
        size_t lm = message[16] | message[17] << 8;
        ASSERT_EQ(lm, 100u);
        std::vector<uint8_t> clientChallenge(message.begin() + lm + 16, message.begin() + lm + 24);
        EXPECT_NE(clientChallenge, std::vector<uint8_t>(8, 0));
        EXPECT_TRUE(seen.insert(clientChallenge).second) << "a client challenge came twice";
    }
}

// A challenge message with target information of n zero bytes (an empty
// list), in Base64.
std::string challengeWithTargetInformation(size_t n) {
    std::vector<uint8_t> m = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0, 2, 0, 0, 0};
    m.resize(48 + n, 0);
    m[16] = 48;                                          // empty target name at 48
    for (int i = 24; i < 32; ++i) m[static_cast<size_t>(i)] = static_cast<uint8_t>(i);  // server challenge
    m[40] = m[42] = static_cast<uint8_t>(n);
    m[41] = m[43] = static_cast<uint8_t>(n >> 8);
    m[44] = 48;
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < m.size(); i += 3) {
        uint32_t g = static_cast<uint32_t>(m[i]) << 16 | (i + 1 < m.size() ? m[i + 1] << 8 : 0) |
                     (i + 2 < m.size() ? m[i + 2] : 0);
        for (size_t k = 0; k < 4; ++k) text += k <= m.size() - i ? kAlphabet[g >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

TEST_P(NtlmResponse, AnNtResponseOver65535BytesGivesTheEmptyText) {
    ghemu::Session session(library());
    for (size_t infoLength : {65535u - 48, 65535u - 47}) {
        std::string challenge = challengeWithTargetInformation(infoLength);
        ghemu::CallOutcome out = session.call(
            "NTLMresponse", {ghemu::textParam(build(), challenge), ghemu::textParam(build(), "u"),
                             ghemu::textParam(build(), "p"), ghemu::textParam(build(), "w")});
        ASSERT_TRUE(out.ok()) << out.problemText();
        ASSERT_TRUE(out.result.value.isText());
        if (infoLength == 65535u - 48) {
            ghemu::NtlmExpectation expected;
            expected.challenge = ghemu::base64Prefix(challenge);
            expected.user = U"u";
            expected.hashUser = U"U";
            expected.password = U"p";
            expected.workstation = U"w";
            EXPECT_EQ(ghemu::checkNtlmAuthenticate(ghemu::encodeUtf8(out.result.value.text()), expected), "");
        } else {
            EXPECT_EQ(out.result.value.textLength(), 0u);
        }
    }
}

}  // namespace
