// Base64 (RFC 4648): the standard alphabet A-Z a-z 0-9 + /, "=" padding, no
// line breaks on output.  Pure functions over byte strings.
//
// The decoder skips leading spaces and tabs, and stops quietly at the first
// byte outside the alphabet ("=", a space, NUL, any byte 0x80-0xFF, ...):
// everything from there on is ignored.  Its output is always a prefix of what
// the whole run of alphabet bytes decodes to:
//   - groups of four characters give three bytes; a final group of three
//     gives two bytes and of two gives one byte; a lone final character
//     carries only six bits and gives nothing;
//   - at most `capacity` bytes are written, the first `capacity` bytes of the
//     full decoding (so a capacity that is not a multiple of three keeps the
//     whole bytes of a partly fitting group), then a NUL.  The destination
//     needs room for capacity + 1 bytes.
// Every function takes the length of its input and never reads past it, and
// takes its destination first, as memcpy does.
#ifndef GH_BASE64_H
#define GH_BASE64_H

#include <stddef.h>
#include <stdint.h>

// Exact length of the Base64 text of n bytes: 4 x ceil(n/3).
inline uint64_t base64_encoded_length(uint64_t n) { return (n + 2) / 3 * 4; }

// Most bytes v alphabet characters decode to: 3 x ceil(v/4) (one or two
// fewer for a short final group).
inline uint64_t base64_decoded_max(uint64_t v) { return (v + 3) / 4 * 3; }

// A destination size for encoding n bytes, NUL included: the estimate
// n x 1.3333333 + 3, or 4 x ceil(n/3) + 1 where the estimate would be too
// small (it falls short for inputs of hundreds of megabytes).
uint64_t base64_enc_size(uint32_t n);

// A capacity for decoding n characters: n x 0.75 + 3, always enough.
uint64_t base64_dec_size(uint32_t n);

// Writes the Base64 text of the n bytes at src to dst, then a NUL; dst has
// room for base64_encoded_length(n) + 1 bytes.  Returns the characters
// written, NUL excluded (always 4 x ceil(n/3)).
size_t base64_encode(uint8_t *dst, const uint8_t *src, size_t n);

// The same without the NUL: dst has room for base64_encoded_length(n).
size_t base64_encode_text(uint8_t *dst, const uint8_t *src, size_t n);

// The same written as 32-bit characters, one a character (the wide build's
// text): dst has room for base64_encoded_length(n) characters.
size_t base64_encode_text(uint32_t *dst, const uint8_t *src, size_t n);

// Removes every CR and LF from the n bytes at s, moving the others down;
// when anything was removed, writes a NUL after the bytes kept.  Returns the
// number of bytes kept.
size_t base64_remove_breaks(uint8_t *s, size_t n);

// Decodes the Base64 text of n bytes at src (see above) into dst, which has
// room for capacity + 1 bytes.  Returns the bytes decoded; a NUL follows them.
// For text on one line: a CR or LF ends the decoding like any byte outside
// the alphabet.
size_t base64_decode_unwrapped(uint8_t *dst, const uint8_t *src, size_t n, size_t capacity);

// Text wrapped over lines: base64_remove_breaks on src (which is modified),
// then base64_decode_unwrapped.
size_t base64_decode(uint8_t *dst, uint8_t *src, size_t n, size_t capacity);

#endif
