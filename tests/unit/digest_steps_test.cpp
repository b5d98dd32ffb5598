// The SHA block steps: the published examples of FIPS 180 through every
// step this CPU runs, every step against the portable one, and the choice
// of steps and the wiping of contexts.  No reference library is needed, so
// the cross builds (64-bit ARM, 32-bit x86, Windows) run these too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "digest/digest_paths.h"
#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "tests/support/hex.h"

namespace {

using Bytes = std::vector<uint8_t>;

using testhex::hex;

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto &c : b) c = static_cast<uint8_t>(rng());
    return b;
}

// --- Known answers through every step ------------------------------------

struct Fips {
    std::string message;
    const char *sha1, *sha256, *sha512;
};

std::vector<Fips> fipsExamples() {
    return {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
         "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
         "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "mnopqrsmnopqrstnopqrstu",
         "a49b2446a02c645bf419f995b67091253a04a259",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
         "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
         "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
}

// The message in pieces of `piece` bytes (the million a's are usually fed
// in pieces of 1000), through a context begun with the given step.
template <class Ctx, class Begin, class Update, class End>
std::string digestIn(const Bytes &m, size_t piece, size_t length, Begin begin, Update update, End end) {
    Ctx c;
    begin(&c);
    for (size_t at = 0; at < m.size(); at += piece) update(&c, m.data() + at, std::min(piece, m.size() - at));
    Bytes out(length);
    end(&c, out.data());
    return hex(out);
}

TEST(DigestKnownAnswers, Fips180ExamplesThroughEveryStep) {
    for (const Fips &f : fipsExamples()) {
        Bytes m = bytesOf(f.message);
        for (size_t piece : {m.size() + 1, size_t{1000}, size_t{61}}) {
            if (piece == 61 && m.size() > 1000) continue;  // odd pieces: the short examples only
            SCOPED_TRACE(std::to_string(m.size()) + " bytes in pieces of " + std::to_string(piece));
            for (int i = 0; i < gSha1Kernel.count; ++i) {
                if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
                Sha1BlocksFn step = sha1_blocks_of(gSha1Kernel.paths[i]);
                EXPECT_EQ(digestIn<Sha1Context>(
                              m, piece, 20, [&](Sha1Context *c) { sha1_init_with(c, step); }, sha1_update, sha1_final),
                          f.sha1)
                    << "SHA-1 " << gSha1Kernel.paths[i].name;
            }
            for (int i = 0; i < gSha256Kernel.count; ++i) {
                if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
                Sha256BlocksFn step = sha256_blocks_of(gSha256Kernel.paths[i]);
                EXPECT_EQ(digestIn<Sha256Context>(
                              m, piece, 32, [&](Sha256Context *c) { sha256_init_with(c, step); }, sha256_update, sha256_final),
                          f.sha256)
                    << "SHA-256 " << gSha256Kernel.paths[i].name;
            }
            for (int i = 0; i < gSha512Kernel.count; ++i) {
                if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
                Sha512BlocksFn step = sha512_blocks_of(gSha512Kernel.paths[i]);
                EXPECT_EQ(digestIn<Sha512Context>(
                              m, piece, 64, [&](Sha512Context *c) { sha512_init_with(c, step); }, sha512_update, sha512_final),
                          f.sha512)
                    << "SHA-512 " << gSha512Kernel.paths[i].name;
            }
        }
    }
}

// --- The steps against each other ----------------------------------------

// Every block step against the portable one from arbitrary states (not only
// the standard initial values) over one to nine blocks.
TEST(DigestBlockSteps, EveryStepMatchesThePortableOne) {
    std::mt19937 rng(5);
    Bytes data = randomBytes(9 * 128, 6);
    for (size_t blocks = 1; blocks <= 9; ++blocks) {
        for (int i = 0; i < gSha1Kernel.count; ++i) {
            if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
            uint32_t a[5], b[5];
            for (int k = 0; k < 5; ++k) a[k] = b[k] = static_cast<uint32_t>(rng());
            sha1_blocks_of(gSha1Kernel.paths[i])(a, data.data(), blocks);
            sha1_blocks_portable(b, data.data(), blocks);
            EXPECT_EQ(0, memcmp(a, b, sizeof a)) << "SHA-1 " << gSha1Kernel.paths[i].name << ", " << blocks;
        }
        for (int i = 0; i < gSha256Kernel.count; ++i) {
            if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
            uint32_t a[8], b[8];
            for (int k = 0; k < 8; ++k) a[k] = b[k] = static_cast<uint32_t>(rng());
            sha256_blocks_of(gSha256Kernel.paths[i])(a, data.data(), blocks);
            sha256_blocks_portable(b, data.data(), blocks);
            EXPECT_EQ(0, memcmp(a, b, sizeof a)) << "SHA-256 " << gSha256Kernel.paths[i].name << ", " << blocks;
        }
        for (int i = 0; i < gSha512Kernel.count; ++i) {
            if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
            uint64_t a[8], b[8];
            for (int k = 0; k < 8; ++k) a[k] = b[k] = static_cast<uint64_t>(rng()) << 32 | rng();
            sha512_blocks_of(gSha512Kernel.paths[i])(a, data.data(), blocks);
            sha512_blocks_portable(b, data.data(), blocks);
            EXPECT_EQ(0, memcmp(a, b, sizeof a)) << "SHA-512 " << gSha512Kernel.paths[i].name << ", " << blocks;
        }
    }
}

// --- Context wiping and the choice of steps ------------------------------

template <class Ctx>
bool allZero(const Ctx &c) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&c);
    for (size_t i = 0; i < sizeof c; ++i)
        if (p[i]) return false;
    return true;
}

