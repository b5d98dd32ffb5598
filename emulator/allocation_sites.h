// The allocation points a library reaches, per catalogue function.  A point
// is the chain of the library's own return addresses at an allocation: the
// same allocation helper reached from two places of a function counts as two
// points, as each can fail on its own.
//
//   ghemu::AllocationSites sites(library);     // watches from now on
//   sites.attribute("hexEncode");              // events count for hexEncode
//   ... calls ...
//   sites.attribute("");                       // events count for nothing
//   std::printf("%s", sites.listing().c_str());
//
// Only where the memory manager can be watched (Linux); elsewhere nothing
// is recorded.  One at a time per process.
#ifndef GH_EMULATOR_ALLOCATION_SITES_H
#define GH_EMULATOR_ALLOCATION_SITES_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "emulator/library.h"

namespace ghemu {

class AllocationSites {
public:
    explicit AllocationSites(const Library &library);
    ~AllocationSites();
    AllocationSites(const AllocationSites &) = delete;
    AllocationSites &operator=(const AllocationSites &) = delete;

    // The function the following allocation events belong to ("" for none).
    void attribute(const std::string &function) { current_ = function; }

    using Point = std::vector<uintptr_t>;  // offsets in the library, innermost first
    const std::map<std::string, std::set<Point>> &points() const { return points_; }
    // The number of points of a function (0 when it reached none).
    size_t count(const std::string &function) const;
    // One line per function with its count, then one line per point: the
    // source places of its chain, innermost first.
    std::string listing() const;

private:
    static void onAllocation(void *self);

    const Library &library_;
    const void *inLibrary_;
    std::string current_;
    std::map<std::string, std::set<Point>> points_;
};

}  // namespace ghemu

#endif
