// The whole entry point in-process, driven through the emulated host: the
// input is a program of messages on one or two instances, each call with a
// function number, parameters of any type and content, a reported parameter
// count that may disagree with them, and optionally the k-th allocation
// failing.  Compiled once per build (GH_WIDE), linked with that build's core.
//
// After every message: nothing left live or freed twice (blocks and heap
// buffers), nothing a host would refuse, and the outcomes the dispatch
// promises (a call without a context gives 2 and asks nothing; a number
// outside the built catalogue sets no result; only splitstring changes a
// named field, and only by taking its front off).  At the end every instance is
// disconnected and everything must be freed.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "emulator/library.h"
#include "fuzz/fuzz_input.h"
#include "platform/globalmem.h"
#include "resources/catalogue.h"

extern "C" const unsigned char glyphHerderQ7INF[];
extern "C" const GlyphCatalogueString glyphHerderStrings[];

namespace {

using ghemu::Build;
using ghemu::CallOutcome;
using ghemu::Param;
using ghemu::Value;
using ghfuzz::FuzzInput;

constexpr Build kBuild = GH_WIDE ? Build::Wide : Build::Byte;

ghemu::Library &library() {
    static ghemu::Library lib(&glyphHerder, ghemu::Catalogue::fromData(glyphHerderQ7INF, glyphHerderStrings));
    return lib;
}

void expectClean(const CallOutcome &out, const char *message) {
    if (!out.ok()) ghfuzz::fail(message, out.problemText().c_str());
}

// A small regular file for the digests' file mode, made once per process
// and removed at its end; a parameter can name it.
const std::string &fixtureFile() {
    static const std::string path = [] {
        char name[] = "/tmp/ghfuzz-file-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0) return std::string("/nonexistent");
        std::string content;
        for (int i = 0; i < 300; ++i) content += static_cast<char>(i * 7);
        ssize_t written = write(fd, content.data(), content.size());
        close(fd);
        if (written != static_cast<ssize_t>(content.size())) ghfuzz::fail("cannot write", name);
        static std::string keep = name;
        std::atexit([] { std::remove(keep.c_str()); });
        return keep;
    }();
    return path;
}

// Interesting numbers, and any 8 bytes as a double (NaN, infinities, huge).
double numberFrom(FuzzInput &in) {
    static const double kNumbers[] = {0, 1, -1, 2, 3, 7, 8, 9, 16, 255, 256, 65535, 65536, 65537,
                                      -32768, 32767, 2147483647.0, -2147483648.0, 2147483648.0,
                                      1e12, -1e300, 0.5, -0.5, 3.99,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()};
    uint8_t how = in.byte();
    if (how < 0x80) return kNumbers[how % (sizeof kNumbers / sizeof kNumbers[0])];
    if (how < 0xC0) return static_cast<int16_t>(in.u16());
    return in.real();
}

// One character code.  Wide build: mostly small codes, sometimes any 32-bit
// value (0, surrogates, above 0x10FFFF, 0xFFFFFFFF); byte build: a byte.
char32_t codeFrom(FuzzInput &in) {
    uint8_t b = in.byte();
    if (kBuild == Build::Byte || b < 0xE0) return b;
    if (b < 0xF0) return in.u16();
    if (b == 0xF0) return 0xD800 + (in.byte() & 0x7FF) * 1u;  // a surrogate
    if (b == 0xF1) return 0xFFFFFFFFu;
    return in.u32();
}

// A text or binary value: up to 255 elements from the input, then repeated
// up to 64 times (long values cheaply).
Value valueFrom(FuzzInput &in, bool binary) {
    size_t length = in.byte();
    size_t repeat = 1 + (in.byte() & 0x3F);
    if (binary) {
        size_t got;
        const uint8_t *p = in.bytes(length, &got);
        std::vector<uint8_t> one(p, p + got), all;
        for (size_t r = 0; r < repeat; ++r) all.insert(all.end(), one.begin(), one.end());
        return Value::ofBinary(std::move(all));
    }
    std::u32string one, all;
    for (size_t i = 0; i < length && !in.empty(); ++i) one.push_back(codeFrom(in));
    for (size_t r = 0; r < repeat; ++r) all += one;
    return Value::ofText(std::move(all));
}

// The names of the named fields, when the program made them (splitstring
// takes a field by its name).
std::u32string gFieldNames[2];

// A parameter: a number, a text or a binary value from the input, the
// previous call's result (so that a decryption can take an encryption's
// output), the name of a file that exists, or the name of a named field.
Param paramFrom(FuzzInput &in, const ghemu::Result &previous) {
    uint8_t how = in.byte();
    Param p;
    if (how & 0x40) {
        p.value = Value::ofText(gFieldNames[how >> 7]);
        return p;
    }
    // Not a result grown large by repeated doubling (binaryToHex of
    // binaryToHex ...): the calls would only get slow.
    bool usePrevious = how & 0x10 && previous.set && previous.value.textLength() + previous.value.bytes.size() <= 65536;
    switch (usePrevious ? 4 : how & 0x20 ? 5 : how & 3) {
    case 0:
        p.value = Value::ofNumber(numberFrom(in));
        break;
    case 1:
    case 2:
        p.value = valueFrom(in, false);
        break;
    case 3:
        p.value = valueFrom(in, true);
        break;
    case 4:
        p.value = previous.value;
        break;
    default: {
        const std::string &path = fixtureFile();
        p.value = Value::ofText(std::u32string(path.begin(), path.end()));
        break;
    }
    }
    // A field number of its own or any (negative makes it binary), and any
    // kind (14, 15 and 16 are binary).
    if (how & 0x04) p.fieldNumber = static_cast<int16_t>(in.u16());
    if (how & 0x08) {
        static const int16_t kKinds[] = {0, 14, 15, 16, 1, -1};
        uint8_t k = in.byte();
        p.kind = k < 0xF0 ? kKinds[k % 6] : static_cast<int16_t>(in.u16());
    }
    return p;
}

// A function number: mostly 0..40 (the catalogue and just past it), else any
// 32-bit value, whose low 16 bits choose.
int32_t functionFrom(FuzzInput &in) {
    uint8_t b = in.byte();
    if (b < 0xF0) return b % 41;
    return static_cast<int32_t>(in.u32());
}

// Whether the dispatch runs a case for this function number (its low 16
// bits, signed).
bool built(int32_t function) {
    static const bool kBuilt[GH_FUNCTION_COUNT + 1] = {
        false,
#define GH_FUNCTION(number, name, params, reference, isBuilt) isBuilt != 0,
#include "resources/catalogue.def"
#undef GH_FUNCTION
    };
    auto n = static_cast<int16_t>(function);
    return n >= 1 && n <= GH_FUNCTION_COUNT && kBuilt[n];
}

void runCall(FuzzInput &in, ghemu::Host &host, ghemu::Instance &instance, ghemu::Result &previous) {
    int32_t function = functionFrom(in);
    uint8_t shape = in.byte();
    size_t params = shape & 7;
    if (params > 6) params = 6;
    std::vector<Param> list;
    for (size_t i = 0; i < params; ++i) list.push_back(paramFrom(in, previous));
    host.setFunctionNumber(function);
    host.setParams(std::move(list));
    // The count reported on 210: the truth, or more or fewer than supplied.
    switch (shape >> 3 & 3) {
    case 0:
        host.setParamCount(std::nullopt);
        break;
    case 1:
        host.setParamCount(static_cast<int32_t>(params) + static_cast<int8_t>(in.byte()));
        break;
    case 2:
        host.setParamCount(static_cast<int32_t>(in.u32()));
        break;
    default:
        host.setParamCount(static_cast<int32_t>(params) + 1);
        break;
    }
    unsigned long failAt = shape & 0x20 ? 1 + in.byte() % 32 : 0;

    bool connected = instance.slot != nullptr;
    std::vector<Value> fieldsBefore;
    for (const std::u32string &name : gFieldNames) {
        const Value *v = host.field(name);
        fieldsBefore.push_back(v ? *v : Value());
    }
    CallOutcome out = library().call(instance, host, failAt);
    expectClean(out, "call");
    // Only splitstring changes a field, and only by taking its front off.
    for (size_t i = 0; i < 2; ++i) {
        const Value *v = host.field(gFieldNames[i]);
        if (!v) continue;
        if (static_cast<int16_t>(function) != 1) {
            GH_FUZZ_CHECK(*v == fieldsBefore[i]);
        } else if (*v != fieldsBefore[i]) {
            // A binary field is read as a text of its bytes and written back as text.
            std::u32string after = v->text(), was = ghemu::valueAsText(fieldsBefore[i]);
            GH_FUZZ_CHECK(v->isText() && after.size() < was.size());
            GH_FUZZ_CHECK(was.compare(was.size() - after.size(), after.size(), after) == 0);
        }
    }
    if (!connected) {
        GH_FUZZ_CHECK(out.log.size() == 1);  // only the result is set
        GH_FUZZ_CHECK(out.result == ghemu::Result::of(HOST_TYPE_NUMBER, Value::ofNumber(2)));
    } else if (!built(function)) {
        GH_FUZZ_CHECK(!out.result.set);
    }
    if (out.result.set) previous = out.result;
    GH_FUZZ_CHECK(!out.result.set || out.result.type == HOST_TYPE_NUMBER || out.result.type == HOST_TYPE_TEXT ||
                  out.result.type == HOST_TYPE_TEXT_BLOCK || out.result.type == HOST_TYPE_BINARY_BLOCK);
}

// A binary value through an encoder and back through its decoder, two
// calls on one instance: base64, binaryToHex / hexToBinary, and Blowfish to
// binary and to text (when the instance has a key).  The bytes must come
// back unchanged, whatever their length.
void runRoundTrip(FuzzInput &in, ghemu::Host &host, ghemu::Instance &instance) {
    static const int32_t kPairs[][2] = {{7, 8}, {31, 32}, {17, 18}, {19, 20}};
    const int32_t *pair = kPairs[in.byte() % 4];
    Value data = valueFrom(in, true);
    host.setFunctionNumber(pair[0]);
    host.setParams({Param{data, {}, {}}});
    host.setParamCount(std::nullopt);
    CallOutcome there = library().call(instance, host);
    expectClean(there, "round trip, encoding");
    if (!instance.slot || there.result.type == HOST_TYPE_NUMBER) return;  // no context, no key
    // An empty value: Blowfish refuses it, and base64Decode gives its
    // failure result (empty text) for zero bytes; only hexToBinary gives an
    // empty binary value back.
    if (data.bytes.empty() && pair[0] != 31) return;
    GH_FUZZ_CHECK(there.result.set);
    host.setFunctionNumber(pair[1]);
    host.setParams({Param{there.result.value, {}, {}}});
    CallOutcome back = library().call(instance, host);
    expectClean(back, "round trip, decoding");
    GH_FUZZ_CHECK(back.result == ghemu::Result::of(HOST_TYPE_BINARY_BLOCK, data));
}

// Base64 of bytes, for the challenges of the authentication functions.
std::u32string base64Text(const std::vector<uint8_t> &bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::u32string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) {
            out += k <= bytes.size() - i ? static_cast<char32_t>(kAlphabet[group >> (18 - 6 * k) & 63]) : U'=';
        }
    }
    return out;
}

