// Every path of every kernel with a run-time choice, and the path the
// library chose: a wrong choice shows at a glance.
//
//   build/rel/bin/gh_bench --benchmark_filter='^paths/' --benchmark_repetitions=5
//
// `paths/<kernel>/<path>` runs one path over warm buffers (digests and
// CRC-16 over 1 MiB, Base64 over 64 KiB of binary data, the conversions
// over 4 Ki characters, the text scans over 64 Ki characters: in the first-level cache, where the paths differ;
// over many MiB they all run at the memory's pace); rates are the bytes the
// kernel reads, as in the other benchmarks (Base64 decoding: the bytes it
// writes).  The choices are
// made when the program starts, as a library's are at its first calls,
// before any benchmark runs.  After the runs a table lists, per kernel, each
// path's best rate, its rate against the fastest path, what the chooser saw
// (its own best runs, against its fastest), the chosen path, and a verdict:
// "WRONG" when the chosen path runs clearly (10 %) slower than the fastest.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_summary.h"
#include "digest/digest_paths.h"
#include "encoding/base64.h"
#include "encoding/base64_codec.h"
#include "encoding/crc16_kernels.h"
#include "platform/charcodec_kernels.h"
#include "platform/path_choice.h"
#include "text/scan_kernels.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Run = std::function<void(benchmark::State &)>;

struct Kernel {
    const char *name;
    const PathChoice *(*choice)();
};

const PathChoice *encodedLengthChoice() { return charcodec_choice(CHARCODEC_ENCODED_LENGTH); }
const PathChoice *encodeChoice() { return charcodec_choice(CHARCODEC_ENCODE); }
const PathChoice *widenChoice() { return charcodec_choice(CHARCODEC_WIDEN); }
const PathChoice *narrowChoice() { return charcodec_choice(CHARCODEC_NARROW_LOW8); }

// In the order of the table.
const Kernel kKernels[] = {
    {"sha1", sha1_path_choice},
    {"sha256", sha256_path_choice},
    {"sha512", sha512_path_choice},
    {"base64_encode", base64_encode_choice},
    {"base64_decode", base64_decode_choice},
    {"qchar_encoded_length", encodedLengthChoice},
    {"qchar_encode", encodeChoice},
    {"bytes_widen", widenChoice},
    {"qchar_narrow_low8", narrowChoice},
    {"crc16_xmodem", crc16_xmodem_choice},
    {"crc16_x25", crc16_x25_choice},
    {"find_char8", [] { return scan_choice8(TEXT_SCAN_FIND_CHAR); }},
    {"find_char32", [] { return scan_choice32(TEXT_SCAN_FIND_CHAR); }},
    {"find_either8", [] { return scan_choice8(TEXT_SCAN_FIND_EITHER); }},
    {"find_either32", [] { return scan_choice32(TEXT_SCAN_FIND_EITHER); }},
    {"find_last_char8", [] { return scan_choice8(TEXT_SCAN_FIND_LAST_CHAR); }},
    {"find_last_char32", [] { return scan_choice32(TEXT_SCAN_FIND_LAST_CHAR); }},
    {"find_last_at_most8", [] { return scan_choice8(TEXT_SCAN_FIND_LAST_AT_MOST); }},
    {"find_last_at_most32", [] { return scan_choice32(TEXT_SCAN_FIND_LAST_AT_MOST); }},
    {"count_char8", [] { return scan_choice8(TEXT_SCAN_COUNT_CHAR); }},
    {"count_char32", [] { return scan_choice32(TEXT_SCAN_COUNT_CHAR); }},
    {"copy_without8", [] { return scan_choice8(TEXT_SCAN_COPY_WITHOUT); }},
    {"copy_without32", [] { return scan_choice32(TEXT_SCAN_COPY_WITHOUT); }},
    {"copy_kept8", [] { return scan_choice8(TEXT_SCAN_COPY_KEPT); }},
    {"copy_kept32", [] { return scan_choice32(TEXT_SCAN_COPY_KEPT); }},
    {"find_pair8", [] { return scan_choice8(TEXT_SCAN_FIND_PAIR); }},
    {"find_pair32", [] { return scan_choice32(TEXT_SCAN_FIND_PAIR); }},
    {"copy_breaks8", [] { return scan_choice8(TEXT_SCAN_COPY_BREAKS); }},
    {"copy_breaks32", [] { return scan_choice32(TEXT_SCAN_COPY_BREAKS); }},
};

