// The hashes' class records, the digest of any hash through them, and the
// narrowing digest of the wide build's texts: each character's low 8 bits, up to the first that are zero,
// whatever the chunk boundaries inside.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "digest/digest_any.h"
#include "tests/unit/openssl_reference.h"

namespace {

const struct {
    const HashClass *hash;
    RefDigest reference;
    size_t contextSize, blockSize, outputSize;
} kAlgorithms[] = {{&kMd4Hash, REF_MD4, sizeof(Md4Context), 64, 16},
                   {&kMd5Hash, REF_MD5, sizeof(Md5Context), 64, 16},
                   {&kSha1Hash, REF_SHA1, sizeof(Sha1Context), 64, 20},
                   {&kSha256Hash, REF_SHA256, sizeof(Sha256Context), 64, 32},
                   {&kSha512Hash, REF_SHA512, sizeof(Sha512Context), 128, 64}};

// The digest of all but the last character, which is there to be left alone.
std::vector<uint8_t> digestOfChars(const HashClass *hash, const std::vector<uint32_t> &chars, size_t *fed) {
    DigestContext ctx;
    digest_init(&ctx, hash);
    *fed = digest_update_low8_until_zero(&ctx, chars.data(), chars.size() - 1);
    std::vector<uint8_t> out(hash->outputSize);
    digest_final(&ctx, out.data());
    return out;
}

std::vector<uint8_t> referenceOf(RefDigest r, size_t length, const std::vector<uint8_t> &bytes) {
    std::vector<uint8_t> out(length);
    ref_digest(r, bytes.data(), bytes.size(), out.data());
    return out;
}

// The records say what each hash is, and generic code fed through them in
// pieces gets what the hash gives whole.
TEST(DigestRecords, SizesAndStepsMatchEachHash) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    for (const auto &a : kAlgorithms) {
        const HashClass *h = a.hash;
        EXPECT_EQ(h->contextSize, a.contextSize) << h->name;
        EXPECT_EQ(h->blockSize, a.blockSize) << h->name;
        EXPECT_EQ(h->outputSize, a.outputSize) << h->name;
        EXPECT_LE(h->contextSize, sizeof(AnyHashContext)) << h->name;
        std::vector<uint8_t> want = referenceOf(a.reference, h->outputSize, data), got(h->outputSize);
        digest_compute(h, got.data(), data.data(), data.size());
        EXPECT_EQ(got, want) << h->name << " in one call";
        DigestContext ctx;
        digest_init(&ctx, h);
        for (size_t at = 0; at < data.size(); at += 97)
            digest_update(&ctx, data.data() + at, data.size() - at < 97 ? data.size() - at : 97);
        digest_final(&ctx, got.data());
        EXPECT_EQ(got, want) << h->name << " in pieces";
    }
}

TEST(DigestNarrowing, LowBitsUpToTheFirstZeroAcrossChunkBoundaries) {
    std::mt19937 rng(11);
    for (size_t n : {0, 1, 511, 512, 513, 1500, 100000}) {
        // Characters of every width whose low 8 bits are never zero ...
        std::vector<uint32_t> chars(n + 1);
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
                EXPECT_EQ(digestOfChars(a.hash, text, &fed),
                          referenceOf(a.reference, a.hash->outputSize, narrowed))
                    << a.hash->name << ", " << n << " characters, zero at " << z;
                EXPECT_EQ(fed, z);
            }
        }
    }
}

TEST(DigestNarrowing, FinalWipesTheContext) {
    DigestContext ctx;
    digest_init(&ctx, &kSha512Hash);
    uint8_t data[3] = {'a', 'b', 'c'}, out[64];
    digest_update(&ctx, data, 3);
    digest_final(&ctx, out);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&ctx);
    for (size_t i = 0; i < sizeof ctx; ++i) ASSERT_EQ(p[i], 0) << i;
}

}  // namespace
