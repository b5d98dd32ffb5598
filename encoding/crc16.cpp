// CRC-16/XMODEM and CRC-16/X-25, and the choice of kernel behind them.
#include "encoding/crc16.h"

#include <atomic>

#include "platform/cpu_features.h"
#include "encoding/crc16_kernels.h"

namespace {

const Crc16Variant kVariants[] = {
#if GH_CRC16_HAVE_CLMUL
    {"clmul", crc16_msb_clmul, crc16_lsb_clmul},
#endif
    {"slice16", crc16_msb_slice16, crc16_lsb_slice16},
};
constexpr size_t kVariantCount = sizeof kVariants / sizeof kVariants[0];
const Crc16Variant &kPortable = kVariants[kVariantCount - 1];

// The variants the features allow are a suffix of kVariants (best first).
size_t first_runnable(const CpuFeatures &f) {
#if GH_CRC16_HAVE_CLMUL
    if (!f.pclmul || !f.ssse3) return 1;
#endif
    (void)f;
    return 0;
}

// Chosen once; a second thread racing the first choice only repeats it and
// stores the same pointer.
std::atomic<const Crc16Variant *> g_chosen{nullptr};

}  // namespace

const Crc16Variant *crc16_portable_variant() { return &kPortable; }

const Crc16Variant *crc16_variants(size_t *count) {
    size_t first = first_runnable(gh_cpu_detected());
    *count = kVariantCount - first;
    return &kVariants[first];
}

const Crc16Variant *crc16_chosen_variant() {
    const Crc16Variant *v = g_chosen.load(std::memory_order_acquire);
    if (!v) {
        v = &kVariants[first_runnable(gh_cpu_features())];
        g_chosen.store(v, std::memory_order_release);
    }
    return v;
}

uint16_t DoChecksum(const uint8_t *data, size_t n, uint16_t initial) {
    return crc16_chosen_variant()->msb(initial, data, n);
}

uint16_t DoChecksum2(const uint8_t *data, size_t n) {
    return static_cast<uint16_t>(crc16_chosen_variant()->lsb(0xFFFF, data, n) ^ 0xFFFF);
}
