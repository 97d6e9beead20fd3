// The music's fade as a zone starts, played through the real frame loop from the level
// select: 8 a frame, 16 while the volume is above 33 after the first step, over the 14
// frames of the picture's fade; the get-ready state's 15th frame brings the volume back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/pellax/game/frame_fixture.h"
#include "host/gp2x_buttons.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/flow/game_states.h"

namespace {

namespace b = gp2x::buttons;

class ZoneStartVolume : public FrameLoopTest {
 protected:
  static uint64_t now_ms() { return gp2x::host::now_ns() / 1000000; }
  static void hold(uint32_t buttons) { gp2x::host::runtime().input.set_script({{now_ms(), buttons}}); }
  // The volume after each frame.
  std::vector<int32_t> frame(int n = 1) {
    std::vector<int32_t> after;
    for (int i = 0; i < n; ++i) {
      EXPECT_TRUE(pellax_frame());
      after.push_back(audio_master_volume());
    }
    return after;
  }
  std::vector<int32_t> press(uint32_t buttons) {
    hold(buttons);
    std::vector<int32_t> after = frame();
    hold(0);
    after.push_back(frame().back());
    return after;
  }
};

TEST_F(ZoneStartVolume, FallsByEightOrSixteenAndComesBackInGetReady) {
  struct Case {
    int32_t before;
    bool timed;  // through the play-mode choice (a trophy) into a timed run
    std::vector<int32_t> fade;  // after each of the 14 fade frames
    int32_t restored;
  };
  const std::vector<int32_t> silent(14, 0);
  const Case cases[] = {
      {0, false, silent, 0},
      {8, false, silent, 8},
      // Between the steps of 8 the buttons make: back at the step above.
      {33, false, {25, 17, 9, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 40},
      {34, false, {26, 18, 10, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 40},
      // 32 after the first step is not above 33; 40 is.
      {40, false, {32, 24, 16, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 40},
      {48, false, {32, 24, 16, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 48},
      {144, false, {128, 112, 96, 80, 64, 48, 32, 24, 16, 8, 0, 0, 0, 0}, 144},
      // The loudest does not reach 0; the way back stops at the top.
      {200, false, {184, 168, 152, 136, 120, 104, 88, 72, 56, 40, 32, 24, 16, 8}, 200},
      {144, true, {128, 112, 96, 80, 64, 48, 32, 24, 16, 8, 0, 0, 0, 0}, 144},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "from " << c.before << (c.timed ? ", timed" : ""));
    restart_host(settings());
    if (c.timed) std::ofstream("miner").put('\n');
    testing::internal::CaptureStderr();  // the zone's pictures are missing here
    ASSERT_EQ(pellax_start(), 0);
    frame();
    press(b::kB);  // the title: any button
    ASSERT_EQ(game_state, kStateLevelSelect);
    audio_standin_set_volume(c.before);
    std::vector<int32_t> volumes;
    if (c.timed) {
      // While the play-mode choice is open the zone has not started: nothing fades.
      EXPECT_EQ(press(b::kB), (std::vector<int32_t>{c.before, c.before}));
      ASSERT_EQ(game_mode, 1);
      EXPECT_EQ(press(b::kDown), (std::vector<int32_t>{c.before, c.before}));
      volumes = press(b::kB);
      EXPECT_EQ(game_mode, 2);
      // The frame that takes the choice starts the zone and ends there: the fade follows.
      EXPECT_EQ(volumes.front(), c.before);
      volumes.erase(volumes.begin());
    } else {
      volumes = press(b::kB);  // VESTA
    }
    while (volumes.size() < 14) volumes.push_back(frame().back());
    EXPECT_EQ(volumes, c.fade);
    // The zone is set up and the get-ready state begins at the same volume.
    while (game_state == kStateLevelSelect && volumes.size() < 60) volumes.push_back(frame().back());
    ASSERT_EQ(game_state, kStateGetReady);
    while (get_ready_timer < 14) EXPECT_EQ(frame().back(), c.fade.back()) << get_ready_timer;
    EXPECT_EQ(frame().back(), c.restored) << "the 15th get-ready frame";
    while (game_state == kStateGetReady) frame();
    EXPECT_EQ(audio_master_volume(), c.restored);
    testing::internal::GetCapturedStderr();
    std::remove("miner");
  }
}

}  // namespace
