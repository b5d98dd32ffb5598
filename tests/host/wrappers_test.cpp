// The library's wrappers on the host operations, against the emulated host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "host/chars.h"
#include "host/wrappers.h"
#include "platform/globalmem.h"
#include "tests/support/in_process.h"

namespace {

using ghemu::Param;
using ghemu::Value;
using ghtest::kBuild;
using WrappersTest = ghtest::HostTest;

// A host that answers texts only, and wrongly: their length is gLength, and
// a text is the count's characters 'x' and a zero, or without gTerminated
// one 'x' more in its place.  Nothing else is answered.
int32_t gLength = 0;
bool gTerminated = true;
int32_t GH_CALLBACK_CALL carelessTextHost(int32_t op, ...) {
    if (op != HOST_OP_GET_FUNC_PARM) return 0;
    va_list ap;
    va_start(ap, op);
    va_arg(ap, int32_t);
    int32_t type = va_arg(ap, int32_t), count = va_arg(ap, int32_t);
    void *buffer = va_arg(ap, void *);
    va_end(ap);
    if (type == HOST_TYPE_LENGTH) std::memcpy(buffer, &gLength, 4);
    for (int32_t i = 0; type == HOST_TYPE_TEXT && i <= count; ++i) {
        static_cast<qchar *>(buffer)[i] = i < count || !gTerminated ? 'x' : 0;
    }
    return 0;
}

TEST_F(WrappersTest, GetFuncParmInt2TruncatesTowardZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double in;
        int32_t out;
    } vectors[] = {{3.99, 3},           {-0.5, 0},           {2.9, 2},     {-2.9, -2},
                   {1e12, INT32_MIN},   {-1e12, INT32_MIN},  {nan, INT32_MIN},
                   {2147483647.0, INT32_MAX}, {-2147483648.0, INT32_MIN}, {2147483648.0, INT32_MIN}};
    for (const auto &v : vectors) {
        host.setParams({ghemu::numberParam(v.in)});
        EXPECT_EQ(GetFuncParmInt2(HOST_PARAM_FIRST, cb), v.out) << v.in;
    }
    // Text from a command line is parsed by the host.
    host.setParams({ghemu::textParam(kBuild, "3")});
    EXPECT_EQ(GetFuncParmInt2(HOST_PARAM_FIRST, cb), 3);
    // Not passed: the preset 0 stays.
    EXPECT_EQ(GetFuncParmInt2(HOST_PARAM_FIRST + 1, cb), 0);
    EXPECT_EQ(GetFuncParmInt2(HOST_PARAM_COUNT, cb), 1);
}

TEST_F(WrappersTest, AsciiStringParamIsBoundedAndNarrowed) {
    host.setParams({Param{Value::ofText(U"abcdefghij"), {}, {}}});
    uint8_t out[8];
    getAsciiStringFuncParm(HOST_PARAM_FIRST, 5, out, cb);
    EXPECT_STREQ(reinterpret_cast<char *>(out), "abcde");
#if GH_WIDE
    host.setParams({Param{Value::ofText(U"\u0141x"), {}, {}}});
    getAsciiStringFuncParm(HOST_PARAM_FIRST, 5, out, cb);
    EXPECT_STREQ(reinterpret_cast<char *>(out), "Ax");  // low 8 bits of U+0141
    glyphmem_fail_nth(1);  // the character buffer
    out[0] = 'z';
    getAsciiStringFuncParm(HOST_PARAM_FIRST, 5, out, cb);
    glyphmem_fail_nth(0);
    EXPECT_EQ(out[0], 0);
#endif
    // A text without its zero stays within the max + 2 bytes; a negative
    // length is no text (the byte build asks no length).
    uint8_t roomy[64] = {};
    gLength = 8;
    gTerminated = false;
    getAsciiStringFuncParm(HOST_PARAM_FIRST, 4, roomy, carelessTextHost);
    EXPECT_LE(std::strlen(reinterpret_cast<char *>(roomy)), 5u);
    gLength = -1;
    gTerminated = true;
    getAsciiStringFuncParm(HOST_PARAM_FIRST, 4, roomy, carelessTextHost);
    EXPECT_STREQ(reinterpret_cast<char *>(roomy), GH_WIDE ? "" : "xxxx");
}

TEST_F(WrappersTest, BinOrAsciiHandleWithParameterZeroTouchesNothing) {
    XPHandle h = reinterpret_cast<XPHandle>(0x1234);
    uint32_t length = 77;
    bool binary = true;
    EXPECT_FALSE(getBinOrAsciiHandle(0, &h, &length, &binary, cb));
    EXPECT_EQ(h, reinterpret_cast<XPHandle>(0x1234));
    EXPECT_EQ(length, 77u);
    EXPECT_TRUE(binary);
    EXPECT_TRUE(host.log().empty());
    EXPECT_FALSE(getBinOrAsciiHandle(HOST_PARAM_FIRST, nullptr, &length, &binary, cb));
    EXPECT_FALSE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, nullptr, &binary, cb));
}

TEST_F(WrappersTest, NegativeFieldNumberIsBinaryWithoutAskingItsKind) {
    host.setParams({Param{Value::ofBinary({0, 1, 0xFF}), int16_t(-1), {}}});
    XPHandle h = nullptr;
    uint32_t length = 0;
    bool binary = false;
    ASSERT_TRUE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, &length, &binary, cb));
    EXPECT_TRUE(binary);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(ghtest::blockBytes(h), (std::vector<uint8_t>{0, 1, 0xFF}));
    EXPECT_EQ(host.count(HOST_OP_GET_FLD_INFO), 0u);
    DisposeXPHandle(h);
}

