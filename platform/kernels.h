// Kernels with fast paths, and the one chooser among their paths.
//
// A kernel is one function that has several paths: the same contract and
// the same result, each written for an instruction-set tier (SIMD, SHA
// extensions, carry-less multiplication), the portable one last.  A family
// (the text scans, Base64, the conversions, CRC-16, the digests, Blowfish
// ECB) lists its tiers once, in ITS folder, as KernelPath records: a name,
// the processor features the path needs, and the family's typed table of
// functions for that tier.  Each kernel of the family is a Kernel over that
// list; a family whose functions share tiers but are chosen apart (the nine
// text scans) says which function of the table the kernel is (`slot`) and
// whether a tier has it (`has`: a tier may leave a function out where it
// brings nothing over the portable code).
//
// The choice is deterministic: the first path of the list that this
// processor runs, that has the kernel's function and that the family does
// not pass over on this processor (`passOver`).  Lists are in preference
// order, so the order is the policy; where a wider tier loses to a narrower
// one for some function everywhere measured, the family leaves that
// function out of the wider tier; where it loses on some processors only,
// passOver names them (by a CPU_* bit such as CPU_AVX512_HALVES).  The
// figures are in bench/README.md.  Nothing is timed: the same processor
// always gets the same paths.
//
// Two switches, read at a kernel's first use:
//   GH_FORCE_PORTABLE=1          every feature reads as absent (cpu_features.h)
//                                and every kernel takes its portable path;
//   GH_FORCE_PATH=k:p[,k:p...]   kernel k takes its path named p.
// A forced path the kernel does not have, or one this processor cannot run
// (with GH_FORCE_PORTABLE=1: any but the portable one), is refused: the
// kernel makes its ordinary choice and records the refusal, which
// gh_kernel_refusal() spells out and `glyphhost paths` reports.  The
// library never fails a call over a switch.  An entry naming no kernel of a
// library is ignored by it (no kernel claims it); the tools that hold the
// list of all kernels (library/kernel_list.h) report it.
//
// The choice is made once per kernel and process and never changed.  The
// first thread to finish it publishes the path and its record (an atomic
// int, release/acquire); a thread arriving meanwhile makes the same choice
// for itself.  No locks, no function-local statics: the shipped libraries
// do without the C++ runtime.
#ifndef GH_PLATFORM_KERNELS_H
#define GH_PLATFORM_KERNELS_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>

struct KernelPath {
    const char *name;
    uint64_t needs;   // CPU_* bits (cpu_features.h), all required; 0: any processor
    const void *fns;  // the family's table of this path's functions
};

// Why a kernel has its path.
enum KernelHow {
    KERNEL_HOW_NONE,       // not chosen yet
    KERNEL_HOW_PREFERRED,  // the first path of the list this processor runs (and is not passed over)
    KERNEL_HOW_PORTABLE,   // GH_FORCE_PORTABLE=1
    KERNEL_HOW_FORCED      // named by GH_FORCE_PATH
};
const char *gh_kernel_how_name(KernelHow how);

// Why GH_FORCE_PATH's entry for a kernel was not followed.
enum KernelRefusal {
    KERNEL_FORCE_NONE,          // no entry, or followed
    KERNEL_FORCE_NO_SUCH_PATH,  // the kernel has no path of that name
    KERNEL_FORCE_CANNOT_RUN     // this processor lacks what the path needs
};

struct Kernel {
    enum : int { kUnchosen = -2, kRecording = -1 };

    const char *name;
    const KernelPath *paths;  // preference order; the last one portable (needs nothing, has everything)
    int count;
    int slot;                                // the function of the tables this kernel is
    bool (*has)(const void *fns, int slot);  // whether a table has it; null: every table does
    // Whether the default choice skips a path that runs on a processor with
    // `features` (it measured slower there than a later path); null: never.
    // Forcing and the tests still reach the path.
    bool (*passOver)(const void *fns, int slot, uint64_t features);
    std::atomic<int> chosen;                 // index into paths, or kUnchosen / kRecording
    // The record of the choice; complete once `chosen` is >= 0.
    KernelHow how;
    KernelRefusal refusal;
    char refusedPath[32];  // the path GH_FORCE_PATH named, when refused (cut short if longer)

    constexpr Kernel(const char *kernelName, const KernelPath *list, int listCount, int functionSlot = 0,
                     bool (*hasFunction)(const void *, int) = nullptr,
                     bool (*passOverPath)(const void *, int, uint64_t) = nullptr)
        : name(kernelName), paths(list), count(listCount), slot(functionSlot), has(hasFunction),
          passOver(passOverPath), chosen(kUnchosen), how(KERNEL_HOW_NONE), refusal(KERNEL_FORCE_NONE),
          refusedPath() {}
    template <size_t N>
    constexpr Kernel(const char *kernelName, const KernelPath (&list)[N], int functionSlot = 0,
                     bool (*hasFunction)(const void *, int) = nullptr,
                     bool (*passOverPath)(const void *, int, uint64_t) = nullptr)
        : Kernel(kernelName, list, static_cast<int>(N), functionSlot, hasFunction, passOverPath) {}
    Kernel(const Kernel &) = delete;
    Kernel &operator=(const Kernel &) = delete;
};

// Whether path i is one of the kernel's: its table has the kernel's
// function (the portable path always has).
bool gh_kernel_has_path(const Kernel &k, int i);

// Whether the default choice passes over path i on this processor.
bool gh_kernel_passed_over(const Kernel &k, int i);

// Whether this processor runs path i of the kernel (one of its own),
// GH_FORCE_PORTABLE aside: the paths the tests compare with the portable one.
bool gh_kernel_path_runs(const Kernel &k, int i);

// The index of a path of the kernel by name, or -1.
int gh_kernel_find_path(const Kernel &k, const char *name);

// The index of the path the kernel takes, chosen now if need be.
int gh_kernel_choose(Kernel *k);

inline int gh_kernel_path(Kernel *k) {
    int i = k->chosen.load(std::memory_order_acquire);
    return i >= 0 ? i : gh_kernel_choose(k);
}

// The function table of the path the kernel takes.
inline const void *gh_kernel_fns(Kernel *k) { return k->paths[gh_kernel_path(k)].fns; }

// The refusal of a forced path in words ("GH_FORCE_PATH=sha512:avx9: sha512
// has no path avx9"), or an empty string; chooses first.  Returns `out`.
const char *gh_kernel_refusal(Kernel *k, char *out, size_t size);

// The entries of GH_FORCE_PATH one at a time, for the tools that check it
// against the list of all kernels.  Start with *cursor null; false at the
// end.  An entry without a colon has an empty path.
struct KernelForceEntry {
    const char *kernel;
    size_t kernelLength;
    const char *path;
    size_t pathLength;
};
bool gh_kernel_force_next(const char **cursor, KernelForceEntry *entry);

#endif
