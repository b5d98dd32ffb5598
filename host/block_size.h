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

#endif
