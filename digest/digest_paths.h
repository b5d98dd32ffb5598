// Which block step each digest uses: its paths and its kernel
// (platform/kernels.h).
//
// SHA-1 and SHA-256 have a block step using the x86 SHA extensions,
// SHA-512 one compiled for BMI2 and one with the schedule in vector
// registers (AVX2); on 64-bit ARM each has one using the ARMv8 SHA
// instructions (SHA-512's from ARMv8.2); each has a portable block step that
// runs on any CPU
// (MD4 and MD5 have only their portable scalar step, which is also the fast
// one).  Each digest takes the first step of its list this CPU runs; the
// lists are in the order of the steps' speed (bench/README.md).  Tests reach
// every step through the kernels' path lists and the *_begin_with() /
// sha1_init_with() hooks, per context.
#ifndef GH_DIGEST_PATHS_H
#define GH_DIGEST_PATHS_H

#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "platform/kernels.h"

// The kernels; a path's table is the block step (a pointer to it).
extern Kernel gSha1Kernel;
extern Kernel gSha256Kernel;
extern Kernel gSha512Kernel;

// The step of a path.
inline Sha1BlocksFn sha1_blocks_of(const KernelPath &p) { return *static_cast<const Sha1BlocksFn *>(p.fns); }
inline Sha256BlocksFn sha256_blocks_of(const KernelPath &p) { return *static_cast<const Sha256BlocksFn *>(p.fns); }
inline Sha512BlocksFn sha512_blocks_of(const KernelPath &p) { return *static_cast<const Sha512BlocksFn *>(p.fns); }

// The chosen block steps; the first call of each makes its choice.
inline Sha1BlocksFn sha1_blocks_chosen() { return *static_cast<const Sha1BlocksFn *>(gh_kernel_fns(&gSha1Kernel)); }
inline Sha256BlocksFn sha256_blocks_chosen() {
    return *static_cast<const Sha256BlocksFn *>(gh_kernel_fns(&gSha256Kernel));
}
inline Sha512BlocksFn sha512_blocks_chosen() {
    return *static_cast<const Sha512BlocksFn *>(gh_kernel_fns(&gSha512Kernel));
}

#endif
