// Catalogue cases: base64Encode (7) and base64Decode (8).  Thin adapters
// over encoding/base64.h.
#include "encoding/base64.h"
#include "functions/params.h"
#include "host/block_size.h"
#include "host/call.h"
#include "host/wrappers.h"

using params::fetch_bytes;

CaseExit case_base64Encode(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    uint32_t n;
    XPHandle *data = fetch_bytes(frame, 1, &n);
    if (!data) return EXIT_EMPTY_TEXT;
    // Sized exactly, so the block needs no shrinking afterwards.  The text is
    // written straight from the fetched block into the result block, as
    // characters of this build (the wide build's widening is done on the
    // way, with no block of bytes between).
    uint64_t length = base64_encoded_length(n);
    uint64_t size = MemBlockSize(length, sizeof(qchar));
    if (!size) return EXIT_EMPTY_TEXT;
    XPHandle *text = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    void *out = text ? LockXPHandle(*text) : nullptr;
    void *in = out ? LockXPHandle(*data) : nullptr;
    if (!in) return EXIT_EMPTY_TEXT;
    base64_encode_text(MemBlockChars(out), MemBlockBytes(in), n);
    SetMemBlockCount(out, static_cast<uint32_t>(length));
    UnlockXPHandle(*text);
    // The data is freed before the host copies the text: a large value and
    // two copies of its text are never held at once.
    ReleaseBlock(data);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, text, frame->cb);
    return EXIT_CLEANUP;
}

CaseExit case_base64Decode(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    uint32_t n;
    XPHandle *text = fetch_bytes(frame, 1, &n);
    if (!text) return EXIT_EMPTY_TEXT;
    // Room for all the text can give, so nothing is ever cut, and the NUL
    // the decoder writes after it.  The block is not shrunk to the bytes
    // decoded: the host copies only the count, and the block is freed when
    // the call ends.
    uint64_t capacity = base64_decoded_max(n);
    uint64_t size = MemBlockSize(capacity, 1, 1);
    if (!size) return EXIT_EMPTY_TEXT;
    XPHandle *data = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    void *out = data ? LockXPHandle(*data) : nullptr;
    void *in = out ? LockXPHandle(*text) : nullptr;
    if (!in) return EXIT_EMPTY_TEXT;
    size_t count = base64_decode(MemBlockBytes(out), MemBlockBytes(in), n, static_cast<size_t>(capacity));
    SetMemBlockCount(out, static_cast<uint32_t>(count));
    UnlockXPHandle(*data);
    UnlockXPHandle(*text);
    SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, data, frame->cb);
    return EXIT_CLEANUP;
}
