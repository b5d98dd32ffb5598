// Runs the catalogue cases of tests/cases (the format is described in
// tests/cases/README.md) against one library, with the allocation-failure
// sweep where the platform offers it.
#ifndef GH_EMULATOR_CASE_RUNNER_H
#define GH_EMULATOR_CASE_RUNNER_H

#include <string>
#include <vector>

#include "emulator/allocation_sites.h"
#include "emulator/library.h"

namespace ghemu {

struct CaseRunOptions {
    bool faultSweep = true;   // also sweep allocation failures (if available)
    std::string nameFilter;   // run only cases whose name contains this
    AllocationSites *sites = nullptr;  // where set: records the allocation points each function reaches
};

struct CaseFailure {
    std::string file;
    std::string caseName;
    std::string build;
    std::string where;    // "step 2 (splitstring)", "fault sweep of step 0", ...
    std::string message;  // may span lines (expected / actual)
    std::string text() const;
};

struct CaseReport {
    size_t passed = 0;   // cases (for this build) without a failure
    size_t failed = 0;
    size_t skipped = 0;  // cases for the other build, or filtered out
    size_t sweptCalls = 0;
    std::vector<CaseFailure> failures;
};

// Runs every case of one JSON file against the library; adds to report.  A
// file that cannot be read or parsed counts as one failed case.
void runCaseFile(const std::string &path, Library &library, const CaseRunOptions &options,
                 CaseReport &report);

// The *.json files of a folder, sorted; a file given instead of a folder is
// returned as it is.
std::vector<std::string> caseFiles(const std::string &folderOrFile);

}  // namespace ghemu

#endif
