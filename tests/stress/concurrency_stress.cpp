// Concurrent instances: several threads, each with its own connected
// instances, call every function of the catalogue in random order with
// random valid and invalid parameters, and every result must equal that of
// the same call made alone.
//
// Each thread keeps three instances that see the same calls: C, whose calls
// run at the same time as the other threads' calls, and A and B, whose
// calls run alone (under an exclusive lock that waits for every call in
// flight).  A thread makes a batch of calls on C, then the same batch on A
// and B with the lock held, and compares.  Where A and B disagree (or the
// same call a moment later disagrees) the function's result depends on the
// moment (a time stamp, a random nonce): then only the result's type must
// agree.  The functions come from the
// loaded catalogue, built or not, so new functions join by themselves; the
// parameters are drawn from values that make sense to some function (texts
// of digits, Base64, percent escapes, delimited parts, paths, keys, the
// name of a host field, the previous result) and values that make sense to
// none (NaN, huge numbers, counts that disagree with the parameters).
//
// At the end every instance is disconnected and the memory manager must
// hold what it held at the start (where it can tell: glyphmem on Linux).
// Built with ThreadSanitizer (preset linux-tsan) the same run checks for
// data races in the libraries, glyphmem and processor detection included.
//
//   gh_stress [--seconds S] [--threads N] [--seed N] [--library PATH]...
//
// By default 8 threads for 3 seconds on both builds next to the program
// (threads alternate between the libraries), with a seed from the clock,
// printed so that a failure can be repeated.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/library.h"
#include "emulator/system.h"

namespace {

using ghemu::Build;
using ghemu::CallOutcome;
using ghemu::Param;
using ghemu::Result;
using ghemu::Value;

const char kFileName[] = "gh_stress_file.bin";

struct Options {
    double seconds = 3;
    unsigned threads = 8;
    unsigned long seed = 0;
    std::vector<std::string> libraries;
};

// A call as a thread makes it.
struct Call {
    int32_t function = 0;
    std::vector<Param> params;
    std::optional<int32_t> reportedCount;
};

class Generator {
public:
    Generator(const ghemu::Library &library, unsigned long seed) : build_(library.build()), rng_(seed) {
        for (const ghemu::CatalogueFunction &f : library.catalogue().functions()) functions_.push_back(f.number);
    }

    Call next(const Result &previous) {
        Call c;
        uint32_t r = pick(100);
        c.function = r < 96 ? functions_[pick(static_cast<uint32_t>(functions_.size()))]
                            : (r < 98 ? 0 : static_cast<int32_t>(functions_.size()) + 1);
        size_t n = pick(6);
        for (size_t i = 0; i < n; ++i) c.params.push_back(param(previous));
        uint32_t count = pick(20);
        if (count == 0) c.reportedCount = static_cast<int32_t>(n) + 1;
        if (count == 1) c.reportedCount = static_cast<int32_t>(n) - 1;
        if (count == 2) c.reportedCount = -1 - static_cast<int32_t>(pick(40000));
        return c;
    }

private:
    uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    Param param(const Result &previous) {
        static const double kNumbers[] = {0, 1, 2, 3, 4, 8, 16, -1, 255, 65536, 65537, 2147483647.0, 1e12, -1e300,
                                          0.5, 3.99, std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity()};
        static const char *const kTexts[] = {
            "", "abc", "a,b,\"c,d\",e", "TWFu", "TW\r\nFu==", "%41%42%4a%zz", "a b&c%2x\r\n", "00abFF", "  -12.5abc 34",
            "x 3.25", "C:\\dir\\sub\\file.txt", "line one\r\nline two\nline three", "key", "b", ",", "field",
            "the quick brown fox jumps over the lazy dog", "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
            "TlRMTVNTUAACAAAAAAAAADAAAAABggAAAQIDBAUGBwgAAAAAAAAAAAAAAAAwAAAA", kFileName};
        Param p;
        uint32_t kind = pick(10);
        if (kind == 0 && previous.set) {
            p.value = previous.value;
        } else if (kind <= 2) {
            p.value = Value::ofNumber(kNumbers[pick(sizeof kNumbers / sizeof kNumbers[0])]);
        } else if (kind <= 6) {
            std::string t = kTexts[pick(sizeof kTexts / sizeof kTexts[0])];
            if (pick(8) == 0) {
                std::string longer;
                for (uint32_t i = 0, times = 1 + pick(300); i < times; ++i) longer += t;
                t = longer;
            }
            p.value = Value::ofUtf8(build_, t);
            if (pick(6) == 0) {  // characters of every size, zero included
                std::u32string codes = p.value.text();
                for (uint32_t i = 0, extra = 1 + pick(8); i < extra; ++i) {
                    static const char32_t kCodes[] = {0, 0xE9, 0x80, 0xFF, 0x100, 0x20AC, 0xD800, 0x1F600, 0x10FFFF};
                    codes.insert(codes.begin() + pick(static_cast<uint32_t>(codes.size() + 1)),
                                 build_ == Build::Byte ? kCodes[pick(4)] : kCodes[pick(9)]);
                }
                p.value = Value::ofText(codes);
            }
        } else {
            std::vector<uint8_t> bytes(pick(8) == 0 ? pick(5000) : pick(64));
            for (uint8_t &b : bytes) b = static_cast<uint8_t>(rng_());
            p.value = Value::ofBinary(std::move(bytes));
        }
        if (pick(10) == 0) p.kind = static_cast<int16_t>(pick(3) == 0 ? 14 + pick(3) : pick(40));
        if (pick(20) == 0) p.fieldNumber = static_cast<int16_t>(-1 - static_cast<int32_t>(pick(5)));
        return p;
    }

