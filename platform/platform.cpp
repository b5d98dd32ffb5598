// The library's side of the platform: the beep and the ordinary heap.
#include "platform/platform.h"

#include "platform/globalmem.h"

#if defined(_WIN32)
#  include <stdlib.h>
#endif

extern "C" {

#if defined(_WIN32)

void gh_beep(unsigned frequency, unsigned durationMs) {
    Beep(frequency, durationMs);
}

void *gh_heap_alloc(size_t bytes) { return malloc(bytes ? bytes : 1); }
void gh_heap_free(void *p) { free(p); }

#else

// No beep here unless the process offers one: the test build of the memory
// layer does, and counts it.  Weak, so the shipped memory layer need not.
#pragma weak glyphmem_beep

void gh_beep(unsigned frequency, unsigned durationMs) {
    if (glyphmem_beep) glyphmem_beep(frequency, durationMs);
}

// Through the memory layer, so that tests count these buffers and can make
// their allocation fail like any other.
void *gh_heap_alloc(size_t bytes) { return glyphmem_heap_alloc(bytes); }
void gh_heap_free(void *p) { glyphmem_heap_free(p); }

#endif

}  // extern "C"