// An authentication call on one instance with a challenge made from the
// input: makeCRAMresponse with any decoded bytes; or NTLMresponse with a
// challenge message whose 48-byte head comes from the input (by default with
// the right signature and type, so that its security buffers, which may lie,
// are read) followed by any payload; names of any characters.  The answer is
// the empty text or, for NTLM, an authenticate message.
void runAuth(FuzzInput &in, ghemu::Host &host, ghemu::Instance &instance) {
    uint8_t how = in.byte();
    size_t got;
    const uint8_t *p = in.bytes(how & 1 ? in.byte() : 48 + in.byte(), &got);
    std::vector<uint8_t> message(p, p + got);
    if (!(how & 1) && !(how & 2) && message.size() >= 12) std::memcpy(message.data(), "NTLMSSP\0\2\0\0\0", 12);
    std::vector<Param> params{Param{Value::ofText(base64Text(message)), {}, {}}};
    for (int i = 0; i < (how & 1 ? 2 : 3); ++i) params.push_back(Param{valueFrom(in, false), {}, {}});
    host.setFunctionNumber(how & 1 ? 10 : 35);
    host.setParams(std::move(params));
    host.setParamCount(std::nullopt);
    CallOutcome out = library().call(instance, host, how & 4 ? 1 + in.byte() % 8 : 0);
    expectClean(out, "authentication call");
    if (!instance.slot) return;
    GH_FUZZ_CHECK(out.result.set && out.result.value.isText());
    std::u32string text = out.result.value.text();
    GH_FUZZ_CHECK(text.size() % 4 == 0);
    if (!(how & 1) && !text.empty()) GH_FUZZ_CHECK(text.compare(0, 16, U"TlRMTVNTUAADAAAA") == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    size_t blocksBefore = glyphmem_live_blocks();
    size_t heapBefore = glyphmem_live_heap();
    unsigned long misuseBefore = glyphmem_misuse_count();
    {
        ghemu::Host host(kBuild);
        ghemu::Instance instances[2];
        uint8_t setup = in.byte();
        size_t count = 1 + (setup & 1);
        for (size_t i = 0; i < count; ++i) expectClean(library().connect(instances[i], host), "connect");
        // Named fields for functions that look fields up by name.
        gFieldNames[0] = gFieldNames[1] = U"nofield";
        if (setup & 2) {
            gFieldNames[0] = U"field";
            host.setField(gFieldNames[0], Value::ofText(U"a,b,'c,d',\"e\""));
            gFieldNames[1] = U"f" + std::u32string(1, codeFrom(in));
            bool binary = in.byte() & 1;
            host.setField(gFieldNames[1], valueFrom(in, binary));
        }

        ghemu::Result previous;
        for (int steps = 0; steps < 24 && !in.empty(); ++steps) {
            uint8_t step = in.byte();
            ghemu::Instance &instance = instances[step & 1];
            switch (step >> 1 & 7) {
            case 0:  // another connect on the slot (replaces the context),
                     // perhaps with its allocation failing
                expectClean(library().connect(instance, host, step & 0x10 ? 1 : 0), "connect");
                break;
            case 1:  // a disconnect (a second one does nothing)
                expectClean(library().disconnect(instance, host), "disconnect");
                GH_FUZZ_CHECK(instance.slot == nullptr);
                break;
            case 2: {  // a message that is none of the three: nothing happens
                static const int32_t kMessages[] = {3, -1, 4, 0x7FFF, -32768, 65539};
                void *before = instance.slot;
                CallOutcome out = library().send(kMessages[(step >> 4) % 6], &instance.slot, host);
                expectClean(out, "unknown message");
                GH_FUZZ_CHECK(out.log.empty() && instance.slot == before);
                break;
            }
            case 3:
                runRoundTrip(in, host, instance);
                break;
            case 7:
                runAuth(in, host, instance);
                break;
            default:
                runCall(in, host, instance, previous);
                break;
            }
        }
        for (ghemu::Instance &i : instances) expectClean(library().disconnect(i, host), "final disconnect");
    }
    GH_FUZZ_CHECK(glyphmem_live_blocks() == blocksBefore);
    GH_FUZZ_CHECK(glyphmem_live_heap() == heapBefore);
    GH_FUZZ_CHECK(glyphmem_misuse_count() == misuseBefore);
    return 0;
}
