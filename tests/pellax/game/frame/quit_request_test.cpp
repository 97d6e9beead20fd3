// The system's request to quit (SIGTERM, SIGINT, the PC's window closed) ends the frame
// loop at the next frame, from the game or its pause screen, keeping the zone's unlocks
// and a score that made the table, and the program leaves through its shutdown and the
// hand-over to the menu.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "tests/pellax/game/frame_fixture.h"
#include "host/gp2x_buttons.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/platform/input.h"

namespace {

namespace b = gp2x::buttons;

class QuitRequestTest : public FrameLoopTest {
 protected:
  void SetUp() override {
    FrameLoopTest::SetUp();
    gp2x::host::Settings s = settings();
    s.quit_guard_ms = 0;  // the test process goes on after the request
    restart_host(s);
  }
};

TEST_F(QuitRequestTest, TheNextFrameIsTheLast) {
  ASSERT_EQ(pellax_start(), 0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pellax_frame());
  std::raise(SIGTERM);
  const int32_t frames = frame_counter;
  EXPECT_FALSE(pellax_frame());
  EXPECT_EQ(quit_requested, 1);
  EXPECT_EQ(frame_counter, frames + 1);
}

TEST_F(QuitRequestTest, ThePauseScreenLetsItThrough) {
  ASSERT_EQ(pellax_start(), 0);
  game_state = kStatePlaying;
  // Start held at the end of this frame opens the pause screen in the next; Start would
  // leave it only much later.
  const uint64_t now_ms = gp2x::host::now_ns() / 1000000;
  script({{now_ms, b::kStart}, {now_ms + 60, 0}, {now_ms + 5000, b::kStart}, {now_ms + 5100, 0}});
  ASSERT_TRUE(pellax_frame());
  std::raise(SIGINT);
  EXPECT_FALSE(pellax_frame());
  EXPECT_EQ(quit_requested, 1);
  EXPECT_EQ(game_paused, 0);
  EXPECT_LT(gp2x::host::now_ns() / 1000000, now_ms + 200) << "the pause screen's first frame took it";
}

TEST_F(QuitRequestTest, WhatTheGameKeepsIsKept) {
  struct Case {
    const char* what;
    int32_t state;
    bool pending_score;
    bool markers, scores;  // files written
  };
  const Case cases[] = {
      {"a score that made the table", kStateEndOfRun, true, false, true},
      {"the zone's unlocks and the score", kStateZoneComplete, true, true, true},
      {"the zone's unlocks", kStateZoneComplete, false, true, false},
      {"nothing", kStatePlaying, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove("pellax.dat");
    std::remove("spangels");
    gp2x::host::Settings s = settings();
    s.quit_guard_ms = 0;
    restart_host(s);
    ASSERT_EQ(pellax_start(), 0);
    ASSERT_TRUE(pellax_frame());
    game_state = c.state;
    level_number = 5;  // VESTA's last level: its marker is "spangels"
    new_score_slot = c.pending_score ? insert_high_score("AAA", 999999) : -1;
    std::raise(SIGTERM);
    EXPECT_FALSE(pellax_frame());
    EXPECT_EQ(access("spangels", F_OK) == 0, c.markers);
    EXPECT_EQ(access("pellax.dat", F_OK) == 0, c.scores);
    game_shutdown();
    video_close();
  }
}

TEST_F(QuitRequestTest, ARequestDuringStartUpLeavesThroughTheShutdownAndTheHandOver) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        audio_standin_echo(true);
        std::raise(SIGTERM);  // during the start-up: the first frame takes it
        pellax_main();
      },
      ::testing::ExitedWithCode(0),
      "gp2x host: SIGTERM: the program is asked to quit\n(.*\n)*audio: audio_shutdown.*\n"
      "gp2x host: program hands over to \"/usr/gp2x/gp2xmenu\"");
}

}  // namespace
