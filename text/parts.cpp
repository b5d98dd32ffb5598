// Cutting a text into parts.  Every part is found with one token search from
// its start, so a walk over all parts reads the text once.
//
// The common case, a delimiter of one character with quotes not respected,
// needs no walk at all: part N starts after the (N-1)th delimiter, found by
// counting delimiters a block of text at a time; and a part equal to a
// given text is found by searching for that text and checking that
// delimiters (or the text's ends) stand on both sides, its number being one
// more than the delimiters before it.  Both run at the pace of the
// vectorised scans, however short the parts.
#include "text/parts.h"

#include "text/scan.h"

namespace {

template <class C>
bool isQuote(C c) {
    return c == QUOTE_DOUBLE || c == QUOTE_SINGLE;
}

template <class C>
bool sameChars(const C *a, const C *b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// Plain parts: a delimiter of one character, quotes not respected.
template <class C>
bool plainParts(const PartDelimiter<C> &d) {
    return d.length == 1 && !d.quoteAware;
}

// The index of the k-th (k >= 1) c in s[0, n), or n when there are fewer:
// whole chunks are counted, the last one searched.
template <class C>
size_t nthChar(const C *s, size_t n, C c, size_t k) {
    const size_t chunk = 4096;
    size_t i = 0;
    while (n - i > chunk) {
        size_t count = scan_count_char(s + i, chunk, c);
        if (count >= k) break;
        k -= count;
        i += chunk;
    }
    for (;;) {
        size_t at = i + scan_find_char(s + i, n - i, c);
        if (at >= n || --k == 0) return at;
        i = at + 1;
    }
}

// index_of_part for plain parts.  A part never holds the delimiter; an
// occurrence of the part that is not a whole part sends the search on to the
// next part's start, so the text is crossed once.
template <class C>
size_t indexOfPlainPart(C delimiter, const C *s, size_t n, const C *part, size_t partLength) {
    if (scan_find_char(part, partLength, delimiter) < partLength) return 0;
    TokenSearch<C> t = token_search_prepare(part, partLength);
    for (size_t from = 0;;) {
        size_t at = token_find(t, s, n, from);
        if (at >= n) return 0;
        bool starts = at == 0 || s[at - 1] == delimiter;
        bool ends = at + partLength == n || s[at + partLength] == delimiter;
        if (starts && ends) return 1 + scan_count_char(s, at, delimiter);
        size_t next = at + scan_find_char(s + at, n - at, delimiter);
        if (next >= n) return 0;
        from = next + 1;
    }
}

}  // namespace

template <class C>
void part_delimiter_init(PartDelimiter<C> *d, const C *token, size_t m, bool quoteAware) {
    d->quoteAware = quoteAware;
    d->length = m;
    d->plain = token_search_prepare(token, m);
    const C quotes[2] = {QUOTE_DOUBLE, QUOTE_SINGLE};
    for (int q = 0; q < 2; ++q) {
        d->afterQuote[q][0] = quotes[q];
        for (size_t i = 0; i < m; ++i) d->afterQuote[q][i + 1] = token[i];
        d->quoted[q] = token_search_prepare(d->afterQuote[q], m + 1);
    }
}

template <class C>
PartCut part_cut(const PartDelimiter<C> &d, const C *s, size_t n, size_t p) {
    PartCut cut;
    cut.quoted = d.quoteAware && isQuote(s[p]);
    if (cut.quoted) {
        C q = s[p];
        size_t close = token_find(d.quoted[q == QUOTE_SINGLE], s, n, p + 1);
        if (close < n) {
            cut.next = close + 1 + d.length;
        } else if (n - 1 > p && s[n - 1] == q) {
            close = n - 1;  // closed by the text's end
            cut.next = n + d.length;
        }
        if (close < n) {
            cut.valueStart = p + 1;
            cut.valueLength = close - p - 1;
            cut.ended = true;
            return cut;
        }
    } else {
        size_t at = token_find(d.plain, s, n, p);
        if (at < n) {
            cut.valueStart = p;
            cut.valueLength = at - p;
            cut.next = at + d.length;
            cut.ended = true;
            return cut;
        }
    }
    cut.valueStart = p;
    cut.valueLength = n - p;
    cut.next = n;
    cut.ended = false;
    return cut;
}

template <class C>
PartFound nth_part(const PartDelimiter<C> &d, const C *s, size_t n, size_t number) {
    PartFound none = {false, 0, 0};
    size_t p = 0;
    if (plainParts(d) && number > 1) {
        size_t at = nthChar(s, n, d.plain.token[0], number - 1);
        if (at >= n) return none;
        p = at + 1;
        number = 1;
    }
    for (size_t k = 1; k < number; ++k) {
        if (p >= n) return none;
        PartCut cut = part_cut(d, s, n, p);
        if (!cut.ended) return none;
        p = cut.next;
    }
    if (p >= n) return none;
    PartCut cut = part_cut(d, s, n, p);
    PartFound found = {true, cut.valueStart, cut.valueLength};
    return found;
}

template <class C>
size_t index_of_part(const PartDelimiter<C> &d, const C *s, size_t n, const C *part, size_t partLength) {
    if (plainParts(d) && partLength > 0) return indexOfPlainPart(d.plain.token[0], s, n, part, partLength);
    size_t number = 1;
    for (size_t p = 0; p < n; ++number) {
        PartCut cut = part_cut(d, s, n, p);
        if (cut.quoted && !cut.ended) return 0;
        if (cut.valueLength == partLength && sameChars(s + cut.valueStart, part, partLength)) return number;
        if (!cut.ended) return 0;
        p = cut.next;
    }
    return 0;
}

template void part_delimiter_init(PartDelimiter<uint8_t> *, const uint8_t *, size_t, bool);
template void part_delimiter_init(PartDelimiter<uint32_t> *, const uint32_t *, size_t, bool);
template PartCut part_cut(const PartDelimiter<uint8_t> &, const uint8_t *, size_t, size_t);
template PartCut part_cut(const PartDelimiter<uint32_t> &, const uint32_t *, size_t, size_t);
template PartFound nth_part(const PartDelimiter<uint8_t> &, const uint8_t *, size_t, size_t);
template PartFound nth_part(const PartDelimiter<uint32_t> &, const uint32_t *, size_t, size_t);
template size_t index_of_part(const PartDelimiter<uint8_t> &, const uint8_t *, size_t, const uint8_t *, size_t);
template size_t index_of_part(const PartDelimiter<uint32_t> &, const uint32_t *, size_t, const uint32_t *, size_t);
