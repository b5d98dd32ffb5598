// glyphmem: the global memory manager on platforms without Windows.
//
// One shared library, linked by the library and by every host, so that a
// block allocated on one side is freed or read on the other, as with
// kernel32 on Windows.  See globalmem.h for the semantics and for its two
// builds: the shipped one, and the test one (GLYPHMEM_TEST_CONTROLS) with
// the test controls, the fill of undefined memory and moves on every resize.
//
// Every block is registered in a table keyed by its handle, so that a handle
// that is not a live block (a double free) is refused and counted instead of
// corrupting memory.  Nothing here throws: the table's allocation failures
// turn into failed allocations.  Nothing here needs the C++ runtime either
// (a spin lock, malloc), so that the shipped build needs only libc.
#include "platform/globalmem.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/handle_table.h"

namespace {

#ifdef GLYPHMEM_TEST_CONTROLS
constexpr bool kTestBuild = true;
#else
constexpr bool kTestBuild = false;
#endif

// A pause in a spin: lets the sibling thread of the core run meanwhile.
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

// Filled into memory that Windows leaves undefined, so code that wrongly
// relies on zeroes fails in tests.
constexpr unsigned char kUndefinedFill = 0xA5;

struct Block {
    unsigned char *data;
    size_t size;
    unsigned locks;
    bool moveable;
    Block *nextSpare;  // in the list of spare records
};

// Records of freed blocks kept for the next allocations, so that a block's
// life costs one malloc and one free (of its data), not two of each.
enum { kSpareRecords = 64 };

struct State {
    pthread_mutex_t mu = PTHREAD_MUTEX_INITIALIZER;  // the lock under ThreadSanitizer
    std::atomic<bool> taken{false};                  // the lock otherwise
    glyphmem::HandleTable<Block> blocks;  // handle -> block
    Block *spareRecords = nullptr;
    unsigned spareCount = 0;
    size_t liveBytes = 0;
    size_t liveHeap = 0;
    size_t liveHeapBytes = 0;
    size_t peakBytes = 0;   // of liveBytes + liveHeapBytes
    bool fill = kTestBuild;  // the fill of undefined memory
    bool moveOnResize = kTestBuild;
    unsigned long events = 0;
    unsigned long failCountdown = 0;
    unsigned long paused = 0;
    unsigned long misuse = 0;
    unsigned long beeps = 0;
    unsigned long lastBeepFrequency = 0;
    unsigned long lastBeepDuration = 0;
    GlyphmemFreeWatcher freeWatcher = nullptr;
    void *freeWatcherContext = nullptr;
    GlyphmemAllocationWatcher allocationWatcher = nullptr;
    void *allocationWatcherContext = nullptr;
};

// Constant-initialised: ready before any constructor runs, never destroyed.
State gState;

State &state() { return gState; }

// The one lock, held while the table and the counters are used.
//
// Under ThreadSanitizer the lock orders the calls of every thread that
// allocates, so that two accesses of the library on different threads look
// ordered whenever an allocation falls between them, and a race between
// them goes unseen.  With GLYPHMEM_UNORDERED=1 in the environment (read
// once) the lock creates no such order for ThreadSanitizer, which then also
// ignores what is read and written under it: a run in this mode finds races
// in the library that allocations would otherwise hide, a run without it
// finds races in glyphmem itself.
#if defined(__SANITIZE_THREAD__)
#  define GLYPHMEM_TSAN 1
#elif defined(__has_feature)
#  if __has_feature(thread_sanitizer)
#    define GLYPHMEM_TSAN 1
#  endif
#endif

#ifdef GLYPHMEM_TSAN
extern "C" {
void AnnotateIgnoreSyncBegin(const char *file, int line);
void AnnotateIgnoreSyncEnd(const char *file, int line);
void AnnotateIgnoreReadsBegin(const char *file, int line);
void AnnotateIgnoreReadsEnd(const char *file, int line);
void AnnotateIgnoreWritesBegin(const char *file, int line);
void AnnotateIgnoreWritesEnd(const char *file, int line);
}

bool unordered() {
    static const bool on = [] {
        const char *v = std::getenv("GLYPHMEM_UNORDERED");
        return v && std::strcmp(v, "1") == 0;
    }();
    return on;
}

class Guard {
public:
    explicit Guard(State &s) : locked(s), hidden(unordered()) {
        if (hidden) AnnotateIgnoreSyncBegin(__FILE__, __LINE__);
        pthread_mutex_lock(&locked.mu);
        if (hidden) {
            AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
            AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
        }
    }
    ~Guard() {
        if (hidden) {
            AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
            AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
        }
        pthread_mutex_unlock(&locked.mu);
        if (hidden) AnnotateIgnoreSyncEnd(__FILE__, __LINE__);
    }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

private:
    State &locked;
    bool hidden;
};
#else
// A spin lock rather than the mutex: every section it guards is a table
// lookup and at most one malloc, while a small catalogue call takes and
// gives back the lock a dozen times, so the mutex's own bookkeeping was a
// fifth of such a call.  A waiter that keeps finding it taken yields its
// processor, so that a holder that lost its own can finish.
class Guard {
public:
    explicit Guard(State &s) : locked(s) {
        unsigned spins = 0;
        while (locked.taken.exchange(true, std::memory_order_acquire)) {
            while (locked.taken.load(std::memory_order_relaxed)) {
                if (++spins < 64) {
                    relax();
                } else {
                    sched_yield();
                    spins = 0;
                }
            }
        }
    }
    ~Guard() { locked.taken.store(false, std::memory_order_release); }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

private:
    State &locked;
};
#endif

// Notes a new high of live memory.  Called with the mutex held.
void notePeak(State &s) {
    size_t live = s.liveBytes + s.liveHeapBytes;
    if (live > s.peakBytes) s.peakBytes = live;
}

// Counts one allocation event and says whether injection fails it.
// Called with the mutex held.
bool injectFailure(State &s) {
    if (!kTestBuild || s.paused) return false;
    ++s.events;
    if (s.allocationWatcher) s.allocationWatcher(s.allocationWatcherContext);
    if (s.failCountdown && --s.failCountdown == 0) return true;
    return false;
}

void noteMisuse(State &s, const char *what, const void *handle) {
    ++s.misuse;
    // Windows refuses such a handle silently; the test build says so.
    if (kTestBuild) std::fprintf(stderr, "glyphmem: %s: %p is not a live block\n", what, handle);
}

Block *find(State &s, void *handle) {
    return s.blocks.find(handle);
}

unsigned char *allocData(const State &s, size_t bytes, bool zero) {
    // malloc(0) may return null; keep one byte so a live block always has
    // an address.
    if (zero) return static_cast<unsigned char *>(std::calloc(bytes ? bytes : 1, 1));
    auto *p = static_cast<unsigned char *>(std::malloc(bytes ? bytes : 1));
    if (p && s.fill) std::memset(p, kUndefinedFill, bytes ? bytes : 1);
    return p;
}

// A zeroed block record, a spare one if there is one.  Called with the lock
// held.
Block *newRecord(State &s) {
    Block *b = s.spareRecords;
    if (!b) return static_cast<Block *>(std::calloc(1, sizeof(Block)));
    s.spareRecords = b->nextSpare;
    --s.spareCount;
    *b = Block{};
    return b;
}

void freeRecord(State &s, Block *b) {
    if (s.spareCount == kSpareRecords) {
        std::free(b);
        return;
    }
    b->nextSpare = s.spareRecords;
    s.spareRecords = b;
    ++s.spareCount;
}

// Heap buffers carry their size in front, so that their bytes are counted;
// 16 bytes keep the buffer aligned as malloc's own.
constexpr size_t kHeapHeader = 16;

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    State &s = state();
    Guard lock(s);
    if (injectFailure(s)) return nullptr;
    Block *b = newRecord(s);
    if (!b) return nullptr;
    b->data = allocData(s, bytes, (flags & GMEM_ZEROINIT) != 0);
    if (!b->data) {
        freeRecord(s, b);
        return nullptr;
    }
    b->size = bytes;
    b->moveable = (flags & GMEM_MOVEABLE) != 0;
    // A moveable block's handle is its record, never its data address.
    void *handle = b->moveable ? static_cast<void *>(b) : static_cast<void *>(b->data);
    if (!s.blocks.insert(handle, b)) {
        std::free(b->data);
        freeRecord(s, b);
        return nullptr;
    }
    s.liveBytes += bytes;
    notePeak(s);
    return handle;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    State &s = state();
    Guard lock(s);
    Block *b = find(s, mem);
    if (!b) {
        noteMisuse(s, "GlobalReAlloc", mem);
        return nullptr;
    }
    if (injectFailure(s)) return nullptr;
    if (!b->moveable && !(flags & GMEM_MOVEABLE) && bytes > b->size) {
        return nullptr;  // a fixed block may not move unless allowed to
    }
    size_t keep = bytes < b->size ? bytes : b->size;
    // Fixed blocks always move: their handle is their address.
    bool move = s.moveOnResize || !b->moveable;
    unsigned char *data;
    if (move) {
        data = static_cast<unsigned char *>(std::malloc(bytes ? bytes : 1));
        if (!data) return nullptr;
        std::memcpy(data, b->data, keep);
        // Old and new data are both live while the bytes are copied.
        size_t both = s.liveBytes + bytes + s.liveHeapBytes;
        if (both > s.peakBytes) s.peakBytes = both;
    } else {
        data = static_cast<unsigned char *>(std::realloc(b->data, bytes ? bytes : 1));
        if (!data) return nullptr;  // the old data is still the block's
    }
    if (bytes > keep && ((flags & GMEM_ZEROINIT) || s.fill)) {
        std::memset(data + keep, (flags & GMEM_ZEROINIT) ? 0 : kUndefinedFill, bytes - keep);
    }
    void *handle = mem;
    if (!b->moveable) {
        // A fixed block's handle is its address, which changes.
        if (!s.blocks.insert(data, b)) {
            std::free(data);
            return nullptr;
        }
        s.blocks.erase(mem);
        handle = data;
    }
    if (move) std::free(b->data);
    b->data = data;
    s.liveBytes = s.liveBytes - b->size + bytes;
    b->size = bytes;
    notePeak(s);
    return handle;
}

