// Whole calls of howMany (the pattern ",") and setLinebreaks (to LF) on the
// large text of text_corpus.h, through the lean host of whole_call.h: the
// text arrives as a block made before the call (untimed), the library's own
// cost is timed, the freeing of the blocks it was handed included.  The
// summary of text_bench.cpp sets them against the pure functions
// (text/<build>/howMany/1char, text/<build>/setLinebreaks).
//
//   text/<build>/call/howMany
//   text/<build>/call/setLinebreaks
//   text/<build>/call/freeTextBlock   the freeing of the text's block alone
#include "bench/text_corpus.h"
#include "bench/whole_call.h"
#include "text/lines.h"
#include "text/small_text.h"

namespace {

using ghbench::Build;

enum { kHowMany = 3, kSetLinebreaks = 30 };

template <class C>
void leanCall(benchmark::State &state, int32_t function) {
    ghbench::WindowsLikeMemory memoryManager;
    const Build build = sizeof(C) == 1 ? Build::Byte : Build::Wide;
    void *so = dlopen(ghbench::libraryPath(build).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = so ? reinterpret_cast<GlyphHerderEntry>(dlsym(so, "glyphHerder")) : nullptr;
    if (!entry) return state.SkipWithError("cannot load the library");
    const std::vector<C> text = textbench::textOf<C>(textbench::csvText());
    const uint32_t n = static_cast<uint32_t>(text.size());
    const C comma = ',';
    const uint64_t expected = function == kHowMany ? count_occurrences(&comma, 1, text.data(), text.size())
                                                   : set_linebreaks_length(text.data(), text.size(), 1);

    ghbench::LeanHost host;
    host.build = build;
    ghbench::currentLeanHost() = &host;
    void *slot = nullptr;
    entry(GH_MSG_CONNECT, &slot, 0, 0, 0, ghbench::leanCallback);
    host.function = function;
    host.binary = false;
    host.paramCount = 2;
    host.length = static_cast<int32_t>(n);
    host.textAt[1] = "\n";
    for (auto _ : state) {
        state.PauseTiming();
        if (function == kHowMany) {
            host.readyAt[0] = ghbench::makeBlock(&comma, 1, sizeof comma);
            host.readyAt[1] = ghbench::makeBlock(text.data(), n, text.size() * sizeof(C));
        } else {
            host.readyAt[0] = ghbench::makeBlock(text.data(), n, text.size() * sizeof(C));
        }
        host.resultType = -1;
        state.ResumeTiming();
        entry(GH_MSG_CALL, &slot, 0, 0, 0, ghbench::leanCallback);
        state.PauseTiming();
        bool good = function == kHowMany
                        ? host.resultType == HOST_TYPE_NUMBER && host.resultNumber == static_cast<double>(expected)
                        : host.resultType == HOST_TYPE_TEXT_BLOCK && host.resultCount == expected;
        state.ResumeTiming();
        if (!good) {
            state.SkipWithError("wrong result");
            break;
        }
    }
    entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, ghbench::leanCallback);
    ghbench::currentLeanHost() = nullptr;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(C)));
}

// What freeing the block that holds the text costs (made untimed): a part
// of every whole call, since the library frees the block it is handed.
template <class C>
void freeTextBlock(benchmark::State &state) {
    ghbench::WindowsLikeMemory memoryManager;
    const std::vector<C> text = textbench::textOf<C>(textbench::csvText());
    for (auto _ : state) {
        state.PauseTiming();
        HGLOBAL h = ghbench::makeBlock(text.data(), static_cast<uint32_t>(text.size()), text.size() * sizeof(C));
        state.ResumeTiming();
        GlobalFree(h);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(C)));
}

template <class C>
void addBuild() {
    std::string b = std::string("text/") + (sizeof(C) == 1 ? "byte" : "wide") + "/call/";
    for (int32_t function : {kHowMany, kSetLinebreaks}) {
        benchmark::RegisterBenchmark((b + (function == kHowMany ? "howMany" : "setLinebreaks")).c_str(),
                                     [function](benchmark::State &s) { leanCall<C>(s, function); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.5);
    }
    // A fixed count: the free takes microseconds, the untimed copy before it
    // milliseconds, and a minimum time would run it for many minutes.
    benchmark::RegisterBenchmark((b + "freeTextBlock").c_str(), freeTextBlock<C>)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(64);
}

int registerAll() {
    addBuild<uint8_t>();
    addBuild<uint32_t>();
    return 0;
}
const int kRegistered = registerAll();

}  // namespace
