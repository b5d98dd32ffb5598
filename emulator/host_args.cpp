// The argument language of glyphhost.
#include "emulator/host_args.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ghemu {

namespace {

// The most characters an expr: text may make (a guard against a typo such
// as *10000000000).
constexpr size_t kMaxMadeLength = size_t(1) << 28;

bool startsWith(const std::string &s, const char *prefix, std::string *rest) {
    size_t n = std::char_traits<char>::length(prefix);
    if (s.compare(0, n, prefix) != 0) return false;
    *rest = s.substr(n);
    return true;
}

std::string readFile(const std::string &path) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::u8path(path), ec)) {
        throw ArgumentError("cannot read " + path + ": it is a folder, not a file");
    }
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) throw ArgumentError("cannot read " + path + ": " + std::strerror(errno));
    // A read that fails throws from inside the stream buffer (libstdc++'s
    // own message); the user gets the system's reason instead.
    std::string data;
    try {
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    } catch (const std::exception &) {
        throw ArgumentError("cannot read " + path + ": " + std::strerror(errno));
    }
    if (in.bad()) throw ArgumentError("cannot read " + path + ": " + std::strerror(errno));
    return data;
}

char32_t parseCode(const std::string &s) {
    std::string digits = s;
    while (!digits.empty() && digits.front() == ' ') digits.erase(0, 1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    char *end = nullptr;
    errno = 0;
    unsigned long long n = digits.empty() || digits[0] == '-' ? 0 : std::strtoull(digits.c_str(), &end, base);
    if (digits.empty() || digits[0] == '-' || *end || errno || n > 0xFFFFFFFFull) {
        throw ArgumentError("\"" + s + "\" is not a character code");
    }
    return static_cast<char32_t>(n);
}

std::string codeName(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

// The characters a user typed.  Wide build: the UTF-8 decoded.  Byte build:
// the UTF-8 decoded too (a typed é is the character E9, as the older host
// has it), or the bytes as they are when they are not UTF-8.
std::u32string typedCodes(const std::string &utf8, Build build, const std::string &word) {
    auto decoded = decodeUtf8(utf8);
    if (decoded) return std::move(*decoded);
    if (build == Build::Byte) {
        std::u32string bytes;
        for (char c : utf8) bytes.push_back(static_cast<unsigned char>(c));
        return bytes;
    }
    throw ArgumentError("\"" + word + "\" is not valid UTF-8 (give such characters with esc:\\x{HEX} or codes:)");
}

// A text of the build from codes: the byte build's characters are 0 to 255.
Value textOfCodes(std::u32string codes, Build build, const std::string &word) {
    if (build == Build::Byte) {
        for (char32_t c : codes) {
            if (c > 0xFF) {
                throw ArgumentError("\"" + word + "\": " + codeName(c) +
                                    " is not a character of the byte build, whose characters are the bytes "
                                    "0 to 255 (give bytes as esc:\\x{HEX}, one escape a byte)");
            }
        }
        std::vector<uint8_t> bytes(codes.begin(), codes.end());
        return Value::ofByteText(std::move(bytes));
    }
    return Value::ofText(std::move(codes));
}

Value textOf(const std::string &utf8, Build build, const std::string &word) {
    return textOfCodes(typedCodes(utf8, build, word), build, word);
}

// expr:"piece"*N+"piece"...
std::u32string makeText(const std::u32string &e, const std::string &word) {
    std::u32string out;
    size_t i = 0;
    auto blanks = [&] {
        while (i < e.size() && (e[i] == ' ' || e[i] == '\t')) ++i;
    };
    auto bad = [&](const std::string &what) {
        return ArgumentError("\"" + word + "\": " + what +
                             " (expr: takes \"text\" pieces, each optionally *N, joined with +)");
    };
    for (;;) {
        blanks();
        if (i >= e.size() || e[i] != '"') throw bad("a piece must be a text in double quotes");
        std::u32string piece;
        for (++i;; ++i) {
            if (i >= e.size()) throw bad("a \" without its closing \"");
            if (e[i] == '"') break;
            if (e[i] == '\\' && i + 1 < e.size()) piece += e[i++];
            piece += e[i];
        }
        ++i;
        try {
            piece = unescape(piece);
        } catch (const ArgumentError &error) {
            throw ArgumentError("\"" + word + "\": " + error.what());
        }
        blanks();
        unsigned long long times = 1;
        if (i < e.size() && e[i] == '*') {
            ++i;
            blanks();
            size_t start = i;
            times = 0;
            while (i < e.size() && e[i] >= '0' && e[i] <= '9' && times <= kMaxMadeLength) {
                times = times * 10 + (e[i++] - '0');
            }
            if (i == start) throw bad("* must be followed by a count");
            blanks();
        }
        if (!piece.empty() && times > (kMaxMadeLength - out.size()) / piece.size()) {
            throw bad("the text would be longer than " + std::to_string(kMaxMadeLength) + " characters");
        }
        for (unsigned long long k = 0; k < times; ++k) out += piece;
        if (i >= e.size()) return out;
        if (e[i] != '+') throw bad("pieces are joined with +");
        ++i;
    }
}

Value valueOf(const std::string &word, Build build, const std::optional<Result> &previous) {
    std::string rest;
    if (startsWith(word, "text:", &rest)) return textOf(rest, build, word);
    if (startsWith(word, "esc:", &rest)) {
        std::u32string codes = typedCodes(rest, build, word);
        try {
            codes = unescape(codes);
        } catch (const ArgumentError &e) {
            throw ArgumentError("\"" + word + "\": " + e.what());
        }
        return textOfCodes(std::move(codes), build, word);
    }
    if (startsWith(word, "expr:", &rest)) return textOfCodes(makeText(typedCodes(rest, build, word), word), build, word);
    if (startsWith(word, "num:", &rest)) {
        auto n = parseNumber(rest);
        if (!n) throw ArgumentError("\"" + word + "\" is not a number");
        return Value::ofNumber(*n);
    }
    if (startsWith(word, "hex:", &rest)) {
        auto bytes = fromHex(rest);
        if (!bytes) throw ArgumentError("\"" + word + "\" is not pairs of hexadecimal digits");
        return Value::ofBinary(std::move(*bytes));
    }
    if (startsWith(word, "bytes:", &rest)) return Value::ofBinary(std::vector<uint8_t>(rest.begin(), rest.end()));
    if (startsWith(word, "codes:", &rest)) {
        std::u32string codes;
        size_t start = 0;
        while (!rest.empty()) {
            size_t comma = rest.find(',', start);
            codes.push_back(parseCode(rest.substr(start, comma - start)));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        return textOfCodes(std::move(codes), build, word);
    }
    if (startsWith(word, "textfile:", &rest)) {
        std::string data = readFile(rest);
        if (build == Build::Byte) return Value::ofByteText(std::vector<uint8_t>(data.begin(), data.end()));
        auto decoded = decodeUtf8(data);
        if (!decoded) throw ArgumentError(rest + " is not UTF-8 text (binfile: passes its bytes)");
        return Value::ofText(std::move(*decoded));
    }
    if (startsWith(word, "binfile:", &rest)) {
        std::string data = readFile(rest);
        return Value::ofBinary(std::vector<uint8_t>(data.begin(), data.end()));
    }
    if (word == "prev:") {
        if (!previous) throw ArgumentError("prev: needs a call before it");
        if (!previous->set) throw ArgumentError("prev: the previous call set no result");
        return previous->value;
    }
    return textOf(word, build, word);
}

int hexDigit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

}  // namespace

std::u32string unescape(const std::u32string &text) {
    static const char *known = "escapes are \\r \\n \\t \\0 \\\\ \\\" and \\x{HEX}";
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) throw ArgumentError(std::string("a \\ at the end; ") + known);
        switch (text[i]) {
        case 'r': out += U'\r'; break;
        case 'n': out += U'\n'; break;
        case 't': out += U'\t'; break;
        case '0': out += U'\0'; break;
        case '\\': out += U'\\'; break;
        case '"': out += U'"'; break;
        case 'x': {
            size_t close = text.find(U'}', i);
            if (i + 1 >= text.size() || text[i + 1] != '{' || close == std::u32string::npos || close == i + 2 ||
                close - i - 2 > 8) {
                throw ArgumentError(std::string("\\x needs {HEX}, 1 to 8 hexadecimal digits, as \\x{E9}; ") + known);
            }
            uint64_t code = 0;
            for (size_t k = i + 2; k < close; ++k) {
                int d = hexDigit(text[k]);
                if (d < 0) throw ArgumentError(std::string("\\x{...} holds a character that is not hexadecimal; ") + known);
                code = code * 16 + static_cast<uint64_t>(d);
            }
            out += static_cast<char32_t>(code);
            i = close;
            break;
        }
        default: {
            std::string c = encodeUtf8(std::u32string(1, text[i]));
            throw ArgumentError("\\" + c + " is not an escape; " + known);
        }
        }
    }
    return out;
}

