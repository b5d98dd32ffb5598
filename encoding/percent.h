// Percent escapes of text ("%" and two hexadecimal digits), over characters
// of either width: uint32_t in the wide build, uint8_t in the byte build.
// Pure functions; they know nothing of the host.
#ifndef GH_PERCENT_H
#define GH_PERCENT_H

#include <stddef.h>
#include <stdint.h>

#include "encoding/hex.h"

// A hexadecimal digit character.  Only genuine 0-9, A-F, a-f count: a wide
// character above 0xFF whose low 8 bits look like a digit is not one.
template <class Char>
inline bool is_hex_char(Char c) {
    if constexpr (sizeof(Char) == 1) {
        return is_hex_digit(c);
    } else {
        return c <= 0xFF && is_hex_digit(static_cast<uint8_t>(c));
    }
}

// The most characters percent_encode writes for n characters: 3n (each one
// an escape).  64-bit, so that a caller can tell when it is past a count.
inline uint64_t percent_encoded_room(uint64_t n) { return 3 * n; }

// Escapes the n characters at in into out and returns the characters
// written (at most percent_encoded_room(n)):
//   CR            CR, then LF if addLinefeeds and the next character is not LF
//   space, "&"    %20, %26
//   "%"           unchanged when two digit characters follow (an existing
//                 escape passes through), otherwise %25
//   bit 7 set     "%" and the two lowercase digits of the low 8 bits (in the
//                 wide build bit 7 alone decides: U+20AC gives %ac, U+0141
//                 passes unchanged)
//   anything else unchanged
// in may be the last n of the 3n characters at out: no character is written
// over one not yet read.
template <class Char>
size_t percent_encode(const Char *in, size_t n, Char *out, bool addLinefeeds) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        Char c = in[i];
        if (c == '\r') {
            bool lfNext = i + 1 < n && in[i + 1] == '\n';
            out[o++] = c;
            if (addLinefeeds && !lfNext) out[o++] = '\n';
        } else if (c == ' ' || c == '&' || (c & 0x80) ||
                   (c == '%' && !(i + 2 < n && is_hex_char(in[i + 1]) && is_hex_char(in[i + 2])))) {
            out[o] = '%';
            out[o + 1] = c;
            byte_to_hex_in_place(out + o + 1);
            o += 3;
        } else {
            out[o++] = c;
        }
    }
    return o;
}

// Undoes the escapes of the n characters at s in place and returns the
// characters kept: "%" and two digit characters become the one character
// of their value (0-255), "+" becomes a space, LF is dropped unless
// saveLinefeeds, and everything else (a "%" without two digits after it
// included) is kept as it is.
template <class Char>
size_t percent_decode(Char *s, size_t n, bool saveLinefeeds) {
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        Char c = s[i];
        if (c == '\n' && !saveLinefeeds) continue;
        if (c == '%' && i + 2 < n && is_hex_char(s[i + 1]) && is_hex_char(s[i + 2])) {
            s[o++] = static_cast<Char>(hex_pair_value(s + i + 1));
            i += 2;
            continue;
        }
        s[o++] = c == '+' ? static_cast<Char>(' ') : c;
    }
    return o;
}

#endif
