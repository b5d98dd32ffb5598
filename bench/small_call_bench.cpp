// Small calls: every catalogue function on a small, typical value (16 to 64
// characters, or a short list of parts), as an application makes them most
// of the time.
//
//   small/call/<function>/<build>  the whole call: the entry point called
//       directly, a replay host answering (replay_host.h), so each
//       callback does only its work (copy a value out, hand over a block,
//       copy out what is set)
//   small/bare/<function>/<build>  the algorithm alone on the same value,
//       its buffers made before the loop
//   small/evp/<function>           what a user would reach for instead:
//       OpenSSL's one-shot calls (EVP_Digest, EVP_EncodeBlock,
//       EVP_DecodeBlock) on the same bytes
//
// The table printed at the end gives calls a second, the callbacks of one
// call by operation, and the library's own time: the whole call less the
// bare algorithm.
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "auth/cram_md5.h"
#include "auth/ntlm.h"
#include "bench/bench_summary.h"
#include "bench/replay_host.h"
#include "bench/whole_call.h"
#include "cipher/blowfish.h"
#include "cipher/blowfish_ecb.h"
#include "cipher/blowfish_text.h"
#include "digest/digest_any.h"
#include "digest/md4.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "digest/sha256.h"
#include "digest/sha512.h"
#include "emulator/host_args.h"
#include "emulator/library.h"
#include "encoding/base64.h"
#include "encoding/binary_utils.h"
#include "encoding/crc16.h"
#include "encoding/hex.h"
#include "encoding/percent.h"
#include "platform/nonce.h"
#include "text/lines.h"
#include "text/numbers.h"
#include "text/parts.h"
#include "text/small_text.h"

void openssl_md4(const uint8_t *data, size_t len, uint8_t *out);