SIZE_T GlobalSize(HGLOBAL mem) {
    State &s = state();
    Guard lock(s);
    Block *b = find(s, mem);
    if (!b) {
        noteMisuse(s, "GlobalSize", mem);
        return 0;
    }
    return b->size;
}

void *GlobalLock(HGLOBAL mem) {
    State &s = state();
    Guard lock(s);
    Block *b = find(s, mem);
    if (!b) {
        noteMisuse(s, "GlobalLock", mem);
        return nullptr;
    }
    if (b->moveable) ++b->locks;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
    State &s = state();
    Guard lock(s);
    Block *b = find(s, mem);
    if (!b) {
        noteMisuse(s, "GlobalUnlock", mem);
        return 0;
    }
    if (b->moveable && b->locks) --b->locks;
    return b->locks != 0;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    if (!mem) return nullptr;
    State &s = state();
    Guard lock(s);
    Block *b = find(s, mem);
    if (!b) {
        noteMisuse(s, "GlobalFree", mem);
        return mem;
    }
    s.blocks.erase(mem);
    s.liveBytes -= b->size;
    if (s.freeWatcher) s.freeWatcher(b->data, b->size, s.freeWatcherContext);
    std::free(b->data);
    freeRecord(s, b);
    return nullptr;
}

void *glyphmem_heap_alloc(size_t bytes) {
    State &s = state();
    bool fill;
    {
        Guard lock(s);
        if (injectFailure(s)) return nullptr;
        fill = s.fill;
    }
    if (bytes > SIZE_MAX - kHeapHeader) return nullptr;
    auto *base = static_cast<unsigned char *>(std::malloc(kHeapHeader + bytes));
    if (!base) return nullptr;
    std::memcpy(base, &bytes, sizeof bytes);
    unsigned char *p = base + kHeapHeader;
    if (fill) std::memset(p, kUndefinedFill, bytes);
    Guard lock(s);
    ++s.liveHeap;
    s.liveHeapBytes += bytes;
    notePeak(s);
    return p;
}

