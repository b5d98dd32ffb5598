// Real calls of the loaded libraries with values of 1 GiB and more: results
// whose count passes 2^31 - 1 and still fits, and values whose result would
// pass 2^32 - 1 (or whose padding would), which must give the function's
// failure result instead of a wrapped size.
//
// The host here is a lean one of the test's own, so that the values cost
// little more than the library's own work: a value is a block the host
// allocates zero-filled (the system maps zero pages that are never
// committed until written) and hands over as it is; a result is checked
// where the library put it, by its count and its first and last elements,
// without a copy.  Each test says what memory it needs and is skipped, with
// the reason, when the machine has less available.
//
//   ctest -L limits                         these tests alone
//   GH_LIMITS_LONG=1 bin/gh_limits_tests    also those that stream through 4 GiB
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/globalmem.h"
#include "tests/support/loaded.h"

namespace {

using ghemu::Build;

constexpr uint64_t kGiB = uint64_t{1} << 30;

// MemAvailable of /proc/meminfo, in bytes (0 when it cannot be read).
uint64_t availableMemory() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (in >> key >> kib >> unit) {
        if (key == "MemAvailable:") return kib * 1024;
    }
    return 0;
}

// The calls that stream through 4 GiB take minutes in a debug build; they
// run when GH_LIMITS_LONG=1 is set (meant for an optimised build).
#define LONG_TEST()                                                                             \
    do {                                                                                         \
        const char *long_ = std::getenv("GH_LIMITS_LONG");                                       \
        if (!long_ || std::strcmp(long_, "1") != 0)                                              \
            GTEST_SKIP() << "streams through 4 GiB: set GH_LIMITS_LONG=1 to run it";            \
    } while (0)

#define NEEDS_MEMORY(bytes)                                                                          \
    do {                                                                                             \
        uint64_t available_ = availableMemory();                                                     \
        if (available_ < (bytes) + kGiB)                                                             \
            GTEST_SKIP() << "needs " << ((bytes) + kGiB) / kGiB << " GiB of available memory, "     \
                         << available_ / kGiB << " GiB available";                                   \
    } while (0)

// A parameter: a number, a short text, or a block the host hands over.
struct LeanParam {
    bool isNumber = false;
    double number = 0;
    std::string text;        // fetched as text (HOST_TYPE_TEXT)
    HGLOBAL block = nullptr; // fetched as a block; the library owns it once delivered
    bool binary = false;
};

// What the library set on the result.
struct LeanResult {
    bool set = false;
    int16_t type = -1;
    double number = 0;
    uint64_t count = 0;   // elements of a block, characters of a text
    std::string head;     // the first 16 elements (low 8 bits)
    std::string tail;     // the last 16
    std::string problem;  // a count larger than its block, a fetch twice, ...
};

class LeanHost;
LeanHost *gCurrent = nullptr;

class LeanHost {
public:
    LeanHost(Build build, int32_t function, std::vector<LeanParam> params)
        : wide_(build == Build::Wide), function_(function), params_(std::move(params)) {}
    ~LeanHost() {
        for (LeanParam &p : params_) GlobalFree(p.block);  // those never delivered
    }
    LeanResult result;

