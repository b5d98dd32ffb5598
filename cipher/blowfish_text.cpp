// The percent text form of ciphertext.
#include "cipher/blowfish_text.h"

#include <stdint.h>
#include <string.h>

namespace {

constexpr uint8_t digitValue(unsigned c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c & 0x0F);
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return static_cast<uint8_t>(c - 0x37);
}

struct DigitTable {
    uint8_t value[256];
};

constexpr DigitTable makeDigitTable() {
    DigitTable t{};
    for (unsigned c = 0; c < 256; ++c) t.value[c] = digitValue(c);
    return t;
}

constexpr DigitTable kDigits = makeDigitTable();

// The two uppercase digits of every byte value, high nibble first.
struct PairTable {
    char digits[256][2];
};

constexpr PairTable makePairTable() {
    PairTable t{};
    const char hex[] = "0123456789ABCDEF";
    for (unsigned b = 0; b < 256; ++b) {
        t.digits[b][0] = hex[b >> 4];
        t.digits[b][1] = hex[b & 15];
    }
    return t;
}

constexpr PairTable kPairs = makePairTable();

}  // namespace

size_t blowfish_text_size(size_t n) {
    if (n > (SIZE_MAX - 1) / 3) return 0;
    return 3 * n + 1;
}

void blowfish_text_encode(const uint8_t *in, size_t n, uint8_t *out) {
    for (size_t i = 0; i < n; ++i) {
        out[3 * i] = '%';
        memcpy(out + 3 * i + 1, kPairs.digits[in[i]], 2);
    }
    out[3 * n] = 0;
}

size_t blowfish_text_decode(uint8_t *data, size_t n) {
    if (n == 0) return 0;  // data may then be null, which memchr does not take
    const void *nul = memchr(data, 0, n);
    const size_t end = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - data) : n;
    // The output never overtakes the input: an escape reads 3 bytes and
    // writes 1, anything else reads 1 and writes 1.
    size_t out = 0;
    size_t i = 0;
    while (i < end) {
        // Runs of escapes, the usual content, without a branch per byte kind.
        while (end - i >= 3 && data[i] == '%') {
            data[out++] = static_cast<uint8_t>(kDigits.value[data[i + 1]] << 4 | kDigits.value[data[i + 2]]);
            i += 3;
        }
        if (i < end) {
            if (data[i] == '%' && end - i >= 3) continue;
            data[out++] = data[i++];
        }
    }
    return out;
}
