// The game started on a fresh headless host layer with a virtual clock, in a temporary
// data folder; the host's button script is keyed by virtual time from the start.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/gp2x_host.h"
#include "host/host_input.h"
#include "host/host_runtime.h"
#include "host/host_settings.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/platform/video.h"
#include "tests/support/pellax_audio_double.h"
#include "tests/support/temp_dir.h"

class FrameLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    restart_host(settings());
  }
  void TearDown() override {
    game_shutdown();
    video_close();
    ASSERT_EQ(chdir(previous_), 0);
  }
  static gp2x::host::Settings settings() {
    gp2x::host::Settings s;
    s.timer_start = 0x1234;
    return s;
  }
  // A fresh host layer and fresh game globals (as a new process would have).
  void restart_host(const gp2x::host::Settings& s) {
    game_shutdown();
    video_close();
    gp2x::host::configure(s);
    reset_frame_loop_state();
    audio_standin_reset();
  }
  // Buttons from each time (ms of virtual time) on.
  static void script(std::vector<gp2x::host::ScriptEvent> events) {
    gp2x::host::runtime().input.set_script(std::move(events));
  }
  // The names of the audio calls recorded, in order.
  static std::vector<std::string> audio_names() { return audio_event_names(); }
  // Opens the hardware and sets the game up without the start-up's waits.
  void open_game() {
    ASSERT_EQ(video_open(), 0);
    ASSERT_EQ(game_init(), 0);
  }

  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};
