// Which block step each digest uses, chosen once per process.
//
// SHA-1 and SHA-256 have a block step using the x86 SHA extensions,
// SHA-512 one compiled for BMI2 and two with the schedule in vector
// registers (AVX2, AVX-512VL); each has a portable block step that runs on
// any CPU (MD4 and MD5 have only their portable scalar step, which is also
// the fast one).  The first use of a digest times the steps this CPU runs
// and keeps the fastest for the rest of the process (platform/path_choice.h:
// the conventional order below stays unless another step is clearly
// faster); with GH_FORCE_PORTABLE=1 in the environment the portable step is
// taken untimed.  Nothing can change a choice once made.  Tests reach the
// other steps through the *_for() getters and the *_init_with() hooks,
// per context.
#ifndef GH_DIGEST_PATHS_H
#define GH_DIGEST_PATHS_H

#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "platform/path_choice.h"

enum DigestPath {
    DIGEST_PATH_PORTABLE,  // plain C++, any CPU
    DIGEST_PATH_SHA_NI,    // x86 SHA extensions (SHA-1, SHA-256)
    DIGEST_PATH_BMI2,      // compiled for BMI2 (SHA-512)
    DIGEST_PATH_AVX2,      // AVX2 message schedule, BMI2 rounds (SHA-512)
    DIGEST_PATH_AVX512,    // AVX-512VL message schedule, BMI2 rounds (SHA-512)
    DIGEST_PATH_COUNT
};

const char *digest_path_name(DigestPath path);

// The chosen block steps; the first call of each makes its choice.
Sha1BlocksFn sha1_blocks_chosen();
Sha256BlocksFn sha256_blocks_chosen();
Sha512BlocksFn sha512_blocks_chosen();

// How each was chosen (made now if need be; path numbers are DigestPath).
const PathChoice *sha1_path_choice();
const PathChoice *sha256_path_choice();
const PathChoice *sha512_path_choice();

// A block step by path, or null when this build or this CPU has none.
// The portable path is always there.  These ignore GH_FORCE_PORTABLE: they
// are how tests compare every step the CPU can run.
Sha1BlocksFn sha1_blocks_for(DigestPath path);
Sha256BlocksFn sha256_blocks_for(DigestPath path);
Sha512BlocksFn sha512_blocks_for(DigestPath path);

#endif
