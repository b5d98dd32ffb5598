// hexToBinary's pairing and the digit helpers on arbitrary bytes: the
// output is a heap buffer of exactly n/2 bytes; each byte is what the digit
// rules give (0x30-0x3F, 0x40-0x4F, 0x60-0x6F by their high nibble, anything
// else 0); a trailing odd digit is ignored; lowercase hexadecimal of any
// bytes pairs back to them.
#include <cstring>
#include <memory>

#include "encoding/hex.h"
#include "fuzz/fuzz_input.h"

namespace {

uint8_t digitRule(uint8_t c) {
    switch (c >> 4) {
    case 3: return static_cast<uint8_t>(c - 0x30);
    case 4: return static_cast<uint8_t>(c - 0x37);
    case 6: return static_cast<uint8_t>(c - 0x57);
    default: return 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    size_t n;
    const uint8_t *p = in.rest(&n);
    std::unique_ptr<uint8_t[]> text(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(text.get(), p, n);

    std::unique_ptr<uint8_t[]> out(new uint8_t[n / 2 ? n / 2 : 1]);
    GH_FUZZ_CHECK(hex_decode_pairs(text.get(), n, out.get()) == n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) {
        GH_FUZZ_CHECK(out[i / 2] == static_cast<uint8_t>(digitRule(p[i]) * 16 + digitRule(p[i + 1])));
        GH_FUZZ_CHECK(hex_pair_value(text.get() + i) == out[i / 2]);
    }
    for (size_t i = 0; i < n; ++i) {
        bool isDigit = (p[i] >= '0' && p[i] <= '9') || (p[i] >= 'a' && p[i] <= 'f') || (p[i] >= 'A' && p[i] <= 'F');
        GH_FUZZ_CHECK(is_hex_digit(p[i]) == isDigit);
    }

    // Any bytes to digits and back.
    std::unique_ptr<uint8_t[]> digits(new uint8_t[n ? 2 * n : 1]);
    hex_encode_lower(p, n, digits.get());
    for (size_t i = 0; i < 2 * n; ++i) {
        GH_FUZZ_CHECK((digits[i] >= '0' && digits[i] <= '9') || (digits[i] >= 'a' && digits[i] <= 'f'));
    }
    std::unique_ptr<uint8_t[]> back(new uint8_t[n ? n : 1]);
    GH_FUZZ_CHECK(hex_decode_pairs(digits.get(), 2 * n, back.get()) == n);
    GH_FUZZ_CHECK(n == 0 || std::memcmp(back.get(), p, n) == 0);
    return 0;
}
