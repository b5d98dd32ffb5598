// Catalogue cases: hexEncode (5), hexDecode (6), binaryToHex (31),
// hexToBinary (32).  Thin adapters over encoding/percent.h and hex.h.
#include <string.h>

#include "encoding/hex.h"
#include "encoding/percent.h"
#include "functions/params.h"
#include "host/block_size.h"
#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"

using params::fetch_block;
using params::flag_param;

namespace {

// Trims the text block in *slot to count characters (TrimXPHandle) and sets
// it as the result.  A block that cannot be cut gives the empty text:
// setting nothing would leave the host showing whatever the result held
// before as this call's result.
CaseExit setShrunkText(CallFrame *frame, XPHandle *slot, size_t count) {
    size_t size = MEMBLOCK_HEADER + count * sizeof(qchar);
    if (TrimXPHandle(slot, size)) return EXIT_EMPTY_TEXT;
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
    return EXIT_CLEANUP;
}

}  // namespace

CaseExit case_hexEncode(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *text = fetch_block(frame, 1, HOST_TYPE_TEXT_BLOCK);
    if (!text) return EXIT_EMPTY_TEXT;
    bool addLinefeeds = flag_param(frame, 2, false);
    void *p = LockXPHandle(*text);
    if (!p) return EXIT_EMPTY_TEXT;
    uint32_t n = MemBlockCheckedCount(*text, p, sizeof(qchar));

    if (n == 1) {
        // A single character is always escaped, whatever it is.
        qchar c = MemBlockChars(p)[0];
        qchar escape[7] = {'%', c, 0, '%', '0', 'a', 0};
        byte_to_hex_in_place(escape + 1);
        if (!(addLinefeeds && c == '\r')) escape[3] = 0;  // a CR gains its LF: %0d%0a
        UnlockXPHandle(*text);
        SetFldVal(HOST_RESULT, HOST_TYPE_TEXT, escape, frame->cb);
        return EXIT_CLEANUP;
    }
    UnlockXPHandle(*text);

    // Room for three characters each; the input moves to the last third and
    // is escaped from there into the front.
    uint64_t size = MemBlockSize(percent_encoded_room(n), sizeof(qchar));
    if (!size || ResizeXPHandle(text, static_cast<size_t>(size))) return EXIT_EMPTY_TEXT;
    p = LockXPHandle(*text);
    if (!p) return EXIT_EMPTY_TEXT;
    qchar *chars = MemBlockChars(p);
    if (n) memmove(chars + 2 * static_cast<size_t>(n), chars, n * sizeof(qchar));
    size_t count = percent_encode(chars + 2 * static_cast<size_t>(n), n, chars, addLinefeeds);
    SetMemBlockCount(p, static_cast<uint32_t>(count));
    UnlockXPHandle(*text);
    return setShrunkText(frame, text, count);
}

CaseExit case_hexDecode(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *text = fetch_block(frame, 1, HOST_TYPE_TEXT_BLOCK);
    if (!text) return EXIT_EMPTY_TEXT;
    bool saveLinefeeds = flag_param(frame, 2, false);
    void *p = LockXPHandle(*text);
    if (!p) return EXIT_EMPTY_TEXT;
    uint32_t n = MemBlockCheckedCount(*text, p, sizeof(qchar));
    size_t count = percent_decode(MemBlockChars(p), n, saveLinefeeds);
    SetMemBlockCount(p, static_cast<uint32_t>(count));
    UnlockXPHandle(*text);
    return setShrunkText(frame, text, count);
}

CaseExit case_binaryToHex(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *data = fetch_block(frame, 1, HOST_TYPE_BINARY_BLOCK);
    if (!data) return EXIT_EMPTY_TEXT;
    void *in = LockXPHandle(*data);
    if (!in) return EXIT_EMPTY_TEXT;
    uint32_t n = MemBlockCheckedCount(*data, in, 1);
    // The digits are written straight as characters: no widening step.
    uint64_t digits = hex_text_length(n);
    uint64_t size = MemBlockSize(digits, sizeof(qchar));
    if (!size) return EXIT_EMPTY_TEXT;
    XPHandle *hex = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    void *out = hex ? LockXPHandle(*hex) : nullptr;
    if (!out) return EXIT_EMPTY_TEXT;
    SetMemBlockCount(out, static_cast<uint32_t>(digits));
    hex_encode_lower_chars(MemBlockBytes(in), n, MemBlockChars(out));
    UnlockXPHandle(*hex);
    UnlockXPHandle(*data);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, hex, frame->cb);
    return EXIT_CLEANUP;
}

CaseExit case_hexToBinary(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *text = fetch_block(frame, 1, HOST_TYPE_TEXT_BLOCK);
    if (!text || !convertQHStrToAsciiHStr(text)) return EXIT_EMPTY_TEXT;
    void *in = LockXPHandle(*text);
    if (!in) return EXIT_EMPTY_TEXT;
    uint32_t n = MemBlockCheckedCount(*text, in, 1);
    XPHandle *data = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(MemBlockSize(n / 2, 1))));
    void *out = data ? LockXPHandle(*data) : nullptr;
    if (!out) return EXIT_EMPTY_TEXT;
    SetMemBlockCount(out, static_cast<uint32_t>(hex_decode_pairs(MemBlockBytes(in), n, MemBlockBytes(out))));
    UnlockXPHandle(*data);
    UnlockXPHandle(*text);
    SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, data, frame->cb);
    return EXIT_CLEANUP;
}
