// Numbers at either end of a text.
#include "text/numbers.h"

namespace {

const size_t kMaxLength = NUMBER_TEXT_MAX;

template <class C>
bool isDigit(C c) {
    return c >= '0' && c <= '9';
}

}  // namespace

template <class C>
TextSpan leading_number(const C *s, size_t n, bool decimal, bool positiveOnly) {
    size_t limit = n < kMaxLength ? n : kMaxLength;
    bool point = false;
    size_t i = 0;
    for (; i < limit; ++i) {
        C c = s[i];
        if (isDigit(c)) continue;
        if (c == '-' && i == 0 && !positiveOnly) continue;
        if (c == '.' && decimal && !point) {
            point = true;
            continue;
        }
        break;
    }
    TextSpan span = {0, i};
    return span;
}

template <class C>
TextSpan trailing_number(const C *s, size_t n, bool decimal, bool positiveOnly) {
    bool point = false;
    size_t start = n;
    for (; start > 0; --start) {
        C c = s[start - 1];
        if (isDigit(c)) continue;
        if (c == '.' && decimal && !point) {
            point = true;
            continue;
        }
        break;
    }
    if (!positiveOnly && start > 0 && s[start - 1] == '-') --start;
    size_t length = n - start;
    TextSpan span = {start, length < kMaxLength ? length : kMaxLength};
    return span;
}

template TextSpan leading_number(const uint8_t *, size_t, bool, bool);
template TextSpan leading_number(const uint32_t *, size_t, bool, bool);
template TextSpan trailing_number(const uint8_t *, size_t, bool, bool);
template TextSpan trailing_number(const uint32_t *, size_t, bool, bool);
