// CPU detection and the once-made choice of block steps.
#include "digest/digest_paths.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#  include <cpuid.h>
#  define GH_DIGEST_X86 1
#else
#  define GH_DIGEST_X86 0
#endif

namespace {

DigestCpu detect() {
    DigestCpu cpu = {false, false, false, false, false, false};
#if GH_DIGEST_X86
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return cpu;
    unsigned maxLeaf = a;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return cpu;
    cpu.ssse3 = (c >> 9) & 1;
    cpu.sse41 = (c >> 19) & 1;
    // AVX registers are usable only when the system saves them on a
    // context switch: OSXSAVE, AVX, and XCR0 bits 1 and 2 (SSE and AVX state).
    // AVX-512 also needs XCR0 bits 5 to 7 (mask and upper vector registers).
    bool avxState = false, avx512State = false;
    if (((c >> 27) & 1) && ((c >> 28) & 1)) {
        unsigned lo, hi;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        avxState = (lo & 0x06) == 0x06;
        avx512State = (lo & 0xE6) == 0xE6;
    }
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        cpu.avx2 = avxState && ((b >> 5) & 1);
        cpu.avx512vl = avx512State && ((b >> 16) & 1) && ((b >> 31) & 1);
        cpu.bmi2 = (b >> 8) & 1;
        cpu.sha = (b >> 29) & 1;
    }
#endif
    return cpu;
}

bool forcePortableFromEnvironment() {
    const char *v = getenv("GH_FORCE_PORTABLE");
    return v && strcmp(v, "1") == 0;
}

sha1_blocks_fn sha1For(DigestPath path, const DigestCpu &cpu) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha1_blocks_portable;
    case DIGEST_PATH_SHA_NI:
        return GH_DIGEST_X86 && cpu.sha && cpu.ssse3 && cpu.sse41 ? sha1_blocks_shani : nullptr;
    default:
        return nullptr;
    }
}

sha256_blocks_fn sha256For(DigestPath path, const DigestCpu &cpu) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha256_blocks_portable;
    case DIGEST_PATH_SHA_NI:
        return GH_DIGEST_X86 && cpu.sha && cpu.ssse3 && cpu.sse41 ? sha256_blocks_shani : nullptr;
    default:
        return nullptr;
    }
}

sha512_blocks_fn sha512For(DigestPath path, const DigestCpu &cpu) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha512_blocks_portable;
    case DIGEST_PATH_BMI2:
        return GH_DIGEST_X86 && cpu.bmi2 ? sha512_blocks_bmi2 : nullptr;
    case DIGEST_PATH_AVX2:
        return GH_DIGEST_X86 && cpu.avx2 && cpu.bmi2 ? sha512_blocks_avx2 : nullptr;
    case DIGEST_PATH_AVX512:
        return GH_DIGEST_X86 && cpu.avx2 && cpu.avx512vl && cpu.bmi2 ? sha512_blocks_avx512 : nullptr;
    default:
        return nullptr;
    }
}

struct Choice {
    DigestCpu cpu;
    DigestKernels kernels;
    bool forced;
};

// The first path of `best` this CPU runs (portable when forced or none).
template <class Fn, size_t N>
void pick(Fn (*getter)(DigestPath, const DigestCpu &), const DigestPath (&best)[N], const Choice &c,
          Fn *fn, DigestPath *path) {
    *fn = getter(DIGEST_PATH_PORTABLE, c.cpu);
    *path = DIGEST_PATH_PORTABLE;
    if (c.forced) return;
    for (DigestPath p : best) {
        if (Fn f = getter(p, c.cpu)) {
            *fn = f;
            *path = p;
            return;
        }
    }
}

void choose(Choice *c) {
    c->cpu = detect();
    c->forced = forcePortableFromEnvironment();
    static const DigestPath sha1Best[] = {DIGEST_PATH_SHA_NI};
    static const DigestPath sha256Best[] = {DIGEST_PATH_SHA_NI};
    static const DigestPath sha512Best[] = {DIGEST_PATH_AVX512, DIGEST_PATH_AVX2, DIGEST_PATH_BMI2};
    pick(sha1For, sha1Best, *c, &c->kernels.sha1, &c->kernels.sha1Path);
    pick(sha256For, sha256Best, *c, &c->kernels.sha256, &c->kernels.sha256Path);
    pick(sha512For, sha512Best, *c, &c->kernels.sha512, &c->kernels.sha512Path);
}

// Made once, by the first thread to get here, and never written again; a
// thread that arrives while it is being made waits the few microseconds
// that takes.  (A flag rather than a function-local static: its guard would
// tie the library to the C++ runtime for nothing else.)
Choice gChoice;
std::atomic<int> gChoiceState{0};  // 0 none, 1 being made, 2 made

const Choice &choice() {
    if (gChoiceState.load(std::memory_order_acquire) != 2) {
        int expected = 0;
        if (gChoiceState.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            choose(&gChoice);
            gChoiceState.store(2, std::memory_order_release);
        } else {
            while (gChoiceState.load(std::memory_order_acquire) != 2) {
#if GH_DIGEST_X86
                __builtin_ia32_pause();
#endif
            }
        }
    }
    return gChoice;
}

}  // namespace

const char *digest_path_name(DigestPath path) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return "portable";
    case DIGEST_PATH_SHA_NI:
        return "sha_ni";
    case DIGEST_PATH_BMI2:
        return "bmi2";
    case DIGEST_PATH_AVX2:
        return "avx2";
    case DIGEST_PATH_AVX512:
        return "avx512";
    default:
        return "?";
    }
}

const DigestCpu &digest_cpu() { return choice().cpu; }

bool digest_forced_portable() { return choice().forced; }

const DigestKernels *digest_kernels() { return &choice().kernels; }


sha1_blocks_fn sha1_blocks_for(DigestPath path) { return sha1For(path, digest_cpu()); }
sha256_blocks_fn sha256_blocks_for(DigestPath path) { return sha256For(path, digest_cpu()); }
sha512_blocks_fn sha512_blocks_for(DigestPath path) { return sha512For(path, digest_cpu()); }