std::optional<size_t> instanceWord(const std::string &word) {
    if (word.size() < 2 || word[0] != '@') return std::nullopt;
    for (size_t i = 1; i < word.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(word[i]))) return std::nullopt;
    }
    unsigned long n = word.size() > 4 ? kMaxInstances + 1 : std::strtoul(word.c_str() + 1, nullptr, 10);
    if (n < 1 || n > kMaxInstances) {
        throw ArgumentError(word + ": instances are numbered @1 to @" + std::to_string(kMaxInstances));
    }
    return n - 1;
}

void refuseOptionWord(const std::string &word) {
    if (word.size() > 2 && word[0] == '-' && word[1] == '-' && std::isalpha(static_cast<unsigned char>(word[2]))) {
        throw ArgumentError("\"" + word + "\" comes after the function name, where every word is an argument: " +
                            "options go before the subcommand (glyphhost " + word.substr(0, word.find('=')) +
                            " ... call NAME ...); to pass it as a text, write text:" + word);
    }
}

std::vector<CallWords> splitCalls(const std::vector<std::string> &words) {
    std::vector<CallWords> calls;
    CallWords current;
    bool open = false;
    auto finish = [&] {
        if (!open) throw ArgumentError("a call without a function name (two \"::\" in a row, or one at an end)");
        calls.push_back(current);
        current = CallWords{};
        open = false;
    };
    for (const std::string &w : words) {
        if (w == kCallSeparator) {
            finish();
        } else if (!open) {
            if (auto instance = instanceWord(w)) {
                current.instance = *instance;
                continue;
            }
            current.function = w;
            open = true;
        } else {
            current.args.push_back(w);
        }
    }
    finish();
    return calls;
}

