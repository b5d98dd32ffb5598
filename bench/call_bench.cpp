// Whole catalogue calls on large values, beside the bare primitives over
// the same bytes (see whole_call.h for the hosts and the memory counters):
//
//   calls/emulator/<function>/<value>/<build>  through the host emulator
//   calls/lean/<function>/<value>/<build>      through a lean host that
//       hands over a block made before the call: the library's own cost
//   calls/bare/<primitive>/<size>[/<output>]    the pure function on warm
//       buffers
//   calls/copy/64MiB                            what any host pays to hand
//       over a copy of a 64 MiB value: a new block, the copy, the free
//   calls/floor/base64/64MiB/<output>           Base64 into a new block of
//       the result's size, then freed: what any base64Encode costs
//
// Rates count the bytes the primitive works on: a binary value's 64 MiB; a
// text of 16 Mi characters gives 16 MiB of bytes (each character's low 8
// bits, or its one-byte form), so its rate compares with calls/bare/.../16MiB.
// The memory counters relate to the value as the host holds it (64 MiB in
// both cases).  Run one benchmark a process: bench/run_calls.sh.
#include <fcntl.h>
#include <sys/stat.h>

#include "bench/whole_call.h"
#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "digest/md5.h"
#include "digest/sha256.h"
#include "encoding/base64.h"