    static int32_t GH_CALLBACK_CALL callback(int32_t op, ...) {
        va_list ap;
        va_start(ap, op);
        int32_t a = 0, b = 0, c = 0;
        void *p = nullptr;
        if (op == HOST_OP_GET_FUNC_PARM || op == HOST_OP_GET_FLD_VAL) {
            a = va_arg(ap, int32_t);
            b = va_arg(ap, int32_t);
            c = va_arg(ap, int32_t);
            p = va_arg(ap, void *);
        } else if (op == HOST_OP_SET_FLD_VAL) {
            a = va_arg(ap, int32_t);
            b = va_arg(ap, int32_t);
            p = va_arg(ap, void *);
        } else if (op == HOST_OP_SET_FLD_NUMBER) {
            a = va_arg(ap, int32_t);
            p = va_arg(ap, void *);
        } else {
            p = va_arg(ap, void *);
        }
        va_end(ap);
        gCurrent->serve(op, a, b, c, p);
        return 0;
    }

private:
    void serve(int32_t op, int32_t a, int32_t b, int32_t c, void *p) {
        switch (op) {
        case HOST_OP_GET_PACKAGE_ID:
            std::memcpy(p, &function_, 4);
            return;
        case HOST_OP_GET_FUNC_PARM:
            if (static_cast<int16_t>(a) == HOST_PARAM_COUNT) {
                double n = static_cast<double>(params_.size());
                std::memcpy(p, &n, 8);
            } else if (a >= HOST_PARAM_FIRST && static_cast<size_t>(a - HOST_PARAM_FIRST) < params_.size()) {
                fetch(params_[static_cast<size_t>(a - HOST_PARAM_FIRST)], a, static_cast<int16_t>(b), c, p);
            }
            return;
        case HOST_OP_GET_FLD_INFO: {
            auto *record = static_cast<uint8_t *>(p);
            int16_t field;
            std::memcpy(&field, record + (wide_ ? PARAM_INFO_FIELD_WIDE : PARAM_INFO_FIELD_BYTE), 2);
            size_t i = static_cast<size_t>(field - 1000);
            if (field < 1000 || i >= params_.size()) return;
            int16_t kind = params_[i].binary ? 15 : 0, status = 1;
            std::memcpy(record + (wide_ ? PARAM_INFO_KIND_WIDE : PARAM_INFO_KIND_BYTE), &kind, 2);
            std::memcpy(record + (wide_ ? PARAM_INFO_STATUS_WIDE : PARAM_INFO_STATUS_BYTE), &status, 2);
            return;
        }
        case HOST_OP_SET_FLD_VAL:
            if (static_cast<int16_t>(a) == HOST_RESULT) take(static_cast<int16_t>(b), p);
            return;
        case HOST_OP_SET_FLD_NUMBER:
            result.set = true;
            result.type = HOST_TYPE_NUMBER;
            std::memcpy(&result.number, p, 8);
            return;
        default:
            result.problem = "operation " + std::to_string(op) + " asked";
        }
    }

    void fetch(LeanParam &param, int32_t number, int16_t type, int32_t count, void *p) {
        size_t width = wide_ ? 4 : 1;
        switch (type) {
        case HOST_TYPE_NUMBER:
            std::memcpy(p, &param.number, 8);
            return;
        case HOST_TYPE_FIELD_NUMBER: {
            int16_t field = static_cast<int16_t>(1000 + number - HOST_PARAM_FIRST);
            std::memcpy(p, &field, 2);
            return;
        }
        case HOST_TYPE_LENGTH:
        case HOST_TYPE_DATA_LENGTH: {
            int32_t length = static_cast<int32_t>(param.text.size());
            if (param.block) {
                uint32_t n;
                std::memcpy(&n, GlobalLock(param.block), 4);
                GlobalUnlock(param.block);
                length = n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
            }
            std::memcpy(p, &length, 4);
            return;
        }
        case HOST_TYPE_TEXT: {
            size_t n = param.text.size() < static_cast<size_t>(count) ? param.text.size() : static_cast<size_t>(count);
            auto *out = static_cast<uint8_t *>(p);
            std::memset(out, 0, (n + 1) * width);
            for (size_t i = 0; i < n; ++i) out[i * width] = static_cast<uint8_t>(param.text[i]);
            return;
        }
        case HOST_TYPE_TEXT_BLOCK:
        case HOST_TYPE_BINARY_BLOCK: {
            if (!param.block) {
                result.problem = "a value fetched twice as a block";
                return;
            }
            HGLOBAL offered;
            std::memcpy(&offered, p, sizeof offered);
            GlobalFree(offered);  // replaced by the host's block
            std::memcpy(p, &param.block, sizeof param.block);
            param.block = nullptr;
            return;
        }
        default:
            result.problem = "a fetch of type " + std::to_string(type);
        }
    }

