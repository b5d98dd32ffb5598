// SHA-512 block step with the ARMv8.2 SHA-512 instructions (sha512h,
// sha512h2, sha512su0, sha512su1).  Chosen only where the kernel reports
// SHA512 (digest_paths.cpp); the target attribute keeps these instructions
// (and ARMv8.2) out of every other function, so the library runs on any
// 64-bit ARM.
//
// The state is four registers of two words, AB CD EF GH.  sha512h and
// sha512h2 do two rounds from two schedule words with their constants
// added: sha512h gives what is added to D (the new E F), sha512h2 the new
// A B, written over G H.  So after two rounds the registers hold the state
// with their roles turned by one (GH is now AB, AB is CD, ...), and every
// eight rounds the roles are back where they started.  The schedule keeps
// a ring of eight registers of two words each.
#include "digest/sha512.h"

#include <arm_neon.h>

#include "digest/sha512_rounds.h"

using namespace digest_detail;

__attribute__((target("arch=armv8.2-a+sha3"))) void sha512_blocks_armv8(uint64_t hash[8], const uint8_t *data,
                                                                       size_t blocks) {
    uint64x2_t x[4];  // AB, CD, EF, GH
    for (int k = 0; k < 4; ++k) x[k] = vld1q_u64(hash + 2 * k);
    for (; blocks; --blocks, data += 128) {
        const uint64x2_t x0[4] = {x[0], x[1], x[2], x[3]};
        uint64x2_t w[8];
        for (int k = 0; k < 8; ++k) w[k] = vreinterpretq_u64_u8(vrev64q_u8(vld1q_u8(data + 16 * k)));
        // Two rounds a step; at step j the ring holds W of steps j-8 .. j-1,
        // and the roles B D F H are x[-j], x[1-j], x[2-j], x[3-j] (mod 4).
        for (int j = 0; j < 40; ++j) {
            if (j >= 8) {
                w[j & 7] = vsha512su1q_u64(vsha512su0q_u64(w[j & 7], w[(j + 1) & 7]), w[(j + 7) & 7],
                                           vextq_u64(w[(j + 4) & 7], w[(j + 5) & 7], 1));
            }
            uint64x2_t &b = x[(4 - (j & 3)) & 3], &d = x[(5 - (j & 3)) & 3], &f = x[(6 - (j & 3)) & 3],
                       &h = x[(7 - (j & 3)) & 3];
            uint64x2_t wk = vaddq_u64(w[j & 7], vld1q_u64(kSha512K + 2 * j));
            uint64x2_t sum = vaddq_u64(vextq_u64(wk, wk, 1), h);
            uint64x2_t step = vsha512hq_u64(sum, vextq_u64(f, h, 1), vextq_u64(d, f, 1));
            h = vsha512h2q_u64(step, d, b);
            d = vaddq_u64(d, step);
        }
        for (int k = 0; k < 4; ++k) x[k] = vaddq_u64(x[k], x0[k]);
    }
    for (int k = 0; k < 4; ++k) vst1q_u64(hash + 2 * k, x[k]);
}
