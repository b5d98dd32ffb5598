// The benchmarks' main: every bench/*.cpp registers its own benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
