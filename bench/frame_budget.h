// The game operations whose time a benchmark program also gives as a share of a frame,
// marked where they are registered (BUDGET_BENCHMARK in place of BENCHMARK) and known to
// the program's reporter by the benchmark's name; budget::Main runs them all and prints,
// after the usual table, each marked one's share of the game's frame on this machine and
// this machine's cycles as a share of the console's budget for that frame.
//
// The mark stays out of the runs themselves: a counter there reaches the --benchmark_out
// file too, whose CSV writer stops the program when a counter turns up that its first row
// lacked, as it does whenever an unmarked benchmark reports first (random interleaving, or
// a filter, decides which one that is).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

// The clock of this machine's first core, from /proc/cpuinfo (0 when it does not say).
inline double host_mhz() {
  std::FILE* f = std::fopen("/proc/cpuinfo", "r");
  if (!f) return 0.0;
  char line[256];
  double mhz = 0.0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "cpu MHz : %lf", &mhz) == 1) break;
  std::fclose(f);
  return mhz;
}

// The game's frame: its length and what the console's 200 MHz core does in it.
struct Frame {
  double seconds;
  const char* length;  // "16.7 ms"
  const char* cycles;  // "3.33 M"
};

// The console table as usual, then the marked runs' real time per iteration as a share of
// the frame (a counter would print any share with a time's or an SI unit).
class Reporter : public benchmark::ConsoleReporter {
 public:
  explicit Reporter(Frame frame) : frame_(frame) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!marked(run) || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_unit != benchmark::kTime) continue;
      shares_.emplace_back(run.benchmark_name(),
                           run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (shares_.empty()) return;
    std::ostream& out = GetOutputStream();
    const double mhz = host_mhz();
    const double budget = frame_.seconds * 200e6;
    out << "\nShare of the game's " << frame_.length << " frame on this machine, and this machine's cycles (at "
        << mhz << " MHz) as a share of the console's " << frame_.cycles << " cycles per frame:\n";
    for (const auto& [name, seconds] : shares_) {
      const double cycles = seconds * mhz * 1e6;
      char line[240];
      std::snprintf(line, sizeof line, "%-48s %8.3f %% of %s  %10.0f cycles = %7.2f %% of %s\n", name.c_str(),
                    100.0 * seconds / frame_.seconds, frame_.length, cycles, 100.0 * cycles / budget, frame_.cycles);
      out << line;
    }
  }

 private:
  Frame frame_;
  std::vector<std::pair<std::string, double>> shares_;
};

// A benchmark program's main: the library's options, then every benchmark asked for.
inline int Main(int argc, char** argv, Frame frame) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Reporter reporter(frame);
  benchmark::RunSpecifiedBenchmarks(display(&reporter));
  benchmark::Shutdown();
  return 0;
}

}  // namespace budget

#define BUDGET_BENCHMARK(fn)                                    \
  [[maybe_unused]] static const bool fn##_marked = budget::mark(#fn); \
  BENCHMARK(fn)
