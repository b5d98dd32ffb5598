// Values of the emulated host and the conversions between their forms.
#include "emulator/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ghemu {

int charWidth(Build build) { return build == Build::Wide ? 4 : 1; }

const char *buildName(Build build) { return build == Build::Wide ? "wide" : "byte"; }

std::optional<Build> parseBuild(std::string_view name) {
    if (name == "wide") return Build::Wide;
    if (name == "byte") return Build::Byte;
    return std::nullopt;
}

Value Value::ofNumber(double n) {
    Value v;
    v.kind = ValueKind::Number;
    v.number = n;
    return v;
}

Value Value::ofText(std::u32string codes) {
    Value v;
    v.kind = ValueKind::Text;
    v.wideText_ = std::move(codes);
    return v;
}

Value Value::ofByteText(std::vector<uint8_t> codes) {
    Value v;
    v.kind = ValueKind::Text;
    v.byteText_ = std::move(codes);
    v.byteForm_ = true;
    return v;
}

Value Value::ofBinary(std::vector<uint8_t> bytes) {
    Value v;
    v.kind = ValueKind::Binary;
    v.bytes = std::move(bytes);
    return v;
}

Value Value::ofUtf8(Build build, std::string_view utf8) {
    if (build == Build::Byte) return ofByteText(std::vector<uint8_t>(utf8.begin(), utf8.end()));
    auto decoded = decodeUtf8(utf8);
    if (!decoded) throw ValueError("text is not valid UTF-8");
    return ofText(std::move(*decoded));
}

std::u32string Value::text() const {
    if (!byteForm_) return wideText_;
    return std::u32string(byteText_.begin(), byteText_.end());
}

void Value::adoptForm(Build build) {
    if (kind != ValueKind::Text) return;
    if (build == Build::Wide) {
        if (!byteForm_) return;
        wideText_.assign(byteText_.begin(), byteText_.end());
        byteText_ = {};
        byteForm_ = false;
        return;
    }
    if (byteForm_) return;
    for (char32_t c : wideText_) {
        if (c > 0xFF) return;  // not a byte-build text; kept as it is
    }
    byteText_.assign(wideText_.begin(), wideText_.end());
    wideText_ = {};
    byteForm_ = true;
}

bool operator==(const Value &a, const Value &b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case ValueKind::Number:
        return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
    case ValueKind::Text: {
        if (a.textInBytes() == b.textInBytes()) {
            return a.textInBytes() ? a.byteCodes() == b.byteCodes() : a.wideCodes() == b.wideCodes();
        }
        size_t n = a.textLength();
        if (n != b.textLength()) return false;
        for (size_t i = 0; i < n; ++i) {
            if (a.code(i) != b.code(i)) return false;
        }
        return true;
    }
    case ValueKind::Binary:
        return a.bytes == b.bytes;
    }
    return false;
}

std::string formatNumber(double n) {
    if (std::isnan(n)) return "nan";
    if (std::isinf(n)) return n < 0 ? "-inf" : "inf";
    char buffer[64];
    if (n == std::trunc(n) && std::fabs(n) < 1e17) {
        auto r = std::to_chars(buffer, buffer + sizeof buffer, n, std::chars_format::fixed, 0);
        return std::string(buffer, r.ptr);
    }
    auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
    return std::string(buffer, r.ptr);
}

std::optional<double> parseNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::u32string valueAsText(const Value &v) {
    switch (v.kind) {
    case ValueKind::Text:
        return v.text();
    case ValueKind::Number: {
        std::string s = formatNumber(v.number);
        return std::u32string(s.begin(), s.end());
    }
    case ValueKind::Binary:
        return std::u32string(v.bytes.begin(), v.bytes.end());
    }
    return {};
}

size_t byteFormLength(uint32_t c) {
    if (c <= 0xFF) return 1;
    if (c <= 0x7FF) return 2;
    if (c <= 0xFFFF) return 3;
    if (c <= 0x1FFFFF) return 4;
    if (c <= 0x3FFFFFF) return 5;
    return 6;
}

uint8_t *putByteForm(uint8_t *out, uint32_t c) {
    auto cont = [](uint32_t x) { return static_cast<uint8_t>(0x80 | (x & 0x3F)); };
    // Lead byte marks for 2 to 6 bytes, and the bits of c the lead keeps.
    static const uint8_t lead[7] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    static const uint8_t leadBits[7] = {0, 0, 0x1F, 0x0F, 0x07, 0x07, 0x07};
    size_t n = byteFormLength(c);
    if (n == 1) {
        *out = static_cast<uint8_t>(c);
        return out + 1;
    }
    out[0] = static_cast<uint8_t>(lead[n] | (c >> (6 * (n - 1)) & leadBits[n]));
    for (size_t k = 1; k < n; ++k) out[k] = cont(c >> (6 * (n - 1 - k)));
    return out + n;
}

