// Processor feature detection with CPUID and XGETBV.
#include "encoding/cpu_features.h"

#include <stdlib.h>

#include <atomic>

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

// Detected once, by the first thread to get here, and never written again; a
// thread arriving meanwhile waits the microseconds that takes.  (Atomics
// rather than function-local statics, whose guards would tie the library to
// the C++ runtime.)
CpuFeatures g_detected;
std::atomic<int> g_detectedState{0};  // 0 none, 1 being detected, 2 done
std::atomic<int> g_forced{-1};        // GH_FORCE_PORTABLE=1: -1 not read yet

}  // namespace

const CpuFeatures &gh_cpu_detected() {
    if (g_detectedState.load(std::memory_order_acquire) != 2) {
        int expected = 0;
        if (g_detectedState.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            g_detected = detect();
            g_detectedState.store(2, std::memory_order_release);
        } else {
            while (g_detectedState.load(std::memory_order_acquire) != 2) {
#if GH_X86
                __builtin_ia32_pause();
#endif
            }
        }
    }
    return g_detected;
}

const CpuFeatures &gh_cpu_features() {
    static const CpuFeatures none = {};  // constant: no guard
    int forced = g_forced.load(std::memory_order_acquire);
    if (forced < 0) {
        forced = portableForced() ? 1 : 0;  // a racing thread stores the same
        g_forced.store(forced, std::memory_order_release);
    }
    return forced ? none : gh_cpu_detected();
}
