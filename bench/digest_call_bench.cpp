// Whole catalogue calls of the digest functions, beside the bare primitive
// over the same bytes (wide build):
//
//   digestcall/emulator/<function>/<value>  through the host emulator: its
//       own work (the value's length, the value copied into a new block)
//       counts in the time and the memory
//   digestcall/library/<function>/<value>   through a lean host that
//       answers from ready data and hands over a block made before the
//       call: the library's own cost
//   digestcall/hostops/<value>              the emulator answering the
//       operations such a call asks, without the library
//   digestcall/bare/<digest>/<size>         the primitive on bytes in memory
//
// Rates are bytes digested a second (a character counts one: the digest
// sees its low 8 bits).  peak_x_value is the process's peak resident memory
// above its size before the first call, as a multiple of the value's size
// as the host holds it; ru_maxrss never falls, so run one benchmark a
// process for it (bench/README.md).
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "digest/md5.h"
#include "digest/sha256.h"
#include "emulator/library.h"
#include "platform/globalmem.h"

namespace {

using ghemu::Build;

constexpr size_t kBinaryBytes = size_t(64) << 20;
constexpr size_t kTextChars = size_t(16) << 20;
constexpr uint64_t kFileBytes = uint64_t(1) << 30;

std::string libraryPath() { return std::string(GH_LIBRARY_DIR) + "/glyphHerderU.so"; }

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
    size_t peak = peakRss();
    state.counters["peak_x_value"] =
        peak > before ? static_cast<double>(peak - before) / static_cast<double>(valueBytes) : 0.0;
}

std::vector<uint8_t> binaryValue() {
    std::vector<uint8_t> v(kBinaryBytes);
    uint32_t x = 1;
    for (auto &c : v) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

// Characters 1..255: no zero ends the data early.
std::u32string textValue() {
    std::u32string t(kTextChars, U'a');
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char32_t>(1 + i % 255);
    return t;
}

// A file of 1 GiB of varied bytes, written once, removed at exit.
const std::string &bigFile() {
    static std::string path;
    if (path.empty()) {
        char name[] = "/tmp/gh_digest_bench_XXXXXX";
        int fd = mkstemp(name);
        std::vector<uint8_t> chunk(1 << 20);
        for (uint64_t done = 0; fd >= 0 && done < kFileBytes; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<uint8_t>((done >> 20) * 131 + i * 7);
            if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
        }
        if (fd >= 0) close(fd);
        path = name;
        atexit([] { unlink(path.c_str()); });
    }
    return path;
}

// ---- through the emulator

void callThroughEmulator(benchmark::State &state, const char *function, std::vector<ghemu::Param> params,
                         size_t digested, size_t valueBytes) {
    size_t before = currentRss();
    auto lib = ghemu::Library::load(libraryPath(), Build::Wide);
    ghemu::Session session(*lib);
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib->functionNumber(function));
    host.setParams(std::move(params));
    for (auto _ : state) {
        ghemu::CallOutcome out = lib->call(session.instance(), host);
        if (!out.ok() || out.result.value.text.size() < 32) {
            state.SkipWithError(("the call failed: " + out.problemText()).c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * digested));
    reportPeak(state, before, valueBytes ? valueBytes : 1);
}

void BM_Emulator_Binary(benchmark::State &state, const char *function) {
    callThroughEmulator(state, function, {ghemu::binaryParam(binaryValue())}, kBinaryBytes, kBinaryBytes);
}

void BM_Emulator_Text(benchmark::State &state, const char *function) {
    callThroughEmulator(state, function, {ghemu::Param{ghemu::Value::ofText(textValue()), {}, {}}},
                        kTextChars, kTextChars * 4);
}

// File mode: peak_x_value is then in MiB above the start (the value is a
// path), which shows the reader's bounded buffer.
void BM_Emulator_File(benchmark::State &state, const char *function) {
    const std::string &path = bigFile();
    callThroughEmulator(state, function,
                        {ghemu::textParam(Build::Wide, path), ghemu::numberParam(1)}, kFileBytes,
                        size_t(1) << 20);
}

// ---- the emulator's share: the operations a digest call asks, alone

void BM_HostOperations(benchmark::State &state, bool text) {
    ghemu::Host host(Build::Wide);
    if (text) {
        host.setParams({ghemu::Param{ghemu::Value::ofText(textValue()), {}, {}}});
    } else {
        host.setParams({ghemu::binaryParam(binaryValue())});
    }
    ghemu::CurrentHost current(host);
    HostCallback cb = ghemu::Host::callback();
    for (auto _ : state) {
        int32_t length = 0;
        cb(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_LENGTH, 4, &length);
        int16_t field = 0;
        cb(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_FIELD_NUMBER, 2, &field);
        unsigned char record[PARAM_INFO_SIZE_WIDE] = {};
        memcpy(record + PARAM_INFO_FIELD_WIDE, &field, 2);
        for (int kind = 0; kind < (text ? 3 : 1); ++kind) cb(HOST_OP_GET_FLD_INFO, record);
        void *block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
        cb(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, text ? HOST_TYPE_TEXT_BLOCK : HOST_TYPE_BINARY_BLOCK,
           0, &block);
        benchmark::DoNotOptimize(block);
        GlobalFree(block);
        host.beginCall();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (text ? kTextChars : kBinaryBytes)));
}

