// Reading and checking the catalogue a library file carries.
#include "emulator/catalogue.h"

#include <cstring>

#include "resources/catalogue.h"

namespace ghemu {

namespace {

std::string quote(const std::string &s) { return "\"" + s + "\""; }

bool allDigits(std::string_view s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// name(params):reference
CatalogueFunction parseEntry(uint32_t id, const std::string &entry) {
    CatalogueFunction f;
    f.stringId = id;
    f.number = static_cast<int>(id - GH_CATALOGUE_FIRST_ID + 1);
    f.text = entry;
    size_t open = entry.find('(');
    size_t close = entry.rfind("):");
    std::string where = "catalogue string " + std::to_string(id) + " " + quote(entry);
    if (open == std::string::npos || close == std::string::npos || close < open || open == 0) {
        throw CatalogueError(where + " is not of the form name(parameters):reference");
    }
    f.name = entry.substr(0, open);
    f.params = entry.substr(open + 1, close - open - 1);
    std::string reference = entry.substr(close + 2);
    if (!allDigits(reference)) throw CatalogueError(where + " has no decimal reference number");
    f.reference = static_cast<uint32_t>(std::stoul(reference));
    for (char c : f.name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) throw CatalogueError(where + " has a function name that is not a word");
    }
    return f;
}

}  // namespace

Catalogue Catalogue::parse(const RawCatalogue &raw) {
    Catalogue c;
    const auto &d = raw.descriptor;
    if (d.size() != GH_DESCRIPTOR_SIZE) {
        throw CatalogueError("the catalogue descriptor has " + std::to_string(d.size()) +
                             " bytes, not 14");
    }
    if (std::memcmp(d.data(), "UFNC", 4) == 0) {
        c.build_ = Build::Wide;
    } else if (std::memcmp(d.data(), "7FNC", 4) == 0) {
        c.build_ = Build::Byte;
    } else {
        throw CatalogueError("the catalogue descriptor's marker is neither UFNC nor 7FNC");
    }
    unsigned first = d[4] | d[5] << 8;
    if (first != GH_CATALOGUE_FIRST_ID) {
        throw CatalogueError("the catalogue descriptor names string " + std::to_string(first) +
                             " first, not 12061");
    }
    for (size_t i = 6; i < d.size(); ++i) {
        if (d[i]) throw CatalogueError("the catalogue descriptor's last 8 bytes are not zero");
    }

    const auto &s = raw.strings;
    if (s.size() < 2) throw CatalogueError("the catalogue has fewer than two strings");
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i].first != GH_CATALOGUE_FIRST_ID + i) {
            throw CatalogueError("catalogue string " + std::to_string(s[i].first) + " stands where " +
                                 std::to_string(GH_CATALOGUE_FIRST_ID + i) + " belongs");
        }
    }
    const std::string &last = s.back().second;
    if (last.size() < 2 || last[0] != '*') {
        throw CatalogueError("the last catalogue string " + quote(last) + " is not *libraryname");
    }
    c.libraryName_ = last.substr(1);
    if (c.libraryName_ != GH_LIBRARY_NAME) {
        throw CatalogueError("the last catalogue string is " + quote(last) + ", not \"*" GH_LIBRARY_NAME "\"");
    }

    std::string firstEntry = s.front().second;
    size_t tilde = firstEntry.find('~');
    if (tilde == std::string::npos || tilde == 0) {
        throw CatalogueError("the first catalogue string " + quote(firstEntry) +
                             " does not start with the group name and \"~\"");
    }
    c.group_ = firstEntry.substr(0, tilde);
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        std::string entry = i == 0 ? firstEntry.substr(tilde + 1) : s[i].second;
        CatalogueFunction f = parseEntry(s[i].first, entry);
        f.text = s[i].second;
        if (c.find(f.name)) throw CatalogueError("the catalogue names " + f.name + " twice");
        c.functions_.push_back(std::move(f));
    }
    return c;
}

Catalogue Catalogue::fromData(const unsigned char *descriptor, const GlyphCatalogueString *strings) {
    RawCatalogue raw;
    raw.descriptor.assign(descriptor, descriptor + GH_DESCRIPTOR_SIZE);
    for (size_t i = 0; strings[i].text && i < 4096; ++i) raw.strings.emplace_back(strings[i].id, strings[i].text);
    return parse(raw);
}

const CatalogueFunction *Catalogue::find(std::string_view name) const {
    for (const auto &f : functions_) {
        if (f.name == name) return &f;
    }
    return nullptr;
}

const CatalogueFunction *Catalogue::find(int number) const {
    if (number < 1 || static_cast<size_t>(number) > functions_.size()) return nullptr;
    return &functions_[static_cast<size_t>(number) - 1];
}

}  // namespace ghemu
