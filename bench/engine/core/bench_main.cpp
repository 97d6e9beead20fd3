// The one entry point of this folder's benchmark program; every other file only
// registers benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
