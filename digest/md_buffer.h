// The buffering every 64-byte-block digest shares: append input to a partial
// block, compress full blocks straight from the input, keep the rest.
#ifndef GH_MD_BUFFER_H
#define GH_MD_BUFFER_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "digest/digest_util.h"

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

// MD4 and MD5 keep the same context (state[4], count[2], buffer[64]) and
// differ only in their block step: the steps around it are written once.
template <class Context>
inline void md_init(Context *context) {
    context->count[0] = context->count[1] = 0;
    context->state[0] = 0x67452301u;
    context->state[1] = 0xefcdab89u;
    context->state[2] = 0x98badcfeu;
    context->state[3] = 0x10325476u;
}

template <class Context, class Blocks>
inline void md_update(Context *context, const uint8_t *input, size_t len, Blocks blocks) {
    size_t used = (context->count[0] >> 3) & 63;
    add_bits32x2(context->count, len);
    buffer_update<64>(context->state, context->buffer, used, input, len, blocks);
}

// Pads to 56 mod 64 (a 0x80 byte, then zeros), appends the bit count
// little-endian, writes the state little-endian and wipes the context.
template <class Context, class Blocks>
inline void md_final(uint8_t digest[16], Context *context, Blocks blocks) {
    uint8_t bits[8];
    store_le32(bits, context->count[0]);
    store_le32(bits + 4, context->count[1]);
    static const uint8_t padding[64] = {0x80};
    size_t used = (context->count[0] >> 3) & 63;
    md_update(context, padding, used < 56 ? 56 - used : 120 - used, blocks);
    md_update(context, bits, 8, blocks);
    for (int i = 0; i < 4; ++i) store_le32(digest + 4 * i, context->state[i]);
    wipe(context, sizeof *context);
}

}  // namespace digest_detail

#endif
