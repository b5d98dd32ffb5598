// The percent text form of ciphertext: every byte as "%" and two uppercase
// hexadecimal digits, high nibble first, without separators.
#ifndef GH_BLOWFISH_TEXT_H
#define GH_BLOWFISH_TEXT_H

#include <stddef.h>
#include <stdint.h>

// Characters of the text form of n bytes, the NUL not included: 3n, in 64
// bits.
inline uint64_t blowfish_text_length(uint64_t n) { return 3 * n; }

// Bytes blowfish_text_encode writes for n bytes, its NUL included (3n + 1), or 0 when
// that does not fit in a size_t.
size_t blowfish_text_size(size_t n);

// Writes the text form of n bytes and a NUL to out, which has room for
// blowfish_text_size(n) bytes.
void blowfish_text_encode(const uint8_t *in, size_t n, uint8_t *out);

// Decodes the text form in place and returns the number of bytes now at the
// start of data.  The text ends at a NUL byte or after n bytes.  A "%" with
// two bytes after it is one escape; every other byte is copied as it is.
//
// A digit counts 0-9 as 0-9 and a-f, like A-F, as 10-15; any other byte b
// after a "%" counts b - 0x37 (as the original decoder did), and the escape
// keeps the low 8 bits of (first << 4 | second).  A "%" among the last two
// bytes of the text cannot be an escape: it and what follows are copied as
// they are, so nothing past the text is ever read.
size_t blowfish_text_decode(uint8_t *data, size_t n);

#endif
