// Processor feature detection with CPUID and XGETBV.
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

namespace {

enum : uint32_t {
    kSsse3 = 1u << 0,
    kSse41 = 1u << 1,
    kPclmul = 1u << 2,
    kBmi2 = 1u << 3,
    kSha = 1u << 4,
    kAvx2 = 1u << 5,
    kAvx512vl = 1u << 6,
    kAvx512bw = 1u << 7,
    kAvx512vbmi = 1u << 8,
    kTsc = 1u << 9,
    kSse2 = 1u << 10,
    kAvx512vbmi2 = 1u << 11,
    kForced = 1u << 30,  // GH_FORCE_PORTABLE=1
    kKnown = 1u << 31    // the word holds a detection
};

#if GH_X86
// Run only where the OS has enabled XGETBV (OSXSAVE); the attribute lets the
// compiler emit the instruction without a global -mxsave.
__attribute__((target("xsave"))) unsigned long long readXcr0() {
    return __builtin_ia32_xgetbv(0);
}

uint32_t detect() {
    uint32_t f = 0;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    if ((c >> 9) & 1) f |= kSsse3;
    if ((c >> 19) & 1) f |= kSse41;
    if ((c >> 1) & 1) f |= kPclmul;
    if ((d >> 4) & 1) f |= kTsc;
    if ((d >> 26) & 1) f |= kSse2;
    bool osxsave = (c >> 27) & 1;
    bool avx = (c >> 28) & 1;
    unsigned long long xcr0 = osxsave ? readXcr0() : 0;
    bool ymmSaved = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
    bool zmmSaved = (xcr0 & 0xE6) == 0xE6;  // plus opmask and ZMM state
    if (__get_cpuid_max(0, nullptr) < 7) return f;
    __cpuid_count(7, 0, a, b, c, d);
    bool avx2 = avx && ymmSaved && ((b >> 5) & 1);
    if (avx2) f |= kAvx2;
    if ((b >> 8) & 1) f |= kBmi2;
    if ((b >> 29) & 1) f |= kSha;
    bool avx512f = (b >> 16) & 1, avx512bw = (b >> 30) & 1, avx512vl = (b >> 31) & 1;
    bool avx512 = avx2 && zmmSaved && avx512f && avx512vl;
    if (avx512) f |= kAvx512vl;
    if (avx512 && avx512bw) {
        f |= kAvx512bw;
        if ((c >> 1) & 1) f |= kAvx512vbmi;
        if ((c >> 6) & 1) f |= kAvx512vbmi2;
    }
    return f;
}
#else
uint32_t detect() { return 0; }
#endif

bool portableForcedByEnvironment() {
    const char *v = getenv("GH_FORCE_PORTABLE");
    return v && strcmp(v, "1") == 0;
}

std::atomic<uint32_t> gWord{0};

uint32_t word() {
    uint32_t w = gWord.load(std::memory_order_relaxed);
    if (!(w & kKnown)) {
        w = detect() | kKnown | (portableForcedByEnvironment() ? uint32_t{kForced} : 0u);
        gWord.store(w, std::memory_order_relaxed);
    }
    return w;
}

CpuFeatures decode(uint32_t w) {
    CpuFeatures f;
    f.sse2 = w & kSse2;
    f.ssse3 = w & kSsse3;
    f.sse41 = w & kSse41;
    f.pclmul = w & kPclmul;
    f.bmi2 = w & kBmi2;
    f.sha = w & kSha;
    f.avx2 = w & kAvx2;
    f.avx512vl = w & kAvx512vl;
    f.avx512bw = w & kAvx512bw;
    f.avx512vbmi = w & kAvx512vbmi;
    f.avx512vbmi2 = w & kAvx512vbmi2;
    f.tsc = w & kTsc;
    return f;
}

}  // namespace

CpuFeatures gh_cpu_detected() { return decode(word()); }

bool gh_cpu_portable_forced() { return word() & kForced; }

CpuFeatures gh_cpu_features() {
    uint32_t w = word();
    return decode(w & kForced ? 0 : w);
}
