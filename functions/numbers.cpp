// Catalogue cases: leadingInteger (12), trailingInteger (13),
// leadingDecimal (14), trailingDecimal (15): the characters of the number at
// one end of the text (at most 200), as text.  No number gives the empty
// text.  Thin adapters over text/numbers.h.
#include "functions/params.h"
#include "text/numbers.h"

using namespace params;

namespace {

CaseExit numberAtEnd(CallFrame *frame, bool trailing, bool decimal) {
    if (frame->paramCount < 1) return EXIT_EMPTY_TEXT;
    XPHandle *slot = fetch_text_block(frame, 1);
    if (!slot) return EXIT_EMPTY_TEXT;
    bool positiveOnly = flag_param(frame, 2, false);
    LockedText text;
    if (!lock_text(slot, &text)) return EXIT_EMPTY_TEXT;
    TextSpan span = trailing ? trailing_number(text.chars, text.count, decimal, positiveOnly)
                             : leading_number(text.chars, text.count, decimal, positiveOnly);
    qchar number[NUMBER_TEXT_MAX + 1];
    memcpy(number, text.chars + span.start, span.length * sizeof(qchar));
    number[span.length] = 0;
    UnlockXPHandle(*slot);
    SetFldVal(HOST_RESULT, HOST_TYPE_TEXT, number, frame->cb);
    return EXIT_CLEANUP;
}

}  // namespace

CaseExit case_leadingInteger(CallFrame *frame) { return numberAtEnd(frame, false, false); }
CaseExit case_trailingInteger(CallFrame *frame) { return numberAtEnd(frame, true, false); }
CaseExit case_leadingDecimal(CallFrame *frame) { return numberAtEnd(frame, false, true); }
CaseExit case_trailingDecimal(CallFrame *frame) { return numberAtEnd(frame, true, true); }
