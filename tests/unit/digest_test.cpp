// The digest primitives: the published known answers of MD4 and MD5 (RFC
// 1320, RFC 1321), and OpenSSL as an independent reference over every
// length and split through every block step this CPU can run
// (digest_steps_test.cpp has the rest, which needs no OpenSSL).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "digest/digest_paths.h"
#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "tests/unit/openssl_reference.h"
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

// One digest through one block step, fed in the given pieces (the sizes
// add up to the length; a final piece takes any rest).
struct Variant {
    std::string name;
    size_t digestLength;
    std::function<Bytes(const uint8_t *, size_t, const std::vector<size_t> &)> run;
    std::function<Bytes(const uint8_t *, size_t)> reference;  // OpenSSL
};

template <class Ctx, class Init, class Update, class Final>
Bytes feed(size_t n, const uint8_t *data, size_t len, const std::vector<size_t> &pieces, Init init,
           Update update, Final fin) {
    Ctx ctx;
    init(&ctx);
    size_t at = 0;
    for (size_t p : pieces) {
        if (p > len - at) p = len - at;
        update(&ctx, data + at, p);
        at += p;
    }
    update(&ctx, data + at, len - at);
    Bytes out(n);
    fin(&ctx, out.data());
    return out;
}

std::vector<Variant> variants() {
    std::vector<Variant> v;
    v.push_back({"MD4", 16,
                 [](const uint8_t *d, size_t n, const std::vector<size_t> &p) {
                     return feed<Md4Context>(16, d, n, p, md4_init, md4_update, md4_final);
                 },
                 [](const uint8_t *d, size_t n) {
                     Bytes o(16);
                     ref_digest(REF_MD4, d, n, o.data());
                     return o;
                 }});
    v.push_back({"MD5", 16,
                 [](const uint8_t *d, size_t n, const std::vector<size_t> &p) {
                     return feed<Md5Context>(16, d, n, p, md5_init, md5_update, md5_final);
                 },
                 [](const uint8_t *d, size_t n) {
                     Bytes o(16);
                     ref_digest(REF_MD5, d, n, o.data());
                     return o;
                 }});
    for (int i = 0; i < gSha1Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
        Sha1BlocksFn f = sha1_blocks_of(gSha1Kernel.paths[i]);
        std::string suffix = std::string("/") + gSha1Kernel.paths[i].name;
        v.push_back({"SHA1" + suffix, 20,
                     [f](const uint8_t *d, size_t n, const std::vector<size_t> &p) {
                         return feed<Sha1Context>(
                             20, d, n, p, [f](Sha1Context *c) { sha1_init_with(c, f); }, sha1_update,
                             sha1_final);
                     },
                     [](const uint8_t *d, size_t n) {
                         Bytes o(20);
                         ref_digest(REF_SHA1, d, n, o.data());
                         return o;
                     }});
    }
    for (int i = 0; i < gSha256Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
        Sha256BlocksFn f = sha256_blocks_of(gSha256Kernel.paths[i]);
        std::string suffix = std::string("/") + gSha256Kernel.paths[i].name;
        v.push_back({"SHA256" + suffix, 32,
                     [f](const uint8_t *d, size_t n, const std::vector<size_t> &p) {
                         return feed<Sha256Context>(
                             32, d, n, p, [f](Sha256Context *c) { sha256_init_with(c, f); },
                             sha256_update, sha256_final);
                     },
                     [](const uint8_t *d, size_t n) {
                         Bytes o(32);
                         ref_digest(REF_SHA256, d, n, o.data());
                         return o;
                     }});
    }
    for (int i = 0; i < gSha512Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
        Sha512BlocksFn f = sha512_blocks_of(gSha512Kernel.paths[i]);
        std::string suffix = std::string("/") + gSha512Kernel.paths[i].name;
        v.push_back({"SHA512" + suffix, 64,
                     [f](const uint8_t *d, size_t n, const std::vector<size_t> &p) {
                         return feed<Sha512Context>(
                             64, d, n, p, [f](Sha512Context *c) { sha512_init_with(c, f); },
                             sha512_update, sha512_final);
                     },
                     [](const uint8_t *d, size_t n) {
                         Bytes o(64);
                         ref_digest(REF_SHA512, d, n, o.data());
                         return o;
                     }});
    }
    return v;
}

