// Small pure helpers of the binary utilities: XOR of a run of characters,
// big- and little-endian integers at an offset, and wrapping bytes between
// a prefix and a suffix.
#ifndef GH_BINARY_UTILS_H
#define GH_BINARY_UTILS_H

#include <stddef.h>
#include <stdint.h>

// The XOR of n values (0 for none), for characters of either width.
template <class Char>
Char xor_fold(const Char *values, size_t n) {
    Char x = 0;
    for (size_t i = 0; i < n; ++i) x = static_cast<Char>(x ^ values[i]);
    return x;
}

// True when the `width` bytes at index lie wholly within `length` bytes (a
// negative index never does).
bool integer_in_range(size_t length, int64_t index, size_t width);

// The unsigned integer of `width` (1..4) bytes at p: first byte most
// significant, or least significant with littleEndian.
uint32_t load_integer(const uint8_t *p, size_t width, bool littleEndian);

// block holds b bytes; it becomes prefix (p bytes), those b bytes, suffix (s
// bytes).  block has room for p + b + s bytes; prefix and suffix lie
// elsewhere.
void wrap_bytes(uint8_t *block, size_t b, const uint8_t *prefix, size_t p, const uint8_t *suffix,
                size_t s);

#endif
