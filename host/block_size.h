// The size of a MemBlock a result is made in, computed in 64 bits.
//
// A block's count is 32 bits, so a value of more than 2^32 - 1 elements
// cannot be handed to the host at all; and a block must fit in what this
// platform can allocate (on 32-bit Windows four bytes a character reach the
// limit of size_t long before the count does).  Either way the size is 0: the
// caller gives its failure result, never a block of a wrapped size.
#ifndef GH_BLOCK_SIZE_H
#define GH_BLOCK_SIZE_H

#include <stddef.h>
#include <stdint.h>

enum { BLOCK_HEADER_BYTES = 4 };  // the count in front of the data

// True when count elements can be a host value: a block's count, a text's
// length.
inline bool FitsHostCount(uint64_t count) { return count <= UINT32_MAX; }

// Bytes of a block holding count elements of elementSize bytes (at most 8)
// and spare elements after them (room for a terminator, say), or 0 when the
// count does not fit a block's count or the size exceeds limit.
inline uint64_t MemBlockSizeWithin(uint64_t count, uint64_t elementSize, uint64_t spare, uint64_t limit) {
    if (!FitsHostCount(count) || spare > UINT32_MAX || elementSize > 8) return 0;
    uint64_t size = BLOCK_HEADER_BYTES + (count + spare) * elementSize;  // below 2^36: no overflow
    return size <= limit ? size : 0;
}

// The same within what this platform can allocate.
inline uint64_t MemBlockSize(uint64_t count, uint64_t elementSize, uint64_t spare = 0) {
    return MemBlockSizeWithin(count, elementSize, spare, SIZE_MAX);
}

// The most elements of elementSize bytes (1 to 8) a block within limit can
// hold: the count for which MemBlockSizeWithin is not 0, at most 2^32 - 1.
inline uint64_t MemBlockMaxCountWithin(uint64_t elementSize, uint64_t limit) {
    if (elementSize == 0 || elementSize > 8 || limit < BLOCK_HEADER_BYTES) return 0;
    uint64_t count = (limit - BLOCK_HEADER_BYTES) / elementSize;
    return count < UINT32_MAX ? count : UINT32_MAX;
}

inline uint64_t MemBlockMaxCount(uint64_t elementSize) { return MemBlockMaxCountWithin(elementSize, SIZE_MAX); }

// The count a growing block of `room` elements takes next when `need` must
// fit: twice its room, or as many as a block can hold (maxCount) when twice
// is more, but never less than need.  0 when need itself cannot be held.
inline uint64_t GrownBlockCount(uint64_t room, uint64_t need, uint64_t maxCount) {
    if (need > maxCount) return 0;
    uint64_t twice = room <= maxCount / 2 ? 2 * room : maxCount;
    return twice > need ? twice : need;
}

#endif
