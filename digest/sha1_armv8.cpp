// SHA-1 block step with the ARMv8 SHA-1 instructions (sha1c, sha1p, sha1m,
// sha1h, sha1su0, sha1su1).  Chosen only where the kernel reports SHA1
// (digest_paths.cpp); the target attribute keeps these instructions out of
// every other function, so the library runs on any 64-bit ARM.
//
// Each of sha1c/sha1p/sha1m does four rounds (choose, parity, majority)
// from ABCD, E and four schedule words with their constant added; sha1h
// gives the E of the next four rounds (A rotated by 30).  The schedule
// keeps a ring of four registers of four words each.
#include "digest/sha1.h"

#include <arm_neon.h>

namespace {
constexpr uint32_t kK[4] = {0x5a827999u, 0x6ed9eba1u, 0x8f1bbcdcu, 0xca62c1d6u};
}

__attribute__((target("+crypto"))) void sha1_blocks_armv8(uint32_t state[5], const uint8_t *data, size_t blocks) {
    uint32x4_t abcd = vld1q_u32(state);  // a in lane 0
    uint32_t e = state[4];
    for (; blocks; --blocks, data += 64) {
        const uint32x4_t abcd0 = abcd;
        const uint32_t e0 = e;
        uint32x4_t w[4];
        for (int k = 0; k < 4; ++k) w[k] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(data + 16 * k)));
        // Four rounds a step; at step g the ring holds W of steps g-4 .. g-1.
        for (int g = 0; g < 20; ++g) {
            if (g >= 4) {
                w[g & 3] = vsha1su1q_u32(vsha1su0q_u32(w[g & 3], w[(g + 1) & 3], w[(g + 2) & 3]), w[(g + 3) & 3]);
            }
            uint32x4_t wk = vaddq_u32(w[g & 3], vdupq_n_u32(kK[g / 5]));
            uint32_t next = vsha1h_u32(vgetq_lane_u32(abcd, 0));
            if (g < 5) {
                abcd = vsha1cq_u32(abcd, e, wk);
            } else if (g >= 10 && g < 15) {
                abcd = vsha1mq_u32(abcd, e, wk);
            } else {
                abcd = vsha1pq_u32(abcd, e, wk);
            }
            e = next;
        }
        abcd = vaddq_u32(abcd, abcd0);
        e += e0;
    }
    vst1q_u32(state, abcd);
    state[4] = e;
}
