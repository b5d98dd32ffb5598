// Values of the emulated host and their conversions.
#include <gtest/gtest.h>

#include <cmath>

#include "emulator/value.h"

namespace {

using ghemu::Build;
using ghemu::Value;

TEST(Value, NumbersFormatAsAUserReadsThem) {
    EXPECT_EQ(ghemu::formatNumber(3), "3");
    EXPECT_EQ(ghemu::formatNumber(-2), "-2");
    EXPECT_EQ(ghemu::formatNumber(3.5), "3.5");
    EXPECT_EQ(ghemu::formatNumber(0.1), "0.1");
    EXPECT_EQ(ghemu::formatNumber(1e12), "1000000000000");
    EXPECT_EQ(ghemu::formatNumber(1e300), "1e+300");
    EXPECT_EQ(ghemu::formatNumber(NAN), "nan");
    EXPECT_EQ(ghemu::parseNumber(" 3 "), 3.0);
    EXPECT_EQ(ghemu::parseNumber("-2.5e1"), -25.0);
    EXPECT_EQ(ghemu::parseNumber("+7"), 7.0);
    EXPECT_FALSE(ghemu::parseNumber("3x"));
    EXPECT_FALSE(ghemu::parseNumber(""));
}

TEST(Value, HostConversions) {
    EXPECT_EQ(ghemu::valueAsNumber(Value::ofText(U"42")), 42.0);
    EXPECT_EQ(ghemu::valueAsNumber(Value::ofText(U"abc")), 0.0);
    EXPECT_EQ(ghemu::valueAsText(Value::ofNumber(-1.25)), U"-1.25");
    EXPECT_EQ(ghemu::valueAsText(Value::ofBinary({0xE9, 'a'})), U"\u00e9a");
    EXPECT_EQ(ghemu::valueAsBytes(Value::ofText(U"\u00e9\u0100\u20ac\U0001F600"), Build::Wide),
              (std::vector<uint8_t>{0xE9, 0xC4, 0x80, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(ghemu::valueAsBytes(Value::ofText(U"\u00c3\u00a9"), Build::Byte), (std::vector<uint8_t>{0xC3, 0xA9}));
}

TEST(Value, Utf8IsDecodedStrictly) {
    EXPECT_EQ(Value::ofUtf8(Build::Wide, "h\xC3\xA9").text(), U"h\u00e9");
    EXPECT_EQ(Value::ofUtf8(Build::Byte, "h\xC3\xA9").text(), (std::u32string{'h', 0xC3, 0xA9}));
    for (const char *bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "\x80"}) {
        EXPECT_FALSE(ghemu::decodeUtf8(bad)) << bad;
        EXPECT_THROW(Value::ofUtf8(Build::Wide, bad), ghemu::ValueError);
    }
    EXPECT_EQ(ghemu::encodeUtf8(U"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(ghemu::textToUtf8(std::u32string(1, 0x110000), Build::Wide), "\xEF\xBF\xBD");
}

TEST(Value, TextFormsAreStorageOnly) {
    Value wide = Value::ofText(U"h\u00e9");
    Value bytes = Value::ofByteText({'h', 0xE9});
    EXPECT_EQ(wide, bytes);
    EXPECT_NE(Value::ofByteText({'h'}), wide);
    Value v = wide;
    v.adoptForm(Build::Byte);
    EXPECT_TRUE(v.textInBytes());
    EXPECT_EQ(v, wide);
    Value high = Value::ofText(U"\u0100");
    high.adoptForm(Build::Byte);  // no byte-build text: kept as it is
    EXPECT_FALSE(high.textInBytes());
    bytes.adoptForm(Build::Wide);
    EXPECT_EQ(bytes.wideCodes(), U"h\u00e9");
}

TEST(Value, HexAndDescriptions) {
    EXPECT_EQ(ghemu::toHex({0x00, 0xAB, 0xFF}), "00abff");
    EXPECT_EQ(ghemu::fromHex("00AbfF"), (std::vector<uint8_t>{0x00, 0xAB, 0xFF}));
    EXPECT_FALSE(ghemu::fromHex("abc"));
    EXPECT_FALSE(ghemu::fromHex("zz"));
    EXPECT_EQ(ghemu::describeValue(Value::ofText(U"a\"b"), Build::Wide), "text \"a\\\"b\"");
    EXPECT_EQ(ghemu::describeValue(Value::ofText(U"\u00e9\n"), Build::Wide), "text \"\u00e9\\n\" codes [233, 10]");
    EXPECT_EQ(ghemu::describeValue(Value::ofBinary({1, 2}), Build::Wide), "binary 0102");
    EXPECT_EQ(ghemu::describeValue(Value::ofText(std::u32string(100, 'x')), Build::Byte),
              "text \"" + std::string(64, 'x') + "\"... (100 characters)");
    EXPECT_EQ(ghemu::describeResult(ghemu::Result::none(), Build::Wide), "no result set");
    EXPECT_EQ(ghemu::describeResult(ghemu::Result::of(0, Value::ofNumber(2)), Build::Wide), "number 2 (as number)");
}

}  // namespace
