// The Blowfish catalogue functions: a key per host instance, and encryption
// and decryption to and from binary or the percent text form.
//
// Results: the number 0 when a key is set; the number 1 when a function
// refuses (no key yet, no parameter, an empty key, a resize that fails); the
// empty text when the data cannot be fetched or is empty, when the text form
// cannot be allocated, and when decrypted data does not end in valid padding.
#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"
#include "functions/instance_state.h"
#include "functions/params.h"
#include "host/block_size.h"
#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"

namespace {

enum { KEY_MAX_CHARS = 255 };

// Key material left on the stack is cleared before the frame is given up.
void wipe(void *p, size_t n) {
    volatile unsigned char *v = static_cast<volatile unsigned char *>(p);
    for (size_t i = 0; i < n; ++i) v[i] = 0;
}

bool mayRun(const CallFrame *frame) {
    return frame->paramCount >= 1 && frame->instance->keySet;
}

CaseExit encrypt(CallFrame *frame, bool toText) {
    frame->resultStatus = 1;
    if (!mayRun(frame)) return EXIT_STATUS;
    uint32_t n = 0;
    XPHandle *slot = params::fetch_bytes(frame, 1, &n);
    if (!slot) return EXIT_EMPTY_TEXT;

    // Room for the padding; a value so long that it would not fit a count
    // is refused like a resize that fails.  Its text form, three characters
    // a byte, must fit a host text too: one that cannot is refused like a
    // text form that cannot be allocated, before any work is done.
    uint64_t padded = blowfish_padded_length(n);
    uint64_t blockSize = MemBlockSize(padded, 1);
    if (!blockSize) return EXIT_STATUS;
    if (toText && !FitsHostCount(blowfish_text_length(padded))) return EXIT_EMPTY_TEXT;
    if (ResizeXPHandle(slot, static_cast<size_t>(blockSize)) != 0) return EXIT_STATUS;
    void *p = LockXPHandle(*slot);
    if (!p || MemBlockCount(p) != n) return EXIT_STATUS;

    uint8_t *bytes = MemBlockBytes(p);
    blowfish_pad(bytes, n);
    blowfish_ecb_encrypt(&frame->instance->schedule, bytes, static_cast<size_t>(padded / BLOWFISH_BLOCK));
    SetMemBlockCount(p, static_cast<uint32_t>(padded));

    if (!toText) {
        UnlockXPHandle(*slot);
        SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, slot, frame->cb);
        return EXIT_CLEANUP;
    }
    // The text of a short value (most of them) is made on the stack.
    size_t textSize = blowfish_text_size(static_cast<size_t>(padded));
    uint8_t small[256];
    uint8_t *text = !textSize                 ? nullptr
                    : textSize <= sizeof small ? small
                                               : static_cast<uint8_t *>(NewXPPointer(textSize));
    if (!text) return EXIT_EMPTY_TEXT;
    blowfish_text_encode(bytes, static_cast<size_t>(padded), text);
    UnlockXPHandle(*slot);
    setStringField(HOST_RESULT, text, frame->cb);
    if (text != small) DisposeXPPointer(text);
    return EXIT_CLEANUP;
}

// Decrypted data whose last byte cannot be a pad length (0, above 8, or
// above the length: a wrong key or damaged data) is refused with the empty
// text, rather than shortened by a made-up amount.  Whole 8-byte blocks are
// decrypted; bytes after the last whole block stay as they are.
CaseExit decrypt(CallFrame *frame, bool fromText) {
    frame->resultStatus = 1;
    if (!mayRun(frame)) return EXIT_STATUS;
    uint32_t n = 0;
    XPHandle *slot = params::fetch_bytes(frame, 1, &n);
    void *p = slot ? LockXPHandle(*slot) : nullptr;
    if (!p) return EXIT_EMPTY_TEXT;

    uint8_t *bytes = MemBlockBytes(p);
    size_t count = fromText ? blowfish_text_decode(bytes, n) : n;
    blowfish_ecb_decrypt(&frame->instance->schedule, bytes, count / BLOWFISH_BLOCK);
    size_t plain = 0;
    if (!blowfish_unpadded_length(bytes, count, &plain)) return EXIT_EMPTY_TEXT;
    SetMemBlockCount(p, static_cast<uint32_t>(plain));
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, slot, frame->cb);
    return EXIT_CLEANUP;
}

}  // namespace

// The key: parameter 1 as text of at most 255 characters, each narrowed to
// its low 8 bits.  Only its first 72 bytes can take effect.  A call without
// a parameter or with an empty key keeps the key in force.
CaseExit case_blowfishContext(CallFrame *frame) {
    frame->resultStatus = 1;
    if (frame->paramCount < 1) return EXIT_STATUS;
    qchar key[KEY_MAX_CHARS + 2];
    size_t length = params::fetch_short_text(frame, 1, KEY_MAX_CHARS, key);
    if (length == 0) return EXIT_STATUS;

    uint8_t bytes[KEY_MAX_CHARS + 1];
    CHRtruncateQcharStringToAscii(key, bytes, true);
    blowfish_init(&frame->instance->schedule, bytes, length);
    frame->instance->keySet = 1;
    wipe(key, sizeof key);
    wipe(bytes, sizeof bytes);
    frame->resultStatus = 0;
    return EXIT_STATUS;
}

CaseExit case_blowfishEncryptToBin(CallFrame *frame) { return encrypt(frame, false); }
CaseExit case_blowfishEncryptToText(CallFrame *frame) { return encrypt(frame, true); }
CaseExit case_blowfishDecryptBin(CallFrame *frame) { return decrypt(frame, false); }
CaseExit case_blowfishDecryptText(CallFrame *frame) { return decrypt(frame, true); }