void glyphmem_heap_free(void *p) {
    if (!p) return;
    unsigned char *base = static_cast<unsigned char *>(p) - kHeapHeader;
    size_t bytes;
    std::memcpy(&bytes, base, sizeof bytes);
    std::free(base);
    State &s = state();
    Guard lock(s);
    if (s.liveHeap) --s.liveHeap;
    s.liveHeapBytes = s.liveHeapBytes >= bytes ? s.liveHeapBytes - bytes : 0;
}

#ifdef GLYPHMEM_TEST_CONTROLS

void glyphmem_beep(unsigned long frequency, unsigned long durationMs) {
    State &s = state();
    Guard lock(s);
    ++s.beeps;
    s.lastBeepFrequency = frequency;
    s.lastBeepDuration = durationMs;
}

size_t glyphmem_live_blocks(void) {
    State &s = state();
    Guard lock(s);
    return s.blocks.size();
}

size_t glyphmem_live_bytes(void) {
    State &s = state();
    Guard lock(s);
    return s.liveBytes;
}

size_t glyphmem_live_heap(void) {
    State &s = state();
    Guard lock(s);
    return s.liveHeap;
}

size_t glyphmem_live_heap_bytes(void) {
    State &s = state();
    Guard lock(s);
    return s.liveHeapBytes;
}

