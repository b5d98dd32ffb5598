// The emulator's checks against a library that misbehaves on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>

#include "emulator/case_runner.h"
#include "emulator/allocation_sites.h"
#include "emulator/fault_sweep.h"
#include "emulator/library.h"

namespace {

using ghemu::Build;
using ghemu::CallOutcome;

std::string binPath(const char *file) {
    std::string wide = ghemu::libraryPathNextToExecutable(true);
    return wide.substr(0, wide.rfind('/') + 1) + file;
}

ghemu::Library &fake() {
    static auto library = ghemu::Library::load(binPath("glyphFake.so"));
    return *library;
}

// Gives back what the fake's leak function left live.
void reclaimLeaks() {
    void *handle = dlopen(binPath("glyphFake.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto reclaim = reinterpret_cast<void (*)()>(dlsym(handle, "glyphFakeReclaim"));
    ASSERT_NE(reclaim, nullptr);
    reclaim();
    dlclose(handle);
}

bool mentions(const CallOutcome &out, const std::string &text) {
    return out.problemText().find(text) != std::string::npos;
}

TEST(FakeLibrary, AWellBehavedCallHasNoProblems) {
    ghemu::Session session(fake());
    CallOutcome out = session.call("echo", {ghemu::textParam(Build::Wide, "h\xC3\xA9llo")});
    EXPECT_TRUE(out.ok()) << out.problemText();
    EXPECT_EQ(out.result, ghemu::Result::of(8, ghemu::Value::ofText(U"h\u00e9llo")));
    EXPECT_EQ(out.allocationEvents, 2u);  // the host's own allocations are not counted
}

TEST(FakeLibrary, LeaksDoubleFreesAndBadBlocksAreProblems) {
    ghemu::Session session(fake());
    EXPECT_TRUE(mentions(session.call("leak", {ghemu::textParam(Build::Wide, "a")}), "1 memory block(s) left live"));
    reclaimLeaks();
    EXPECT_TRUE(mentions(session.call("doubleFree", {ghemu::textParam(Build::Wide, "a")}), "misused"));
    CallOutcome over = session.call("overCount", {});
    EXPECT_TRUE(mentions(over, "count 100 exceeds its 1 elements")) << over.problemText();
    EXPECT_EQ(over.result.value, ghemu::Value::ofText(std::u32string(1, 0)));  // what the block held
}

TEST(FakeLibrary, TheSweepAcceptsOnlyTheAllowedResults) {
    auto attempt = [](const char *function) {
        return [function](unsigned long failAt) {
            ghemu::Session session(fake());
            return session.call(function, {ghemu::textParam(Build::Wide, "abc")}, 0, failAt);
        };
    };
    auto empty = ghemu::acceptResults({ghemu::emptyTextResult()});
    ghemu::SweepReport good = ghemu::sweepAllocationFailures(attempt("echo"), empty, Build::Wide);
    EXPECT_TRUE(good.ok()) << good.text();
    EXPECT_EQ(good.events, 2u);
    ghemu::SweepReport bad = ghemu::sweepAllocationFailures(attempt("careless"), empty, Build::Wide);
    EXPECT_EQ(bad.failures.size(), 2u) << bad.text();
    ghemu::SweepReport leaky = ghemu::sweepAllocationFailures(attempt("leak"), empty, Build::Wide);
    EXPECT_FALSE(leaky.ok());
    reclaimLeaks();
}

TEST(FakeLibrary, TheSweepFindsAFieldHalfChanged) {
    ghemu::SweepReport report = ghemu::sweepAllocationFailures(
        [](unsigned long failAt) {
            ghemu::Session session(fake());
            session.host().setField(U"a", ghemu::Value::ofText(U"old"));
            session.host().setField(U"b", ghemu::Value::ofText(U"old"));
            return session.call("twoFields", {ghemu::textParam(Build::Wide, "a"), ghemu::textParam(Build::Wide, "b"),
                                              ghemu::textParam(Build::Wide, "new")},
                                0, failAt);
        },
        ghemu::acceptResults({ghemu::Result::of(HOST_TYPE_NUMBER, ghemu::Value::ofNumber(0))}), Build::Wide);
    ASSERT_EQ(report.failures.size(), 2u) << report.text();  // each of the copy's two allocations
    EXPECT_NE(report.failures[0].find("left the field(s) a changed"), std::string::npos) << report.text();
}

TEST(FakeLibrary, AllocationPointsAreCountedPerFunction) {
    if (!ghemu::memoryControlsAvailable()) GTEST_SKIP() << "no allocation watch on this platform";
    ghemu::AllocationSites sites(fake());
    ghemu::Session session(fake());
    for (const char *text : {"a", "bb"}) {  // the same two places, whatever the value
        sites.attribute("echo");
        session.call("echo", {ghemu::textParam(Build::Wide, text)});
        sites.attribute("");
    }
    session.call("careless", {ghemu::textParam(Build::Wide, "c")});  // not attributed
    EXPECT_EQ(sites.count("echo"), 2u) << sites.listing();
    EXPECT_EQ(sites.count("careless"), 0u);
    EXPECT_NE(sites.listing().find("echo: 2 allocation points"), std::string::npos) << sites.listing();
}

TEST(FakeLibrary, TheCaseRunnerReportsEachKindOfFailure) {
    ghemu::CaseReport report;
    ghemu::runCaseFile(GH_FIXTURES_DIR "/fake_cases.json", fake(), {}, report);
    reclaimLeaks();
    std::vector<std::string> failed;
    for (const auto &f : report.failures) failed.push_back(f.caseName);
    failed.erase(std::unique(failed.begin(), failed.end()), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{"echo with a wrong expectation", "leak is caught",
                                                "careless fails the sweep",
                                                "a field left unwritten under a failed allocation fails the sweep",
                                                "a typo"}));
    EXPECT_EQ(report.passed, 5u);
    EXPECT_EQ(report.skipped, 1u);
    ASSERT_FALSE(report.failures.empty());
    EXPECT_NE(report.failures[0].text().find("expected text \"b\"\n     got text \"a\" (as text block)"),
              std::string::npos)
        << report.failures[0].text();
    // The sweep looks at named fields too: a call that reports its normal
    // result must have written them.
    auto careless = std::find_if(report.failures.begin(), report.failures.end(),
                                 [](const ghemu::CaseFailure &f) { return f.caseName.find("unwritten") != std::string::npos; });
    ASSERT_NE(careless, report.failures.end());
    EXPECT_NE(careless->text().find("field \"f\" holds text \"old\", not text \"new\" (the call gave its normal result)"),
              std::string::npos)
        << careless->text();
}

TEST(FakeLibrary, AMalformedCatalogueIsRefused) {
    try {
        ghemu::Library::load(binPath("glyphFakeBad.so"));
        FAIL() << "loaded";
    } catch (const ghemu::CatalogueError &e) {
        EXPECT_NE(std::string(e.what()).find("neither UFNC nor 7FNC"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ghemu::Library::load(binPath("libglyphmem.so")), ghemu::LoadError);  // no entry point
    EXPECT_THROW(ghemu::Library::load(binPath("no-such-file.so")), ghemu::LoadError);
}

}  // namespace
