// The timed choice of a kernel's path, on a fake clock: the kernels here
// "run" by moving the clock on by what each path costs, so every decision is
// checked on chosen timings, never on measured ones.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/path_choice.h"

namespace {

// The fake machine: a clock, the cost of each path, and a log of runs.
struct Fake {
    uint64_t now = 1000;
    std::vector<uint64_t> cost;   // per path number
    uint64_t spikeAt = 0;         // the timed run (1-based) that is hit by a spike
    uint64_t spike = 0;
    bool backwardsAtSpike = false;  // the clock goes back instead
    std::vector<int> log;         // paths in the order they ran
    int prepared = 0;
};
Fake fake;

uint64_t fakeClock() { return fake.now; }
void fakePrepare(void *) { ++fake.prepared; }
void fakeRun(void *, int path) {
    fake.log.push_back(path);
    uint64_t run = fake.log.size();
    if (run == fake.spikeAt) {
        if (fake.backwardsAtSpike) {
            fake.now -= 5;
            return;
        }
        fake.now += fake.spike;
    }
    fake.now += fake.cost[path];
}
const char *fakeName(int path) {
    static const char *const names[] = {"wide", "narrow", "scalar", "portable"};
    return names[path];
}

PathTrial trialOf(const std::vector<int> &paths) {
    return PathTrial{paths.data(), static_cast<int>(paths.size()), fakeName, fakePrepare, fakeRun,
                     nullptr};
}

void reset(std::vector<uint64_t> cost) {
    fake = Fake();
    fake.cost = std::move(cost);
}

int pick(std::vector<uint64_t> best) { return gh_path_pick(best.data(), static_cast<int>(best.size())); }

TEST(PathPick, TheConventionalPathStaysUnlessAnotherIsClearlyFaster) {
    EXPECT_EQ(pick({100}), 0);
    EXPECT_EQ(pick({100, 95, 92}), 0);   // within noise of each other
    EXPECT_EQ(pick({100, 91}), 0);
    EXPECT_EQ(pick({100, 90}), 1);       // 90 % of the time: clearly faster
    // SHA-512 on a processor where AVX-512 runs at 677 MB/s and AVX2 at
    // 1028 MB/s: the times per byte are the other way round.
    EXPECT_EQ(pick({1000000 / 677, 1000000 / 1028, 1000000 / 700, 1000000 / 600}), 1);
    // Of the paths clearly faster than the conventional one, the first one
    // within the margin of the fastest, not the fastest by a hair.
    EXPECT_EQ(pick({200, 100, 95, 300}), 1);
    EXPECT_EQ(pick({200, 120, 95, 300}), 2);
    EXPECT_EQ(pick({200, 300, 250, 100}), 3);  // even the portable path
}

TEST(PathPick, PathsWithoutATimeAreLeftOut) {
    EXPECT_EQ(pick({0, 10, 20}), 0);  // the conventional one untimed: keep it
    EXPECT_EQ(pick({0, 0}), 0);
    EXPECT_EQ(pick({100, 0, 50}), 2);
    EXPECT_EQ(pick({100, 0, 95}), 0);
}

TEST(PathTime, BestOfRoundRobinRunsEachAfterAnUntimedOne) {
    reset({30, 20, 50});
    fake.spikeAt = 4;  // path 1's timed run in round 0
    fake.spike = 1000;
    std::vector<int> paths = {0, 1, 2};
    uint64_t best[3];
    int rounds = gh_path_time(trialOf(paths), fakeClock, best);
    EXPECT_EQ(rounds, 9);
    EXPECT_EQ(fake.prepared, 1);
    EXPECT_EQ(best[0], 30u);
    EXPECT_EQ(best[1], 20u);  // the spike did not count
    EXPECT_EQ(best[2], 50u);
    // Each path twice in a row (untimed, timed); the first path of each
    // round rotates.
    ASSERT_EQ(fake.log.size(), 2u * 3 * 9);
    std::vector<int> start(fake.log.begin(), fake.log.begin() + 18);
    EXPECT_EQ(start, (std::vector<int>{0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 0, 0, 2, 2, 0, 0, 1, 1}));
}

TEST(PathTime, StopsAfterThreeRoundsOnceTheBudgetIsSpent) {
    reset({400000, 300000});
    std::vector<int> paths = {0, 1};
    uint64_t best[2];
    EXPECT_EQ(gh_path_time(trialOf(paths), fakeClock, best), 3);
    EXPECT_EQ(best[0], 400000u);
    EXPECT_EQ(best[1], 300000u);
}

TEST(PathTime, AClockThatGoesBackGivesNoTime) {
    reset({30, 20});
    fake.spikeAt = 2;  // the first timed run, path 0
    fake.backwardsAtSpike = true;
    std::vector<int> paths = {0, 1};
    uint64_t best[2];
    gh_path_time(trialOf(paths), fakeClock, best);
    EXPECT_EQ(best[0], 30u);  // from the other rounds
    EXPECT_EQ(best[1], 20u);
}

TEST(PathChoose, TimesOnceRecordsAndKeepsTheChoice) {
    reset({0, 150, 100, 400});  // path numbers 1..3 in use
    PathChoice choice("fake");
    std::vector<int> paths = {1, 2, 3};
    EXPECT_EQ(gh_path_chosen(choice), PathChoice::kUnchosen);
    EXPECT_EQ(gh_path_choose_with(&choice, trialOf(paths), fakeClock), 2);
    EXPECT_EQ(gh_path_chosen(choice), 2);
    EXPECT_EQ(choice.how, PATH_HOW_TIMED);
    ASSERT_EQ(choice.count, 3);
    EXPECT_STREQ(choice.names[0], "narrow");
    EXPECT_STREQ(choice.names[2], "portable");
    EXPECT_EQ(choice.paths[1], 2);
    EXPECT_EQ(choice.ticks[0], 150u);
    EXPECT_EQ(choice.ticks[1], 100u);
    EXPECT_EQ(choice.ticks[2], 400u);
    EXPECT_EQ(choice.rounds, 9);
    EXPECT_EQ(choice.spent, 9u * 2 * (150 + 100 + 400));
    // Made once: the same answer without a run, however the costs change.
    size_t runs = fake.log.size();
    fake.cost = {0, 10, 100, 400};
    EXPECT_EQ(gh_path_choose_with(&choice, trialOf(paths), fakeClock), 2);
    EXPECT_EQ(fake.log.size(), runs);
}

TEST(PathChoose, NothingToTimeOrNothingToTimeWith) {
    reset({10, 5});
    std::vector<int> one = {1};
    PathChoice single("single");
    EXPECT_EQ(gh_path_choose_with(&single, trialOf(one), fakeClock), 1);
    const char *env = getenv("GH_FORCE_PORTABLE");
    EXPECT_EQ(single.how, env && strcmp(env, "1") == 0 ? PATH_HOW_FORCED_PORTABLE : PATH_HOW_ONLY_PATH);
    EXPECT_EQ(single.ticks[0], 0u);

    std::vector<int> two = {0, 1};
    PathChoice clockless("clockless");
    EXPECT_EQ(gh_path_choose_with(&clockless, trialOf(two), nullptr), 0);
    EXPECT_EQ(clockless.how, PATH_HOW_NO_CLOCK);
    EXPECT_EQ(clockless.count, 2);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.prepared, 0);
}

