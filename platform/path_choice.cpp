// Timing a kernel's paths once and keeping the fastest (path_choice.h).
#include "platform/path_choice.h"

#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#  include <x86intrin.h>
#  define GH_PATH_X86 1
#else
#  define GH_PATH_X86 0
#endif

namespace {

constexpr int kRoundsMin = 3;
constexpr int kRoundsMax = 9;
constexpr uint64_t kBudgetTicks = uint64_t{1} << 19;
// "Clearly faster": a best run at most 9/10 of another's.
constexpr uint64_t kMarginNum = 9, kMarginDen = 10;

#if GH_PATH_X86
uint64_t readTsc() { return __rdtsc(); }
#endif

}  // namespace

const char *path_how_name(PathHow how) {
    switch (how) {
    case PATH_HOW_NONE:
        return "not chosen";
    case PATH_HOW_ONLY_PATH:
        return "only path";
    case PATH_HOW_FORCED_PORTABLE:
        return "GH_FORCE_PORTABLE";
    case PATH_HOW_TIMED:
        return "timed";
    case PATH_HOW_NO_CLOCK:
        return "no clock";
    }
    return "?";
}

PathClock gh_path_clock() {
#if GH_PATH_X86
    if (gh_cpu_detected().tsc) return readTsc;
#endif
    return nullptr;
}

int gh_path_time(const PathTrial &trial, PathClock clock, uint64_t best[]) {
    int n = trial.count < GH_PATHS_MAX ? trial.count : GH_PATHS_MAX;
    for (int i = 0; i < n; ++i) best[i] = 0;
    if (trial.prepare) trial.prepare(trial.sample);
    uint64_t start = clock();
    int rounds = 0;
    while (rounds < kRoundsMax) {
        for (int k = 0; k < n; ++k) {
            int i = (rounds + k) % n;
            // A run right after another path's is slowed by what that one
            // left behind (vector units idle and powered down, caches), more
            // for some paths than for others: each timed run follows an
            // untimed run of its own.
            trial.run(trial.sample, trial.paths[i]);
            uint64_t t0 = clock();
            trial.run(trial.sample, trial.paths[i]);
            uint64_t t1 = clock();
            // A counter that went backwards (another core's, on an old
            // system) or did not move gives no time.
            if (t1 > t0 && (best[i] == 0 || t1 - t0 < best[i])) best[i] = t1 - t0;
        }
        ++rounds;
        uint64_t now = clock();
        if (rounds >= kRoundsMin && (now < start || now - start >= kBudgetTicks)) break;
    }
    return rounds;
}

int gh_path_pick(const uint64_t best[], int count) {
    if (count < 1 || best[0] == 0) return 0;
    uint64_t fastest = best[0];
    for (int i = 1; i < count; ++i) {
        if (best[i] != 0 && best[i] < fastest) fastest = best[i];
    }
    // The first path the fastest is not clearly faster than (the fastest
    // itself at the latest).
    for (int i = 0; i < count; ++i) {
        if (best[i] != 0 && fastest * kMarginDen > best[i] * kMarginNum) return i;
    }
    return 0;
}

int gh_path_choose_with(PathChoice *choice, const PathTrial &trial, PathClock clock) {
    int chosen = choice->path.load(std::memory_order_acquire);
    if (chosen >= 0) return chosen;
    int expected = PathChoice::kUnchosen;
    if (!choice->path.compare_exchange_strong(expected, PathChoice::kChoosing,
                                              std::memory_order_acquire)) {
        return expected >= 0 ? expected : trial.paths[0];
    }
    int n = trial.count < GH_PATHS_MAX ? trial.count : GH_PATHS_MAX;
    choice->count = n;
    choice->rounds = 0;
    choice->spent = 0;
    for (int i = 0; i < n; ++i) {
        choice->paths[i] = trial.paths[i];
        choice->names[i] = trial.name(trial.paths[i]);
        choice->ticks[i] = 0;
    }
    int index = 0;
    if (n == 1) {
        choice->how = gh_cpu_portable_forced() ? PATH_HOW_FORCED_PORTABLE : PATH_HOW_ONLY_PATH;
    } else if (!clock) {
        choice->how = PATH_HOW_NO_CLOCK;
    } else {
        choice->how = PATH_HOW_TIMED;
        uint64_t start = clock();
        choice->rounds = gh_path_time(trial, clock, choice->ticks);
        choice->spent = clock() - start;
        index = gh_path_pick(choice->ticks, n);
    }
    chosen = trial.paths[index];
    choice->path.store(chosen, std::memory_order_release);
    return chosen;
}

int gh_path_choose(PathChoice *choice, const PathTrial &trial) {
    return gh_path_choose_with(choice, trial, gh_path_clock());
}
