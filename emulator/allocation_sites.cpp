// Recording where a library allocates.
#include "emulator/allocation_sites.h"

#include <cstring>

namespace ghemu {

namespace {

// "NewXPHandle(long) at memblock.cpp:28 (discriminator 4)" reads as
// "NewXPHandle at memblock.cpp:28": no parameter list, no discriminator, no
// anonymous namespace.
std::string shortPlace(std::string p) {
    size_t d = p.find(" (discriminator");
    if (d != std::string::npos) p.erase(d);
    for (size_t a; (a = p.find("(anonymous namespace)::")) != std::string::npos;) p.erase(a, 23);
    size_t at = p.find(" at ");
    if (at != std::string::npos && at > 0 && p[at - 1] == ')') {
        int depth = 0;
        for (size_t i = at; i-- > 0;) {
            if (p[i] == ')') ++depth;
            if (p[i] == '(' && --depth == 0) {
                p.erase(i, at - i);
                break;
            }
        }
    }
    return p;
}

}  // namespace

AllocationSites::AllocationSites(const Library &library) : library_(library) {
    GlyphHerderEntry entry = library.entry();
    static_assert(sizeof entry == sizeof inLibrary_, "function and data pointers differ in size");
    std::memcpy(&inLibrary_, &entry, sizeof entry);
    watchAllocations(&AllocationSites::onAllocation, this);
}

AllocationSites::~AllocationSites() { watchAllocations(nullptr, nullptr); }

void AllocationSites::onAllocation(void *self) {
    auto *sites = static_cast<AllocationSites *>(self);
    if (sites->current_.empty()) return;
    Point chain = libraryStackOffsets(sites->inLibrary_);
    if (!chain.empty()) sites->points_[sites->current_].insert(std::move(chain));
}

size_t AllocationSites::count(const std::string &function) const {
    auto it = points_.find(function);
    return it == points_.end() ? 0 : it->second.size();
}

std::string AllocationSites::listing() const {
    // Every offset described once, with one run of the describer.
    std::set<uintptr_t> all;
    for (const auto &[function, set] : points_) {
        for (const Point &p : set) all.insert(p.begin(), p.end());
    }
    std::vector<uintptr_t> offsets(all.begin(), all.end());
    std::vector<std::string> places = describeLibraryOffsets(library_.path(), offsets);
    for (std::string &p : places) p = shortPlace(p);
    std::map<uintptr_t, std::string> place;
    for (size_t i = 0; i < offsets.size(); ++i) place[offsets[i]] = places[i];

    std::string out;
    for (const auto &[function, set] : points_) {
        out += function + ": " + std::to_string(set.size()) + " allocation point" + (set.size() == 1 ? "" : "s") + "\n";
        for (const Point &p : set) {
            out += "   ";
            // The entry point and the dispatch are the same for every point.
            size_t shown = 0;
            for (uintptr_t o : p) {
                const std::string &where = place[o];
                if (where.rfind("glyphHerder ", 0) == 0 || where.rfind("call ", 0) == 0) continue;
                out += (shown++ ? " < " : " ") + where;
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace ghemu
