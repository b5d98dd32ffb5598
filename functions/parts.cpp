// Catalogue cases: splitstring (1), indexedPart (24), indexOfPart (25).
// Thin adapters over text/parts.h.
//
// splitstring('textFieldName', tokenText [,partNumber [,quoteAware]]) takes
// the first part off the text of the named field: the part is the result,
// and the field keeps what follows the delimiter (or empties when there is
// no delimiter).  With a part number other than 0 it returns that part and
// leaves the field alone.  The part number is the whole 32-bit integer, so
// every number indexOfPart reports selects that part again; a negative
// number selects no part (the empty text).  Three parameters with part
// number 0 give the empty text.  A flag is on when the low 16 bits of its
// integer are not 0.
//
// Once the first part has been set as the result, the field always receives
// the rest: the field's own block, its characters moved to the front, is
// handed back, even when it cannot be made smaller (its count is right
// either way).  A list item is therefore never returned twice.
//
// A part that is only a quote character at the end of the text (a field
// holding just ‹"› with quotes respected, or ‹a,"› asked for part 2) is
// returned as that one character: a quote cannot be both the opening and
// the closing quote of its part, so the part is an unclosed quoted part,
// which is returned as it stands.
#include "functions/params.h"
#include "text/parts.h"

using namespace params;

namespace {

enum { FIELD_NAME_MAX = 127, PART_TEXT_MAX = 255 };

// Part `number` (1 and up) of the text, or not found for a number below 1.
PartFound numberedPart(const PartDelimiter<qchar> &delimiter, const LockedText &text, int32_t number) {
    if (number < 1) return PartFound{};
    return nth_part(delimiter, text.chars, text.count, static_cast<size_t>(number));
}

// The delimiter (parameter 3, quote-aware when parameter 4 says so) made
// ready in *delimiter over token, which must outlive it, and the source text
// (parameter 2) locked in *text; false when a text is missing or empty.
bool fetchDelimitedText(CallFrame *frame, qchar token[PART_DELIMITER_MAX + 1], PartDelimiter<qchar> *delimiter,
                        LockedText *text) {
    bool quoteAware = flag_param(frame, 4, false);
    size_t tokenLength = fetch_short_text(frame, 3, PART_DELIMITER_MAX, token);
    if (tokenLength == 0) return false;
    // The text's block tells its length: no callback asks it first.
    XPHandle *slot = fetch_text_block(frame, 2);
    if (!slot || !lock_text(slot, text) || text->count == 0) return false;
    part_delimiter_init(delimiter, token, tokenLength, quoteAware);
    return true;
}

// Split-off mode on the field's text, locked in `text`, its block in slot.
CaseExit splitOff(CallFrame *frame, int16_t field, XPHandle *slot, LockedText text,
                  const PartDelimiter<qchar> &delimiter) {
    HostCallback cb = frame->cb;
    qchar *s = text.chars;
    size_t n = text.count;
    PartCut cut = part_cut(delimiter, s, n, 0);
    if (cut.ended && cut.next <= n) {
        if (!set_text_result(frame, s + cut.valueStart, cut.valueLength)) return EXIT_EMPTY_TEXT;  // field untouched
        size_t rest = n - cut.next;
        memmove(s, s + cut.next, rest * sizeof(qchar));
        SetMemBlockCount(text.block, static_cast<uint32_t>(rest));
        UnlockXPHandle(*slot);
        auto size = static_cast<size_t>(MemBlockSize(rest, sizeof(qchar)));  // within the block: fits
        TrimXPHandle(slot, size);  // a failure leaves it larger, still right
        SetFldVal(field, HOST_TYPE_TEXT_BLOCK, slot, cb);
        return EXIT_CLEANUP;
    }
    // No delimiter ends the first part: all of it (without its quotes when
    // it is enclosed) is the result, made in the field's block, and the field
    // empties.
    memmove(s, s + cut.valueStart, cut.valueLength * sizeof(qchar));
    SetMemBlockCount(text.block, static_cast<uint32_t>(cut.valueLength));
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, cb);
    qchar empty[1] = {0};
    SetFldVal(field, HOST_TYPE_TEXT, empty, cb);
    return EXIT_CLEANUP;
}

}  // namespace

