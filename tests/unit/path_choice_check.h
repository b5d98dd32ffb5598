// What every kernel's choice must satisfy, whatever the timings were: the
// paths it considered are exactly those the processor runs, in the
// kernel's conventional order (the portable one alone under
// GH_FORCE_PORTABLE=1); the path taken is the one its own timings pick; and
// it is the path the kernel's functions use (checked by each test).
#ifndef GH_TESTS_PATH_CHOICE_CHECK_H
#define GH_TESTS_PATH_CHOICE_CHECK_H

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/path_choice.h"

inline bool portableForced() {
    const char *env = getenv("GH_FORCE_PORTABLE");
    return env && strcmp(env, "1") == 0;
}

// `runnable`: the names of the paths this processor runs, conventional
// order, the portable one last.  Returns the name of the path taken.
inline std::string checkChoice(const PathChoice *c, const std::vector<std::string> &runnable) {
    EXPECT_NE(c, nullptr);
    if (!c) return "";
    int path = gh_path_chosen(*c);
    EXPECT_GE(path, 0) << c->kernel;
    std::vector<std::string> names(c->names, c->names + c->count);
    std::vector<std::string> expected = portableForced() ? std::vector<std::string>{runnable.back()} : runnable;
    EXPECT_EQ(names, expected) << c->kernel;
    int taken = -1;
    for (int i = 0; i < c->count; ++i)
        if (c->paths[i] == path) taken = i;
    EXPECT_GE(taken, 0) << c->kernel << ": the path taken was not among those considered";
    if (c->count == 1) {
        EXPECT_EQ(c->how, portableForced() ? PATH_HOW_FORCED_PORTABLE : PATH_HOW_ONLY_PATH) << c->kernel;
    } else if (c->how == PATH_HOW_TIMED) {
        EXPECT_EQ(taken, gh_path_pick(c->ticks, c->count)) << c->kernel;
        for (int i = 0; i < c->count; ++i) EXPECT_GT(c->ticks[i], 0u) << c->kernel << " " << names[i];
    } else {
        EXPECT_EQ(c->how, PATH_HOW_NO_CLOCK) << c->kernel;
        EXPECT_EQ(taken, 0) << c->kernel;
    }
    std::string record;
    for (int i = 0; i < c->count; ++i)
        record += std::string(i == taken ? " *" : " ") + names[i] + "=" + std::to_string(c->ticks[i]);
    ::testing::Test::RecordProperty(c->kernel, record);
    return taken >= 0 ? names[taken] : "";
}

#endif
