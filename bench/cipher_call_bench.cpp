// Whole catalogue calls of Blowfish and crc16 through the host emulator
// (wide and byte build), beside the bare primitives in cipher_bench.cpp: the
// host delivers the 1 MiB value as a new block, the library works on it and
// sets the result, which the host copies; the emulator's own bookkeeping
// (operation log, memory checks) counts in the time.  glyphmem's test
// devices are off, as in every whole call (bench/whole_call.h).
#include <memory>
#include <string>
#include <vector>

#include "bench/whole_call.h"
#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"

namespace {

using ghemu::Build;

constexpr size_t kSize = 1 << 20;

ghemu::Library &library(Build build) {
    static std::unique_ptr<ghemu::Library> libs[2];
    auto &lib = libs[build == Build::Wide ? 0 : 1];
    if (!lib) lib = ghemu::Library::load(ghbench::libraryPath(build), build);
    return *lib;
}

std::vector<uint8_t> value() {
    std::vector<uint8_t> v(kSize);
    for (size_t i = 0; i < kSize; ++i) v[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    return v;
}

const char kKey[] = "a sixteen byte k";

// The value padded and encrypted under kKey: what decryption expects.
std::vector<uint8_t> ciphertext() {
    std::vector<uint8_t> v = value();
    v.resize(kSize + blowfish_pad_length(kSize));
    blowfish_pad(v.data(), kSize);
    BlowfishContext ctx;
    blowfish_init(&ctx, reinterpret_cast<const uint8_t *>(kKey), sizeof kKey - 1);
    blowfish_ecb_encrypt(&ctx, v.data(), v.size() / BLOWFISH_BLOCK);
    return v;
}

// Calls function with param over and over on one keyed instance.
void wholeCall(benchmark::State &state, Build build, const char *function, ghemu::Param param) {
    ghbench::WindowsLikeMemory memoryManager;
    ghemu::Library &lib = library(build);
    ghemu::Session session(lib);
    ghemu::CallOutcome key = session.call("blowfishContext", {ghemu::textParam(build, kKey)});
    if (!key.ok()) return state.SkipWithError("no key");
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib.functionNumber(function));
    host.setParams({std::move(param)});
    for (auto _ : state) {
        ghemu::CallOutcome out = lib.call(session.instance(), host);
        bool emptyText = out.result.type == HOST_TYPE_TEXT && out.result.value.textLength() == 0;
        if (!out.ok() || !out.result.set || emptyText) {
            state.SkipWithError(("the call failed: " + out.problemText()).c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void BM_Call_blowfishEncryptToBin(benchmark::State &state, Build build) {
    wholeCall(state, build, "blowfishEncryptToBin", ghemu::binaryParam(value()));
}

void BM_Call_blowfishDecryptBin(benchmark::State &state, Build build) {
    wholeCall(state, build, "blowfishDecryptBin", ghemu::binaryParam(ciphertext()));
}

void BM_Call_blowfishEncryptToText(benchmark::State &state, Build build) {
    wholeCall(state, build, "blowfishEncryptToText", ghemu::binaryParam(value()));
}

void BM_Call_blowfishDecryptText(benchmark::State &state, Build build) {
    std::vector<uint8_t> c = ciphertext();
    std::string text(blowfish_text_size(c.size()) - 1, '\0');
    blowfish_text_encode(c.data(), c.size(), reinterpret_cast<uint8_t *>(&text[0]));
    wholeCall(state, build, "blowfishDecryptText", ghemu::textParam(build, text));
}

void BM_Call_crc16(benchmark::State &state, Build build) {
    wholeCall(state, build, "crc16", ghemu::binaryParam(value()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Call_blowfishEncryptToBin, wide, Build::Wide);
BENCHMARK_CAPTURE(BM_Call_blowfishEncryptToBin, byte, Build::Byte);
BENCHMARK_CAPTURE(BM_Call_blowfishDecryptBin, wide, Build::Wide);
BENCHMARK_CAPTURE(BM_Call_blowfishEncryptToText, wide, Build::Wide);
BENCHMARK_CAPTURE(BM_Call_blowfishEncryptToText, byte, Build::Byte);
BENCHMARK_CAPTURE(BM_Call_blowfishDecryptText, wide, Build::Wide);
BENCHMARK_CAPTURE(BM_Call_blowfishDecryptText, byte, Build::Byte);
BENCHMARK_CAPTURE(BM_Call_crc16, wide, Build::Wide);
