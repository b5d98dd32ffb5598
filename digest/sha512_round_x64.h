// One SHA-512 round as x86-64 BMI1/BMI2 assembly, for the pairs step
// (sha512_pairs.inc).  Only sha512_avx2.cpp includes this, in x86-64 builds.
//
// Why assembly: the compiler's best rendering of the same round (C, any
// ordering tried) spent one to three more operations a round on copies and
// re-added sums, and the rounds are what bound the step.  This one takes
// 22 integer operations and 2 register copies (which the processor
// eliminates), in an order that starts the longest chains first:
//
//   h += W + K;  h += e & f;  h += ~e & g (andn);  h += Sigma1(e);  d += h;
//   h += Maj(a, b, c)  with Maj = b ^ ((a ^ b) & (b ^ c));
//   Sigma0(a) is left in s0 and added to the new a at the start of the next
//   round, off the path from a to its successor's Maj.
//
// The state besides a..h, declared by SHA512_ROUND_X64_STATE:
//   s0   Sigma0 still to be added to a (0 before the first round; add it
//        after the last: SHA512_ROUND_X64_END)
//   fc   a copy of f, which `and` may destroy (the round leaves a copy of e,
//        the next round's f)
//   bcIn, bcOut  b ^ c for this round, and a ^ b left for the next one; two
//        variables used in turn (bc, bc2), so that no copy moves it over.
#ifndef GH_SHA512_ROUND_X64_H
#define GH_SHA512_ROUND_X64_H

#include <stdint.h>

#define SHA512_ROUND_X64_STATE uint64_t s0 = 0, fc = f, bc2;
#define SHA512_ROUND_X64_END a += s0;

#define SHA512_ROUND_X64(a, b, c, d, e, f, g, h, wk, bcIn, bcOut)                              \
    {                                                                                          \
        uint64_t t0;                                                                           \
        __asm__("add %[rwk], %[rh]\n\t"                                                         \
                "and %[re], %[fc]\n\t"                                                         \
                "rorx $41, %[re], %[t0]\n\t"                                                   \
                "rorx $18, %[re], %[ab]\n\t"                                                   \
                "add %[s0], %[ra]\n\t"                                                         \
                "add %[fc], %[rh]\n\t"                                                         \
                "andn %[rg], %[re], %[fc]\n\t"                                                 \
                "xor %[ab], %[t0]\n\t"                                                         \
                "rorx $14, %[re], %[s0]\n\t"                                                   \
                "add %[fc], %[rh]\n\t"                                                         \
                "xor %[s0], %[t0]\n\t"                                                         \
                "mov %[ra], %[ab]\n\t"                                                         \
                "rorx $39, %[ra], %[fc]\n\t"                                                   \
                "add %[t0], %[rh]\n\t"                                                         \
                "xor %[rb], %[ab]\n\t"                                                         \
                "rorx $34, %[ra], %[s0]\n\t"                                                   \
                "rorx $28, %[ra], %[t0]\n\t"                                                   \
                "add %[rh], %[rd]\n\t"                                                         \
                "and %[ab], %[bc]\n\t"                                                         \
                "xor %[fc], %[s0]\n\t"                                                         \
                "xor %[rb], %[bc]\n\t"                                                         \
                "xor %[t0], %[s0]\n\t"                                                         \
                "add %[bc], %[rh]\n\t"                                                         \
                "mov %[re], %[fc]"                                                             \
                : [ra] "+r"(a), [rd] "+r"(d), [rh] "+r"(h), [s0] "+r"(s0), [bc] "+r"(bcIn),    \
                  [fc] "+r"(fc), [t0] "=&r"(t0), [ab] "=&r"(bcOut)                             \
                : [rb] "r"(b), [re] "r"(e), [rg] "r"(g), [rwk] "m"(wk)                          \
                : "cc");                                                                       \
    }

#endif