Bytes randomBytes(size_t n) {
    Bytes b(n);
    uint32_t x = 12345;
    for (auto &c : b) {
        x = x * 1103515245u + 12345u;
        c = static_cast<uint8_t>(x >> 24);
    }
    return b;
}

// Text below 0x100, as the chooser's sample: letters, spaces, Latin-1.
std::vector<uint32_t> latinText(size_t n) {
    Bytes r = randomBytes(n);
    std::vector<uint32_t> t(n);
    for (size_t i = 0; i < n; ++i) t[i] = r[i] < 40 ? ' ' : r[i] < 248 ? 'a' + r[i] % 26 : 0xC0 + r[i] % 64;
    return t;
}

void add(const std::string &kernel, const std::string &path, Run run) {
    benchmark::RegisterBenchmark(("paths/" + kernel + "/" + path).c_str(), run)->MinTime(0.2);
}

constexpr size_t kDigestBytes = 1 << 20, kBase64Bytes = 64 << 10, kChars = 4 << 10,
                 kCrcBytes = 1 << 20;

template <class Fn>
Run digestRun(Fn fn, size_t bytes) {
    return [fn, bytes](benchmark::State &state) {
        Bytes data = randomBytes(bytes);
        uint8_t out[64];
        for (auto _ : state) {
            fn(data.data(), data.size(), out);
            benchmark::DoNotOptimize(out);
            benchmark::ClobberMemory();
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    };
}

void addDigests() {
    for (DigestPath p : {DIGEST_PATH_SHA_NI, DIGEST_PATH_PORTABLE}) {
        if (Sha1BlocksFn f = sha1_blocks_for(p)) {
            add("sha1", digest_path_name(p), digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                    Sha1Context c;
                    sha1_init_with(&c, f);
                    sha1_update(&c, d, n);
                    sha1_final(&c, out);
                }, kDigestBytes));
        }
    }
    for (DigestPath p : {DIGEST_PATH_SHA_NI, DIGEST_PATH_PORTABLE}) {
        if (Sha256BlocksFn f = sha256_blocks_for(p)) {
            add("sha256", digest_path_name(p), digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                    Sha256Context c;
                    sha256_init_with(&c, f);
                    sha256_update(&c, d, n);
                    sha256_final(&c, out);
                }, kDigestBytes));
        }
    }
    for (DigestPath p : {DIGEST_PATH_AVX512, DIGEST_PATH_AVX2, DIGEST_PATH_BMI2, DIGEST_PATH_PORTABLE}) {
        if (Sha512BlocksFn f = sha512_blocks_for(p)) {
            add("sha512", digest_path_name(p), digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                    Sha512Context c;
                    sha512_init_with(&c, f);
                    sha512_update(&c, d, n);
                    sha512_final(&c, out);
                }, kDigestBytes));
        }
    }
}

void addBase64() {
    for (int p = BASE64_PATHS - 1; p >= BASE64_PORTABLE; --p) {
        const Base64Codec *codec = base64_codec_for(static_cast<Base64Path>(p));
        if (!codec) continue;
        add("base64_encode", codec->name, [codec](benchmark::State &state) {
            Bytes in = randomBytes(kBase64Bytes), out(base64_encoded_length(kBase64Bytes) + 1);
            for (auto _ : state) {
                benchmark::DoNotOptimize(base64_encode_text_with(codec, out.data(), in.data(), in.size()));
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBase64Bytes));
        });
        add("base64_decode", codec->name, [codec](benchmark::State &state) {
            Bytes in = randomBytes(kBase64Bytes), text(base64_encoded_length(kBase64Bytes) + 1),
                  out(kBase64Bytes + 1);
            size_t length = base64_encode_text_with(base64_codec_for(BASE64_PORTABLE), text.data(), in.data(),
                                                    in.size());
            for (auto _ : state) {
                benchmark::DoNotOptimize(base64_decode_unwrapped_with(codec, out.data(), text.data(), length, kBase64Bytes));
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBase64Bytes));
        });
    }
}

