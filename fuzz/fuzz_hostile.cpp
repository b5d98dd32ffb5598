// The fuzzer plays the host.  The library links in-process (ghcore_wide or
// ghcore_byte) and every operation it asks through the callback is answered
// as the input decides: honestly, from the call's parameters, or with one of
// the mistakes a host could make.  Any answer may give any result; what may
// never happen is a read or write outside a buffer, a block or heap buffer
// left live, a handle misused, a crash or a hang.
//
// Input: a setup byte (bit 0: two instances), then up to 16 messages.
//   message byte: bit 0 the instance; bits 1-2: 0 connect, 1 disconnect,
//     2 and 3 a call; bit 3: the k-th allocation of the message fails (a
//     byte follows: k = 1 + byte % 16)
//   call: function byte (below 0xF0: byte % 41, so 0..40; else a 32-bit
//     number follows), shape byte (bits 0-2: parameters, 0..6; bits 3-4:
//     the count reported on 210: the truth, truth + a signed byte, any
//     32-bit value, or any 8-byte real), then each parameter: a kind byte
//     (bits 0-1: number, text, text, binary; bit 2: a field number of its
//     own follows; bit 3: a field kind follows), then its value (number: 8
//     bytes; text and binary: length byte, repeat byte, content), then the
//     host's answers: a length byte and that many bytes, read while the call
//     runs, one decision byte per operation asked: below 0xC0 the honest
//     answer, else a mistake chosen by the low bits, with its details from
//     the bytes after it.  Past their end every answer is honest.
//
// The mistakes (what a host could plausibly do wrong):
//   function number (48): nothing written, or any 32-bit value
//   numbers (51/38, type 0; the count on 210): nothing written, NaN,
//     infinities, -0, huge, tiny, any 8 bytes
//   texts (type 2, count n): nothing written; n characters without the
//     terminating zero; the whole buffer (n + 1) without a zero; zeros inside
//   lengths (types 4 and 11) and field numbers (240): nothing written, off by
//     one, negative, any value
//   blocks (types 8 and 10): nothing delivered (the offered block left as it
//     is, or no handle at all); the offered block taken away and null put in
//     the slot; a block smaller than its count field; a count larger than the
//     data (by a little, 2^31, 2^32 - 1) or smaller; a block of any size with
//     garbage after the data; a fixed block instead of a moveable one; the
//     characters of a text in a binary block and the other way round
//   field information (45): the status and kind of any value; nothing written
//   field references (28): 0, another field's, any value
//   return values: any value
// Values the library sets (30, 31) are read as a host reads them, which finds
// an unterminated text or a block whose count exceeds it.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "host/host_callback.h"
#include "platform/globalmem.h"

