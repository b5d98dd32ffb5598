// The benchmark program's main: every bench/*.cpp registers its own
// benchmarks, and may register a summary table (bench_summary.h).
#include <benchmark/benchmark.h>
#include <string.h>

#include <iostream>
#include <memory>

#include "bench/bench_summary.h"

namespace {

std::vector<BenchSummary> &summaries() {
    static std::vector<BenchSummary> all;
    return all;
}

// Google Benchmark's own display reporter (console, JSON or CSV, as the
// flags say), with every run kept for the summaries.
class KeepingReporter : public benchmark::BenchmarkReporter {
public:
    explicit KeepingReporter(benchmark::BenchmarkReporter *display) : display_(display) {}
    bool ReportContext(const Context &context) override { return display_->ReportContext(context); }
    void ReportRuns(const std::vector<Run> &runs) override {
        runs_.insert(runs_.end(), runs.begin(), runs.end());
        display_->ReportRuns(runs);
    }
    void Finalize() override { display_->Finalize(); }
    const BenchRuns &runs() const { return runs_; }

private:
    std::unique_ptr<benchmark::BenchmarkReporter> display_;
    BenchRuns runs_;
};

}  // namespace

int bench_add_summary(BenchSummary summary) {
    summaries().push_back(summary);
    return 0;
}

int main(int argc, char **argv) {
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const char *flag = "--benchmark_format=";
        if (strncmp(argv[i], flag, strlen(flag)) == 0) console = strcmp(argv[i] + strlen(flag), "console") == 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    KeepingReporter reporter(benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (BenchSummary summary : summaries()) summary(reporter.runs(), console ? std::cout : std::cerr);
    benchmark::Shutdown();
    return 0;
}
