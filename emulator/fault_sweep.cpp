// The allocation-failure sweep.
#include "emulator/fault_sweep.h"

namespace ghemu {

std::string SweepReport::text() const {
    std::string s;
    for (const std::string &f : failures) s += f + "\n";
    return s;
}

SweepReport sweepAllocationFailures(const std::function<CallOutcome(unsigned long failAt)> &attempt,
                                    const std::function<bool(const Result &)> &acceptable, Build build) {
    SweepReport report;
    if (!memoryControlsAvailable()) {
        report.skipped = true;
        return report;
    }
    CallOutcome normal = attempt(0);
    report.events = normal.allocationEvents;
    if (!normal.ok()) {
        report.failures.push_back("without a failure: " + normal.problemText());
        return report;
    }
    for (unsigned long k = 1; k <= report.events; ++k) {
        CallOutcome out = attempt(k);
        std::string at = "allocation " + std::to_string(k) + " of " + std::to_string(report.events) + " failing: ";
        if (!out.ok()) report.failures.push_back(at + out.problemText());
        if (out.result != normal.result && !acceptable(out.result)) {
            report.failures.push_back(at + "gave " + describeResult(out.result, build) +
                                      ", neither a failure result nor the normal " +
                                      describeResult(normal.result, build));
        }
        // A field is written whole or not at all: none changed, or every one
        // as the normal call left it.
        if (!out.changedFields.empty() && out.changedFields != normal.changedFields) {
            std::string names;
            for (const auto &f : out.changedFields) names += (names.empty() ? "" : ", ") + textToUtf8(f.first, build);
            report.failures.push_back(at + "left the field(s) " + names + " changed otherwise than the normal call");
        }
    }
    return report;
}

std::function<bool(const Result &)> acceptResults(std::vector<Result> results) {
    return [results = std::move(results)](const Result &r) {
        for (const Result &ok : results) {
            if (ok == r) return true;
        }
        return false;
    };
}

Result emptyTextResult() { return Result::of(2, Value::ofText(U"")); }

}  // namespace ghemu
