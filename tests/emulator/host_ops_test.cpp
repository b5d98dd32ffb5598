// The emulated host's operations, called as a library would call them.
#include <gtest/gtest.h>

#include <cstring>

#include "emulator/host.h"
#include "emulator/memory_watch.h"
#include "platform/globalmem.h"

namespace {

using ghemu::Build;
using ghemu::Host;
using ghemu::Param;
using ghemu::Value;

class HostOps : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(watch.problems(), std::vector<std::string>{}); }
    ghemu::MemoryWatch watch;
};

TEST_F(HostOps, TextFetchesAreBoundedAndTerminated) {
    Host host(Build::Wide);
    host.setParams({Param{Value::ofText(U"abcdef"), {}, {}}, Param{Value::ofNumber(2.5), {}, {}}});
    uint32_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 0xEEEEEEEE);
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_TEXT, 3, buffer);
    EXPECT_EQ(std::u32string(buffer, buffer + 5), (std::u32string{'a', 'b', 'c', 0, 0xEEEEEEEE}));
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST + 1, HOST_TYPE_TEXT, 7, buffer);
    EXPECT_EQ(std::u32string(buffer, buffer + 4), (std::u32string{'2', '.', '5', 0}));
    int32_t length = 0;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_LENGTH, 4, &length);
    EXPECT_EQ(length, 6);
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(HostOps, ByteBuildWritesBytes) {
    Host host(Build::Byte);
    host.setParams({Param{Value::ofUtf8(Build::Byte, "h\xC3\xA9"), {}, {}}});
    char buffer[8] = {};
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_TEXT, 7, buffer);
    EXPECT_STREQ(buffer, "h\xC3\xA9");
    int32_t length = 0;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_DATA_LENGTH, 4, &length);
    EXPECT_EQ(length, 3);
}

TEST_F(HostOps, WideTextsAsBytesAndBinaryAsCharacters) {
    Host host(Build::Wide);
    host.setParams({Param{Value::ofText(U"\u00e9\u20ac"), {}, {}}, Param{Value::ofBinary({0xE9, 0}), {}, {}}});
    int32_t length = 0;
    for (int twice = 0; twice < 2; ++twice) {  // the second answer comes from what the first found
        host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_DATA_LENGTH, 4, &length);
        EXPECT_EQ(length, 4);
    }
    HGLOBAL h = nullptr;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_BINARY_BLOCK, 0, &h);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::memcmp(GlobalLock(h), "\x04\0\0\0\xE9\xE2\x82\xAC", 8), 0);
    GlobalUnlock(h);
    GlobalFree(h);
    h = nullptr;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST + 1, HOST_TYPE_TEXT_BLOCK, 0, &h);
    ASSERT_NE(h, nullptr);
    const uint32_t chars[] = {2, 0xE9, 0};
    EXPECT_EQ(std::memcmp(GlobalLock(h), chars, sizeof chars), 0);
    GlobalUnlock(h);
    host.operation(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_TEXT_BLOCK, 0, &h);
    EXPECT_EQ(host.result().value, Value::ofText(std::u32string{0xE9, 0}));
    GlobalFree(h);
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(HostOps, ParametersBeyondTheCountAreNotWritten) {
    Host host(Build::Wide);
    host.setParams({Param{Value::ofNumber(1), {}, {}}, Param{Value::ofNumber(2), {}, {}}});
    host.setParamCount(1);
    double n = -9;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST + 1, HOST_TYPE_NUMBER, 8, &n);
    EXPECT_EQ(n, -9);
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_COUNT, HOST_TYPE_NUMBER, 8, &n);
    EXPECT_EQ(n, 1);
    host.operation(HOST_OP_GET_FUNC_PARM, 0, HOST_TYPE_NUMBER, 8, &n);
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(host.problems().empty());
}

TEST_F(HostOps, BlocksAreDeliveredIntoTheOfferedHandleOrANewOne) {
    Host host(Build::Wide);
    host.setParams({Param{Value::ofText(U"xyz"), {}, {}}});
    HGLOBAL offered = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
    HGLOBAL h = offered;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_TEXT_BLOCK, 0, &h);
    EXPECT_EQ(GlobalSize(h), 16u);  // count and three characters, resized
    HGLOBAL fresh = nullptr;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_BINARY_BLOCK, 0, &fresh);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GlobalSize(fresh), 7u);
    EXPECT_EQ(std::memcmp(GlobalLock(fresh), "\x03\0\0\0xyz", 7), 0);
    GlobalUnlock(fresh);
    GlobalFree(h);
    GlobalFree(fresh);
}

