// The five digests on arbitrary input fed in arbitrary pieces: every block
// step the processor runs (SHA extensions, BMI2, AVX2, AVX-512) against the
// portable one fed whole, and the one-call forms; MD4 and MD5, which have
// one block step, split against whole.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "digest/digest_any.h"
#include "digest/digest_paths.h"
#include "fuzz/fuzz_input.h"

namespace {

// The pieces: up to 8 cut points from the input.
std::vector<size_t> piecesOf(ghfuzz::FuzzInput &in, size_t n) {
    std::vector<size_t> cuts;
    size_t count = in.byte() % 9;
    for (size_t i = 0; i < count; ++i) cuts.push_back(n ? in.u16() % (n + 1) : 0);
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(n);
    return cuts;
}

template <class Update>
void feed(const uint8_t *d, const std::vector<size_t> &cuts, Update update) {
    size_t at = 0;
    for (size_t cut : cuts) {
        update(d + at, cut - at);
        at = cut;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ghfuzz::FuzzInput in(data, size);
    uint8_t which = in.byte();
    size_t header;
    const uint8_t *cutBytes = in.bytes(17, &header);
    size_t n;
    const uint8_t *p = in.rest(&n);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(copy.get(), p, n);
    const uint8_t *d = copy.get();
    ghfuzz::FuzzInput cutInput(cutBytes, header);
    std::vector<size_t> cuts = piecesOf(cutInput, n);

    uint8_t want[HASH_MAX_OUTPUT_SIZE], got[HASH_MAX_OUTPUT_SIZE];
    static const HashClass *const kHashes[] = {&kMd4Hash, &kMd5Hash, &kSha1Hash, &kSha256Hash,
                                               &kSha512Hash};
    const HashClass *hash = kHashes[which % 5];
    switch (which % 5) {
    case 1: {
        md5_digest(want, d, n);
        Md5Context c;
        md5_init(&c);
        feed(d, cuts, [&](const uint8_t *q, size_t m) { md5_update(&c, q, m); });
        md5_final(&c, got);
        GH_FUZZ_CHECK(std::memcmp(want, got, 16) == 0);
        break;
    }
    case 0: {
        md4_digest(want, d, n);
        Md4Context c;
        md4_init(&c);
        feed(d, cuts, [&](const uint8_t *q, size_t m) { md4_update(&c, q, m); });
        md4_final(&c, got);
        GH_FUZZ_CHECK(std::memcmp(want, got, 16) == 0);
        break;
    }
    case 2: {
        Sha1Context c;
        sha1_init_with(&c, sha1_blocks_of(gSha1Kernel.paths[gSha1Kernel.count - 1]));
        sha1_update(&c, d, n);
        sha1_final(&c, want);
        sha1_digest(got, d, n);
        GH_FUZZ_CHECK(std::memcmp(want, got, 20) == 0);
        for (int path = 0; path < gSha1Kernel.count; ++path) {
            if (!gh_kernel_path_runs(gSha1Kernel, path)) continue;
            Sha1BlocksFn f = sha1_blocks_of(gSha1Kernel.paths[path]);
            sha1_init_with(&c, f);
            feed(d, cuts, [&](const uint8_t *q, size_t m) { sha1_update(&c, q, m); });
            sha1_final(&c, got);
            GH_FUZZ_CHECK(std::memcmp(want, got, 20) == 0);
        }
        break;
    }
    case 3: {
        Sha256Context c;
        sha256_init_with(&c, sha256_blocks_of(gSha256Kernel.paths[gSha256Kernel.count - 1]));
        sha256_update(&c, d, n);
        sha256_final(&c, want);
        sha256_digest(got, d, n);
        GH_FUZZ_CHECK(std::memcmp(want, got, 32) == 0);
        for (int path = 0; path < gSha256Kernel.count; ++path) {
            if (!gh_kernel_path_runs(gSha256Kernel, path)) continue;
            Sha256BlocksFn f = sha256_blocks_of(gSha256Kernel.paths[path]);
            sha256_init_with(&c, f);
            feed(d, cuts, [&](const uint8_t *q, size_t m) { sha256_update(&c, q, m); });
            sha256_final(&c, got);
            GH_FUZZ_CHECK(std::memcmp(want, got, 32) == 0);
        }
        break;
    }
    case 4: {
        Sha512Context c;
        sha512_init_with(&c, sha512_blocks_of(gSha512Kernel.paths[gSha512Kernel.count - 1]));
        sha512_update(&c, d, n);
        sha512_final(&c, want);
        sha512_digest(got, d, n);
        GH_FUZZ_CHECK(std::memcmp(want, got, 64) == 0);
        for (int path = 0; path < gSha512Kernel.count; ++path) {
            if (!gh_kernel_path_runs(gSha512Kernel, path)) continue;
            Sha512BlocksFn f = sha512_blocks_of(gSha512Kernel.paths[path]);
            sha512_init_with(&c, f);
            feed(d, cuts, [&](const uint8_t *q, size_t m) { sha512_update(&c, q, m); });
            sha512_final(&c, got);
            GH_FUZZ_CHECK(std::memcmp(want, got, 64) == 0);
        }
        break;
    }
    }
    // The run-time-chosen interface, and the wide text form (the low 8 bits
    // of each character up to the first that is zero there).
    DigestContext any;
    digest_init(&any, hash);
    feed(d, cuts, [&](const uint8_t *q, size_t m) { digest_update(&any, q, m); });
    digest_final(&any, got);
    GH_FUZZ_CHECK(std::memcmp(want, got, hash->outputSize) == 0);

    size_t chars = n / 4;
    std::unique_ptr<uint32_t[]> wide(new uint32_t[chars ? chars : 1]);
    if (chars) std::memcpy(wide.get(), d, chars * 4);
    size_t stop = 0;
    while (stop < chars && (wide[stop] & 0xFF)) ++stop;
    std::vector<uint8_t> low(stop);
    for (size_t i = 0; i < stop; ++i) low[i] = static_cast<uint8_t>(wide[i]);
    digest_init(&any, hash);
    GH_FUZZ_CHECK(digest_update_low8_until_zero(&any, wide.get(), chars) == stop);
    digest_final(&any, got);
    digest_compute(hash, want, low.data(), stop);
    GH_FUZZ_CHECK(std::memcmp(want, got, hash->outputSize) == 0);
    return 0;
}
