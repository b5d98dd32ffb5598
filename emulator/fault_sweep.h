// The allocation-failure sweep: a call is made once to count the library's
// allocation events N, then N more times with the k-th event failing
// (k = 1..N).  Every attempt must leave nothing live (the outcome's
// problems) and give either the normal result or one of the acceptable
// failure results.
//
//   ghemu::SweepReport report = ghemu::sweepAllocationFailures(
//       [&](unsigned long failAt) {
//           ghemu::Session session(*lib);      // fresh state for every attempt
//           return session.call("hexEncode", {ghemu::textParam(lib->build(), "abc")}, 0, failAt);
//       },
//       ghemu::acceptResults({ghemu::emptyTextResult()}));
//   EXPECT_TRUE(report.ok()) << report.text();
//
// Only where the memory manager offers fault injection (Linux); elsewhere
// the report says it was skipped.
#ifndef GH_EMULATOR_FAULT_SWEEP_H
#define GH_EMULATOR_FAULT_SWEEP_H

#include <functional>
#include <string>
#include <vector>

#include "emulator/library.h"

namespace ghemu {

struct SweepReport {
    bool skipped = false;            // no fault injection on this platform
    unsigned long events = 0;        // N: the allocation events of a normal call
    std::vector<std::string> failures;

    bool ok() const { return failures.empty(); }
    std::string text() const;        // the failures, one a line
};

// attempt(failAt) sets up fresh state, makes the call (failAt 0: no failure)
// and returns its outcome.  An attempt with a failure may leave the named
// fields it was given either untouched or exactly as the normal call leaves
// them, never anything between.  acceptable(result) says whether a result is an
// allowed failure result; the normal call's result is always allowed.
// describe renders results in the failure texts.
SweepReport sweepAllocationFailures(const std::function<CallOutcome(unsigned long failAt)> &attempt,
                                    const std::function<bool(const Result &)> &acceptable, Build build);

// acceptable(): any of these results.
std::function<bool(const Result &)> acceptResults(std::vector<Result> results);
// The failure result of most functions: an empty text (set as text).
Result emptyTextResult();

}  // namespace ghemu

#endif
