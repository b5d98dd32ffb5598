// The CRAM-MD5 client response (RFC 2195).
#include "auth/cram_md5.h"

#include <string.h>

#include "auth/hmac.h"
#include "digest/digest_util.h"
#include "encoding/base64.h"

size_t cram_md5_response(uint8_t *challenge, size_t challengeLength, const uint8_t *user,
                         size_t userLength, const uint8_t *password, size_t passwordLength,
                         uint8_t *out) {
    uint8_t decoded[CRAM_MAX_DECODED + 1];
    size_t n = base64_decode(decoded, challenge, challengeLength, CRAM_MAX_DECODED);
    uint8_t digest[HMAC_MD5_LENGTH];
    hmac_compute(&kMd5Hash, digest, password, passwordLength, decoded, n);

    if (userLength > CRAM_MAX_NAME_BYTES) userLength = CRAM_MAX_NAME_BYTES;
    uint8_t response[CRAM_MAX_RESPONSE];
    if (userLength) memcpy(response, user, userLength);
    size_t at = userLength;
    response[at++] = ' ';
    static const char kDigits[] = "0123456789abcdef";
    for (uint8_t b : digest) {
        response[at++] = static_cast<uint8_t>(kDigits[b >> 4]);
        response[at++] = static_cast<uint8_t>(kDigits[b & 15]);
    }
    digest_detail::wipe(digest, sizeof digest);
    return base64_encode(out, response, at);
}
