// Whole catalogue calls of base64Encode on large values, against the bare
// primitives they are built from.
//
//   BM_Call_*       through the host emulator (its own copies of the value
//                   and of the result count in the time and the memory)
//   BM_Library_*    through a lean host that hands over a ready block and
//                   keeps the result block without copying it: the library's
//                   own cost
//   BM_Primitive_*  the pure functions on warm buffers
//
// Peak memory is the process's high-water mark above its size before the
// first call, as a multiple of the value's size: run one benchmark a process
// (see bench/README.md).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdarg.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "emulator/library.h"
#include "encoding/base64.h"
#include "encoding/charcodec.h"
#include "platform/globalmem.h"

namespace {

constexpr size_t kBinaryBytes = size_t(64) << 20;  // 64 MiB
constexpr size_t kTextChars = size_t(16) << 20;    // 16 Mi characters

std::vector<uint8_t> randomBytes(size_t n) {
    std::mt19937 rng(1);
    std::vector<uint8_t> b(n);
    for (auto &x : b) x = static_cast<uint8_t>(rng());
    return b;
}

// Characters below 0x100, as most texts are.
std::u32string latinText(size_t n) {
    std::vector<uint8_t> b = randomBytes(n);
    return std::u32string(b.begin(), b.end());
}

std::string libraryPath(bool wide) {
    return std::string(GH_LIBRARY_DIR) + (wide ? "/glyphHerderU.so" : "/glyphHerder.so");
}

size_t currentRss() {
    long pages = 0, resident = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t peakRss() {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<size_t>(u.ru_maxrss) * 1024;
}

void reportPeak(benchmark::State &state, size_t before, size_t valueBytes) {
    state.counters["peak_x_value"] = static_cast<double>(peakRss() - before) / static_cast<double>(valueBytes);
}

// ---- through the emulator

void callThroughEmulator(benchmark::State &state, bool wide, ghemu::Param param, size_t valueBytes) {
    size_t before = currentRss();
    auto lib = ghemu::Library::load(libraryPath(wide));
    ghemu::Session session(*lib);
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib->functionNumber("base64Encode"));
    host.setParams({std::move(param)});
    for (auto _ : state) {
        ghemu::CallOutcome out = lib->call(session.instance(), host);
        if (!out.ok() || !out.result.set) state.SkipWithError("the call failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * valueBytes));
    reportPeak(state, before, valueBytes);
}

void BM_Call_Base64Encode_Binary64MiB(benchmark::State &state, bool wide) {
    callThroughEmulator(state, wide, ghemu::binaryParam(randomBytes(kBinaryBytes)), kBinaryBytes);
}

void BM_Call_Base64Encode_Text16Mchars(benchmark::State &state) {
    ghemu::Param p{ghemu::Value::ofText(latinText(kTextChars)), {}, {}};
    callThroughEmulator(state, true, std::move(p), kTextChars * 4);
}

// ---- through a lean host

struct LeanHost {
    HGLOBAL ready = nullptr;  // the parameter's block, made before the call
    bool binary = true;
    uint32_t resultCount = 0;
    int resultType = -1;
};
LeanHost *gLean = nullptr;

int32_t leanCallback(int32_t op, ...) {
    va_list ap;
    va_start(ap, op);
    if (op == HOST_OP_GET_PACKAGE_ID) {
        *va_arg(ap, int32_t *) = 7;  // base64Encode
    } else if (op == HOST_OP_GET_FUNC_PARM) {
        int32_t number = va_arg(ap, int32_t), type = va_arg(ap, int32_t);
        (void)va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        if (number == HOST_PARAM_COUNT) {
            double one = 1;
            memcpy(buffer, &one, sizeof one);
        } else if (type == HOST_TYPE_FIELD_NUMBER) {
            int16_t field = gLean->binary ? -1 : 1000;
            memcpy(buffer, &field, sizeof field);
        } else if (type == HOST_TYPE_TEXT_BLOCK || type == HOST_TYPE_BINARY_BLOCK) {
            HGLOBAL offered;
            memcpy(&offered, buffer, sizeof offered);
            if (offered) GlobalFree(offered);
            memcpy(buffer, &gLean->ready, sizeof gLean->ready);
            gLean->ready = nullptr;
        }
    } else if (op == HOST_OP_SET_FLD_VAL) {
        (void)va_arg(ap, int32_t);
        gLean->resultType = va_arg(ap, int32_t);
        const void *address = va_arg(ap, const void *);
        if (gLean->resultType == HOST_TYPE_TEXT_BLOCK) {
            HGLOBAL h;
            memcpy(&h, address, sizeof h);
            void *p = GlobalLock(h);
            memcpy(&gLean->resultCount, p, 4);
            GlobalUnlock(h);
        }
    }
    va_end(ap);
    return 0;
}

HGLOBAL makeBlock(const void *data, uint32_t count, size_t bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + bytes);
    auto *p = static_cast<uint8_t *>(GlobalLock(h));
    memcpy(p, &count, 4);
    memcpy(p + 4, data, bytes);
    GlobalUnlock(h);
    return h;
}

void callLean(benchmark::State &state, bool wide, bool binary, const void *data, uint32_t count,
              size_t bytes, uint32_t expectedCount) {
    void *so = dlopen(libraryPath(wide).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = so ? reinterpret_cast<GlyphHerderEntry>(dlsym(so, "glyphHerder")) : nullptr;
    if (!entry) return state.SkipWithError("cannot load the library");
    LeanHost host;
    host.binary = binary;
    gLean = &host;
    void *slot = nullptr;
    entry(GH_MSG_CONNECT, &slot, 0, 0, 0, leanCallback);
    size_t before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        host.ready = makeBlock(data, count, bytes);
        if (!before) before = currentRss();
        state.ResumeTiming();
        entry(GH_MSG_CALL, &slot, 0, 0, 0, leanCallback);
    }
    if (host.resultType != HOST_TYPE_TEXT_BLOCK || host.resultCount != expectedCount) {
        state.SkipWithError("wrong result");
    }
    entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, leanCallback);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    // The ready block (one value) is the host's, not the call's.
    state.counters["peak_x_value"] = static_cast<double>(peakRss() - before) / static_cast<double>(bytes);
}

void BM_Library_Base64Encode_Binary64MiB(benchmark::State &state, bool wide) {
    std::vector<uint8_t> data = randomBytes(kBinaryBytes);
    callLean(state, wide, true, data.data(), kBinaryBytes, kBinaryBytes,
             static_cast<uint32_t>(base64_encoded_length(kBinaryBytes)));
}

void BM_Library_Base64Encode_Text16Mchars(benchmark::State &state) {
    std::u32string text = latinText(kTextChars);
    callLean(state, true, false, text.data(), kTextChars, kTextChars * 4,
             static_cast<uint32_t>(base64_encoded_length(kTextChars)));
}

// ---- the bare primitives

void BM_Primitive_Base64Encode_64MiB(benchmark::State &state) {
    std::vector<uint8_t> in = randomBytes(kBinaryBytes), out(base64_encoded_length(kBinaryBytes));
    for (auto _ : state) {
        base64_encode_text(in.data(), in.size(), out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

// What the wide build must do for a text: its byte form, then Base64.
void BM_Primitive_TextToBase64_16Mchars(benchmark::State &state) {
    std::u32string text = latinText(kTextChars);
    std::vector<uint8_t> bytes(kTextChars), out(base64_encoded_length(kTextChars));
    for (auto _ : state) {
        uint64_t n = qchar_encoded_length(reinterpret_cast<const uint32_t *>(text.data()), text.size());
        qchar_encode(reinterpret_cast<const uint32_t *>(text.data()), text.size(), bytes.data());
        base64_encode_text(bytes.data(), static_cast<size_t>(n), out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTextChars * 4));
}

// The same into a block freshly obtained from the memory manager, as a call
// must: the cost of new memory (the manager's fill, the first touch of every
// page, the release) is part of any call that returns 85 MiB.
void BM_Primitive_Base64Encode_64MiB_FreshBlock(benchmark::State &state, bool wide) {
    std::vector<uint8_t> in = randomBytes(kBinaryBytes);
    size_t length = base64_encoded_length(kBinaryBytes);
    for (auto _ : state) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + length * (wide ? 4 : 1));
        auto *p = static_cast<uint8_t *>(GlobalLock(h));
        if (wide) {
            base64_encode_text(in.data(), in.size(), reinterpret_cast<uint32_t *>(p + 4));
        } else {
            base64_encode_text(in.data(), in.size(), p + 4);
        }
        GlobalUnlock(h);
        GlobalFree(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

// Only the new memory: allocate, touch, free.
void BM_Alloc_Only(benchmark::State &state, bool wide) {
    size_t length = base64_encoded_length(kBinaryBytes);
    for (auto _ : state) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + length * (wide ? 4 : 1));
        benchmark::DoNotOptimize(GlobalLock(h));
        GlobalUnlock(h);
        GlobalFree(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBinaryBytes));
}

int registerAll() {
    for (bool wide : {false, true}) {
        std::string b = wide ? "wide" : "byte";
        benchmark::RegisterBenchmark(("BM_Primitive_Base64Encode_64MiB_FreshBlock/" + b).c_str(),
                                     BM_Primitive_Base64Encode_64MiB_FreshBlock, wide)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("BM_Alloc_Only/" + b).c_str(), BM_Alloc_Only, wide)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    for (bool wide : {false, true}) {
        std::string b = wide ? "wide" : "byte";
        benchmark::RegisterBenchmark(("BM_Call_Base64Encode_Binary64MiB/" + b).c_str(), BM_Call_Base64Encode_Binary64MiB, wide)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("BM_Library_Base64Encode_Binary64MiB/" + b).c_str(), BM_Library_Base64Encode_Binary64MiB, wide)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::RegisterBenchmark("BM_Call_Base64Encode_Text16Mchars/wide", BM_Call_Base64Encode_Text16Mchars)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_Library_Base64Encode_Text16Mchars/wide", BM_Library_Base64Encode_Text16Mchars)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_Primitive_Base64Encode_64MiB", BM_Primitive_Base64Encode_64MiB)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_Primitive_TextToBase64_16Mchars", BM_Primitive_TextToBase64_16Mchars)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    return 0;
}
const int kRegistered = registerAll();

}  // namespace
