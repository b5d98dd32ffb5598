// The buffering every 64-byte-block digest shares: append input to a partial
// block, compress full blocks straight from the input, keep the rest.
#ifndef GH_MD_BUFFER_H
#define GH_MD_BUFFER_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace digest_detail {

// `used` bytes of `buffer` (size B) are filled.  Compresses every full block
// with blocks(state, data, n) and returns how many bytes the buffer holds
// afterwards.
template <size_t B, class State, class Blocks>
inline size_t buffer_update(State *state, uint8_t *buffer, size_t used, const uint8_t *input,
                            size_t len, Blocks blocks) {
    if (len == 0) return used;  // also keeps a null input with length 0 harmless
    if (used) {
        size_t room = B - used;
        if (len < room) {
            memcpy(buffer + used, input, len);
            return used + len;
        }
        memcpy(buffer + used, input, room);
        blocks(state, buffer, 1);
        input += room;
        len -= room;
    }
    size_t whole = len / B;
    if (whole) blocks(state, input, whole);
    size_t rest = len - whole * B;
    if (rest) memcpy(buffer, input + whole * B, rest);
    return rest;
}

// Adds len bytes to a 64-bit bit count kept as two 32-bit words, low first
// (the MD4/MD5/SHA-1 reference form).
inline void add_bits32x2(uint32_t count[2], size_t len) {
    uint64_t bits = (static_cast<uint64_t>(count[1]) << 32 | count[0]) +
                    (static_cast<uint64_t>(len) << 3);
    count[0] = static_cast<uint32_t>(bits);
    count[1] = static_cast<uint32_t>(bits >> 32);
}

}  // namespace digest_detail

#endif