    void take(int16_t type, const void *p) {
        result.set = true;
        result.type = type;
        size_t width = wide_ ? 4 : 1;
        if (type == HOST_TYPE_NUMBER) {
            std::memcpy(&result.number, p, 8);
            return;
        }
        if (type == HOST_TYPE_TEXT) {
            const auto *chars = static_cast<const uint8_t *>(p);
            uint64_t n = 0;
            while (std::memcmp(chars + n * width, "\0\0\0\0", width) != 0) ++n;
            sample(chars, n, width);
            return;
        }
        HGLOBAL h;
        std::memcpy(&h, p, sizeof h);
        size_t size = GlobalSize(h);
        const auto *block = static_cast<const uint8_t *>(GlobalLock(h));
        uint32_t n;
        std::memcpy(&n, block, 4);
        size_t element = type == HOST_TYPE_TEXT_BLOCK ? width : 1;
        if (n > (size - 4) / element) {
            result.problem = "a block whose count exceeds it";
        } else {
            sample(block + 4, n, element);
        }
        GlobalUnlock(h);
    }

    void sample(const uint8_t *elements, uint64_t n, size_t width) {
        result.count = n;
        for (uint64_t i = 0; i < n && i < 16; ++i) result.head += static_cast<char>(elements[i * width]);
        for (uint64_t i = n > 16 ? n - 16 : 0; i < n; ++i) result.tail += static_cast<char>(elements[i * width]);
    }

    bool wide_;
    int32_t function_;
    std::vector<LeanParam> params_;
};

// A block of count elements, zero-filled but for `last` written at its end.
HGLOBAL zeroBlock(uint64_t count, size_t width, const std::string &last = "") {
    HGLOBAL h = GlobalAlloc(GHND, 4 + count * width);
    if (!h) return nullptr;
    auto *p = static_cast<uint8_t *>(GlobalLock(h));
    auto n = static_cast<uint32_t>(count);
    std::memcpy(p, &n, 4);
    for (size_t i = 0; i < last.size(); ++i) p[4 + (count - last.size() + i) * width] = static_cast<uint8_t>(last[i]);
    GlobalUnlock(h);
    return h;
}

LeanParam block(uint64_t count, bool binary, Build build, const std::string &last = "") {
    LeanParam p;
    p.binary = binary;
    p.block = zeroBlock(count, binary || build == Build::Byte ? 1 : 4, last);
    return p;
}
LeanParam number(double n) {
    LeanParam p;
    p.isNumber = true;
    p.number = n;
    return p;
}
// A short text: fetched as text, or as a block of its characters.
LeanParam text(Build build, const std::string &s) {
    LeanParam p;
    p.text = s;
    size_t width = build == Build::Wide ? 4 : 1;
    p.block = zeroBlock(s.size(), width);
    auto *chars = static_cast<uint8_t *>(GlobalLock(p.block)) + 4;
    for (size_t i = 0; i < s.size(); ++i) chars[i * width] = static_cast<uint8_t>(s[i]);
    GlobalUnlock(p.block);
    return p;
}

// One call on a fresh instance (after the given earlier calls on it).
LeanResult call(Build build, const char *function, std::vector<LeanParam> params,
                std::vector<std::pair<const char *, std::vector<LeanParam>>> before = {}) {
    ghemu::Library &lib = ghtest::loadedLibrary(build);
    before.emplace_back(function, std::move(params));
    // Every value's block is freed by the end: by the library once delivered,
    // by the host otherwise.
    size_t blocksAfter = glyphmem_live_blocks();
    for (auto &step : before) {
        for (LeanParam &p : step.second) blocksAfter -= p.block != nullptr;
    }
    void *slot = nullptr;
    GlyphHerderEntry entry = lib.entry();
    entry(GH_MSG_CONNECT, &slot, 0, 0, 0, &LeanHost::callback);
    LeanResult last;
    for (auto &[name, list] : before) {
        for (LeanParam &p : list) {
            if (!p.isNumber && p.text.empty() && !p.block) ADD_FAILURE() << "a value could not be allocated";
        }
        LeanHost host(build, lib.functionNumber(name), std::move(list));
        gCurrent = &host;
        entry(GH_MSG_CALL, &slot, 0, 0, 0, &LeanHost::callback);
        gCurrent = nullptr;
        last = host.result;
        EXPECT_EQ(last.problem, "") << name;
    }
    entry(GH_MSG_DISCONNECT, &slot, 0, 0, 0, &LeanHost::callback);
    EXPECT_EQ(glyphmem_live_blocks(), blocksAfter) << function << " left a block live";
    return last;
}

