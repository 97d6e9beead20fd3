// The game operations whose time a benchmark program also gives as a share of a frame,
// marked where they are registered (BUDGET_BENCHMARK in place of BENCHMARK) and known to
// its reporter by the benchmark's name. The mark stays out of the runs themselves: a
// counter there reaches the --benchmark_out file too, whose CSV writer stops the program
// when a counter turns up that its first row lacked, as it does whenever an unmarked
// benchmark reports first (random interleaving, or a filter, decides which one that is).
#pragma once

#include <benchmark/benchmark.h>

#include <set>
#include <string>

namespace budget {

inline std::set<std::string>& marked_names() {
  static std::set<std::string> names;
  return names;
}

inline bool mark(const char* name) {
  marked_names().insert(name);
  return true;
}

// A run (or an aggregate of runs) of a marked benchmark, with whatever arguments.
inline bool marked(const benchmark::BenchmarkReporter::Run& run) {
  return marked_names().count(run.run_name.function_name) != 0;
}

// What shows the runs: the program's console table with its share table, unless
// --benchmark_format asks for another format, which then gets the library's own writer.
inline benchmark::BenchmarkReporter* display(benchmark::ConsoleReporter* table) {
  benchmark::BenchmarkReporter* asked = benchmark::CreateDefaultDisplayReporter();
  return dynamic_cast<benchmark::ConsoleReporter*>(asked) ? table : asked;
}

}  // namespace budget

#define BUDGET_BENCHMARK(fn)                                    \
  [[maybe_unused]] static const bool fn##_marked = budget::mark(#fn); \
  BENCHMARK(fn)