enum Conversion { kLength, kEncode, kWiden, kNarrow };

Run conversionRun(const CharCodecKernels *k, Conversion what) {
    return [k, what](benchmark::State &state) {
        std::vector<uint32_t> chars = latinText(kChars), wide(kChars);
        Bytes bytes(kChars);
        for (size_t i = 0; i < kChars; ++i) bytes[i] = static_cast<uint8_t>(chars[i]);
        for (auto _ : state) {
            switch (what) {
            case kLength:
                benchmark::DoNotOptimize(k->encodedLength(chars.data(), kChars));
                break;
            case kEncode:
                benchmark::DoNotOptimize(k->encode(chars.data(), kChars, bytes.data()));
                break;
            case kWiden:
                k->widen(bytes.data(), kChars, wide.data());
                break;
            case kNarrow:
                k->narrowLow8(chars.data(), kChars, bytes.data());
                break;
            }
            benchmark::ClobberMemory();
        }
        size_t bytesRead = what == kWiden ? kChars : kChars * 4;
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesRead));
    };
}

void addConversions() {
    for (int p = CHARCODEC_PATHS - 1; p >= CHARCODEC_PORTABLE; --p) {
        const CharCodecKernels *k = charcodec_kernels_for(static_cast<CharCodecPath>(p));
        if (!k) continue;
        add("qchar_encoded_length", k->name, conversionRun(k, kLength));
        add("qchar_encode", k->name, conversionRun(k, kEncode));
        add("bytes_widen", k->name, conversionRun(k, kWiden));
        add("qchar_narrow_low8", k->name, conversionRun(k, kNarrow));
    }
}

void addCrc() {
    size_t count = 0;
    const Crc16Variant *variants = crc16_variants(&count);
    for (size_t i = 0; i < count; ++i) {
        const Crc16Variant *v = &variants[i];
        for (int lsb = 0; lsb < 2; ++lsb) {
            Crc16Kernel kernel = lsb ? v->lsb : v->msb;
            add(lsb ? "crc16_x25" : "crc16_xmodem", v->name, [kernel](benchmark::State &state) {
                Bytes data = randomBytes(kCrcBytes);
                uint16_t crc = 0;
                for (auto _ : state) {
                    crc = kernel(crc, data.data(), data.size());
                    benchmark::DoNotOptimize(crc);
                }
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCrcBytes));
            });
        }
    }
}

// The text scans over 64 Ki characters of comma-separated words (in the
// second-level cache), each used as the text functions use it: searches
// for the next delimiter again and again, the windows of wrapped lines, a
// whole count, a filtering copy.  Rates: the text's bytes.
constexpr size_t kScanChars = 64 << 10;

template <class C>
std::vector<C> csvSample() {
    Bytes r = randomBytes(kScanChars);
    std::vector<C> t(kScanChars);
    for (size_t i = 0; i < kScanChars; ++i) {
        uint8_t x = r[i];
        t[i] = x < 20 ? C(',') : x < 24 ? C(' ') : x < 26 ? C('"') : x < 28 ? C(0) : x < 30 ? C('\r') : x < 32 ? C('\n') : C('a' + x % 26);
    }
    return t;
}

