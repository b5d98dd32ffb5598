// Catalogue cases: stripNullBytes (2), howMany (3), filenameOfPath (21),
// folderPartOfPath (22), reduceToAlphanumeric (23).  Thin adapters over
// text/small_text.h; each works in the block the text arrived in and sets
// that block as the result (its count is the result's length, so nothing
// after a zero character is lost).
#include "functions/params.h"
#include "text/small_text.h"

using namespace params;

namespace {

// Sets the first `count` characters of the locked text in slot as the result.
CaseExit setLeadingChars(CallFrame *frame, XPHandle *slot, const LockedText &text, size_t count) {
    SetMemBlockCount(text.block, static_cast<uint32_t>(count));
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
    return EXIT_CLEANUP;
}

}  // namespace

// The text without its zero characters.  The block is trimmed to fit when
// that is worth it and can be done; otherwise its count is right all the same.
CaseExit case_stripNullBytes(CallFrame *frame) {
    XPHandle *slot = fetch_text_block(frame, 1);
    LockedText text;
    if (!slot || !lock_text(slot, &text)) return EXIT_EMPTY_TEXT;
    size_t kept = strip_zero_chars(text.chars, text.count);
    SetMemBlockCount(text.block, static_cast<uint32_t>(kept));
    UnlockXPHandle(*slot);
    auto size = static_cast<size_t>(MemBlockSize(kept, sizeof(qchar)));  // within the block: fits
    TrimXPHandle(slot, size);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT_BLOCK, slot, frame->cb);
    return EXIT_CLEANUP;
}

// How often the pattern occurs in the source, each occurrence found from the
// left and skipped whole (‹aab› once in ‹aaab›, ‹aa› twice in ‹aaaaa›).
// An empty pattern occurs 0 times; a failed fetch gives the empty text.
CaseExit case_howMany(CallFrame *frame) {
    XPHandle *pattern = fetch_text_block(frame, 1);
    XPHandle *source = fetch_text_block(frame, 2);
    LockedText p, s;
    if (!pattern || !source || !lock_text(pattern, &p) || !lock_text(source, &s)) return EXIT_EMPTY_TEXT;
    set_count_result(frame->cb, count_occurrences(p.chars, p.count, s.chars, s.count));
    return EXIT_CLEANUP;
}

// What follows the last backslash of a path; the whole path when it has none.
CaseExit case_filenameOfPath(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *slot = fetch_text_block(frame, 1);
    LockedText text;
    if (!slot || !lock_text(slot, &text)) return EXIT_EMPTY_TEXT;
    size_t start = filename_start(text.chars, text.count);
    size_t length = text.count - start;
    if (start) memmove(text.chars, text.chars + start, length * sizeof(qchar));
    return setLeadingChars(frame, slot, text, length);
}

// A path up to and including its last backslash; the whole path when it has
// none.
CaseExit case_folderPartOfPath(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *slot = fetch_text_block(frame, 1);
    LockedText text;
    if (!slot || !lock_text(slot, &text)) return EXIT_EMPTY_TEXT;
    return setLeadingChars(frame, slot, text, folder_length(text.chars, text.count));
}

// reduceToAlphanumeric(string, keepChars [,keepLeadingSpaces
// [,keepMiddleSpaces [,keepTrailingSpaces]]]): ASCII letters and digits, the
// characters of keepChars (its first 64), and the spaces the flags keep
// (by default middle spaces only).
CaseExit case_reduceToAlphanumeric(CallFrame *frame) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *slot = fetch_text_block(frame, 1);
    if (!slot) return EXIT_EMPTY_TEXT;
    qchar keep[KEEP_CHARS_MAX + 1];
    size_t keepCount = frame->paramCount > 1 ? fetch_short_text(frame, 2, KEEP_CHARS_MAX, keep) : 0;
    ReduceOptions options;
    options.keepLeadingSpaces = flag_param(frame, 3, false);
    options.keepMiddleSpaces = flag_param(frame, 4, true);
    options.keepTrailingSpaces = flag_param(frame, 5, false);
    LockedText text;
    if (!lock_text(slot, &text)) return EXIT_EMPTY_TEXT;
    return setLeadingChars(frame, slot, text,
                           reduce_to_alphanumeric(text.chars, text.count, keep, keepCount, options));
}
