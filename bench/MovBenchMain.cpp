// Entry of the movie benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