// ---- through a lean host

struct LeanHost {
    int32_t function = 0;
    bool binary = true;
    int32_t length = 0;       // what the length query answers
    HGLOBAL ready = nullptr;  // the parameter's block, made before the call
    size_t resultChars = 0;   // the text result's length
};
LeanHost *gLean = nullptr;

int32_t leanCallback(int32_t op, ...) {
    va_list ap;
    va_start(ap, op);
    if (op == HOST_OP_GET_PACKAGE_ID) {
        *va_arg(ap, int32_t *) = gLean->function;
    } else if (op == HOST_OP_GET_FUNC_PARM) {
        int32_t number = va_arg(ap, int32_t), type = va_arg(ap, int32_t);
        (void)va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        if (number == HOST_PARAM_COUNT) {
            double one = 1;
            memcpy(buffer, &one, sizeof one);
        } else if (type == HOST_TYPE_LENGTH) {
            memcpy(buffer, &gLean->length, 4);
        } else if (type == HOST_TYPE_FIELD_NUMBER) {
            int16_t field = gLean->binary ? -1 : 1000;  // -1: binary without asking the kind
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
        int32_t type = va_arg(ap, int32_t);
        const uint32_t *text = static_cast<const uint32_t *>(va_arg(ap, const void *));
        size_t n = 0;
        if (type == HOST_TYPE_TEXT)
            while (text[n]) ++n;
        gLean->resultChars = n;
    }
    // GetFldInfo leaves the status at 0: a text parameter is not binary.
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

void callLean(benchmark::State &state, int32_t function, size_t digestLength, bool binary,
              const void *data, uint32_t count, size_t bytes, size_t digested) {
    void *so = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = so ? reinterpret_cast<GlyphHerderEntry>(dlsym(so, "glyphHerder")) : nullptr;
    if (!entry) return state.SkipWithError("cannot load the library");
    LeanHost host;
    host.function = function;
    host.binary = binary;
    host.length = static_cast<int32_t>(count);
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
    if (host.resultChars != 2 * digestLength) state.SkipWithError("wrong result");
    entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, leanCallback);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * digested));
    // The ready block (one value) is the host's, not the call's.
    reportPeak(state, before, bytes);
}

void BM_Library_Binary(benchmark::State &state, int32_t function, size_t digestLength) {
    std::vector<uint8_t> data = binaryValue();
    callLean(state, function, digestLength, true, data.data(), kBinaryBytes, kBinaryBytes, kBinaryBytes);
}

void BM_Library_Text(benchmark::State &state, int32_t function, size_t digestLength) {
    std::u32string text = textValue();
    callLean(state, function, digestLength, false, text.data(), kTextChars, kTextChars * 4, kTextChars);
}

// ---- the bare primitives

void BM_Bare(benchmark::State &state, bool sha256, size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    uint8_t out[32];
    for (auto _ : state) {
        if (sha256) {
            do_sha256(out, data.data(), data.size());
        } else {
            do_md5(out, data.data(), data.size());
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}


}  // namespace

BENCHMARK_CAPTURE(BM_Bare, MD5_64MiB, false, kBinaryBytes)
    ->Name("digestcall/bare/MD5/64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Bare, SHA256_64MiB, true, kBinaryBytes)
    ->Name("digestcall/bare/SHA256/64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Bare, MD5_16MiB, false, kTextChars)
    ->Name("digestcall/bare/MD5/16MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Bare, SHA256_16MiB, true, kTextChars)
    ->Name("digestcall/bare/SHA256/16MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Library_Binary, MD5Digest, 9, 16)
    ->Name("digestcall/library/MD5Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Library_Binary, SHA256Digest, 37, 32)
    ->Name("digestcall/library/SHA256Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Library_Text, MD5Digest, 9, 16)
    ->Name("digestcall/library/MD5Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Library_Text, SHA256Digest, 37, 32)
    ->Name("digestcall/library/SHA256Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_HostOperations, binary64MiB, false)
    ->Name("digestcall/hostops/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_HostOperations, text16Mchars, true)
    ->Name("digestcall/hostops/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Emulator_Binary, MD5Digest, "MD5Digest")
    ->Name("digestcall/emulator/MD5Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Emulator_Binary, SHA256Digest, "SHA256Digest")
    ->Name("digestcall/emulator/SHA256Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Emulator_Text, MD5Digest, "MD5Digest")
    ->Name("digestcall/emulator/MD5Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Emulator_Text, SHA256Digest, "SHA256Digest")
    ->Name("digestcall/emulator/SHA256Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_Emulator_File, SHA256Digest, "SHA256Digest")
    ->Name("digestcall/emulator/SHA256Digest/file1GiB")->Unit(benchmark::kMillisecond)->MinTime(2);
