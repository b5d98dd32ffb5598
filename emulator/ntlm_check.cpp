// Checking an NTLM authenticate message.  The layout is written out here
// once more, on purpose, from the published protocol: the check must not
// lean on the library's own message code.
#include "emulator/ntlm_check.h"

#include <chrono>
#include <cstring>

#include "digest/md4.h"
#include "digest/md5.h"
#include "emulator/value.h"

namespace ghemu {

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The bytes of the alphabet characters up to *stop (the first other one).
Bytes decodePrefix(const std::string &text, size_t *stop) {
    Bytes out;
    uint32_t bits = 0;
    int have = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        size_t v = kAlphabet.find(text[i]);
        if (v == std::string::npos) break;
        bits = bits << 6 | static_cast<uint32_t>(v);
        have += 6;
        if (have >= 8) {
            have -= 8;
            out.push_back(static_cast<uint8_t>(bits >> have));
        }
    }
    *stop = i;
    return out;
}

// Strict: the whole text, padded, on one line.
std::optional<Bytes> decodeBase64(const std::string &text) {
    size_t stop;
    Bytes out = decodePrefix(text, &stop);
    if (text.size() % 4 != 0 || text.size() - stop > 2 || text.find_first_not_of('=', stop) != std::string::npos)
        return std::nullopt;
    return out;
}

Bytes utf16le(const std::u32string &codes) {
    Bytes out;
    auto unit = [&](uint32_t u) { out.insert(out.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)}); };
    for (char32_t c : codes) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

Bytes hmacMd5(const Bytes &key, const Bytes &text) {
    uint8_t pad[64] = {};
    std::memcpy(pad, key.data(), key.size());  // keys here are 16 bytes
    Bytes inner(pad, pad + 64), outer(pad, pad + 64);
    for (size_t i = 0; i < 64; ++i) {
        inner[i] ^= 0x36;
        outer[i] ^= 0x5C;
    }
    inner.insert(inner.end(), text.begin(), text.end());
    uint8_t digest[16];
    md5_digest(digest, inner.data(), inner.size());
    outer.insert(outer.end(), digest, digest + 16);
    md5_digest(digest, outer.data(), outer.size());
    return Bytes(digest, digest + 16);
}

uint32_t le(const Bytes &b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
    return v;
}

Bytes slice(const Bytes &b, size_t at, size_t n) {
    return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
}

// A security buffer's field; nothing when it does not lie in the message or
// its two lengths differ.
std::optional<Bytes> field(const Bytes &m, size_t at, size_t *offset = nullptr) {
    uint32_t n = le(m, at, 2), allocated = le(m, at + 2, 2), off = le(m, at + 4, 4);
    if (n != allocated || off > m.size() || n > m.size() - off) return std::nullopt;
    if (offset) *offset = off;
    return slice(m, off, n);
}

uint64_t fileTimeNow() {
    auto since1970 = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return 116444736000000000ull + static_cast<uint64_t>(since1970.count()) * 10u;
}

}  // namespace

std::vector<uint8_t> base64Prefix(const std::string &text) {
    size_t stop;
    return decodePrefix(text, &stop);
}