CaseExit case_splitstring(CallFrame *frame) {
    HostCallback cb = frame->cb;
    if (frame->paramCount < 2) return EXIT_EMPTY_TEXT;
    qchar name[FIELD_NAME_MAX + 1];
    if (!fetch_short_text(frame, 1, FIELD_NAME_MAX, name)) return EXIT_EMPTY_TEXT;
    auto field = static_cast<int16_t>(GetFldRef(name, cb));
    if (field == 0) return EXIT_EMPTY_TEXT;
    qchar token[PART_DELIMITER_MAX + 1];
    size_t tokenLength = fetch_short_text(frame, 2, PART_DELIMITER_MAX, token);
    if (tokenLength == 0) return EXIT_EMPTY_TEXT;
    int32_t number = 0;
    if (frame->paramCount >= 3) number = GetFuncParmInt2(ParamNumber(3), cb);
    if (frame->paramCount == 3 && number == 0) return EXIT_EMPTY_TEXT;
    bool quoteAware = flag_param(frame, 4, false);

    // The field's block tells its length: no callback asks it first.
    XPHandle delivered = nullptr;
    GetFldVal(field, HOST_TYPE_TEXT_BLOCK, 0, &delivered, cb);
    XPHandle *slot = keep_delivered(frame, delivered);
    if (!slot) return EXIT_EMPTY_TEXT;
    LockedText text;
    if (GetXPHandleSize(*slot) < MEMBLOCK_HEADER || !lock_text(slot, &text) || text.count == 0)
        return EXIT_EMPTY_TEXT;

    PartDelimiter<qchar> delimiter;
    part_delimiter_init(&delimiter, token, tokenLength, quoteAware);
    if (number == 0) return splitOff(frame, field, slot, text, delimiter);
    PartFound part = numberedPart(delimiter, text, number);
    if (!part.found || !set_text_result(frame, text.chars + part.start, part.length)) return EXIT_EMPTY_TEXT;
    return EXIT_CLEANUP;
}

// indexedPart(partNumber, sourceText, delimText [,quoteAware]): part N of
// the text, as splitstring's part mode gives it (N as a whole 32-bit
// integer: 0 and negative numbers give the empty text).  Any failure, a failed
// allocation of the part's block included, gives the empty text.
CaseExit case_indexedPart(CallFrame *frame) {
    if (frame->paramCount < 3) return EXIT_EMPTY_TEXT;
    int32_t number = GetFuncParmInt2(ParamNumber(1), frame->cb);
    if (number < 1) return EXIT_EMPTY_TEXT;
    qchar token[PART_DELIMITER_MAX + 1];
    PartDelimiter<qchar> delimiter;
    LockedText text;
    if (!fetchDelimitedText(frame, token, &delimiter, &text)) return EXIT_EMPTY_TEXT;
    PartFound part = numberedPart(delimiter, text, number);
    if (!part.found || !set_text_result(frame, text.chars + part.start, part.length)) return EXIT_EMPTY_TEXT;
    return EXIT_CLEANUP;
}

// indexOfPart(partText, sourceText, delimText [,quoteAware]): the number of
// the first part equal to partText (at most 255 characters), counted
// without limit; 0 when there is none and for every failure.
CaseExit case_indexOfPart(CallFrame *frame) {
    frame->resultStatus = 0;
    if (frame->paramCount < 3) return EXIT_STATUS;
    qchar partText[PART_TEXT_MAX + 1];
    size_t partLength = fetch_short_text(frame, 1, PART_TEXT_MAX, partText);
    if (partLength == 0) return EXIT_STATUS;
    qchar token[PART_DELIMITER_MAX + 1];
    PartDelimiter<qchar> delimiter;
    LockedText text;
    if (!fetchDelimitedText(frame, token, &delimiter, &text)) return EXIT_STATUS;
    size_t index = index_of_part(delimiter, text.chars, text.count, partText, partLength);
    if (index == 0) return EXIT_STATUS;
    set_count_result(frame->cb, index);
    return EXIT_CLEANUP;
}
