// Line breaking, over the scans of scan.h: the next break character is found
// once and remembered until it is passed, and a line's own end is looked
// for from its window's end, so the text is read about once.
#include "text/lines.h"

#include <string.h>

#include "text/scan.h"

namespace {

enum { CR = 13, LF = 10, SPACE = 32 };

// A sink written through local copies of its fields: stores of byte
// characters may alias any object, so writing through the sink's own
// fields would reload them after every character.  The sink is brought up
// to date before it grows and when the writing is done.
template <class C>
struct Writer {
    TextSink<C> *sink;
    C *data;
    size_t used, room;

    explicit Writer(TextSink<C> *s) : sink(s), data(s->data), used(s->used), room(s->room) {}
    ~Writer() { sink->used = used; }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool reserve(size_t more) {
        if (room - used >= more) return true;
        sink->used = used;
        bool grown = sink->grow && sink->grow(sink, more, sink->context);
        data = sink->data;
        room = sink->room;
        return grown && room - used >= more;
    }
    void put(const C *p, size_t k) {
        if (k) memcpy(data + used, p, k * sizeof(C));
        used += k;
    }
    // A line start or line break: a few characters, not worth a call.
    void putShort(const C *p, size_t k) {
        C *o = data + used;
        for (size_t i = 0; i < k; ++i) o[i] = p[i];
        used += k;
    }
};

template <class C>
C breakChar(LineBreakForm form) {
    return form == BREAK_LF ? C(LF) : C(CR);
}

// The position after the line break at i, if one stands there.
template <class C>
size_t skipBreak(const C *s, size_t n, size_t i, LineBreakForm form) {
    if (form == BREAK_NONE || i >= n || s[i] != breakChar<C>(form)) return i;
    ++i;
    if (form == BREAK_CRLF && i < n && s[i] == LF) ++i;
    return i;
}

}  // namespace

template <class C>
LineBreakForm line_break_form(const C *s, size_t n) {
    size_t p = scan_find_either(s, n, C(CR), C(LF));
    if (p == n) return BREAK_NONE;
    if (s[p] == LF) return BREAK_LF;
    return p + 1 < n && s[p + 1] == LF ? BREAK_CRLF : BREAK_CR;
}

template <class C>
size_t line_sense(const C *s, size_t w, size_t breakAt) {
    if (breakAt < w) return breakAt;
    size_t j = scan_find_last_at_most(s, w, C(SPACE));
    if (j == w) return w - 1;
    if (s[j] == SPACE) return j + 1;
    // A control character ends the line before it; at the window's start
    // that would give an empty line and lose the character: cut instead.
    return j > 0 ? j : w - 1;
}

template <class C>
bool wrap_lines(const C *s, size_t n, const C *lineStart, size_t lineStartLength, const C *lineBreak,
                size_t lineBreakLength, size_t lineSize, TextSink<C> *out) {
    const LineBreakForm form = line_break_form(s, n);
    const C brk = breakChar<C>(form);
    const size_t window = lineSize + 1 - lineStartLength;
    size_t nextBreak = form == BREAK_NONE ? n : scan_find_char(s, n, brk);
    Writer<C> w(out);
    for (size_t i = 0; i < n;) {
        if (nextBreak < i) nextBreak = i + scan_find_char(s + i, n - i, brk);
        size_t rest = n - i;
        size_t k;
        if (nextBreak - i < window) {
            k = nextBreak - i;  // also when fewer than `window` characters remain
        } else if (rest < window) {
            k = rest;
        } else {
            k = line_sense(s + i, window, nextBreak - i);
        }
        size_t shown = k > 0 && s[i + k - 1] == SPACE ? k - 1 : k;
        if (!w.reserve(lineStartLength + shown + lineBreakLength)) return false;
        w.putShort(lineStart, lineStartLength);
        w.put(s + i, shown);
        w.putShort(lineBreak, lineBreakLength);
        i = skipBreak(s, n, i + k, form);
    }
    return true;
}