TEST_F(WrappersTest, BinOrAsciiHandleByKind) {
    for (int16_t kind : {14, 15, 16, 0, 3}) {
        host.setParams({Param{Value::ofText(U"A\u00e9"), {}, kind}});
        XPHandle h = nullptr;
        uint32_t length = 0;
        bool binary = false;
        ASSERT_TRUE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, &length, &binary, cb));
        EXPECT_EQ(binary, kind >= 14 && kind <= 16) << kind;
        // Either way the bytes: é is one byte (0xE9) in both builds.
        EXPECT_EQ(ghtest::blockBytes(h), (std::vector<uint8_t>{'A', 0xE9}));
        DisposeXPHandle(h);
    }
}

TEST_F(WrappersTest, BinOrAsciiHandleFailingAtEachAllocationLeavesNothing) {
    host.setParams({Param{Value::ofText(U"abc\u00e9"), {}, {}}});
    unsigned long before = glyphmem_events();
    XPHandle h = nullptr;
    uint32_t length = 0;
    bool binary = false;
    ASSERT_TRUE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, &length, &binary, cb));
    DisposeXPHandle(h);
    unsigned long events = glyphmem_events() - before;
    for (unsigned long k = 1; k <= events; ++k) {
        glyphmem_fail_nth(k);
        h = nullptr;
        EXPECT_FALSE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, &length, &binary, cb));
        glyphmem_fail_nth(0);
        EXPECT_EQ(h, nullptr);
    }
}

TEST_F(WrappersTest, FieldTypeNeedsStatusOne) {
    host.setParams({Param{Value::ofText(U"x"), int16_t(12), int16_t(15)}});
    EXPECT_TRUE(IsThisFieldType(12, 15, cb));
    EXPECT_FALSE(IsThisFieldType(12, 14, cb));
    // An unknown field number: the host leaves the status as it was (0),
    // whatever the record held for the field before.
    EXPECT_FALSE(IsThisFieldType(13, 15, cb));
    EXPECT_FALSE(IsThisFieldType(13, 0, cb));
    host.setFieldKind(13, 0);
    EXPECT_TRUE(IsThisFieldType(13, 0, cb));
}

TEST_F(WrappersTest, FieldReferences) {
    const qchar unknown[] = {'n', 'o', 'n', 'e', 0};
    EXPECT_EQ(GetFldRef(unknown, cb), 0);
    int16_t ref = host.setField(U"list", Value::ofText(U"a,b"));
    const qchar known[] = {'l', 'i', 's', 't', 0};
    int32_t got = GetFldRef(known, cb);
    EXPECT_EQ(got, ref);
    EXPECT_NE(got, HOST_RESULT);

    int32_t length = 0;
    GetFldVal(got, HOST_TYPE_LENGTH, 4, &length, cb);
    EXPECT_EQ(length, 3);
    XPHandle h = NewEmptyMemBlock();  // filled (resized) by the host
    GetFldVal(got, HOST_TYPE_TEXT_BLOCK, 0, &h, cb);
    EXPECT_EQ(ghtest::blockChars(h), U"a,b");
    SetFldVal(got, HOST_TYPE_TEXT_BLOCK, &h, cb);  // the host copies it
    DisposeXPHandle(h);
    EXPECT_EQ(host.changedFields(), std::vector<std::u32string>{U"list"});
}

TEST_F(WrappersTest, SetStringHandleFieldLeavesTheCallersBlock) {
    XPHandle bytes = NewMemBlockFromBytes("AB", 2);
    setStringHandleField(HOST_RESULT, bytes, cb);
    EXPECT_TRUE(host.result().set);
    EXPECT_EQ(host.result().type, HOST_TYPE_TEXT_BLOCK);
    EXPECT_EQ(host.result().value, Value::ofText(U"AB"));
    EXPECT_EQ(ghtest::blockBytes(bytes), (std::vector<uint8_t>{'A', 'B'}));
#if GH_WIDE
    glyphmem_fail_nth(1);
    setStringHandleField(HOST_RESULT, bytes, cb);
    glyphmem_fail_nth(0);
    EXPECT_EQ(host.result().type, HOST_TYPE_TEXT);
    EXPECT_EQ(host.result().value, Value::ofText(U""));
#endif
    DisposeXPHandle(bytes);
}

TEST_F(WrappersTest, SettersReachTheResult) {
    setStringField(HOST_RESULT, reinterpret_cast<const uint8_t *>("3f00"), cb);
    EXPECT_EQ(host.result(), ghemu::Result::of(HOST_TYPE_TEXT, Value::ofText(U"3f00")));
    SetFldInt(HOST_RESULT, -7, cb);
    EXPECT_EQ(host.result(), ghemu::Result::of(HOST_TYPE_NUMBER, Value::ofNumber(-7)));
    SetFldLong(HOST_RESULT, INT32_MIN, cb);
    EXPECT_EQ(host.result().value, Value::ofNumber(INT32_MIN));
    EXPECT_EQ(GetPackageId(cb), 0);
    EXPECT_EQ(GetPackageId(carelessTextHost), 0);  // a host that writes no number: none
    host.setFunctionNumber(65537);
    EXPECT_EQ(GetPackageId(cb), 65537);
}

}  // namespace
