// The percent escapes (hexEncode, hexDecode) on arbitrary text of either
// character width, against a plain reference written here: the encoder both
// into a separate buffer and in place with its input in the last n of 3n
// slots (as hexEncode runs it), the decoder in place.  Buffers are heap
// blocks of exactly the size the contract gives, so AddressSanitizer sees
// any write past it.
#include <cstring>
#include <memory>
#include <vector>

#include "encoding/percent.h"
#include "fuzz/fuzz_input.h"

namespace {

bool digit(uint32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
uint32_t digitValue(uint32_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

template <class Char>
std::vector<Char> encodeReference(const std::vector<Char> &s, bool addLinefeeds) {
    static const char hex[] = "0123456789abcdef";
    std::vector<Char> out;
    size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        bool escape = c == ' ' || c == '&' || (c & 0x80) ||
                      (c == '%' && !(i + 2 < n && digit(s[i + 1]) && digit(s[i + 2])));
        if (c == '\r') {
            out.push_back(s[i]);
            if (addLinefeeds && !(i + 1 < n && s[i + 1] == '\n')) out.push_back('\n');
        } else if (escape) {
            out.push_back('%');
            out.push_back(static_cast<Char>(hex[c >> 4 & 15]));
            out.push_back(static_cast<Char>(hex[c & 15]));
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

template <class Char>
std::vector<Char> decodeReference(const std::vector<Char> &s, bool saveLinefeeds) {
    std::vector<Char> out;
    size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c == '\n' && !saveLinefeeds) continue;
        if (c == '%' && i + 2 < n && digit(s[i + 1]) && digit(s[i + 2])) {
            out.push_back(static_cast<Char>(digitValue(s[i + 1]) * 16 + digitValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(c == '+' ? static_cast<Char>(' ') : s[i]);
        }
    }
    return out;
}

template <class Char>
void check(const std::vector<Char> &text, bool flag) {
    size_t n = text.size();
    std::vector<Char> want = encodeReference(text, flag);

    std::unique_ptr<Char[]> in(new Char[n ? n : 1]);
    std::unique_ptr<Char[]> out(new Char[n ? 3 * n : 1]);
    if (n) std::memcpy(in.get(), text.data(), n * sizeof(Char));
    size_t got = percent_encode(in.get(), n, out.get(), flag);
    GH_FUZZ_CHECK(got == want.size() && std::equal(want.begin(), want.end(), out.get()));

    // In place: the input in the last n of the 3n slots.
    std::unique_ptr<Char[]> both(new Char[n ? 3 * n : 1]);
    if (n) std::memcpy(both.get() + 2 * n, text.data(), n * sizeof(Char));
    got = percent_encode(both.get() + 2 * n, n, both.get(), flag);
    GH_FUZZ_CHECK(got == want.size() && std::equal(want.begin(), want.end(), both.get()));

    std::vector<Char> decoded = decodeReference(text, flag);
    if (n) std::memcpy(in.get(), text.data(), n * sizeof(Char));
    got = percent_decode(in.get(), n, flag);
    GH_FUZZ_CHECK(got == decoded.size() && std::equal(decoded.begin(), decoded.end(), in.get()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    uint8_t how = in.byte();
    bool flag = how & 1;
    if (how & 2) {
        // Wide characters: mostly the byte itself, sometimes a code that
        // only looks like a digit or an escape in its low 8 bits, or any
        // 32-bit value.
        std::vector<uint32_t> text;
        while (!in.empty()) {
            uint8_t b = in.byte();
            if (b == 0xFE) {
                text.push_back(0x100u * (1 + in.byte()) + in.byte());
            } else if (b == 0xFF) {
                text.push_back(in.u32());
            } else {
                text.push_back(b);
            }
        }
        check(text, flag);
    } else {
        size_t n;
        const uint8_t *p = in.rest(&n);
        check(std::vector<uint8_t>(p, p + n), flag);
    }
    return 0;
}
