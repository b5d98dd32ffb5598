// The text functions on a large text (bench/text_corpus.h: 16 MiB of
// comma-separated values in the byte build, the same 16 Mi characters as
// 64 MiB in the wide build), beside what they are measured against:
//
//   text/<build>/<function>[/<case>]   the pure function, as its catalogue
//       case calls it, on warm buffers (an in-place function gets its text
//       back, untimed, before each run)
//   text/byte/memmem/<case>            a loop of glibc memmem doing the same
//       search over the same bytes
//   text/wide/u32find/<case>           a loop of std::u32string_view::find
//   text/<build>/memcpy                memcpy of the text's bytes
//
//   build/rel/bin/gh_bench --benchmark_filter='^text/' --benchmark_repetitions=5
//
// Rates are the text's bytes a second (MB = 10^6 bytes), so that every
// figure of a build compares directly.  After the runs a table gives each
// function's best rate against its yardstick and the target:
//   - the searches (howMany with 1- and 8-character patterns, indexOfPart of
//     the last part, indexedPart of a part near the end): at least 1x the
//     memmem loop (byte build), at least 2x the u32string_view loop (wide);
//   - stripNullBytes, reduceToAlphanumeric (keepChars ",."),
//     filenameOfPath, folderPartOfPath, setLinebreaks (CR LF to LF): at
//     least 0.5x memcpy; wrapLinesWith (line size 72, "> " before each
//     line, CR LF after): at least 0.25x memcpy;
//   - on prose (text_corpus.h's proseText, rows ending "/prose"):
//     setLinebreaks LF to CR LF at least 0.5x memcpy, wrapLinesWith at
//     least 0.35x memcpy;
//   - the whole calls of howMany and setLinebreaks through the lean host
//     (text_call_bench.cpp): at least 0.7x the pure function.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_summary.h"
#include "bench/text_corpus.h"
#include "text/lines.h"
#include "text/parts.h"
#include "text/small_text.h"

namespace {

using textbench::charsOf;

template <class C>
struct Corpus {
    std::vector<C> text, zeros, prose;
    size_t records = 0;      // parts between CR LF CR LF
    size_t recordWanted = 0;  // the part indexedPart asks for, near the end
};

template <class C>
const Corpus<C> &corpus() {
    static Corpus<C> c = [] {
        Corpus<C> k;
        std::vector<uint8_t> bytes = textbench::csvText();
        k.text = textbench::textOf<C>(bytes);
        k.zeros = textbench::withZeros(k.text);
        k.prose = textbench::textOf<C>(textbench::proseText());
        std::string_view all(reinterpret_cast<const char *>(bytes.data()), bytes.size());
        for (size_t at = all.find(textbench::kRecordBreak); at != std::string_view::npos;
             at = all.find(textbench::kRecordBreak, at + 4))
            ++k.records;
        ++k.records;
        k.recordWanted = k.records - 20 < 32767 ? k.records - 20 : 32767;
        return k;
    }();
    return c;
}

template <class C>
const char *buildOf() {
    return sizeof(C) == 1 ? "byte" : "wide";
}

template <class C>
size_t textBytes() {
    return corpus<C>().text.size() * sizeof(C);
}

template <class C>
void rate(benchmark::State &state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * textBytes<C>()));
}

// ---- the searches

template <class C>
void howMany(benchmark::State &state, const char *pattern) {
    const std::vector<C> &t = corpus<C>().text;
    std::vector<C> p = charsOf<C>(pattern);
    for (auto _ : state) benchmark::DoNotOptimize(count_occurrences(p.data(), p.size(), t.data(), t.size()));
    rate<C>(state);
}

template <class C>
void indexOfLastPart(benchmark::State &state) {
    const std::vector<C> &t = corpus<C>().text;
    std::vector<C> comma = charsOf<C>(","), part = charsOf<C>(textbench::kLastField);
    for (auto _ : state) {
        PartDelimiter<C> d;
        part_delimiter_init(&d, comma.data(), 1, false);
        size_t index = index_of_part(d, t.data(), t.size(), part.data(), part.size());
        if (index == 0) state.SkipWithError("the last part was not found");
        benchmark::DoNotOptimize(index);
    }
    rate<C>(state);
}

