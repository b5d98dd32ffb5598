// What the catalogue bindings share: fetching their parameters through the
// host's wrappers and setting their results.  For the binding files only
// (compiled once per build).
#ifndef GH_PARAMS_H
#define GH_PARAMS_H

#include <stdint.h>
#include <string.h>

#include "host/call.h"
#include "host/chars.h"
#include "host/wrappers.h"

namespace params {

// A block the host delivered into a null handle, kept in a working slot.
// Where the host delivered nothing, an empty block stands for the value, as
// an empty block offered to be filled would have: the host is asked into a
// null handle so that a call allocates no block only to have it replaced.
// Null when no block can be had.
inline XPHandle *keep_delivered(CallFrame *frame, XPHandle delivered) {
    return KeepBlock(frame, delivered ? delivered : NewEmptyMemBlock());
}

// Parameter n fetched as a block of the given type (text or binary), kept
// in a working slot (an empty block when the host delivers nothing); null
// when the host delivers a block too small to be one, or no block can be had.
inline XPHandle *fetch_block(CallFrame *frame, int n, int type) {
    XPHandle delivered = nullptr;
    if (!GetFuncParmBlock(ParamNumber(n), type, &delivered, frame->cb)) return nullptr;
    return keep_delivered(frame, delivered);
}

inline XPHandle *fetch_text_block(CallFrame *frame, int n) { return fetch_block(frame, n, HOST_TYPE_TEXT_BLOCK); }

// Parameter n as bytes (a binary value as it is, a text as the host's byte
// form) in a working slot, unlocked, and its length; null when nothing was
// delivered or the value is empty.
inline XPHandle *fetch_bytes(CallFrame *frame, int n, uint32_t *length) {
    XPHandle h = nullptr;
    bool isBinary = false;
    if (!getBinOrAsciiHandle(ParamNumber(n), &h, length, &isBinary, frame->cb)) return nullptr;
    XPHandle *slot = KeepBlock(frame, h);
    return slot && *length ? slot : nullptr;
}

// A text block locked for work: its characters and their count (never more
// than the block holds; the block's count is set to it).
struct LockedText {
    void *block;
    qchar *chars;
    uint32_t count;
};

// Locks the block in slot; false when it cannot be locked.
inline bool lock_text(XPHandle *slot, LockedText *text) {
    text->block = LockXPHandle(*slot);
    if (!text->block) return false;
    text->count = MemBlockCheckedCount(*slot, text->block, sizeof(qchar));
    SetMemBlockCount(text->block, text->count);
    text->chars = MemBlockChars(text->block);
    return true;
}

// A flag parameter: on when the low 16 bits of its integer are not zero;
// `absent` when it is not passed.
inline bool flag_param(CallFrame *frame, int n, bool absent) {
    if (frame->paramCount < n) return absent;
    return static_cast<int16_t>(GetFuncParmInt2(ParamNumber(n), frame->cb)) != 0;
}

// A bounded text parameter: at most max characters into buffer (room for
// max + 1), zero-terminated.  Returns its length, the characters before
// the first zero character.
inline size_t fetch_short_text(CallFrame *frame, int n, size_t max, qchar *buffer) {
    buffer[0] = 0;
    GetFuncParm(ParamNumber(n), HOST_TYPE_TEXT, static_cast<int32_t>(max), buffer, frame->cb);
    buffer[max] = 0;  // a host that writes max characters without the zero cannot run us off the end
    return OMstrlen(buffer);
}

// A count as the numeric result.  Counts beyond the 32-bit range (texts of
// more than two thousand million characters) are set as the exact real.
inline void set_count_result(HostCallback cb, size_t count) {
    if (count <= INT32_MAX) {
        SetFldLong(HOST_RESULT, static_cast<int32_t>(count), cb);
    } else {
        double real = static_cast<double>(count);
        SetFldVal(HOST_RESULT, HOST_TYPE_NUMBER, &real, cb);
    }
}

// A new text block holding chars[0, n), kept in a working slot and left
// unlocked; null when it cannot be had.
inline XPHandle *new_text_block(CallFrame *frame, const qchar *chars, size_t n) {
    uint64_t size = MemBlockSize(n, sizeof(qchar));
    if (!size) return nullptr;
    XPHandle *slot = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    void *p = slot ? LockXPHandle(*slot) : nullptr;
    if (!p) return nullptr;
    SetMemBlockCount(p, static_cast<uint32_t>(n));
    if (n) memcpy(MemBlockChars(p), chars, n * sizeof(qchar));
    UnlockXPHandle(*slot);
    return slot;
}

// chars[0, n) as the result: in a new text block, or the empty text when
// n is 0.  False (nothing set) when the block cannot be had.
inline bool set_text_result(CallFrame *frame, const qchar *chars, size_t n) {
    if (n == 0) {
        SetEmptyTextResult(frame->cb);
        return true;
    }
    XPHandle *slot = new_text_block(frame, chars, n);
    if (!slot) return false;
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
    return true;
}

}  // namespace params

#endif
