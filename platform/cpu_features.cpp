// Processor feature detection: CPUID and XGETBV on x86, the kernel's
// hardware capabilities (getauxval) on 64-bit ARM Linux.
#include "platform/cpu_features.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#  include <cpuid.h>
#  define GH_X86 1
#else
#  define GH_X86 0
#endif
#if defined(__aarch64__) && defined(__linux__)
#  include <sys/auxv.h>
#  define GH_ARM64_LINUX 1
#else
#  define GH_ARM64_LINUX 0
#endif

namespace {

// The word: the CPU_* bits, and two of its own.  32 bits, which every
// processor the library is built for loads and stores atomically without
// help from a library.
enum : uint32_t {
    kForced = 1u << 30,  // GH_FORCE_PORTABLE=1
    kKnown = 1u << 31    // the word holds a detection
};

const char *const kFeatureNames[kCpuFeatureCount] = {"sse2", "ssse3", "sse41", "pclmul", "bmi2", "sha",
                                                      "avx2", "avx512vl", "avx512bw", "avx512vbmi",
                                                      "avx512vbmi2", "avx512_halves", "neon", "aes",
                                                      "pmull", "sha1", "sha2", "sha512", "vpclmul"};

#if GH_X86
// Run only where the OS has enabled XGETBV (OSXSAVE); the attribute lets the
// compiler emit the instruction without a global -mxsave.
__attribute__((target("xsave"))) unsigned long long readXcr0() {
    return __builtin_ia32_xgetbv(0);
}

// AuthenticAMD, family 19h (base 0Fh + extended 0Ah): Zen 3 and Zen 4, of
// which only Zen 4 has AVX-512.
bool amdFamily19h() {
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return false;
    bool amd = b == 0x68747541u && d == 0x69746e65u && c == 0x444d4163u;  // "Auth" "enti" "cAMD"
    if (!amd || !__get_cpuid(1, &a, &b, &c, &d)) return false;
    unsigned family = (a >> 8) & 0xF;
    if (family == 0xF) family += (a >> 20) & 0xFF;
    return family == 0x19;
}

uint64_t detect() {
    uint64_t f = 0;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    if ((c >> 9) & 1) f |= CPU_SSSE3;
    if ((c >> 19) & 1) f |= CPU_SSE41;
    if ((c >> 1) & 1) f |= CPU_PCLMUL;
    if ((d >> 26) & 1) f |= CPU_SSE2;
    bool osxsave = (c >> 27) & 1;
    bool avx = (c >> 28) & 1;
    unsigned long long xcr0 = osxsave ? readXcr0() : 0;
    bool ymmSaved = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
    bool zmmSaved = (xcr0 & 0xE6) == 0xE6;  // plus opmask and ZMM state
    if (__get_cpuid_max(0, nullptr) < 7) return f;
    __cpuid_count(7, 0, a, b, c, d);
    bool avx2 = avx && ymmSaved && ((b >> 5) & 1);
    if (avx2) f |= CPU_AVX2;
    if (avx2 && ((c >> 10) & 1)) f |= CPU_VPCLMUL;  // its 256-bit form needs the AVX state
    if ((b >> 8) & 1) f |= CPU_BMI2;
    if ((b >> 29) & 1) f |= CPU_SHA;
    bool avx512f = (b >> 16) & 1, avx512bw = (b >> 30) & 1, avx512vl = (b >> 31) & 1;
    bool avx512 = avx2 && zmmSaved && avx512f && avx512vl;
    if (avx512) f |= CPU_AVX512VL;
    if (avx512 && avx512bw) {
        f |= CPU_AVX512BW;
        if ((c >> 1) & 1) f |= CPU_AVX512VBMI;
        if ((c >> 6) & 1) f |= CPU_AVX512VBMI2;
    }
    if (avx512 && amdFamily19h()) f |= CPU_AVX512_HALVES;
    return f;
}
#elif GH_ARM64_LINUX
// The bits of AT_HWCAP (the kernel's asm/hwcap.h), spelled out for C
// libraries whose headers lack the newer ones.
enum : unsigned long {
    kHwcapAsimd = 1ul << 1,
    kHwcapAes = 1ul << 3,
    kHwcapPmull = 1ul << 4,
    kHwcapSha1 = 1ul << 5,
    kHwcapSha2 = 1ul << 6,
    kHwcapSha512 = 1ul << 21
};

uint64_t detect() {
    unsigned long caps = getauxval(AT_HWCAP);
    uint64_t f = 0;
    if (caps & kHwcapAsimd) f |= CPU_NEON;
    if (caps & kHwcapAes) f |= CPU_AES;
    if (caps & kHwcapPmull) f |= CPU_PMULL;
    if (caps & kHwcapSha1) f |= CPU_SHA1;
    if (caps & kHwcapSha2) f |= CPU_SHA2;
    if (caps & kHwcapSha512) f |= CPU_SHA512;
    return f;
}
#else
uint64_t detect() { return 0; }
#endif

bool portableForcedByEnvironment() {
    const char *v = getenv("GH_FORCE_PORTABLE");
    return v && strcmp(v, "1") == 0;
}

std::atomic<uint32_t> gWord{0};

uint32_t word() {
    uint32_t w = gWord.load(std::memory_order_relaxed);
    if (!(w & kKnown)) {
        w = static_cast<uint32_t>(detect()) | kKnown | (portableForcedByEnvironment() ? uint32_t{kForced} : 0u);
        gWord.store(w, std::memory_order_relaxed);
    }
    return w;
}

constexpr uint32_t kFeatureMask = (1u << kCpuFeatureCount) - 1;

}  // namespace

const char *gh_cpu_feature_name(int index) {
    return index >= 0 && index < kCpuFeatureCount ? kFeatureNames[index] : "?";
}

uint64_t gh_cpu_detected_bits() { return word() & kFeatureMask; }

bool gh_cpu_portable_forced() { return word() & kForced; }

uint64_t gh_cpu_feature_bits() {
    uint32_t w = word();
    return w & kForced ? 0 : w & kFeatureMask;
}

CpuFeatures gh_cpu_detected() {
    uint64_t w = gh_cpu_detected_bits();
    CpuFeatures f{};
    f.sse2 = w & CPU_SSE2;
    f.ssse3 = w & CPU_SSSE3;
    f.sse41 = w & CPU_SSE41;
    f.pclmul = w & CPU_PCLMUL;
    f.bmi2 = w & CPU_BMI2;
    f.sha = w & CPU_SHA;
    f.avx2 = w & CPU_AVX2;
    f.avx512vl = w & CPU_AVX512VL;
    f.avx512bw = w & CPU_AVX512BW;
    f.avx512vbmi = w & CPU_AVX512VBMI;
    f.avx512vbmi2 = w & CPU_AVX512VBMI2;
    f.vpclmul = w & CPU_VPCLMUL;
    f.neon = w & CPU_NEON;
    f.aes = w & CPU_AES;
    f.pmull = w & CPU_PMULL;
    f.sha1 = w & CPU_SHA1;
    f.sha2 = w & CPU_SHA2;
    f.sha512 = w & CPU_SHA512;
    return f;
}