template <class C>
size_t scanRun(const ScanKernels<C> &k, TextScanFunction f, const std::vector<C> &t, std::vector<C> &work,
               const CharKeepSet &keep) {
    const size_t n = t.size();
    const C *s = t.data();
    size_t sum = 0;
    switch (f) {
    case TEXT_SCAN_FIND_CHAR:
        for (size_t i = 0; i < n; ++i) i += k.findChar(s + i, n - i, C('\n'));
        return sum + k.findChar(s, n, C('\\'));
    case TEXT_SCAN_FIND_EITHER:
        for (size_t i = 0; i < n; ++i) i += k.findEither(s + i, n - i, C('\r'), C('\n'));
        return sum + k.findEither(s, n, C('{'), C('}'));
    case TEXT_SCAN_FIND_LAST_CHAR:
        return k.findLastChar(s, n, C('\\'));
    case TEXT_SCAN_FIND_LAST_AT_MOST:
        for (size_t i = 0; i + 72 <= n; i += 72) sum += k.findLastAtMost(s + i, 72, C(' '));
        return sum;
    case TEXT_SCAN_COUNT_CHAR:
        return k.countChar(s, n, C(','));
    case TEXT_SCAN_COPY_WITHOUT:
        return k.copyWithout(work.data(), s, n, C(0));
    case TEXT_SCAN_COPY_KEPT:
        return k.copyKept(work.data(), s, n, keep);
    case TEXT_SCAN_FIND_PAIR:
        for (size_t i = 0; i + 1 < n; ++i) i += k.findPair(s + i, n - i - 1, C('e'), C(','), 1);
        return sum + k.findPair(s, n - 5, C('x'), C('q'), 5);
    default:
        return k.copyBreaks(work.data(), s, n, C('\r'), C('\n'), true);
    }
}

const char *const kScanNames[TEXT_SCAN_FUNCTIONS] = {"find_char",  "find_either", "find_last_char", "find_last_at_most",
                                                     "count_char", "copy_without", "copy_kept",     "find_pair",
                                                     "copy_breaks"};

template <class C>
void addScans(const ScanKernels<C> *(*kernelsFor)(TextScanPath)) {
    for (int f = 0; f < TEXT_SCAN_FUNCTIONS; ++f) {
        for (int p = TEXT_SCAN_PATHS - 1; p >= TEXT_SCAN_PORTABLE; --p) {
            const ScanKernels<C> *k = kernelsFor(static_cast<TextScanPath>(p));
            auto function = static_cast<TextScanFunction>(f);
            if (!k || !scan_kernel_present(*k, function)) continue;
            std::string kernel = std::string(kScanNames[f]) + (sizeof(C) == 1 ? "8" : "32");
            add(kernel, k->name, [k, function](benchmark::State &state) {
                std::vector<C> t = csvSample<C>(), work(kScanChars);
                CharKeepSet keep = {};
                for (int c = 0; c < 256; ++c) keep.byteKept[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == ',';
                for (auto _ : state) {
                    benchmark::DoNotOptimize(scanRun(*k, function, t, work, keep));
                    benchmark::ClobberMemory();
                }
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kScanChars * sizeof(C)));
            });
        }
    }
}

// Time-stamp ticks a microsecond, measured against the steady clock.
double ticksPerMicrosecond() {
    PathClock clock = gh_path_clock();
    if (!clock) return 0;
    auto start = std::chrono::steady_clock::now();
    uint64_t t0 = clock();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(20)) {
    }
    uint64_t t1 = clock();
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(t1 - t0) / us;
}

