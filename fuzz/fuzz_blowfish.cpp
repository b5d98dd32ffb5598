// Blowfish's byte-level pieces on arbitrary input:
//  - blowfish_text_decode on a heap copy of exactly the text's bytes (nothing past
//    it may be read), against a plain reference of the text form;
//  - blowfish_text_encode of any bytes fills exactly blowfish_text_size(n) bytes and
//    decodes back;
//  - ECB over any number of blocks, by every kernel path the processor runs
//    and by the library's choice, equals blowfish_encrypt one block at a
//    time, and decrypts back;
//  - padding any length and taking the padded length back gives the length;
//    the unpadded length of any decrypted data is never past the data.
#include <cstring>
#include <memory>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_kernels.h"
#include "cipher/blowfish_text.h"
#include "fuzz/fuzz_input.h"

namespace {

uint8_t digit(uint8_t c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return static_cast<uint8_t>(c - 0x37);
}

std::vector<uint8_t> decodeReference(const uint8_t *s, size_t n) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < n && s[i]; ++i) {
        // An escape needs its two digits within the text (before a NUL).
        if (s[i] == '%' && i + 2 < n && s[i + 1] && s[i + 2]) {
            out.push_back(static_cast<uint8_t>(digit(s[i + 1]) << 4 | digit(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

std::unique_ptr<uint8_t[]> copyOf(const uint8_t *p, size_t n, size_t room) {
    std::unique_ptr<uint8_t[]> b(new uint8_t[room ? room : 1]);
    if (n) std::memcpy(b.get(), p, n);
    return b;
}

uint32_t be32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    size_t keyLength;
    const uint8_t *key = in.bytes(in.byte() % 80, &keyLength);
    size_t n;
    const uint8_t *p = in.rest(&n);

    // The text form.
    auto text = copyOf(p, n, n);
    std::vector<uint8_t> want = decodeReference(p, n);
    size_t got = blowfish_text_decode(text.get(), n);
    GH_FUZZ_CHECK(got == want.size() && std::equal(want.begin(), want.end(), text.get()));

    size_t room = blowfish_text_size(n);
    GH_FUZZ_CHECK(room == 3 * n + 1);
    auto encoded = copyOf(nullptr, 0, room);
    blowfish_text_encode(p, n, encoded.get());
    GH_FUZZ_CHECK(encoded[room - 1] == 0 && std::strlen(reinterpret_cast<char *>(encoded.get())) == 3 * n);
    GH_FUZZ_CHECK(blowfish_text_decode(encoded.get(), 3 * n) == n);
    GH_FUZZ_CHECK(n == 0 || std::memcmp(encoded.get(), p, n) == 0);

    // Padding and ECB.
    size_t padded = n + blowfish_pad_length(n);
    auto block = copyOf(p, n, padded);
    GH_FUZZ_CHECK(blowfish_pad(block.get(), n) == padded && padded % 8 == 0 && padded > n);
    size_t plain = 0;
    GH_FUZZ_CHECK(blowfish_unpadded_length(block.get(), padded, &plain) && plain == n);

    if (keyLength == 0) return 0;
    BlowfishContext ctx;
    blowfish_init(&ctx, key, keyLength);
    std::vector<uint8_t> cipher(padded);
    for (size_t b = 0; b < padded / 8; ++b) {
        uint32_t l = be32(block.get() + 8 * b), r = be32(block.get() + 8 * b + 4);
        blowfish_encrypt(&ctx, &l, &r);
        for (int k = 0; k < 4; ++k) {
            cipher[8 * b + k] = static_cast<uint8_t>(l >> (24 - 8 * k));
            cipher[8 * b + 4 + k] = static_cast<uint8_t>(r >> (24 - 8 * k));
        }
    }
    // Every path this processor runs, both ways.
    for (int i = 0; i < gBlowfishEncryptKernel.count; ++i) {
        if (!gh_kernel_path_runs(gBlowfishEncryptKernel, i)) continue;
        const BlowfishEcbPath &path = blowfish_path_of(gBlowfishEncryptKernel.paths[i]);
        auto work = copyOf(block.get(), padded, padded);
        path.encrypt(&ctx, work.get(), padded / 8);
        GH_FUZZ_CHECK(std::memcmp(work.get(), cipher.data(), padded) == 0);
        path.decrypt(&ctx, work.get(), padded / 8);
        GH_FUZZ_CHECK(std::memcmp(work.get(), block.get(), padded) == 0);
    }
    blowfish_ecb_encrypt(&ctx, block.get(), padded / 8);
    GH_FUZZ_CHECK(std::memcmp(block.get(), cipher.data(), padded) == 0);
    // Any data decrypted (here the input itself, whole blocks) gives an
    // unpadded length within it, or a refusal.
    auto garbage = copyOf(p, n, n);
    blowfish_ecb_decrypt(&ctx, garbage.get(), n / 8);
    if (blowfish_unpadded_length(garbage.get(), n, &plain)) GH_FUZZ_CHECK(plain < n);
    blowfish_ecb_decrypt(&ctx, block.get(), padded / 8);
    GH_FUZZ_CHECK(blowfish_unpadded_length(block.get(), padded, &plain) && plain == n);
    GH_FUZZ_CHECK(n == 0 || std::memcmp(block.get(), p, n) == 0);
    return 0;
}
