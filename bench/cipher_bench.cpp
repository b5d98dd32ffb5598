// Blowfish ECB and CRC-16 over 1 MiB against their yardsticks: OpenSSL's
// BF_ecb_encrypt called block by block, a plain one-byte-at-a-time table
// loop, and memcpy of the same 1 MiB (what touching the bytes costs).
// blowfish_ecb_encrypt takes the kernel chosen at run time; the paths one by
// one are in path_bench.cpp.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <benchmark/benchmark.h>

#include <string.h>

#include <vector>

#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"
#include "platform/cpu_features.h"
#include "encoding/crc16.h"
#include "encoding/crc16_kernels.h"

namespace {

constexpr size_t kSize = 1 << 20;
const uint8_t kKey[] = "a sixteen byte k";

std::vector<uint8_t> TestData() {
    std::vector<uint8_t> data(kSize);
    for (size_t i = 0; i < kSize; ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    return data;
}

void Finish(benchmark::State &state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void OurEcb(benchmark::State &state, void (*ecb)(const BlowfishContext *, uint8_t *, size_t)) {
    BlowfishContext ctx;
    blowfish_init(&ctx, kKey, sizeof kKey - 1);
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) {
        ecb(&ctx, data.data(), kSize / 8);
        benchmark::ClobberMemory();
    }
    Finish(state);
}
void BM_Blowfish_Encrypt(benchmark::State &state) { OurEcb(state, blowfish_ecb_encrypt); }
void BM_Blowfish_Decrypt(benchmark::State &state) { OurEcb(state, blowfish_ecb_decrypt); }

// One 8-byte block a call through blowfish_ecb_encrypt, as a catalogue call
// with an 8-byte value makes it (the kernel's choice, then the scalar code
// for a single block); the yardstick is BF_ecb_encrypt, also a block a call.
void OneBlockPerCall(benchmark::State &state, void (*ecb)(const BlowfishContext *, uint8_t *, size_t)) {
    BlowfishContext ctx;
    blowfish_init(&ctx, kKey, sizeof kKey - 1);
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) {
        for (size_t i = 0; i < kSize; i += 8) ecb(&ctx, &data[i], 1);
        benchmark::ClobberMemory();
    }
    Finish(state);
}
void BM_Blowfish_EncryptOneBlockPerCall(benchmark::State &state) { OneBlockPerCall(state, blowfish_ecb_encrypt); }
void BM_Blowfish_DecryptOneBlockPerCall(benchmark::State &state) { OneBlockPerCall(state, blowfish_ecb_decrypt); }

// The percent text form of 1 MiB (3 MiB of text) and back.
void BM_Blowfish_EncodeAsText(benchmark::State &state) {
    std::vector<uint8_t> data = TestData();
    std::vector<uint8_t> text(blowfish_text_size(kSize));
    for (auto _ : state) {
        blowfish_text_encode(data.data(), kSize, text.data());
        benchmark::ClobberMemory();
    }
    Finish(state);
}

void BM_Blowfish_DecodeAsText(benchmark::State &state) {
    std::vector<uint8_t> data = TestData();
    std::vector<uint8_t> text(blowfish_text_size(kSize));
    blowfish_text_encode(data.data(), kSize, text.data());
    std::vector<uint8_t> work(text.size());
    for (auto _ : state) {
        work = text;  // decoded in place, so each run starts from a copy
        benchmark::DoNotOptimize(blowfish_text_decode(work.data(), work.size() - 1));
    }
    Finish(state);
}

void OpensslEcb(benchmark::State &state, int direction) {
    BF_KEY key;
    BF_set_key(&key, sizeof kKey - 1, kKey);
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) {
        for (size_t i = 0; i < kSize; i += 8) BF_ecb_encrypt(&data[i], &data[i], &key, direction);
        benchmark::ClobberMemory();
    }
    Finish(state);
}
void BM_OpenSSL_BF_ecb_Encrypt(benchmark::State &state) { OpensslEcb(state, BF_ENCRYPT); }
void BM_OpenSSL_BF_ecb_Decrypt(benchmark::State &state) { OpensslEcb(state, BF_DECRYPT); }