std::string checkNtlmAuthenticate(const std::string &base64, const NtlmExpectation &e) {
    std::optional<Bytes> decoded = decodeBase64(base64);
    if (!decoded) return "the text is not Base64 (standard alphabet, padded, one line)";
    const Bytes &m = *decoded;
    const Bytes &c = e.challenge;
    if (c.size() < 48) return "the expected challenge is shorter than 48 bytes";
    if (m.size() < 64) return "the message has " + std::to_string(m.size()) + " bytes, fewer than 64";
    static const uint8_t kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
    if (std::memcmp(m.data(), kSignature, 8) != 0 || le(m, 8, 4) != 3) return "no signature and type 3";
    if (le(m, 60, 4) != 0x201) return "flags are not 0x00000201";

    std::optional<Bytes> targetName = field(c, 12), targetInfo = field(c, 40);
    if (!targetName || !targetInfo) return "the expected challenge's fields lie outside it";
    Bytes user = utf16le(e.user), workstation = utf16le(e.workstation);
    size_t D = targetName->size(), U = user.size(), W = workstation.size(), N = 48 + targetInfo->size();

    // Each field where the layout puts it, directly after the one before.
    struct Expected { const char *name; size_t at, length, offset; } fields[] = {
        {"domain", 28, D, 64},
        {"user", 36, U, 64 + D},
        {"workstation", 44, W, 64 + D + U},
        {"LM response", 12, 24, 64 + D + U + W},
        {"NT response", 20, N, 88 + D + U + W},
        {"session key", 52, 0, 88 + D + U + W + N}};
    for (const Expected &f : fields) {
        size_t offset = 0;
        std::optional<Bytes> got = field(m, f.at, &offset);
        if (!got || got->size() != f.length || offset != f.offset) {
            return std::string(f.name) + " security buffer: length " + std::to_string(le(m, f.at, 2)) + "/" +
                   std::to_string(le(m, f.at + 2, 2)) + " at " + std::to_string(le(m, f.at + 4, 4)) +
                   ", expected " + std::to_string(f.length) + " at " + std::to_string(f.offset);
        }
    }
    if (m.size() != 88 + D + U + W + N) return "the message does not end after the NT response";
    if (*field(m, 28) != *targetName) return "the domain is not the challenge's target name as it came";
    if (*field(m, 36) != user) return "the user field is not the user name in UTF-16LE";
    if (*field(m, 44) != workstation) return "the workstation field is not the workstation name in UTF-16LE";

    Bytes lm = *field(m, 12), nt = *field(m, 20);
    Bytes blob = slice(nt, 16, N - 16), clientChallenge = slice(lm, 16, 8);
    static const uint8_t kBlobStart[8] = {1, 1, 0, 0, 0, 0, 0, 0};
    if (std::memcmp(blob.data(), kBlobStart, 8) != 0 || le(blob, 24, 4) != 0 || le(blob, blob.size() - 4, 4) != 0)
        return "the blob's fixed bytes are wrong: " + toHex(blob);
    if (slice(blob, 16, 8) != clientChallenge) return "the blob and the LM response carry different client challenges";
    if (slice(blob, 28, targetInfo->size()) != *targetInfo) return "the blob does not carry the target information unchanged";
    uint64_t time = static_cast<uint64_t>(le(blob, 12, 4)) << 32 | le(blob, 8, 4);
    if (e.time) {
        if (time != *e.time) return "the blob's time is " + std::to_string(time) + ", not " + std::to_string(*e.time);
    } else {
        uint64_t now = fileTimeNow(), hour = 36000000000ull;
        if (time + hour < now || time > now + hour) return "the blob's time " + std::to_string(time) + " is not near now";
    }

    Bytes password = utf16le(e.password);
    uint8_t ntHash[16];
    md4_digest(ntHash, password.data(), password.size());
    Bytes identity = utf16le(e.hashUser), domain = utf16le(e.hashDomain);
    identity.insert(identity.end(), domain.begin(), domain.end());
    Bytes hash = hmacMd5(Bytes(ntHash, ntHash + 16), identity);
    Bytes serverChallenge = slice(c, 24, 8);
    Bytes proofText = serverChallenge;
    proofText.insert(proofText.end(), blob.begin(), blob.end());
    if (hmacMd5(hash, proofText) != slice(nt, 0, 16)) return "the NTLMv2 proof does not match";
    Bytes challenges = serverChallenge;
    challenges.insert(challenges.end(), clientChallenge.begin(), clientChallenge.end());
    if (hmacMd5(hash, challenges) != slice(lm, 0, 16)) return "the LMv2 proof does not match";
    return "";
}

std::string describeNtlmExpectation(const NtlmExpectation &e) {
    return "an NTLM authenticate message for user \"" + encodeUtf8(e.user) + "\", hashed as \"" +
           encodeUtf8(e.hashUser) + "\" in \"" + encodeUtf8(e.hashDomain) + "\"";
}

}  // namespace ghemu
