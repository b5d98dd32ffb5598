// What the processor offers, detected once per process.
//
// Fast paths (SIMD, SHA extensions, carry-less multiplication) sit beside
// portable code; the paths a processor can run are known from this, and the
// fastest of them is timed and chosen at first use (path_choice.h); each
// choice is cached and never changed by callers.  With the environment
// variable GH_FORCE_PORTABLE=1 (read once, at the same moment) every feature
// reads as absent, so the portable code runs everywhere.
//
// Nothing here uses a function-local static: its guard would tie the shipped
// libraries to the C++ runtime.  The detection is cached in an atomic word;
// two threads arriving together both detect and store the same value.
#ifndef GH_CPU_FEATURES_H
#define GH_CPU_FEATURES_H

struct CpuFeatures {
    bool sse2;        // always on x86-64; not on every 32-bit x86
    bool ssse3;
    bool sse41;
    bool pclmul;      // carry-less multiplication (PCLMULQDQ)
    bool bmi2;
    bool sha;         // SHA extensions
    bool avx2;        // with the operating system saving the YMM state
    bool avx512vl;    // F + VL, with the OS saving the ZMM state
    bool avx512bw;    // F + BW + VL, with the OS saving the ZMM state
    bool avx512vbmi;  // the above plus VBMI
    bool avx512vbmi2; // F + BW + VL plus VBMI2 (byte compress and expand)
    bool tsc;         // the time-stamp counter (rdtsc), for timing paths
};

// The processor's features as detected (all false on non-x86 builds).
CpuFeatures gh_cpu_detected();

// True when GH_FORCE_PORTABLE=1 was set when the features were first asked.
bool gh_cpu_portable_forced();

// The features the library uses: gh_cpu_detected(), or none at all when the
// portable code is forced.
CpuFeatures gh_cpu_features();

#endif
