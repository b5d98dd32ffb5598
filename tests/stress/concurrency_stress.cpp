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
// none (NaN, huge numbers, counts that disagree with the parameters).  Half
// the calls of the text and authentication functions take parameters that
// make sense to them, so that each runs its whole path: splitstring takes
// items off the list in the named field (filled again before each batch;
// the field must end as it does alone), NTLMresponse answers valid
// challenge messages.  An NTLM answer differs on every call (a random
// client challenge, the time), so it is checked instead: its layout, its
// fields and its proofs, computed again from the credentials.
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
#include "emulator/ntlm_check.h"
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

// A call as a thread makes it; an NTLMresponse that must give an answer
// carries what the answer must hold.
struct Call {
    int32_t function = 0;
    std::vector<Param> params;
    std::optional<int32_t> reportedCount;
    std::optional<ghemu::NtlmExpectation> ntlm;
};

std::string base64(const std::vector<uint8_t> &bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t{bytes[i]} << 16;
        if (i + 1 < bytes.size()) v |= uint32_t{bytes[i + 1]} << 8;
        if (i + 2 < bytes.size()) v |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) out += i + k <= bytes.size() ? kAlphabet[v >> (18 - 6 * k) & 63] : '=';
    }
    return out;
}

// A challenge message (type 2): the target name's bytes, the target
// information's AV pairs (with the server's time when serverTime is set).
struct Challenge {
    std::string text;
    std::u32string hashDomain;
    std::optional<uint64_t> serverTime;
};

Challenge challengeMessage(const std::vector<uint8_t> &targetName, bool unicode, const std::u32string &hashDomain,
                           std::optional<uint64_t> serverTime) {
    std::vector<uint8_t> info;
    auto pair = [&info](uint16_t id, const std::vector<uint8_t> &value) {
        info.insert(info.end(), {uint8_t(id), uint8_t(id >> 8), uint8_t(value.size()), uint8_t(value.size() >> 8)});
        info.insert(info.end(), value.begin(), value.end());
    };
    pair(2, {'D', 0, 'O', 0, 'M', 0});
    if (serverTime) {
        std::vector<uint8_t> time;
        for (int i = 0; i < 8; ++i) time.push_back(static_cast<uint8_t>(*serverTime >> (8 * i)));
        pair(7, time);
    }
    pair(0, {});
    std::vector<uint8_t> m = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0, 2, 0, 0, 0};
    auto buffer = [&m](size_t length, size_t offset) {
        m.insert(m.end(), {uint8_t(length), uint8_t(length >> 8), uint8_t(length), uint8_t(length >> 8),
                           uint8_t(offset), uint8_t(offset >> 8), 0, 0});
    };
    buffer(targetName.size(), 48);
    m.insert(m.end(), {uint8_t(unicode ? 0x35 : 0x34), 0x82, 0x8a, 0xe2, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0});
    buffer(info.size(), 48 + targetName.size());
    m.insert(m.end(), targetName.begin(), targetName.end());
    m.insert(m.end(), info.begin(), info.end());
    return Challenge{base64(m), hashDomain, serverTime};
}

const std::vector<Challenge> &challenges() {
    static const std::vector<Challenge> kChallenges = {
        challengeMessage({'D', 0, 'o', 0, 'm', 0, 'a', 0, 'i', 0, 'n', 0}, true, U"DOMAIN", std::nullopt),  // UTF-16
        challengeMessage({'w', 'o', 'r', 'k', 0xE9}, false, U"WORK\u00c9", std::nullopt),                 // 8-bit
        challengeMessage({0xB1, 0x03, 'x', 0}, true, U"\u0391X", std::nullopt),        // UTF-16, a Greek capital
        challengeMessage({}, true, U"", uint64_t{133500000000000000}),                                    // the server's time
    };
    return kChallenges;
}

class Generator {
public:
    Generator(const ghemu::Library &library, unsigned long seed)
        : build_(library.build()), catalogue_(library.catalogue()), rng_(seed) {
        for (const ghemu::CatalogueFunction &f : library.catalogue().functions()) functions_.push_back(f.number);
    }

    Call next(const Result &previous) {
        Call c;
        uint32_t r = pick(100);
        c.function = r < 96 ? functions_[pick(static_cast<uint32_t>(functions_.size()))]
                            : (r < 98 ? 0 : static_cast<int32_t>(functions_.size()) + 1);
        if (pick(2) == 0 && sensible(c)) return c;
        size_t n = pick(6);
        for (size_t i = 0; i < n; ++i) c.params.push_back(param(previous));
        uint32_t count = pick(20);
        if (count == 0) c.reportedCount = static_cast<int32_t>(n) + 1;
        if (count == 1) c.reportedCount = static_cast<int32_t>(n) - 1;
        if (count == 2) c.reportedCount = -1 - static_cast<int32_t>(pick(40000));
        return c;
    }

