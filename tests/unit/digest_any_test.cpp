// The run-time-chosen digest interface, and the narrowing digest of the wide
// build's texts: each character's low 8 bits, up to the first that are zero,
// whatever the chunk boundaries inside.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "digest/digest_any.h"
#include "tests/unit/openssl_reference.h"

namespace {

const struct {
    DigestAlgorithm algorithm;
    RefDigest reference;
} kAlgorithms[] = {{DIGEST_MD4, REF_MD4},
                   {DIGEST_MD5, REF_MD5},
                   {DIGEST_SHA1, REF_SHA1},
                   {DIGEST_SHA256, REF_SHA256},
                   {DIGEST_SHA512, REF_SHA512}};

std::vector<uint8_t> digestOfChars(DigestAlgorithm a, const std::vector<uint32_t> &chars, size_t *fed) {
    DigestContext ctx;
    digest_begin(&ctx, a);
    *fed = digest_update_low8_until_zero(&ctx, chars.data(), chars.size());
    std::vector<uint8_t> out(digest_length(a));
    digest_end(&ctx, out.data());
    return out;
}

std::vector<uint8_t> referenceOf(RefDigest r, size_t length, const std::vector<uint8_t> &bytes) {
    std::vector<uint8_t> out(length);
    ref_digest(r, bytes.data(), bytes.size(), out.data());
    return out;
}

TEST(DigestNarrowing, LowBitsUpToTheFirstZeroAcrossChunkBoundaries) {
    std::mt19937 rng(11);
    for (size_t n : {0, 1, 511, 512, 513, 1500, 100000}) {
        // Characters of every width whose low 8 bits are never zero ...
        std::vector<uint32_t> chars(n);
        for (auto &c : chars) c = (rng() & 0xFFFFFF00u) | (1 + rng() % 255);
        std::vector<size_t> zeroAt = {n};  // ... then, in turn, one that is
        for (size_t z : {size_t(0), size_t(511), size_t(512), size_t(513), n / 2})
            if (z < n) zeroAt.push_back(z);
        for (size_t z : zeroAt) {
            std::vector<uint32_t> text = chars;
            if (z < n) text[z] = 0x4200u;  // low 8 bits zero, the character is not
            std::vector<uint8_t> narrowed;
            for (size_t i = 0; i < z; ++i) narrowed.push_back(static_cast<uint8_t>(text[i]));
            for (const auto &a : kAlgorithms) {
                size_t fed = 0;
                EXPECT_EQ(digestOfChars(a.algorithm, text, &fed),
                          referenceOf(a.reference, digest_length(a.algorithm), narrowed))
                    << "algorithm " << a.algorithm << ", " << n << " characters, zero at " << z;
                EXPECT_EQ(fed, z);
            }
        }
    }
}

TEST(DigestNarrowing, EndWipesTheContext) {
    DigestContext ctx;
    digest_begin(&ctx, DIGEST_SHA512);
    uint8_t data[3] = {'a', 'b', 'c'}, out[64];
    digest_update(&ctx, data, 3);
    digest_end(&ctx, out);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&ctx);
    for (size_t i = 0; i < sizeof ctx; ++i) ASSERT_EQ(p[i], 0) << i;
}

}  // namespace