    Build build_;
    std::mt19937_64 rng_;
    std::vector<int32_t> functions_;
};

// Calls in flight hold it shared; calls made alone hold it exclusively.
std::shared_mutex gAlone;
std::atomic<bool> gFailed{false};
constexpr size_t kFunctionSlots = 256;
std::atomic<bool> gVaries[kFunctionSlots];  // functions whose results depend on the moment
std::mutex gReport;

void report(const std::string &what) {
    std::lock_guard<std::mutex> lock(gReport);
    std::fprintf(stderr, "%s\n", what.c_str());
    gFailed = true;
}

std::string describe(const ghemu::Library &lib, const Call &c) {
    const ghemu::CatalogueFunction *f = lib.catalogue().find(static_cast<int16_t>(c.function));
    std::string s = (f ? f->name : "#" + std::to_string(c.function)) + "(";
    for (size_t i = 0; i < c.params.size(); ++i) {
        std::string v = ghemu::describeValue(c.params[i].value, lib.build());
        s += (i ? ", " : "") + (v.size() > 60 ? v.substr(0, 60) + "..." : v);
    }
    return s + ")";
}

class Worker {
public:
    Worker(ghemu::Library &library, unsigned long seed, unsigned index)
        : library_(library), generator_(library, seed), index_(index), hostC_(library.build()),
          hostA_(library.build()), hostB_(library.build()) {
        for (ghemu::Host *h : {&hostC_, &hostA_, &hostB_}) h->setField(U"field", Value::ofText(U"a,b,c"));
    }

    void run(std::chrono::steady_clock::time_point until) {
        connect();
        Result previous;
        size_t calls = 0;
        while (std::chrono::steady_clock::now() < until && !gFailed) {
            std::vector<Call> batch;
            std::vector<CallOutcome> concurrent;
            {
                std::shared_lock<std::shared_mutex> inFlight(gAlone);
                for (int i = 0; i < 16; ++i) {
                    batch.push_back(generator_.next(previous));
                    concurrent.push_back(make(hostC_, instanceC_, batch.back()));
                    if (concurrent.back().result.set) previous = concurrent.back().result;
                }
            }
            std::unique_lock<std::shared_mutex> alone(gAlone);
            for (size_t i = 0; i < batch.size(); ++i) {
                CallOutcome a = make(hostA_, instanceA_, batch[i]);
                CallOutcome b = make(hostB_, instanceB_, batch[i]);
                check(batch[i], concurrent[i], a, b);
            }
            calls += batch.size();
        }
        disconnect();
        calls_ = calls;
    }

    size_t calls() const { return calls_; }

private:
    CallOutcome make(ghemu::Host &host, ghemu::Instance &instance, const Call &c) {
        host.setFunctionNumber(c.function);
        host.setParams(c.params);
        host.setParamCount(c.reportedCount);
        return library_.call(instance, host);
    }

