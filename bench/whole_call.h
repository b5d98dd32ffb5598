// Whole catalogue calls in benchmarks: the values, the two hosts that drive
// a library (the host emulator, and a lean host that only hands over a
// block made before the call), and the peak memory of a call.
//
// Memory counters, each the most above what was live when the call began,
// the worst of all calls, as a multiple of the value's size (and in MiB):
//   heap_x    every byte the process allocated (malloc counted by
//             heap_watch.cpp): the host's copies, glyphmem's blocks and the
//             library's heap buffers together
//   blocks_x  glyphmem's blocks and heap buffers alone (glyphmem_peak_bytes)
//   rss_x     resident memory (the kernel's high-water mark, reset before
//             each call through /proc/self/clear_refs)
// During whole calls glyphmem drops its test devices (WindowsLikeMemory):
// no fill of undefined memory (GH_BENCH_FILL=1 keeps it on), and a resize
// keeps a block in place where the C library can (GH_BENCH_MOVE=1 keeps
// glyphmem's test behaviour, a move and a copy on every resize).
#ifndef GH_BENCH_WHOLE_CALL_H
#define GH_BENCH_WHOLE_CALL_H

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/library.h"
#include "platform/globalmem.h"

namespace ghbench {

using ghemu::Build;

constexpr size_t kBinaryBytes = size_t(64) << 20;  // 64 MiB
constexpr size_t kTextChars = size_t(16) << 20;    // 16 Mi characters (64 MiB as the wide build holds them)
constexpr uint64_t kFileBytes = uint64_t(1) << 30;  // 1 GiB

inline const char *buildName(Build build) { return ghemu::buildName(build); }

inline std::vector<uint8_t> binaryValue(size_t n = kBinaryBytes) {
    std::vector<uint8_t> v(n);
    uint32_t x = 1;
    for (auto &c : v) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

// Characters 1..255: no zero ends a digest's data early, and each has a
// one-byte form, so the library works on kTextChars bytes.
inline std::u32string textValue(size_t n = kTextChars) {
    std::u32string t(n, U'a');
    for (size_t i = 0; i < n; ++i) t[i] = static_cast<char32_t>(1 + i % 255);
    return t;
}

// The bytes the library takes from textValue (each character's low 8 bits).
inline std::vector<uint8_t> textBytes(size_t n = kTextChars) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(1 + i % 255);
    return b;
}

inline std::string libraryPath(Build build) {
    return std::string(GH_LIBRARY_DIR) + (build == Build::Wide ? "/glyphHerderU.so" : "/glyphHerder.so");
}

// ---- memory

// heap_watch.cpp
int64_t heapLiveBytes();
int64_t heapPeakBytes();
void heapResetPeak();

// glyphmem's test devices off for the object's lifetime (each can be kept
// on from the environment); on again afterwards.
class WindowsLikeMemory {
public:
    WindowsLikeMemory() {
        glyphmem_set_fill(wanted("GH_BENCH_FILL"));
        glyphmem_set_move_on_resize(wanted("GH_BENCH_MOVE"));
    }
    ~WindowsLikeMemory() {
        glyphmem_set_fill(1);
        glyphmem_set_move_on_resize(1);
    }
    WindowsLikeMemory(const WindowsLikeMemory &) = delete;
    WindowsLikeMemory &operator=(const WindowsLikeMemory &) = delete;

private:
    static int wanted(const char *variable) {
        const char *value = getenv(variable);
        return value && strcmp(value, "1") == 0;
    }
};

inline size_t residentBytes() {
    long pages = 0, resident = 0;
    if (FILE *f = fopen("/proc/self/statm", "r")) {
        if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(f);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// The resident high-water mark (VmHWM); 0 when it cannot be read.
inline size_t residentPeakBytes() {
    size_t kib = 0;
    if (FILE *f = fopen("/proc/self/status", "r")) {
        char line[256];
        while (fgets(line, sizeof line, f)) {
            if (sscanf(line, "VmHWM: %zu kB", &kib) == 1) break;
        }
        fclose(f);
    }
    return kib * 1024;
}

// Starts the high-water mark again from the resident size now.
inline bool resetResidentPeak() {
    FILE *f = fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    bool ok = fputs("5", f) >= 0;
    return fclose(f) == 0 && ok;
}

class PeakMemory {
public:
    // Before a call (with the timer paused).
    void begin() {
        heapStart_ = heapLiveBytes();
        heapResetPeak();
        blocksStart_ = glyphmem_live_bytes() + glyphmem_live_heap_bytes();
        glyphmem_reset_peak();
        rssValid_ = rssValid_ && resetResidentPeak();
        rssStart_ = residentBytes();
    }
    // After it.
    void end() {
        heap_ = std::max(heap_, heapPeakBytes() - heapStart_);
        blocks_ = std::max(blocks_, static_cast<int64_t>(glyphmem_peak_bytes() - blocksStart_));
        size_t peak = residentPeakBytes();
        rss_ = std::max(rss_, peak > rssStart_ ? static_cast<int64_t>(peak - rssStart_) : int64_t{0});
    }
    void report(benchmark::State &state, size_t valueBytes) const {
        double value = static_cast<double>(valueBytes), mib = 1 << 20;
        state.counters["heap_x"] = static_cast<double>(heap_) / value;
        state.counters["blocks_x"] = static_cast<double>(blocks_) / value;
        state.counters["heap_MiB"] = static_cast<double>(heap_) / mib;
        state.counters["blocks_MiB"] = static_cast<double>(blocks_) / mib;
        if (rssValid_) {
            state.counters["rss_x"] = static_cast<double>(rss_) / value;
            state.counters["rss_MiB"] = static_cast<double>(rss_) / mib;
        }
    }

private:
    int64_t heapStart_ = 0, heap_ = 0;
    size_t blocksStart_ = 0;
    int64_t blocks_ = 0;
    size_t rssStart_ = 0;
    int64_t rss_ = 0;
    bool rssValid_ = true;
};

// Runs call once an iteration with the memory measured around it.
template <class Call>
void measuredLoop(benchmark::State &state, PeakMemory &memory, Call call) {
    for (auto _ : state) {
        state.PauseTiming();
        memory.begin();
        state.ResumeTiming();
        bool ok = call();
        state.PauseTiming();
        memory.end();
        state.ResumeTiming();
        if (!ok) break;
    }
}

// ---- through the host emulator

// One library, one connected instance, the function called with params over
// and over.  setup runs first on the session (a Blowfish key, say); ok
// checks each outcome.
inline void callEmulator(benchmark::State &state, Build build, const char *function,
                         std::vector<ghemu::Param> params, size_t processedBytes, size_t valueBytes,
                         const std::function<bool(const ghemu::Result &)> &ok,
                         const std::function<bool(ghemu::Session &)> &setup = {}) {
    WindowsLikeMemory memoryManager;
    auto lib = ghemu::Library::load(libraryPath(build), build);
    ghemu::Session session(*lib);
    if (setup && !setup(session)) return state.SkipWithError("the setup failed");
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib->functionNumber(function));
    host.setParams(std::move(params));
    PeakMemory memory;
    measuredLoop(state, memory, [&] {
        ghemu::CallOutcome out = lib->call(session.instance(), host);
        if (out.ok() && ok(out.result)) return true;
        state.SkipWithError(("the call failed: " + out.problemText()).c_str());
        return false;
    });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * processedBytes));
    memory.report(state, valueBytes);
}

