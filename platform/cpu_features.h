// What the processor offers, detected once per process.
//
// Fast paths (SIMD, SHA extensions, carry-less multiplication) sit beside
// portable code; each path names the features it needs (platform/kernels.h)
// and runs only where they are all present.  With the environment variable
// GH_FORCE_PORTABLE=1 (read once, at the same moment) every feature reads as
// absent, so the portable code runs everywhere.
//
// Nothing here uses a function-local static: its guard would tie the shipped
// libraries to the C++ runtime.  The detection is cached in an atomic word;
// two threads arriving together both detect and store the same value.
#ifndef GH_CPU_FEATURES_H
#define GH_CPU_FEATURES_H

#include <stdint.h>

// The features as bits, for the kernel paths' needs.  AVX2 and the AVX-512
// bits count only when the operating system saves the registers' state.
// The x86 bits are detected with CPUID on x86, the ARM bits from the
// hardware capabilities the kernel reports on 64-bit ARM; the others read
// as absent.
enum : uint64_t {
    CPU_SSE2 = 1u << 0,         // always on x86-64; not on every 32-bit x86
    CPU_SSSE3 = 1u << 1,
    CPU_SSE41 = 1u << 2,
    CPU_PCLMUL = 1u << 3,       // carry-less multiplication (PCLMULQDQ)
    CPU_BMI2 = 1u << 4,
    CPU_SHA = 1u << 5,          // SHA extensions
    CPU_AVX2 = 1u << 6,
    CPU_AVX512VL = 1u << 7,     // F + VL
    CPU_AVX512BW = 1u << 8,     // F + BW + VL
    CPU_AVX512VBMI = 1u << 9,   // the above plus VBMI
    CPU_AVX512VBMI2 = 1u << 10,  // F + BW + VL plus VBMI2 (byte compress and expand)
    // Not an instruction set but how the processor runs one: AVX-512 in two
    // 256-bit halves (AMD family 19h, Zen 4), where some kernels run no
    // faster than their AVX2 twins (the kernels' lists say which).
    CPU_AVX512_HALVES = 1u << 11,
    // 64-bit ARM
    CPU_NEON = 1u << 12,    // Advanced SIMD (ASIMD)
    CPU_AES = 1u << 13,     // AES instructions
    CPU_PMULL = 1u << 14,   // 64 x 64-bit polynomial multiplication (PMULL/PMULL2 .1Q)
    CPU_SHA1 = 1u << 15,    // ARMv8 SHA-1 instructions
    CPU_SHA2 = 1u << 16,    // ARMv8 SHA-256 instructions
    CPU_SHA512 = 1u << 17,  // ARMv8.2 SHA-512 instructions
    // x86 again
    CPU_VPCLMUL = 1u << 18  // carry-less multiplication on ymm/zmm registers (VPCLMULQDQ)
};
constexpr int kCpuFeatureCount = 19;

// The name of feature bit `index` (0 .. kCpuFeatureCount - 1), as in the
// kernel paths' names ("avx512bw"), or "?".
const char *gh_cpu_feature_name(int index);

// The processor's features as detected (none on builds for other processors).
uint64_t gh_cpu_detected_bits();

// True when GH_FORCE_PORTABLE=1 was set when the features were first asked.
bool gh_cpu_portable_forced();

// The features the library uses: gh_cpu_detected_bits(), or none at all
// when the portable code is forced.
uint64_t gh_cpu_feature_bits();

// The same as flags, for code that asks for one feature.
struct CpuFeatures {
    bool sse2, ssse3, sse41, pclmul, bmi2, sha, avx2, avx512vl, avx512bw, avx512vbmi, avx512vbmi2, vpclmul;
    bool neon, aes, pmull, sha1, sha2, sha512;
};
CpuFeatures gh_cpu_detected();

#endif
