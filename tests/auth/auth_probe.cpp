// Answers requests on standard input with the pure functions of auth/hmac.h
// and ntlm.h, one line each, for cross_check.py:
//
//   hmac KEY TEXT                             -> HMAC-MD5, hexadecimal
//   ntlm CHALLENGE USER PASSWORD WORKSTATION CLIENT_CHALLENGE TIME
//                                             -> the authenticate message, or "none"
//
// KEY, TEXT, CHALLENGE (the decoded challenge message), CLIENT_CHALLENGE:
// hexadecimal, "-" for nothing.  Names: code points in hexadecimal separated
// by commas, "-" for none.  TIME: a decimal FILETIME.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "auth/hmac.h"
#include "auth/ntlm.h"
#include "tests/support/hex.h"

namespace {

using testhex::hex;

std::vector<uint8_t> bytes(const std::string &hex) {
    std::vector<uint8_t> out;
    if (hex == "-") return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<uint32_t> codes(const std::string &list) {
    std::vector<uint32_t> out;
    if (list == "-") return out;
    std::stringstream in(list);
    std::string one;
    while (std::getline(in, one, ',')) out.push_back(static_cast<uint32_t>(std::stoul(one, nullptr, 16)));
    return out;
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::stringstream in(line);
        std::string what;
        in >> what;
        if (what == "hmac") {
            std::string key, text;
            in >> key >> text;
            std::vector<uint8_t> k = bytes(key), t = bytes(text);
            uint8_t out[16];
            hmac_compute(&kMd5Hash, out, k.data(), k.size(), t.data(), t.size());
            std::cout << hex(out, 16) << "\n";
        } else if (what == "ntlm") {
            std::string challenge, user, password, workstation, clientChallenge;
            uint64_t time = 0;
            in >> challenge >> user >> password >> workstation >> clientChallenge >> time;
            std::vector<uint8_t> message = bytes(challenge), cc = bytes(clientChallenge);
            std::vector<uint32_t> u = codes(user), p = codes(password), w = codes(workstation);
            NtlmChallenge c;
            NtlmCredentials creds = {u.data(), u.size(), p.data(), p.size(), w.data(), w.size()};
            size_t length = 0;
            if (cc.size() == 8 && ntlm_read_challenge(message.data(), message.size(), &c))
                length = ntlm_authenticate_length(&c, &creds);
            if (!length) {
                std::cout << "none\n";
                continue;
            }
            std::vector<uint8_t> out(length);
            ntlm_authenticate(&c, &creds, cc.data(), time, out.data());
            std::cout << hex(out.data(), out.size()) << "\n";
        } else {
            std::cerr << "unknown request: " << line << "\n";
            return 2;
        }
    }
    return 0;
}
