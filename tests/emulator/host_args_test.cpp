// glyphhost's argument language.
#include <gtest/gtest.h>

#include "emulator/host_args.h"

namespace {

using ghemu::Build;
using ghemu::Value;

Value arg(const std::string &word, Build build = Build::Wide, std::optional<ghemu::Result> previous = {}) {
    ghemu::Host host(build);
    return ghemu::parseArgument(word, build, previous, host).value;
}

TEST(HostArgs, Prefixes) {
    EXPECT_EQ(arg("abc"), Value::ofText(U"abc"));
    EXPECT_EQ(arg("h\xC3\xA9"), Value::ofText(U"h\u00e9"));
    EXPECT_EQ(arg("h\xC3\xA9", Build::Byte), Value::ofText(std::u32string{'h', 0xC3, 0xA9}));
    EXPECT_EQ(arg("text:num:3"), Value::ofText(U"num:3"));
    EXPECT_EQ(arg("text:::"), Value::ofText(U"::"));
    EXPECT_EQ(arg("num:3.5"), Value::ofNumber(3.5));
    EXPECT_EQ(arg("hex:00aB"), Value::ofBinary({0x00, 0xAB}));
    EXPECT_EQ(arg("bytes:Man"), Value::ofBinary({'M', 'a', 'n'}));
    EXPECT_EQ(arg("codes:233,0x20AC"), Value::ofText(U"\u00e9\u20ac"));
    EXPECT_EQ(arg("http://x"), Value::ofText(U"http://x"));  // not a prefix of ours
    ghemu::Result previous = ghemu::Result::of(10, Value::ofBinary({1}));
    EXPECT_EQ(arg("prev:", Build::Wide, previous), Value::ofBinary({1}));
}

TEST(HostArgs, MalformedArgumentsAreRefused) {
    for (const char *bad : {"num:x", "num:", "hex:abc", "hex:zz", "codes:-1", "codes:x", "codes:4294967296",
                            "binfile:/no/such/file", "textfile:/no/such/file", "prev:", "field:", "field:f",
                            "\xC3"}) {
        EXPECT_THROW(arg(bad), ghemu::ArgumentError) << bad;
    }
    EXPECT_THROW(arg("codes:256", Build::Byte), ghemu::ArgumentError);
    EXPECT_THROW(arg("prev:", Build::Wide, ghemu::Result::none()), ghemu::ArgumentError);
}

TEST(HostArgs, FieldsAreSetAndNamed) {
    ghemu::Host host(Build::Wide);
    ghemu::Param p = ghemu::parseArgument("field:list=num:4", Build::Wide, {}, host);
    EXPECT_EQ(p.value, Value::ofText(U"list"));
    EXPECT_EQ(*host.field(U"list"), Value::ofNumber(4));
    EXPECT_EQ(ghemu::parseArgument("field:list", Build::Wide, {}, host).value, Value::ofText(U"list"));
    ghemu::parseArgument("field:a=b=c", Build::Wide, {}, host);
    EXPECT_EQ(*host.field(U"a"), Value::ofText(U"b=c"));
}

TEST(HostArgs, CallsAreSplitAtTheSeparator) {
    auto calls = ghemu::splitCalls({"blowfishContext", "key", "::", "blowfishEncryptToText", "-x", "text:::"});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "blowfishContext");
    EXPECT_EQ(calls[0].args, std::vector<std::string>{"key"});
    EXPECT_EQ(calls[1].args, (std::vector<std::string>{"-x", "text:::"}));
    EXPECT_THROW(ghemu::splitCalls({"a", "::"}), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::splitCalls({"::", "a"}), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::splitCalls({}), ghemu::ArgumentError);
}

TEST(HostArgs, ScriptLinesAreSplitLikeAShell) {
    using W = std::vector<std::string>;
    EXPECT_EQ(ghemu::splitScriptLine("  MD5Digest  abc\t# a comment"), (W{"MD5Digest", "abc"}));
    EXPECT_EQ(ghemu::splitScriptLine("f 'a b' \"c \\\"d\\\" \\\\\" e\\ f a#b"),
              (W{"f", "a b", "c \"d\" \\", "e f", "a#b"}));
    EXPECT_EQ(ghemu::splitScriptLine("f '' \"\""), (W{"f", "", ""}));
    EXPECT_EQ(ghemu::splitScriptLine("# only a comment"), W{});
    EXPECT_THROW(ghemu::splitScriptLine("f 'open"), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::splitScriptLine("f \"open"), ghemu::ArgumentError);
}

}  // namespace
