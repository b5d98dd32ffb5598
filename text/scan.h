// The character scans the text functions spend their time in, for both
// character widths: uint8_t (the byte build) and uint32_t (the wide build,
// compared as unsigned 32-bit codes).  Every hot loop of text/ goes through
// these and through token_search.h, so that a faster kernel put behind one
// of them serves every function at once.
//
// All are linear in n and read nothing outside s[0, n) (scan_find_pair:
// s[0, n + gap)).  A forward or backward search that finds nothing returns
// n (never a valid index).
//
// Each runs the best of its kernels on the processor at hand: SSE2, AVX2
// or AVX-512 where the processor has them, or the portable code beside them
// (scan_kernels.h), chosen once, at its first use.
#ifndef GH_TEXT_SCAN_H
#define GH_TEXT_SCAN_H

#include <stddef.h>
#include <stdint.h>

// Index of the first c in s[0, n), or n.
size_t scan_find_char(const uint8_t *s, size_t n, uint8_t c);
size_t scan_find_char(const uint32_t *s, size_t n, uint32_t c);

// Index of the first character that is a or b, or n.  (The first carriage
// return or line feed of a text.)
size_t scan_find_either(const uint8_t *s, size_t n, uint8_t a, uint8_t b);
size_t scan_find_either(const uint32_t *s, size_t n, uint32_t a, uint32_t b);

// Index of the last c in s[0, n), or n.
size_t scan_find_last_char(const uint8_t *s, size_t n, uint8_t c);
size_t scan_find_last_char(const uint32_t *s, size_t n, uint32_t c);

// Index of the last character whose code is at most limit, or n.  (The
// last space or control character of a line's window.)
size_t scan_find_last_at_most(const uint8_t *s, size_t n, uint8_t limit);
size_t scan_find_last_at_most(const uint32_t *s, size_t n, uint32_t limit);

// Index of the first i < n where s[i] is a and s[i + gap] is b, or n; reads
// s[0, n + gap), gap >= 1.  (The candidates of a token search: its first
// and last characters in place.)
size_t scan_find_pair(const uint8_t *s, size_t n, uint8_t a, uint8_t b, size_t gap);
size_t scan_find_pair(const uint32_t *s, size_t n, uint32_t a, uint32_t b, size_t gap);

// How many of s[0, n) are c.
size_t scan_count_char(const uint8_t *s, size_t n, uint8_t c);
size_t scan_count_char(const uint32_t *s, size_t n, uint32_t c);

// How many characters at the start of s[0, n) are c, and at its end.
size_t scan_span_char(const uint8_t *s, size_t n, uint8_t c);
size_t scan_span_char(const uint32_t *s, size_t n, uint32_t c);
size_t scan_span_char_back(const uint8_t *s, size_t n, uint8_t c);
size_t scan_span_char_back(const uint32_t *s, size_t n, uint32_t c);

// Copies the characters of src[0, n) that are not c to dst, in order, and
// returns how many were copied.  dst may be src or lie before it (the
// characters move towards the front of one buffer); it has room for n
// characters, since characters after the kept ones may be written over.
size_t scan_copy_without(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c);
size_t scan_copy_without(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c);

// Copies src[0, n) to dst with every `from` written as `to` and, when
// dropLf is set, every line feed (10) that follows a `from` left out;
// returns how many were copied.  dst as for scan_copy_without.  (A text's
// line breaks replaced by a break of one character: from is the break
// character, dropLf says the breaks are CR LF.)
size_t scan_copy_breaks(uint8_t *dst, const uint8_t *src, size_t n, uint8_t from, uint8_t to, bool dropLf);
size_t scan_copy_breaks(uint32_t *dst, const uint32_t *src, size_t n, uint32_t from, uint32_t to, bool dropLf);

// Marks s[0, n) in bit words, 64 characters a word (the character at i is
// bit i % 64 of word i / 64): equal where the character is c, atMost where
// its code is at most limit (atMost may be null: not wanted).  Writes the
// (n + 63) / 64 words of each; the bits past n are 0.  (The breaks and the
// places to break of a stretch of lines, looked up line by line.)
void scan_mark_chars(const uint8_t *s, size_t n, uint8_t c, uint8_t limit, uint64_t *equal, uint64_t *atMost);
void scan_mark_chars(const uint32_t *s, size_t n, uint32_t c, uint32_t limit, uint64_t *equal, uint64_t *atMost);

// Which characters a filtering copy keeps: codes 0 to 255 by a table; in
// wide text, codes above 255 only when listed.
struct CharKeepSet {
    uint8_t byteKept[256];  // 1: a character of this code is kept
    uint32_t wideKept[64];  // codes above 255 that are kept
    size_t wideCount;
};

// Copies the characters of src[0, n) that keep keeps to dst, in order, and
// returns how many were copied; dst as for scan_copy_without.
size_t scan_copy_kept(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep);
size_t scan_copy_kept(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep);

#endif
