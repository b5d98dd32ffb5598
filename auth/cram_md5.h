// The CRAM-MD5 client response (RFC 2195): the server's Base64 challenge,
// decoded, keyed with the password through HMAC-MD5; the answer is the
// Base64 form of the user name, one space and the keyed digest in lowercase
// hexadecimal.  Pure: byte strings in, Base64 text out, nothing allocated.
#ifndef GH_CRAM_MD5_H
#define GH_CRAM_MD5_H

#include <stddef.h>
#include <stdint.h>

enum {
    CRAM_MAX_CHALLENGE_CHARS = 255,  // a longer challenge text is cut
    CRAM_MAX_DECODED = 1020,         // decoded bytes used at most
    CRAM_MAX_NAME_CHARS = 200,       // user name and password, each
    CRAM_MAX_NAME_BYTES = 4 * CRAM_MAX_NAME_CHARS,  // in UTF-8 at worst
    CRAM_MAX_RESPONSE = CRAM_MAX_NAME_BYTES + 1 + 32,
    CRAM_MAX_TEXT = (CRAM_MAX_RESPONSE + 2) / 3 * 4  // its Base64 form
};

// challenge: the Base64 text (CR and LF are removed from it in place; the
// decoding stops at the first byte outside the alphabet, so text that is
// not Base64 decodes to fewer bytes, perhaps none, and the digest is taken
// over those).  Writes the Base64 answer and a NUL to out, which has room
// for CRAM_MAX_TEXT + 1 bytes; returns its length.  user and password have
// at most CRAM_MAX_NAME_BYTES bytes (a longer user name is cut there).
size_t cram_md5_response(uint8_t *challenge, size_t challengeLength, const uint8_t *user,
                         size_t userLength, const uint8_t *password, size_t passwordLength,
                         uint8_t *out);

#endif