size_t glyphmem_peak_bytes(void) {
    State &s = state();
    Guard lock(s);
    return s.peakBytes;
}

void glyphmem_reset_peak(void) {
    State &s = state();
    Guard lock(s);
    s.peakBytes = s.liveBytes + s.liveHeapBytes;
}

void glyphmem_set_fill(int on) {
    State &s = state();
    Guard lock(s);
    s.fill = on != 0;
}

void glyphmem_set_move_on_resize(int on) {
    State &s = state();
    Guard lock(s);
    s.moveOnResize = on != 0;
}

void glyphmem_fail_nth(unsigned long n) {
    State &s = state();
    Guard lock(s);
    s.failCountdown = n;
}

unsigned long glyphmem_events(void) {
    State &s = state();
    Guard lock(s);
    return s.events;
}

void glyphmem_pause_injection(void) {
    State &s = state();
    Guard lock(s);
    ++s.paused;
}

void glyphmem_resume_injection(void) {
    State &s = state();
    Guard lock(s);
    if (s.paused) --s.paused;
}

void glyphmem_watch_frees(GlyphmemFreeWatcher watcher, void *context) {
    State &s = state();
    Guard lock(s);
    s.freeWatcher = watcher;
    s.freeWatcherContext = context;
}

void glyphmem_watch_allocations(GlyphmemAllocationWatcher watcher, void *context) {
    State &s = state();
    Guard lock(s);
    s.allocationWatcher = watcher;
    s.allocationWatcherContext = context;
}

unsigned long glyphmem_misuse_count(void) {
    State &s = state();
    Guard lock(s);
    return s.misuse;
}

unsigned long glyphmem_beep_count(void) {
    State &s = state();
    Guard lock(s);
    return s.beeps;
}

unsigned long glyphmem_last_beep_frequency(void) {
    State &s = state();
    Guard lock(s);
    return s.lastBeepFrequency;
}

unsigned long glyphmem_last_beep_duration(void) {
    State &s = state();
    Guard lock(s);
    return s.lastBeepDuration;
}

#endif  // GLYPHMEM_TEST_CONTROLS

}  // extern "C"
