// SHA-256 block step with the ARMv8 SHA-256 instructions (sha256h,
// sha256h2, sha256su0, sha256su1).  Chosen only where the kernel reports
// SHA2 (digest_paths.cpp); the target attribute keeps these instructions
// out of every other function, so the library runs on any 64-bit ARM.
//
// The state is two registers, ABCD and EFGH; sha256h and sha256h2 together
// do four rounds from four schedule words with their constants added.  The
// schedule keeps a ring of four registers of four words each.
#include "digest/sha256.h"

#include <arm_neon.h>

__attribute__((target("+crypto"))) void sha256_blocks_armv8(uint32_t hash[8], const uint8_t *data, size_t blocks) {
    uint32x4_t abcd = vld1q_u32(hash), efgh = vld1q_u32(hash + 4);
    for (; blocks; --blocks, data += 64) {
        const uint32x4_t abcd0 = abcd, efgh0 = efgh;
        uint32x4_t w[4];
        for (int k = 0; k < 4; ++k) w[k] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(data + 16 * k)));
        // Four rounds a step; at step g the ring holds W of steps g-4 .. g-1.
        for (int g = 0; g < 16; ++g) {
            if (g >= 4) {
                w[g & 3] = vsha256su1q_u32(vsha256su0q_u32(w[g & 3], w[(g + 1) & 3]), w[(g + 2) & 3], w[(g + 3) & 3]);
            }
            uint32x4_t wk = vaddq_u32(w[g & 3], vld1q_u32(kSha256RoundConstants + 4 * g));
            uint32x4_t before = abcd;
            abcd = vsha256hq_u32(abcd, efgh, wk);
            efgh = vsha256h2q_u32(efgh, before, wk);
        }
        abcd = vaddq_u32(abcd, abcd0);
        efgh = vaddq_u32(efgh, efgh0);
    }
    vst1q_u32(hash, abcd);
    vst1q_u32(hash + 4, efgh);
}
