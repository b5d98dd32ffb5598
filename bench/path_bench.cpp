// Every path of every kernel (library/kernel_list.h), and the path the
// library chose: a wrong choice shows at a glance.
//
//   build/linux-release/bin/gh_bench --benchmark_filter='^paths/' --benchmark_repetitions=3
//
// `paths/<kernel>/<path>` runs one path over warm buffers of 1 MiB (the
// sustained rate: the paths are meant for large values; the small ones
// cost little whatever the path): rates are the bytes the kernel reads, as
// in the other benchmarks (Base64 decoding: the bytes it writes).  After the
// runs a table lists, per kernel, each path's best rate, its rate against
// the fastest path, the chosen path and why, and a verdict: "WRONG" when
// the chosen path runs more than 5 % slower than the fastest.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_summary.h"
#include "cipher/blowfish_kernels.h"
#include "digest/digest_paths.h"
#include "encoding/base64.h"
#include "encoding/base64_codec.h"
#include "encoding/crc16_kernels.h"
#include "library/kernel_list.h"
#include "platform/charcodec_kernels.h"
#include "text/scan_kernels.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Run = std::function<void(benchmark::State &)>;

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

// 1 MiB, or GH_PATHS_BYTES bytes (to see where a path wins on small values).
size_t bytesFromEnvironment() {
    const char *v = getenv("GH_PATHS_BYTES");
    long n = v ? strtol(v, nullptr, 10) : 0;
    return n >= 1024 ? static_cast<size_t>(n) / 64 * 64 : size_t{1} << 20;
}
const size_t kBytes = bytesFromEnvironment();

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
    for (int i = 0; i < gSha1Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha1Kernel, i)) continue;
        Sha1BlocksFn f = sha1_blocks_of(gSha1Kernel.paths[i]);
        add("sha1", gSha1Kernel.paths[i].name, digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha1Context c;
                sha1_init_with(&c, f);
                sha1_update(&c, d, n);
                sha1_final(&c, out);
            }, kBytes));
    }
    for (int i = 0; i < gSha256Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha256Kernel, i)) continue;
        Sha256BlocksFn f = sha256_blocks_of(gSha256Kernel.paths[i]);
        add("sha256", gSha256Kernel.paths[i].name, digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha256Context c;
                sha256_init_with(&c, f);
                sha256_update(&c, d, n);
                sha256_final(&c, out);
            }, kBytes));
    }
    for (int i = 0; i < gSha512Kernel.count; ++i) {
        if (!gh_kernel_path_runs(gSha512Kernel, i)) continue;
        Sha512BlocksFn f = sha512_blocks_of(gSha512Kernel.paths[i]);
        add("sha512", gSha512Kernel.paths[i].name, digestRun([f](const uint8_t *d, size_t n, uint8_t *out) {
                Sha512Context c;
                sha512_init_with(&c, f);
                sha512_update(&c, d, n);
                sha512_final(&c, out);
            }, kBytes));
    }
}

