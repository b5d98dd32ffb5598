// The memory layer's table of live blocks: handle -> block record.
//
// An open-addressing hash table on malloc and free alone, so that
// libglyphmem needs nothing of the C++ runtime (it ships needing only the C
// library).  Not thread-safe: the memory layer calls it under its lock.
#ifndef GH_HANDLE_TABLE_H
#define GH_HANDLE_TABLE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace glyphmem {

template <class Record>
class HandleTable {
public:
    HandleTable() = default;
    HandleTable(const HandleTable &) = delete;
    HandleTable &operator=(const HandleTable &) = delete;

    size_t size() const { return liveSlots; }

    // The record of handle, or null.
    Record *find(const void *handle) const {
        const Slot *s = slotOf(handle);
        return s ? s->record : nullptr;
    }

    // Adds a handle that is not in the table; false when memory runs out
    // (the table is then as it was).
    bool insert(const void *handle, Record *record) {
        if ((usedSlots + 1) * 4 > slotCount * 3 && !grow()) return false;
        size_t i = home(handle, slotCount);
        while (slotArray[i].key && slotArray[i].key != removed()) i = (i + 1) & (slotCount - 1);
        if (!slotArray[i].key) ++usedSlots;
        slotArray[i] = Slot{handle, record};
        ++liveSlots;
        return true;
    }

    void erase(const void *handle) {
        Slot *s = slotOf(handle);
        if (!s) return;
        *s = Slot{removed(), nullptr};
        --liveSlots;
    }

private:
    struct Slot {
        const void *key;  // null: never used; removed(): erased
        Record *record;
    };
    // No handle is 1: blocks and records come from malloc.
    static const void *removed() { return reinterpret_cast<const void *>(uintptr_t{1}); }

    // Fibonacci hashing of the address, whose low bits are alignment.
    static size_t home(const void *handle, size_t capacity) {
        uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle)) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h >> 32) & (capacity - 1);
    }

    Slot *slotOf(const void *handle) const {
        if (!slotCount || !handle || handle == removed()) return nullptr;
        for (size_t i = home(handle, slotCount);; i = (i + 1) & (slotCount - 1)) {
            if (slotArray[i].key == handle) return &slotArray[i];
            if (!slotArray[i].key) return nullptr;
        }
    }

    // Rebuilds the table at twice the live count or more (erased slots go).
    bool grow() {
        size_t capacity = 16;
        while (capacity < (liveSlots + 1) * 4) capacity *= 2;
        auto *slots = static_cast<Slot *>(std::calloc(capacity, sizeof(Slot)));
        if (!slots) return false;
        for (size_t i = 0; i < slotCount; ++i) {
            if (!slotArray[i].key || slotArray[i].key == removed()) continue;
            size_t j = home(slotArray[i].key, capacity);
            while (slots[j].key) j = (j + 1) & (capacity - 1);
            slots[j] = slotArray[i];
        }
        std::free(slotArray);
        slotArray = slots;
        slotCount = capacity;
        usedSlots = liveSlots;
        return true;
    }

    Slot *slotArray = nullptr;
    size_t slotCount = 0;  // a power of two, or 0
    size_t usedSlots = 0;      // live and erased slots
    size_t liveSlots = 0;
};

}  // namespace glyphmem

#endif
