// Finding a token (a run of one or more characters) in a text, for both
// character widths, in time linear in the text and the token whatever they
// hold: the two-way string matching of Crochemore and Perrin, which needs
// no memory beyond a few words.  The token is analysed once
// (token_search_prepare), so that a function searching the same token many
// times pays for that once.
//
//   TokenSearch<uint8_t> t = token_search_prepare(token, m);
//   size_t at = token_find(t, text, n, from);   // n when there is none
//   size_t k = token_count(t, text, n);         // leftmost, non-overlapping
//
// The text is crossed with the vectorised scans of scan.h (the candidates'
// first and last characters; a one-character token is counted whole).
#ifndef GH_TEXT_TOKEN_SEARCH_H
#define GH_TEXT_TOKEN_SEARCH_H

#include <stddef.h>
#include <stdint.h>

template <class C>
struct TokenSearch {
    const C *token;  // not copied: it must outlive the search
    size_t length;   // at least 1
    size_t split;    // the critical factorisation: token[0, split), token[split, length)
    size_t period;
    bool periodic;   // the whole token has the period `period`
};

// Analyses a token of m >= 1 characters.
template <class C>
TokenSearch<C> token_search_prepare(const C *token, size_t m);

// The index i >= from of the first occurrence of the token lying wholly in
// s[0, n), or n when there is none (also when from > n).
template <class C>
size_t token_find(const TokenSearch<C> &t, const C *s, size_t n, size_t from);

// How many occurrences a scan from the start finds when each one found is
// skipped whole (the leftmost, non-overlapping ones): ‹aa› twice in ‹aaaaa›,
// ‹aab› once in ‹aaab›.
template <class C>
size_t token_count(const TokenSearch<C> &t, const C *s, size_t n);

extern template TokenSearch<uint8_t> token_search_prepare(const uint8_t *, size_t);
extern template TokenSearch<uint32_t> token_search_prepare(const uint32_t *, size_t);
extern template size_t token_find(const TokenSearch<uint8_t> &, const uint8_t *, size_t, size_t);
extern template size_t token_find(const TokenSearch<uint32_t> &, const uint32_t *, size_t, size_t);
extern template size_t token_count(const TokenSearch<uint8_t> &, const uint8_t *, size_t);
extern template size_t token_count(const TokenSearch<uint32_t> &, const uint32_t *, size_t);

#endif