void addBase64() {
    const Base64Codec *portable = base64_codec_of(gBase64EncodeKernel.paths[gBase64EncodeKernel.count - 1]);
    for (int i = 0; i < gBase64EncodeKernel.count; ++i) {
        if (!gh_kernel_path_runs(gBase64EncodeKernel, i)) continue;
        const Base64Codec *codec = base64_codec_of(gBase64EncodeKernel.paths[i]);
        add("base64_encode", codec->name, [codec](benchmark::State &state) {
            Bytes in = randomBytes(kBytes), out(base64_encoded_length(kBytes) + 1);
            for (auto _ : state) {
                benchmark::DoNotOptimize(base64_encode_text_with(codec, out.data(), in.data(), in.size()));
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
        });
    }
    for (int i = 0; i < gBase64DecodeKernel.count; ++i) {
        if (!gh_kernel_path_runs(gBase64DecodeKernel, i)) continue;
        const Base64Codec *codec = base64_codec_of(gBase64DecodeKernel.paths[i]);
        add("base64_decode", codec->name, [codec, portable](benchmark::State &state) {
            Bytes in = randomBytes(kBytes), text(base64_encoded_length(kBytes) + 1), out(kBytes + 1);
            size_t length = base64_encode_text_with(portable, text.data(), in.data(), in.size());
            for (auto _ : state) {
                benchmark::DoNotOptimize(base64_decode_unwrapped_with(codec, out.data(), text.data(), length, kBytes));
                benchmark::ClobberMemory();
            }
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
        });
    }
}

enum Conversion { kLength, kEncode, kWiden, kNarrow };

// 1 MiB read: 256 Ki characters, or 1 Mi bytes to widen.
Run conversionRun(const CharCodecKernels *k, Conversion what) {
    return [k, what](benchmark::State &state) {
        const size_t kChars = what == kWiden ? kBytes : kBytes / 4;
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
    const Conversion kWhat[CHARCODEC_FUNCTIONS] = {kLength, kEncode, kWiden, kNarrow};
    for (int f = 0; f < CHARCODEC_FUNCTIONS; ++f) {
        const Kernel &kernel = gCharCodecKernels[f];
        for (int i = 0; i < kernel.count; ++i) {
            if (gh_kernel_path_runs(kernel, i)) add(kernel.name, kernel.paths[i].name, conversionRun(&charcodec_set_of(kernel.paths[i]), kWhat[f]));
        }
    }
}

void addCrc() {
    for (const Kernel *kernel : {&gCrc16XmodemKernel, &gCrc16X25Kernel}) {
        for (int i = 0; i < kernel->count; ++i) {
            if (!gh_kernel_path_runs(*kernel, i)) continue;
            const Crc16Variant &v = crc16_variant_of(kernel->paths[i]);
            Crc16Kernel fn = kernel == &gCrc16X25Kernel ? v.lsb : v.msb;
            add(kernel->name, v.name, [fn](benchmark::State &state) {
                Bytes data = randomBytes(kBytes);
                uint16_t crc = 0;
                for (auto _ : state) {
                    crc = fn(crc, data.data(), data.size());
                    benchmark::DoNotOptimize(crc);
                }
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
            });
        }
    }
}

void addBlowfish() {
    BlowfishContext ctx;
    const uint8_t key[] = "a sixteen byte k";
    blowfish_init(&ctx, key, sizeof key - 1);
    for (const Kernel *kernel : {&gBlowfishEncryptKernel, &gBlowfishDecryptKernel}) {
        for (int i = 0; i < kernel->count; ++i) {
            if (!gh_kernel_path_runs(*kernel, i)) continue;
            const BlowfishEcbPath &p = blowfish_path_of(kernel->paths[i]);
            BlowfishEcbFn fn = kernel == &gBlowfishEncryptKernel ? p.encrypt : p.decrypt;
            add(kernel->name, p.name, [fn, ctx](benchmark::State &state) {
                Bytes data = randomBytes(kBytes);
                for (auto _ : state) {
                    fn(&ctx, data.data(), data.size() / 8);
                    benchmark::ClobberMemory();
                }
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
            });
        }
    }
}

// The text scans over 1 MiB of comma-separated words, each used as the
// text functions use it: searches for the next delimiter again and again,
// the windows of wrapped lines, a whole count, a filtering copy, the marks
// of the breaks and places to break.  Rates:
// the text's bytes.
template <class C>
std::vector<C> csvSample() {
    const size_t kScanChars = kBytes / sizeof(C);
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
    case TEXT_SCAN_MARK_CHARS: {
        // As wrapping marks a text: 4096 characters at a time.
        uint64_t equal[64], atMost[64];
        for (size_t i = 0; i < n; i += 4096) {
            k.markChars(s + i, n - i < 4096 ? n - i : 4096, C('\n'), C(' '), equal, atMost);
            sum += equal[0] ^ atMost[0];
        }
        return sum;
    }
    default:
        return k.copyBreaks(work.data(), s, n, C('\r'), C('\n'), true);
    }
}

template <class C>
void addScans(Kernel *kernels) {
    for (int f = 0; f < TEXT_SCAN_FUNCTIONS; ++f) {
        const Kernel &kernel = kernels[f];
        auto function = static_cast<TextScanFunction>(f);
        for (int i = 0; i < kernel.count; ++i) {
            if (!gh_kernel_path_runs(kernel, i)) continue;
            const ScanKernels<C> *k = &scan_set_of<C>(kernel.paths[i]);
            add(kernel.name, k->name, [k, function](benchmark::State &state) {
                std::vector<C> t = csvSample<C>(), work(t.size());
                CharKeepSet keep = {};
                for (int c = 0; c < 256; ++c) keep.byteKept[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == ',';
                for (auto _ : state) {
                    benchmark::DoNotOptimize(scanRun(*k, function, t, work, keep));
                    benchmark::ClobberMemory();
                }
                state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
            });
        }
    }
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
    out << "\nPaths: each path's best rate (MB/s, 10^6 bytes; the median with aggregates only), against the\n"
           "fastest path; the chosen path and why; WRONG where it runs more than 5 % slower than the fastest.\n\n";
    snprintf(line, sizeof line, "%-22s %-11s %9s %8s  %s\n", "kernel", "path", "MB/s", "x best", "chosen");
    out << line;
    for (int n = 0; n < kAllKernelCount; ++n) {
        Kernel *k = kAllKernels[n];
        int chosen = gh_kernel_path(k);
        double fastestRate = 0, chosenRate = 0;
        std::string fastestName;
        for (int i = 0; i < k->count; ++i) {
            auto it = best.find(std::string(k->name) + "/" + k->paths[i].name);
            if (it != best.end() && it->second > fastestRate) {
                fastestRate = it->second;
                fastestName = k->paths[i].name;
            }
        }
        if (fastestRate == 0) continue;
        bool first = true;
        for (int i = 0; i < k->count; ++i) {
            auto it = best.find(std::string(k->name) + "/" + k->paths[i].name);
            if (it == best.end()) continue;
            if (i == chosen) chosenRate = it->second;
            std::string mark = i == chosen ? std::string("<- ") + gh_kernel_how_name(k->how) : "";
            snprintf(line, sizeof line, "%-22s %-11s %9.0f %8.2f  %s\n", first ? k->name : "", k->paths[i].name,
                     it->second / 1e6, it->second / fastestRate, mark.c_str());
            out << line;
            first = false;
        }
        if (chosenRate > 0 && chosenRate < 0.95 * fastestRate) {
            snprintf(line, sizeof line, "%-22s WRONG: %s runs %.2fx as fast as the chosen %s\n", "", fastestName.c_str(),
                     fastestRate / chosenRate, k->paths[chosen].name);
            out << line;
        }
    }
}

int registerAll() {
    // The choices first, as at a library's first calls.
    for (int n = 0; n < kAllKernelCount; ++n) gh_kernel_path(kAllKernels[n]);
    addDigests();
    addBase64();
    addConversions();
    addCrc();
    addBlowfish();
    addScans<uint8_t>(gScanKernels8);
    addScans<uint32_t>(gScanKernels32);
    return bench_add_summary(printTable);
}
const int kRegistered = registerAll();

}  // namespace
