// The digest primitives against OpenSSL: each block step this CPU can run,
// through the public init/update/final functions, at 64 B, 1 KiB and 1 MiB.
//
//   build/rel/bin/gh_bench --benchmark_filter='^digest/'
//
// Names: digest/<algorithm>/<path>/<bytes>, where <path> is one of our
// block steps (portable, sha_ni, bmi2) or "openssl" (EVP one call, which
// uses OpenSSL's own CPU dispatch; MD4 through its one-call MD4()).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "digest/digest_paths.h"
#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"

// OpenSSL's MD4() (bench/openssl_md4.cpp: its Md4Context is a name of ours too).
void openssl_md4(const uint8_t *data, size_t len, uint8_t *out);

namespace {

const int64_t kSizes[] = {64, 1024, 1 << 20};

std::vector<uint8_t> &input() {
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(1 << 20);
        uint32_t x = 12345;
        for (auto &c : d) {
            x = x * 1103515245u + 12345u;
            c = static_cast<uint8_t>(x >> 24);
        }
        return d;
    }();
    return data;
}

template <class Fn>
void addBenchmark(const std::string &name, Fn fn) {
    for (int64_t size : kSizes) {
        benchmark::RegisterBenchmark((name + "/" + std::to_string(size)).c_str(),
                                     [fn](benchmark::State &state) {
                                         const uint8_t *data = input().data();
                                         size_t n = static_cast<size_t>(state.range(0));
                                         uint8_t out[64];
                                         for (auto _ : state) {
                                             fn(data, n, out);
                                             benchmark::DoNotOptimize(out);
                                             benchmark::ClobberMemory();
                                         }
                                         state.SetBytesProcessed(state.iterations() *
                                                                 static_cast<int64_t>(n));
                                     })
            ->Arg(size)
            ->MinTime(0.2);
    }
}

void addOpenSSL(const std::string &algorithm, const EVP_MD *md) {
    addBenchmark("digest/" + algorithm + "/openssl", [md](const uint8_t *d, size_t n, uint8_t *out) {
        unsigned int len = 0;
        EVP_Digest(d, n, out, &len, md, nullptr);
    });
}

void registerAll() {
    addBenchmark("digest/MD4/portable", [](const uint8_t *d, size_t n, uint8_t *out) {
        Md4Context c;
        md4_init(&c);
        md4_update(&c, d, n);
        md4_final(&c, out);
    });
    addBenchmark("digest/MD4/openssl", [](const uint8_t *d, size_t n, uint8_t *out) { openssl_md4(d, n, out); });
    addBenchmark("digest/MD5/portable", [](const uint8_t *d, size_t n, uint8_t *out) {
        Md5Context c;
        md5_init(&c);
        md5_update(&c, d, n);
        md5_final(&c, out);
    });
    addOpenSSL("MD5", EVP_md5());
    for (int i = 0; i < gSha1Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
        Sha1BlocksFn f = sha1_blocks_of(gSha1Kernel.paths[i]);
        addBenchmark(std::string("digest/SHA1/") + gSha1Kernel.paths[i].name, [f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha1Context c;
                sha1_init_with(&c, f);
                sha1_update(&c, d, n);
                sha1_final(&c, out);
        });
    }
    addOpenSSL("SHA1", EVP_sha1());
    for (int i = 0; i < gSha256Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
        Sha256BlocksFn f = sha256_blocks_of(gSha256Kernel.paths[i]);
        addBenchmark(std::string("digest/SHA256/") + gSha256Kernel.paths[i].name, [f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha256Context c;
                sha256_init_with(&c, f);
                sha256_update(&c, d, n);
                sha256_final(&c, out);
        });
    }
    addOpenSSL("SHA256", EVP_sha256());
    for (int i = 0; i < gSha512Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
        Sha512BlocksFn f = sha512_blocks_of(gSha512Kernel.paths[i]);
        addBenchmark(std::string("digest/SHA512/") + gSha512Kernel.paths[i].name, [f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha512Context c;
                sha512_init_with(&c, f);
                sha512_update(&c, d, n);
                sha512_final(&c, out);
        });
    }
    addOpenSSL("SHA512", EVP_sha512());
}

// Registered before main runs, so that gh_bench's single main (Google
// Benchmark's, or one shared with other bench files) sees them.
const int registered = (registerAll(), 0);

}  // namespace
