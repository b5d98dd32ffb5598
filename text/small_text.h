// The small text functions: dropping zero characters, counting a pattern,
// the two halves of a Windows path, and reducing a text to ASCII letters and
// digits.  Pure functions over characters of either width (uint8_t,
// uint32_t), working in the caller's buffer; they know nothing of the host.
#ifndef GH_TEXT_SMALL_TEXT_H
#define GH_TEXT_SMALL_TEXT_H

#include <stddef.h>
#include <stdint.h>

enum { PATH_SEPARATOR = 92, KEEP_CHARS_MAX = 64 };

// Moves every character of s[0, n) that is not 0 to the front, in order;
// returns how many there are.
template <class C>
size_t strip_zero_chars(C *s, size_t n);

// How many times pattern[0, m) occurs in s[0, n), counting the leftmost
// occurrence and going on after it, so that occurrences never overlap:
// ‹aa› twice in ‹aaaaa›, ‹aab› once in ‹aaab›.  0 for an empty pattern.
template <class C>
size_t count_occurrences(const C *pattern, size_t m, const C *s, size_t n);

// The file name of a path: where the characters after its last backslash
// start (0 when it has none).  A forward slash is an ordinary character.
template <class C>
size_t filename_start(const C *s, size_t n);

// The folder part of a path: how many characters, up to and including its
// last backslash, it has (n when it has none).
template <class C>
size_t folder_length(const C *s, size_t n);

struct ReduceOptions {
    bool keepLeadingSpaces;   // spaces before the first other character
    bool keepMiddleSpaces;    // spaces between other characters
    bool keepTrailingSpaces;  // spaces after the last other character
};

// Keeps, in place and in order, the ASCII letters and digits of s[0, n),
// the characters listed in keep[0, keepCount) (at most KEEP_CHARS_MAX),
// and the spaces (32) the options keep; drops everything else, zero
// characters always.  Returns how many characters were kept.  Only a space
// is a space, and no character outside A-Z, a-z, 0-9 is a letter or digit.
// A text of spaces only keeps them when both leading and trailing spaces
// are kept (they then count as leading).
template <class C>
size_t reduce_to_alphanumeric(C *s, size_t n, const C *keep, size_t keepCount, ReduceOptions options);

#endif
