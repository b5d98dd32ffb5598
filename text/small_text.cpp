// The small text functions, over the scans of scan.h and token_search.h.
#include "text/small_text.h"

#include <string.h>

#include "text/scan.h"
#include "text/token_search.h"

template <class C>
size_t strip_zero_chars(C *s, size_t n) {
    return scan_copy_without(s, s, n, C(0));
}

template <class C>
size_t count_occurrences(const C *pattern, size_t m, const C *s, size_t n) {
    if (m == 0) return 0;
    return token_count(token_search_prepare(pattern, m), s, n);
}

template <class C>
size_t filename_start(const C *s, size_t n) {
    size_t last = scan_find_last_char(s, n, C(PATH_SEPARATOR));
    return last == n ? 0 : last + 1;
}

template <class C>
size_t folder_length(const C *s, size_t n) {
    size_t last = scan_find_last_char(s, n, C(PATH_SEPARATOR));
    return last == n ? n : last + 1;
}

template <class C>
size_t reduce_to_alphanumeric(C *s, size_t n, const C *keep, size_t keepCount, ReduceOptions options) {
    const C space = 32;
    // Trailing spaces end the content at `end`; leading ones are counted
    // within what is left of the text once dropped trailing spaces are gone.
    size_t end = n - scan_span_char_back(s, n, space);
    size_t leading = scan_span_char(s, options.keepTrailingSpaces ? n : end, space);
    size_t out = options.keepLeadingSpaces ? leading : 0;  // kept ones stay where they are

    CharKeepSet set;
    memset(set.byteKept, 0, sizeof set.byteKept);
    set.wideCount = 0;
    for (int c = '0'; c <= '9'; ++c) set.byteKept[c] = 1;
    for (int c = 'A'; c <= 'Z'; ++c) set.byteKept[c] = 1;
    for (int c = 'a'; c <= 'z'; ++c) set.byteKept[c] = 1;
    if (keepCount > KEEP_CHARS_MAX) keepCount = KEEP_CHARS_MAX;
    for (size_t i = 0; i < keepCount; ++i) {
        uint32_t c = keep[i];
        if (c < 256) {
            set.byteKept[c] = 1;
        } else {
            set.wideKept[set.wideCount++] = c;
        }
    }
    set.byteKept[0] = 0;
    set.byteKept[space] = options.keepMiddleSpaces;
    if (leading < end) out += scan_copy_kept(s + out, s + leading, end - leading, set);
    // What follows `end` is trailing spaces only.
    size_t trailingFrom = leading > end ? leading : end;
    if (options.keepTrailingSpaces) {
        for (size_t i = trailingFrom; i < n; ++i) s[out++] = space;
    }
    return out;
}

template size_t strip_zero_chars(uint8_t *, size_t);
template size_t strip_zero_chars(uint32_t *, size_t);
template size_t count_occurrences(const uint8_t *, size_t, const uint8_t *, size_t);
template size_t count_occurrences(const uint32_t *, size_t, const uint32_t *, size_t);
template size_t filename_start(const uint8_t *, size_t);
template size_t filename_start(const uint32_t *, size_t);
template size_t folder_length(const uint8_t *, size_t);
template size_t folder_length(const uint32_t *, size_t);
template size_t reduce_to_alphanumeric(uint8_t *, size_t, const uint8_t *, size_t, ReduceOptions);
template size_t reduce_to_alphanumeric(uint32_t *, size_t, const uint32_t *, size_t, ReduceOptions);
