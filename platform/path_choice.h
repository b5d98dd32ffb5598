// The fastest path of a kernel on the processor at hand, chosen once.
//
// A kernel with fast paths (SIMD, SHA extensions, carry-less multiplication)
// names the paths this processor can run, the conventional one first (the one
// a chooser by instruction set takes: usually the widest) and the portable one
// last.  Which of them is fastest is not a matter of width: the same AVX-512
// code runs ahead of its AVX2 twin on one processor and a third behind it on
// another, a 32-bit build has half the registers of a 64-bit one, and new
// models appear every year.  So the first use of the kernel times its paths:
//
//   - rounds of runs of each path over the same small sample (a few KiB, a
//     few microseconds a run), round robin with the first path of each round
//     rotating, until 9 rounds are done or, after 3, a budget of 2^19
//     time-stamp ticks (a quarter of a millisecond at 2 GHz) is spent;
//   - in each round each path runs twice in a row and only the second run is
//     timed: the first brings its code and the sample into the caches and
//     wakes the vector units the path uses (a vector path timed straight
//     after a scalar one ran up to twice as slow as it runs on its own);
//   - each path counts its best timed run, so a run hit by an interrupt or
//     another program does not count;
//   - the conventional path stays unless another is clearly faster (its best
//     run at most 90 % of the conventional one's); of the paths within that
//     margin of the fastest, the one named first wins, so near-ties keep the
//     conventional order whatever the noise.
//
// The clock is the processor's time-stamp counter (rdtsc; x86 only, and only
// when cpuid reports it); without it the conventional path is taken untimed.
// A kernel with one path to run (the portable one alone, as on a processor
// without the fast paths' instructions or under GH_FORCE_PORTABLE=1) is not
// timed at all.
//
// The choice is made once per kernel and process, at first use, and never
// changed: the first thread to claim it times the paths and publishes the
// path (an atomic int; release/acquire), and its record below is complete
// once the path is.  A thread arriving while another times takes the
// conventional path for that call and does not wait (every path gives the
// same result).  No locks, no function-local statics: their guards would
// tie the shipped libraries to the C++ runtime.  Tests do not go through the
// choice: they call every path directly through each kernel's own getters.
//
// Using it, for a kernel with paths numbered by the owner's enum:
//
//     PathChoice gScanChoice("text_find_byte");      // namespace scope
//
//     void runScan(void *sample, int path) { ...one run of `path`... }
//     int chooseScan() {
//         int paths[GH_PATHS_MAX], n = 0;
//         CpuFeatures f = gh_cpu_features();          // none when forced
//         if (f.avx512bw) paths[n++] = SCAN_AVX512;   // conventional first
//         if (f.avx2) paths[n++] = SCAN_AVX2;
//         paths[n++] = SCAN_PORTABLE;
//         ScanSample sample;                          // on the stack
//         PathTrial trial = {paths, n, scanPathName, fillSample, runScan, &sample};
//         return gh_path_choose(&gScanChoice, trial);
//     }
//     ...
//     int path = gh_path_chosen(gScanChoice);
//     if (path < 0) path = chooseScan();
//     kScans[path](text, n, ...);
#ifndef GH_PATH_CHOICE_H
#define GH_PATH_CHOICE_H

#include <stdint.h>

#include <atomic>

enum { GH_PATHS_MAX = 8 };

// How a choice was made.
enum PathHow {
    PATH_HOW_NONE,              // not made yet
    PATH_HOW_ONLY_PATH,         // one path runs here: nothing to time
    PATH_HOW_FORCED_PORTABLE,   // GH_FORCE_PORTABLE=1: the portable path alone
    PATH_HOW_TIMED,             // the paths were timed
    PATH_HOW_NO_CLOCK           // no usable clock: the conventional path
};
const char *path_how_name(PathHow how);

// What a kernel's owner hands the chooser.  The sample belongs to the owner
// (usually on its stack); prepare (may be null) fills it, only when the paths
// are going to be timed; run makes one run of one path over it.  A run must
// not itself use a kernel whose choice is not made yet.
struct PathTrial {
    const int *paths;  // the owner's path numbers (>= 0), conventional first
    int count;         // 1 .. GH_PATHS_MAX (more are ignored)
    const char *(*name)(int path);
    void (*prepare)(void *sample);
    void (*run)(void *sample, int path);
    void *sample;
};

// One kernel's choice, at namespace scope (constant-initialised).
struct PathChoice {
    enum : int { kUnchosen = -2, kChoosing = -1 };

    const char *kernel;     // for reports
    std::atomic<int> path;  // the chosen path number, or kUnchosen / kChoosing
    // The record of the choice; complete once `path` is >= 0.
    PathHow how;
    int count;                        // paths considered
    int paths[GH_PATHS_MAX];          // their numbers, conventional first
    const char *names[GH_PATHS_MAX];  // and names
    uint64_t ticks[GH_PATHS_MAX];     // best timed run of each (0: not timed)
    int rounds;                       // timed rounds
    uint64_t spent;                   // ticks the timing took, sample made included

    constexpr explicit PathChoice(const char *kernelName)
        : kernel(kernelName), path(kUnchosen), how(PATH_HOW_NONE), count(0), paths(), names(),
          ticks(), rounds(0), spent(0) {}
    PathChoice(const PathChoice &) = delete;
    PathChoice &operator=(const PathChoice &) = delete;
};

// The chosen path, or a negative number while there is none yet.
inline int gh_path_chosen(const PathChoice &choice) {
    return choice.path.load(std::memory_order_acquire);
}

// The path to take now: the choice already made, or the one made now from
// the trial (see above), or, while another thread is making it, the trial's
// conventional path.
int gh_path_choose(PathChoice *choice, const PathTrial &trial);

// The parts of gh_path_choose, for the tests: a clock of ticks (null: no
// clock), the timing of a trial's paths into best[] (returns the rounds),
// and the pick from the best times (an index into the trial's paths).
typedef uint64_t (*PathClock)();
int gh_path_choose_with(PathChoice *choice, const PathTrial &trial, PathClock clock);
int gh_path_time(const PathTrial &trial, PathClock clock, uint64_t best[]);
int gh_path_pick(const uint64_t best[], int count);

// The time-stamp counter, or null where there is none.
PathClock gh_path_clock();

#endif
