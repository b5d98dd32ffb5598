// The binary utilities: XORbytes, wrapBinary, longAt, shortAt and crc16.
#include <string.h>

#include "encoding/binary_utils.h"
#include "encoding/crc16.h"
#include "functions/params.h"
#include "host/block_size.h"
#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"

namespace {

// Parameter n fetched as a text or binary block into a working slot; null
// when the host delivers nothing.
XPHandle *fetchBlock(CallFrame *frame, int n, int type) {
    XPHandle h = nullptr;
    GetFuncParmBlock(ParamNumber(n), type, &h, frame->cb);
    return KeepBlock(frame, h);
}

// Reads a signed integer of `width` bytes from parameter 1 at the offset in
// parameter 2, big-endian unless parameter 3 says little-endian.  The index
// is accepted only when all its bytes lie within the value, so nothing after
// the data is ever read.  A binary value is read as its bytes, a text as the
// low 8 bits of its characters (all of them, zero characters included: a
// copy that stopped at the first zero would leave the bytes after it
// undefined).
bool integerAt(CallFrame *frame, size_t width, uint32_t *value) {
    if (frame->paramCount < 2) return false;
    int32_t index = GetFuncParmInt2(ParamNumber(2), frame->cb);
    bool littleEndian = params::flag_param(frame, 3, false);
    int16_t field = GetParamFieldNumber(ParamNumber(1), frame->cb);
    int kind = field < 0 ? HOST_KIND_BINARY_15 : FieldKind(field, frame->cb);
    bool binary = kind == HOST_KIND_BINARY_15 || kind == HOST_KIND_BINARY_14;
    XPHandle *slot = fetchBlock(frame, 1, binary ? HOST_TYPE_BINARY_BLOCK : HOST_TYPE_TEXT_BLOCK);
    void *p = slot ? LockXPHandle(*slot) : nullptr;
    if (!p) return false;
    size_t elementSize = binary ? 1 : sizeof(qchar);
    uint32_t length = MemBlockCheckedCount(*slot, p, elementSize);
    if (!integer_in_range(length, index, width)) return false;

    uint8_t bytes[4];
    if (binary) {
        memcpy(bytes, MemBlockBytes(p) + index, width);
    } else {
        const qchar *chars = MemBlockChars(p) + index;
        for (size_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(chars[i]);
    }
    *value = load_integer(bytes, width, littleEndian);
    return true;
}

}  // namespace

// XOR of all characters of a text as a one-character text.  An empty text,
// or characters that cancel out, give the empty text (the character 0 would
// end the text anyway).
CaseExit case_XORbytes(CallFrame *frame) {
    XPHandle *slot = params::fetch_block(frame, 1, HOST_TYPE_TEXT_BLOCK);
    void *p = slot ? LockXPHandle(*slot) : nullptr;
    if (!p) return EXIT_EMPTY_TEXT;
    qchar result[2] = {xor_fold(MemBlockChars(p), MemBlockCheckedCount(*slot, p, sizeof(qchar))), 0};
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT, result, frame->cb);
    return EXIT_CLEANUP;
}

