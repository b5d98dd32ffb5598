// Small pure helpers of the binary utilities.
#include "encoding/binary_utils.h"

#include <string.h>

bool integer_in_range(size_t length, int64_t index, size_t width) {
    return index >= 0 && width <= length && static_cast<uint64_t>(index) <= length - width;
}

uint32_t load_integer(const uint8_t *p, size_t width, bool littleEndian) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v = v << 8 | p[littleEndian ? width - 1 - i : i];
    return v;
}

void wrap_bytes(uint8_t *block, size_t b, const uint8_t *prefix, size_t p, const uint8_t *suffix,
                size_t s) {
    if (b) memmove(block + p, block, b);
    if (p) memcpy(block, prefix, p);
    if (s) memcpy(block + p + b, suffix, s);
}
