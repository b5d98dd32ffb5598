// glyphhost's argument language.
#include <gtest/gtest.h>

#include "emulator/host_args.h"
#include "emulator/host_output.h"

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
    // The byte build takes a typed é as the byte E9; bytes that are not UTF-8 as they are.
    EXPECT_EQ(arg("h\xC3\xA9", Build::Byte), Value::ofText(std::u32string{'h', 0xE9}));
    EXPECT_EQ(arg("h\xE9", Build::Byte), Value::ofText(std::u32string{'h', 0xE9}));
    EXPECT_EQ(arg("esc:a\\r\\n\\t\\0\\\\\\\"\\x{E9}\\x{10FFFF}\\x{FFFFFFFF}"),
              Value::ofText(std::u32string{'a', '\r', '\n', '\t', 0, '\\', '"', 0xE9, 0x10FFFF, 0xFFFFFFFF}));
    EXPECT_EQ(arg("expr:\"ab\"*3 + \"\\n\" + \"\"*0"), Value::ofText(U"ababab\n"));
    EXPECT_EQ(arg("text:"), Value::ofText(U""));
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
                            "\xC3", "esc:\\q", "esc:\\", "esc:\\x{}", "esc:\\x{123456789}", "esc:\\x{g}", "esc:\\xE9",
                            "expr:", "expr:a", "expr:\"a\"*", "expr:\"a\"+", "expr:\"a", "expr:\"a\"*999999999999"}) {
        EXPECT_THROW(arg(bad), ghemu::ArgumentError) << bad;
    }
    for (const char *beyondByte : {"codes:256", "\xE2\x82\xAC", "esc:\\x{100}", "text:\xC4\x80"}) {
        EXPECT_THROW(arg(beyondByte, Build::Byte), ghemu::ArgumentError) << beyondByte;
    }
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

    // @N before a name picks the instance; only there is it one.
    calls = ghemu::splitCalls({"@2", "f", "@3", "::", "f"});
    EXPECT_EQ(calls[0].instance, 1u);
    EXPECT_EQ(calls[0].args, std::vector<std::string>{"@3"});
    EXPECT_EQ(calls[1].instance, 0u);
    EXPECT_THROW(ghemu::splitCalls({"@0", "f"}), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::splitCalls({"@17", "f"}), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::splitCalls({"@2"}), ghemu::ArgumentError);
}

TEST(HostArgs, OptionsAfterTheNameAreRefused) {
    EXPECT_THROW(ghemu::refuseOptionWord("--value-only"), ghemu::ArgumentError);
    EXPECT_THROW(ghemu::refuseOptionWord("--out=x"), ghemu::ArgumentError);
    for (const char *argument : {"-5", "--", "-", "--5", "text:--raw", "a--b"}) {
        EXPECT_NO_THROW(ghemu::refuseOptionWord(argument)) << argument;
    }
}

TEST(HostArgs, NearNamesAreSuggested) {
    std::vector<std::string> names{"MD5Digest", "MD4Digest", "howMany", "SHA1Digest"};
    EXPECT_EQ(ghemu::nearestName("md5digest", names), "MD5Digest");
    EXPECT_EQ(ghemu::nearestName("howMnay", names), "howMany");
    EXPECT_EQ(ghemu::nearestName("SHA1Digst", names), "SHA1Digest");
    EXPECT_EQ(ghemu::nearestName("blowfish", names), "");
}

TEST(HostOutput, TextsShowWhatTheyHold) {
    Value text = Value::ofText(std::u32string{'a', '\r', '\n', '\t', 0, 3, '\\', '"', 0x7F, 0x9F, 0xA0, 0xE9,
                                              0x20AC, 0xD800, 0x110000});
    EXPECT_EQ(ghemu::shownValue(text, Build::Wide, false),
              "\"a\\r\\n\\t\\0\\x{03}\\\\\\\"\\x{7F}\\x{9F}\xC2\xA0\xC3\xA9\xE2\x82\xAC\\x{D800}\\x{110000}\"");
    // What is shown reads back through esc:.
    EXPECT_EQ(arg("esc:" + ghemu::bareValue(text, Build::Wide, false)), text);
    EXPECT_EQ(ghemu::rawText(text, Build::Wide),
              std::string("a\r\n\t\0\x03\\\"\x7F\xC2\x9F\xC2\xA0\xC3\xA9\xE2\x82\xAC\xED\xA0\x80\xF4\x90\x80\x80", 25));
    Value bytes = Value::ofByteText({'a', 0xE9, 0x80, 0});
    EXPECT_EQ(ghemu::shownValue(bytes, Build::Byte, false), "\"a\xC3\xA9\\x{80}\\0\"");
    EXPECT_EQ(ghemu::shownValue(bytes, Build::Byte, true), std::string("a\xE9\x80\0", 4));
    EXPECT_EQ(ghemu::shownValue(Value::ofBinary({'M', 'a', 'n'}), Build::Wide, false), "4d616e (\"Man\")");
    EXPECT_EQ(ghemu::shownValue(Value::ofBinary({}), Build::Wide, false), "(empty)");
    EXPECT_EQ(ghemu::bareValue(Value::ofBinary({}), Build::Wide, false), "");
    EXPECT_EQ(ghemu::shownValue(Value::ofNumber(-2.5), Build::Wide, false), "-2.5");
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