TEST_F(HostOps, FieldInfoAnswersOnlyKnownFieldNumbers) {
    Host host(Build::Byte);
    host.setParams({Param{Value::ofBinary({1}), {}, {}}, Param{Value::ofText(U"t"), int16_t(-5), int16_t(3)}});
    unsigned char record[PARAM_INFO_SIZE_BYTE] = {};
    auto ask = [&](int16_t field) {
        std::memset(record, 0, sizeof record);
        std::memcpy(record + PARAM_INFO_FIELD_BYTE, &field, 2);
        record[PARAM_INFO_STATUS_BYTE] = 7;
        record[PARAM_INFO_REQUEST_BYTE] = 2;
        host.operation(HOST_OP_GET_FLD_INFO, 0, 0, 0, record);
        int16_t kind, status;
        std::memcpy(&kind, record + PARAM_INFO_KIND_BYTE, 2);
        std::memcpy(&status, record + PARAM_INFO_STATUS_BYTE, 2);
        return std::make_pair(kind, status);
    };
    int16_t field = 0;
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_FIRST, HOST_TYPE_FIELD_NUMBER, 2, &field);
    EXPECT_EQ(ask(field), std::make_pair(int16_t(15), int16_t(1)));
    EXPECT_EQ(ask(-5), std::make_pair(int16_t(3), int16_t(1)));
    EXPECT_EQ(ask(4321), std::make_pair(int16_t(0), int16_t(7)));  // status left as it was
}

TEST_F(HostOps, WhatNoHostAcceptsIsAProblem) {
    Host host(Build::Wide);
    double n = 1;
    host.operation(99, 0, 0, 0, nullptr);
    host.operation(HOST_OP_SET_FLD_VAL, 300, HOST_TYPE_NUMBER, 0, &n);  // neither result nor field
    host.operation(HOST_OP_SET_FLD_VAL, HOST_RESULT, HOST_TYPE_LENGTH, 0, &n);
    host.operation(HOST_OP_GET_FUNC_PARM, HOST_PARAM_COUNT, HOST_TYPE_NUMBER, 4, &n);
    host.operation(HOST_OP_GET_FLD_VAL, 1234, HOST_TYPE_LENGTH, 4, &n);
    EXPECT_EQ(host.problems().size(), 5u);
    EXPECT_FALSE(host.result().set);
    uint32_t counted[256] = {300};
    EXPECT_EQ(host.operation(HOST_OP_GET_FLD_REF, 0, 0, 0, counted), 0);
    EXPECT_EQ(host.problems().size(), 6u);
    host.beginCall();
    EXPECT_TRUE(host.problems().empty());
    EXPECT_TRUE(host.log().empty());
}

TEST_F(HostOps, NamedFieldsAreFoundReadAndWritten) {
    Host host(Build::Wide);
    int16_t ref = host.setField(U"list", Value::ofText(U"a,b"));
    EXPECT_GE(ref, ghemu::FIRST_FIELD_REFERENCE);
    uint32_t counted[256] = {4, 'l', 'i', 's', 't'};
    EXPECT_EQ(host.operation(HOST_OP_GET_FLD_REF, 0, 0, 0, counted), ref);
    counted[0] = 3;
    EXPECT_EQ(host.operation(HOST_OP_GET_FLD_REF, 0, 0, 0, counted), 0);
    const uint32_t text[] = {'b', 0};
    host.operation(HOST_OP_SET_FLD_VAL, ref, HOST_TYPE_TEXT, 0, const_cast<uint32_t *>(text));
    EXPECT_EQ(*host.field(U"list"), Value::ofText(U"b"));
    EXPECT_EQ(host.changedFields(), std::vector<std::u32string>{U"list"});
    EXPECT_FALSE(host.result().set);
    EXPECT_EQ(host.log().back().describe(), "op 30 SetFldVal target " + std::to_string(ref) + " type 2");
}

}  // namespace
