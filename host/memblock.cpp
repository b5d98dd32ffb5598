// The library's thin layer over the shared global memory manager.
#include "host/memblock.h"

#include <string.h>

#include "platform/globalmem.h"

namespace {

// Moveable blocks up to this size are zero-filled; larger ones are not (the
// host's allocator makes the same distinction, and zeroing large blocks that
// are about to be overwritten would cost time).
constexpr int64_t kZeroFillLimit = 8192;

}  // namespace

void *NewXPPointer(size_t size) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}

void DisposeXPPointer(void *p) {
    if (p) GlobalFree(p);
}

XPHandle NewXPHandle(int64_t size) {
    if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX) return nullptr;
    UINT flags = size <= kZeroFillLimit ? (GMEM_MOVEABLE | GMEM_ZEROINIT) : GMEM_MOVEABLE;
    return GlobalAlloc(flags, static_cast<size_t>(size));
}

size_t GetXPHandleSize(XPHandle h) {
    return h ? GlobalSize(h) : 0;
}

int ResizeXPHandle(XPHandle *h, size_t newSize) {
    if (!h || !*h) return 1;
    HGLOBAL resized = GlobalReAlloc(*h, newSize, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!resized) return 1;
    *h = resized;
    return 0;
}

int TrimXPHandle(XPHandle *h, size_t size) {
    if (!h || !*h) return 1;
    size_t have = GetXPHandleSize(*h);
    return have >= size && have - size >= MEMBLOCK_TRIM_WORTH ? ResizeXPHandle(h, size) : 0;
}

void *LockXPHandle(XPHandle h) {
    return h ? GlobalLock(h) : nullptr;
}

void UnlockXPHandle(XPHandle h) {
    if (h) GlobalUnlock(h);
}

void DisposeXPHandle(XPHandle h) {
    if (h) GlobalFree(h);
}

XPHandle NewEmptyMemBlock() {
    return NewXPHandle(MEMBLOCK_HEADER);  // zero-filled: count 0
}

XPHandle NewMemBlockFromBytes(const void *bytes, size_t n) {
    uint64_t size = MemBlockSize(n, 1);
    XPHandle h = size ? NewXPHandle(static_cast<int64_t>(size)) : nullptr;
    if (!h) return nullptr;
    void *p = LockXPHandle(h);
    if (!p) {
        DisposeXPHandle(h);
        return nullptr;
    }
    SetMemBlockCount(p, static_cast<uint32_t>(n));
    if (n) memcpy(MemBlockBytes(p), bytes, n);
    UnlockXPHandle(h);
    return h;
}
