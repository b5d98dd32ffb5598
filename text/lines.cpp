// Line breaking, over the scans of scan.h.  The text is marked a stretch at
// a time (scan_mark_chars: its break characters and its places to break,
// codes up to 32, a bit each), and each line is looked up in the marks: the
// next break is found once and remembered until it is passed, a line's own
// end is the highest mark of its window.  The lines are short, so they are
// copied in whole pieces of 32 bytes where the text and the output have the
// room, not by a call each.
#include "text/lines.h"

#include <string.h>

#include "text/bits.h"
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

    // Lines go in whole pieces: the first 96 bytes whatever the line's
    // length (no branch for most lines), then 64 bytes at a time; the
    // characters past a line are written over by the next one (or left past
    // `used`).  kSlack: the room past a line and the characters past it in
    // the text this needs.
    static constexpr size_t kHead = 96 / sizeof(C), kPiece = 64 / sizeof(C);
    static constexpr size_t kSlack = kHead + kPiece + 4;

    // A line: start[0, startLength), p[0, k), lineBreak[0, breakLength),
    // start and lineBreak padded to 4 characters; the room is there and p
    // may be read up to k + kSlack characters.
    void putLineFast(const C *start, size_t startLength, const C *p, size_t k, const C *lineBreak,
                     size_t breakLength) {
        C *o = data + used;
        if (startLength) memcpy(o, start, 4 * sizeof(C));
        o += startLength;
        memcpy(o, p, 96);
        for (size_t j = kHead; j < k; j += kPiece) memcpy(o + j, p + j, 64);
        memcpy(o + k, lineBreak, 4 * sizeof(C));
        used += startLength + k + breakLength;
    }

    // The same where p may be read up to `readable` characters: in pieces
    // where the sink and the text have the room, else exactly, growing the
    // sink as put() would.
    bool putLine(const C *start, size_t startLength, const C *p, size_t k, size_t readable, const C *lineBreak,
                 size_t breakLength) {
        const size_t need = startLength + k + breakLength;
        if (room - used >= need + kSlack && readable >= k + kSlack) {
            putLineFast(start, startLength, p, k, lineBreak, breakLength);
            return true;
        }
        if (!reserve(need)) return false;
        putShort(start, startLength);
        put(p, k);
        putShort(lineBreak, breakLength);
        return true;
    }
};

// A line start or line break of up to 4 characters, padded to 4 for
// Writer::putLine.
template <class C>
struct Short4 {
    C c[4] = {};
    Short4(const C *p, size_t k) {
        for (size_t i = 0; i < k; ++i) c[i] = p[i];
    }
};

// The marks of a stretch s[base, end) of the text (at most MARK_CHARS): its
// break characters, and its places to break (codes up to 32), a bit each.
enum { MARK_CHARS = 4096, MARK_WORDS = MARK_CHARS / 64 };

template <class C>
struct Marks {
    size_t base = 0, end = 0;
    uint64_t breaks[MARK_WORDS];
    uint64_t low[MARK_WORDS];

