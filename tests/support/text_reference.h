// Plain references of the text algorithms: direct loops over the rules as
// they are stated, with none of the library's shortcuts (no token analysis,
// no remembered positions, no character scans), for the differential tests
// and the fuzzers.  Texts are std::vector of the character type (uint8_t or
// uint32_t).
#ifndef GH_TESTS_TEXT_REFERENCE_H
#define GH_TESTS_TEXT_REFERENCE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace textref {

template <class C>
using Text = std::vector<C>;

template <class C>
bool matchesAt(const Text<C> &s, size_t at, const Text<C> &token) {
    if (at + token.size() > s.size()) return false;
    for (size_t j = 0; j < token.size(); ++j) {
        if (s[at + j] != token[j]) return false;
    }
    return true;
}

template <class C>
Text<C> slice(const Text<C> &s, size_t from, size_t to) {
    return Text<C>(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(to));
}

template <class C>
bool isQuote(C c) {
    return c == 34 || c == 39;
}

// --- Delimited parts --------------------------------------------------------

// The delimiter search from p: plain, or (quotes respected, a quote at p)
// the first quote character like it after p that the whole delimiter
// follows; closeAtEnd also takes that quote character as the text's last
// character (the match then lies just beyond the text).
struct Search {
    bool found = false;
    size_t start = 0, end = 0;
    bool quoted = false;
    uint32_t quote = 0;
};

template <class C>
Search search(const Text<C> &s, size_t p, const Text<C> &token, bool aware, bool closeAtEnd) {
    Search r;
    size_t n = s.size();
    if (aware && p < n && isQuote(s[p])) {
        r.quoted = true;
        r.quote = s[p];
        for (size_t i = p + 1; i < n; ++i) {
            if (s[i] != s[p]) continue;
            if (matchesAt(s, i + 1, token)) {
                r.found = true;
                r.start = i + 1;
                r.end = i + 1 + token.size();
                return r;
            }
            if (closeAtEnd && i == n - 1) {
                r.found = true;
                r.start = n;
                r.end = n + token.size();
                return r;
            }
        }
        return r;
    }
    for (size_t i = p; i < n; ++i) {
        if (matchesAt(s, i, token)) {
            r.found = true;
            r.start = i;
            r.end = i + token.size();
            return r;
        }
    }
    return r;
}

// The part from p up to e: without its quotes when the search was quoted
// and the character before e is that quote.  A lone quote character cannot
// lose both quotes and is returned as it is.
template <class C>
Text<C> extract(const Text<C> &s, size_t p, size_t e, const Search &r) {
    if (r.quoted && e >= p + 2 && s[e - 1] == r.quote) return slice(s, p + 1, e - 1);
    return slice(s, p, e);
}

// Part `number` (1 for the first); empty for the empty text.
template <class C>
Text<C> nthPart(const Text<C> &s, size_t number, const Text<C> &token, bool aware, bool closeAtEnd) {
    size_t p = 0;
    for (size_t k = 1; k < number; ++k) {
        Search r = search(s, p, token, aware, closeAtEnd);
        if (!r.found) return {};
        p = r.end;
        if (p >= s.size()) return {};
    }
    if (p >= s.size()) return {};
    Search r = search(s, p, token, aware, closeAtEnd);
    if (r.found) return extract(s, p, r.start, r);
    Text<C> rest = slice(s, p, s.size());
    if (r.quoted && rest.size() == 2 && rest[0] == r.quote && rest[1] == r.quote) return {};
    return extract(s, p, s.size(), r);
}

// splitstring's split-off mode: the piece, and what the field keeps.
template <class C>
struct SplitOff {
    Text<C> piece, field;
};

template <class C>
SplitOff<C> splitOff(const Text<C> &s, const Text<C> &token, bool aware) {
    Search r = search(s, 0, token, aware, false);
    if (r.found) return {extract(s, 0, r.start, r), slice(s, r.end, s.size())};
    if (r.quoted && s.size() >= 2 && s.back() == r.quote) return {slice(s, 1, s.size() - 1), {}};
    return {s, {}};
}

