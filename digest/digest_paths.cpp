// The block steps each CPU can run, and the timed choice among them.
#include "digest/digest_paths.h"

#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#  define GH_DIGEST_X86 1
#else
#  define GH_DIGEST_X86 0
#endif

namespace {

bool shaNi(const CpuFeatures &f) { return GH_DIGEST_X86 && f.sha && f.ssse3 && f.sse41; }

Sha1BlocksFn sha1For(DigestPath path, const CpuFeatures &f) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha1_blocks_portable;
    case DIGEST_PATH_SHA_NI:
        return shaNi(f) ? sha1_blocks_shani : nullptr;
    default:
        return nullptr;
    }
}

Sha256BlocksFn sha256For(DigestPath path, const CpuFeatures &f) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha256_blocks_portable;
    case DIGEST_PATH_SHA_NI:
        return shaNi(f) ? sha256_blocks_shani : nullptr;
    default:
        return nullptr;
    }
}

Sha512BlocksFn sha512For(DigestPath path, const CpuFeatures &f) {
    switch (path) {
    case DIGEST_PATH_PORTABLE:
        return sha512_blocks_portable;
    case DIGEST_PATH_BMI2:
        return GH_DIGEST_X86 && f.bmi2 ? sha512_blocks_bmi2 : nullptr;
    case DIGEST_PATH_AVX2:
        return GH_DIGEST_X86 && f.avx2 && f.bmi2 ? sha512_blocks_avx2 : nullptr;
    case DIGEST_PATH_AVX512:
        return GH_DIGEST_X86 && f.avx2 && f.avx512vl && f.bmi2 ? sha512_blocks_avx512 : nullptr;
    default:
        return nullptr;
    }
}

// The conventional order of each digest's steps, the portable one last.
const DigestPath kSha1Order[] = {DIGEST_PATH_SHA_NI, DIGEST_PATH_PORTABLE};
const DigestPath kSha256Order[] = {DIGEST_PATH_SHA_NI, DIGEST_PATH_PORTABLE};
const DigestPath kSha512Order[] = {DIGEST_PATH_AVX512, DIGEST_PATH_AVX2, DIGEST_PATH_BMI2,
                                   DIGEST_PATH_PORTABLE};

PathChoice gSha1Choice("sha1");
PathChoice gSha256Choice("sha256");
PathChoice gSha512Choice("sha512");

// 1 KiB: a microsecond or two a run on the fast steps (a 32-bit build takes
// three times as long for SHA-512), and an even number of blocks for the
// two-block SHA-512 steps.
struct DigestSample {
    uint8_t data[1024];
};

void fillSample(void *sample) {
    uint32_t x = 0x9E3779B9u;
    for (uint8_t &b : static_cast<DigestSample *>(sample)->data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
}

const char *pathName(int path) { return digest_path_name(static_cast<DigestPath>(path)); }

void runSha1(void *sample, int path) {
    uint32_t state[5] = {};
    sha1For(static_cast<DigestPath>(path), gh_cpu_detected())(
        state, static_cast<DigestSample *>(sample)->data, sizeof(DigestSample) / 64);
}

void runSha256(void *sample, int path) {
    uint32_t state[8] = {};
    sha256For(static_cast<DigestPath>(path), gh_cpu_detected())(
        state, static_cast<DigestSample *>(sample)->data, sizeof(DigestSample) / 64);
}

void runSha512(void *sample, int path) {
    uint64_t state[8] = {};
    sha512For(static_cast<DigestPath>(path), gh_cpu_detected())(
        state, static_cast<DigestSample *>(sample)->data, sizeof(DigestSample) / 128);
}

template <class Fn, size_t N>
int choose(PathChoice *choice, Fn (*getter)(DigestPath, const CpuFeatures &),
           const DigestPath (&order)[N], void (*run)(void *, int)) {
    int path = gh_path_chosen(*choice);
    if (path >= 0) return path;
    CpuFeatures f = gh_cpu_features();  // none under GH_FORCE_PORTABLE=1
    int paths[GH_PATHS_MAX];
    int count = 0;
    for (DigestPath p : order) {
        if (getter(p, f)) paths[count++] = p;
    }
    DigestSample sample;
    PathTrial trial = {paths, count, pathName, fillSample, run, &sample};
    return gh_path_choose(choice, trial);
}

int sha1Path() { return choose(&gSha1Choice, sha1For, kSha1Order, runSha1); }
int sha256Path() { return choose(&gSha256Choice, sha256For, kSha256Order, runSha256); }
int sha512Path() { return choose(&gSha512Choice, sha512For, kSha512Order, runSha512); }

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

// The chosen path always runs here (it was among those the CPU runs), so
// its getter never gives null.
Sha1BlocksFn sha1_blocks_chosen() {
    return sha1For(static_cast<DigestPath>(sha1Path()), gh_cpu_detected());
}
Sha256BlocksFn sha256_blocks_chosen() {
    return sha256For(static_cast<DigestPath>(sha256Path()), gh_cpu_detected());
}
Sha512BlocksFn sha512_blocks_chosen() {
    return sha512For(static_cast<DigestPath>(sha512Path()), gh_cpu_detected());
}

const PathChoice *sha1_path_choice() {
    sha1Path();
    return &gSha1Choice;
}
const PathChoice *sha256_path_choice() {
    sha256Path();
    return &gSha256Choice;
}
const PathChoice *sha512_path_choice() {
    sha512Path();
    return &gSha512Choice;
}

Sha1BlocksFn sha1_blocks_for(DigestPath path) { return sha1For(path, gh_cpu_detected()); }
Sha256BlocksFn sha256_blocks_for(DigestPath path) { return sha256For(path, gh_cpu_detected()); }
Sha512BlocksFn sha512_blocks_for(DigestPath path) { return sha512For(path, gh_cpu_detected()); }
