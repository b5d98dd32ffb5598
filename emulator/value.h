// Values as the emulated host keeps them: numbers, texts and binary values,
// and the conversions a host makes when a value is fetched as another type.
//
// A text is a list of character codes, kept in one of two forms: 32-bit
// codes (the wide build's characters), or one byte a code when every code is
// below 256 (the byte build's characters).  The form is storage only: two
// texts with the same codes are equal whatever their forms.  A host keeps
// each value in its build's form (adoptForm), so that it hands characters to
// the library with one copy and no conversion.
#ifndef GH_EMULATOR_VALUE_H
#define GH_EMULATOR_VALUE_H

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ghemu {

// The two builds: host characters of 32 bits, or bytes.
enum class Build { Wide, Byte };

int charWidth(Build build);            // 4 or 1
const char *buildName(Build build);    // "wide" or "byte"
std::optional<Build> parseBuild(std::string_view name);

// A value that cannot be made from what was given (bad UTF-8, bad hex, ...).
struct ValueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class ValueKind { Number, Text, Binary };

class Value {
public:
    ValueKind kind = ValueKind::Text;
    double number = 0;
    std::vector<uint8_t> bytes;   // a binary value

    static Value ofNumber(double n);
    static Value ofText(std::u32string codes);
    // A text whose codes are these bytes (the byte build's form).
    static Value ofByteText(std::vector<uint8_t> codes);
    static Value ofBinary(std::vector<uint8_t> bytes);
    // UTF-8 as a text of the build: code points in the wide build, the bytes
    // themselves in the byte build.  Throws ValueError on malformed UTF-8 in
    // the wide build.
    static Value ofUtf8(Build build, std::string_view utf8);

    bool isText() const { return kind == ValueKind::Text; }
    bool isBinary() const { return kind == ValueKind::Binary; }
    bool isNumber() const { return kind == ValueKind::Number; }

    // A text's codes: their number, one of them, all of them (a copy).
    size_t textLength() const { return byteForm_ ? byteText_.size() : wideText_.size(); }
    char32_t code(size_t i) const { return byteForm_ ? char32_t(byteText_[i]) : wideText_[i]; }
    std::u32string text() const;
    // The storage: byteCodes() when textInBytes(), wideCodes() otherwise.
    bool textInBytes() const { return byteForm_; }
    const std::u32string &wideCodes() const { return wideText_; }
    const std::vector<uint8_t> &byteCodes() const { return byteText_; }
    // Keeps a text in the form of the build: 32-bit codes for the wide
    // build; bytes for the byte build when every code is below 256.  Other
    // kinds are left alone.
    void adoptForm(Build build);

private:
    std::u32string wideText_;
    std::vector<uint8_t> byteText_;
    bool byteForm_ = false;
};

// Same kind and contents (two NaNs are equal; 0 and -0 are not told apart).
bool operator==(const Value &a, const Value &b);
inline bool operator!=(const Value &a, const Value &b) { return !(a == b); }

// The conversions of a host fetch.
// As characters: a number formatted, a binary value one character per byte.
std::u32string valueAsText(const Value &v);
// As bytes: a text's byte form (wide build: codes up to 0xFF as one byte,
// higher ones in the multi-byte forms of UTF-8; byte build: the bytes), a
// number's formatted text.
std::vector<uint8_t> valueAsBytes(const Value &v, Build build);
// The byte form of one wide-build character: how many bytes (1 to 6), and
// writing them (returns the address after them).
size_t byteFormLength(uint32_t code);
uint8_t *putByteForm(uint8_t *out, uint32_t code);
// As a number: a text that holds a number (surrounding blanks allowed),
// otherwise 0; a binary value is 0.
double valueAsNumber(const Value &v);

// Numbers as a user reads them: integers without ".0", otherwise the
// shortest text that reads back the same.
std::string formatNumber(double n);
// The whole of text as a number; nothing when it is not one.
std::optional<double> parseNumber(std::string_view text);

// Codes to UTF-8 for display.  Wide build: each code as a code point (codes
// that are not scalar values as U+FFFD).  Byte build: the bytes as they are.
std::string textToUtf8(const std::u32string &codes, Build build);
// Strict UTF-8 decoding; nothing on malformed input.
std::optional<std::u32string> decodeUtf8(std::string_view utf8);
std::string encodeUtf8(const std::u32string &codePoints);

std::string toHex(const std::vector<uint8_t> &bytes);
// Pairs of hexadecimal digits of either case; nothing otherwise.
std::optional<std::vector<uint8_t>> fromHex(std::string_view hex);

// A readable, one-line rendering for reports: `text "abc"` (with the codes
// listed when they are not all printable ASCII), `binary 00ab..`,
// `number 3.5`.  Long values are shortened, with their length given.
std::string describeValue(const Value &v, Build build);

// What a call set on the function's result.
struct Result {
    bool set = false;
    int type = -1;  // 0 number, 2 text, 8 text block, 10 binary block
    Value value;

    static Result none() { return Result{}; }
    static Result of(int type, Value v) { return Result{true, type, std::move(v)}; }
};

// Equal when both are unset, or both set with equal values and types.
bool operator==(const Result &a, const Result &b);
inline bool operator!=(const Result &a, const Result &b) { return !(a == b); }

// `no result set`, or the type's name and the value.
std::string describeResult(const Result &r, Build build);
// "number", "text", "text block", "binary block" (or "type N").
std::string typeName(int type);

}  // namespace ghemu

#endif
