// The paths of a kernel (platform/kernels.h) as its family's tables, for
// the tests that run every path against the portable one.
#ifndef GH_TESTS_KERNEL_CHECK_H
#define GH_TESTS_KERNEL_CHECK_H

#include <vector>

#include "platform/kernels.h"

// The tables of the paths this processor runs, in the kernel's order (the
// portable one last).
template <class T>
std::vector<const T *> runnableTables(const Kernel &k) {
    std::vector<const T *> tables;
    for (int i = 0; i < k.count; ++i) {
        if (gh_kernel_path_runs(k, i)) tables.push_back(static_cast<const T *>(k.paths[i].fns));
    }
    return tables;
}

template <class T>
const T *portableTable(const Kernel &k) {
    return static_cast<const T *>(k.paths[k.count - 1].fns);
}

#endif
