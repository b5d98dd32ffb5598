// Byte strings as lower-case hex and back, for expectations written the way
// the standards print their vectors.
#ifndef GH_TESTS_SUPPORT_HEX_H
#define GH_TESTS_SUPPORT_HEX_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace testhex {

inline std::string hex(const uint8_t *p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

inline std::string hex(const std::vector<uint8_t> &b) { return hex(b.data(), b.size()); }

// Pairs of hex digits; an odd last digit is ignored.
inline std::vector<uint8_t> fromHex(const std::string &h) {
    std::vector<uint8_t> b;
    for (size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return b;
}

}  // namespace testhex

#endif
