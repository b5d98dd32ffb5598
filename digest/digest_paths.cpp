// CPU detection and the once-made choice of block steps.
#include "digest/digest_paths.h"

#include "platform/cpu_features.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#  define GH_DIGEST_X86 1
#else
#  define GH_DIGEST_X86 0
#endif

namespace {

DigestCpu detect() {
    CpuFeatures f = gh_cpu_detected();
    DigestCpu cpu;
    cpu.ssse3 = f.ssse3;
    cpu.sse41 = f.sse41;
    cpu.sha = f.sha;
    cpu.bmi2 = f.bmi2;
    cpu.avx2 = f.avx2;
    cpu.avx512vl = f.avx512vl;
    return cpu;
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
    c->forced = gh_cpu_portable_forced();
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
