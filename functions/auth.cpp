// The catalogue functions makeCRAMresponse (10), NTLMchallenge (34) and
// NTLMresponse (35): fetch, call the pure code of cram_md5.h and ntlm.h,
// set the Base64 text.  Every failure gives the empty text.
//
// Names and passwords arrive as host text.  In the byte build their bytes
// are used as they are (each byte is the character U+0000..U+00FF).  In the
// wide build:
//   - NTLM sends every name as UTF-16LE, characters above U+FFFF as
//     surrogate pairs; a character above 0x10FFFF has no such form and gives
//     the empty text.
//   - CRAM-MD5 sends a name or password whose characters all lie up to
//     U+00FF one byte a character (stored passwords rely on it), and any
//     other as UTF-8 (a surrogate or a code above 0x10FFFF: empty text).
// The Base64 challenges are taken a byte a character (each character's low
// 8 bits, up to the first whose low 8 bits are zero), as they always were:
// a server sends them in ASCII, so only a character above U+00FF that no
// server sends reads as another one (U+0150 as 'P').
//
// Limits: the CRAM-MD5 challenge is cut to 255 characters, its user name
// and password to 200 characters each.  NTLM user name, password and
// workstation name may have up to 256 characters each; a longer one gives
// the empty text rather than a response that cannot succeed.  The NTLM
// challenge may be of any length; one whose answer would need a field over
// 65535 bytes gives the empty text.
//
// Everything lives in the call: calls on different instances may overlap.
// The password's copies on the stack are wiped before the call returns.
#include <string.h>

#include "auth/auth_text.h"
#include "auth/cram_md5.h"
#include "auth/ntlm.h"
#include "digest/digest_util.h"
#include "encoding/base64.h"
#include "functions/params.h"
#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"
#include "platform/nonce.h"

using digest_detail::wipe;
using params::fetch_short_text;

namespace {

// A host text as code points: the wide build's characters are; the byte
// build's bytes are widened into room.
struct CodePoints {
    qchar chars[NTLM_MAX_NAME_CHARS + 2];
#if !GH_WIDE
    uint32_t widened[NTLM_MAX_NAME_CHARS + 1];
#endif
    size_t length;

    const uint32_t *points() {
#if GH_WIDE
        return chars;
#else
        for (size_t i = 0; i < length; ++i) widened[i] = chars[i];
        return widened;
#endif
    }
    void wipeAll() { wipe(this, sizeof *this); }
};

// Fetches parameter n, a name of up to max characters; false when it is
// empty or, with refuseLonger, longer than max (it is fetched with one
// character more to see that).
bool fetchName(CallFrame *frame, int n, size_t max, bool refuseLonger, CodePoints *out) {
    size_t bound = refuseLonger ? max + 1 : max;
    out->length = fetch_short_text(frame, n, bound, out->chars);
    return out->length > 0 && out->length <= max;
}

// The characters of a text block, narrowed in place to their low 8 bits up
// to the first whose low 8 bits are zero; returns the bytes kept.  Byte i
// overwrites part of character i / 4, which has been read by then.
size_t narrowBlockInPlace(void *locked, uint32_t count) {
    const qchar *chars = MemBlockChars(locked);
    uint8_t *bytes = MemBlockBytes(locked);
    size_t i = 0;
    for (; i < count; ++i) {
        uint8_t b = static_cast<uint8_t>(chars[i]);
        if (!b) break;
        bytes[i] = b;
    }
    return i;
}

}  // namespace

CaseExit case_makeCRAMresponse(CallFrame *frame) {
    if (frame->paramCount < 3) return EXIT_EMPTY_TEXT;
    HostCallback cb = frame->cb;
    qchar challengeChars[CRAM_MAX_CHALLENGE_CHARS + 1];
    if (!fetch_short_text(frame, 1, CRAM_MAX_CHALLENGE_CHARS, challengeChars)) return EXIT_EMPTY_TEXT;
    uint8_t challenge[CRAM_MAX_CHALLENGE_CHARS + 1];
    CHRtruncateQcharStringToAscii(challengeChars, challenge, true);

    CodePoints user, password;
    uint8_t userBytes[CRAM_MAX_NAME_BYTES], passwordBytes[CRAM_MAX_NAME_BYTES];
    uint8_t text[CRAM_MAX_TEXT + 1];
    bool ok = fetchName(frame, 2, CRAM_MAX_NAME_CHARS, false, &user) &&
              fetchName(frame, 3, CRAM_MAX_NAME_CHARS, false, &password);
    size_t userLength = ok ? cram_text_bytes(user.points(), user.length, userBytes) : AUTH_TEXT_NO_FORM;
    size_t passwordLength =
        userLength != AUTH_TEXT_NO_FORM ? cram_text_bytes(password.points(), password.length, passwordBytes)
                                        : AUTH_TEXT_NO_FORM;
    ok = passwordLength != AUTH_TEXT_NO_FORM;
    if (ok) {
        cram_md5_response(challenge, strlen(reinterpret_cast<const char *>(challenge)), userBytes, userLength,
                          passwordBytes, passwordLength, text);
    }
    password.wipeAll();
    wipe(passwordBytes, sizeof passwordBytes);
    if (!ok) return EXIT_EMPTY_TEXT;
    setStringField(HOST_RESULT, text, cb);
    return EXIT_CLEANUP;
}

