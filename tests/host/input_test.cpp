// What a program reads of the buttons when they change between its reads: each change is
// shown until a read of the port that carries it has delivered it, and for the rest of
// that frame; a button held across reads reads as it is.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/gp2x_buttons.h"
#include "host/host_input.h"

namespace {

namespace b = gp2x::buttons;
using gp2x::host::Input;

struct Step {
  enum Op { kHold, kRead, kFrame, kAt } op;
  uint32_t bits = 0;  // kHold: the buttons held from now on; kRead: the port's buttons;
                      // kAt: the time (ms) from now on
  uint32_t want = 0;  // kRead: what the read gives
};
Step hold(uint32_t buttons) { return {Step::kHold, buttons, 0}; }
Step read_c(uint32_t want) { return {Step::kRead, b::kPortCBits, want}; }
Step read(uint32_t port, uint32_t want) { return {Step::kRead, port, want}; }
Step frame() { return {Step::kFrame, 0, 0}; }
Step at_ms(uint32_t ms) { return {Step::kAt, ms, 0}; }

struct Case {
  const char* what;
  std::vector<Step> steps;
};

void run(Input& input, const Case& c) {
  uint64_t now = 0;
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    switch (s.op) {
      case Step::kHold:
        input.set_held(s.bits);
        break;
      case Step::kFrame:
        input.frame_done(now);
        break;
      case Step::kAt:
        now = s.bits * 1000000ull;
        break;
      case Step::kRead:
        EXPECT_EQ(input.read(s.bits, now), s.want) << c.what << ", step " << i;
        break;
    }
  }
}

TEST(InputLatch, EveryChangeReachesTheReadOfItsPort) {
  const Case cases[] = {
      {"a tap between two reads is read, through the rest of the frame",
       {frame(), hold(b::kA), hold(0), read_c(b::kA), read_c(b::kA), frame(), read_c(0)}},
      {"a button held across reads reads as it is",
       {frame(), hold(b::kA), read_c(b::kA), frame(), read_c(b::kA), frame(), read_c(b::kA), hold(0), read_c(0)}},
      {"a tap of two buttons, one after the other",
       {frame(), hold(b::kA), hold(b::kA | b::kB), hold(b::kB), hold(0), read_c(b::kA | b::kB), frame(),
        read_c(0)}},
      {"a release and a press again between two reads: the release is read, then the press",
       {frame(), hold(b::kA), read_c(b::kA), frame(), hold(0), hold(b::kA), read_c(0), frame(), read_c(b::kA)}},
      {"two taps within a frame are two presses",
       {frame(), hold(b::kB), hold(0), hold(b::kB), hold(0), read_c(b::kB), frame(), read_c(0), frame(),
        read_c(b::kB), frame(), read_c(0), frame(), read_c(0)}},
      {"a read of another port does not take a tap",
       {frame(), hold(b::kStart), hold(0), read(b::kStick, 0), read(b::kPortDBits, 0), frame(),
        read_c(b::kStart), frame(), read_c(0)}},
      {"each port delivers its own buttons",
       {frame(), hold(b::kUp | b::kA | b::kPush), hold(0), read(b::kStick, b::kUp), read(b::kPortDBits, b::kPush),
        read_c(b::kA), frame(), read(b::kStick, 0), read(b::kPortDBits, 0), read_c(0)}},
      {"before the program's first frame a change is read once",
       {hold(b::kA), hold(0), read_c(b::kA), read_c(0), hold(b::kX), read_c(b::kX), hold(0), read_c(0)}},
      {"long after the last frame a change is read once",
       {frame(), at_ms(500), hold(b::kA), hold(0), read_c(b::kA), read_c(0), frame(), hold(b::kA), hold(0),
        read_c(b::kA), at_ms(620), read_c(0)}},
  };
  for (const Case& c : cases) {
    Input input;
    run(input, c);
  }
}

// A program that waits for a button to be let go by reading its port in a loop, without
// completing a frame, is not kept waiting for good.
TEST(InputLatch, ASpinOnThePortSeesTheReleaseWithoutAFrame) {
  Input input;
  input.frame_done(0);
  input.set_held(b::kStart);
  input.set_held(0);
  ASSERT_EQ(input.read(b::kPortCBits, 0), b::kStart);
  int reads = 1;
  while (input.read(b::kPortCBits, 0) != 0 && reads < 1000) ++reads;
  EXPECT_LT(reads, 1000);
  EXPECT_GT(reads, 2);  // still held for the reads a frame makes
}

}  // namespace
