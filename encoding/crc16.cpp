// CRC-16/XMODEM and CRC-16/X-25, and the choice of kernel behind them.
#include "encoding/crc16.h"

#include "encoding/crc16_kernels.h"
#include "platform/cpu_features.h"
#include "platform/path_choice.h"

namespace {

// Path numbers are indices into kVariants, conventionally best first.
const Crc16Variant kVariants[] = {
#if GH_CRC16_HAVE_CLMUL
    {"clmul", crc16_msb_clmul, crc16_lsb_clmul},
#endif
    {"slice16", crc16_msb_slice16, crc16_lsb_slice16},
};
constexpr int kVariantCount = sizeof kVariants / sizeof kVariants[0];
const Crc16Variant *const kPortable = &kVariants[kVariantCount - 1];

// The variants the features allow are a suffix of kVariants (best first).
int firstRunnable(const CpuFeatures &f) {
#if GH_CRC16_HAVE_CLMUL
    if (!f.pclmul || !f.ssse3) return 1;
#endif
    (void)f;
    return 0;
}

// The two forms are chosen apart: the X-25 kernels mirror every byte's bits
// on the way in, which may change their ranking.
PathChoice gMsbChoice("crc16_xmodem");
PathChoice gLsbChoice("crc16_x25");

// 4 KiB in the first-level cache, 4 passes a run.
enum { kSampleBytes = 4096, kSamplePasses = 4 };
struct Sample {
    uint8_t data[kSampleBytes];
    uint16_t crc;
};

void prepareSample(void *sample) {
    Sample *s = static_cast<Sample *>(sample);
    uint32_t x = 0x41C64E6Du;
    for (uint8_t &b : s->data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
}

void runMsb(void *sample, int path) {
    Sample *s = static_cast<Sample *>(sample);
    for (int k = 0; k < kSamplePasses; ++k) s->crc = kVariants[path].msb(s->crc, s->data, kSampleBytes);
}

void runLsb(void *sample, int path) {
    Sample *s = static_cast<Sample *>(sample);
    for (int k = 0; k < kSamplePasses; ++k) s->crc = kVariants[path].lsb(s->crc, s->data, kSampleBytes);
}

const char *variantName(int path) { return kVariants[path].name; }

int choose(PathChoice *choice, void (*run)(void *, int)) {
    int path = gh_path_chosen(*choice);
    if (path >= 0) return path;
    int paths[kVariantCount];
    int count = 0;
    for (int p = firstRunnable(gh_cpu_features()); p < kVariantCount; ++p) paths[count++] = p;
    Sample sample;
    sample.crc = 0;
    PathTrial trial = {paths, count, variantName, prepareSample, run, &sample};
    return gh_path_choose(choice, trial);
}

}  // namespace

const Crc16Variant *crc16_portable_variant() { return kPortable; }

const Crc16Variant *crc16_variants(size_t *count) {
    int first = firstRunnable(gh_cpu_detected());
    *count = static_cast<size_t>(kVariantCount - first);
    return &kVariants[first];
}

Crc16Kernel crc16_chosen_msb() { return kVariants[choose(&gMsbChoice, runMsb)].msb; }
Crc16Kernel crc16_chosen_lsb() { return kVariants[choose(&gLsbChoice, runLsb)].lsb; }

const PathChoice *crc16_xmodem_choice() {
    choose(&gMsbChoice, runMsb);
    return &gMsbChoice;
}

const PathChoice *crc16_x25_choice() {
    choose(&gLsbChoice, runLsb);
    return &gLsbChoice;
}

uint16_t crc16_xmodem(const uint8_t *data, size_t n, uint16_t initial) {
    return crc16_chosen_msb()(initial, data, n);
}

uint16_t crc16_x25(const uint8_t *data, size_t n) {
    return static_cast<uint16_t>(crc16_chosen_lsb()(0xFFFF, data, n) ^ 0xFFFF);
}
