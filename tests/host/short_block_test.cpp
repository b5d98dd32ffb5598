// A host that hands over blocks too small to hold their 32-bit count: no
// function may read or write the missing count, and each takes such a
// block as no value at all (its failure result), freeing it.
#include <gtest/gtest.h>

#include <stdarg.h>
#include <string.h>

#include "host/call.h"
#include "host/wrappers.h"
#include "platform/globalmem.h"

namespace {

struct ShortBlockHost {
    int32_t function = 0;
    bool resultSet = false;
    int16_t resultType = -1;
    uint32_t firstChar = 0;  // of a text result
    double number = 0;       // of a number result
};
ShortBlockHost gHost;

// Every block fetch gets a 2-byte block (the library's own block, when it
// offers one, shrunk to that); every parameter is binary (field number -1)
// of length 2; numbers are 0.
int32_t shortBlockCallback(int32_t op, ...) {
    va_list args;
    va_start(args, op);
    if (op == HOST_OP_GET_PACKAGE_ID) {
        *va_arg(args, int32_t *) = gHost.function;
    } else if (op == HOST_OP_GET_FUNC_PARM) {
        int32_t param = va_arg(args, int32_t);
        int32_t type = va_arg(args, int32_t);
        va_arg(args, int32_t);
        void *buffer = va_arg(args, void *);
        if (type == HOST_TYPE_NUMBER) {
            double n = param == HOST_PARAM_COUNT ? 3 : 0;
            memcpy(buffer, &n, sizeof n);
        } else if (type == HOST_TYPE_FIELD_NUMBER) {
            int16_t f = -1;
            memcpy(buffer, &f, sizeof f);
        } else if (type == HOST_TYPE_LENGTH || type == HOST_TYPE_DATA_LENGTH) {
            int32_t n = 2;
            memcpy(buffer, &n, sizeof n);
        } else if (type == HOST_TYPE_TEXT_BLOCK || type == HOST_TYPE_BINARY_BLOCK) {
            HGLOBAL h;
            memcpy(&h, buffer, sizeof h);
            h = h ? GlobalReAlloc(h, 2, GMEM_MOVEABLE) : GlobalAlloc(GMEM_MOVEABLE, 2);
            memcpy(buffer, &h, sizeof h);
        } else if (type == HOST_TYPE_TEXT) {
            memset(buffer, 0, sizeof(qchar));
        }
    } else if (op == HOST_OP_SET_FLD_VAL || op == HOST_OP_SET_FLD_NUMBER) {
        va_arg(args, int32_t);  // the target: only the result is ever set here
        gHost.resultSet = true;
        gHost.resultType = static_cast<int16_t>(op == HOST_OP_SET_FLD_NUMBER ? int32_t{HOST_TYPE_NUMBER}
                                                                             : va_arg(args, int32_t));
        const void *value = va_arg(args, const void *);
        if (gHost.resultType == HOST_TYPE_TEXT) {
            qchar c;
            memcpy(&c, value, sizeof c);
            gHost.firstChar = c;
        } else if (gHost.resultType == HOST_TYPE_NUMBER) {
            memcpy(&gHost.number, value, sizeof gHost.number);
        }
    }
    va_end(args);
    return 0;
}

TEST(ShortBlocks, AreNoValueToTheWrappers) {
    size_t before = glyphmem_live_blocks();
    XPHandle h = nullptr;
    uint32_t length = 7;
    bool binary = true;
    EXPECT_FALSE(getBinOrAsciiHandle(HOST_PARAM_FIRST, &h, &length, &binary, shortBlockCallback));
    EXPECT_EQ(h, nullptr);
    XPHandle mine = NewEmptyMemBlock();
    GetFuncParmBlock(HOST_PARAM_FIRST, HOST_TYPE_TEXT_BLOCK, &mine, shortBlockCallback);
    EXPECT_EQ(mine, nullptr);
    EXPECT_EQ(glyphmem_live_blocks(), before);
}

TEST(ShortBlocks, GiveEachFunctionItsFailureResult) {
    void *instance = nullptr;
    glyphHerder(GH_MSG_CONNECT, &instance, 0, 0, 0, shortBlockCallback);
    ASSERT_NE(instance, nullptr);
    size_t before = glyphmem_live_blocks();
    // XORbytes, hexEncode, hexDecode, base64Encode, base64Decode, MD5Digest,
    // wrapBinary, longAt, shortAt, crc16, binaryToHex, hexToBinary, SHA1Digest.
    for (int32_t function : {4, 5, 6, 7, 8, 9, 11, 26, 27, 28, 31, 32, 36}) {
        gHost = ShortBlockHost{};
        gHost.function = function;
        glyphHerder(GH_MSG_CALL, &instance, 0, 0, 0, shortBlockCallback);
        EXPECT_TRUE(gHost.resultSet) << function;
        if (function == 28) {  // crc16
            EXPECT_EQ(gHost.resultType, HOST_TYPE_NUMBER);
            EXPECT_EQ(gHost.number, -1);
        } else {
            EXPECT_EQ(gHost.resultType, HOST_TYPE_TEXT) << function;
            EXPECT_EQ(gHost.firstChar, 0u) << function;
        }
        EXPECT_EQ(glyphmem_live_blocks(), before) << function;
    }
    glyphHerder(GH_MSG_DISCONNECT, &instance, 0, 0, 0, shortBlockCallback);
}

}  // namespace
