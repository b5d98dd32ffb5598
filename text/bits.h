// The lowest and highest set bit of a 64-bit mask (m != 0), for the scans'
// masks and the marks of lines.  On 32-bit x86 in halves: the 64-bit
// builtins would call the compiler's runtime there.
#ifndef GH_TEXT_BITS_H
#define GH_TEXT_BITS_H

#include <stdint.h>

namespace {

inline unsigned lowestBit(uint64_t m) {
#if defined(__x86_64__) || defined(__aarch64__)
    return static_cast<unsigned>(__builtin_ctzll(m));
#else
    uint32_t low = static_cast<uint32_t>(m);
    return low ? static_cast<unsigned>(__builtin_ctz(low)) : 32u + static_cast<unsigned>(__builtin_ctz(static_cast<uint32_t>(m >> 32)));
#endif
}
inline unsigned highestBit(uint64_t m) {
#if defined(__x86_64__) || defined(__aarch64__)
    return 63u ^ static_cast<unsigned>(__builtin_clzll(m));  // one bsr
#else
    uint32_t high = static_cast<uint32_t>(m >> 32);
    return high ? 63u - static_cast<unsigned>(__builtin_clz(high)) : 31u - static_cast<unsigned>(__builtin_clz(static_cast<uint32_t>(m)));
#endif
}

}  // namespace

#endif
