// Processor feature detection with CPUID and XGETBV.
#include "encoding/cpu_features.h"

#include <stdlib.h>

#if defined(__x86_64__) || defined(__i386__)
#  include <cpuid.h>
#  define GH_X86 1
#else
#  define GH_X86 0
#endif

namespace {

#if GH_X86
// Run only where the OS has enabled XGETBV (OSXSAVE); the attribute lets the
// compiler emit the instruction without a global -mxsave.
__attribute__((target("xsave"))) unsigned long long readXcr0() {
    return __builtin_ia32_xgetbv(0);
}

CpuFeatures detect() {
    CpuFeatures f = {};
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.ssse3 = (c >> 9) & 1;
    f.sse41 = (c >> 19) & 1;
    f.pclmul = (c >> 1) & 1;
    bool osxsave = (c >> 27) & 1;
    bool avx = (c >> 28) & 1;
    unsigned long long xcr0 = osxsave ? readXcr0() : 0;
    bool ymmSaved = (xcr0 & 0x6) == 0x6;           // SSE and AVX state
    bool zmmSaved = (xcr0 & 0xE6) == 0xE6;         // plus opmask and ZMM state
    if (__get_cpuid_max(0, nullptr) < 7) return f;
    __cpuid_count(7, 0, a, b, c, d);
    f.avx2 = avx && ymmSaved && ((b >> 5) & 1);
    f.bmi2 = (b >> 8) & 1;
    f.sha = (b >> 29) & 1;
    bool avx512f = (b >> 16) & 1, avx512bw = (b >> 30) & 1, avx512vl = (b >> 31) & 1;
    f.avx512bw = f.avx2 && zmmSaved && avx512f && avx512bw && avx512vl;
    f.avx512vbmi = f.avx512bw && ((c >> 1) & 1);
    return f;
}
#else
CpuFeatures detect() { return CpuFeatures{}; }
#endif

bool portableForced() {
    const char *v = getenv("GH_FORCE_PORTABLE");
    return v && v[0] == '1' && v[1] == 0;
}

}  // namespace

const CpuFeatures &gh_cpu_detected() {
    static const CpuFeatures detected = detect();
    return detected;
}

const CpuFeatures &gh_cpu_features() {
    static const CpuFeatures none = {};
    static const bool forced = portableForced();
    return forced ? none : gh_cpu_detected();
}