// ---- through a lean host

// Answers a call from ready data: the parameter count (1), the length, the
// field number (-1 for binary, which asks no kind), a key text, the block
// made before the call; keeps what is set on the result without copying it.
struct LeanHost {
    Build build = Build::Wide;
    int32_t function = 0;
    bool binary = true;
    int32_t length = 0;
    const char *text = nullptr;  // what a text fetch answers
    HGLOBAL ready = nullptr;
    int resultType = -1;
    uint64_t resultCount = 0;    // characters of a text, elements of a block
    double resultNumber = 0;
    // Calls of more than one parameter: their count, and per parameter (the
    // first four) a block, a text or a number that answers for it instead.
    double paramCount = 1;
    HGLOBAL readyAt[4] = {};
    const char *textAt[4] = {};
    double numberAt[4] = {};
};

inline LeanHost *&currentLeanHost() {
    static LeanHost *host = nullptr;
    return host;
}

inline int32_t leanCallback(int32_t op, ...) {
    LeanHost &h = *currentLeanHost();
    size_t width = h.build == Build::Wide ? 4 : 1;
    va_list ap;
    va_start(ap, op);
    if (op == HOST_OP_GET_PACKAGE_ID) {
        *va_arg(ap, int32_t *) = h.function;
    } else if (op == HOST_OP_GET_FUNC_PARM) {
        int32_t number = va_arg(ap, int32_t), type = va_arg(ap, int32_t), count = va_arg(ap, int32_t);
        auto *buffer = static_cast<uint8_t *>(va_arg(ap, void *));
        int at = number - HOST_PARAM_FIRST;
        bool own = at >= 0 && at < 4;
        if (number == HOST_PARAM_COUNT) {
            memcpy(buffer, &h.paramCount, sizeof h.paramCount);
        } else if (type == HOST_TYPE_NUMBER && own) {
            memcpy(buffer, &h.numberAt[at], sizeof h.numberAt[at]);
        } else if (type == HOST_TYPE_LENGTH) {
            memcpy(buffer, &h.length, 4);
        } else if (type == HOST_TYPE_FIELD_NUMBER) {
            int16_t field = h.binary ? -1 : 1000;
            memcpy(buffer, &field, sizeof field);
        } else if (type == HOST_TYPE_TEXT && ((own && h.textAt[at]) || h.text)) {
            const char *text = own && h.textAt[at] ? h.textAt[at] : h.text;
            size_t n = std::min(strlen(text), static_cast<size_t>(count < 0 ? 0 : count));
            for (size_t i = 0; i <= n; ++i) {
                uint32_t c = i < n ? static_cast<uint8_t>(text[i]) : 0;
                memcpy(buffer + i * width, &c, width);  // little-endian: the low byte first
            }
        } else if (type == HOST_TYPE_TEXT_BLOCK || type == HOST_TYPE_BINARY_BLOCK) {
            HGLOBAL offered;
            memcpy(&offered, buffer, sizeof offered);
            if (offered) GlobalFree(offered);
            HGLOBAL &ready = own && h.readyAt[at] ? h.readyAt[at] : h.ready;
            memcpy(buffer, &ready, sizeof ready);
            ready = nullptr;
        }
    } else if (op == HOST_OP_SET_FLD_VAL) {
        (void)va_arg(ap, int32_t);
        h.resultType = va_arg(ap, int32_t);
        const auto *address = static_cast<const uint8_t *>(va_arg(ap, const void *));
        h.resultCount = 0;
        if (h.resultType == HOST_TYPE_TEXT) {
            for (uint32_t c = 1;; ++h.resultCount) {
                c = 0;
                memcpy(&c, address + h.resultCount * width, width);
                if (!c) break;
            }
        } else if (h.resultType == HOST_TYPE_TEXT_BLOCK || h.resultType == HOST_TYPE_BINARY_BLOCK) {
            HGLOBAL block;
            memcpy(&block, address, sizeof block);
            uint32_t n;
            memcpy(&n, GlobalLock(block), 4);
            GlobalUnlock(block);
            h.resultCount = n;
        } else if (h.resultType == HOST_TYPE_NUMBER) {
            memcpy(&h.resultNumber, address, 8);
        }
    } else if (op == HOST_OP_SET_FLD_NUMBER) {
        (void)va_arg(ap, int32_t);
        h.resultType = HOST_TYPE_NUMBER;
        memcpy(&h.resultNumber, va_arg(ap, const void *), 8);
    }
    // GetFldInfo leaves the status at 0: a text parameter is not binary.
    va_end(ap);
    return 0;
}

