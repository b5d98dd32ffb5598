// Comparing the memory manager's counters with a snapshot.
#include "emulator/memory_watch.h"

namespace ghemu {

std::vector<std::string> MemoryWatch::problems(long expectedBlocks) const {
    std::vector<std::string> found;
    MemoryCounters now = memoryCounters();
    long blocks = static_cast<long>(now.blocks) - static_cast<long>(before_.blocks) - expectedBlocks;
    long heap = static_cast<long>(now.heap) - static_cast<long>(before_.heap);
    if (blocks > 0) found.push_back(std::to_string(blocks) + " memory block(s) left live");
    if (blocks < 0) found.push_back(std::to_string(-blocks) + " memory block(s) freed that were not the call's");
    if (heap > 0) found.push_back(std::to_string(heap) + " heap buffer(s) left live");
    if (heap < 0) found.push_back(std::to_string(-heap) + " heap buffer(s) freed that were not the call's");
    if (now.misuse != before_.misuse) {
        found.push_back(std::to_string(now.misuse - before_.misuse) +
                        " handle(s) misused (freed twice, or not a block)");
    }
    return found;
}

}  // namespace ghemu
