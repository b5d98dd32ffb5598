// Every kernel of the library, once: the list the tests, the benchmarks,
// glyphhost paths and the check of GH_FORCE_PATH go through.  It stands
// above the algorithm rooms, which each define their own kernels
// (platform/kernels.h).
#ifndef GH_LIBRARY_KERNEL_LIST_H
#define GH_LIBRARY_KERNEL_LIST_H

#include <stddef.h>

#include "platform/kernels.h"

// In the order of the reports: the digests, Base64, the conversions,
// CRC-16, the text scans.
extern Kernel *const kAllKernels[];
extern const int kAllKernelCount;

// The kernel of that name, or null.
Kernel *gh_find_kernel(const char *name);

// The problems of GH_FORCE_PATH, one a line ("GH_FORCE_PATH=...: ..."):
// entries naming no kernel or no path, and paths this processor cannot run.
// Empty when there are none or the variable is not set.  Makes every
// kernel's choice.
size_t gh_kernel_force_problems(char *out, size_t size);

#endif
