/* The global memory manager that the host and the library share.
 *
 * On Windows this is kernel32's GlobalAlloc family.  Elsewhere it is the
 * glyphmem shared library (platform/globalmem.cpp), which implements the same
 * functions with the same semantics, so that the library and any host that
 * links to it pass blocks between them exactly as on Windows:
 *
 *  - GMEM_FIXED blocks: the handle is the data address; locking returns it.
 *  - GMEM_MOVEABLE blocks: the handle is not the data address; GlobalLock
 *    counts locks and returns the data address, GlobalUnlock counts down.
 *  - GMEM_ZEROINIT zero-fills, also the space a GlobalReAlloc adds.
 *  - A GlobalReAlloc that fails returns null and leaves the block and its
 *    handle as they were.
 *
 * glyphmem comes in two builds of this one source, both named
 * libglyphmem.so.1 (their SONAME), so that either serves the libraries:
 *
 *  - the shipped build (target glyphmem_shipped) exports the six Global
 *    calls and the library's ordinary heap (glyphmem_heap_alloc/free), and
 *    nothing else (platform/glyphmem.map); it behaves as Windows does;
 *  - the test build (target glyphmem_test, GLYPHMEM_TEST_CONTROLS) adds the
 *    test controls declared below and goes further than Windows in ways that
 *    catch faults: moveable blocks always move on resize (stale addresses
 *    are caught by ASan and valgrind), and memory that Windows leaves
 *    undefined is filled with a non-zero pattern instead of whatever
 *    happened to be there.  The tests, the tools and the build tree's bin/
 *    use it; it is never shipped. */
#ifndef GH_GLOBALMEM_H
#define GH_GLOBALMEM_H

#if defined(_WIN32)
#  include <windows.h>
#else

#include <stddef.h>

#if defined(GLYPHMEM_BUILDING)
#  define GLYPHMEM_API __attribute__((visibility("default")))
#else
#  define GLYPHMEM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *HGLOBAL;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef int BOOL;
typedef unsigned long DWORD;

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

GLYPHMEM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
GLYPHMEM_API HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
GLYPHMEM_API SIZE_T GlobalSize(HGLOBAL mem);
GLYPHMEM_API void *GlobalLock(HGLOBAL mem);
GLYPHMEM_API BOOL GlobalUnlock(HGLOBAL mem);
GLYPHMEM_API HGLOBAL GlobalFree(HGLOBAL mem);

/* The library's ordinary heap (behind gh_heap_alloc on this platform). */
GLYPHMEM_API void *glyphmem_heap_alloc(size_t bytes);
GLYPHMEM_API void glyphmem_heap_free(void *p);

/* Test controls: exported by the test build only (absent on Windows and from
 * the shipped libglyphmem.so.1).  A program that may run with either build
 * looks them up with dlsym instead of linking to them (emulator/system.cpp). */

/* Blocks allocated with GlobalAlloc and not yet freed, and their bytes. */
GLYPHMEM_API size_t glyphmem_live_blocks(void);
GLYPHMEM_API size_t glyphmem_live_bytes(void);
/* Buffers from glyphmem_heap_alloc not yet freed, and their bytes. */
GLYPHMEM_API size_t glyphmem_live_heap(void);
GLYPHMEM_API size_t glyphmem_live_heap_bytes(void);
/* The most bytes live at once (blocks and heap buffers together) since the
 * last reset, which starts it again from what is live now. */
GLYPHMEM_API size_t glyphmem_peak_bytes(void);
GLYPHMEM_API void glyphmem_reset_peak(void);

/* FOR BENCHMARKS ONLY.  The fill of undefined memory (see above) is on by
 * default and must stay on in every test.  A benchmark may switch it off
 * (0) so that new blocks cost what they cost on Windows, which leaves them
 * as they are: what remains is the first touch of fresh pages. */
GLYPHMEM_API void glyphmem_set_fill(int on);
/* FOR BENCHMARKS ONLY.  Moveable blocks always move on resize by default,
 * which must stay so in every test.  A benchmark may let a resize keep the
 * block where it is when the C library's realloc can (0), as Windows grows a
 * block in place when there is room, instead of paying a copy into fresh
 * memory that Windows may not make. */
GLYPHMEM_API void glyphmem_set_move_on_resize(int on);

/* Fault injection: the nth allocation event from now fails (1 = the next);
 * 0 cancels.  Allocation events are GlobalAlloc, GlobalReAlloc and
 * glyphmem_heap_alloc calls.  The failure fires once. */
GLYPHMEM_API void glyphmem_fail_nth(unsigned long n);
/* Allocation events counted since the process started (host-side events made
 * while injection is paused are not counted). */
GLYPHMEM_API unsigned long glyphmem_events(void);
/* While paused (a nesting count), allocation events are neither counted nor
 * failed: a host pauses injection around its own allocations, so that only
 * the library's fail. */
GLYPHMEM_API void glyphmem_pause_injection(void);
GLYPHMEM_API void glyphmem_resume_injection(void);

/* Misuse seen: a handle that is not a live block given to any function (a
 * double free, say).  The operation fails as on Windows and the count grows. */
GLYPHMEM_API unsigned long glyphmem_misuse_count(void);

/* Watching frees: watcher(data, size, context) is called by GlobalFree with
 * a block's data just before it is released, so that a test can check what
 * the library left in memory it gave back (key material, say).  It runs with
 * the memory manager's lock held and must not call it.  Null stops
 * watching. */
typedef void (*GlyphmemFreeWatcher)(const void *data, size_t size, void *context);
GLYPHMEM_API void glyphmem_watch_frees(GlyphmemFreeWatcher watcher, void *context);

/* Watching allocations: watcher(context) is called at each allocation event
 * that is counted (see glyphmem_events), before it is carried out, so that a
 * test can see where the library allocates (its call stack).  It runs with
 * the memory manager's lock held and must not call it.  Null stops
 * watching. */
typedef void (*GlyphmemAllocationWatcher)(void *context);
GLYPHMEM_API void glyphmem_watch_allocations(GlyphmemAllocationWatcher watcher, void *context);

/* The beep at a failed connect: the library calls glyphmem_beep when the
 * process offers it (a weak reference, platform/platform.cpp), which only
 * the test build does; it counts beeps and keeps the last frequency and
 * duration. */
GLYPHMEM_API void glyphmem_beep(unsigned long frequency, unsigned long durationMs);
GLYPHMEM_API unsigned long glyphmem_beep_count(void);
GLYPHMEM_API unsigned long glyphmem_last_beep_frequency(void);
GLYPHMEM_API unsigned long glyphmem_last_beep_duration(void);

#ifdef __cplusplus
}
#endif

#endif /* !_WIN32 */
#endif