void expectEmptyText(const LeanResult &r) {
    EXPECT_TRUE(r.set);
    EXPECT_EQ(r.type, HOST_TYPE_TEXT);
    EXPECT_EQ(r.count, 0u);
}

// --- results past 2^31 - 1 elements ----------------------------------------

TEST(LargeValues, BinaryToHexPastTwoToThe31Characters) {
    NEEDS_MEMORY(3 * kGiB);
    LeanResult r = call(Build::Byte, "binaryToHex", {block(kGiB + 1, true, Build::Byte, "\xab")});
    EXPECT_EQ(r.type, HOST_TYPE_TEXT_BLOCK);
    EXPECT_EQ(r.count, 2 * kGiB + 2);
    EXPECT_EQ(r.head, std::string(16, '0'));
    EXPECT_EQ(r.tail, std::string(14, '0') + "ab");
}

TEST(LargeValues, Base64EncodePastTwoToThe31Characters) {
    NEEDS_MEMORY(3 * kGiB);
    LeanResult r = call(Build::Byte, "base64Encode", {block(1610612736u, true, Build::Byte, "\xab")});
    EXPECT_EQ(r.type, HOST_TYPE_TEXT_BLOCK);
    EXPECT_EQ(r.count, uint64_t{1} << 31);
    EXPECT_EQ(r.head, std::string(16, 'A'));
    EXPECT_EQ(r.tail, std::string(12, 'A') + "AACr");
}

TEST(LargeValues, Base64DecodeOfAGibibyteOfText) {
    NEEDS_MEMORY(3 * kGiB);
    LeanParam p = block(kGiB, false, Build::Byte);
    auto *bytes = static_cast<uint8_t *>(GlobalLock(p.block));
    for (uint64_t i = 0; i < kGiB; i += 4) std::memcpy(bytes + 4 + i, "QUJD", 4);
    GlobalUnlock(p.block);
    LeanResult r = call(Build::Byte, "base64Decode", {p});
    EXPECT_EQ(r.type, HOST_TYPE_BINARY_BLOCK);
    EXPECT_EQ(r.count, kGiB / 4 * 3);
    EXPECT_EQ(r.tail, "CABCABCABCABCABC");
}

// --- the largest a count can say --------------------------------------------

TEST(LargeValues, HexToBinaryOfTwoToThe32MinusOneCharacters) {
    LONG_TEST();
    NEEDS_MEMORY(3 * kGiB);
    LeanResult r = call(Build::Byte, "hexToBinary", {block(UINT32_MAX, false, Build::Byte, "ab0")});
    EXPECT_EQ(r.type, HOST_TYPE_BINARY_BLOCK);
    EXPECT_EQ(r.count, uint64_t{UINT32_MAX} / 2);  // the odd digit at the end is ignored
    EXPECT_EQ(r.tail, std::string(15, '\0') + "\xab");
}

