// The benchmark program's main, unless another benchmark file supplies one:
// every bench/*.cpp registers its own benchmarks.
#include <benchmark/benchmark.h>

__attribute__((weak)) int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