    void check(const Call &c, const CallOutcome &concurrent, const CallOutcome &a, const CallOutcome &b) {
        std::string where = "thread " + std::to_string(index_) + " [" + ghemu::buildName(library_.build()) +
                            "] " + describe(library_, c);
        for (const CallOutcome *o : {&concurrent, &a, &b}) {
            if (!o->ok()) return report(where + ": " + o->problemText());
        }
        // A result that depends on the moment (a time stamp of a millisecond)
        // can agree between A and B and still differ from the earlier C: a
        // difference is confirmed by the same call alone once more, a moment
        // later, before it counts.  A function found to vary is compared by
        // the type of its result from then on.
        std::atomic<bool> &varies = gVaries[static_cast<uint16_t>(c.function) % kFunctionSlots];
        if (!varies && a.result != b.result) varies = true;
        if (!varies && concurrent.result != a.result) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
            if (make(hostB_, instanceB_, c).result != a.result) varies = true;
        }
        if (!varies ? concurrent.result != a.result
                    : concurrent.result.set != a.result.set || concurrent.result.type != a.result.type) {
            report(where + ":\n  concurrently " + ghemu::describeResult(concurrent.result, library_.build()) +
                   "\n  alone        " + ghemu::describeResult(a.result, library_.build()));
        }
    }

    void connect() {
        ghemu::Host &h = hostC_;
        for (ghemu::Instance *i : {&instanceC_, &instanceA_, &instanceB_}) {
            CallOutcome out = library_.connect(*i, h);
            if (!i->slot || !out.ok()) report("thread " + std::to_string(index_) + ": connect failed");
        }
    }

    void disconnect() {
        for (ghemu::Instance *i : {&instanceC_, &instanceA_, &instanceB_}) library_.disconnect(*i, hostC_);
    }

    ghemu::Library &library_;
    Generator generator_;
    unsigned index_;
    ghemu::Host hostC_, hostA_, hostB_;
    ghemu::Instance instanceC_, instanceA_, instanceB_;
    size_t calls_ = 0;
};

bool parse(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--threads" && hasValue) {
            o.threads = static_cast<unsigned>(std::atoi(argv[++i]));
        } else if (a == "--seed" && hasValue) {
            o.seed = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--library" && hasValue) {
            o.libraries.push_back(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: gh_stress [--seconds S] [--threads N] [--seed N] [--library PATH]...\n");
            return false;
        }
    }
    return o.threads > 0 && o.seconds > 0;
}

int run(int argc, char **argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;
    if (!options.seed) {
        options.seed = static_cast<unsigned long>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000007u;
    }
    if (options.libraries.empty()) {
        options.libraries = {ghemu::libraryPathNextToExecutable(true), ghemu::libraryPathNextToExecutable(false)};
    }
    std::vector<std::unique_ptr<ghemu::Library>> libraries;
    for (const std::string &path : options.libraries) {
        libraries.push_back(ghemu::Library::load(path));
        libraries.back()->setMemoryChecks(false);
    }
    {
        std::ofstream file(kFileName, std::ios::binary);
        for (int i = 0; i < 5000; ++i) file.put(static_cast<char>(i * 31));
    }
    std::printf("gh_stress: %u threads, %.1f s, seed %lu\n", options.threads, options.seconds, options.seed);
    std::fflush(stdout);

    ghemu::MemoryCounters before = ghemu::memoryCounters();
    std::vector<std::unique_ptr<Worker>> workers;
    for (unsigned t = 0; t < options.threads; ++t) {
        workers.push_back(std::make_unique<Worker>(*libraries[t % libraries.size()], options.seed * 1000 + t, t));
    }
    auto until = std::chrono::steady_clock::now() +
                 std::chrono::milliseconds(static_cast<long long>(options.seconds * 1000));
    std::vector<std::thread> threads;
    for (auto &w : workers) threads.emplace_back([&w, until] { w->run(until); });
    for (std::thread &t : threads) t.join();

    size_t calls = 0;
    for (auto &w : workers) calls += w->calls();
    workers.clear();
    std::remove(kFileName);
    ghemu::MemoryCounters after = ghemu::memoryCounters();
    if (after.blocks != before.blocks || after.heap != before.heap || after.misuse != before.misuse) {
        report("memory: " + std::to_string(after.blocks - before.blocks) + " block(s) and " +
               std::to_string(after.heap - before.heap) + " heap buffer(s) left live, " +
               std::to_string(after.misuse - before.misuse) + " handle(s) misused");
    }
    std::printf("gh_stress: %zu calls made concurrently, each compared with the same call made alone: %s (seed %lu)\n",
                calls, gFailed ? "FAILED" : "all equal", options.seed);
    return gFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        ghemu::useExactOutput();
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "gh_stress: %s\n", e.what());
    }
    return 2;
}
