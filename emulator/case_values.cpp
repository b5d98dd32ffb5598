// Reading the value and result forms of the catalogue cases.
#include "emulator/case_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ghemu {

using nlohmann::json;

namespace {

// A text or binary value repeated: built by doubling, so a million
// repetitions cost little.
Value repeated(const Value &v, uint64_t times) {
    if (v.isNumber()) throw CaseError("\"repeat\" takes a text or binary value, not a number");
    if (times > 100000000) throw CaseError("\"times\" is too large");
    auto grow = [times](auto &seq) {
        size_t unit = seq.size();
        size_t total = unit * static_cast<size_t>(times);
        seq.resize(total);
        // Doubling: each round copies what is already there.
        for (size_t filled = times ? unit : 0; filled < total;) {
            size_t n = std::min(filled, total - filled);
            std::copy_n(seq.begin(), n, seq.begin() + static_cast<long>(filled));
            filled += n;
        }
    };
    if (v.isText() && v.textInBytes()) {
        std::vector<uint8_t> codes = v.byteCodes();
        grow(codes);
        return Value::ofByteText(std::move(codes));
    }
    if (v.isText()) {
        std::u32string codes = v.wideCodes();
        grow(codes);
        return Value::ofText(std::move(codes));
    }
    Value out = v;
    grow(out.bytes);
    return out;
}

// Texts (or binary values) one after another, in the form of the first.
Value concatenated(const json &parts, Build build, const std::vector<Result> &previous) {
    Value out = caseValue(parts[0], build, previous);
    if (out.isNumber()) throw CaseError("\"concat\" takes texts or binary values, not numbers");
    std::u32string text = out.isText() ? out.text() : std::u32string();
    for (size_t i = 1; i < parts.size(); ++i) {
        Value v = caseValue(parts[i], build, previous);
        if (v.kind != out.kind) throw CaseError("\"concat\" takes values of one kind: texts or binary values");
        if (v.isText()) {
            text += v.text();
        } else {
            out.bytes.insert(out.bytes.end(), v.bytes.begin(), v.bytes.end());
        }
    }
    if (out.isText()) {
        out = Value::ofText(std::move(text));
        out.adoptForm(build);
    }
    return out;
}

double numberOf(const json &j) {
    if (j.is_number()) return j.get<double>();
    if (j.is_string()) {
        std::string s = j.get<std::string>();
        if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
        if (s == "inf") return std::numeric_limits<double>::infinity();
        if (s == "-inf") return -std::numeric_limits<double>::infinity();
    }
    throw CaseError("\"number\" takes a JSON number or \"nan\", \"inf\", \"-inf\"");
}

const json &only(const json &object, const char *key) {
    auto it = object.find(key);
    if (it == object.end()) throw CaseError(std::string("missing \"") + key + "\"");
    return *it;
}

std::string str(const json &j, const char *what) {
    if (!j.is_string()) throw CaseError(std::string("\"") + what + "\" takes a string");
    return j.get<std::string>();
}

// {"ntlm_authenticate": {"challenge": BASE64, "user": V, "password": V,
// "workstation": V, "hash_user": V, "hash_domain": V, "time": N}}: texts V
// in any text form (hash_domain's as in the wide build); hash_user defaults
// to the user name with a-z in capitals; time (a FILETIME) to "near now".
NtlmExpectation ntlmExpectation(const json &j, Build build, const std::vector<Result> &previous) {
    if (!j.is_object()) throw CaseError("\"ntlm_authenticate\" takes an object");
    static const char *kKeys[] = {"challenge", "user", "password", "workstation", "hash_user", "hash_domain", "time"};
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char *k) { return it.key() == k; }) == std::end(kKeys))
            throw CaseError("unknown key \"" + it.key() + "\" in \"ntlm_authenticate\"");
    }
    auto text = [&](const char *key) {
        Value v = caseValue(only(j, key), build, previous);
        if (!v.isText()) throw CaseError(std::string("\"") + key + "\" takes a text");
        return v.text();
    };
    NtlmExpectation e;
    std::string challenge = str(only(j, "challenge"), "challenge");
    challenge.erase(std::remove_if(challenge.begin(), challenge.end(), [](char c) { return c == '\r' || c == '\n'; }),
                    challenge.end());
    e.challenge = base64Prefix(challenge);
    e.user = text("user");
    e.password = text("password");
    e.workstation = text("workstation");
    // The domain comes from the server, not from the host: its characters
    // are Unicode in either build.
    Value domain = caseValue(only(j, "hash_domain"), Build::Wide, previous);
    if (!domain.isText()) throw CaseError("\"hash_domain\" takes a text");
    e.hashDomain = domain.text();
    if (j.contains("hash_user")) {
        e.hashUser = text("hash_user");
    } else {
        e.hashUser = e.user;
        for (char32_t &c : e.hashUser) {
            if (c >= 'a' && c <= 'z') c -= 0x20;
        }
    }
    if (j.contains("time")) {
        if (!j["time"].is_number_unsigned()) throw CaseError("\"time\" takes a FILETIME, a count");
        e.time = j["time"].get<uint64_t>();
    }
    return e;
}

}  // namespace

