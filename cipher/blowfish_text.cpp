// The percent text form of ciphertext.
#include "cipher/blowfish_text.h"

#include <stdint.h>

namespace {

inline uint32_t digit_value(uint8_t c) {
    if (c >= '0' && c <= '9') return c & 0x0Fu;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10u;
    return static_cast<uint8_t>(c - 0x37);
}

}  // namespace

size_t encodeAsText_size(size_t n) {
    if (n > (SIZE_MAX - 1) / 3) return 0;
    return 3 * n + 1;
}

void encodeAsText(const uint8_t *in, size_t n, uint8_t *out) {
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < n; ++i) {
        out[3 * i] = '%';
        out[3 * i + 1] = static_cast<uint8_t>(digits[in[i] >> 4]);
        out[3 * i + 2] = static_cast<uint8_t>(digits[in[i] & 0x0F]);
    }
    out[3 * n] = 0;
}

size_t decodeAsText(uint8_t *data, size_t n) {
    size_t end = 0;
    while (end < n && data[end]) ++end;
    // The output never overtakes the input: an escape reads 3 bytes and
    // writes 1, anything else reads 1 and writes 1.
    size_t out = 0;
    size_t i = 0;
    while (i < end) {
        if (data[i] == '%' && end - i >= 3) {
            uint32_t v = digit_value(data[i + 1]) << 4 | digit_value(data[i + 2]);
            data[out++] = static_cast<uint8_t>(v);
            i += 3;
        } else {
            data[out++] = data[i++];
        }
    }
    return out;
}
