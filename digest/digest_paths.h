// Which block step each digest uses, chosen once per process.
//
// SHA-1 and SHA-256 have a block step using the x86 SHA extensions,
// SHA-512 one compiled for BMI2 and two with the schedule in vector
// registers (AVX2, AVX-512VL); each has a portable block step that runs on
// any CPU (MD4 and MD5 have only their portable scalar step, which is also
// the fast one).  The first use detects the CPU (cpuid, and xgetbv where
// AVX state matters) and fixes, for the rest of the process, the best block
// step the CPU can run.  With GH_FORCE_PORTABLE=1 in the environment (read
// at that moment, once) the portable steps are chosen instead.  The choice
// is an immutable table, initialised once in a thread-safe way; nothing can
// change it afterwards.  Tests reach the other steps through the *_for()
// getters and the *_begin_with()/SHA1InitWith() hooks, per context.
#ifndef GH_DIGEST_PATHS_H
#define GH_DIGEST_PATHS_H

#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

enum DigestPath {
    DIGEST_PATH_PORTABLE,  // plain C++, any CPU
    DIGEST_PATH_SHA_NI,    // x86 SHA extensions (SHA-1, SHA-256)
    DIGEST_PATH_BMI2,      // compiled for BMI2 (SHA-512)
    DIGEST_PATH_AVX2,      // AVX2 message schedule, BMI2 rounds (SHA-512)
    DIGEST_PATH_AVX512,    // AVX-512VL message schedule, BMI2 rounds (SHA-512)
    DIGEST_PATH_COUNT
};

const char *digest_path_name(DigestPath path);

// What the CPU offers, detected once.
struct DigestCpu {
    bool ssse3, sse41, sha, bmi2;
    bool avx2;      // and the system saves the AVX registers
    bool avx512vl;  // AVX-512F and VL, and the system saves their registers
};
const DigestCpu &digest_cpu();

// True when GH_FORCE_PORTABLE=1 was set when the choice was made.
bool digest_forced_portable();

// The chosen block steps.
struct DigestKernels {
    sha1_blocks_fn sha1;
    sha256_blocks_fn sha256;
    sha512_blocks_fn sha512;
    DigestPath sha1Path, sha256Path, sha512Path;
};
const DigestKernels *digest_kernels();

// A block step by path, or null when this build or this CPU has none.
// The portable path is always there.  These ignore GH_FORCE_PORTABLE: they
// are how tests compare every step the CPU can run.
sha1_blocks_fn sha1_blocks_for(DigestPath path);
sha256_blocks_fn sha256_blocks_for(DigestPath path);
sha512_blocks_fn sha512_blocks_for(DigestPath path);

#endif
