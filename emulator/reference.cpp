// Looking up the built-in function reference.
#include "emulator/reference.h"

#include <cctype>

namespace ghemu {

namespace {

bool isNumber(const std::string &s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

const ReferenceEntry *findReferenceEntry(const std::string &nameOrNumber) {
    int number = isNumber(nameOrNumber) ? std::stoi(nameOrNumber) : 0;
    for (size_t i = 0; i < kReferenceEntryCount; ++i) {
        const ReferenceEntry &e = kReferenceEntries[i];
        if (nameOrNumber == e.name || (number && number == e.number)) return &e;
    }
    return nullptr;
}

}  // namespace ghemu