TEST(LargeValues, DigestChecksumAndXorOfTwoToThe32MinusOneBytes) {
    LONG_TEST();
    NEEDS_MEMORY(kGiB);
    // SHA-256 of 2^32 - 1 zero bytes, from OpenSSL a chunk at a time.
    std::vector<unsigned char> zeros(1 << 24);
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    for (uint64_t left = UINT32_MAX; left;) {
        size_t n = left < zeros.size() ? static_cast<size_t>(left) : zeros.size();
        EVP_DigestUpdate(ctx, zeros.data(), n);
        left -= n;
    }
    unsigned char digest[32];
    EVP_DigestFinal_ex(ctx, digest, nullptr);
    EVP_MD_CTX_free(ctx);
    std::string expected;
    for (unsigned char b : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        expected += hex;
    }
    LeanResult r = call(Build::Byte, "SHA256Digest", {block(UINT32_MAX, true, Build::Byte)});
    EXPECT_EQ(r.head + r.tail, expected.substr(0, 16) + expected.substr(48));

    // XMODEM starts from 0 and has no final XOR: leading zero bytes change
    // nothing, so the CRC is that of the last two bytes alone.
    LeanResult big = call(Build::Byte, "crc16", {block(UINT32_MAX, true, Build::Byte, "\x12\x34")});
    LeanParam two = block(2, true, Build::Byte, "\x12\x34");
    LeanResult small = call(Build::Byte, "crc16", {two});
    EXPECT_EQ(big.type, HOST_TYPE_NUMBER);
    EXPECT_EQ(big.number, small.number);

    // XORbytes over 2^32 - 1 characters, and over 4 GiB of wide text.
    EXPECT_EQ(call(Build::Byte, "XORbytes", {block(UINT32_MAX, false, Build::Byte, "A")}).head, "A");
    EXPECT_EQ(call(Build::Wide, "XORbytes", {block(kGiB + 1, false, Build::Wide, "A")}).head, "A");
}

TEST(LargeValues, IntegersReadPastTwoToThe31) {
    NEEDS_MEMORY(kGiB);
    // Index 2^31 - 1, the largest a parameter can give, in a value of 2^32 - 1 bytes.
    LeanParam data = block(UINT32_MAX, true, Build::Byte);
    auto *bytes = static_cast<uint8_t *>(GlobalLock(data.block));
    std::memcpy(bytes + 4 + INT32_MAX, "\x01\x02\x03\x04", 4);
    GlobalUnlock(data.block);
    LeanResult r = call(Build::Byte, "longAt", {data, number(INT32_MAX)});
    EXPECT_EQ(r.number, 0x01020304);
}

// --- results that cannot be represented: the failure result -----------------

TEST(LargeValues, ResultsPastTwoToThe32MinusOneGiveTheFailureResult) {
    NEEDS_MEMORY(kGiB);
    // Two digits a byte: 2^32 characters.
    expectEmptyText(call(Build::Byte, "binaryToHex", {block(uint64_t{1} << 31, true, Build::Byte)}));
    expectEmptyText(call(Build::Wide, "binaryToHex", {block(uint64_t{1} << 31, true, Build::Wide)}));
    // Four characters for three bytes: 2^32 characters.
    expectEmptyText(call(Build::Byte, "base64Encode", {block(3221225470u, true, Build::Byte)}));
    // Room for three characters each: past 2^32 - 1.
    expectEmptyText(call(Build::Byte, "hexEncode", {block(1431655766u, false, Build::Byte)}));
    expectEmptyText(call(Build::Wide, "hexEncode", {block(1431655766u, false, Build::Wide)}));
    // The prefix's and suffix's bytes around 2^32 - 2 bytes.
    expectEmptyText(call(Build::Byte, "wrapBinary",
                         {text(Build::Byte, "<"), block(UINT32_MAX - 1, true, Build::Byte), text(Build::Byte, ">")}));
    // Blowfish: the padding makes 2^32 bytes (a whole block after a multiple
    // of 8), refused like a resize that fails; the text form of 1431655768
    // bytes would be 2^32 + 8 characters.
    auto key = [] {
        return std::vector<std::pair<const char *, std::vector<LeanParam>>>{
            {"blowfishContext", {text(Build::Byte, "key")}}};
    };
    LeanResult bin = call(Build::Byte, "blowfishEncryptToBin", {block(UINT32_MAX - 7, true, Build::Byte)}, key());
    EXPECT_EQ(bin.type, HOST_TYPE_NUMBER);
    EXPECT_EQ(bin.number, 1);
    expectEmptyText(call(Build::Byte, "blowfishEncryptToText", {block(1431655760u, true, Build::Byte)}, key()));
}

}  // namespace