// prefixText, binField, suffixText: the binary value between the bytes of
// the two texts.  With both texts empty the binary value comes back as it
// is; with an empty binary value the result is the text prefix + suffix.
CaseExit case_wrapBinary(CallFrame *frame) {
    if (frame->paramCount < 3) return EXIT_EMPTY_TEXT;
    XPHandle *prefix = params::fetch_block(frame, 1, HOST_TYPE_TEXT_BLOCK);
    XPHandle *binary = params::fetch_block(frame, 2, HOST_TYPE_BINARY_BLOCK);
    XPHandle *suffix = params::fetch_block(frame, 3, HOST_TYPE_TEXT_BLOCK);
    if (!prefix || !binary || !suffix) return EXIT_EMPTY_TEXT;

    void *pp = LockXPHandle(*prefix);
    void *bp = LockXPHandle(*binary);
    void *sp = LockXPHandle(*suffix);
    if (!pp || !bp || !sp) return EXIT_EMPTY_TEXT;
    uint64_t p = MemBlockCheckedCount(*prefix, pp, sizeof(qchar));
    uint64_t b = MemBlockCheckedCount(*binary, bp, 1);
    uint64_t s = MemBlockCheckedCount(*suffix, sp, sizeof(qchar));
    // From here on the counts can be trusted, also by the host when the
    // binary block goes back to it as it is.
    SetMemBlockCount(pp, static_cast<uint32_t>(p));
    SetMemBlockCount(bp, static_cast<uint32_t>(b));
    SetMemBlockCount(sp, static_cast<uint32_t>(s));
    UnlockXPHandle(*prefix);
    UnlockXPHandle(*binary);
    UnlockXPHandle(*suffix);

    if (p == 0 && s == 0) {
        SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, binary, frame->cb);
        return EXIT_CLEANUP;
    }
    if (b == 0) {
        // A text: the suffix's characters after the prefix's.
        uint64_t size = MemBlockSize(p + s, sizeof(qchar));
        if (!size || ResizeXPHandle(prefix, static_cast<size_t>(size)) != 0) return EXIT_EMPTY_TEXT;
        pp = LockXPHandle(*prefix);
        sp = LockXPHandle(*suffix);
        if (!pp || !sp) return EXIT_EMPTY_TEXT;
        memcpy(MemBlockChars(pp) + p, MemBlockChars(sp), static_cast<size_t>(s) * sizeof(qchar));
        SetMemBlockCount(pp, static_cast<uint32_t>(p + s));
        UnlockXPHandle(*prefix);
        SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, prefix, frame->cb);
        return EXIT_CLEANUP;
    }
    // Binary: the texts' byte forms around the bytes.
    if (!convertQHStrToAsciiHStr(prefix) || !convertQHStrToAsciiHStr(suffix)) return EXIT_EMPTY_TEXT;
    pp = LockXPHandle(*prefix);
    sp = LockXPHandle(*suffix);
    if (!pp || !sp) return EXIT_EMPTY_TEXT;
    uint64_t pb = MemBlockCheckedCount(*prefix, pp, 1);
    uint64_t sb = MemBlockCheckedCount(*suffix, sp, 1);
    uint64_t total = pb + b + sb;
    uint64_t size = MemBlockSize(total, 1);
    if (!size || ResizeXPHandle(binary, static_cast<size_t>(size)) != 0) return EXIT_EMPTY_TEXT;
    bp = LockXPHandle(*binary);
    if (!bp) return EXIT_EMPTY_TEXT;
    wrap_bytes(MemBlockBytes(bp), static_cast<size_t>(b), MemBlockBytes(pp), static_cast<size_t>(pb),
               MemBlockBytes(sp), static_cast<size_t>(sb));
    SetMemBlockCount(bp, static_cast<uint32_t>(total));
    UnlockXPHandle(*binary);
    SetFldVal(HOST_RESULT, HOST_TYPE_BINARY_BLOCK, binary, frame->cb);
    return EXIT_CLEANUP;
}

CaseExit case_longAt(CallFrame *frame) {
    uint32_t value = 0;
    if (!integerAt(frame, 4, &value)) return EXIT_EMPTY_TEXT;
    SetFldLong(HOST_RESULT, static_cast<int32_t>(value), frame->cb);
    return EXIT_CLEANUP;
}

CaseExit case_shortAt(CallFrame *frame) {
    uint32_t value = 0;
    if (!integerAt(frame, 2, &value)) return EXIT_EMPTY_TEXT;
    SetFldInt(HOST_RESULT, static_cast<int16_t>(value), frame->cb);
    return EXIT_CLEANUP;
}

// CRC-16 of a value's bytes (a text's byte form): XMODEM, or X-25 when a
// second parameter is passed and non-zero in its low 16 bits.  -1 when there
// is no parameter or the value has fewer than 2 bytes.
CaseExit case_crc16(CallFrame *frame) {
    frame->resultStatus = -1;
    if (frame->paramCount < 1) return EXIT_STATUS;
    XPHandle h = nullptr;
    uint32_t n = 0;
    bool isBinary = false;
    if (!getBinOrAsciiHandle(ParamNumber(1), &h, &n, &isBinary, frame->cb)) return EXIT_STATUS;
    XPHandle *slot = KeepBlock(frame, h);
    if (!slot || n == 0) return EXIT_STATUS;
    int16_t variant = frame->paramCount >= 2
                          ? static_cast<int16_t>(GetFuncParmInt2(ParamNumber(2), frame->cb))
                          : 0;
    void *p = LockXPHandle(*slot);
    if (!p || n < 2) return EXIT_STATUS;
    const uint8_t *bytes = MemBlockBytes(p);
    uint16_t crc = variant == 0 ? crc16_xmodem(bytes, n, 0) : crc16_x25(bytes, n);
    SetFldLong(HOST_RESULT, crc, frame->cb);
    return EXIT_CLEANUP;
}
