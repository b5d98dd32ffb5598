// The check of an NTLM authenticate message that a catalogue case expects
// (the "ntlm_authenticate" result form, tests/cases/README.md).  Such a
// message changes from call to call (a random client challenge, the time),
// so it is checked for its layout and fields, and its NTLMv2 and LMv2
// proofs are computed again from the credentials and the challenge.
#ifndef GH_EMULATOR_NTLM_CHECK_H
#define GH_EMULATOR_NTLM_CHECK_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ghemu {

struct NtlmExpectation {
    std::vector<uint8_t> challenge;   // the decoded challenge message answered
    std::u32string user, password, workstation;  // character codes as passed
    std::u32string hashUser;          // the user name as hashed (in capitals)
    std::u32string hashDomain;        // the domain as hashed
    std::optional<uint64_t> time;     // the blob's time; by default near now
};

// Empty when base64 is the Base64 form of a message that answers the
// expectation; otherwise what is wrong with it.
std::string checkNtlmAuthenticate(const std::string &base64, const NtlmExpectation &expected);

// The bytes of a Base64 text up to its first character outside the
// alphabet (padding included); line breaks are the caller's to remove.
std::vector<uint8_t> base64Prefix(const std::string &text);

// The readable form of an expectation, for reports.
std::string describeNtlmExpectation(const NtlmExpectation &expected);

}  // namespace ghemu

#endif
