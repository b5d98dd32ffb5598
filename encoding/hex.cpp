// Hexadecimal digit helpers.
#include "encoding/hex.h"

bool is_hex_digit(uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

uint8_t hex_digit_value(uint8_t c) {
    switch (c >> 4) {
    case 0x3:
        return static_cast<uint8_t>(c - 0x30);
    case 0x4:
        return static_cast<uint8_t>(c - 0x37);
    case 0x6:
        return static_cast<uint8_t>(c - 0x57);
    default:
        return 0;
    }
}

void hex_encode_lower(const uint8_t *in, size_t n, uint8_t *out) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = static_cast<uint8_t>(digits[in[i] >> 4]);
        out[2 * i + 1] = static_cast<uint8_t>(digits[in[i] & 15]);
    }
}

size_t hex_decode_pairs(const uint8_t *in, size_t n, uint8_t *out) {
    for (size_t i = 0; i + 1 < n; i += 2) out[i / 2] = hex_pair_value(in + i);
    return n / 2;
}
