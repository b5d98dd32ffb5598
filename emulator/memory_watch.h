// A snapshot of the shared memory manager's counters, to check after a call
// that the library left nothing behind: no block and no heap buffer live
// that were not before, and no handle misused.
//
//   ghemu::MemoryWatch watch;
//   ... call the library ...
//   EXPECT_EQ(watch.problems(), std::vector<std::string>{});
//
// Where the memory manager has no test controls (Windows) nothing is found.
#ifndef GH_EMULATOR_MEMORY_WATCH_H
#define GH_EMULATOR_MEMORY_WATCH_H

#include <string>
#include <vector>

#include "emulator/system.h"

namespace ghemu {

class MemoryWatch {
public:
    MemoryWatch() : before_(memoryCounters()) {}

    // What changed that should not have.  expectedBlocks is the change in
    // live blocks the caller expects (+1 after a connect that stored a
    // context, -1 after a disconnect that freed one).
    std::vector<std::string> problems(long expectedBlocks = 0) const;
    // Allocation events since the snapshot (the host's own are not counted).
    unsigned long events() const { return memoryCounters().events - before_.events; }

private:
    MemoryCounters before_;
};

}  // namespace ghemu

#endif