namespace {

using ghfuzz::FuzzInput;

constexpr bool kWide = GH_WIDE != 0;
constexpr size_t kCharSize = kWide ? 4 : 1;

// A parameter as the host holds it: a number, or characters (wide codes or
// bytes) that are text or binary.
struct HostValue {
    enum Kind { Number, Text, Binary } kind = Number;
    double number = 0;
    std::vector<uint32_t> codes;  // text: one code a character; binary: one byte each
    int16_t fieldNumber = 0;
    int16_t fieldKind = 0;
};

struct Field {
    const char *name;
    HostValue value;
};

struct HostState {
    FuzzInput *in = nullptr;
    int32_t function = 0;
    std::vector<HostValue> params;
    double reportedCount = 0;
    Field fields[2];
};

HostState *gHost = nullptr;

// The host's own allocations are never failed by the injection.
struct Paused {
    Paused() { glyphmem_pause_injection(); }
    ~Paused() { glyphmem_resume_injection(); }
};

[[noreturn]] void libraryFault(const char *what) { ghfuzz::fail("the library", what); }

double numberFrom(FuzzInput &in) {
    static const double kNumbers[] = {0, 1, -1, 2, 3, 8, 255, 256, 65535, 65536, 65537, -32768, 32767,
                                      2147483647.0, -2147483648.0, 2147483648.0, 4294967296.0, 1e300,
                                      -1e300, 0.5, -0.5, 3.99, -0.0, 5e-324,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()};
    uint8_t how = in.byte();
    if (how < 0xC0) return kNumbers[how % (sizeof kNumbers / sizeof kNumbers[0])];
    if (how < 0xE0) return static_cast<int16_t>(in.u16());
    return in.real();
}

uint32_t codeFrom(FuzzInput &in) {
    uint8_t b = in.byte();
    if (!kWide || b < 0xE0) return b;
    if (b < 0xF0) return in.u16();
    if (b == 0xF0) return 0xD800 + (in.byte() & 0x7FFu);
    if (b == 0xF1) return 0xFFFFFFFFu;
    return in.u32();
}

// Up to 255 characters, repeated up to 64 times.
std::vector<uint32_t> codesFrom(FuzzInput &in, bool binary) {
    size_t length = in.byte();
    size_t repeat = 1 + (in.byte() & 0x3F);
    std::vector<uint32_t> one;
    for (size_t i = 0; i < length && !in.empty(); ++i) one.push_back(binary ? in.byte() : codeFrom(in));
    std::vector<uint32_t> all;
    for (size_t r = 0; r < repeat; ++r) all.insert(all.end(), one.begin(), one.end());
    return all;
}

HostValue paramFrom(FuzzInput &in, size_t position) {
    uint8_t how = in.byte();
    HostValue v;
    switch (how & 3) {
    case 0:
        v.kind = HostValue::Number;
        v.number = numberFrom(in);
        break;
    case 3:
        v.kind = HostValue::Binary;
        v.codes = codesFrom(in, true);
        break;
    default:
        v.kind = HostValue::Text;
        v.codes = codesFrom(in, false);
        break;
    }
    v.fieldNumber = static_cast<int16_t>(1000 + position);
    v.fieldKind = v.kind == HostValue::Binary ? 15 : 0;
    if (how & 4) v.fieldNumber = static_cast<int16_t>(in.u16());
    if (how & 8) v.fieldKind = static_cast<int16_t>(in.u16());
    return v;
}

// A value's characters as the host hands them out: a number as its text.
std::vector<uint32_t> charsOf(const HostValue &v) {
    if (v.kind != HostValue::Number) return v.codes;
    char text[64];
    int n = std::snprintf(text, sizeof text, "%.15g", v.number);
    return std::vector<uint32_t>(text, text + (n > 0 ? n : 0));
}

double numberOf(const HostValue &v) {
    if (v.kind == HostValue::Number) return v.number;
    double n = 0;
    for (uint32_t c : v.codes) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
    }
    return n;
}

// --- answers ----------------------------------------------------------------

// True when this operation gets a mistake; *which then holds its choice.
bool mistake(FuzzInput &in, uint8_t *which) {
    uint8_t d = in.byte();
    *which = d & 0x3F;
    return d >= 0xC0;
}

void writeNumber(void *buffer, double n) { std::memcpy(buffer, &n, sizeof n); }

void answerNumber(FuzzInput &in, double honest, int32_t count, void *buffer) {
    if (count != 8 && count != 64) return;  // the library asked for something else: nothing fits
    uint8_t which;
    if (!mistake(in, &which)) return writeNumber(buffer, honest);
    static const double kOdd[] = {std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  -0.0, 1e308, -1e308, 5e-324, 2147483648.0, -2147483649.0,
                                  4294967295.0, 65536.0, -32769.0};
    switch (which % 4) {
    case 0:
        return;  // nothing written
    case 1:
        return writeNumber(buffer, kOdd[in.byte() % (sizeof kOdd / sizeof kOdd[0])]);
    case 2:
        return writeNumber(buffer, in.real());
    default:
        return writeNumber(buffer, honest + static_cast<int8_t>(in.byte()));
    }
}

void putChar(uint8_t *out, size_t i, uint32_t c) {
    if (kWide) {
        std::memcpy(out + 4 * i, &c, 4);
    } else {
        out[i] = static_cast<uint8_t>(c);
    }
}

// A text into a buffer of count + 1 characters.
void answerText(FuzzInput &in, const std::vector<uint32_t> &chars, int32_t count, void *buffer) {
    if (count < 0) return;
    auto *out = static_cast<uint8_t *>(buffer);
    size_t room = static_cast<size_t>(count);  // characters, the zero not counted
    size_t n = chars.size() < room ? chars.size() : room;
    uint8_t which;
    if (!mistake(in, &which)) {
        for (size_t i = 0; i < n; ++i) putChar(out, i, chars[i]);
        putChar(out, n, 0);
        return;
    }
    switch (which % 4) {
    case 0:
        return;  // nothing written: the library sees what it put there
    case 1:      // the count's characters and no zero
    case 2: {    // the whole buffer and no zero
        size_t fill = which % 4 == 1 ? room : room + 1;
        uint32_t pad = 'x';
        for (size_t i = 0; i < fill; ++i) putChar(out, i, i < chars.size() && chars[i] ? chars[i] : pad);
        return;
    }
    default: {  // zeros inside
        for (size_t i = 0; i < n; ++i) putChar(out, i, in.byte() & 1 ? 0 : chars[i]);
        putChar(out, n, 0);
        return;
    }
    }
}

