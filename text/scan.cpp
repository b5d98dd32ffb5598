// The portable character scans.  The byte forms lean on the C library where
// it has the scan (memchr, memrchr), which is already vectorised there.
#include "text/scan.h"

#include <string.h>

namespace {

template <class C>
size_t findChar(const C *s, size_t n, C c) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == c) return i;
    }
    return n;
}

template <class C>
size_t findEither(const C *s, size_t n, C a, C b) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == a || s[i] == b) return i;
    }
    return n;
}

template <class C>
size_t findLastChar(const C *s, size_t n, C c) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] == c) return i;
    }
    return n;
}

template <class C>
size_t findLastAtMost(const C *s, size_t n, C limit) {
    for (size_t i = n; i-- > 0;) {
        if (s[i] <= limit) return i;
    }
    return n;
}

template <class C>
size_t countChar(const C *s, size_t n, C c) {
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) count += s[i] == c;
    return count;
}

template <class C>
size_t spanChar(const C *s, size_t n, C c) {
    size_t i = 0;
    while (i < n && s[i] == c) ++i;
    return i;
}

template <class C>
size_t spanCharBack(const C *s, size_t n, C c) {
    size_t i = n;
    while (i > 0 && s[i - 1] == c) --i;
    return n - i;
}

template <class C>
size_t copyWithout(C *dst, const C *src, size_t n, C c) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        C x = src[i];
        dst[o] = x;  // written always, counted only when kept: no branch to mispredict
        o += x != c;
    }
    return o;
}

bool wideKept(const CharKeepSet &keep, uint32_t c) {
    for (size_t i = 0; i < keep.wideCount; ++i) {
        if (keep.wideKept[i] == c) return true;
    }
    return false;
}

}  // namespace

size_t scan_find_char(const uint8_t *s, size_t n, uint8_t c) {
    const void *p = n ? memchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
}
size_t scan_find_char(const uint32_t *s, size_t n, uint32_t c) { return findChar(s, n, c); }

size_t scan_find_either(const uint8_t *s, size_t n, uint8_t a, uint8_t b) { return findEither(s, n, a, b); }
size_t scan_find_either(const uint32_t *s, size_t n, uint32_t a, uint32_t b) { return findEither(s, n, a, b); }

size_t scan_find_last_char(const uint8_t *s, size_t n, uint8_t c) {
#if defined(__GLIBC__)
    const void *p = n ? memrchr(s, c, n) : nullptr;
    return p ? static_cast<size_t>(static_cast<const uint8_t *>(p) - s) : n;
#else
    return findLastChar(s, n, c);
#endif
}
size_t scan_find_last_char(const uint32_t *s, size_t n, uint32_t c) { return findLastChar(s, n, c); }

size_t scan_find_last_at_most(const uint8_t *s, size_t n, uint8_t limit) { return findLastAtMost(s, n, limit); }
size_t scan_find_last_at_most(const uint32_t *s, size_t n, uint32_t limit) { return findLastAtMost(s, n, limit); }

size_t scan_count_char(const uint8_t *s, size_t n, uint8_t c) { return countChar(s, n, c); }
size_t scan_count_char(const uint32_t *s, size_t n, uint32_t c) { return countChar(s, n, c); }

size_t scan_span_char(const uint8_t *s, size_t n, uint8_t c) { return spanChar(s, n, c); }
size_t scan_span_char(const uint32_t *s, size_t n, uint32_t c) { return spanChar(s, n, c); }
size_t scan_span_char_back(const uint8_t *s, size_t n, uint8_t c) { return spanCharBack(s, n, c); }
size_t scan_span_char_back(const uint32_t *s, size_t n, uint32_t c) { return spanCharBack(s, n, c); }

size_t scan_copy_without(uint8_t *dst, const uint8_t *src, size_t n, uint8_t c) {
    return copyWithout(dst, src, n, c);
}
size_t scan_copy_without(uint32_t *dst, const uint32_t *src, size_t n, uint32_t c) {
    return copyWithout(dst, src, n, c);
}

size_t scan_copy_kept(uint8_t *dst, const uint8_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = src[i];
        dst[o] = x;
        o += keep.byteKept[x];
    }
    return o;
}

size_t scan_copy_kept(uint32_t *dst, const uint32_t *src, size_t n, const CharKeepSet &keep) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = src[i];
        dst[o] = x;
        o += x < 256 ? keep.byteKept[x] : wideKept(keep, x);
    }
    return o;
}