    void mark(const C *s, size_t n, size_t from, C brk, bool withLow) {
        base = from;
        end = n - from < MARK_CHARS ? n : from + MARK_CHARS;
        scan_mark_chars(s + base, end - base, brk, C(SPACE), breaks, withLow ? low : nullptr);
    }
    // The first break at or after i (base <= i <= end), or end.
    size_t nextBreak(size_t i) const {
        size_t r = i - base, words = (end - base + 63) / 64, q = r / 64;
        if (q >= words) return end;
        uint64_t m = breaks[q] & (~uint64_t{0} << (r % 64));
        while (!m) {
            if (++q == words) return end;
            m = breaks[q];
        }
        return base + q * 64 + lowestBit(m);
    }
    // The last place to break in s[i, e) (base <= i < e <= end), from i; or
    // e - i when there is none.
    size_t lastLow(size_t i, size_t e) const {
        size_t r = i - base, last = e - 1 - base, q = last / 64;
        uint64_t m = low[q] & (~uint64_t{0} >> (63 - last % 64));
        while (!m) {
            if (q * 64 <= r) return e - i;
            m = low[--q];
        }
        size_t j = q * 64 + highestBit(m);
        return j >= r ? j - r : e - i;
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

namespace {

// wrap_lines line by line over the scans: for windows of more than half a
// stretch of marks.
template <class C>
bool wrapEach(const C *s, size_t n, const C *lineStart, size_t lineStartLength, const C *lineBreak,
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

// wrap_lines over the marks, for windows of up to half a stretch and line
// starts and breaks of up to 4 characters.
template <class C>
bool wrapMarked(const C *s, size_t n, const C *lineStart, size_t lineStartLength, const C *lineBreak,
                size_t lineBreakLength, size_t lineSize, TextSink<C> *out) {
    const size_t window = lineSize + 1 - lineStartLength;
    const LineBreakForm form = line_break_form(s, n);
    const C brk = breakChar<C>(form);
    const Short4<C> start(lineStart, lineStartLength), ending(lineBreak, lineBreakLength);
    Marks<C> m;
    m.mark(s, n, 0, brk, true);
    // The first break at or after the line, or the stretch's end when the
    // stretch has none (no break in any window that lies in the stretch).
    size_t nextBreak = m.nextBreak(0);
    Writer<C> w(out);
    const size_t most = lineStartLength + window + lineBreakLength + Writer<C>::kSlack;  // a line's room
    for (size_t i = 0; i < n;) {
        if (i + window > m.end && m.end < n) {
            m.mark(s, n, i, brk, true);  // the window always lies in the stretch, or the stretch ends the text
            nextBreak = m.nextBreak(i);
        } else if (nextBreak < i) {
            nextBreak = m.nextBreak(i);
        }
        // While the window lies in the stretch, the text reaches kSlack past
        // it and the sink has a line's room: lines without those checks.  A
        // break here is a break character, never the text's end.
        size_t end = n - m.end >= Writer<C>::kSlack ? m.end : n - Writer<C>::kSlack;
        if (n >= Writer<C>::kSlack && end >= window && i <= end - window && w.room - w.used >= most) {
            // Positions from the stretch's start: a line's end is a few
            // steps from its start, the latency of each line.
            const C *t = s + m.base;
            const size_t last = end - window - m.base, lastUsed = w.room - most;
            size_t r = i - m.base, next = nextBreak - m.base;
            do {
                size_t shown;
                if (next - r < window) {
                    size_t k = next - r;
                    shown = k > 0 && t[next - 1] == SPACE ? k - 1 : k;
                    w.putLineFast(start.c, lineStartLength, t + r, shown, ending.c, lineBreakLength);
                    r = next + 1;
                    if (form == BREAK_CRLF && t[r] == LF) ++r;
                    next = m.nextBreak(m.base + r) - m.base;  // past the stretch: its end, and the loop ends
                    continue;
                }
                // The window's last place to break (r + window: none).
                size_t e = r + window - 1, j;
                uint64_t word = m.low[e / 64] & (~uint64_t{0} >> (63 - e % 64));
                if (word) {
                    j = (e & ~size_t{63}) | highestBit(word);
                    if (j < r) j = r + window;
                } else {
                    j = r + m.lastLow(m.base + r, m.base + r + window);
                }
                size_t from = r;
                if (j == r + window) {
                    shown = window - 1;
                    r += window - 1;
                } else if (t[j] == SPACE) {
                    shown = j - r;
                    r = j + 1;
                } else if (j > r) {
                    shown = t[j - 1] == SPACE ? j - 1 - r : j - r;
                    r = j;
                } else {
                    shown = window - 1;
                    r += window - 1;
                }
                w.putLineFast(start.c, lineStartLength, t + from, shown, ending.c, lineBreakLength);
            } while (r <= last && w.used <= lastUsed);
            i = m.base + r;
            nextBreak = m.base + next;
            continue;
        }
        size_t k;
        if (nextBreak - i < window) {
            k = nextBreak - i;  // also when fewer than `window` characters remain
        } else {
            // line_sense, over the marks.
            size_t j = m.lastLow(i, i + window);
            if (j == window) {
                k = window - 1;
            } else if (s[i + j] == SPACE) {
                k = j + 1;
            } else {
                k = j > 0 ? j : window - 1;
            }
        }
        size_t shown = k > 0 && s[i + k - 1] == SPACE ? k - 1 : k;
        if (!w.putLine(start.c, lineStartLength, s + i, shown, n - i, ending.c, lineBreakLength)) return false;
        i = skipBreak(s, n, i + k, form);
    }
    return true;
}

}  // namespace

// The byte build marks; the wide build goes line by line (marking measured
// slower there: its lines are four times the bytes, and the C library's copy
// moves them faster than pieces).
template <class C>
bool wrap_lines(const C *s, size_t n, const C *lineStart, size_t lineStartLength, const C *lineBreak,
                size_t lineBreakLength, size_t lineSize, TextSink<C> *out) {
    if constexpr (sizeof(C) == 1) {
        if (lineSize + 1 - lineStartLength <= MARK_CHARS / 2 && lineStartLength <= 4 && lineBreakLength <= 4)
            return wrapMarked(s, n, lineStart, lineStartLength, lineBreak, lineBreakLength, lineSize, out);
    }
    return wrapEach(s, n, lineStart, lineStartLength, lineBreak, lineBreakLength, lineSize, out);
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

namespace {

// set_linebreaks line by line over the scans.
template <class C>
bool setEach(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength, TextSink<C> *out) {
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

// set_linebreaks over the marks of the breaks, for a line break of up to 4
// characters.
template <class C>
bool setMarked(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength, TextSink<C> *out) {
    const LineBreakForm form = line_break_form(s, n);
    const C brk = breakChar<C>(form);
    Writer<C> w(out);
    const Short4<C> ending(lineBreak, lineBreakLength);
    size_t i = 0;  // the start of the line
    if (form != BREAK_NONE) {
        // Block by block, 64 characters, while the text reaches a block past
        // the next and the sink has the room: each block is copied whole
        // where the line it is in goes (from the line's start when that lies
        // in it), and after each break the rest of the block again, after
        // the new break.  A line is complete (counted in `used`) at its
        // break; the characters written past it are written over.  Elsewhere
        // line by line, growing the sink as put() would.
        const size_t blockRoom = 64 * (lineBreakLength + 1) + Writer<C>::kSlack;
        Marks<C> m;
        for (size_t base = 0; base < n; base += MARK_CHARS) {
            m.mark(s, n, base, brk, false);
            for (size_t q = 0; q * 64 < m.end - base; ++q) {
                const size_t p = base + q * 64;
                uint64_t bits = m.breaks[q];
                if (n - p >= 128 + Writer<C>::kSlack && w.room - w.used >= (p > i ? p - i : 0) + blockRoom) {
                    size_t from = p > i ? p : i;
                    memcpy(w.data + w.used + (from - i), s + from, 64 * sizeof(C));
                    for (; bits; bits &= bits - 1) {
                        size_t b = p + lowestBit(bits);
                        memcpy(w.data + w.used + (b - i), ending.c, 4 * sizeof(C));
                        w.used += b - i + lineBreakLength;
                        i = b + 1;
                        if (form == BREAK_CRLF && s[i] == LF) ++i;
                        memcpy(w.data + w.used, s + i, 64 * sizeof(C));
                    }
                    continue;
                }
                for (; bits; bits &= bits - 1) {
                    size_t b = p + lowestBit(bits);  // never before i: a skipped LF is no break
                    if (!w.putLine(ending.c, 0, s + i, b - i, n - i, ending.c, lineBreakLength)) return false;
                    i = skipBreak(s, n, b, form);
                }
            }
        }
    }
    return i == n || w.putLine(ending.c, 0, s + i, n - i, n - i, ending.c, lineBreakLength);
}

}  // namespace

// As wrap_lines: the byte build marks, the wide build goes line by line.
template <class C>
bool set_linebreaks(const C *s, size_t n, const C *lineBreak, size_t lineBreakLength, TextSink<C> *out) {
    if constexpr (sizeof(C) == 1) {
        if (lineBreakLength <= 4) return setMarked(s, n, lineBreak, lineBreakLength, out);
    }
    return setEach(s, n, lineBreak, lineBreakLength, out);
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