void answerInt32(FuzzInput &in, int32_t honest, int32_t count, void *buffer) {
    if (count != 4) return;
    int32_t v = honest;
    uint8_t which;
    if (mistake(in, &which)) {
        switch (which % 5) {
        case 0:
            return;
        case 1:
            v = honest + (in.byte() & 1 ? 1 : -1);
            break;
        case 2:
            v = -1 - static_cast<int32_t>(in.byte());
            break;
        case 3:
            v = INT32_MAX;
            break;
        default:
            v = static_cast<int32_t>(in.u32());
            break;
        }
    }
    std::memcpy(buffer, &v, sizeof v);
}

void answerFieldNumber(FuzzInput &in, int16_t honest, int32_t count, void *buffer) {
    if (count != 2) return;
    int16_t v = honest;
    uint8_t which;
    if (mistake(in, &which)) {
        if (which % 3 == 0) return;
        v = which % 3 == 1 ? static_cast<int16_t>(-1 - in.byte()) : static_cast<int16_t>(in.u16());
    }
    std::memcpy(buffer, &v, sizeof v);
}

// Puts a block in the slot: the offered block (if any) is given up by the
// host when it is replaced.
void replaceBlock(void *slot, HGLOBAL fresh) {
    HGLOBAL offered;
    std::memcpy(&offered, slot, sizeof offered);
    if (offered && offered != fresh) GlobalFree(offered);
    std::memcpy(slot, &fresh, sizeof fresh);
}

// A new block of `size` bytes (at least 4 holding count unless smaller),
// then the elements.
HGLOBAL makeBlock(size_t size, uint32_t count, const std::vector<uint8_t> &data, bool fixed) {
    HGLOBAL h = GlobalAlloc(fixed ? GMEM_FIXED : GMEM_MOVEABLE, size);
    if (!h) return nullptr;
    auto *p = static_cast<uint8_t *>(GlobalLock(h));
    if (size >= 4) {
        std::memcpy(p, &count, 4);
        size_t n = data.size() < size - 4 ? data.size() : size - 4;
        if (n) std::memcpy(p + 4, data.data(), n);
        for (size_t i = 4 + n; i < size; ++i) p[i] = 0xEE;  // garbage after the data
    } else {
        for (size_t i = 0; i < size; ++i) p[i] = 0xEE;
    }
    GlobalUnlock(h);
    return h;
}

std::vector<uint8_t> elementsOf(const std::vector<uint32_t> &chars, bool asText) {
    std::vector<uint8_t> out;
    for (uint32_t c : chars) {
        if (asText && kWide) {
            uint8_t b[4];
            std::memcpy(b, &c, 4);
            out.insert(out.end(), b, b + 4);
        } else {
            out.push_back(static_cast<uint8_t>(c));
        }
    }
    return out;
}

