// How glyphhost shows values.
#include "emulator/host_output.h"

#include <cstdio>

namespace ghemu {

bool needsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || c == '\\' ||
           c == '"';
}

namespace {

void appendEscape(std::string &out, char32_t c) {
    switch (c) {
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case 0: out += "\\0"; return;
    case '\\': out += "\\\\"; return;
    case '"': out += "\\\""; return;
    default: break;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\x{%02X}", static_cast<unsigned>(c));
    out += buffer;
}

// One code in UTF-8, or in UTF-8's generalised form when it is not a scalar
// value (a surrogate in three bytes, a code above U+10FFFF in four to six).
void appendUtf8(std::string &out, char32_t c) {
    if (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) {
        out += encodeUtf8(std::u32string(1, c));
    } else if (c <= 0xFFFF) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        uint8_t form[6];
        out.append(reinterpret_cast<const char *>(form),
                   static_cast<size_t>(putByteForm(form, static_cast<uint32_t>(c)) - form));
    }
}

}  // namespace

std::string escapedText(const Value &text) {
    std::string out;
    size_t n = text.textLength();
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text.code(i);
        if (needsEscape(c)) {
            appendEscape(out, c);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string rawText(const Value &text, Build build) {
    size_t n = text.textLength();
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text.code(i);
        if (build == Build::Byte) {
            out += static_cast<char>(c & 0xFF);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

namespace {

constexpr size_t kReadableLimit = 200;  // longer binary values are not also shown as text

std::string readableBinary(const Value &v) {
    if (v.bytes.empty() || v.bytes.size() > kReadableLimit) return {};
    for (uint8_t b : v.bytes) {
        if (b < 0x20 || b > 0x7E) return {};
    }
    return " (\"" + escapedText(Value::ofByteText(v.bytes)) + "\")";
}

}  // namespace

std::string shownValue(const Value &v, Build build, bool raw) {
    switch (v.kind) {
    case ValueKind::Number:
        return formatNumber(v.number);
    case ValueKind::Binary:
        return v.bytes.empty() ? "(empty)" : toHex(v.bytes) + readableBinary(v);
    case ValueKind::Text:
        return raw ? rawText(v, build) : "\"" + escapedText(v) + "\"";
    }
    return {};
}

std::string bareValue(const Value &v, Build build, bool raw) {
    switch (v.kind) {
    case ValueKind::Number:
        return formatNumber(v.number);
    case ValueKind::Binary:
        return toHex(v.bytes);
    case ValueKind::Text:
        return raw ? rawText(v, build) : escapedText(v);
    }
    return {};
}

const char *kindName(const Value &v) {
    switch (v.kind) {
    case ValueKind::Number: return "number";
    case ValueKind::Binary: return "binary";
    case ValueKind::Text: return "text";
    }
    return "?";
}

}  // namespace ghemu
