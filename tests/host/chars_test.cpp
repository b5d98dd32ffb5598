// Conversions between host characters and bytes.
#include <gtest/gtest.h>

#include "host/chars.h"
#include "platform/file_stream.h"
#include "platform/globalmem.h"
#include "tests/support/in_process.h"

namespace {

using ghtest::blockBytes;
using ghtest::charBlock;
using CharsTest = ghtest::HostTest;

TEST_F(CharsTest, OMstrlenOfNullIsZero) {
    EXPECT_EQ(OMstrlen(nullptr), 0u);
    const qchar text[] = {'a', 'b', 0, 'c', 0};
    EXPECT_EQ(OMstrlen(text), 2u);
}

TEST_F(CharsTest, SthandleCountsAtMost254) {
    std::vector<qchar> longText(300, 'x');
    longText.push_back(0);
    qchar counted[COUNTED_TEXT_ELEMENTS] = {};
    counted[255] = 0;
    sthandle(longText.data(), counted);
    EXPECT_EQ(counted[0], 254);
    EXPECT_EQ(counted[255], 'x');  // 255 elements copied

    std::vector<qchar> shortText(10, 'y');
    shortText.push_back(0);
    std::fill(std::begin(counted), std::end(counted), static_cast<qchar>(7));
    sthandle(shortText.data(), counted);
    EXPECT_EQ(counted[0], 10);
    EXPECT_EQ(counted[10], 'y');
    EXPECT_EQ(counted[11], 0);  // the zero character is copied
    EXPECT_EQ(counted[12], 7);  // and nothing after it
}

TEST_F(CharsTest, ConvertingATextBlockToBytes) {
    struct Vector {
        std::u32string chars;
        std::vector<uint8_t> bytes;
    };
    std::vector<Vector> vectors = {{U"", {}}, {U"abc", {'a', 'b', 'c'}}};
#if GH_WIDE
    vectors.push_back({U"\u00e9", {0xE9}});  // not UTF-8: one byte up to 0xFF
    vectors.push_back({U"\u0100", {0xC4, 0x80}});
    vectors.push_back({U"\u20ac", {0xE2, 0x82, 0xAC}});
    vectors.push_back({U"\U0001F600", {0xF0, 0x9F, 0x98, 0x80}});
    vectors.push_back({std::u32string(1, 0x4000000), {0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}});
#else
    vectors.push_back({U"\u00c3\u00a9", {0xC3, 0xA9}});  // bytes stay bytes
#endif
    for (const Vector &v : vectors) {
        XPHandle h = charBlock(v.chars);
        ASSERT_TRUE(convertQHStrToAsciiHStr(&h));
        EXPECT_EQ(blockBytes(h), v.bytes);
        DisposeXPHandle(h);
    }
    XPHandle none = nullptr;
    EXPECT_FALSE(convertQHStrToAsciiHStr(&none));
    EXPECT_FALSE(convertQHStrToAsciiHStr(nullptr));
}

#if GH_WIDE

TEST_F(CharsTest, ThousandCjkCharactersBecome3000Bytes) {
    XPHandle h = charBlock(std::u32string(1000, U'\u4e2d'));
    ASSERT_TRUE(convertQHStrToAsciiHStr(&h));
    std::vector<uint8_t> bytes = blockBytes(h);
    ASSERT_EQ(bytes.size(), 3000u);
    EXPECT_EQ(bytes[0], 0xE4);
    EXPECT_EQ(bytes[2999], 0xAD);
    DisposeXPHandle(h);
}

TEST_F(CharsTest, BytesWidenOneCharacterEach) {
    XPHandle h = NewMemBlockFromBytes("\xC3\xA9", 2);
    ASSERT_TRUE(convertAsciiHStrToQHStr(&h));
    EXPECT_EQ(ghtest::blockChars(h), U"\u00c3\u00a9");  // no UTF-8 decoding
    DisposeXPHandle(h);
}

TEST_F(CharsTest, ConversionsFailingAtEachAllocationKeepTheCallersBlock) {
    using Convert = bool (*)(XPHandle *);
    for (Convert convert : {Convert(&convertQHStrToAsciiHStr), Convert(&convertAsciiHStrToQHStr)}) {
        XPHandle probe = charBlock(U"x\u20acy");
        unsigned long before = glyphmem_events();
        ASSERT_TRUE(convert(&probe));
        unsigned long events = glyphmem_events() - before;
        DisposeXPHandle(probe);
        ASSERT_GT(events, 0u);
        for (unsigned long k = 1; k <= events; ++k) {
            XPHandle h = charBlock(U"x\u20acy");
            XPHandle original = h;
            std::vector<uint8_t> contents = blockBytes(h);
            glyphmem_fail_nth(k);
            EXPECT_FALSE(convert(&h)) << "allocation " << k;
            glyphmem_fail_nth(0);
            EXPECT_EQ(h, original);
            EXPECT_EQ(blockBytes(h), contents);
            DisposeXPHandle(h);
        }
    }
}

TEST_F(CharsTest, FileNamesAsUtf16) {
    struct Vector {
        std::u32string chars;
        std::vector<uint16_t> units;
    };
    const Vector vectors[] = {
        {U"\U00010000", {0xD800, 0xDC00}},
        {U"\U0010FFFF", {0xDBFF, 0xDFFF}},
        {std::u32string(1, 0x110000), {0x0001}},
        {std::u32string(1, 0xD800), {0xD800}},  // passes as it is
        {U"a\u00e9", {'a', 0xE9}},
    };
    for (const Vector &v : vectors) {
        std::vector<qchar> chars(v.chars.begin(), v.chars.end());
        chars.push_back(0);
        std::vector<uint16_t> out(2 * chars.size() + 1, 0xFFFF);
        size_t n = CHRcharToOschar(chars.data(), out.data());
        ASSERT_EQ(n, v.units.size());
        EXPECT_EQ(std::vector<uint16_t>(out.begin(), out.begin() + static_cast<long>(n)), v.units);
        EXPECT_EQ(out[n], 0);
    }
}

// On Linux the wide build names files in UTF-8; a code point UTF-8 cannot
// hold names no file.
TEST_F(CharsTest, FileNamesAsUtf8) {
    const uint32_t chars[] = {'a', 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF};
    char out[4 * 8 + 1];
    ASSERT_EQ(gh_utf8_from_code_points(chars, 8, out), 20u);
    EXPECT_STREQ(out, "a\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    for (uint32_t bad : {0xD800u, 0xDFFFu, 0x110000u}) {
        const uint32_t text[] = {'a', bad};
        EXPECT_EQ(gh_utf8_from_code_points(text, 2, out), static_cast<size_t>(-1));
        EXPECT_STREQ(out, "");
    }
}

TEST_F(CharsTest, CopiesBetweenCharactersAndBytes) {
    const qchar chars[] = {0x141, 'B', 0xE9, 0};
    uint8_t bytes[8];
    CHRtruncateQcharStringToAscii(chars, bytes, true);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0x41, 'B', 0xE9, 0}));

    const qchar encoded[] = {0x20AC, 'a'};
    uint32_t count = 2;
    uint8_t out[16];
    CHRencodeQcharStringToAscii(encoded, &count, out, true);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{0xE2, 0x82, 0xAC, 'a', 0}));

    qchar wide[4] = {9, 9, 9, 9};
    CHRcopyAsciiStringToQchar(reinterpret_cast<const uint8_t *>("\xFF" "a"), wide, true);
    EXPECT_EQ(std::u32string(wide, wide + 3), (std::u32string{0xFF, 'a', 0}));
}

#else

TEST_F(CharsTest, BytesAreCopiedAsTheyAre) {
    const qchar text[] = {'a', 0xE9, 0};
    uint32_t count = 2;
    uint8_t out[3] = {9, 9, 9};
    CHRencodeQcharStringToAscii(text, &count, out, true);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{'a', 0xE9, 0}));
    qchar copy[2] = {9, 9};
    CHRcopyAsciiDataToQchar(out, 2, copy);
    EXPECT_EQ(std::vector<qchar>(copy, copy + 2), (std::vector<qchar>{'a', 0xE9}));
}

#endif

}  // namespace
