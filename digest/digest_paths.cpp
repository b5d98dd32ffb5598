// The block steps of each digest, best first (platform/kernels.h).
#include "digest/digest_paths.h"

#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#  define GH_DIGEST_X86 1
#else
#  define GH_DIGEST_X86 0
#endif

namespace {

const sha1_blocks_fn kSha1Portable = sha1_blocks_portable;
const sha256_blocks_fn kSha256Portable = sha256_blocks_portable;
const sha512_blocks_fn kSha512Portable = sha512_blocks_portable;
#if GH_DIGEST_X86
const sha1_blocks_fn kSha1ShaNi = sha1_blocks_shani;
const sha256_blocks_fn kSha256ShaNi = sha256_blocks_shani;
const sha512_blocks_fn kSha512Avx512 = sha512_blocks_avx512;
const sha512_blocks_fn kSha512Avx2 = sha512_blocks_avx2;
const sha512_blocks_fn kSha512Bmi2 = sha512_blocks_bmi2;
#endif
#if defined(__aarch64__)
const sha1_blocks_fn kSha1Armv8 = sha1_blocks_armv8;
const sha256_blocks_fn kSha256Armv8 = sha256_blocks_armv8;
const sha512_blocks_fn kSha512Armv8 = sha512_blocks_armv8;
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
    {"avx512", CPU_AVX512VL | CPU_AVX2 | CPU_BMI2, &kSha512Avx512},
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