TEST(DigestContexts, FinalWipesTheContextAndAWipedContextStaysHarmless) {
    Bytes m = bytesOf("key material");
    uint8_t out[64];
    Md4Context c4;
    md4_init(&c4);
    md4_update(&c4, m.data(), m.size());
    md4_final(&c4, out);
    EXPECT_TRUE(allZero(c4));
    Md5Context c5;
    md5_init(&c5);
    md5_update(&c5, m.data(), m.size());
    md5_final(&c5, out);
    EXPECT_TRUE(allZero(c5));
    Sha1Context c1;
    sha1_init(&c1);
    sha1_update(&c1, m.data(), m.size());
    sha1_final(&c1, out);
    EXPECT_TRUE(allZero(c1));
    Sha256Context c256;
    sha256_init(&c256);
    sha256_update(&c256, m.data(), m.size());
    sha256_final(&c256, out);
    EXPECT_TRUE(allZero(c256));
    Sha512Context c512;
    sha512_init(&c512);
    sha512_update(&c512, m.data(), m.size());
    sha512_final(&c512, out);
    EXPECT_TRUE(allZero(c512));
    // Reused without a new begin: no block step is left; nothing crashes.
    Bytes big(300, 'x');
    sha256_update(&c256, big.data(), big.size());
    sha512_update(&c512, big.data(), big.size());
    sha1_update(&c1, big.data(), big.size());
}

// A context takes its digest's chosen step when it begins.
TEST(DigestPaths, ContextsBeginWithTheChosenStep) {
    Sha1Context c1;
    sha1_init(&c1);
    EXPECT_EQ(c1.blocks, sha1_blocks_of(gSha1Kernel.paths[gh_kernel_path(&gSha1Kernel)]));
    Sha256Context c256;
    sha256_init(&c256);
    EXPECT_EQ(c256.blocks, sha256_blocks_of(gSha256Kernel.paths[gh_kernel_path(&gSha256Kernel)]));
    Sha512Context c512;
    sha512_init(&c512);
    EXPECT_EQ(c512.blocks, sha512_blocks_of(gSha512Kernel.paths[gh_kernel_path(&gSha512Kernel)]));
}

}  // namespace