// indexOfPart's scan, step by step.
template <class C>
size_t indexOfPart(const Text<C> &s, const Text<C> &part, const Text<C> &token, bool aware) {
    size_t n = s.size(), start = 0, number = 1, i = 0;
    while (i < n) {
        bool quoted = aware && isQuote(s[start]);
        std::optional<Text<C>> value;
        size_t next = 0;
        if (quoted) {
            if (i > start && s[i] == s[start] && (matchesAt(s, i + 1, token) || i == n - 1)) {
                value = slice(s, start + 1, i);
                next = i + 1 + token.size();
            }
        } else if (matchesAt(s, i, token)) {
            value = slice(s, start, i);
            next = i + token.size();
        } else if (i == n - 1) {
            value = slice(s, start, n);
            next = n;
        }
        if (!value) {
            ++i;
            continue;
        }
        if (*value == part) return number;
        ++number;
        start = next;
        i = start;
    }
    return 0;
}

// --- Small text functions ---------------------------------------------------

// Counted from the left, each occurrence skipped whole.
template <class C>
size_t howMany(const Text<C> &pattern, const Text<C> &s) {
    if (pattern.empty()) return 0;
    size_t count = 0;
    for (size_t i = 0; i + pattern.size() <= s.size();) {
        if (matchesAt(s, i, pattern)) {
            ++count;
            i += pattern.size();
        } else {
            ++i;
        }
    }
    return count;
}

template <class C>
Text<C> stripZeros(const Text<C> &s) {
    Text<C> out;
    for (C c : s) {
        if (c != 0) out.push_back(c);
    }
    return out;
}

template <class C>
Text<C> filenameOfPath(const Text<C> &s) {
    for (size_t i = s.size(); i-- > 0;) {
        if (s[i] == 92) return slice(s, i + 1, s.size());
    }
    return s;
}

template <class C>
Text<C> folderPartOfPath(const Text<C> &s) {
    for (size_t i = s.size(); i-- > 0;) {
        if (s[i] == 92) return slice(s, 0, i + 1);
    }
    return s;
}

template <class C>
bool isAsciiAlnum(C c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The steps as stated: trailing spaces counted from the end (overwritten
// with 0 when not kept), leading spaces counted or skipped, then every
// remaining character copied or dropped.
template <class C>
Text<C> reduceToAlphanumeric(Text<C> t, const Text<C> &keepChars, bool leading, bool middle, bool trailing) {
    size_t n = t.size();
    size_t end = n;
    while (end > 0 && t[end - 1] == ' ') {
        if (!trailing) t[end - 1] = 0;
        --end;
    }
    size_t i = 0, leadingCount = 0;
    while (i < n && t[i] == ' ') {
        if (leading) ++leadingCount;
        ++i;
    }
    size_t start = leading ? 0 : i;
    Text<C> keep(keepChars.begin(), keepChars.begin() + static_cast<long>(keepChars.size() < 64 ? keepChars.size() : 64));
    Text<C> out;
    for (size_t p = start; p < n; ++p) {
        C c = t[p];
        if (c == 0) continue;
        if (c == ' ') {
            if (leadingCount > 0) {
                --leadingCount;
                if (leading) out.push_back(c);
            } else if (p + 1 < end) {
                if (middle) out.push_back(c);
            } else if (trailing) {
                out.push_back(c);
            }
            continue;
        }
        bool kept = isAsciiAlnum(c);
        for (C k : keep) kept = kept || k == c;
        if (kept) out.push_back(c);
    }
    return out;
}

// --- Numbers in text --------------------------------------------------------

template <class C>
Text<C> leadingNumber(const Text<C> &s, bool decimal, bool positiveOnly) {
    Text<C> out;
    bool point = false;
    for (size_t i = 0; i < s.size() && i < 200; ++i) {
        C c = s[i];
        bool take = (c >= '0' && c <= '9') || (c == '-' && i == 0 && !positiveOnly) || (c == '.' && decimal && !point);
        if (!take) break;
        if (c == '.') point = true;
        out.push_back(c);
    }
    return out;
}

template <class C>
Text<C> trailingNumber(const Text<C> &s, bool decimal, bool positiveOnly) {
    size_t count = 0;
    bool point = false;
    for (size_t i = s.size(); i-- > 0;) {
        C c = s[i];
        if (c >= '0' && c <= '9') {
            ++count;
        } else if (c == '.' && decimal && !point) {
            point = true;
            ++count;
        } else {
            break;
        }
    }
    if (!positiveOnly && count < s.size() && s[s.size() - count - 1] == '-') ++count;
    size_t start = s.size() - count;
    return slice(s, start, start + (count < 200 ? count : 200));
}

// --- Line breaking ----------------------------------------------------------

struct BreakForm {
    int length = 0;  // 0 none, 1 CR or LF, 2 CR LF
    uint32_t first = 0;
};

template <class C>
BreakForm breakForm(const Text<C> &s) {
    BreakForm f;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 10) return {1, 10};
        if (s[i] == 13) return i + 1 < s.size() && s[i + 1] == 10 ? BreakForm{2, 13} : BreakForm{1, 13};
    }
    return f;
}

