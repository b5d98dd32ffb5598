// glyphcases: runs the catalogue cases (tests/cases/*.json) against each
// build, sweeping allocation failures where the platform allows it.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "emulator/case_runner.h"
#include "emulator/system.h"

#ifndef GH_DEFAULT_CASES_DIR
#  define GH_DEFAULT_CASES_DIR "tests/cases"
#endif

namespace {

int run(int argc, char **argv) {
    CLI::App app{
        "Runs the catalogue cases against each build of glyphHerder.\n"
        "Every case runs against every library given (by default both builds next to this\n"
        "program); after each call the host checks that no memory block or heap buffer is\n"
        "left live.  With the fault sweep (on by default where the memory manager can\n"
        "inject failures) each call is repeated with each of its allocations failing in turn.\n\n"
        "Examples:\n"
        "  glyphcases                                  all cases, both builds\n"
        "  glyphcases --library bin/glyphHerder.so     the byte build only\n"
        "  glyphcases tests/cases/host.json --case howMany --no-fault-sweep\n",
        "glyphcases"};
    std::vector<std::string> libraries;
    std::vector<std::string> paths;
    bool noSweep = false;
    bool quiet = false;
    ghemu::CaseRunOptions options;
    app.add_option("--library", libraries, "a library file to run the cases against (repeatable)")
        ->allow_extra_args(false);
    app.add_option("paths", paths, "case folders or files (default: " GH_DEFAULT_CASES_DIR ")");
    app.add_flag("--no-fault-sweep", noSweep, "skip the allocation-failure sweep");
    app.add_option("--case", options.nameFilter, "run only the cases whose name contains this text");
    app.add_flag("-q,--quiet", quiet, "print only failures and the summary");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e);
    }
    options.faultSweep = !noSweep;
    if (libraries.empty()) {
        libraries = {ghemu::libraryPathNextToExecutable(true), ghemu::libraryPathNextToExecutable(false)};
    }
    if (paths.empty()) paths = {GH_DEFAULT_CASES_DIR};
    std::vector<std::string> files;
    for (const std::string &p : paths) {
        for (const std::string &f : ghemu::caseFiles(p)) files.push_back(f);
    }
    if (files.empty()) {
        std::fprintf(stderr, "glyphcases: no case files found\n");
        return 2;
    }

    size_t passed = 0, failed = 0;
    for (const std::string &path : libraries) {
        std::unique_ptr<ghemu::Library> library;
        try {
            library = ghemu::Library::load(path);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "glyphcases: %s\n", e.what());
            ++failed;
            continue;
        }
        ghemu::CaseReport report;
        for (const std::string &f : files) ghemu::runCaseFile(f, *library, options, report);
        for (const ghemu::CaseFailure &f : report.failures) std::printf("%s\n", f.text().c_str());
        if (!quiet || report.failed) {
            std::printf("%s (%s build): %zu cases passed, %zu failed, %zu skipped; %zu calls swept%s\n",
                        path.c_str(), ghemu::buildName(library->build()), report.passed, report.failed,
                        report.skipped, report.sweptCalls,
                        options.faultSweep && ghemu::memoryControlsAvailable() ? "" : " (no fault sweep)");
        }
        passed += report.passed;
        failed += report.failed;
    }
    std::printf("glyphcases: %zu passed, %zu failed\n", passed, failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "glyphcases: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "glyphcases: unexpected failure\n");
    }
    return 2;
}