template <class C>
void indexedRecord(benchmark::State &state) {
    const Corpus<C> &k = corpus<C>();
    std::vector<C> delimiter = charsOf<C>(textbench::kRecordBreak);
    for (auto _ : state) {
        PartDelimiter<C> d;
        part_delimiter_init(&d, delimiter.data(), delimiter.size(), false);
        PartFound part = nth_part(d, k.text.data(), k.text.size(), k.recordWanted);
        if (!part.found) state.SkipWithError("the part was not found");
        benchmark::DoNotOptimize(part);
    }
    rate<C>(state);
}

// The loops the searches are measured against: the same walk, each step a
// call of memmem (byte build) or std::u32string_view::find (wide build).
size_t findNext(const std::vector<uint8_t> &t, const std::vector<uint8_t> &p, size_t from) {
    const void *at = memmem(t.data() + from, t.size() - from, p.data(), p.size());
    return at ? static_cast<size_t>(static_cast<const uint8_t *>(at) - t.data()) : t.size();
}

size_t findNext(const std::vector<uint32_t> &t, const std::vector<uint32_t> &p, size_t from) {
    std::u32string_view text(reinterpret_cast<const char32_t *>(t.data()), t.size());
    std::u32string_view pattern(reinterpret_cast<const char32_t *>(p.data()), p.size());
    size_t at = text.find(pattern, from);
    return at == std::u32string_view::npos ? t.size() : at;
}

template <class C>
void loopCount(benchmark::State &state, const char *pattern) {
    const std::vector<C> &t = corpus<C>().text;
    std::vector<C> p = charsOf<C>(pattern);
    for (auto _ : state) {
        size_t count = 0;
        for (size_t at = findNext(t, p, 0); at < t.size(); at = findNext(t, p, at + p.size())) ++count;
        benchmark::DoNotOptimize(count);
    }
    rate<C>(state);
}

// Part after part to the one equal to the last field (what indexOfPart
// does), comparing each.
template <class C>
void loopIndexOf(benchmark::State &state) {
    const std::vector<C> &t = corpus<C>().text;
    std::vector<C> comma = charsOf<C>(","), part = charsOf<C>(textbench::kLastField);
    for (auto _ : state) {
        size_t number = 1, found = 0;
        for (size_t p = 0; p < t.size(); ++number) {
            size_t end = findNext(t, comma, p);
            if (end - p == part.size() && memcmp(t.data() + p, part.data(), part.size() * sizeof(C)) == 0) {
                found = number;
                break;
            }
            p = end + 1;
        }
        if (found == 0) state.SkipWithError("the last part was not found");
        benchmark::DoNotOptimize(found);
    }
    rate<C>(state);
}

template <class C>
void loopIndexed(benchmark::State &state) {
    const Corpus<C> &k = corpus<C>();
    std::vector<C> delimiter = charsOf<C>(textbench::kRecordBreak);
    for (auto _ : state) {
        size_t p = 0;
        for (size_t number = 1; number < k.recordWanted && p < k.text.size(); ++number)
            p = findNext(k.text, delimiter, p) + delimiter.size();
        size_t end = findNext(k.text, delimiter, p);
        benchmark::DoNotOptimize(end);
    }
    rate<C>(state);
}

// ---- the copies and filters

template <class C>
void copyText(benchmark::State &state) {
    const std::vector<C> &t = corpus<C>().text;
    std::vector<C> out(t.size());
    for (auto _ : state) {
        memcpy(out.data(), t.data(), t.size() * sizeof(C));
        benchmark::ClobberMemory();
    }
    rate<C>(state);
}

// Runs f on a fresh copy of source each iteration (the copy untimed).
template <class C, class F>
void inPlace(benchmark::State &state, const std::vector<C> &source, F f) {
    std::vector<C> work(source.size());
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(work.data(), source.data(), source.size() * sizeof(C));
        state.ResumeTiming();
        benchmark::DoNotOptimize(f(work.data(), work.size()));
        benchmark::ClobberMemory();
    }
    rate<C>(state);
}

template <class C>
void stripZeros(benchmark::State &state) {
    inPlace<C>(state, corpus<C>().zeros, [](C *s, size_t n) { return strip_zero_chars(s, n); });
}