Value caseValue(const json &j, Build build, const std::vector<Result> &previous) {
    if (j.is_string()) return Value::ofUtf8(build, j.get<std::string>());
    if (j.is_number()) return Value::ofNumber(j.get<double>());
    if (!j.is_object()) throw CaseError("a value is a string, a number or an object, not " + j.dump());
    try {
        if (j.contains("text")) return Value::ofUtf8(build, str(j["text"], "text"));
        if (j.contains("codes")) {
            const json &codes = j["codes"];
            if (!codes.is_array()) throw CaseError("\"codes\" takes a list of numbers");
            std::u32string text;
            for (const json &c : codes) {
                if (!c.is_number_unsigned() || c.get<uint64_t>() > 0xFFFFFFFFu) {
                    throw CaseError("\"codes\" takes character codes from 0 to 4294967295");
                }
                auto code = static_cast<char32_t>(c.get<uint64_t>());
                if (build == Build::Byte && code > 0xFF) {
                    throw CaseError("a code above 255 has no byte-build character; give the byte build its own value");
                }
                text.push_back(code);
            }
            return Value::ofText(std::move(text));
        }
        if (j.contains("hex")) {
            auto bytes = fromHex(str(j["hex"], "hex"));
            if (!bytes) throw CaseError("\"hex\" takes pairs of hexadecimal digits");
            return Value::ofBinary(std::move(*bytes));
        }
        if (j.contains("bytes")) {
            std::string s = str(j["bytes"], "bytes");
            return Value::ofBinary(std::vector<uint8_t>(s.begin(), s.end()));
        }
        if (j.contains("number")) return Value::ofNumber(numberOf(j["number"]));
        if (j.contains("repeat")) {
            const json &times = only(j, "times");
            if (!times.is_number_unsigned()) throw CaseError("\"times\" takes a count");
            return repeated(caseValue(j["repeat"], build, previous), times.get<uint64_t>());
        }
        if (j.contains("concat")) {
            const json &parts = j["concat"];
            if (!parts.is_array() || parts.empty()) throw CaseError("\"concat\" takes a list of values");
            return concatenated(parts, build, previous);
        }
        if (j.contains("result_of")) {
            const json &k = j["result_of"];
            if (!k.is_number_unsigned() || k.get<uint64_t>() >= previous.size()) {
                throw CaseError("\"result_of\" names a step that has not run before this one");
            }
            const Result &r = previous[k.get<size_t>()];
            if (!r.set) throw CaseError("step " + k.dump() + " set no result to pass on");
            return r.value;
        }
    } catch (const ValueError &e) {
        throw CaseError(e.what());
    }
    throw CaseError("not a value form: " + j.dump());
}

Param caseParam(const json &j, Build build, const std::vector<Result> &previous) {
    Param p;
    p.value = caseValue(j, build, previous);
    if (j.is_object()) {
        if (j.contains("field")) {
            const json &f = j["field"];
            if (!f.is_number_integer() || f.get<int64_t>() < INT16_MIN || f.get<int64_t>() > INT16_MAX) {
                throw CaseError("\"field\" takes a 16-bit field number");
            }
            p.fieldNumber = static_cast<int16_t>(f.get<int64_t>());
        }
        if (j.contains("kind")) {
            const json &k = j["kind"];
            if (!k.is_number_integer() || k.get<int64_t>() < INT16_MIN || k.get<int64_t>() > INT16_MAX) {
                throw CaseError("\"kind\" takes a 16-bit field kind");
            }
            p.kind = static_cast<int16_t>(k.get<int64_t>());
        }
    }
    return p;
}

Expected caseExpected(const json &j, Build build, const std::vector<Result> &previous) {
    if (j.is_object() && (j.contains("wide") || j.contains("byte"))) {
        const char *key = build == Build::Wide ? "wide" : "byte";
        if (!j.contains(key)) throw CaseError(std::string("the result gives no \"") + key + "\" form");
        return caseExpected(j[key], build, previous);
    }
    Expected e;
    if (j.is_object() && j.contains("none")) {
        if (j["none"] != true) throw CaseError("\"none\" takes true");
        e.none = true;
        return e;
    }
    if (j.is_object() && j.contains("any")) {
        std::string kind = j["any"].is_string() ? j["any"].get<std::string>() : "";
        if (kind == "text") {
            e.any = ValueKind::Text;
        } else if (kind == "binary") {
            e.any = ValueKind::Binary;
        } else if (kind == "number") {
            e.any = ValueKind::Number;
        } else {
            throw CaseError("\"any\" takes \"text\", \"binary\" or \"number\"");
        }
        e.value.kind = *e.any;
    } else if (j.is_object() && j.contains("ntlm_authenticate")) {
        e.ntlm = ntlmExpectation(j["ntlm_authenticate"], build, previous);
        e.value.kind = ValueKind::Text;
    } else {
        e.value = caseValue(j, build, previous);
    }
    if (j.is_object() && j.contains("type")) {
        const json &t = j["type"];
        if (!t.is_number_integer()) throw CaseError("\"type\" takes a type code");
        e.type = t.get<int>();
    }
    return e;
}

bool Expected::matches(const Result &r) const {
    if (none) return !r.set;
    if (!r.set) return false;
    if (ntlm) {
        if (!r.value.isText()) return false;
        whyNot = checkNtlmAuthenticate(encodeUtf8(r.value.text()), *ntlm);
        if (!whyNot.empty()) return false;
    } else if (any ? r.value.kind != *any : !(r.value == value)) {
        return false;
    }
    if (type) return r.type == *type;
    // Without a type: a text may be set as text or text block.
    switch (value.kind) {
    case ValueKind::Number:
        return r.type == 0;
    case ValueKind::Text:
        return r.type == 2 || r.type == 8;
    case ValueKind::Binary:
        return r.type == 10;
    }
    return false;
}

std::string Expected::describe(Build build) const {
    if (none) return "no result set";
    if (ntlm) {
        std::string s = describeNtlmExpectation(*ntlm);
        return whyNot.empty() ? s : s + " (" + whyNot + ")";
    }
    std::string s = any ? std::string("any ") + (*any == ValueKind::Text ? "text" : *any == ValueKind::Binary ? "binary" : "number")
                        : describeValue(value, build);
    if (type) s += " (as " + typeName(*type) + ")";
    return s;
}

}  // namespace ghemu
