// NTLM negotiate, challenge and authenticate messages (NTLMv2, LMv2).
#include "auth/ntlm.h"

#include <string.h>

#include "auth/auth_text.h"
#include "auth/hmac.h"
#include "auth/unicode_upper.h"
#include "digest/digest_util.h"
#include "digest/md4.h"

using digest_detail::load_le16;
using digest_detail::load_le32;
using digest_detail::load_le64;
using digest_detail::store_le16;
using digest_detail::store_le32;
using digest_detail::store_le64;
using digest_detail::wipe;

namespace {

const uint8_t kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};

// Code points taken per round when a name is hashed piece by piece: their
// UTF-16 form fits the chunk.
enum { CHUNK_CHARS = 16, CHUNK_BYTES = 4 * CHUNK_CHARS };

void writeSecurityBuffer(uint8_t *at, size_t length, size_t offset) {
    store_le16(at, length);
    store_le16(at + 2, length);
    store_le32(at + 4, static_cast<uint32_t>(offset));
}

// A security buffer of the challenge: its field must lie in the message.
bool readSecurityBuffer(const uint8_t *message, size_t length, size_t at, const uint8_t **field,
                        size_t *fieldLength) {
    size_t n = load_le16(message + at);
    size_t offset = load_le32(message + at + 4);
    if (n == 0) {
        *field = message;  // an empty field points nowhere in particular
        *fieldLength = 0;
        return true;
    }
    if (offset > length || n > length - offset) return false;
    *field = message + offset;
    *fieldLength = n;
    return true;
}

// Feeds the UTF-16LE form of code points to a digest, a chunk at a time.
template <class Feed>
void feedUtf16(const uint32_t *chars, size_t n, bool upper, Feed feed) {
    uint8_t chunk[CHUNK_BYTES];
    for (size_t i = 0; i < n; i += CHUNK_CHARS) {
        size_t k = n - i < CHUNK_CHARS ? n - i : static_cast<size_t>(CHUNK_CHARS);
        feed(chunk, utf16le_encode(chars + i, k, chunk, upper));
    }
    wipe(chunk, sizeof chunk);
}

}  // namespace

void ntlm_negotiate(uint8_t out[NTLM_NEGOTIATE_LENGTH]) {
    memset(out, 0, NTLM_NEGOTIATE_LENGTH);
    memcpy(out, kSignature, sizeof kSignature);
    store_le32(out + 8, 1);
    store_le32(out + 12, 0x00088205u);
}

bool ntlm_read_challenge(const uint8_t *message, size_t length, NtlmChallenge *out) {
    if (!message || length < NTLM_CHALLENGE_MIN_LENGTH) return false;
    if (memcmp(message, kSignature, sizeof kSignature) != 0 || load_le32(message + 8) != 2) return false;
    if (!readSecurityBuffer(message, length, 12, &out->targetName, &out->targetNameLength)) return false;
    if (!readSecurityBuffer(message, length, 40, &out->targetInfo, &out->targetInfoLength)) return false;
    out->flags = load_le32(message + 20);
    out->serverChallenge = message + 24;
    return true;
}

bool ntlm_target_timestamp(const uint8_t *info, size_t length, uint64_t *fileTime) {
    enum { AV_EOL = 0, AV_TIMESTAMP = 7 };
    size_t at = 0;
    while (length - at >= 4) {
        uint16_t id = load_le16(info + at);
        size_t n = load_le16(info + at + 2);
        at += 4;
        if (id == AV_EOL || n > length - at) return false;
        if (id == AV_TIMESTAMP && n == 8) {
            *fileTime = load_le64(info + at);
            return true;
        }
        at += n;
    }
    return false;
}

bool ntlm_nt_hash(const uint32_t *password, size_t n, uint8_t out[16]) {
    if (utf16le_length(password, n) == AUTH_TEXT_NO_FORM) return false;
    Md4Context ctx;
    md4_init(&ctx);
    feedUtf16(password, n, false, [&](const uint8_t *p, size_t k) { md4_update(&ctx, p, k); });
    md4_final(&ctx, out);
    return true;
}