TEST(PathChoose, WhileAnotherThreadChoosesTheConventionalPathIsTakenUntimed) {
    reset({100, 10});
    PathChoice choice("busy");
    choice.path.store(PathChoice::kChoosing);
    std::vector<int> paths = {0, 1};
    EXPECT_EQ(gh_path_choose_with(&choice, trialOf(paths), fakeClock), 0);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(gh_path_chosen(choice), PathChoice::kChoosing);  // left to the other thread
}

// Threads arriving together: one times, all get a path that runs, and the
// choice, once published, is the one every later call gets.
std::atomic<int> gPrepared{0};
void countingPrepare(void *) { gPrepared.fetch_add(1); }
void spinRun(void *, int path) {
    volatile uint64_t x = 0;
    for (int i = 0; i < (path == 0 ? 20000 : 2000); ++i) x = x + static_cast<uint64_t>(i);
}

TEST(PathChoose, ThreadsRacingTheFirstUseAgreeOnce) {
    PathClock clock = gh_path_clock();
    if (!clock) GTEST_SKIP() << "no time-stamp counter";
    PathChoice choice("race");
    std::vector<int> paths = {0, 1};
    PathTrial trial = {paths.data(), 2, fakeName, countingPrepare, spinRun, nullptr};
    std::vector<int> got(4, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] { got[t] = gh_path_choose(&choice, trial); });
    for (auto &th : threads) th.join();
    EXPECT_EQ(gPrepared.load(), 1);
    int chosen = gh_path_chosen(choice);
    ASSERT_GE(chosen, 0);
    for (int g : got) EXPECT_TRUE(g == chosen || g == paths[0]) << g;
    EXPECT_EQ(gh_path_choose(&choice, trial), chosen);
}

TEST(PathClock, TheTimeStampCounterMovesForward) {
    PathClock clock = gh_path_clock();
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_NE(clock, nullptr);
    uint64_t a = clock();
    spinRun(nullptr, 0);
    EXPECT_GT(clock(), a);
#else
    EXPECT_EQ(clock, nullptr);
#endif
}

}  // namespace