template <class C>
void reduce(benchmark::State &state) {
    std::vector<C> keep = charsOf<C>(",.");
    inPlace<C>(state, corpus<C>().text, [&keep](C *s, size_t n) {
        ReduceOptions o = {false, true, false};
        return reduce_to_alphanumeric(s, n, keep.data(), keep.size(), o);
    });
}

// As the catalogue case does: the file name moved to the front.
template <class C>
void filename(benchmark::State &state) {
    inPlace<C>(state, corpus<C>().text, [](C *s, size_t n) {
        size_t start = filename_start(s, n);
        if (start) memmove(s, s + start, (n - start) * sizeof(C));
        return n - start;
    });
}

template <class C>
void folder(benchmark::State &state) {
    const std::vector<C> &t = corpus<C>().text;
    for (auto _ : state) benchmark::DoNotOptimize(folder_length(t.data(), t.size()));
    rate<C>(state);
}

// As the catalogue case does for a break of one character: in place.
template <class C>
void setLinebreaksLf(benchmark::State &state) {
    std::vector<C> text = corpus<C>().text;
    text.push_back(0);  // the room for one more character
    inPlace<C>(state, text, [](C *s, size_t n) { return set_linebreaks_in_place(s, n - 1, C(10)); });
}

// Into a second buffer, line by line: what a break of two characters takes.
template <class C>
void setLinebreaksCrLf(benchmark::State &state, const std::vector<C> &t) {
    const C lf[1] = {10}, crlf[2] = {13, 10};
    std::vector<C> lfText(t.size() + 1);
    TextSink<C> toLf = {lfText.data(), 0, lfText.size(), nullptr, nullptr};
    set_linebreaks(t.data(), t.size(), lf, 1, &toLf);
    lfText.resize(toLf.used);
    std::vector<C> out(set_linebreaks_length(lfText.data(), lfText.size(), 2));
    for (auto _ : state) {
        size_t length = set_linebreaks_length(lfText.data(), lfText.size(), 2);
        TextSink<C> sink = {out.data(), 0, length, nullptr, nullptr};
        if (length > out.size() || !set_linebreaks(lfText.data(), lfText.size(), crlf, 2, &sink))
            state.SkipWithError("failed");
        benchmark::ClobberMemory();
    }
    rate<C>(state);
}

template <class C>
void wrap72(benchmark::State &state, const std::vector<C> &t) {
    const C start[2] = {'>', ' '}, crlf[2] = {13, 10};
    // Room as the catalogue case reserves it: the text and a prefix and line
    // break every 16 characters (enough here: no growth).
    std::vector<C> out(t.size() + 4 * (t.size() / 16 + 2));
    for (auto _ : state) {
        TextSink<C> sink = {out.data(), 0, out.size(), nullptr, nullptr};
        if (!wrap_lines(t.data(), t.size(), start, 2, crlf, 2, 72, &sink)) state.SkipWithError("failed");
        benchmark::ClobberMemory();
    }
    rate<C>(state);
}

