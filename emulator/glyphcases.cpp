// glyphcases: runs the catalogue cases (tests/cases/*.json) against each
// build, sweeping allocation failures where the platform allows it.
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "emulator/case_runner.h"
#include "emulator/system.h"

#ifndef GH_DEFAULT_CASES_DIR
#  define GH_DEFAULT_CASES_DIR "tests/cases"
#endif

namespace {

// The allocation points each function is known to reach, per build: lines
// of "function wide byte" ('#' starts a comment).
using PointCounts = std::map<std::string, std::map<std::string, size_t>>;

PointCounts readPointCounts(const std::string &path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    PointCounts counts;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string function;
        size_t wide, byte;
        if (!(fields >> function)) continue;
        if (!(fields >> wide >> byte)) throw std::runtime_error(path + ": \"" + line + "\" is not \"function wide byte\"");
        counts[function]["wide"] = wide;
        counts[function]["byte"] = byte;
    }
    return counts;
}

// Lists the points reached and compares them with the known counts: fewer
// is a failure (a case that reached a point is gone, or no longer reaches
// it); more is reported, so that the file can be brought up to date.
size_t reportPoints(const ghemu::AllocationSites &sites, const char *build, const PointCounts *known, bool quiet) {
    if (!quiet) {
        std::printf("allocation points reached (%s build):\n%s", build, sites.listing().c_str());
        if (known) {
            for (const auto &[function, perBuild] : *known) {
                if (!sites.count(function)) std::printf("%s: 0 allocation points\n", function.c_str());
            }
        }
    }
    if (!known) return 0;
    size_t failures = 0;
    for (const auto &[function, perBuild] : *known) {
        size_t expected = perBuild.at(build);
        size_t reached = sites.count(function);
        if (reached < expected) {
            std::printf("FAIL allocation points of %s [%s]: %zu reached, %zu known\n", function.c_str(), build,
                        reached, expected);
            ++failures;
        } else if (reached > expected) {
            std::printf("note: %s [%s] reaches %zu allocation points, %zu are listed: update the list\n",
                        function.c_str(), build, reached, expected);
        }
    }
    for (const auto &[function, points] : sites.points()) {
        if (!known->count(function)) {
            std::printf("note: %s [%s] reaches %zu allocation points and is not listed\n", function.c_str(), build,
                        points.size());
        }
    }
    return failures;
}

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
    // Options are spelt --option on every platform: under wine a path starts
    // with a slash, which CLI11 would otherwise take for a /option.
    app.allow_windows_style_options(false);
    std::vector<std::string> libraries;
    std::vector<std::string> paths;
    bool noSweep = false;
    bool quiet = false;
    std::string pointsFile;
    ghemu::CaseRunOptions options;
    app.add_option("--library", libraries, "a library file to run the cases against (repeatable)")
        ->allow_extra_args(false);
    app.add_option("paths", paths, "case folders or files (default: " GH_DEFAULT_CASES_DIR ")");
    app.add_flag("--no-fault-sweep", noSweep, "skip the allocation-failure sweep");
    app.add_option("--case", options.nameFilter, "run only the cases whose name contains this text");
    app.add_flag("-q,--quiet", quiet, "print only failures and the summary");
    app.add_option("--points", pointsFile,
                   "with the sweep: fail when a function reaches fewer allocation points than this file lists");
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

    PointCounts known;
    if (!pointsFile.empty()) known = readPointCounts(pointsFile);
    bool sweeping = options.faultSweep && ghemu::memoryControlsAvailable();

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
        std::unique_ptr<ghemu::AllocationSites> sites;
        if (sweeping) sites = std::make_unique<ghemu::AllocationSites>(*library);
        options.sites = sites.get();
        for (const std::string &f : files) ghemu::runCaseFile(f, *library, options, report);
        options.sites = nullptr;
        for (const ghemu::CaseFailure &f : report.failures) std::printf("%s\n", f.text().c_str());
        if (!quiet || report.failed) {
            std::printf("%s (%s build): %zu cases passed, %zu failed, %zu skipped; %zu calls swept%s\n",
                        path.c_str(), ghemu::buildName(library->build()), report.passed, report.failed,
                        report.skipped, report.sweptCalls,
                        options.faultSweep && ghemu::memoryControlsAvailable() ? "" : " (no fault sweep)");
        }
        passed += report.passed;
        failed += report.failed;
        if (sites) {
            failed += reportPoints(*sites, ghemu::buildName(library->build()), pointsFile.empty() ? nullptr : &known,
                                   quiet);
        }
    }
    std::printf("glyphcases: %zu passed, %zu failed\n", passed, failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    try {
        ghemu::useExactOutput();
        ghemu::Utf8Arguments args(argc, argv);
        return run(args.argc(), args.argv());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "glyphcases: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "glyphcases: unexpected failure\n");
    }
    return 2;
}
