// Both games in steady play allocate nothing: each program runs headless, with the
// allocation counter preloaded (tests/support/alloc_count.c), over the same button script
// twice, the second run ten seconds longer; the two runs start up and shut down alike, so
// the counts differ by what those extra frames (300 of pellax, 600 of kolvo2) allocated.
// The CPU emulator that runs pellax's second core on a PC allocates as it translates the
// core's code: its own calls are left out (the console's second core is no library).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

struct Game {
  const char* name;
  const char* program;
  const char* data;
  const char* script;  // in the source tree
  int steady_ms;       // a time when play has begun
};

// The program's allocations over a run that ends at until_ms; -1 when it did not run.
long count_allocations(const Game& g, int until_ms) {
  TempDir run;
  const std::string count = run / "count";
  const std::string command =
      "cp -a " + std::string(g.data) + "/. " + run.path() + " && cd " + run.path() +
      " && GP2X_HEADLESS=1 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_TIMER_START=0x4321"
      " GP2X_SCRIPT=" + std::string(SOURCE_DIR) + "/" + g.script +
      " GP2X_UNTIL=" + std::to_string(until_ms) + " GP2X_ALLOC_COUNT=" + count +
      " GP2X_ALLOC_NOT_FROM=libunicorn" +
      " LD_PRELOAD=" + ALLOC_COUNT_MODULE + " " + g.program + " > out.txt 2>&1";
  if (std::system(command.c_str()) != 0) return -1;
  const std::vector<uint8_t> text = ReadWholeFile(count);
  return text.empty() ? -1 : std::atol(std::string(text.begin(), text.end()).c_str());
}

TEST(SteadyPlay, NeitherGameAllocatesAfterStartUp) {
  const Game games[] = {
      {"pellax", PELLAX_PROGRAM, PELLAX_DATA, "bench/scripts/pellax_play.txt", 6000},
      {"kolvo2", KOLVO2_PROGRAM, KOLVO2_DATA, "bench/kolvo2/play.txt", 12000},
  };
  for (const Game& g : games) {
    const long shorter = count_allocations(g, g.steady_ms);
    const long longer = count_allocations(g, g.steady_ms + 10000);
    ASSERT_GT(shorter, 0) << g.name << " did not run, or the counter was not loaded";
    EXPECT_EQ(longer, shorter) << g.name << " allocates in steady play";
  }
}

}  // namespace