void add(const std::string &name, const std::function<void(benchmark::State &)> &run) {
    benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

template <class C>
void addBuild() {
    std::string b = std::string("text/") + buildOf<C>() + "/";
    std::string loop = b + (sizeof(C) == 1 ? "memmem/" : "u32find/");
    add(b + "howMany/1char", [](benchmark::State &s) { howMany<C>(s, ","); });
    add(loop + "howMany/1char", [](benchmark::State &s) { loopCount<C>(s, ","); });
    add(b + "howMany/8chars", [](benchmark::State &s) { howMany<C>(s, "customer"); });
    add(loop + "howMany/8chars", [](benchmark::State &s) { loopCount<C>(s, "customer"); });
    add(b + "indexOfPart/last", indexOfLastPart<C>);
    add(loop + "indexOfPart/last", loopIndexOf<C>);
    add(b + "indexedPart/nearEnd", indexedRecord<C>);
    add(loop + "indexedPart/nearEnd", loopIndexed<C>);
    add(b + "memcpy", copyText<C>);
    add(b + "stripNullBytes", stripZeros<C>);
    add(b + "reduceToAlphanumeric", reduce<C>);
    add(b + "filenameOfPath", filename<C>);
    add(b + "folderPartOfPath", folder<C>);
    add(b + "setLinebreaks", setLinebreaksLf<C>);
    add(b + "setLinebreaks/toCRLF", [](benchmark::State &s) { setLinebreaksCrLf<C>(s, corpus<C>().text); });
    add(b + "setLinebreaks/toCRLF/prose", [](benchmark::State &s) { setLinebreaksCrLf<C>(s, corpus<C>().prose); });
    add(b + "wrapLinesWith72", [](benchmark::State &s) { wrap72<C>(s, corpus<C>().text); });
    add(b + "wrapLinesWith72/prose", [](benchmark::State &s) { wrap72<C>(s, corpus<C>().prose); });
}

// ---- the summary

struct Target {
    const char *function;  // under text/<build>/
    const char *against;   // under text/<build>/, or "loop/..." for memmem or u32find
    double target;
};

const Target kTargets[] = {
    {"howMany/1char", "loop/howMany/1char", 1},
    {"howMany/8chars", "loop/howMany/8chars", 1},
    {"indexOfPart/last", "loop/indexOfPart/last", 1},
    {"indexedPart/nearEnd", "loop/indexedPart/nearEnd", 1},
    {"stripNullBytes", "memcpy", 0.5},
    {"reduceToAlphanumeric", "memcpy", 0.5},
    {"filenameOfPath", "memcpy", 0.5},
    {"folderPartOfPath", "memcpy", 0.5},
    {"setLinebreaks", "memcpy", 0.5},
    {"setLinebreaks/toCRLF", "memcpy", 0.5},
    {"setLinebreaks/toCRLF/prose", "memcpy", 0.5},
    {"wrapLinesWith72", "memcpy", 0.25},
    {"wrapLinesWith72/prose", "memcpy", 0.35},
    {"call/howMany", "howMany/1char", 0.7},
    {"call/setLinebreaks", "setLinebreaks", 0.7},
};

// The best rate of each benchmark over its repetitions (the median when
// only aggregates are reported).
std::map<std::string, double> bestRates(const BenchRuns &runs) {
    std::map<std::string, double> best, median;
    for (const auto &run : runs) {
        std::string name = run.run_name.function_name;
        if (run.error_occurred || name.rfind("text/", 0) != 0) continue;
        auto r = run.counters.find("bytes_per_second");
        if (r == run.counters.end()) continue;
        if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration) {
            double &b = best[name];
            if (r->second.value > b) b = r->second.value;
        } else if (run.aggregate_name == "median") {
            median[name] = r->second.value;
        }
    }
    for (const auto &m : median) best.insert(m);
    return best;
}

void printTable(const BenchRuns &runs, std::ostream &out) {
    std::map<std::string, double> best = bestRates(runs);
    if (best.empty()) return;
    out << "\nText functions: best rate (MB/s of the text's bytes) against the yardstick; target met?\n\n";
    char line[220];
    snprintf(line, sizeof line, "%-5s %-22s %10s  %-26s %10s %7s %7s  %s\n", "build", "function", "MB/s", "against",
             "MB/s", "ratio", "target", "");
    out << line;
    for (const char *build : {"byte", "wide"}) {
        std::string prefix = std::string("text/") + build + "/";
        std::string loop = std::string(build) == "byte" ? "memmem/" : "u32find/";
        for (const Target &t : kTargets) {
            std::string against = t.against;
            double target = t.target;
            if (against.rfind("loop/", 0) == 0) {
                against = loop + against.substr(5);
                if (std::string(build) == "wide") target = 2;
            }
            auto f = best.find(prefix + t.function), a = best.find(prefix + against);
            if (f == best.end() || a == best.end()) continue;
            double ratio = f->second / a->second;
            snprintf(line, sizeof line, "%-5s %-22s %10.0f  %-26s %10.0f %7.2f %7.2f  %s\n", build, t.function,
                     f->second / 1e6, against.c_str(), a->second / 1e6, ratio, target,
                     ratio >= target ? "met" : "MISSED");
            out << line;
        }
    }
}

int registerAll() {
    addBuild<uint8_t>();
    addBuild<uint32_t>();
    return bench_add_summary(printTable);
}
const int kRegistered = registerAll();

}  // namespace