    // The list splitstring takes items off, as the batch starts.
    Value list() {
        static const char *const kItems[] = {"a", "b,c", "\"c,d\"", "", " e ", "'f;g'", "item"};
        static const char *const kDelimiters[] = {",", ";", ", "};
        std::string t;
        for (uint32_t i = 0, n = pick(12); i < n; ++i) {
            t += kItems[pick(sizeof kItems / sizeof kItems[0])];
            t += kDelimiters[pick(3)];
        }
        return Value::ofUtf8(build_, t);
    }

private:
    uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    template <size_t N>
    Param text(const char *const (&choices)[N]) {
        return Param{Value::ofUtf8(build_, choices[pick(N)]), {}, {}};
    }
    Param number(std::initializer_list<double> choices) {
        return Param{Value::ofNumber(choices.begin()[pick(static_cast<uint32_t>(choices.size()))]), {}, {}};
    }
    Param repeated(const char *t, uint32_t most) {
        std::string s;
        for (uint32_t i = 0, n = 1 + pick(most); i < n; ++i) s += t;
        return Param{Value::ofUtf8(build_, s), {}, {}};
    }
    void optional(Call &c, Param p) {
        if (pick(2)) c.params.push_back(std::move(p));
    }

    // Parameters that make sense to the text and authentication functions;
    // false for the others.
    bool sensible(Call &c) {
        const ghemu::CatalogueFunction *f = catalogue_.find(static_cast<int16_t>(c.function));
        if (!f) return false;
        const std::string &name = f->name;
        static const char *const kLists[] = {"a,b,\"c,d\",e", "x;y;z", ",,", "one", "'a,b',c,'d", "a, b, c"};
        static const char *const kDelimiters[] = {",", ";", ", ", "b", "\""};
        static const char *const kPaths[] = {"C:\\dir\\sub\\file.txt", "file", "\\", "a\\", "\\\\server\\share\\x"};
        static const char *const kNumbers[] = {"  -12.5abc 34", "x 3.25", "007", "-", "1e5", "abc-42", "12.", "-0.5-"};
        static const char *const kLines[] = {"one\r\ntwo\r\n", "a\nb\n\nc", "a\rb", "no break", "\r\n\r\n",
                                              "the quick brown fox jumps over the lazy dog "};
        static const char *const kBreaks[] = {"\r\n", "\n", "\r", "<br>", "|"};
        static const char *const kUsers[] = {"user", "Administrator", "x", "tim"};
        if (name == "splitstring") {
            c.params = {Param{Value::ofUtf8(build_, "field"), {}, {}}, text(kDelimiters)};
            if (pick(2)) {
                c.params.push_back(number({0, 1, 2, 3, -1}));
                optional(c, number({0, 1}));
            }
        } else if (name == "indexedPart" || name == "indexOfPart") {
            static const char *const kParts[] = {"b", "c,d", "y", "one", "'d", "", " b"};
            c.params = {name == "indexedPart" ? number({1, 2, 3, 4, 0, -1, 65537}) : text(kParts),
                        pick(2) ? text(kLists) : repeated("a,b,\"c,d\",e,", 3), text(kDelimiters)};
            optional(c, number({0, 1}));
        } else if (name == "stripNullBytes") {
            c.params = {Param{Value::ofText(U"a\0b\0\0c" + std::u32string(pick(4), U'\0')), {}, {}}};
        } else if (name == "howMany") {
            static const char *const kPatterns[] = {"a", "aa", "ab", ",", "the", ""};
            c.params = {text(kPatterns), pick(2) ? repeated("aab,", 50) : text(kLines)};
        } else if (name == "filenameOfPath" || name == "folderPartOfPath") {
            c.params = {text(kPaths)};
        } else if (name == "reduceToAlphanumeric") {
            static const char *const kKeep[] = {"", "-.", " ", "\""};
            c.params = {pick(2) ? text(kNumbers) : text(kPaths), text(kKeep)};
            for (int i = 0; i < 3 && pick(2); ++i) c.params.push_back(number({0, 1}));
        } else if (name.find("Integer") != std::string::npos || name.find("Decimal") != std::string::npos) {
            c.params = {text(kNumbers)};
            optional(c, number({0, 1}));
        } else if (name == "wrapLinesWith") {
            static const char *const kStarts[] = {"", "> ", "#"};
            c.params = {pick(2) ? repeated("the quick brown fox jumps\r\n", 40) : text(kLines), text(kStarts),
                        text(kBreaks), number({10, 16, 40, 76, 9, 32767})};
        } else if (name == "setLinebreaks") {
            c.params = {pick(2) ? repeated("line\r\n", 100) : text(kLines), text(kBreaks)};
        } else if (name == "makeCRAMresponse") {
            static const char *const kChallenges[] = {"PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+",
                                                      "PDEyMzQ1QGhvc3Q+\r\n", "not base64", ""};
            static const char *const kPasswords[] = {"tanstaaftanstaaf", "secret", "p\xc3\xa4ss"};
            c.params = {text(kChallenges), text(kUsers), text(kPasswords)};
        } else if (name == "NTLMchallenge") {
            c.params = {};
        } else if (name == "NTLMresponse") {
            const Challenge &challenge = challenges()[pick(static_cast<uint32_t>(challenges().size()))];
            static const char32_t *const kNames[] = {U"User", U"j\u00fcrgen", U"Administrator"};
            static const char32_t *const kCapitals[] = {U"USER", U"J\u00dcRGEN", U"ADMINISTRATOR"};
            size_t who = pick(3);
            std::u32string password = pick(2) ? U"Password" : U"p\u00e4ss w0rd";
            std::u32string workstation = pick(2) ? U"COMPUTER" : U"ws";
            c.params = {Param{Value::ofUtf8(build_, challenge.text), {}, {}}, Param{Value::ofText(kNames[who]), {}, {}},
                        Param{Value::ofText(password), {}, {}}, Param{Value::ofText(workstation), {}, {}}};
            ghemu::NtlmExpectation e;
            e.challenge = ghemu::base64Prefix(challenge.text);
            e.user = kNames[who];
            e.password = password;
            e.workstation = workstation;
            e.hashUser = kCapitals[who];
            e.hashDomain = challenge.hashDomain;
            e.time = challenge.serverTime;
            c.ntlm = e;
        } else {
            return false;
        }
        return true;
    }

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
    const ghemu::Catalogue &catalogue_;
    std::mt19937_64 rng_;
    std::vector<int32_t> functions_;
};