namespace {

// Feeds the target name in capitals, as UTF-16LE, to a digest a chunk at a
// time: a UTF-16 name character by character (a surrogate pair as one), an
// 8-bit one byte by byte, each byte a character U+0000..U+00FF.
template <class Feed>
void feedTargetNameCapitals(const uint8_t *name, size_t n, bool utf16, Feed feed) {
    uint8_t chunk[CHUNK_BYTES];
    size_t used = 0;
    auto put = [&](uint32_t unit) {
        store_le16(chunk + used, unit);
        used += 2;
        if (used == CHUNK_BYTES) {
            feed(chunk, used);
            used = 0;
        }
    };
    if (!utf16) {
        for (size_t i = 0; i < n; ++i) put(unicode_simple_upper(name[i]));
    } else {
        size_t i = 0;
        for (; n - i >= 2; i += 2) {
            uint32_t unit = load_le16(name + i);
            uint32_t low = n - i >= 4 ? load_le16(name + i + 2) : 0;
            if (unit >= 0xD800 && unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                // A capital beyond the basic plane stays beyond it.
                uint32_t v = unicode_simple_upper(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)) - 0x10000;
                put(0xD800 + (v >> 10));
                put(0xDC00 + (v & 0x3FF));
                i += 2;
            } else {
                put(unicode_simple_upper(unit));  // a lone surrogate has no capital
            }
        }
        if (i < n) {  // half a unit: kept as it came, a-z in capitals
            uint8_t b = name[i];
            chunk[used++] = b >= 'a' && b <= 'z' ? static_cast<uint8_t>(b & 0xDF) : b;
        }
    }
    feed(chunk, used);
}

// HMAC-MD5 keyed with the NT hash over the user name in capitals, then the
// domain.  targetName: the domain is a target name to put in capitals.
bool identityHash(const uint8_t ntHash[16], const uint32_t *user, size_t userLength, const uint8_t *domain,
                  size_t domainLength, bool targetName, bool utf16, uint8_t out[16]) {
    if (utf16le_length(user, userLength) == AUTH_TEXT_NO_FORM) return false;
    HmacContext ctx;
    hmac_init(&ctx, &kMd5Hash, ntHash, 16);
    feedUtf16(user, userLength, true, [&](const uint8_t *p, size_t k) { hmac_update(&ctx, p, k); });
    if (!targetName) {
        hmac_update(&ctx, domain, domainLength);
    } else {
        feedTargetNameCapitals(domain, domainLength, utf16,
                               [&](const uint8_t *p, size_t k) { hmac_update(&ctx, p, k); });
    }
    hmac_final(&ctx, out);
    return true;
}

}  // namespace

bool ntowfv2(const uint8_t ntHash[16], const uint32_t *user, size_t userLength, const uint8_t *domain,
             size_t domainLength, uint8_t out[16]) {
    return identityHash(ntHash, user, userLength, domain, domainLength, false, false, out);
}

bool ntlmv2_hash(const uint8_t ntHash[16], const uint32_t *user, size_t userLength,
                 const uint8_t *targetName, size_t targetNameLength, bool utf16, uint8_t out[16]) {
    return identityHash(ntHash, user, userLength, targetName, targetNameLength, true, utf16, out);
}

bool ntlm_target_name_is_utf16(const NtlmChallenge *challenge) {
    size_t n = challenge->targetNameLength;
    if (challenge->flags & NTLM_NEGOTIATE_UNICODE && n % 2 == 0) return true;
    return n != 0 && memchr(challenge->targetName, 0, n) != nullptr;
}

void ntlmv2_blob(uint64_t fileTime, const uint8_t clientChallenge[8], const uint8_t *info,
                 size_t infoLength, uint8_t *out) {
    static const uint8_t kHeader[8] = {1, 1, 0, 0, 0, 0, 0, 0};
    memcpy(out, kHeader, sizeof kHeader);
    store_le64(out + 8, fileTime);
    memcpy(out + 16, clientChallenge, NTLM_CHALLENGE_BYTES);
    store_le32(out + 24, 0);
    if (infoLength) memcpy(out + 28, info, infoLength);
    store_le32(out + 28 + infoLength, 0);
}

void ntlmv2_proof(const uint8_t hash[16], const uint8_t serverChallenge[8], const uint8_t *blob,
                  size_t blobLength, uint8_t out[16]) {
    HmacContext ctx;
    hmac_init(&ctx, &kMd5Hash, hash, 16);
    hmac_update(&ctx, serverChallenge, NTLM_CHALLENGE_BYTES);
    hmac_update(&ctx, blob, blobLength);
    hmac_final(&ctx, out);
}

