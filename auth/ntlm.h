// NTLM client messages with NTLMv2 and LMv2 responses (the published NTLM
// protocol, MS-NLMP): the fixed negotiate message (Type 1), the reading of a
// server's challenge message (Type 2) and the authenticate message (Type 3)
// that answers it.  Pure: byte spans and code points in, bytes out, nothing
// allocated, nothing kept.  Integers in the messages are little-endian; a
// security buffer is 16-bit length, 16-bit allocated length, 32-bit offset.
//
// There is no domain parameter: the target name of the challenge serves as
// the domain, in the authenticate message and in the NTLMv2 hash.
#ifndef GH_NTLM_H
#define GH_NTLM_H

#include <stddef.h>
#include <stdint.h>

enum {
    NTLM_NEGOTIATE_LENGTH = 32,
    NTLM_CHALLENGE_MIN_LENGTH = 48,   // the challenge fields read end there
    NTLM_AUTHENTICATE_HEADER = 64,    // the payload starts there
    NTLM_CHALLENGE_BYTES = 8,         // server and client challenges
    NTLM_LM_RESPONSE_LENGTH = 24,     // LMv2 proof + client challenge
    NTLM_PROOF_LENGTH = 16,           // NTProofStr, LMv2 proof, hashes
    NTLM_BLOB_FIXED = 32,             // the blob less the target information
    NTLM_MAX_FIELD = 65535,           // what a 16-bit length can say
    NTLM_MAX_NAME_CHARS = 256         // user, password, workstation, each
};

// Writes the negotiate message: signature, type 1, flags 0x00088205
// (UNICODE, REQUEST_TARGET, NTLM, ALWAYS_SIGN, EXTENDED_SESSIONSECURITY),
// empty domain and workstation.
void ntlm_negotiate(uint8_t out[NTLM_NEGOTIATE_LENGTH]);

enum : uint32_t { NTLM_NEGOTIATE_UNICODE = 0x00000001u };

// What an answer uses of a challenge message; the pointers point into it.
struct NtlmChallenge {
    const uint8_t *targetName;
    size_t targetNameLength;
    uint32_t flags;                  // the negotiate flags
    const uint8_t *serverChallenge;  // 8 bytes
    const uint8_t *targetInfo;
    size_t targetInfoLength;
};

// Reads a decoded challenge message of `length` bytes.  False unless it has
// at least 48 bytes, the signature, the type 2, and target name and target
// information buffers that lie wholly inside it (an empty one may point
// anywhere).  Nothing outside the message is read, whatever its fields say.
bool ntlm_read_challenge(const uint8_t *message, size_t length, NtlmChallenge *out);

// The server's time (MsvAvTimestamp, AV pair 7 of 8 bytes) when its target
// information carries one before the list's end.
bool ntlm_target_timestamp(const uint8_t *info, size_t length, uint64_t *fileTime);

// The credentials as code points: the wide build's characters, or the byte
// build's bytes as U+0000..U+00FF.  All three go on the wire as UTF-16LE.
struct NtlmCredentials {
    const uint32_t *user;
    size_t userLength;
    const uint32_t *password;
    size_t passwordLength;
    const uint32_t *workstation;
    size_t workstationLength;
};

// The pieces, under their names in the protocol document.  Each returns
// false when a code point has no UTF-16 form (above 0x10FFFF).
//   NTOWFv1: MD4 of the UTF-16LE password.
bool ntlm_nt_hash(const uint32_t *password, size_t n, uint8_t out[16]);
//   NTOWFv2: HMAC-MD5 keyed with the NT hash over the user name in capitals
//   (the Unicode simple uppercase mapping) in UTF-16LE, followed by the
//   domain as given (UTF-16LE bytes).
bool ntowfv2(const uint8_t ntHash[16], const uint32_t *user, size_t userLength, const uint8_t *domain,
             size_t domainLength, uint8_t out[16]);
//   The NTLMv2 hash of a response: NTOWFv2 with the target name in
//   capitals as the domain.  The name is UTF-16LE when utf16 is set (see
//   ntlm_target_name_is_utf16), otherwise 8-bit text whose bytes are the
//   characters U+0000..U+00FF.  Each character is replaced by its simple
//   uppercase capital, as the user name is (a-z as A-Z, but also the Greek,
//   Cyrillic or Latin letters beyond ASCII); a surrogate pair is one
//   character, a lone surrogate unit stays as it is, and a last odd byte of
//   a UTF-16 name is kept as it is (a-z in capitals).
bool ntlmv2_hash(const uint8_t ntHash[16], const uint32_t *user, size_t userLength,
                 const uint8_t *targetName, size_t targetNameLength, bool utf16, uint8_t out[16]);
//   How the target name of a challenge is text: UTF-16LE when the server
//   says NEGOTIATE_UNICODE and the name has an even length (as a server
//   answering the negotiate message, which asks for Unicode, sends it);
//   otherwise UTF-16LE when it holds a zero byte, 8-bit text when it has
//   none.  Without the flag the zero bytes are all there is to go by; with
//   it, a name with no zero byte at all (Greek, Cyrillic or CJK letters
//   only) is still UTF-16.
bool ntlm_target_name_is_utf16(const NtlmChallenge *challenge);
//   The blob (NTLMv2 client challenge structure): 01 01 00 00, 4 zero
//   bytes, the time, the client challenge, 4 zero bytes, the target
//   information unchanged, 4 zero bytes.  out has room for 32 + infoLength.
void ntlmv2_blob(uint64_t fileTime, const uint8_t clientChallenge[8], const uint8_t *info,
                 size_t infoLength, uint8_t *out);
//   NTProofStr: HMAC-MD5 keyed with the NTLMv2 hash over the server
//   challenge and the blob.  The NT response is it followed by the blob.
void ntlmv2_proof(const uint8_t hash[16], const uint8_t serverChallenge[8], const uint8_t *blob,
                  size_t blobLength, uint8_t out[16]);
//   LMv2: HMAC-MD5 keyed with the NTLMv2 hash over the server and the client
//   challenge, followed by the client challenge.
void lmv2_response(const uint8_t hash[16], const uint8_t serverChallenge[8],
                   const uint8_t clientChallenge[8], uint8_t out[24]);

// The length of the authenticate message answering `challenge`, or 0 when
// there can be none: a code point without a UTF-16 form, or a field longer
// than 65535 bytes (the target name, the user or workstation name in
// UTF-16, or the NT response, 48 bytes more than the target information).
size_t ntlm_authenticate_length(const NtlmChallenge *challenge, const NtlmCredentials *credentials);

// Writes the authenticate message (ntlm_authenticate_length() bytes) and
// returns its length (0, writing nothing, when there can be none):
//
//   0  signature "NTLMSSP\0", type 3
//  12  LM response      24, 24, at 64 + D + U + W
//  20  NT response      N, N, at 88 + D + U + W
//  28  domain           D, D, at 64: the target name as the challenge carried it
//  36  user             U, U, at 64 + D: UTF-16LE, as given (not in capitals)
//  44  workstation      W, W, at 64 + D + U: UTF-16LE
//  52  session key      0, 0, at the end of the message
//  60  flags 0x00000201 (UNICODE, NTLM), then the payload in that order.
//
// clientChallenge and fileTime make the response fresh: the caller gives 8
// random bytes and the current time as a FILETIME (100 ns units since
// 1601-01-01 UTC).  When the target information carries the server's time,
// the blob carries that instead of fileTime.
size_t ntlm_authenticate(const NtlmChallenge *challenge, const NtlmCredentials *credentials,
                         const uint8_t clientChallenge[8], uint64_t fileTime, uint8_t *out);

#endif