// Calls made on C between two turns of calls made alone: the turns order
// everything before them for ThreadSanitizer, so only calls of one stretch
// can be seen to race; long stretches find more.
constexpr int kBatch = 64;

// Calls in flight hold it shared; calls made alone hold it exclusively.
std::shared_mutex gAlone;
std::atomic<bool> gFailed{false};
constexpr size_t kFunctionSlots = 256;
std::atomic<bool> gVaries[kFunctionSlots];  // functions whose results depend on the moment
// Per function: calls made, and those that gave more than the failure
// result (a value other than the empty text, or a field changed); NTLM
// answers checked.
std::atomic<size_t> gCalls[kFunctionSlots], gAnswered[kFunctionSlots], gNtlmChecked{0};
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
            Value list = generator_.list();
            for (ghemu::Host *h : {&hostC_, &hostA_, &hostB_}) h->setField(U"field", list);
            {
                std::shared_lock<std::shared_mutex> inFlight(gAlone);
                for (int i = 0; i < kBatch; ++i) {
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
        if (concurrent.changedFields != a.changedFields) {
            return report(where + ": the named fields end otherwise than alone");
        }
        size_t slot = static_cast<uint16_t>(c.function) % kFunctionSlots;
        ++gCalls[slot];
        const Result &r = a.result;
        if ((r.set && !(r.value.isText() && r.value.text().empty())) || !a.changedFields.empty()) ++gAnswered[slot];
        if (c.ntlm) {
            gNtlmChecked += 2;
            for (const CallOutcome *o : {&concurrent, &a}) {
                std::string problem = o->result.set && o->result.value.isText()
                                          ? ghemu::checkNtlmAuthenticate(ghemu::encodeUtf8(o->result.value.text()), *c.ntlm)
                                          : "no text set";
                if (!problem.empty()) {
                    return report(where + (o == &a ? " alone" : " concurrently") + ": " + problem);
                }
            }
            return;
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
    // Which functions were reached, and which never gave more than their
    // failure result (a short run on a slow machine may leave a few).
    size_t reached = 0;
    std::string idle;
    const ghemu::Catalogue &catalogue = libraries.front()->catalogue();
    for (const ghemu::CatalogueFunction &f : catalogue.functions()) {
        size_t slot = static_cast<uint16_t>(f.number) % kFunctionSlots;
        if (gCalls[slot]) ++reached;
        if (!gAnswered[slot]) idle += " " + f.name;
    }
    std::printf("gh_stress: %zu of %zu functions called; NTLM answers checked: %zu; never more than the failure "
                "result:%s\n",
                reached, catalogue.functions().size(), gNtlmChecked.load(), idle.empty() ? " none" : idle.c_str());
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
