// Whole catalogue calls of the digest functions through the host emulator,
// beside the bare primitive over the same bytes:
//
//   call/<function>/<what>      the whole call: the host delivers the value
//                               (a new block, filled), the library digests
//                               it and sets the text, the block is freed
//   host/<what>                 the host operations such a call asks, alone
//                               (the value's length, its field number and
//                               kind, the value as a new block): what the
//                               host costs, whatever the library does
//   bare/<digest>/<size>        the primitive over the bytes in memory
//
// Counters: bytes_per_second over the bytes digested (a character counts
// one: the digest sees its low 8 bits), value_MiB (the value's size as the
// host holds it), peak_MiB (the process's peak resident memory above its
// size when the benchmark started; ru_maxrss never falls, so run one
// benchmark per process for this figure, as bench/README.md shows).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <string.h>
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

ghemu::Library &library() {
    static std::unique_ptr<ghemu::Library> lib =
        ghemu::Library::load(ghemu::libraryPathNextToExecutable(true), Build::Wide);
    return *lib;
}

double residentMiB() {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peakMiB() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;  // kilobytes on Linux
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

std::u32string textValue() {
    std::u32string t(kTextChars, U'a');
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char32_t>(1 + i % 255);  // no zero
    return t;
}

// A file of 1 GiB of varied bytes, written once, removed at exit.
const std::string &bigFile() {
    static std::string path = [] {
        char name[] = "/tmp/gh_digest_bench_XXXXXX";
        int fd = mkstemp(name);
        std::vector<uint8_t> chunk(1 << 20);
        for (uint64_t done = 0; fd >= 0 && done < kFileBytes; done += chunk.size()) {
            for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>((done >> 20) * 131 + i * 7);
            if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
        }
        if (fd >= 0) close(fd);
        static std::string kept = name;
        atexit([] { unlink(kept.c_str()); });
        return std::string(name);
    }();
    return path;
}

void wholeCall(benchmark::State &state, const char *function, ghemu::Param param, bool fileMode,
               size_t digestedBytes, size_t valueBytes, double startMiB) {
    ghemu::Library &lib = library();
    ghemu::Session session(lib);
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib.functionNumber(function));
    std::vector<ghemu::Param> params = {std::move(param)};
    if (fileMode) params.push_back(ghemu::numberParam(1));
    host.setParams(std::move(params));
    for (auto _ : state) {
        ghemu::CallOutcome out = lib.call(session.instance(), host);
        if (!out.ok() || out.result.value.text.size() < 32) {
            state.SkipWithError(("the call failed: " + out.problemText()).c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * digestedBytes));
    state.counters["value_MiB"] = static_cast<double>(valueBytes) / 1048576.0;
    state.counters["peak_MiB"] = peakMiB() - startMiB;
}

void BM_call_binary(benchmark::State &state, const char *function) {
    double start = residentMiB();
    wholeCall(state, function, ghemu::binaryParam(binaryValue()), false, kBinaryBytes, kBinaryBytes, start);
}

void BM_call_text(benchmark::State &state, const char *function) {
    double start = residentMiB();
    ghemu::Param p{ghemu::Value::ofText(textValue()), {}, {}};
    wholeCall(state, function, std::move(p), false, kTextChars, kTextChars * 4, start);
}

void BM_call_file(benchmark::State &state, const char *function) {
    const std::string &path = bigFile();
    double start = residentMiB();
    wholeCall(state, function, ghemu::textParam(Build::Wide, path), true, kFileBytes, 0, start);
}

// The host operations a digest call asks, in the same order, without the
// library: the whole call minus this is the library's share.
void BM_host_operations(benchmark::State &state, bool text) {
    double start = residentMiB();
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
        host.beginCall();  // forgets the log, as each call does
    }
    size_t digested = text ? kTextChars : kBinaryBytes;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * digested));
    state.counters["peak_MiB"] = peakMiB() - start;
}

void BM_bare(benchmark::State &state, bool sha256, size_t bytes) {
    std::vector<uint8_t> data(bytes, 0x5a);
    for (size_t i = 0; i < bytes; i += 4096) data[i] = static_cast<uint8_t>(i >> 12);
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

BENCHMARK_CAPTURE(BM_bare, MD5/64MiB, false, kBinaryBytes)->Name("bare/MD5/64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_bare, SHA256/64MiB, true, kBinaryBytes)->Name("bare/SHA256/64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_bare, MD5/16MiB, false, kTextChars)->Name("bare/MD5/16MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_bare, SHA256/16MiB, true, kTextChars)->Name("bare/SHA256/16MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_host_operations, binary64MiB, false)->Name("host/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_host_operations, text16Mchars, true)->Name("host/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_call_binary, MD5Digest, "MD5Digest")->Name("call/MD5Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_call_binary, SHA256Digest, "SHA256Digest")->Name("call/SHA256Digest/binary64MiB")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_call_text, MD5Digest, "MD5Digest")->Name("call/MD5Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_call_text, SHA256Digest, "SHA256Digest")->Name("call/SHA256Digest/text16Mchars")->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK_CAPTURE(BM_call_file, SHA256Digest, "SHA256Digest")->Name("call/SHA256Digest/file1GiB")->Unit(benchmark::kMillisecond)->MinTime(2);

BENCHMARK_MAIN();
