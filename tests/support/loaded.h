// Support for tests that drive the shipped libraries, loaded from their
// files next to the test, once per build.
#ifndef GH_TESTS_LOADED_H
#define GH_TESTS_LOADED_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/library.h"

namespace ghtest {

// The library of a build, loaded once per process.
inline ghemu::Library &loadedLibrary(ghemu::Build build) {
    static std::unique_ptr<ghemu::Library> libraries[2];
    auto &slot = libraries[build == ghemu::Build::Wide ? 0 : 1];
    if (!slot) slot = ghemu::Library::load(ghemu::libraryPathNextToExecutable(build == ghemu::Build::Wide), build);
    return *slot;
}

// A test run once for each build: GetParam() is the build.
class EachBuild : public ::testing::TestWithParam<ghemu::Build> {
protected:
    ghemu::Build build() const { return GetParam(); }
    ghemu::Library &library() const { return loadedLibrary(GetParam()); }
};

inline std::string buildParamName(const ::testing::TestParamInfo<ghemu::Build> &info) {
    return ghemu::buildName(info.param);
}

}  // namespace ghtest

// Runs the tests of fixture over both builds.
#define GH_FOR_EACH_BUILD(fixture)                                                               \
    INSTANTIATE_TEST_SUITE_P(Builds, fixture,                                                    \
                             ::testing::Values(ghemu::Build::Wide, ghemu::Build::Byte),          \
                             ghtest::buildParamName)

#endif
