// The block steps of each digest, best first (platform/kernels.h; the
// figures in bench/README.md).
#include "digest/digest_paths.h"

#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#  define GH_DIGEST_X86 1
#else
#  define GH_DIGEST_X86 0
#endif

namespace {

const Sha1BlocksFn kSha1Portable = sha1_blocks_portable;
const Sha256BlocksFn kSha256Portable = sha256_blocks_portable;
const Sha512BlocksFn kSha512Portable = sha512_blocks_portable;
#if GH_DIGEST_X86
const Sha1BlocksFn kSha1ShaNi = sha1_blocks_shani;
const Sha256BlocksFn kSha256ShaNi = sha256_blocks_shani;
const Sha512BlocksFn kSha512Avx2 = sha512_blocks_avx2;
const Sha512BlocksFn kSha512Bmi2 = sha512_blocks_bmi2;
#endif
#if defined(__aarch64__)
const Sha1BlocksFn kSha1Armv8 = sha1_blocks_armv8;
const Sha256BlocksFn kSha256Armv8 = sha256_blocks_armv8;
const Sha512BlocksFn kSha512Armv8 = sha512_blocks_armv8;
#endif

const KernelPath kSha1Paths[] = {
#if GH_DIGEST_X86
    {"sha_ni", CPU_SHA | CPU_SSSE3 | CPU_SSE41, &kSha1ShaNi},
#endif
#if defined(__aarch64__)
    {"armv8", CPU_SHA1 | CPU_NEON, &kSha1Armv8},
#endif
    {"portable", 0, &kSha1Portable},
};

const KernelPath kSha256Paths[] = {
#if GH_DIGEST_X86
    {"sha_ni", CPU_SHA | CPU_SSSE3 | CPU_SSE41, &kSha256ShaNi},
#endif
#if defined(__aarch64__)
    {"armv8", CPU_SHA2 | CPU_NEON, &kSha256Armv8},
#endif
    {"portable", 0, &kSha256Portable},
};

const KernelPath kSha512Paths[] = {
#if GH_DIGEST_X86
    {"avx2", CPU_AVX2 | CPU_BMI2, &kSha512Avx2},
    {"bmi2", CPU_BMI2, &kSha512Bmi2},
#endif
#if defined(__aarch64__)
    {"armv8", CPU_SHA512 | CPU_NEON, &kSha512Armv8},
#endif
    {"portable", 0, &kSha512Portable},
};

}  // namespace

Kernel gSha1Kernel("sha1", kSha1Paths);
Kernel gSha256Kernel("sha256", kSha256Paths);
Kernel gSha512Kernel("sha512", kSha512Paths);
