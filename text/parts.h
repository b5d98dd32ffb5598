// A text as a list of parts separated by a delimiter, optionally with
// quoted parts: what splitstring, indexedPart and indexOfPart work on.  Pure
// functions over characters of either width (uint8_t, uint32_t); they know
// nothing of the host.
//
// Cutting one part off at position p (part_cut):
//   - A part is quoted when quotes are respected and its first character is
//     a double quote (34) or an apostrophe (39), Q.  It ends at the first Q
//     after its first character that is followed at once by the whole
//     delimiter, or that is the text's last character.  Its value is what
//     lies between the two quotes; the next part starts after the
//     delimiter (beyond the text when the closing quote was the last
//     character).  The quotes are not escaped or doubled.
//   - Any other part ends at the first whole delimiter at or after p; its
//     value is what lies before it, and the next part starts after it.
//   - A part that does not end is the rest of the text, as it stands (a
//     quoted one keeps its opening quote).  A part that is a single quote
//     character at the end of the text is such a part: its quote is its own
//     opening quote and cannot close it too, so the one quote character is
//     its value.
// Delimiters are matched exactly, character by character.
#ifndef GH_TEXT_PARTS_H
#define GH_TEXT_PARTS_H

#include <stddef.h>
#include <stdint.h>

#include "text/token_search.h"

enum { PART_DELIMITER_MAX = 23, QUOTE_DOUBLE = 34, QUOTE_SINGLE = 39 };

// A delimiter made ready for searching: itself, and (when quotes are
// respected) each quote character followed by it.  It refers to itself, so
// it is made in place and never copied.
template <class C>
struct PartDelimiter {
    PartDelimiter() = default;
    PartDelimiter(const PartDelimiter &) = delete;
    PartDelimiter &operator=(const PartDelimiter &) = delete;

    bool quoteAware;
    size_t length;
    TokenSearch<C> plain;
    C afterQuote[2][PART_DELIMITER_MAX + 1];  // "delim and 'delim
    TokenSearch<C> quoted[2];
};

// Makes d ready for the delimiter token[0, m), 1 <= m <= PART_DELIMITER_MAX.
template <class C>
void part_delimiter_init(PartDelimiter<C> *d, const C *token, size_t m, bool quoteAware);

struct PartCut {
    size_t valueStart;   // the part's value: s[valueStart, valueStart + valueLength)
    size_t valueLength;
    size_t next;         // where the next part starts (may lie beyond the text)
    bool ended;          // false: the part is the rest of the text
    bool quoted;
};

// The part starting at p < n.
template <class C>
PartCut part_cut(const PartDelimiter<C> &d, const C *s, size_t n, size_t p);

// Part number `number` (1 for the first), or found = false when the text
// has fewer parts, or the part before it is the last one, or its start lies
// at or beyond the end of the text.
struct PartFound {
    bool found;
    size_t start;
    size_t length;
};
template <class C>
PartFound nth_part(const PartDelimiter<C> &d, const C *s, size_t n, size_t number);

// The number (1 for the first) of the first part whose value is part[0,
// partLength), or 0.  The parts are cut as nth_part cuts them, except that
// a quoted part that does not end never matches and ends the search, and
// that the empty part after a delimiter that ends the text is not one.
template <class C>
size_t index_of_part(const PartDelimiter<C> &d, const C *s, size_t n, const C *part, size_t partLength);

#endif