// A block of count elements (bytes bytes) copied from data.
inline HGLOBAL makeBlock(const void *data, uint32_t count, size_t bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4 + bytes);
    auto *p = static_cast<uint8_t *>(GlobalLock(h));
    memcpy(p, &count, 4);
    memcpy(p + 4, data, bytes);
    GlobalUnlock(h);
    return h;
}

// The call with the value handed over as a block made while the timer is
// paused: the library's own cost.  The block's making is not in the memory
// figures either (it is the host's).  keyText, when given, is first set as
// the instance's Blowfish key.  ok checks the result after each call.
inline void callLean(benchmark::State &state, Build build, int32_t function, bool binary, const void *data,
                     uint32_t count, size_t bytes, size_t processedBytes,
                     const std::function<bool(const LeanHost &)> &ok, const char *keyText = nullptr) {
    WindowsLikeMemory memoryManager;
    void *so = dlopen(libraryPath(build).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = so ? reinterpret_cast<GlyphHerderEntry>(dlsym(so, "glyphHerder")) : nullptr;
    if (!entry) return state.SkipWithError("cannot load the library");
    LeanHost host;
    host.build = build;
    currentLeanHost() = &host;
    void *slot = nullptr;
    entry(GH_MSG_CONNECT, &slot, 0, 0, 0, leanCallback);
    if (keyText) {
        host.function = 16;  // blowfishContext
        host.text = keyText;
        entry(GH_MSG_CALL, &slot, 0, 0, 0, leanCallback);
        host.text = nullptr;
        if (host.resultType != HOST_TYPE_NUMBER || host.resultNumber != 0) {
            entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, leanCallback);
            return state.SkipWithError("no key");
        }
    }
    host.function = function;
    host.binary = binary;
    host.length = static_cast<int32_t>(count);
    PeakMemory memory;
    for (auto _ : state) {
        state.PauseTiming();
        host.ready = makeBlock(data, count, bytes);
        memory.begin();
        state.ResumeTiming();
        host.resultType = -1;
        entry(GH_MSG_CALL, &slot, 0, 0, 0, leanCallback);
        state.PauseTiming();
        memory.end();
        bool good = ok(host);
        state.ResumeTiming();
        if (!good) {
            state.SkipWithError("wrong result");
            break;
        }
    }
    entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, leanCallback);
    currentLeanHost() = nullptr;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * processedBytes));
    memory.report(state, bytes);
}

}  // namespace ghbench

#endif
