// NTLMresponse through the whole call with the client challenge and time
// given by the test (gh_set_nonce_source_for_tests, which the shipped
// libraries do not export): a known answer in both builds, and no answer
// when the random generator fails.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/nonce.h"
#include "tests/support/in_process.h"

namespace {

using ghemu::Value;
using ghtest::kBuild;

// The challenge of the protocol document's NTLMv2 example with the target
// name "DOMAIN".
const char *kChallenge =
    "TlRMTVNTUAACAAAADAAMADAAAAAzgoriASNFZ4mrze8AAAAAAAAAACQAJAA8AAAARABPAE0AQQBJAE4AAgAMAEQAbwBtAGEAaQBu"
    "AAEADABTAGUAcgB2AGUAcgAAAAAA";

int exampleNonce(uint8_t clientChallenge[8], uint64_t *fileTime) {
    std::memset(clientChallenge, 0xaa, 8);
    *fileTime = 0;
    return 1;
}

int failingGenerator(uint8_t *, uint64_t *) { return 0; }

class NtlmNonce : public ::testing::Test {
protected:
    void TearDown() override { gh_set_nonce_source_for_tests(nullptr); }

    ghemu::CallOutcome respond() {
        ghemu::Session session(ghtest::inProcessLibrary());
        return session.call("NTLMresponse", {ghemu::textParam(kBuild, kChallenge), ghemu::textParam(kBuild, "User"),
                                             ghemu::textParam(kBuild, "Password"),
                                             ghemu::textParam(kBuild, "COMPUTER")});
    }
};

TEST_F(NtlmNonce, AKnownClientChallengeAndTimeGiveAKnownMessage) {
    gh_set_nonce_source_for_tests(exampleNonce);
    ghemu::CallOutcome out = respond();
    ASSERT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.result.value,
              Value::ofUtf8(kBuild,
                            "TlRMTVNTUAADAAAAGAAYAGQAAABUAFQAfAAAAAwADABAAAAACAAIAEwAAAAQABAAVAAAAAAAAADQAAAAAQIAAEQATwBNAEEA"
                            "SQBOAFUAcwBlAHIAQwBPAE0AUABVAFQARQBSAKNk6tB+h/dr7we1VdhWS7Oqqqqqqqqqqp3ud6YRWf4YfLcqcUtWTAEBAQAA"
                            "AAAAAAAAAAAAAAAAqqqqqqqqqqoAAAAAAgAMAEQAbwBtAGEAaQBuAAEADABTAGUAcgB2AGUAcgAAAAAAAAAAAA=="));
}

TEST_F(NtlmNonce, NoAnswerWhenTheRandomGeneratorFails) {
    gh_set_nonce_source_for_tests(failingGenerator);
    ghemu::CallOutcome out = respond();
    ASSERT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.result, ghemu::Result::of(HOST_TYPE_TEXT, Value::ofText(U"")));
}

}  // namespace