Bytes oneShot(const Variant &v, const Bytes &b) { return v.run(b.data(), b.size(), {}); }

// --- Known answers -------------------------------------------------------

struct Known {
    std::string message;
    const char *md4, *md5;
};

const Known kRfcSuite[] = {
    {"", "31d6cfe0d16ae931b73c59d7e0c089c0", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "bde52cb31de33e46245e05fbdbd6fb24", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "a448017aaf21d8525fc10ae87aa6729d", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "d9130a8164549fe818874806e1c7014b", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9",
     "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "e33b4ddc9c38f2199c3e7b164fcc0536", "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(DigestKnownAnswers, Rfc1320AndRfc1321Suites) {
    for (const Variant &v : variants()) {
        if (v.name != "MD4" && v.name != "MD5") continue;
        for (const Known &k : kRfcSuite) {
            Bytes m = bytesOf(k.message);
            std::string want = v.name == "MD4" ? k.md4 : k.md5;
            EXPECT_EQ(hex(oneShot(v, m)), want) << v.name << " of \"" << k.message << "\"";
            // byte at a time
            EXPECT_EQ(hex(v.run(m.data(), m.size(), std::vector<size_t>(m.size(), 1))), want)
                << v.name << " byte at a time";
        }
    }
}

TEST(DigestKnownAnswers, OneCallFormsUseTheChosenSteps) {
    Bytes abc = bytesOf("abc");
    uint8_t out[64];
    md4_digest(out, abc.data(), 3);
    EXPECT_EQ(hex(Bytes(out, out + 16)), "a448017aaf21d8525fc10ae87aa6729d");
    md5_digest(out, abc.data(), 3);
    EXPECT_EQ(hex(Bytes(out, out + 16)), "900150983cd24fb0d6963f7d28e17f72");
    sha1_digest(out, abc.data(), 3);
    EXPECT_EQ(hex(Bytes(out, out + 20)), "a9993e364706816aba3e25717850c26c9cd0d89d");
    sha256_digest(out, abc.data(), 3);
    EXPECT_EQ(hex(Bytes(out, out + 32)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    sha512_digest(out, nullptr, 0);  // a null pointer with length 0 is the empty message
    EXPECT_EQ(hex(Bytes(out, out + 64)),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
}

// --- Against OpenSSL -----------------------------------------------------

TEST(DigestAgainstOpenSSL, EveryLengthUpTo1100) {
    Bytes data = randomBytes(1100, 1);
    for (const Variant &v : variants()) {
        for (size_t n = 0; n <= data.size(); ++n) {
            ASSERT_EQ(hex(v.run(data.data(), n, {})), hex(v.reference(data.data(), n)))
                << v.name << ", length " << n;
        }
    }
}

TEST(DigestAgainstOpenSSL, EverySplitPoint) {
    Bytes data = randomBytes(300, 2);
    for (const Variant &v : variants()) {
        for (size_t n : {0, 1, 55, 56, 63, 64, 65, 111, 112, 119, 127, 128, 129, 255, 256, 300}) {
            Bytes want = v.reference(data.data(), n);
            for (size_t k = 0; k <= n; ++k) {
                ASSERT_EQ(hex(v.run(data.data(), n, {k})), hex(want))
                    << v.name << ", length " << n << " split at " << k;
                // and three pieces, the middle one crossing block boundaries
                ASSERT_EQ(hex(v.run(data.data(), n, {k / 2, k - k / 2})), hex(want))
                    << v.name << ", length " << n << " split at " << k / 2 << " and " << k;
            }
        }
    }
}

TEST(DigestAgainstOpenSSL, LargeInputsInRandomPieces) {
    std::mt19937 rng(3);
    for (size_t n : {size_t(1) << 20, (size_t(1) << 20) + 13, size_t(3000017)}) {
        Bytes data = randomBytes(n, static_cast<unsigned>(n));
        std::vector<size_t> pieces;
        for (size_t at = 0; at < n;) {
            size_t p = rng() % 5000;
            pieces.push_back(p);
            at += p;
        }
        for (const Variant &v : variants()) {
            Bytes want = v.reference(data.data(), n);
            EXPECT_EQ(hex(v.run(data.data(), n, {})), hex(want)) << v.name << ", " << n << " bytes";
            EXPECT_EQ(hex(v.run(data.data(), n, pieces)), hex(want)) << v.name << " in pieces";
        }
    }
}

// The length counters carry across their word boundaries.  A run of 2^32
// bits (MD4/MD5/SHA-1), 2^32 bytes (SHA-256) or 2^61 bytes (SHA-512) is too
// long to hash here, so both implementations start from a counter just below
// the boundary, with the same state, and must agree on what follows (fed in
// two pieces: the counter must keep its carry through the second).
TEST(DigestAgainstOpenSSL, LengthCountersCarry) {
    Bytes tail = randomBytes(300, 4);
    uint8_t a[64], b[64];
    // 2^32 - 512 bits: one block short of the low word's end.
    {
        Md5Context c;
        md5_init(&c);
        c.count[0] = 0xFFFFFE00u;
        md5_update(&c, tail.data(), 200);
        md5_update(&c, tail.data() + 200, 100);
        md5_final(&c, a);
        ref_digest_after_counter(REF_MD5, 0, 0xFFFFFE00u, tail.data(), tail.size(), b);
        EXPECT_EQ(0, memcmp(a, b, 16)) << "MD5";
    }
    {
        Md4Context c;
        md4_init(&c);
        c.count[0] = 0xFFFFFE00u;
        md4_update(&c, tail.data(), 200);
        md4_update(&c, tail.data() + 200, 100);
        md4_final(&c, a);
        ref_digest_after_counter(REF_MD4, 0, 0xFFFFFE00u, tail.data(), tail.size(), b);
        EXPECT_EQ(0, memcmp(a, b, 16)) << "MD4";
    }
    for (int i = 0; i < gSha1Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
        Sha1Context c;
        sha1_init_with(&c, sha1_blocks_of(gSha1Kernel.paths[i]));
        c.count[0] = 0xFFFFFE00u;
        sha1_update(&c, tail.data(), 200);
        sha1_update(&c, tail.data() + 200, 100);
        sha1_final(&c, a);
        ref_digest_after_counter(REF_SHA1, 0, 0xFFFFFE00u, tail.data(), tail.size(), b);
        EXPECT_EQ(0, memcmp(a, b, 20)) << "SHA-1 " << gSha1Kernel.paths[i].name;
    }
    for (int i = 0; i < gSha256Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
        // 2^32 - 64 bytes: the byte counter's low word is about to carry,
        // and the bit count already needs both words.
        Sha256Context c;
        sha256_init_with(&c, sha256_blocks_of(gSha256Kernel.paths[i]));
        c.count[0] = 0xFFFFFFC0u;
        sha256_update(&c, tail.data(), 200);
        sha256_update(&c, tail.data() + 200, 100);
        sha256_final(&c, a);
        ref_digest_after_counter(REF_SHA256, 0, 0xFFFFFFC0ull * 8, tail.data(), tail.size(), b);
        EXPECT_EQ(0, memcmp(a, b, 32)) << "SHA-256 " << gSha256Kernel.paths[i].name;
    }
    for (int i = 0; i < gSha512Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
        // 2^64 - 128 bytes: the byte counter's low word is about to
        // carry, and its bit count overflowed into the high word long ago.
        Sha512Context c;
        sha512_init_with(&c, sha512_blocks_of(gSha512Kernel.paths[i]));
        c.count[0] = 0xFFFFFFFFFFFFFF80ull;
        sha512_update(&c, tail.data(), 200);
        sha512_update(&c, tail.data() + 200, 100);
        sha512_final(&c, a);
        ref_digest_after_counter(REF_SHA512, 7, 0xFFFFFFFFFFFFFC00ull, tail.data(), tail.size(), b);
        EXPECT_EQ(0, memcmp(a, b, 64)) << "SHA-512 " << gSha512Kernel.paths[i].name;
    }
}


}  // namespace
