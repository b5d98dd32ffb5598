// The number at the start or at the end of a text, as the span of its own
// characters: digits (0-9), in the decimal forms at most one decimal point
// (a full stop, never a comma), and a minus sign in front unless only
// positive numbers are wanted.  No plus sign, spaces, grouping or exponent.
// Nothing is converted.  Pure functions over characters of either width.
#ifndef GH_TEXT_NUMBERS_H
#define GH_TEXT_NUMBERS_H

#include <stddef.h>
#include <stdint.h>

enum { NUMBER_TEXT_MAX = 200 };

struct TextSpan {
    size_t start;
    size_t length;
};

// The number that begins at the first character.  Characters are taken
// from the start while they fit: a digit; a minus sign at the first
// position only (not with positiveOnly); in the decimal form the first
// decimal point, wherever it stands.  At most NUMBER_TEXT_MAX characters
// are looked at.  ‹12ab› gives ‹12›, ‹-› gives ‹-›, ‹ab12› nothing.
template <class C>
TextSpan leading_number(const C *s, size_t n, bool decimal, bool positiveOnly);

// The number that ends at the last character: the run of digits (and, in
// the decimal form, the last decimal point met going backwards) that ends
// the text, with the minus sign just before it unless positiveOnly.  A run
// longer than NUMBER_TEXT_MAX characters gives its first NUMBER_TEXT_MAX
// (the number's end is cut, not its start).  ‹x-3.5› gives ‹-3.5› (decimal)
// or ‹5›, ‹abc-› gives ‹-›, ‹a1.2.3› gives ‹2.3› (decimal).
template <class C>
TextSpan trailing_number(const C *s, size_t n, bool decimal, bool positiveOnly);

#endif