// The table: the best rate of each path over its repetitions (their
// median when only aggregates are reported).
void printTable(const BenchRuns &runs, std::ostream &out) {
    std::map<std::string, double> best, median;  // "kernel/path" -> bytes a second
    for (const auto &run : runs) {
        std::string name = run.run_name.function_name;
        if (run.error_occurred || name.rfind("paths/", 0) != 0) continue;
        auto rate = run.counters.find("bytes_per_second");
        if (rate == run.counters.end()) continue;
        if (run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration) {
            double &b = best[name.substr(6)];
            if (rate->second.value > b) b = rate->second.value;
        } else if (run.aggregate_name == "median") {
            median[name.substr(6)] = rate->second.value;
        }
    }
    for (const auto &m : median) best.insert(m);  // where no run of its own came
    if (best.empty()) return;
    char line[200];
    double tickRate = ticksPerMicrosecond();
    out << "\nPaths: each path's best rate (MB/s, 10^6 bytes; the median with aggregates only), against the fastest path;\n"
           "what the chooser saw at first use (its best run, against its fastest); the path chosen;\n"
           "the time the choice took at first use.\n\n";
    snprintf(line, sizeof line, "%-22s %-11s %9s %8s %8s  %-30s %s\n", "kernel", "path", "MB/s", "x best",
             "chooser", "chosen", "first use");
    out << line;
    for (const Kernel &k : kKernels) {
        const PathChoice *c = k.choice();
        int chosen = gh_path_chosen(*c);
        double fastestRate = 0, chosenRate = 0;
        std::string fastestName, chosenName;
        uint64_t fastestTicks = 0;
        for (int i = 0; i < c->count; ++i) {
            if (c->ticks[i] && (!fastestTicks || c->ticks[i] < fastestTicks)) fastestTicks = c->ticks[i];
        }
        // Every path this CPU runs (forced portable or not), from the runs.
        std::vector<std::pair<std::string, double>> paths;
        for (const auto &entry : best) {
            if (entry.first.rfind(std::string(k.name) + "/", 0) != 0) continue;
            paths.emplace_back(entry.first.substr(strlen(k.name) + 1), entry.second);
        }
        if (paths.empty()) continue;
        // In the chooser's order, then any it did not consider.
        std::vector<std::pair<std::string, double>> ordered;
        for (int i = 0; i < c->count; ++i) {
            for (auto &p : paths)
                if (p.first == c->names[i]) ordered.push_back(p);
        }
        for (auto &p : paths) {
            bool seen = false;
            for (int i = 0; i < c->count; ++i) seen = seen || p.first == c->names[i];
            if (!seen) ordered.push_back(p);
        }
        for (auto &p : ordered) {
            if (p.second > fastestRate) {
                fastestRate = p.second;
                fastestName = p.first;
            }
        }
        bool first = true;
        for (auto &p : ordered) {
            int index = -1;
            for (int i = 0; i < c->count; ++i)
                if (p.first == c->names[i]) index = i;
            bool isChosen = index >= 0 && c->paths[index] == chosen;
            if (isChosen) {
                chosenRate = p.second;
                chosenName = p.first;
            }
            char seen[16] = "-";
            if (index >= 0 && c->ticks[index] && fastestTicks)
                snprintf(seen, sizeof seen, "%.2f", static_cast<double>(fastestTicks) / c->ticks[index]);
            char cost[40] = "";
            if (first && c->how == PATH_HOW_TIMED && tickRate > 0)
                snprintf(cost, sizeof cost, "%.0f us, %d rounds", c->spent / tickRate, c->rounds);
            std::string mark = isChosen ? std::string("<- chosen (") + path_how_name(c->how) + ")" : "";
            snprintf(line, sizeof line, "%-22s %-11s %9.0f %8.2f %8s  %-30s %s\n", first ? k.name : "",
                     p.first.c_str(), p.second / 1e6, p.second / fastestRate, seen, mark.c_str(), cost);
            out << line;
            first = false;
        }
        if (chosenRate > 0 && chosenRate < 0.9 * fastestRate) {
            snprintf(line, sizeof line, "%-22s WRONG: %s runs %.2fx as fast as the chosen %s\n", "", fastestName.c_str(),
                     fastestRate / chosenRate, chosenName.c_str());
            out << line;
        }
    }
}

int registerAll() {
    // The choices first, as at a library's first calls.
    for (const Kernel &k : kKernels) k.choice();
    addDigests();
    addBase64();
    addConversions();
    addCrc();
    addScans<uint8_t>(scan_kernels8_for);
    addScans<uint32_t>(scan_kernels32_for);
    return bench_add_summary(printTable);
}
const int kRegistered = registerAll();

}  // namespace
