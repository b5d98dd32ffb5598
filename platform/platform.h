/* Platform specifics shared by the library, the host emulator and the tools.
 *
 * Everything that differs between Windows and the other platforms sits here or
 * in the other files of platform/: the calling conventions of the entry point
 * and the host callback, symbol export, the beep at a failed connect and the
 * library's ordinary heap. */
#ifndef GH_PLATFORM_H
#define GH_PLATFORM_H

#include <stddef.h>

#if defined(_WIN32)
/* The host calls the entry point with the Windows system-call convention: the
 * callee pops its arguments.  The host callback takes a variable number of
 * arguments, so the caller pops them (cdecl). */
#  define GH_ENTRY_CALL __stdcall
#  define GH_CALLBACK_CALL __cdecl
#  define GH_EXPORT __declspec(dllexport)
#else
#  define GH_ENTRY_CALL
#  define GH_CALLBACK_CALL
#  define GH_EXPORT __attribute__((visibility("default")))
#endif

/* A 32-bit Windows host keeps its stack aligned to 4 bytes only, while the
 * compiled code inside assumes 16 (SSE values spilled to the stack).  The
 * entry point realigns the stack for everything it calls. */
#if defined(_WIN32) && defined(__i386__)
#  define GH_ENTRY_ALIGN __attribute__((force_align_arg_pointer))
#else
#  define GH_ENTRY_ALIGN
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The short audible signal at a failed connect: Beep(1500, 2) on Windows; on
 * other platforms the memory layer counts it (glyphmem_beep_count). */
void gh_beep(unsigned frequency, unsigned durationMs);

/* The library's ordinary heap, used for temporary buffers that are not
 * MemBlocks (the host wrappers' character buffers and the like).  Every such
 * buffer goes through these two functions so that tests can make them fail.
 * gh_heap_alloc returns null on failure; gh_heap_free accepts null. */
void *gh_heap_alloc(size_t bytes);
void gh_heap_free(void *p);

#ifdef __cplusplus
}
#endif

#endif
