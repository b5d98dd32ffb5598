// Every Blowfish ECB kernel path this processor runs against the portable
// one (without OpenSSL, so that the cross builds run it too).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/blowfish_kernels.h"
#include "tests/unit/kernel_check.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Every path this processor runs against the portable one, both ways, over
// random keys and block counts from none to several vector steps with every
// tail, at odd addresses; the bytes around the blocks stay untouched.
TEST(BlowfishKernels, EveryPathMatchesThePortableOne) {
    const BlowfishEcbPath *portable = portableTable<BlowfishEcbPath>(gBlowfishEncryptKernel);
    std::mt19937 rng(4242u);
    for (const BlowfishEcbPath *path : runnableTables<BlowfishEcbPath>(gBlowfishEncryptKernel)) {
        SCOPED_TRACE(path->name);
        for (int round = 0; round < 120; ++round) {
            Bytes key(1 + rng() % 72);
            for (auto &b : key) b = static_cast<uint8_t>(rng());
            BlowfishContext ctx;
            blowfish_init(&ctx, key.data(), key.size());
            size_t blocks = round < 70 ? static_cast<size_t>(round) : rng() % 400;
            size_t offset = rng() % 8;
            Bytes data(8 * blocks + offset + 1);
            for (auto &b : data) b = static_cast<uint8_t>(rng());
            Bytes expected = data, ours = data;
            portable->encrypt(&ctx, expected.data() + offset, blocks);
            path->encrypt(&ctx, ours.data() + offset, blocks);
            ASSERT_EQ(ours, expected) << blocks << " blocks";
            path->decrypt(&ctx, ours.data() + offset, blocks);
            ASSERT_EQ(ours, data) << blocks << " blocks";
        }
    }
}

}  // namespace
