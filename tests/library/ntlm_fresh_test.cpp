// Every NTLMv2 response of the shipped libraries is fresh: a new client
// challenge from the system's random generator each time, so that no
// response can be computed ahead or replayed.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "emulator/ntlm_check.h"
#include "tests/support/loaded.h"

namespace {

class NtlmFresh : public ghtest::EachBuild {};
GH_FOR_EACH_BUILD(NtlmFresh);

const char *kChallenge =
    "TlRMTVNTUAACAAAADAAMADAAAAAzgoriASNFZ4mrze8AAAAAAAAAACQAJAA8AAAARABPAE0AQQBJAE4AAgAMAEQAbwBtAGEAaQBu"
    "AAEADABTAGUAcgB2AGUAcgAAAAAA";

TEST_P(NtlmFresh, EveryResponseHasItsOwnClientChallenge) {
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

}  // namespace