template <class C>
uint64_t set_linebreaks_length(const C *s, size_t n, size_t lineBreakLength) {
    if (n == 0) return 0;
    const LineBreakForm form = line_break_form(s, n);
    if (form == BREAK_NONE) return uint64_t{n} + lineBreakLength;
    const C brk = breakChar<C>(form);
    size_t breaks = scan_count_char(s, n, brk);
    size_t dropped = breaks;  // each break character, and the LF after a CR in CR LF
    if (form == BREAK_CRLF) {
        for (size_t i = scan_find_char(s, n, C(CR)); i < n; i += 1 + scan_find_char(s + i + 1, n - i - 1, C(CR))) {
            dropped += i + 1 < n && s[i + 1] == LF;
        }
    }
    size_t last = scan_find_last_char(s, n, brk);
    size_t lines = breaks + (skipBreak(s, n, last, form) < n ? 1 : 0);
    return uint64_t{n} - dropped + uint64_t{lines} * lineBreakLength;
}

template <class C>
bool linebreaks_match(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength) {
    switch (line_break_form(s, n)) {
    case BREAK_CR:
        return lineBreakLength == 1 && lineBreak[0] == CR;
    case BREAK_LF:
        return lineBreakLength == 1 && lineBreak[0] == LF;
    case BREAK_CRLF:
        return lineBreakLength == 2 && lineBreak[0] == CR && lineBreak[1] == LF;
    default:
        return false;
    }
}

template <class C>
bool set_linebreaks(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength, TextSink<C> *out) {
    const LineBreakForm form = line_break_form(s, n);
    const C brk = breakChar<C>(form);
    Writer<C> w(out);
    for (size_t i = 0; i < n;) {
        size_t k = form == BREAK_NONE ? n - i : scan_find_char(s + i, n - i, brk);
        if (!w.reserve(k + lineBreakLength)) return false;
        w.put(s + i, k);
        w.putShort(lineBreak, lineBreakLength);
        i = skipBreak(s, n, i + k, form);
    }
    return true;
}

template <class C>
size_t set_linebreaks_in_place(C *s, size_t n, C lineBreak) {
    if (n == 0) return 0;
    const LineBreakForm form = line_break_form(s, n);
    if (form == BREAK_NONE) {
        s[n] = lineBreak;
        return n + 1;
    }
    const C brk = breakChar<C>(form);
    bool endsWithBreak = skipBreak(s, n, scan_find_last_char(s, n, brk), form) == n;
    size_t o = scan_copy_breaks(s, s, n, brk, lineBreak, form == BREAK_CRLF);
    if (!endsWithBreak) s[o++] = lineBreak;
    return o;
}

template LineBreakForm line_break_form(const uint8_t *, size_t);
template LineBreakForm line_break_form(const uint32_t *, size_t);
template size_t line_sense(const uint8_t *, size_t, size_t);
template size_t line_sense(const uint32_t *, size_t, size_t);
template bool wrap_lines(const uint8_t *, size_t, const uint8_t *, size_t, const uint8_t *, size_t, size_t,
                         TextSink<uint8_t> *);
template bool wrap_lines(const uint32_t *, size_t, const uint32_t *, size_t, const uint32_t *, size_t, size_t,
                         TextSink<uint32_t> *);
template uint64_t set_linebreaks_length(const uint8_t *, size_t, size_t);
template uint64_t set_linebreaks_length(const uint32_t *, size_t, size_t);
template bool linebreaks_match(const uint8_t *, size_t, const uint8_t *, size_t);
template bool linebreaks_match(const uint32_t *, size_t, const uint32_t *, size_t);
template bool set_linebreaks(const uint8_t *, size_t, const uint8_t *, size_t, TextSink<uint8_t> *);
template bool set_linebreaks(const uint32_t *, size_t, const uint32_t *, size_t, TextSink<uint32_t> *);
template size_t set_linebreaks_in_place(uint8_t *, size_t, uint8_t);
template size_t set_linebreaks_in_place(uint32_t *, size_t, uint32_t);
