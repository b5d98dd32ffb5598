// Catalogue cases: wrapLinesWith (29) and setLinebreaks (30).  Thin adapters
// over text/lines.h.
//
// The output is never cut: setLinebreaks reserves exactly the characters
// its result needs; wrapLinesWith reserves an estimate and grows the block
// (doubling it) whenever a line would not fit.  A block that cannot be had
// or grown gives the empty text, as does a failed final shrink of
// wrapLinesWith's block.  Lines may be of any length.
#include "functions/params.h"
#include "text/lines.h"

using namespace params;

namespace {

enum { LINE_TEXT_MAX = 3, LINE_SIZE_MIN = 10, LINE_BREAK_WRITTEN = 2 };

// A new output block of room characters, locked, in a working slot; its
// characters, or null (also when no block can hold room characters).
qchar *newOutputBlock(CallFrame *frame, uint64_t room, XPHandle **slot) {
    uint64_t size = MemBlockSize(room, sizeof(qchar));
    if (!size) return nullptr;
    *slot = KeepBlock(frame, NewXPHandle(static_cast<int64_t>(size)));
    void *p = *slot ? LockXPHandle(**slot) : nullptr;
    return p ? MemBlockChars(p) : nullptr;
}

// TextSink::grow for an output block in the working slot `context`: twice
// the room (or as much as a block can hold), or just what is needed when
// that cannot be had.  False when what is needed passes what a block can
// hold: the result could not be handed to the host.
bool growBlock(TextSink<qchar> *sink, size_t more, void *context) {
    auto *slot = static_cast<XPHandle *>(context);
    uint64_t need = static_cast<uint64_t>(sink->used) + more;
    uint64_t grown = GrownBlockCount(sink->room, need, MemBlockMaxCount(sizeof(qchar)));
    if (!grown) return false;
    UnlockXPHandle(*slot);
    const uint64_t tries[2] = {grown, need};
    for (uint64_t room : tries) {
        if (ResizeXPHandle(slot, static_cast<size_t>(MemBlockSize(room, sizeof(qchar)))) != 0) continue;
        void *p = LockXPHandle(*slot);
        if (!p) return false;
        sink->data = MemBlockChars(p);
        sink->room = static_cast<size_t>(room);
        return true;
    }
    return false;
}

// Parameter 1, the text, as the host delivers it; null when there is none
// or it is empty.
bool fetchLineText(CallFrame *frame, XPHandle **slot, LockedText *text) {
    XPHandle h = nullptr;
    GetFuncParmBlock(ParamNumber(1), HOST_TYPE_TEXT_BLOCK, &h, frame->cb);
    *slot = KeepBlock(frame, h);
    return *slot && lock_text(*slot, text) && text->count > 0;
}

// Sets the output of sink, in the block in slot, as the result.
void setOutputResult(CallFrame *frame, XPHandle *slot, const TextSink<qchar> &sink) {
    SetMemBlockCount(reinterpret_cast<unsigned char *>(sink.data) - MEMBLOCK_HEADER, static_cast<uint32_t>(sink.used));
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
}

// A line break of one character never makes the text longer than one
// character more, so the result is made in the text's own block, grown by
// that character when it has no room for it: no second block of the text's
// size is needed.  False, with the text unlocked (text->block null), when
// the block cannot be grown; the caller then makes a new one.
bool setLinebreaksInPlace(CallFrame *frame, XPHandle *slot, LockedText &text, qchar lineBreak) {
    // A count one past what a block can say goes the counted way below.
    if (static_cast<uint64_t>(text.count) + 1 > UINT32_MAX) return false;
    uint64_t need = MEMBLOCK_HEADER + (static_cast<uint64_t>(text.count) + 1) * sizeof(qchar);
    if (need > SIZE_MAX) return false;
    UnlockXPHandle(*slot);
    text.block = nullptr;
    if (GetXPHandleSize(*slot) < need && ResizeXPHandle(slot, static_cast<size_t>(need)) != 0) return false;
    void *p = LockXPHandle(*slot);
    if (!p) return false;
    size_t length = set_linebreaks_in_place(MemBlockChars(p), text.count, lineBreak);
    SetMemBlockCount(p, static_cast<uint32_t>(length));
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
    return true;
}

}  // namespace

