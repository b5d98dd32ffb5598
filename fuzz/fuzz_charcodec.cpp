// The wide build's character conversions on arbitrary 32-bit codes (0,
// surrogates, codes above 0x10FFFF, 0xFFFFFFFF among them): every kernel set
// the processor runs against the portable one, at any start offset, into
// heap buffers of exactly the size the contract gives.
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/charcodec.h"
#include "platform/charcodec_kernels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    // Codes: a byte below 0xF0 is a code of its own (runs of small codes,
    // where the vector kernels take their fast way); otherwise 2 or 4 bytes
    // follow, or one of the extremes.
    std::vector<uint32_t> codes;
    std::vector<uint8_t> raw;
    while (!in.empty()) {
        uint8_t b = in.byte();
        raw.push_back(b);
        if (b < 0xF0) codes.push_back(b < 0xE0 ? b : 0x80u + b);
        else if (b < 0xF8) codes.push_back(in.u16());
        else if (b == 0xF8) codes.push_back(0xFFFFFFFFu);
        else if (b == 0xF9) codes.push_back(0x110000u + in.byte());
        else codes.push_back(in.u32());
    }
    size_t n = codes.size();
    std::unique_ptr<uint32_t[]> chars(new uint32_t[n ? n : 1]);
    if (n) std::memcpy(chars.get(), codes.data(), n * 4);

    // The four conversions choose from the same list.
    const Kernel &kernel = gCharCodecKernels[CHARCODEC_ENCODE];
    const CharCodecKernels *portable = &charcodec_set_of(kernel.paths[kernel.count - 1]);
    uint64_t length = portable->encodedLength(chars.get(), n);
    GH_FUZZ_CHECK(length >= n && length <= 6 * static_cast<uint64_t>(n));
    std::unique_ptr<uint8_t[]> want(new uint8_t[length ? length : 1]);
    GH_FUZZ_CHECK(portable->encode(chars.get(), n, want.get()) == length);
    std::unique_ptr<uint8_t[]> low(new uint8_t[n ? n : 1]);
    portable->narrowLow8(chars.get(), n, low.get());
    for (size_t i = 0; i < n; ++i) GH_FUZZ_CHECK(low[i] == static_cast<uint8_t>(codes[i]));
    size_t r = raw.size();
    std::unique_ptr<uint32_t[]> wideWant(new uint32_t[r ? r : 1]);
    portable->widen(raw.data(), r, wideWant.get());
    for (size_t i = 0; i < r; ++i) GH_FUZZ_CHECK(wideWant[i] == raw[i]);

    for (int p = 0; p + 1 < kernel.count; ++p) {
        if (!gh_kernel_path_runs(kernel, p)) continue;
        const CharCodecKernels *k = &charcodec_set_of(kernel.paths[p]);
        // Every suffix start up to 8 (alignment and the kernels' ends).
        for (size_t from = 0; from <= n && from < 8; ++from) {
            size_t m = n - from;
            const uint32_t *c = chars.get() + from;
            uint64_t len = portable->encodedLength(c, m);
            GH_FUZZ_CHECK(k->encodedLength(c, m) == len);
            std::unique_ptr<uint8_t[]> out(new uint8_t[len ? len : 1]);
            GH_FUZZ_CHECK(k->encode(c, m, out.get()) == len);
            std::unique_ptr<uint8_t[]> ref(new uint8_t[len ? len : 1]);
            portable->encode(c, m, ref.get());
            GH_FUZZ_CHECK(len == 0 || std::memcmp(out.get(), ref.get(), len) == 0);
            std::unique_ptr<uint8_t[]> narrow(new uint8_t[m ? m : 1]);
            k->narrowLow8(c, m, narrow.get());
            GH_FUZZ_CHECK(m == 0 || std::memcmp(narrow.get(), low.get() + from, m) == 0);
        }
        for (size_t from = 0; from <= r && from < 8; ++from) {
            size_t m = r - from;
            std::unique_ptr<uint32_t[]> wide(new uint32_t[m ? m : 1]);
            k->widen(raw.data() + from, m, wide.get());
            GH_FUZZ_CHECK(m == 0 || std::memcmp(wide.get(), wideWant.get() + from, m * 4) == 0);
        }
    }
    // The public functions take the chosen kernels.
    GH_FUZZ_CHECK(qchar_encoded_length(chars.get(), n) == length);
    std::unique_ptr<uint8_t[]> chosen(new uint8_t[length ? length : 1]);
    GH_FUZZ_CHECK(qchar_encode(chars.get(), n, chosen.get()) == length);
    GH_FUZZ_CHECK(length == 0 || std::memcmp(chosen.get(), want.get(), length) == 0);
    return 0;
}
