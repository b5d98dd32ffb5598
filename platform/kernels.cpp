// The one chooser of every kernel's path (kernels.h).
#include "platform/kernels.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/cpu_features.h"

namespace {

bool sameName(const char *name, const char *s, size_t n) { return strlen(name) == n && strncmp(name, s, n) == 0; }

bool runsWith(const Kernel &k, int i, uint64_t features) {
    return gh_kernel_has_path(k, i) && (k.paths[i].needs & ~features) == 0;
}

// The choice and its record, made afresh (the same every time).
struct Choice {
    int index;
    KernelHow how;
    KernelRefusal refusal;
    const char *refused;  // into the environment's string
    size_t refusedLength;
};

Choice decide(const Kernel &k) {
    bool portable = gh_cpu_portable_forced();
    uint64_t features = gh_cpu_feature_bits();
    // Under GH_FORCE_PORTABLE=1 the portable path alone.
    auto runs = [&](int i) { return portable ? i == k.count - 1 : runsWith(k, i, features); };
    Choice c = {k.count - 1, portable ? KERNEL_HOW_PORTABLE : KERNEL_HOW_PREFERRED, KERNEL_FORCE_NONE, nullptr, 0};
    for (int i = 0; i < k.count; ++i) {
        if (runs(i) && (i == k.count - 1 || !k.passOver || !k.passOver(k.paths[i].fns, k.slot, features))) {
            c.index = i;
            break;
        }
    }
    // The kernel's first entry in GH_FORCE_PATH, if any.
    const char *cursor = nullptr;
    KernelForceEntry e;
    while (gh_kernel_force_next(&cursor, &e)) {
        if (!sameName(k.name, e.kernel, e.kernelLength)) continue;
        int forced = -1;
        for (int i = 0; i < k.count; ++i) {
            if (gh_kernel_has_path(k, i) && sameName(k.paths[i].name, e.path, e.pathLength)) forced = i;
        }
        if (forced >= 0 && runs(forced)) {
            c.index = forced;
            c.how = KERNEL_HOW_FORCED;
        } else {
            c.refusal = forced >= 0 ? KERNEL_FORCE_CANNOT_RUN : KERNEL_FORCE_NO_SUCH_PATH;
            c.refused = e.path;
            c.refusedLength = e.pathLength;
        }
        break;
    }
    return c;
}

}  // namespace

const char *gh_kernel_how_name(KernelHow how) {
    switch (how) {
    case KERNEL_HOW_NONE:
        return "not chosen";
    case KERNEL_HOW_PREFERRED:
        return "first of the paths this processor runs";
    case KERNEL_HOW_PORTABLE:
        return "GH_FORCE_PORTABLE=1";
    case KERNEL_HOW_FORCED:
        return "GH_FORCE_PATH";
    }
    return "?";
}

bool gh_kernel_has_path(const Kernel &k, int i) {
    if (i < 0 || i >= k.count) return false;
    return i == k.count - 1 || !k.has || k.has(k.paths[i].fns, k.slot);
}

bool gh_kernel_passed_over(const Kernel &k, int i) {
    return gh_kernel_has_path(k, i) && i != k.count - 1 && k.passOver &&
           k.passOver(k.paths[i].fns, k.slot, gh_cpu_feature_bits());
}

bool gh_kernel_path_runs(const Kernel &k, int i) { return runsWith(k, i, gh_cpu_detected_bits()); }

int gh_kernel_find_path(const Kernel &k, const char *name) {
    for (int i = 0; i < k.count; ++i) {
        if (gh_kernel_has_path(k, i) && strcmp(k.paths[i].name, name) == 0) return i;
    }
    return -1;
}

int gh_kernel_choose(Kernel *k) {
    int chosen = k->chosen.load(std::memory_order_acquire);
    if (chosen >= 0) return chosen;
    Choice c = decide(*k);
    // The first thread here writes the record; any other uses its own
    // (equal) choice and leaves the record alone.
    int expected = Kernel::kUnchosen;
    if (k->chosen.compare_exchange_strong(expected, Kernel::kRecording, std::memory_order_acquire)) {
        k->how = c.how;
        k->refusal = c.refusal;
        size_t n = c.refusedLength < sizeof k->refusedPath - 1 ? c.refusedLength : sizeof k->refusedPath - 1;
        if (n) memcpy(k->refusedPath, c.refused, n);
        k->refusedPath[n] = 0;
        k->chosen.store(c.index, std::memory_order_release);
    }
    return c.index;
}

const char *gh_kernel_refusal(Kernel *k, char *out, size_t size) {
    if (size == 0) return out;
    out[0] = 0;
    gh_kernel_choose(k);
    if (k->chosen.load(std::memory_order_acquire) < 0) return out;  // still being recorded
    if (k->refusal == KERNEL_FORCE_NO_SUCH_PATH) {
        snprintf(out, size, "GH_FORCE_PATH=%s:%s: %s has no path %s", k->name, k->refusedPath, k->name,
                 k->refusedPath);
    } else if (k->refusal == KERNEL_FORCE_CANNOT_RUN && gh_cpu_portable_forced()) {
        snprintf(out, size, "GH_FORCE_PATH=%s:%s: GH_FORCE_PORTABLE=1 leaves only the portable path", k->name,
                 k->refusedPath);
    } else if (k->refusal == KERNEL_FORCE_CANNOT_RUN) {
        int i = gh_kernel_find_path(*k, k->refusedPath);
        uint64_t lacking = i >= 0 ? k->paths[i].needs & ~gh_cpu_feature_bits() : 0;
        int first = 0;
        while (first < kCpuFeatureCount && !((lacking >> first) & 1)) ++first;
        snprintf(out, size, "GH_FORCE_PATH=%s:%s: this processor cannot run it (no %s)", k->name, k->refusedPath,
                 gh_cpu_feature_name(first));
    }
    return out;
}

bool gh_kernel_force_next(const char **cursor, KernelForceEntry *entry) {
    const char *s = *cursor;
    if (!s) {
        s = getenv("GH_FORCE_PATH");
        if (!s) return false;
    }
    while (*s == ',') ++s;
    if (!*s) {
        *cursor = s;
        return false;
    }
    const char *end = strchr(s, ',');
    if (!end) end = s + strlen(s);
    const char *colon = static_cast<const char *>(memchr(s, ':', static_cast<size_t>(end - s)));
    entry->kernel = s;
    entry->kernelLength = static_cast<size_t>((colon ? colon : end) - s);
    entry->path = colon ? colon + 1 : end;
    entry->pathLength = static_cast<size_t>(end - entry->path);
    *cursor = end;
    return true;
}