CaseExit case_NTLMchallenge(CallFrame *frame) {
    uint8_t message[NTLM_NEGOTIATE_LENGTH];
    ntlm_negotiate(message);
    uint8_t text[(NTLM_NEGOTIATE_LENGTH + 2) / 3 * 4 + 1];
    base64_encode(text, message, sizeof message);
    setStringField(HOST_RESULT, text, frame->cb);
    return EXIT_CLEANUP;
}

namespace {

// The Type 3 message answering the decoded challenge, as Base64 text on
// the result.
CaseExit answerChallenge(CallFrame *frame, const uint8_t *decoded, size_t decodedLength,
                         const NtlmCredentials *credentials) {
    NtlmChallenge challenge;
    if (!ntlm_read_challenge(decoded, decodedLength, &challenge)) return EXIT_EMPTY_TEXT;
    size_t length = ntlm_authenticate_length(&challenge, credentials);
    uint8_t clientChallenge[NTLM_CHALLENGE_BYTES];
    uint64_t fileTime;
    if (!length || !gh_fresh_nonce(clientChallenge, &fileTime)) return EXIT_EMPTY_TEXT;

    XPHandle *message = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(length)));
    uint8_t *bytes = message ? static_cast<uint8_t *>(LockXPHandle(*message)) : nullptr;
    if (!bytes) return EXIT_EMPTY_TEXT;
    ntlm_authenticate(&challenge, credentials, clientChallenge, fileTime, bytes);

    // A message is at most a few hundred KiB (its fields' lengths are 16-bit),
    // so its text always fits a block; the size is computed as for any block.
    uint64_t textLength = base64_encoded_length(length);
    uint64_t textSize = MemBlockSize(textLength, sizeof(qchar));
    XPHandle *text = textSize ? KeepBlock(frame, NewXPHandle(static_cast<int64_t>(textSize))) : nullptr;
    void *out = text ? LockXPHandle(*text) : nullptr;
    if (!out) return EXIT_EMPTY_TEXT;
    base64_encode_text(MemBlockChars(out), bytes, length);
    SetMemBlockCount(out, static_cast<uint32_t>(textLength));
    UnlockXPHandle(*text);
    ReleaseBlock(message);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, text, frame->cb);
    return EXIT_CLEANUP;
}

// The names fetched, the challenge block decoded, then the answer.
CaseExit respond(CallFrame *frame, XPHandle *challenge, CodePoints *user, CodePoints *password,
                 CodePoints *workstation) {
    if (!fetchName(frame, 2, NTLM_MAX_NAME_CHARS, true, user) ||
        !fetchName(frame, 3, NTLM_MAX_NAME_CHARS, true, password) ||
        !fetchName(frame, 4, NTLM_MAX_NAME_CHARS, true, workstation))
        return EXIT_EMPTY_TEXT;

    void *locked = LockXPHandle(*challenge);
    if (!locked) return EXIT_EMPTY_TEXT;
    size_t textLength = narrowBlockInPlace(locked, MemBlockCheckedCount(*challenge, locked, sizeof(qchar)));
    uint64_t capacity = base64_decoded_max(textLength);
    XPHandle *decoded = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(capacity + 1)));
    uint8_t *bytes = decoded ? static_cast<uint8_t *>(LockXPHandle(*decoded)) : nullptr;
    if (!bytes) return EXIT_EMPTY_TEXT;
    size_t decodedLength = base64_decode(bytes, MemBlockBytes(locked), textLength, static_cast<size_t>(capacity));
    ReleaseBlock(challenge);

    NtlmCredentials credentials = {user->points(),     user->length,           password->points(),
                                   password->length,   workstation->points(), workstation->length};
    return answerChallenge(frame, bytes, decodedLength, &credentials);
}

}  // namespace

CaseExit case_NTLMresponse(CallFrame *frame) {
    if (frame->paramCount < 4) return EXIT_EMPTY_TEXT;
    XPHandle *challenge = params::fetch_text_block(frame, 1);
    if (!challenge) return EXIT_EMPTY_TEXT;
    CodePoints user, password, workstation;
    CaseExit exit = respond(frame, challenge, &user, &password, &workstation);
    password.wipeAll();
    return exit;
}
