// Two-way string matching (Crochemore and Perrin, "Two-way string-matching",
// J. ACM 38, 1991): the token is cut at a critical factorisation; each
// attempt compares the right part forwards, then the left part backwards,
// and every mismatch shifts the attempt by as much as the factorisation
// allows, so no character of the text is compared more than about twice.
//
// Before each attempt that carries no knowledge over from the previous one,
// the text is skipped to the next place where the token's first and last
// characters both match, with the pair scan of scan.h (vectorised: most of
// a text is crossed there, a block of characters at a time).
#include "text/token_search.h"

#include "text/scan.h"

namespace {

// The start of the maximal suffix of x[0, m) under the character order (or
// the reversed order), less one (SIZE_MAX for the whole token); *period is
// that suffix's period.
template <class C>
size_t maximalSuffix(const C *x, size_t m, bool reversed, size_t *period) {
    size_t start = SIZE_MAX;  // start + k wraps round to k - 1 while it is SIZE_MAX
    size_t j = 0, k = 1, p = 1;
    while (j + k < m) {
        C a = x[j + k];
        C b = x[start + k];
        if (reversed ? b < a : a < b) {
            j += k;
            k = 1;
            p = j - start;
        } else if (a == b) {
            if (k != p) {
                ++k;
            } else {
                j += p;
                k = 1;
            }
        } else {
            start = j++;
            k = p = 1;
        }
    }
    *period = p;
    return start;
}

template <class C>
bool sameChars(const C *a, const C *b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// Moves *j to the first attempt at or after it whose text characters under
// the token's first and last equal them; false when there is none up to the
// last attempt, last.  (Tokens of two characters or more.)
template <class C>
bool skipToCandidate(const TokenSearch<C> &t, const C *s, size_t last, size_t *j) {
    size_t span = last - *j + 1;
    size_t off = scan_find_pair(s + *j, span, t.token[0], t.token[t.length - 1], t.length - 1);
    if (off == span) return false;
    *j += off;
    return true;
}

}  // namespace

template <class C>
TokenSearch<C> token_search_prepare(const C *token, size_t m) {
    TokenSearch<C> t;
    t.token = token;
    t.length = m;
    size_t forwardPeriod, reversePeriod;
    size_t forward = maximalSuffix(token, m, false, &forwardPeriod);
    size_t reverse = maximalSuffix(token, m, true, &reversePeriod);
    // The later of the two maximal suffixes gives a critical factorisation.
    if (reverse + 1 < forward + 1) {
        t.split = forward + 1;
        t.period = forwardPeriod;
    } else {
        t.split = reverse + 1;
        t.period = reversePeriod;
    }
    // The period is that of the right part, so period + split <= m.
    t.periodic = t.period + t.split <= m && sameChars(token, token + t.period, t.split);
    if (!t.periodic) {
        // Left and right parts differ: every full mismatch may shift this far.
        t.period = (t.split > m - t.split ? t.split : m - t.split) + 1;
    }
    return t;
}

template <class C>
size_t token_find(const TokenSearch<C> &t, const C *s, size_t n, size_t from) {
    const C *x = t.token;
    const size_t m = t.length;
    if (from > n || n - from < m) return n;
    if (m == 1) {
        size_t off = scan_find_char(s + from, n - from, x[0]);
        return off == n - from ? n : from + off;
    }
    const size_t last = n - m;  // the last attempt
    const size_t split = t.split;
    size_t j = from;
    if (t.periodic) {
        // memory: how much of the token's left part is known to match at j,
        // carried over from the previous attempt's shift by the period.
        size_t memory = 0;
        while (j <= last) {
            if (memory == 0 && !skipToCandidate(t, s, last, &j)) return n;
            size_t i = split > memory ? split : memory;
            while (i < m && x[i] == s[i + j]) ++i;
            if (i < m) {
                j += i - split + 1;
                memory = 0;
                continue;
            }
            i = split;
            while (i > memory && x[i - 1] == s[i - 1 + j]) --i;
            if (i <= memory) return j;
            j += t.period;
            memory = m - t.period;
        }
    } else {
        while (j <= last) {
            if (!skipToCandidate(t, s, last, &j)) return n;
            size_t i = split;
            while (i < m && x[i] == s[i + j]) ++i;
            if (i < m) {
                j += i - split + 1;
                continue;
            }
            i = split;
            while (i > 0 && x[i - 1] == s[i - 1 + j]) --i;
            if (i == 0) return j;
            j += t.period;
        }
    }
    return n;
}

template <class C>
size_t token_count(const TokenSearch<C> &t, const C *s, size_t n) {
    if (t.length == 1) return scan_count_char(s, n, t.token[0]);
    size_t count = 0;
    for (size_t at = token_find(t, s, n, 0); at < n; at = token_find(t, s, n, at + t.length)) ++count;
    return count;
}

template TokenSearch<uint8_t> token_search_prepare(const uint8_t *, size_t);
template TokenSearch<uint32_t> token_search_prepare(const uint32_t *, size_t);
template size_t token_find(const TokenSearch<uint8_t> &, const uint8_t *, size_t, size_t);
template size_t token_find(const TokenSearch<uint32_t> &, const uint32_t *, size_t, size_t);
template size_t token_count(const TokenSearch<uint8_t> &, const uint8_t *, size_t);
template size_t token_count(const TokenSearch<uint32_t> &, const uint32_t *, size_t);
