// Memory blocks shared with the host, and the host character of this build.
//
// A MemBlock is a moveable block of the global memory manager holding a
// 32-bit count (native byte order) followed by that many elements: characters
// in a text block, bytes in a binary block.  The block may be larger than
// 4 bytes plus the data; what lies after the data is not part of the value.
#ifndef GH_MEMBLOCK_H
#define GH_MEMBLOCK_H

#include <stddef.h>
#include <stdint.h>

#include "host/block_size.h"

#ifndef GH_WIDE
#  error "GH_WIDE must be defined: 1 for the wide build, 0 for the byte build"
#endif

// The host character: a 32-bit code in the wide build, a byte in the byte build.
#if GH_WIDE
typedef uint32_t qchar;
#else
typedef uint8_t qchar;
#endif

typedef void *XPHandle;

// Bytes before a MemBlock's data.
enum { MEMBLOCK_HEADER = BLOCK_HEADER_BYTES };

// A fixed, zero-filled block; its handle is its address.  Null on failure.
void *NewXPPointer(size_t size);
void DisposeXPPointer(void *p);

// A moveable block.  Up to 8192 bytes it is zero-filled; above that its
// contents are undefined.  Null on failure (also for a negative size).
XPHandle NewXPHandle(int64_t size);
// The block's size in bytes as the memory manager reports it.
size_t GetXPHandleSize(XPHandle h);
// Resizes *h (grown space is zero-filled).  0 on success, with the new handle
// stored in *h; 1 on failure, with *h and its data as they were.
int ResizeXPHandle(XPHandle *h, size_t newSize);
// Cuts *h down to size bytes when that gives back MEMBLOCK_TRIM_WORTH bytes
// or more; a smaller excess stays, the block's count saying what it holds
// (for a small value the resize would cost the call more than the bytes
// cost the heap).  0 when cut or left as it is; 1 when a cut failed, with
// *h as it was.
enum { MEMBLOCK_TRIM_WORTH = 1024 };
int TrimXPHandle(XPHandle *h, size_t size);
void *LockXPHandle(XPHandle h);
// A block that is not locked stays as it is.
void UnlockXPHandle(XPHandle h);
void DisposeXPHandle(XPHandle h);

// Helpers on a locked MemBlock.
inline uint32_t MemBlockCount(const void *locked) {
    uint32_t n;
    __builtin_memcpy(&n, locked, sizeof n);
    return n;
}
inline void SetMemBlockCount(void *locked, uint32_t n) {
    __builtin_memcpy(locked, &n, sizeof n);
}
inline unsigned char *MemBlockBytes(void *locked) {
    return static_cast<unsigned char *>(locked) + MEMBLOCK_HEADER;
}
inline qchar *MemBlockChars(void *locked) {
    return reinterpret_cast<qchar *>(static_cast<unsigned char *>(locked) + MEMBLOCK_HEADER);
}

// A new MemBlock holding count 0 (4 bytes): what a fetch fills.
XPHandle NewEmptyMemBlock();
// A new MemBlock holding the given bytes (count = n).  Null on failure.
XPHandle NewMemBlockFromBytes(const void *bytes, size_t n);

#endif