void answerBlock(FuzzInput &in, const std::vector<uint32_t> &chars, bool asText, void *slot) {
    Paused paused;
    size_t element = asText ? kCharSize : 1;
    std::vector<uint8_t> data = elementsOf(chars, asText);
    auto count = static_cast<uint32_t>(chars.size());
    size_t size = 4 + data.size();
    bool fixed = false;
    uint8_t which;
    if (mistake(in, &which)) {
        switch (which % 8) {
        case 0:  // nothing delivered
            return;
        case 1:  // the offered block taken, no handle given
            return replaceBlock(slot, nullptr);
        case 2:  // a block too small for its count field
            size = in.byte() % 4;
            break;
        case 3: {  // a count larger than the data
            static const uint32_t kOver[] = {1, 2, 3, 4, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
            uint32_t over = kOver[in.byte() % 7];
            count = over >= 0x7FFFFFFF ? over : count + over;
            break;
        }
        case 4:  // a count smaller than the data
            count = count ? count - 1 - in.byte() % count : 0;
            break;
        case 5:  // a block of another size: garbage after the data, or cut short
            size = in.byte() & 1 ? size + 1 + in.byte() : 4 + (data.size() ? in.u16() % data.size() : 0);
            break;
        case 6:  // a fixed block
            fixed = true;
            break;
        default:  // the other type's elements
            data = elementsOf(chars, !asText);
            size = 4 + data.size();
            if (in.byte() & 1) count = static_cast<uint32_t>(data.size() / element);
            break;
        }
    }
    HGLOBAL h = makeBlock(size, count, data, fixed);
    if (!h) ghfuzz::fail("the host could not allocate a block");
    replaceBlock(slot, h);
}

// Operation 51 or 38: a value fetched as the type asks.
void answerFetch(FuzzInput &in, const HostValue *v, int32_t type, int32_t count, void *buffer) {
    if (!buffer) libraryFault("a fetch without a buffer");
    if (!v) return;  // not a parameter: nothing written
    switch (static_cast<int16_t>(type)) {
    case HOST_TYPE_NUMBER:
        return answerNumber(in, numberOf(*v), count, buffer);
    case HOST_TYPE_TEXT:
        return answerText(in, charsOf(*v), count, buffer);
    case HOST_TYPE_LENGTH:
        return answerInt32(in, static_cast<int32_t>(charsOf(*v).size()), count, buffer);
    case HOST_TYPE_DATA_LENGTH:
        return answerInt32(in, static_cast<int32_t>(elementsOf(charsOf(*v), v->kind == HostValue::Text).size()),
                           count, buffer);
    case HOST_TYPE_FIELD_NUMBER:
        return answerFieldNumber(in, v->fieldNumber, count, buffer);
    case HOST_TYPE_TEXT_BLOCK:
        return answerBlock(in, charsOf(*v), true, buffer);
    case HOST_TYPE_BINARY_BLOCK:
        return answerBlock(in, charsOf(*v), false, buffer);  // a text as the low 8 bits of its characters
    default:
        return;  // a type the host does not know: nothing written
    }
}

int16_t get16(const void *p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void put16(void *p, int16_t v) { std::memcpy(p, &v, sizeof v); }

void answerFieldInfo(FuzzInput &in, HostState &host, void *record) {
    if (!record) libraryFault("field information without a record");
    auto *bytes = static_cast<uint8_t *>(record);
    const size_t kField = kWide ? PARAM_INFO_FIELD_WIDE : PARAM_INFO_FIELD_BYTE;
    const size_t kKind = kWide ? PARAM_INFO_KIND_WIDE : PARAM_INFO_KIND_BYTE;
    const size_t kStatus = kWide ? PARAM_INFO_STATUS_WIDE : PARAM_INFO_STATUS_BYTE;
    const size_t kSize = kWide ? PARAM_INFO_SIZE_WIDE : PARAM_INFO_SIZE_BYTE;
    int16_t field = get16(bytes + kField);
    uint8_t which;
    if (mistake(in, &which)) {
        switch (which % 4) {
        case 0:
            return;
        case 1:
            put16(bytes + kStatus, static_cast<int16_t>(in.u16()));
            put16(bytes + kKind, static_cast<int16_t>(in.u16()));
            return;
        case 2:
            put16(bytes + kStatus, 1);
            put16(bytes + kKind, static_cast<int16_t>(in.u16()));
            return;
        default:  // the host fills more of its record than asked
            for (size_t i = 0; i < kSize; i += 1 + in.byte() % 64) bytes[i] = in.byte();
            return;
        }
    }
    for (const HostValue &p : host.params) {
        if (p.fieldNumber == field) {
            put16(bytes + kKind, p.fieldKind);
            put16(bytes + kStatus, 1);
            return;
        }
    }
}

int32_t answerFieldRef(FuzzInput &in, HostState &host, const void *counted) {
    if (!counted) libraryFault("a field reference without a name");
    uint32_t count = kWide ? 0 : static_cast<const uint8_t *>(counted)[0];
    if (kWide) std::memcpy(&count, counted, 4);
    if (count > 255) libraryFault("a counted name longer than 255");
    std::string name;
    for (uint32_t i = 1; i <= count; ++i) {
        uint32_t c = kWide ? 0 : static_cast<const uint8_t *>(counted)[i];
        if (kWide) std::memcpy(&c, static_cast<const uint8_t *>(counted) + 4 * i, 4);
        name.push_back(static_cast<char>(c));
    }
    uint8_t which;
    if (mistake(in, &which)) {
        switch (which % 3) {
        case 0:
            return 0;
        case 1:
            return 20001 + (in.byte() & 1);
        default:
            return static_cast<int32_t>(in.u32());
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (name == host.fields[i].name) return 20001 + i;
    }
    return 0;
}

const HostValue *fieldByRef(HostState &host, int32_t ref) {
    int16_t r = static_cast<int16_t>(ref);
    if (r == 20001 || r == 20002) return &host.fields[r - 20001].value;
    return nullptr;
}

// Operation 30: the value is read as a host reads it.
void readSetValue(int32_t type, const void *address) {
    if (!address) libraryFault("a value set without an address");
    volatile uint8_t sink = 0;
    switch (static_cast<int16_t>(type)) {
    case HOST_TYPE_NUMBER: {
        double n;
        std::memcpy(&n, address, sizeof n);
        return;
    }
    case HOST_TYPE_TEXT: {
        const auto *p = static_cast<const uint8_t *>(address);
        for (size_t i = 0;; i += kCharSize) {
            uint32_t c = 0;
            std::memcpy(&c, p + i, kCharSize);
            if (!c) return;
            sink = static_cast<uint8_t>(sink + c);
        }
    }
    case HOST_TYPE_TEXT_BLOCK:
    case HOST_TYPE_BINARY_BLOCK: {
        Paused paused;
        HGLOBAL h;
        std::memcpy(&h, address, sizeof h);
        if (!h) libraryFault("a block set without a handle");
        size_t size = GlobalSize(h);
        if (size < 4) libraryFault("a block set that cannot hold its count");
        const auto *p = static_cast<const uint8_t *>(GlobalLock(h));
        uint32_t count;
        std::memcpy(&count, p, 4);
        size_t element = static_cast<int16_t>(type) == HOST_TYPE_TEXT_BLOCK ? kCharSize : 1;
        if (count > (size - 4) / element) libraryFault("a block set whose count exceeds it");
        for (size_t i = 0; i < count * element; ++i) sink = static_cast<uint8_t>(sink + p[4 + i]);
        GlobalUnlock(h);
        return;
    }
    default:
        return;  // a type the host does not take: ignored
    }
}

int32_t anyReturn(FuzzInput &in) {
    uint8_t which;
    return mistake(in, &which) ? static_cast<int32_t>(in.u32()) : 0;
}

int32_t GH_CALLBACK_CALL hostileCallback(int32_t op, ...) {
    HostState &host = *gHost;
    FuzzInput honest(nullptr, 0);  // outside a call every answer is honest
    FuzzInput &in = host.in ? *host.in : honest;
    va_list ap;
    va_start(ap, op);
    int32_t result = 0;
    switch (op) {
    case HOST_OP_GET_PACKAGE_ID: {
        void *p = va_arg(ap, void *);
        if (!p) libraryFault("the function number asked without an address");
        uint8_t which;
        if (!mistake(in, &which)) {
            std::memcpy(p, &host.function, 4);
        } else if (which & 1) {
            int32_t any = static_cast<int32_t>(in.u32());
            std::memcpy(p, &any, 4);
        }
        break;
    }
    case HOST_OP_GET_FUNC_PARM: {
        int32_t number = va_arg(ap, int32_t);
        int32_t type = va_arg(ap, int32_t);
        int32_t count = va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        auto n = static_cast<int16_t>(number);
        if (n == HOST_PARAM_COUNT) {
            HostValue countValue;
            countValue.number = host.reportedCount;
            answerFetch(in, &countValue, type, count, buffer);
        } else {
            // Parameters the count does not cover are delivered all the same
            // by a careless host.
            size_t index = static_cast<size_t>(n - HOST_PARAM_FIRST);
            answerFetch(in, n >= HOST_PARAM_FIRST && index < host.params.size() ? &host.params[index] : nullptr,
                        type, count, buffer);
        }
        result = anyReturn(in);
        break;
    }
    case HOST_OP_GET_FLD_VAL: {
        int32_t ref = va_arg(ap, int32_t);
        int32_t type = va_arg(ap, int32_t);
        int32_t count = va_arg(ap, int32_t);
        void *buffer = va_arg(ap, void *);
        answerFetch(in, fieldByRef(host, ref), type, count, buffer);
        result = anyReturn(in);
        break;
    }
    case HOST_OP_GET_FLD_INFO:
        answerFieldInfo(in, host, va_arg(ap, void *));
        result = anyReturn(in);
        break;
    case HOST_OP_GET_FLD_REF:
        result = answerFieldRef(in, host, va_arg(ap, void *));
        break;
    case HOST_OP_SET_FLD_VAL: {
        va_arg(ap, int32_t);  // the target: a host takes any
        int32_t type = va_arg(ap, int32_t);
        readSetValue(type, va_arg(ap, void *));
        result = anyReturn(in);
        break;
    }
    case HOST_OP_SET_FLD_NUMBER: {
        va_arg(ap, int32_t);
        void *p = va_arg(ap, void *);
        if (!p) libraryFault("a number set without an address");
        double n;
        std::memcpy(&n, p, sizeof n);
        result = anyReturn(in);
        break;
    }
    default:
        libraryFault("an operation the host does not know");
    }
    va_end(ap);
    return result;
}

void runCall(FuzzInput &in, HostState &host, void **slot) {
    uint8_t f = in.byte();
    host.function = f < 0xF0 ? f % 41 : static_cast<int32_t>(in.u32());
    uint8_t shape = in.byte();
    size_t params = shape & 7;
    if (params > 6) params = 6;
    host.params.clear();
    for (size_t i = 0; i < params; ++i) host.params.push_back(paramFrom(in, i));
    switch (shape >> 3 & 3) {
    case 0:
        host.reportedCount = static_cast<double>(params);
        break;
    case 1:
        host.reportedCount = static_cast<double>(params) + static_cast<int8_t>(in.byte());
        break;
    case 2:
        host.reportedCount = static_cast<int32_t>(in.u32());
        break;
    default:
        host.reportedCount = in.real();
        break;
    }
    size_t got;
    const uint8_t *answers = in.bytes(in.byte(), &got);
    FuzzInput answerInput(answers, got);
    host.in = &answerInput;
    glyphHerder(GH_MSG_CALL, slot, 0, 0, 0, &hostileCallback);
    host.in = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    HostState host;
    host.fields[0] = Field{"field", HostValue{HostValue::Text, 0, {'a', ',', 'b', ',', 'c'}, 0, 0}};
    host.fields[1] = Field{"blob", HostValue{HostValue::Binary, 0, {0, 1, 2, 0xFF}, 0, 15}};
    gHost = &host;

    const size_t blocksBefore = glyphmem_live_blocks();
    const size_t heapBefore = glyphmem_live_heap();
    const unsigned long misuseBefore = glyphmem_misuse_count();
    void *slots[2] = {nullptr, nullptr};
    size_t instances = 1 + (in.byte() & 1);
    for (size_t i = 0; i < instances; ++i) glyphHerder(GH_MSG_CONNECT, &slots[i], 0, 0, 0, &hostileCallback);

    for (int steps = 0; steps < 16 && !in.empty(); ++steps) {
        uint8_t step = in.byte();
        void **slot = &slots[(step & 1) % instances];
        unsigned long failAt = step & 8 ? 1 + in.byte() % 16 : 0;
        if (failAt) glyphmem_fail_nth(failAt);
        switch (step >> 1 & 3) {
        case 0:
            glyphHerder(GH_MSG_CONNECT, slot, 0, 0, 0, &hostileCallback);
            break;
        case 1:
            glyphHerder(GH_MSG_DISCONNECT, slot, 0, 0, 0, &hostileCallback);
            break;
        default:
            runCall(in, host, slot);
            break;
        }
        glyphmem_fail_nth(0);
        size_t contexts = (slots[0] != nullptr) + (slots[1] != nullptr);
        if (glyphmem_live_blocks() != blocksBefore + contexts) libraryFault("a memory block left live");
        if (glyphmem_live_heap() != heapBefore) libraryFault("a heap buffer left live");
        if (glyphmem_misuse_count() != misuseBefore) libraryFault("a handle misused");
    }
    for (void *&s : slots) glyphHerder(GH_MSG_DISCONNECT, &s, 0, 0, 0, &hostileCallback);
    GH_FUZZ_CHECK(glyphmem_live_blocks() == blocksBefore);
    gHost = nullptr;
    return 0;
}