// wrapLinesWith(text, linestart, linebreak, linesize): every line of at most
// linesize characters, linestart included; linestart and linebreak hold up
// to 3 characters, of linebreak the first two are written.
CaseExit case_wrapLinesWith(CallFrame *frame) {
    if (frame->paramCount < 4) return EXIT_EMPTY_TEXT;
    XPHandle *textSlot;
    LockedText text;
    if (!fetchLineText(frame, &textSlot, &text)) return EXIT_EMPTY_TEXT;
    qchar lineStart[LINE_TEXT_MAX + 1], lineBreak[LINE_TEXT_MAX + 1];
    size_t startLength = fetch_short_text(frame, 2, LINE_TEXT_MAX, lineStart);
    size_t breakLength = fetch_short_text(frame, 3, LINE_TEXT_MAX, lineBreak);
    if (breakLength == 0) return EXIT_EMPTY_TEXT;
    if (breakLength > LINE_BREAK_WRITTEN) breakLength = LINE_BREAK_WRITTEN;
    auto lineSize = static_cast<int16_t>(GetFuncParmInt2(ParamNumber(4), frame->cb));
    if (lineSize < LINE_SIZE_MIN) return EXIT_EMPTY_TEXT;

    // Room for the text and a prefix and line break every 16 characters, or
    // as much as a block can hold; more is added if the lines turn out
    // shorter.
    uint64_t n = text.count;
    uint64_t estimate = n + (startLength + breakLength) * (n / 16 + 2);
    uint64_t most = MemBlockMaxCount(sizeof(qchar));
    if (estimate > most) estimate = most;
    XPHandle *outSlot;
    qchar *out = newOutputBlock(frame, estimate, &outSlot);
    if (!out) return EXIT_EMPTY_TEXT;
    TextSink<qchar> sink = {out, 0, static_cast<size_t>(estimate), growBlock, outSlot};
    if (!wrap_lines(text.chars, text.count, lineStart, startLength, lineBreak, breakLength,
                    static_cast<size_t>(lineSize), &sink)) {
        return EXIT_EMPTY_TEXT;
    }
    auto size = static_cast<size_t>(MemBlockSize(sink.used, sizeof(qchar)));  // within the block: fits
    SetMemBlockCount(reinterpret_cast<unsigned char *>(sink.data) - MEMBLOCK_HEADER, static_cast<uint32_t>(sink.used));
    UnlockXPHandle(*outSlot);
    if (TrimXPHandle(outSlot, size) != 0) return EXIT_EMPTY_TEXT;
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, outSlot, frame->cb);
    return EXIT_CLEANUP;
}

// setLinebreaks(text, linebreak): every line break of the text's own form
// replaced by linebreak (its first two characters), and one added after a
// last line without one.  A text whose form is linebreak already comes back
// as it is; with a line break of one character the result is made in the
// text's block.
CaseExit case_setLinebreaks(CallFrame *frame) {
    if (frame->paramCount < 2) return EXIT_EMPTY_TEXT;
    XPHandle *textSlot;
    LockedText text;
    if (!fetchLineText(frame, &textSlot, &text)) return EXIT_EMPTY_TEXT;
    qchar lineBreak[LINE_TEXT_MAX + 1];
    size_t breakLength = fetch_short_text(frame, 2, LINE_TEXT_MAX, lineBreak);
    if (breakLength == 0) return EXIT_EMPTY_TEXT;
    if (linebreaks_match(text.chars, text.count, lineBreak, breakLength)) {
        UnlockXPHandle(*textSlot);
        SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, textSlot, frame->cb);
        return EXIT_CLEANUP;
    }
    if (breakLength > LINE_BREAK_WRITTEN) breakLength = LINE_BREAK_WRITTEN;
    if (breakLength == 1 && setLinebreaksInPlace(frame, textSlot, text, lineBreak[0])) return EXIT_CLEANUP;
    if (!text.block && !lock_text(textSlot, &text)) return EXIT_EMPTY_TEXT;

    // Counted in 64 bits: a result past what a block can hold (2^32 - 1
    // characters, or a 32-bit address space) gives the empty text.
    uint64_t length = set_linebreaks_length(text.chars, text.count, breakLength);
    XPHandle *outSlot;
    qchar *out = newOutputBlock(frame, length, &outSlot);
    if (!out) return EXIT_EMPTY_TEXT;
    TextSink<qchar> sink = {out, 0, static_cast<size_t>(length), nullptr, nullptr};
    if (!set_linebreaks(text.chars, text.count, lineBreak, breakLength, &sink)) return EXIT_EMPTY_TEXT;
    setOutputResult(frame, outSlot, sink);
    return EXIT_CLEANUP;
}
