// Line breaking: wrapping a text to a line size with a prefix and a chosen
// line break on every line, and replacing a text's line breaks.  Pure
// functions over characters of either width (uint8_t, uint32_t); they know
// nothing of the host and write through a TextSink that may grow.
//
// The break form is what the text itself uses, decided once from its first
// carriage return (13) or line feed (10): CR followed at once by LF is CR LF,
// CR alone is CR, LF is LF (LF followed by CR is LF, the CR then being an
// ordinary character).  The break character is the form's first character;
// only it ends a line (with the LF after it in the form CR LF).  Carriage
// returns and line feeds of another form are ordinary characters, though
// when wrapping they are control characters like any below 32.
//
// Lines may be of any length (no 16-bit limit), and the output is never cut:
// the sink is asked for the room each line needs before it is written.
#ifndef GH_TEXT_LINES_H
#define GH_TEXT_LINES_H

#include <stddef.h>
#include <stdint.h>

enum LineBreakForm { BREAK_NONE, BREAK_CR, BREAK_LF, BREAK_CRLF };

template <class C>
LineBreakForm line_break_form(const C *s, size_t n);

// Where output goes: data[0, used) written, room for `room` characters.
// grow, when it is not null, makes room for at least `more` characters after
// `used` (it may move data) and says whether it could.  The writers may
// leave anything in data[used, room): they copy lines in whole pieces.
template <class C>
struct TextSink {
    C *data;
    size_t used;
    size_t room;
    bool (*grow)(TextSink *sink, size_t more, void *context);
    void *context;
};

// Where a line that starts with the window s[0, w) ends, for a text whose
// break character (if it has one, hasBreak) lies at breakAt or beyond (w or
// more when it is not in the window):
//   - at the break character, when the window holds it;
//   - otherwise after the window's last space, or before its last other
//     character of code 32 or below;
//   - otherwise (none of these, or only a control character at the window's
//     start) at w - 1: the line is cut.
// The spaces and control characters are looked for from the window's end.
template <class C>
size_t line_sense(const C *s, size_t w, size_t breakAt);

// Wraps s[0, n) to lines of at most lineSize - lineStartLength characters
// after the prefix lineStart (lineSize > lineStartLength).  Each line is
// lineStart, its characters (a single space that ends it left out), then
// lineBreak[0, lineBreakLength).  A line ends at the text's break
// character (which is then dropped), at the end of the text, or where
// line_sense puts it in a window of lineSize + 1 - lineStartLength
// characters.  Every line, the last one too, gets the line break; an empty
// line of the text still gets lineStart and the line break.  False when the
// sink could not grow.
template <class C>
bool wrap_lines(const C *s, size_t n, const C *lineStart, size_t lineStartLength, const C *lineBreak,
                size_t lineBreakLength, size_t lineSize, TextSink<C> *out);

// The characters set_linebreaks writes for s[0, n) with a line break of
// lineBreakLength characters; in 64 bits, as it may pass what a 32-bit
// count (or size_t) can say.
template <class C>
uint64_t set_linebreaks_length(const C *s, size_t n, size_t lineBreakLength);

// True when the text's break form is exactly lineBreak[0, lineBreakLength):
// the text needs no change.  A text without line breaks never matches.
template <class C>
bool linebreaks_match(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength);

// Every line of s[0, n), its characters as they are, each followed by
// lineBreak[0, lineBreakLength): each of the text's line breaks is
// replaced, and a last line without one gains one.  Writes exactly
// set_linebreaks_length characters; false when the sink could not grow.
template <class C>
bool set_linebreaks(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength, TextSink<C> *out);

// set_linebreaks for a line break of one character, in place: every line
// break of s[0, n) becomes lineBreak, and a last line without one gains
// one.  s has room for n + 1 characters; returns how many it now holds
// (set_linebreaks_length(s, n, 1)).  One pass of scan_copy_breaks.
template <class C>
size_t set_linebreaks_in_place(C *s, size_t n, C lineBreak);

#endif
