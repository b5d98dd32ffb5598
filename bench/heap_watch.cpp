// The process's heap, counted: malloc and its kin are replaced in the
// benchmark program (glibc lets a program do that) by thin wrappers that
// count the bytes live and their peak, then call glibc's own allocator.
// Every allocation of the process passes here: the host emulator's values,
// glyphmem's blocks and its heap buffers for the library, the benchmark's
// own data.  Benchmarks only; see whole_call.h.
#include <malloc.h>
#include <stddef.h>

#include <atomic>
#include <cstdint>

extern "C" {
void *__libc_malloc(size_t size);
void __libc_free(void *p);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};

void grow(void *p) {
    if (!p) return;
    auto size = static_cast<int64_t>(malloc_usable_size(p));
    int64_t now = gLive.fetch_add(size) + size;
    int64_t peak = gPeak.load(std::memory_order_relaxed);
    while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
    }
}

void shrink(void *p) {
    if (p) gLive.fetch_sub(static_cast<int64_t>(malloc_usable_size(p)));
}

}  // namespace

namespace ghbench {

int64_t heapLiveBytes() { return gLive.load(); }
int64_t heapPeakBytes() { return gPeak.load(); }
void heapResetPeak() { gPeak.store(gLive.load()); }

}  // namespace ghbench

extern "C" {

void *malloc(size_t size) noexcept {
    void *p = __libc_malloc(size);
    grow(p);
    return p;
}

void free(void *p) noexcept {
    shrink(p);
    __libc_free(p);
}

void *calloc(size_t count, size_t size) noexcept {
    void *p = __libc_calloc(count, size);
    grow(p);
    return p;
}

void *realloc(void *old, size_t size) noexcept {
    // Counted as a replacement: glibc grows in place or, for large blocks,
    // moves the pages without a second copy (small blocks it may copy,
    // which this understates by their size).
    size_t before = old ? malloc_usable_size(old) : 0;
    void *p = __libc_realloc(old, size);
    if (!p) return p;  // a failed realloc leaves the old block as it was
    gLive.fetch_sub(static_cast<int64_t>(before));
    grow(p);
    return p;
}

void *memalign(size_t alignment, size_t size) noexcept {
    void *p = __libc_memalign(alignment, size);
    grow(p);
    return p;
}

void *aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }

int posix_memalign(void **out, size_t alignment, size_t size) noexcept {
    if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
    void *p = memalign(alignment, size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}

void *valloc(size_t size) noexcept { return memalign(4096, size); }

void *pvalloc(size_t size) noexcept { return memalign(4096, (size + 4095) & ~size_t{4095}); }

}  // extern "C"