namespace {

using ghbench::Build;
using ghbench::kBinaryBytes;
using ghbench::kFileBytes;
using ghbench::kTextChars;

const char kKey[] = "a sixteen byte k";

// What a function does with its value: its catalogue number, and the result
// a call must give (type and length) for a value of n bytes.
struct Function {
    const char *name;
    int32_t number;
    int resultType;
    uint64_t (*resultLength)(uint64_t n);
    bool keyed;
};

const Function kFunctions[] = {
    {"MD5Digest", 9, HOST_TYPE_TEXT, [](uint64_t) -> uint64_t { return 32; }, false},
    {"SHA256Digest", 37, HOST_TYPE_TEXT, [](uint64_t) -> uint64_t { return 64; }, false},
    {"base64Encode", 7, HOST_TYPE_TEXT_BLOCK, [](uint64_t n) { return base64_encoded_length(n); }, false},
    {"blowfishEncryptToBin", 17, HOST_TYPE_BINARY_BLOCK,
     [](uint64_t n) -> uint64_t { return n + blowfish_pad_length(n); }, true},
};

bool resultIs(const ghemu::Result &r, const Function &f, uint64_t n) {
    if (!r.set || r.type != f.resultType) return false;
    uint64_t length = r.value.isBinary() ? r.value.bytes.size() : r.value.textLength();
    return length == f.resultLength(n);
}

bool setKey(ghemu::Session &session) {
    ghemu::CallOutcome out =
        session.call("blowfishContext", {ghemu::textParam(session.library().build(), kKey)});
    return out.ok() && out.result == ghemu::Result::of(HOST_TYPE_NUMBER, ghemu::Value::ofNumber(0));
}

// ---- through the emulator

void emulatorBinary(benchmark::State &state, const Function &f, Build build) {
    ghbench::callEmulator(state, build, f.name, {ghemu::binaryParam(ghbench::binaryValue())}, kBinaryBytes,
                          kBinaryBytes, [&](const ghemu::Result &r) { return resultIs(r, f, kBinaryBytes); },
                          f.keyed ? setKey : std::function<bool(ghemu::Session &)>());
}

void emulatorText(benchmark::State &state, const Function &f) {
    ghbench::callEmulator(state, Build::Wide, f.name,
                          {ghemu::Param{ghemu::Value::ofText(ghbench::textValue()), {}, {}}}, kTextChars,
                          kTextChars * 4, [&](const ghemu::Result &r) { return resultIs(r, f, kTextChars); });
}

// A file of 1 GiB of varied bytes, written once, removed at exit.
const std::string &bigFile() {
    static std::string path;
    if (path.empty()) {
        char name[] = "/tmp/gh_call_bench_XXXXXX";
        int fd = mkstemp(name);
        std::vector<uint8_t> chunk(1 << 20);
        for (uint64_t done = 0; fd >= 0 && done < kFileBytes; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>((done >> 20) * 131 + i * 7);
            if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
        }
        if (fd >= 0) close(fd);
        path = name;
        atexit([] { unlink(path.c_str()); });
    }
    return path;
}

// File mode: the value is the path; the memory counters relate to the file.
void emulatorFile(benchmark::State &state) {
    ghbench::callEmulator(state, Build::Wide, "SHA256Digest",
                          {ghemu::textParam(Build::Wide, bigFile()), ghemu::numberParam(1)}, kFileBytes, kFileBytes,
                          [](const ghemu::Result &r) { return resultIs(r, kFunctions[1], kFileBytes); });
}

// ---- through the lean host

void leanBinary(benchmark::State &state, const Function &f, Build build) {
    std::vector<uint8_t> data = ghbench::binaryValue();
    ghbench::callLean(
        state, build, f.number, true, data.data(), kBinaryBytes, kBinaryBytes, kBinaryBytes,
        [&](const ghbench::LeanHost &h) {
            return h.resultType == f.resultType && h.resultCount == f.resultLength(kBinaryBytes);
        },
        f.keyed ? kKey : nullptr);
}

void leanText(benchmark::State &state, const Function &f) {
    std::u32string text = ghbench::textValue();
    ghbench::callLean(state, Build::Wide, f.number, false, text.data(), kTextChars, kTextChars * 4, kTextChars,
                      [&](const ghbench::LeanHost &h) {
                          return h.resultType == f.resultType && h.resultCount == f.resultLength(kTextChars);
                      });
}

// ---- the bare primitives, on warm buffers

void bareDigest(benchmark::State &state, bool sha256, size_t bytes) {
    std::vector<uint8_t> data = ghbench::binaryValue(bytes);
    uint8_t out[32];
    for (auto _ : state) {
        if (sha256) {
            sha256_digest(out, data.data(), data.size());
        } else {
            md5_digest(out, data.data(), data.size());
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Base64 as the build's call writes it: bytes, or 32-bit characters.
void bareBase64(benchmark::State &state, size_t bytes, bool wide) {
    std::vector<uint8_t> in = ghbench::binaryValue(bytes);
    std::vector<uint8_t> out(base64_encoded_length(bytes) * (wide ? 4 : 1));
    for (auto _ : state) {
        if (wide) {
            base64_encode_text(reinterpret_cast<uint32_t *>(out.data()), in.data(), in.size());
        } else {
            base64_encode_text(out.data(), in.data(), in.size());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void bareBlowfish(benchmark::State &state) {
    BlowfishContext ctx;
    blowfish_init(&ctx, reinterpret_cast<const uint8_t *>(kKey), sizeof kKey - 1);
    std::vector<uint8_t> data = ghbench::binaryValue();
    for (auto _ : state) {
        blowfish_ecb_encrypt(&ctx, data.data(), data.size() / BLOWFISH_BLOCK);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

// A host's hand-over of a 64 MiB value: new block, copy, free.
void copyToNewBlock(benchmark::State &state) {
    ghbench::WindowsLikeMemory memoryManager;
    std::vector<uint8_t> data = ghbench::binaryValue();
    for (auto _ : state) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + data.size());
        auto *p = static_cast<uint8_t *>(GlobalLock(h));
        memcpy(p + 4, data.data(), data.size());
        benchmark::DoNotOptimize(p);
        GlobalUnlock(h);
        GlobalFree(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

// Base64 of 64 MiB into a block new from the memory manager, as a call must
// write it, and the block freed.
void floorBase64(benchmark::State &state, bool wide) {
    ghbench::WindowsLikeMemory memoryManager;
    std::vector<uint8_t> in = ghbench::binaryValue();
    size_t length = base64_encoded_length(kBinaryBytes);
    for (auto _ : state) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + length * (wide ? 4 : 1));
        auto *p = static_cast<uint8_t *>(GlobalLock(h));
        if (wide) {
            base64_encode_text(reinterpret_cast<uint32_t *>(p + 4), in.data(), in.size());
        } else {
            base64_encode_text(p + 4, in.data(), in.size());
        }
        GlobalUnlock(h);
        GlobalFree(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

void registerCall(const std::string &name, const std::function<void(benchmark::State &)> &run) {
    benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMillisecond)->MinTime(1);
}

int registerAll() {
    for (const Function &f : kFunctions) {
        for (Build build : {Build::Wide, Build::Byte}) {
            std::string suffix = std::string("/binary64MiB/") + ghbench::buildName(build);
            registerCall(std::string("calls/emulator/") + f.name + suffix,
                         [&f, build](benchmark::State &s) { emulatorBinary(s, f, build); });
            registerCall(std::string("calls/lean/") + f.name + suffix,
                         [&f, build](benchmark::State &s) { leanBinary(s, f, build); });
        }
        if (f.keyed) continue;  // Blowfish works on bytes; its text form is another function
        registerCall(std::string("calls/emulator/") + f.name + "/text16Mchars/wide",
                     [&f](benchmark::State &s) { emulatorText(s, f); });
        registerCall(std::string("calls/lean/") + f.name + "/text16Mchars/wide",
                     [&f](benchmark::State &s) { leanText(s, f); });
    }
    benchmark::RegisterBenchmark("calls/emulator/SHA256Digest/file1GiB/wide", emulatorFile)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2);
    for (size_t size : {kBinaryBytes, kTextChars}) {
        std::string mib = std::to_string(size >> 20) + "MiB";
        registerCall("calls/bare/MD5/" + mib, [size](benchmark::State &s) { bareDigest(s, false, size); });
        registerCall("calls/bare/SHA256/" + mib, [size](benchmark::State &s) { bareDigest(s, true, size); });
        registerCall("calls/bare/base64/" + mib + "/chars",
                     [size](benchmark::State &s) { bareBase64(s, size, true); });
    }
    registerCall("calls/bare/base64/64MiB/bytes", [](benchmark::State &s) { bareBase64(s, kBinaryBytes, false); });
    registerCall("calls/bare/blowfish/64MiB", bareBlowfish);
    registerCall("calls/copy/64MiB", copyToNewBlock);
    registerCall("calls/floor/base64/64MiB/bytes", [](benchmark::State &s) { floorBase64(s, false); });
    registerCall("calls/floor/base64/64MiB/chars", [](benchmark::State &s) { floorBase64(s, true); });
    return 0;
}
const int kRegistered = registerAll();

}  // namespace