void Crc(benchmark::State &state, Crc16Kernel kernel) {
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) benchmark::DoNotOptimize(kernel(0, data.data(), kSize));
    Finish(state);
}
void BM_Crc16Xmodem_PlainTable(benchmark::State &state) { Crc(state, crc16_msb_bytewise); }
void BM_Crc16Xmodem_Slice16(benchmark::State &state) { Crc(state, crc16_msb_slice16); }
void BM_Crc16X25_PlainTable(benchmark::State &state) { Crc(state, crc16_lsb_bytewise); }
void BM_Crc16X25_Slice16(benchmark::State &state) { Crc(state, crc16_lsb_slice16); }
#if GH_CRC16_HAVE_CLMUL
bool HasClmul() { return gh_cpu_detected().pclmul && gh_cpu_detected().ssse3; }
bool HasVpclmul() { return HasClmul() && gh_cpu_detected().vpclmul && gh_cpu_detected().avx512bw; }
void BM_Crc16Xmodem_Clmul(benchmark::State &state) {
    if (!HasClmul()) return state.SkipWithError("no PCLMULQDQ");
    Crc(state, crc16_msb_clmul);
}
void BM_Crc16X25_Clmul(benchmark::State &state) {
    if (!HasClmul()) return state.SkipWithError("no PCLMULQDQ");
    Crc(state, crc16_lsb_clmul);
}
void BM_Crc16Xmodem_Vpclmul(benchmark::State &state) {
    if (!HasVpclmul()) return state.SkipWithError("no VPCLMULQDQ with AVX-512");
    Crc(state, crc16_msb_vpclmul);
}
void BM_Crc16X25_Vpclmul(benchmark::State &state) {
    if (!HasVpclmul()) return state.SkipWithError("no VPCLMULQDQ with AVX-512");
    Crc(state, crc16_lsb_vpclmul);
}
#endif

// The same megabyte copied: the CRC's yardstick.
void BM_Memcpy(benchmark::State &state) {
    std::vector<uint8_t> data = TestData();
    std::vector<uint8_t> copy(kSize);
    for (auto _ : state) {
        memcpy(copy.data(), data.data(), kSize);
        benchmark::ClobberMemory();
    }
    Finish(state);
}

// The library's entry points with the kernel chosen at run time.
void BM_Crc16Xmodem(benchmark::State &state) {
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) benchmark::DoNotOptimize(crc16_xmodem(data.data(), kSize, 0));
    Finish(state);
}
void BM_Crc16X25(benchmark::State &state) {
    std::vector<uint8_t> data = TestData();
    for (auto _ : state) benchmark::DoNotOptimize(crc16_x25(data.data(), kSize));
    Finish(state);
}

}  // namespace

BENCHMARK(BM_Blowfish_Encrypt);
BENCHMARK(BM_OpenSSL_BF_ecb_Encrypt);
BENCHMARK(BM_Blowfish_Decrypt);
BENCHMARK(BM_OpenSSL_BF_ecb_Decrypt);
BENCHMARK(BM_Blowfish_EncryptOneBlockPerCall);
BENCHMARK(BM_Blowfish_DecryptOneBlockPerCall);
BENCHMARK(BM_Blowfish_EncodeAsText);
BENCHMARK(BM_Blowfish_DecodeAsText);
BENCHMARK(BM_Crc16Xmodem_PlainTable);
BENCHMARK(BM_Crc16Xmodem_Slice16);
BENCHMARK(BM_Crc16X25_PlainTable);
BENCHMARK(BM_Crc16X25_Slice16);
#if GH_CRC16_HAVE_CLMUL
BENCHMARK(BM_Crc16Xmodem_Clmul);
BENCHMARK(BM_Crc16X25_Clmul);
BENCHMARK(BM_Crc16Xmodem_Vpclmul);
BENCHMARK(BM_Crc16X25_Vpclmul);
#endif
BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Crc16Xmodem);
BENCHMARK(BM_Crc16X25);