Param parseArgument(const std::string &word, Build build, const std::optional<Result> &previous, Host &host) {
    std::string rest;
    if (startsWith(word, "field:", &rest)) {
        size_t eq = rest.find('=');
        std::string name = rest.substr(0, eq);
        if (name.empty()) throw ArgumentError("\"" + word + "\" names no field");
        Value nameText = textOf(name, build, word);
        if (eq == std::string::npos) {
            if (!host.field(nameText.text())) {
                throw ArgumentError("field \"" + name + "\" has no value yet (give field:" + name + "=VALUE)");
            }
        } else {
            host.setField(nameText.text(), valueOf(rest.substr(eq + 1), build, previous));
        }
        return Param{nameText, {}, {}};
    }
    return Param{valueOf(word, build, previous), {}, {}};
}

std::vector<std::string> splitScriptLine(const std::string &line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '#' && !inWord) {
            break;
        } else if (c == '\'') {
            size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) throw ArgumentError("a ' without its closing '");
            word += line.substr(i + 1, close - i - 1);
            inWord = true;
            i = close + 1;
        } else if (c == '"') {
            inWord = true;
            for (++i;; ++i) {
                if (i >= line.size()) throw ArgumentError("a \" without its closing \"");
                if (line[i] == '"') break;
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
                word += line[i];
            }
            ++i;
        } else if (c == '\\') {
            if (i + 1 < line.size()) word += line[i + 1];
            inWord = true;
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

namespace {

std::string lower(std::string s) {
    for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

size_t editDistance(const std::string &a, const std::string &b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string nearestName(const std::string &name, const std::vector<std::string> &candidates) {
    std::string best;
    size_t bestDistance = 3;  // at most two letters apart
    for (const std::string &c : candidates) {
        size_t d = editDistance(lower(name), lower(c));
        if (d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace ghemu
