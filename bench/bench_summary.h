// Tables printed once every benchmark has run, from the runs' results: a
// benchmark file registers a printer (before main, like its benchmarks) and
// bench_main.cpp calls it with every run the display reporter saw.  They go
// to standard output under the console format, to standard error otherwise
// (so that JSON or CSV output stays parseable).
#ifndef GH_BENCH_SUMMARY_H
#define GH_BENCH_SUMMARY_H

#include <benchmark/benchmark.h>

#include <ostream>
#include <vector>

using BenchRuns = std::vector<benchmark::BenchmarkReporter::Run>;
typedef void (*BenchSummary)(const BenchRuns &runs, std::ostream &out);

// Returns 0, for use in a namespace-scope initialiser.
int bench_add_summary(BenchSummary summary);

#endif
