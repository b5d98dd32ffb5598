// Base64 and character conversion kernels against their yardsticks:
// OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock, and memcpy of the same input.
//
//   build/rel/bin/gh_bench --benchmark_filter='Base64|Conv' --benchmark_repetitions=5
//
// Every Base64 figure counts the binary bytes (encoder input, decoder
// output), so the rates of a path and of OpenSSL compare directly.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/base64.h"
#include "encoding/base64_codec.h"
#include "platform/charcodec_kernels.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t n) {
    std::mt19937 rng(1);
    Bytes b(n);
    for (auto &x : b) x = static_cast<uint8_t>(rng());
    return b;
}

Bytes encodedText(size_t n) {
    Bytes in = randomBytes(n), text(base64_encoded_length(n) + 1);
    text.resize(base64_encode(text.data(), in.data(), n));
    return text;
}

void encodeWith(benchmark::State &state, const Base64Codec *codec) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes in = randomBytes(n), out(base64_encoded_length(n) + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(base64_encode_text_with(codec, out.data(), in.data(), n));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void decodeWith(benchmark::State &state, const Base64Codec *codec) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes text = encodedText(n), out(n + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(base64_decode_unwrapped_with(codec, out.data(), text.data(), text.size(), n));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_Base64Encode_OpenSSL(benchmark::State &state) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes in = randomBytes(n), out(base64_encoded_length(n) + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), in.data(), static_cast<int>(n)));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_Base64Decode_OpenSSL(benchmark::State &state) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes text = encodedText(n), out(n + 3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), text.data(), static_cast<int>(text.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// base64_decode as the catalogue function runs it: base64_remove_breaks first.
void BM_Base64Decode_WithBreakScan(benchmark::State &state) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes text = encodedText(n), out(n + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(base64_decode(out.data(), text.data(), text.size(), n));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// Conversions: the byte counts are those of the input, as for memcpy.
std::vector<uint32_t> latinText(size_t n) {
    Bytes b = randomBytes(n);
    return std::vector<uint32_t>(b.begin(), b.end());
}

void BM_Conv_Memcpy(benchmark::State &state) {
    size_t bytes = static_cast<size_t>(state.range(0));
    Bytes in = randomBytes(bytes), out(bytes);
    for (auto _ : state) {
        memcpy(out.data(), in.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Wide to bytes as convertQHStrToAsciiHStr does it: length, then encode.
void wideToBytes(benchmark::State &state, const CharCodecKernels *k) {
    size_t bytes = static_cast<size_t>(state.range(0)), n = bytes / 4;
    std::vector<uint32_t> text = latinText(n);
    Bytes out(n);
    for (auto _ : state) {
        uint64_t length = k->encodedLength(text.data(), n);
        benchmark::DoNotOptimize(length);
        benchmark::DoNotOptimize(k->encode(text.data(), n, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void bytesToWide(benchmark::State &state, const CharCodecKernels *k) {
    size_t n = static_cast<size_t>(state.range(0));
    Bytes in = randomBytes(n);
    std::vector<uint32_t> out(n);
    for (auto _ : state) {
        k->widen(in.data(), n, out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void narrowLow8(benchmark::State &state, const CharCodecKernels *k) {
    size_t bytes = static_cast<size_t>(state.range(0)), n = bytes / 4;
    std::vector<uint32_t> text = latinText(n);
    Bytes out(n);
    for (auto _ : state) {
        k->narrowLow8(text.data(), n, out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

const int64_t kBase64Sizes[] = {64, 1024, 1 << 20};
const int64_t kConvSizes[] = {4096, 1 << 20, 64 << 20};

int registerAll() {
    for (int64_t n : kBase64Sizes) {
        for (int p = gBase64EncodeKernel.count - 1; p >= 0; --p) {
            if (!gh_kernel_path_runs(gBase64EncodeKernel, p)) continue;
            const Base64Codec *codec = base64_codec_of(gBase64EncodeKernel.paths[p]);
            benchmark::RegisterBenchmark((std::string("BM_Base64Encode_") + codec->name).c_str(), encodeWith, codec)->Arg(n);
            benchmark::RegisterBenchmark((std::string("BM_Base64Decode_") + codec->name).c_str(), decodeWith, codec)->Arg(n);
        }
        benchmark::RegisterBenchmark("BM_Base64Encode_OpenSSL", BM_Base64Encode_OpenSSL)->Arg(n);
        benchmark::RegisterBenchmark("BM_Base64Decode_OpenSSL", BM_Base64Decode_OpenSSL)->Arg(n);
        benchmark::RegisterBenchmark("BM_Base64Decode_WithBreakScan", BM_Base64Decode_WithBreakScan)->Arg(n);
    }
    for (int64_t n : kConvSizes) {
        benchmark::RegisterBenchmark("BM_Conv_Memcpy", BM_Conv_Memcpy)->Arg(n);
        const Kernel &kernel = gCharCodecKernels[CHARCODEC_ENCODE];
        for (int p = kernel.count - 1; p >= 0; --p) {
            if (!gh_kernel_path_runs(kernel, p)) continue;
            const CharCodecKernels *k = &charcodec_set_of(kernel.paths[p]);
            benchmark::RegisterBenchmark((std::string("BM_Conv_WideToBytes_") + k->name).c_str(), wideToBytes, k)->Arg(n);
            benchmark::RegisterBenchmark((std::string("BM_Conv_BytesToWide_") + k->name).c_str(), bytesToWide, k)->Arg(n);
            benchmark::RegisterBenchmark((std::string("BM_Conv_NarrowLow8_") + k->name).c_str(), narrowLow8, k)->Arg(n);
        }
    }
    return 0;
}
const int kRegistered = registerAll();

}  // namespace
