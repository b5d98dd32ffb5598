// What the processor offers, detected once.
//
// Fast paths (SIMD) sit beside portable code and are chosen from this once,
// the first time they are needed; the choice is cached and never changed by
// callers.  With the environment variable GH_FORCE_PORTABLE=1 (read once, at
// the same moment) every feature reads as absent, so the portable code runs.
#ifndef GH_CPU_FEATURES_H
#define GH_CPU_FEATURES_H

struct CpuFeatures {
    bool ssse3;
    bool sse41;
    bool avx2;       // with the operating system saving the YMM state
    bool bmi2;
    bool avx512bw;   // F + BW + VL, with the OS saving the ZMM state
    bool avx512vbmi; // the above plus VBMI
    bool sha;        // SHA extensions
    bool pclmul;     // carry-less multiplication (PCLMULQDQ)
};

// The processor's features as detected (all false on non-x86 builds).
const CpuFeatures &gh_cpu_detected();

// The features the library uses: gh_cpu_detected(), or none at all when
// GH_FORCE_PORTABLE=1 was set when first asked.
const CpuFeatures &gh_cpu_features();

#endif
