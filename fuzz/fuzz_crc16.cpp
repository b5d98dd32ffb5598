// CRC-16 on arbitrary bytes: every kernel variant the processor runs, in
// both register forms, from any starting register, over the data whole and
// cut at any point, against the byte-at-a-time reference.
#include <cstring>
#include <memory>

#include "encoding/crc16.h"
#include "encoding/crc16_kernels.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    uint16_t initial = in.u16();
    uint16_t cut = in.u16();
    size_t n;
    const uint8_t *p = in.rest(&n);
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(bytes.get(), p, n);
    const uint8_t *d = bytes.get();
    size_t split = n ? cut % (n + 1) : 0;

    uint16_t msb = crc16_msb_bytewise(initial, d, n);
    uint16_t lsb = crc16_lsb_bytewise(initial, d, n);
    GH_FUZZ_CHECK(crc16_msb_bytewise(crc16_msb_bytewise(initial, d, split), d + split, n - split) == msb);
    GH_FUZZ_CHECK(crc16_lsb_bytewise(crc16_lsb_bytewise(initial, d, split), d + split, n - split) == lsb);

    // Both forms choose from the same list.
    for (int v = 0; v < gCrc16XmodemKernel.count; ++v) {
        if (!gh_kernel_path_runs(gCrc16XmodemKernel, v)) continue;
        const Crc16Variant &k = crc16_variant_of(gCrc16XmodemKernel.paths[v]);
        GH_FUZZ_CHECK(k.msb(initial, d, n) == msb);
        GH_FUZZ_CHECK(k.lsb(initial, d, n) == lsb);
        GH_FUZZ_CHECK(k.msb(k.msb(initial, d, split), d + split, n - split) == msb);
        GH_FUZZ_CHECK(k.lsb(k.lsb(initial, d, split), d + split, n - split) == lsb);
    }
    GH_FUZZ_CHECK(crc16_xmodem(d, n, initial) == msb);
    GH_FUZZ_CHECK(crc16_x25(d, n) == static_cast<uint16_t>(crc16_lsb_bytewise(0xFFFF, d, n) ^ 0xFFFF));
    return 0;
}