template <class C>
size_t skipBreak(const Text<C> &s, size_t i, BreakForm f) {
    if (f.length == 0 || i >= s.size() || s[i] != f.first) return i;
    ++i;
    if (f.length == 2 && i < s.size() && s[i] == 10) ++i;
    return i;
}

// Where a line that starts at i ends, in a window of w characters of the
// text (the rest of the text is at least w long, or it holds the break).
template <class C>
size_t lineEnd(const Text<C> &s, size_t i, size_t w, size_t window, BreakForm f) {
    for (size_t j = 0; j < w; ++j) {
        if (f.length && s[i + j] == f.first) return j;
    }
    if (s.size() - i < window) return s.size() - i;
    for (size_t j = w; j-- > 0;) {
        if (s[i + j] > 32) continue;
        if (s[i + j] == ' ') return j + 1;
        if (j > 0) return j;
        break;  // a control character at the window's start: no place to break
    }
    return window - 1;
}

template <class C>
Text<C> wrapLines(const Text<C> &s, const Text<C> &lineStart, const Text<C> &lineBreak, size_t lineSize) {
    BreakForm f = breakForm(s);
    size_t window = lineSize + 1 - lineStart.size();
    Text<C> out;
    for (size_t i = 0; i < s.size();) {
        size_t w = s.size() - i < window ? s.size() - i : window;
        size_t k = lineEnd(s, i, w, window, f);
        out.insert(out.end(), lineStart.begin(), lineStart.end());
        size_t shown = k > 0 && s[i + k - 1] == ' ' ? k - 1 : k;
        out.insert(out.end(), s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i + shown));
        out.insert(out.end(), lineBreak.begin(), lineBreak.begin() + static_cast<long>(lineBreak.size() < 2 ? lineBreak.size() : 2));
        i = skipBreak(s, i + k, f);
    }
    return out;
}

// The text unchanged when its form is the line break already.
template <class C>
Text<C> setLinebreaks(const Text<C> &s, const Text<C> &lineBreak) {
    BreakForm f = breakForm(s);
    if (f.length && static_cast<size_t>(f.length) == lineBreak.size() && lineBreak[0] == f.first &&
        (f.length == 1 || lineBreak[1] == 10)) {
        return s;
    }
    Text<C> out;
    for (size_t i = 0; i < s.size();) {
        size_t k = 0;
        while (i + k < s.size() && !(f.length && s[i + k] == f.first)) ++k;
        out.insert(out.end(), s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i + k));
        out.insert(out.end(), lineBreak.begin(), lineBreak.begin() + static_cast<long>(lineBreak.size() < 2 ? lineBreak.size() : 2));
        i = skipBreak(s, i + k, f);
    }
    return out;
}

// --- Texts to test with -----------------------------------------------------

// A character from a small alphabet that makes delimiters, quotes, spaces,
// digits, points, minus signs, backslashes, CR, LF and zero characters
// frequent; in wide text also characters above 255, some of whose low bytes
// are among those.
template <class C>
C characterFrom(uint32_t pick) {
    static const uint32_t kBytes[] = {',', ',', ';', ':', '"', '\'', ' ', ' ', '0', '7', '9', '.', '-', 'a', 'a', 'b',
                                      'Z', '\\', 13, 10, 9, 0, 233, '!'};
    static const uint32_t kWide[] = {0x12C, 0x10A, 0x120, 0x100, 0x20AC, 0x80000022u, 0xFFFFFFFFu};
    const size_t bytes = sizeof kBytes / sizeof kBytes[0];
    if (sizeof(C) == 1 || pick % 8 != 0) return static_cast<C>(kBytes[(pick / 8) % bytes]);
    return static_cast<C>(kWide[(pick / 8) % (sizeof kWide / sizeof kWide[0])]);
}

}  // namespace textref

#endif
