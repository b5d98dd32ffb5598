// The NTLM authenticate message builder fed any decoded challenge message.
//
// Input: a control byte, then the challenge message.  Control bit 0 writes
// a valid signature and type 2 over the first 12 bytes (so that the fields
// behind them are reached at once); bits 1-3 choose the credentials.  The
// message is copied to a heap buffer of exactly its size, the answer is
// written to one of exactly its announced size: AddressSanitizer sees any
// byte read or written outside them.
//
// Checks: the challenge is accepted exactly when a plain reading of its
// fields says so; the answer's fields are where its security buffers say,
// the domain is the target name as it came, the blob carries the target
// information unchanged, the server's timestamp when it has one, and the
// client challenge given.
#include <cstdint>
#include <cstring>
#include <vector>

#include "auth/ntlm.h"
#include "fuzz/fuzz_input.h"

namespace {

uint32_t le(const uint8_t *p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

// The rule, read plainly: 48 bytes, signature, type 2, both fields inside.
bool acceptable(const uint8_t *m, size_t n) {
    if (n < 48 || std::memcmp(m, "NTLMSSP", 8) != 0 || le(m + 8, 4) != 2) return false;
    for (size_t at : {12u, 40u}) {
        uint64_t length = le(m + at, 2), offset = le(m + at + 4, 4);
        if (length && offset + length > n) return false;
    }
    return true;
}

const uint8_t kClientChallenge[8] = {1, 2, 3, 4, 5, 6, 7, 8};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    uint8_t control = in.byte();
    size_t n;
    const uint8_t *rest = in.rest(&n);
    std::vector<uint8_t> message(rest, rest + n);
    if (control & 1 && n >= 12) std::memcpy(message.data(), "NTLMSSP\0\2\0\0\0", 12);

    // Exactly the message's bytes on the heap.
    uint8_t *m = new uint8_t[n ? n : 1];
    if (n) std::memcpy(m, message.data(), n);

    // Users of 1, 2, 3 and 3 code points, 2, 4, 8 and 8 bytes in UTF-16.
    static const uint32_t kUsers[][3] = {{'u', 0, 0}, {0xFC, 'r', 0}, {0x10428, 0xD800, 'x'}, {'A', 'b', 0x1F600}};
    static const size_t kUserCodes[] = {1, 2, 3, 3}, kUserBytes[] = {2, 4, 8, 8};
    const uint32_t *user = kUsers[control >> 1 & 3];
    size_t userLength = kUserCodes[control >> 1 & 3];
    const uint32_t password[] = {'p', 0xE9, 0x20AC}, workstation[] = {'W', 'S'};
    NtlmCredentials credentials = {user, userLength, password, control & 8 ? 3u : 1u, workstation, 2};

    NtlmChallenge c;
    bool ok = ntlm_read_challenge(m, n, &c);
    GH_FUZZ_CHECK(ok == acceptable(m, n));
    if (ok) {
        GH_FUZZ_CHECK(c.targetName >= m && c.targetName + c.targetNameLength <= m + n);
        GH_FUZZ_CHECK(c.targetInfo >= m && c.targetInfo + c.targetInfoLength <= m + n);
        size_t length = ntlm_authenticate_length(&c, &credentials);
        GH_FUZZ_CHECK(length == 64 + c.targetNameLength + kUserBytes[control >> 1 & 3] + 4 + 24 + 48 + c.targetInfoLength);
        uint8_t *out = new uint8_t[length];
        GH_FUZZ_CHECK(ntlm_authenticate(&c, &credentials, kClientChallenge, 42, out) == length);
        uint32_t domainLength = le(out + 28, 2), domainAt = le(out + 32, 4);
        GH_FUZZ_CHECK(domainLength == c.targetNameLength && domainAt == 64);
        GH_FUZZ_CHECK(std::memcmp(out + 64, c.targetName, domainLength) == 0);
        uint32_t ntLength = le(out + 20, 2), ntAt = le(out + 24, 4), lmAt = le(out + 16, 4);
        GH_FUZZ_CHECK(ntAt + ntLength == length && lmAt + 24 == ntAt);
        GH_FUZZ_CHECK(std::memcmp(out + lmAt + 16, kClientChallenge, 8) == 0);
        const uint8_t *blob = out + ntAt + 16;
        GH_FUZZ_CHECK(std::memcmp(blob + 16, kClientChallenge, 8) == 0);
        GH_FUZZ_CHECK(std::memcmp(blob + 28, c.targetInfo, c.targetInfoLength) == 0);
        uint64_t serverTime = 0, time = static_cast<uint64_t>(le(blob + 12, 4)) << 32 | le(blob + 8, 4);
        bool stamped = ntlm_target_timestamp(c.targetInfo, c.targetInfoLength, &serverTime);
        GH_FUZZ_CHECK(time == (stamped ? serverTime : 42));
        delete[] out;
    }
    delete[] m;
    return 0;
}