namespace {

using ghemu::Build;
using ghemu::Param;
using ghemu::Value;

const char kKey[] = "correct horse battery";
const char kChallenge[] =
    "TlRMTVNTUAACAAAADAAMADAAAAAzgoriASNFZ4mrze8AAAAAAAAAACQAJAA8AAAARABPAE0AQQBJAE4AAgAMAEQAbwBtAGEAaQBuAAEADABTAGUA"
    "cgB2AGUAcgAAAAAA";

// The values of a call as the bare algorithms take them: texts as
// characters of the build (bytes or 32-bit), binary as bytes, numbers.
template <class C>
struct Values {
    std::vector<std::vector<C>> text;
    std::vector<std::vector<uint8_t>> bytes;  // binary values, or a text's low 8 bits
    std::vector<double> number;
};

template <class C>
Values<C> valuesOf(const std::vector<Param> &params) {
    Values<C> v;
    for (const Param &p : params) {
        std::vector<C> chars;
        std::vector<uint8_t> bytes = p.value.bytes;
        if (p.value.isText()) {
            for (size_t i = 0; i < p.value.textLength(); ++i) chars.push_back(static_cast<C>(p.value.code(i)));
            bytes.assign(chars.begin(), chars.end());
        }
        v.text.push_back(chars);
        v.bytes.push_back(bytes);
        v.number.push_back(p.value.isNumber() ? p.value.number : 0);
    }
    return v;
}

// One bare run, its buffers made once; returned by a maker for a build.
using BareRun = std::function<void()>;

template <class C>
using BareMaker = BareRun (*)(const Values<C> &);

template <class C>
BareRun digestOf(const HashClass *hash, const Values<C> &v) {
    return [hash, in = v.bytes[0]] {
        uint8_t out[64];
        char text[129];
        digest_compute(hash, out, in.data(), in.size());
        for (size_t i = 0; i < hash->outputSize; ++i) {
            text[2 * i] = static_cast<char>(out[i]);
            byte_to_hex_in_place(&text[2 * i]);
        }
        benchmark::DoNotOptimize(text);
    };
}

template <class C>
BareRun partsOf(const Values<C> &v, size_t tokenAt, bool nth) {
    auto d = std::make_shared<PartDelimiter<C>>();
    part_delimiter_init(d.get(), v.text[tokenAt].data(), v.text[tokenAt].size(), false);
    size_t number = static_cast<size_t>(v.number[0]);
    return [d, v, nth, number] {
        if (nth) {
            benchmark::DoNotOptimize(nth_part(*d, v.text[1].data(), v.text[1].size(), number));
        } else {
            benchmark::DoNotOptimize(
                index_of_part(*d, v.text[1].data(), v.text[1].size(), v.text[0].data(), v.text[0].size()));
        }
    };
}

// A sink over a buffer big enough for any of these values.
template <class C>
struct Buffer {
    std::vector<C> data = std::vector<C>(4096);
    TextSink<C> sink() { return TextSink<C>{data.data(), 0, data.size(), nullptr, nullptr}; }
};

template <class C>
BareRun inPlace(const Values<C> &v, std::function<size_t(C *, size_t)> work) {
    auto copy = std::make_shared<std::vector<C>>(v.text[0]);
    return [copy, original = v.text[0], work] {
        std::copy(original.begin(), original.end(), copy->begin());
        benchmark::DoNotOptimize(work(copy->data(), copy->size()));
    };
}

template <class C>
BareRun blowfishOf(const Values<C> &v, bool encrypt, bool text) {
    auto ctx = std::make_shared<BlowfishContext>();
    blowfish_init(ctx.get(), reinterpret_cast<const uint8_t *>(kKey), sizeof kKey - 1);
    return [ctx, in = v.bytes[0], encrypt, text] {
        uint8_t data[512], out[1536];
        size_t n = in.size();
        std::memcpy(data, in.data(), n);
        if (encrypt) {
            size_t padded = blowfish_pad(data, n);
            blowfish_ecb_encrypt(ctx.get(), data, padded / BLOWFISH_BLOCK);
            if (text) blowfish_text_encode(data, padded, out);
        } else {
            if (text) n = blowfish_text_decode(data, n);
            blowfish_ecb_decrypt(ctx.get(), data, n / BLOWFISH_BLOCK);
            size_t plain;
            benchmark::DoNotOptimize(blowfish_unpadded_length(data, n, &plain));
        }
        benchmark::DoNotOptimize(data);
        benchmark::DoNotOptimize(out);
    };
}

template <class C>
BareRun numberOf(const Values<C> &v, bool trailing, bool decimal) {
    return [s = v.text[0], trailing, decimal] {
        benchmark::DoNotOptimize(trailing ? trailing_number(s.data(), s.size(), decimal, false)
                                          : leading_number(s.data(), s.size(), decimal, false));
    };
}

std::vector<uint32_t> codePoints(const std::vector<uint8_t> &bytes) { return {bytes.begin(), bytes.end()}; }

template <class C>
BareRun ntlmResponseOf(const Values<C> &v) {
    return [v] {
        uint8_t decoded[256], message[1024], text[1400];
        std::vector<uint8_t> challengeText = v.bytes[0];
        size_t decodedLength = base64_decode(decoded, challengeText.data(), challengeText.size(), sizeof decoded);
        NtlmChallenge challenge;
        if (!ntlm_read_challenge(decoded, decodedLength, &challenge)) return;
        std::vector<uint32_t> user = codePoints(v.bytes[1]), password = codePoints(v.bytes[2]),
                              workstation = codePoints(v.bytes[3]);
        NtlmCredentials credentials = {user.data(),     user.size(),        password.data(),
                                       password.size(), workstation.data(), workstation.size()};
        uint8_t clientChallenge[NTLM_CHALLENGE_BYTES];
        uint64_t fileTime;
        gh_fresh_nonce(clientChallenge, &fileTime);
        size_t length = ntlm_authenticate_length(&challenge, &credentials);
        if (length > sizeof message) return;
        ntlm_authenticate(&challenge, &credentials, clientChallenge, fileTime, message);
        base64_encode(text, message, length);
        benchmark::DoNotOptimize(text);
    };
}

// A function's small call: its arguments in glyphhost's words, and its
// bare algorithm in each build.
struct SmallCall {
    const char *function;
    std::vector<std::string> args;
    BareMaker<uint32_t> wide;
    BareMaker<uint8_t> byte;
    bool keyed;                      // needs the instance's Blowfish key
    const char *resultOf = nullptr;  // the call whose result prev: stands for
};

// The bare algorithm written once for both character types.
#define GH_BARE(...) \
    [](const Values<uint32_t> &v) -> BareRun { using C = uint32_t; (void)sizeof(C); __VA_ARGS__ }, \
    [](const Values<uint8_t> &v) -> BareRun { using C = uint8_t; (void)sizeof(C); __VA_ARGS__ }

const std::vector<SmallCall> &smallCalls() {
    static const std::vector<SmallCall> calls = {
        {"splitstring", {"field:list=alpha,beta,gamma,delta", ","},
         GH_BARE(auto d = std::make_shared<PartDelimiter<C>>(); const std::vector<C> list = v.text[0];
                 part_delimiter_init(d.get(), v.text[1].data(), v.text[1].size(), false);
                 return [d, list] { benchmark::DoNotOptimize(part_cut(*d, list.data(), list.size(), 0)); };), false},
        {"stripNullBytes", {"esc:record\\0one\\0of\\0several\\0fields"},
         GH_BARE(return inPlace<C>(v, [](C *s, size_t n) { return strip_zero_chars(s, n); });), false},
        {"howMany", {",", "alpha,beta,gamma,delta,epsilon,zeta,eta"},
         GH_BARE(return [v] {
             benchmark::DoNotOptimize(count_occurrences(v.text[0].data(), v.text[0].size(), v.text[1].data(),
                                                        v.text[1].size()));
         };), false},
        {"XORbytes", {"a short text of thirty-two chars"},
         GH_BARE(return [s = v.text[0]] { benchmark::DoNotOptimize(xor_fold(s.data(), s.size())); };), false},
        {"hexEncode", {"name=J\xc3\xa9r\xc3\xb4me & co/50% off"},
         GH_BARE(return [s = v.text[0]] {
             C out[256];
             benchmark::DoNotOptimize(percent_encode(s.data(), s.size(), out, false));
         };), false},
        {"hexDecode", {"name%3DJ%E9r%F4me%20%26%20co%2F50%25%20off"},
         GH_BARE(return inPlace<C>(v, [](C *s, size_t n) { return percent_decode(s, n, false); });), false},
        {"base64Encode", {"bytes:a 40-byte token for a small encoding!"},
         GH_BARE(return [in = v.bytes[0]] {
             C out[128];
             benchmark::DoNotOptimize(base64_encode_text(out, in.data(), in.size()));
         };), false},
        {"base64Decode", {"YSA0MC1ieXRlIHRva2VuIGZvciBhIHNtYWxsIGVuY29kaW5nIQ=="},
         GH_BARE(return [in = v.bytes[0]] {
             uint8_t copy[128], out[128];
             std::memcpy(copy, in.data(), in.size());
             benchmark::DoNotOptimize(base64_decode(out, copy, in.size(), sizeof out));
         };), false},
        {"MD5Digest", {"a 20-char password!!"}, GH_BARE(return digestOf<C>(&kMd5Hash, v);), false},
        {"makeCRAMresponse",
         {"PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+", "tim", "tanstaaftanstaaf"},
         GH_BARE(return [v] {
             uint8_t challenge[128], out[CRAM_MAX_TEXT + 1];
             std::memcpy(challenge, v.bytes[0].data(), v.bytes[0].size());
             benchmark::DoNotOptimize(cram_md5_response(challenge, v.bytes[0].size(), v.bytes[1].data(),
                                                        v.bytes[1].size(), v.bytes[2].data(), v.bytes[2].size(),
                                                        out));
         };), false},
        {"wrapBinary", {"<token>", "hex:000102030405060708090a0b0c0d0e0f", "</token>"},
         GH_BARE(return [v] {
             uint8_t out[128];
             wrap_bytes(out, v.bytes[1].size(), v.bytes[0].data(), v.bytes[0].size(), v.bytes[2].data(),
                        v.bytes[2].size());
             benchmark::DoNotOptimize(out);
         };), false},
        {"leadingInteger", {"1042 items in stock"}, GH_BARE(return numberOf<C>(v, false, false);), false},
        {"trailingInteger", {"invoice number 20261209"}, GH_BARE(return numberOf<C>(v, true, false);), false},
        {"leadingDecimal", {"-1234.56 EUR, due today"}, GH_BARE(return numberOf<C>(v, false, true);), false},
        {"trailingDecimal", {"total to pay: 1234.56"}, GH_BARE(return numberOf<C>(v, true, true);), false},
        {"blowfishContext", {kKey}, GH_BARE(return [key = v.bytes[0]] {
             BlowfishContext ctx;
             blowfish_init(&ctx, key.data(), key.size());
             benchmark::DoNotOptimize(ctx);
         };), false},
        {"blowfishEncryptToBin", {"bytes:a 40-byte record to keep from prying eyes"},
         GH_BARE(return blowfishOf<C>(v, true, false);), true},
        {"blowfishDecryptBin", {"prev:"}, GH_BARE(return blowfishOf<C>(v, false, false);), true,
         "blowfishEncryptToBin"},
        {"blowfishEncryptToText", {"a 40-char record to keep from prying eye"},
         GH_BARE(return blowfishOf<C>(v, true, true);), true},
        {"blowfishDecryptText", {"prev:"}, GH_BARE(return blowfishOf<C>(v, false, true);), true,
         "blowfishEncryptToText"},
        {"filenameOfPath", {"C:\\Users\\ada\\Documents\\report-2026.txt"},
         GH_BARE(return [s = v.text[0]] { benchmark::DoNotOptimize(filename_start(s.data(), s.size())); };),
         false},
        {"folderPartOfPath", {"C:\\Users\\ada\\Documents\\report-2026.txt"},
         GH_BARE(return [s = v.text[0]] { benchmark::DoNotOptimize(folder_length(s.data(), s.size())); };),
         false},
        {"reduceToAlphanumeric", {"  Order #12-345 (rush), ship to: A.B. ", "-"},
         GH_BARE(return inPlace<C>(v, [keep = v.text[1]](C *s, size_t n) {
             return reduce_to_alphanumeric(s, n, keep.data(), keep.size(), ReduceOptions{false, true, false});
         });), false},
        {"indexedPart", {"num:3", "alpha,beta,gamma,delta,epsilon", ","},
         GH_BARE(return partsOf<C>(v, 2, true);), false},
        {"indexOfPart", {"delta", "alpha,beta,gamma,delta,epsilon", ","},
         GH_BARE(return partsOf<C>(v, 2, false);), false},
        {"longAt", {"hex:00112233445566778899aabbccddeeff", "num:4"},
         GH_BARE(return [in = v.bytes[0]] { benchmark::DoNotOptimize(load_integer(in.data() + 4, 4, false)); };),
         false},
        {"shortAt", {"hex:00112233445566778899aabbccddeeff", "num:4"},
         GH_BARE(return [in = v.bytes[0]] { benchmark::DoNotOptimize(load_integer(in.data() + 4, 2, false)); };),
         false},
        {"crc16", {"a 32-character frame to checksum"},
         GH_BARE(return [in = v.bytes[0]] { benchmark::DoNotOptimize(crc16_xmodem(in.data(), in.size(), 0)); };),
         false},
        {"wrapLinesWith", {"The quick brown fox jumps over the lazy dog twice.", "text:", "esc:\\r\\n", "num:20"},
         GH_BARE(return [v] {
             Buffer<C> out;
             TextSink<C> sink = out.sink();
             benchmark::DoNotOptimize(wrap_lines(v.text[0].data(), v.text[0].size(), v.text[1].data(),
                                                 v.text[1].size(), v.text[2].data(), v.text[2].size(), 20, &sink));
         };), false},
        {"setLinebreaks", {"esc:first line\\nsecond line\\nthird line\\n", "esc:\\r\\n"},
         GH_BARE(return [v] {
             Buffer<C> out;
             TextSink<C> sink = out.sink();
             benchmark::DoNotOptimize(
                 set_linebreaks(v.text[0].data(), v.text[0].size(), v.text[1].data(), v.text[1].size(), &sink));
         };), false},
        {"binaryToHex", {"hex:00112233445566778899aabbccddeeff"},
         GH_BARE(return [in = v.bytes[0]] {
             C out[64];
             hex_encode_lower_chars(in.data(), in.size(), out);
             benchmark::DoNotOptimize(out);
         };), false},
        {"hexToBinary", {"00112233445566778899AABBCCDDEEFF"},
         GH_BARE(return [in = v.bytes[0]] {
             uint8_t out[32];
             benchmark::DoNotOptimize(hex_decode_pairs(in.data(), in.size(), out));
         };), false},
        {"MD4Digest", {"a 20-char password!!"}, GH_BARE(return digestOf<C>(&kMd4Hash, v);), false},
        {"NTLMchallenge", {}, GH_BARE((void)v; return [] {
             uint8_t message[NTLM_NEGOTIATE_LENGTH], text[64];
             ntlm_negotiate(message);
             benchmark::DoNotOptimize(base64_encode(text, message, sizeof message));
         };), false},
        {"NTLMresponse", {kChallenge, "User", "Password", "COMPUTER"}, GH_BARE(return ntlmResponseOf<C>(v);),
         false},
        {"SHA1Digest", {"a 20-char password!!"}, GH_BARE(return digestOf<C>(&kSha1Hash, v);), false},
        {"SHA256Digest", {"a 20-char password!!"}, GH_BARE(return digestOf<C>(&kSha256Hash, v);), false},
        {"SHA512Digest", {"a 20-char password!!"}, GH_BARE(return digestOf<C>(&kSha512Hash, v);), false},
    };
    return calls;
}

#undef GH_BARE

// The parameters of a small call, made through the emulator; a call whose
// value is another's result (a decryption) makes that call first.
std::vector<Param> paramsOf(const SmallCall &c, ghemu::Session &session) {
    std::optional<ghemu::Result> previous;
    for (const SmallCall &other : smallCalls()) {
        if (c.resultOf && std::string(c.resultOf) == other.function) {
            previous = session.call(other.function, paramsOf(other, session)).result;
        }
    }
    std::vector<Param> params;
    for (const std::string &word : c.args) {
        params.push_back(ghemu::parseArgument(word, session.library().build(), previous, session.host()));
    }
    return params;
}

std::string buildLabel(Build build) { return build == Build::Wide ? "wide" : "byte"; }

// The callbacks one call makes, by operation ("48:1 51:2 30:1"); kept for
// the table.
std::map<std::string, std::string> &callbackCounts() {
    static std::map<std::string, std::string> counts;
    return counts;
}

void wholeCall(benchmark::State &state, const SmallCall &c, Build build) {
    ghbench::WindowsLikeMemory memory;
    auto lib = ghemu::Library::load(ghbench::libraryPath(build), build);
    ghemu::Session session(*lib);
    if (c.keyed) session.call("blowfishContext", {ghemu::textParam(build, kKey)});
    std::vector<Param> params = paramsOf(c, session);
    // One call checked by the emulator (no leak, no misuse, a result set),
    // then one recorded for the replay host.
    ghemu::CallOutcome out = session.call(c.function, params);
    if (!out.ok() || !out.result.set) return state.SkipWithError("the call set no result, or misbehaved");
    ghemu::Host &host = session.host();
    host.setFunctionNumber(lib->functionNumber(c.function));
    host.setParams(params);
    void *slot = session.instance().slot;
    GlyphHerderEntry entry = lib->entry();
    ghbench::ReplayHost replay = ghbench::ReplayHost::record(entry, &slot, host);
    std::string ops;
    for (const auto &[op, n] : replay.recordedOps) {
        ops += (ops.empty() ? "" : " ") + std::to_string(op) + ":" + std::to_string(n);
    }
    callbackCounts()[std::string(c.function) + "/" + buildLabel(build)] = ops;

    ghbench::ReplayHost::Current current(replay);
    for (auto _ : state) entry(GH_MSG_CALL, &slot, 0, 0, 0, ghbench::ReplayHost::callback());
    if (replay.resultType() != out.result.type) state.SkipWithError("the replayed call set another result");
    state.counters["calls_per_s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

template <class C>
void bare(benchmark::State &state, const SmallCall &c, Build build, BareMaker<C> maker) {
    auto lib = ghemu::Library::load(ghbench::libraryPath(build), build);
    ghemu::Session session(*lib);
    if (c.keyed) session.call("blowfishContext", {ghemu::textParam(build, kKey)});
    BareRun run = maker(valuesOf<C>(paramsOf(c, session)));
    for (auto _ : state) run();
}

// OpenSSL's one-shot calls on the value of a small call.
void evp(benchmark::State &state, const SmallCall &c) {
    std::string in = c.args[0].rfind("bytes:", 0) == 0 ? c.args[0].substr(6) : c.args[0];
    const auto *data = reinterpret_cast<const unsigned char *>(in.data());
    std::string name = c.function;
    const EVP_MD *md = name == "MD5Digest"      ? EVP_md5()
                       : name == "SHA1Digest"   ? EVP_sha1()
                       : name == "SHA256Digest" ? EVP_sha256()
                       : name == "SHA512Digest" ? EVP_sha512()
                                                : nullptr;
    for (auto _ : state) {
        unsigned char out[EVP_MAX_MD_SIZE * 2];
        unsigned int length = 0;
        if (md) {
            EVP_Digest(data, in.size(), out, &length, md, nullptr);
        } else if (name == "MD4Digest") {
            openssl_md4(data, in.size(), out);
        } else if (name == "base64Encode") {
            EVP_EncodeBlock(out, data, static_cast<int>(in.size()));
        } else {
            EVP_DecodeBlock(out, data, static_cast<int>(in.size()));
        }
        benchmark::DoNotOptimize(out);
    }
}

bool hasEvp(const std::string &name) {
    return name.find("Digest") != std::string::npos || name.rfind("base64", 0) == 0;
}

// The catalogue's names, in its order: every function must have a small call.
const char *const kCatalogueNames[] = {
#define GH_FUNCTION(number, name, params, reference, built) #name,
#include "resources/catalogue.def"
#undef GH_FUNCTION
};

const SmallCall *smallCallOf(const std::string &name) {
    for (const SmallCall &c : smallCalls()) {
        if (name == c.function) return &c;
    }
    return nullptr;
}

// ---- the table

double nsPerCall(const BenchRuns &runs, const std::string &name) {
    double best = 0;
    for (const auto &run : runs) {
        if (run.run_type != benchmark::BenchmarkReporter::Run::RT_Iteration || run.iterations == 0) continue;
        if (run.benchmark_name() != name && run.benchmark_name().rfind(name + "/repeats:", 0) != 0) continue;
        double ns = run.GetAdjustedCPUTime();
        if (best == 0 || ns < best) best = ns;
    }
    return best;
}

void printTable(const BenchRuns &runs, std::ostream &out) {
    bool any = false;
    for (const auto &run : runs) any = any || run.benchmark_name().rfind("small/", 0) == 0;
    if (!any) return;
    char line[512];
    out << "\nSmall calls (best CPU time of the runs; own = whole - bare):\n\n"
        << "| function | build | calls/s | callbacks (op:count) | whole ns | bare ns | own ns | OpenSSL ns |\n"
        << "|---|---|--:|---|--:|--:|--:|--:|\n";
    for (const char *name : kCatalogueNames) {
        const SmallCall *known = smallCallOf(name);
        if (!known) continue;
        const SmallCall &c = *known;
        for (Build build : {Build::Wide, Build::Byte}) {
            std::string tail = std::string(c.function) + "/" + buildLabel(build);
            double whole = nsPerCall(runs, "small/call/" + tail), bareNs = nsPerCall(runs, "small/bare/" + tail);
            if (whole == 0) continue;
            double own = whole - bareNs;
            double openssl = hasEvp(c.function) ? nsPerCall(runs, std::string("small/evp/") + c.function) : 0;
            std::string evpText = openssl > 0 ? std::to_string(static_cast<int>(openssl + 0.5)) : "";
            snprintf(line, sizeof line, "| %s | %s | %.2fM | %s | %.0f | %.0f | %s%.0f%s | %s |\n", c.function,
                     buildLabel(build).c_str(), 1e3 / whole, callbackCounts()[tail].c_str(), whole, bareNs,
                     own > 150 ? "**" : "", own, own > 150 ? "**" : "", evpText.c_str());
            out << line;
        }
    }
}

int registerAll() {
    for (const char *name : kCatalogueNames) {
        if (!smallCallOf(name)) {
            benchmark::RegisterBenchmark((std::string("small/call/") + name).c_str(), [](benchmark::State &s) {
                s.SkipWithError("no small value for this function in small_call_bench.cpp");
            });
            continue;
        }
        const SmallCall &c = *smallCallOf(name);
        for (Build build : {Build::Wide, Build::Byte}) {
            std::string tail = std::string(c.function) + "/" + buildLabel(build);
            benchmark::RegisterBenchmark(("small/call/" + tail).c_str(),
                                         [&c, build](benchmark::State &s) { wholeCall(s, c, build); });
            if (build == Build::Wide) {
                benchmark::RegisterBenchmark(("small/bare/" + tail).c_str(), [&c](benchmark::State &s) {
                    bare<uint32_t>(s, c, Build::Wide, c.wide);
                });
            } else {
                benchmark::RegisterBenchmark(("small/bare/" + tail).c_str(), [&c](benchmark::State &s) {
                    bare<uint8_t>(s, c, Build::Byte, c.byte);
                });
            }
        }
        if (hasEvp(c.function)) {
            benchmark::RegisterBenchmark((std::string("small/evp/") + c.function).c_str(),
                                         [&c](benchmark::State &s) { evp(s, c); });
        }
    }
    return bench_add_summary(printTable);
}
const int kRegistered = registerAll();

}  // namespace