std::vector<uint8_t> valueAsBytes(const Value &v, Build build) {
    if (v.kind == ValueKind::Binary) return v.bytes;
    if (v.isText() && v.textInBytes()) return v.byteCodes();  // codes below 256: one byte each
    std::u32string text = valueAsText(v);
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (build == Build::Byte) {
            out.push_back(static_cast<uint8_t>(c));
        } else {
            uint8_t form[6];
            out.insert(out.end(), form, putByteForm(form, static_cast<uint32_t>(c)));
        }
    }
    return out;
}

double valueAsNumber(const Value &v) {
    switch (v.kind) {
    case ValueKind::Number:
        return v.number;
    case ValueKind::Text: {
        size_t n = v.textLength();
        std::string ascii(n, '\0');
        for (size_t i = 0; i < n; ++i) {
            char32_t c = v.code(i);
            if (c > 0x7F) return 0;
            ascii[i] = static_cast<char>(c);
        }
        return parseNumber(ascii).value_or(0);
    }
    case ValueKind::Binary:
        return 0;
    }
    return 0;
}

std::string encodeUtf8(const std::u32string &codePoints) {
    std::string out;
    out.reserve(codePoints.size());
    for (char32_t c32 : codePoints) {
        uint32_t c = c32;
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::optional<std::u32string> decodeUtf8(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    size_t i = 0;
    const size_t n = utf8.size();
    auto byte = [&](size_t k) { return static_cast<uint8_t>(utf8[k]); };
    while (i < n) {
        uint8_t b = byte(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra;
        uint32_t c;
        uint32_t least;
        if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, least = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, least = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<size_t>(extra) >= n) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            uint8_t cb = byte(i + static_cast<size_t>(k));
            if ((cb & 0xC0) != 0x80) return std::nullopt;
            c = c << 6 | (cb & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        out.push_back(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string textToUtf8(const std::u32string &codes, Build build) {
    if (build == Build::Byte) {
        std::string out(codes.size(), '\0');
        for (size_t i = 0; i < codes.size(); ++i) out[i] = static_cast<char>(codes[i] & 0xFF);
        return out;
    }
    return encodeUtf8(codes);
}

std::string toHex(const std::vector<uint8_t> &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out(bytes.size() * 2, '0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    return out;
}

std::optional<std::vector<uint8_t>> fromHex(std::string_view hex) {
    if (hex.size() % 2) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<uint8_t> out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        int hi = digit(hex[2 * i]);
        int lo = digit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return out;
}

namespace {

constexpr size_t kShown = 64;  // elements shown of a long value

std::string quoted(const std::u32string &codes, Build build) {
    std::string out = "\"";
    for (char32_t c : codes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || (build == Build::Byte && c >= 0x80)) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += encodeUtf8(std::u32string(1, c));
        }
    }
    return out + "\"";
}

}  // namespace

std::string describeValue(const Value &v, Build build) {
    switch (v.kind) {
    case ValueKind::Number:
        return "number " + formatNumber(v.number);
    case ValueKind::Binary: {
        bool shortened = v.bytes.size() > kShown;
        std::vector<uint8_t> shown(v.bytes.begin(),
                                   v.bytes.begin() + static_cast<long>(shortened ? kShown : v.bytes.size()));
        std::string out = "binary " + (shown.empty() ? std::string("(empty)") : toHex(shown));
        if (shortened) out += "... (" + std::to_string(v.bytes.size()) + " bytes)";
        return out;
    }
    case ValueKind::Text: {
        size_t length = v.textLength();
        bool shortened = length > kShown;
        std::u32string shown;
        for (size_t i = 0; i < length && i < kShown; ++i) shown.push_back(v.code(i));
        std::string out = "text " + quoted(shown, build);
        if (shortened) out += "... (" + std::to_string(length) + " characters)";
        bool plain = true;
        for (char32_t c : shown) plain = plain && c >= 0x20 && c < 0x7F;
        if (!plain) {
            out += " codes [";
            for (size_t i = 0; i < shown.size(); ++i) {
                out += (i ? ", " : "") + std::to_string(static_cast<uint32_t>(shown[i]));
            }
            out += shortened ? ", ...]" : "]";
        }
        return out;
    }
    }
    return "?";
}

bool operator==(const Result &a, const Result &b) {
    if (!a.set || !b.set) return a.set == b.set;
    return a.type == b.type && a.value == b.value;
}

std::string typeName(int type) {
    switch (type) {
    case 0:
        return "number";
    case 2:
        return "text";
    case 8:
        return "text block";
    case 10:
        return "binary block";
    default:
        return "type " + std::to_string(type);
    }
}

std::string describeResult(const Result &r, Build build) {
    if (!r.set) return "no result set";
    return describeValue(r.value, build) + " (as " + typeName(r.type) + ")";
}

}  // namespace ghemu
