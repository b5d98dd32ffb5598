// The argument language of glyphhost.
#include "emulator/host_args.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ghemu {

namespace {

bool startsWith(const std::string &s, const char *prefix, std::string *rest) {
    size_t n = std::char_traits<char>::length(prefix);
    if (s.compare(0, n, prefix) != 0) return false;
    *rest = s.substr(n);
    return true;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ArgumentError("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

Value textOf(const std::string &utf8, Build build, const std::string &word) {
    try {
        return Value::ofUtf8(build, utf8);
    } catch (const ValueError &) {
        throw ArgumentError("\"" + word + "\" is not valid UTF-8 (pass bytes with binfile: or hex:)");
    }
}

Value valueOf(const std::string &word, Build build, const std::optional<Result> &previous) {
    std::string rest;
    if (startsWith(word, "text:", &rest)) return textOf(rest, build, word);
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
        if (build == Build::Byte) {
            for (char32_t c : codes) {
                if (c > 0xFF) throw ArgumentError("\"" + word + "\": the byte build's characters are 0 to 255");
            }
        }
        return Value::ofText(std::move(codes));
    }
    if (startsWith(word, "textfile:", &rest)) return textOf(readFile(rest), build, word);
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

}  // namespace

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

}  // namespace ghemu