void lmv2_response(const uint8_t hash[16], const uint8_t serverChallenge[8],
                   const uint8_t clientChallenge[8], uint8_t out[24]) {
    uint8_t challenges[2 * NTLM_CHALLENGE_BYTES];
    memcpy(challenges, serverChallenge, NTLM_CHALLENGE_BYTES);
    memcpy(challenges + NTLM_CHALLENGE_BYTES, clientChallenge, NTLM_CHALLENGE_BYTES);
    hmac_compute(&kMd5Hash, out, hash, 16, challenges, sizeof challenges);
    memcpy(out + NTLM_PROOF_LENGTH, clientChallenge, NTLM_CHALLENGE_BYTES);
}

size_t ntlm_authenticate_length(const NtlmChallenge *challenge, const NtlmCredentials *credentials) {
    size_t user = utf16le_length(credentials->user, credentials->userLength);
    size_t workstation = utf16le_length(credentials->workstation, credentials->workstationLength);
    size_t password = utf16le_length(credentials->password, credentials->passwordLength);
    if (user == AUTH_TEXT_NO_FORM || workstation == AUTH_TEXT_NO_FORM || password == AUTH_TEXT_NO_FORM) return 0;
    size_t domain = challenge->targetNameLength;
    size_t ntResponse = NTLM_PROOF_LENGTH + NTLM_BLOB_FIXED + challenge->targetInfoLength;
    if (domain > NTLM_MAX_FIELD || user > NTLM_MAX_FIELD || workstation > NTLM_MAX_FIELD ||
        challenge->targetInfoLength > NTLM_MAX_FIELD || ntResponse > NTLM_MAX_FIELD)
        return 0;
    return NTLM_AUTHENTICATE_HEADER + domain + user + workstation + NTLM_LM_RESPONSE_LENGTH + ntResponse;
}

size_t ntlm_authenticate(const NtlmChallenge *challenge, const NtlmCredentials *credentials,
                         const uint8_t clientChallenge[8], uint64_t fileTime, uint8_t *out) {
    size_t total = ntlm_authenticate_length(challenge, credentials);
    if (total == 0) return 0;
    const size_t domainLength = challenge->targetNameLength;
    const size_t userAt = NTLM_AUTHENTICATE_HEADER + domainLength;
    const size_t userLength = utf16le_length(credentials->user, credentials->userLength);
    const size_t workstationAt = userAt + userLength;
    const size_t workstationLength = utf16le_length(credentials->workstation, credentials->workstationLength);
    const size_t lmAt = workstationAt + workstationLength;
    const size_t ntAt = lmAt + NTLM_LM_RESPONSE_LENGTH;
    const size_t blobLength = NTLM_BLOB_FIXED + challenge->targetInfoLength;

    memcpy(out, kSignature, sizeof kSignature);
    store_le32(out + 8, 3);
    writeSecurityBuffer(out + 12, NTLM_LM_RESPONSE_LENGTH, lmAt);
    writeSecurityBuffer(out + 20, NTLM_PROOF_LENGTH + blobLength, ntAt);
    writeSecurityBuffer(out + 28, domainLength, NTLM_AUTHENTICATE_HEADER);
    writeSecurityBuffer(out + 36, userLength, userAt);
    writeSecurityBuffer(out + 44, workstationLength, workstationAt);
    writeSecurityBuffer(out + 52, 0, total);
    store_le32(out + 60, 0x00000201u);
    if (domainLength) memcpy(out + NTLM_AUTHENTICATE_HEADER, challenge->targetName, domainLength);
    utf16le_encode(credentials->user, credentials->userLength, out + userAt, false);
    utf16le_encode(credentials->workstation, credentials->workstationLength, out + workstationAt, false);

    uint8_t ntHash[16], hash[16];
    ntlm_nt_hash(credentials->password, credentials->passwordLength, ntHash);
    ntlmv2_hash(ntHash, credentials->user, credentials->userLength, challenge->targetName, domainLength,
                ntlm_target_name_is_utf16(challenge), hash);
    uint64_t serverTime;
    if (ntlm_target_timestamp(challenge->targetInfo, challenge->targetInfoLength, &serverTime)) fileTime = serverTime;
    uint8_t *blob = out + ntAt + NTLM_PROOF_LENGTH;
    ntlmv2_blob(fileTime, clientChallenge, challenge->targetInfo, challenge->targetInfoLength, blob);
    ntlmv2_proof(hash, challenge->serverChallenge, blob, blobLength, out + ntAt);
    lmv2_response(hash, challenge->serverChallenge, clientChallenge, out + lmAt);
    wipe(ntHash, sizeof ntHash);
    wipe(hash, sizeof hash);
    return total;
}
