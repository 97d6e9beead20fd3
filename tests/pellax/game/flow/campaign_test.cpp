// VESTA played through the real frame loop on a headless host with our generated pictures:
// a driver aims the ship at the wave's enemies and fires real shots until the first wave is
// won, then lets the ship be rammed until the run ends, enters initials and saves the table.
// Every frame keeps the pools whole, the floats finite and the drawing inside the canvas;
// two runs from the same timer start are identical frame by frame and in "pellax.dat".
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_input.h"
#include "host/host_runtime.h"
#include "host/host_settings.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/platform/input.h"
#include "pellax/platform/timer.h"
#include "pellax/platform/video.h"
#include "tests/pellax/game/game_fixture.h"
#include "tests/pellax/game/play_invariants.h"
#include "tests/support/temp_dir.h"

namespace {

namespace b = gp2x::buttons;

std::string read_file(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The nearest live, arrived, shootable enemy.
game_object* target() {
  game_object* best = nullptr;
  int64_t best_d = INT64_MAX;
  walk_objects([&](uint16_t i) {
    game_object& o = object_at(i);
    if (!(o.flags & kObjActive) || (o.flags & (kObjWarping | kObjBarrier))) return;
    const int64_t dx = int64_t(o.x) - player_object->x, dy = int64_t(o.y) - player_object->y;
    if (dx * dx + dy * dy < best_d) {
      best_d = dx * dx + dy * dy;
      best = &o;
    }
  });
  return best;
}

struct run_result {
  uint64_t hash = 1469598103934665603ull;
  int32_t level_after_first_wave = -1;
  int32_t first_wave_frames = 0;
  int32_t score = 0;
  std::string dat;
  std::string levels;
};

class CampaignTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(std::system((std::string(PELLAX_DATA_MAKER) + " " + folder_ + " > /dev/null").c_str()), 0);
    ASSERT_EQ(chdir(folder_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_), 0);
  }
  static uint64_t now_ms() { return gp2x::host::now_ns() / 1000000; }
  static void hold(uint32_t buttons) { gp2x::host::runtime().input.set_script({{now_ms(), buttons}}); }

  // frame_ms 0: the frame loop's own pacing (30 ms frames); otherwise steps of that length
  // without the loop's pacing.
  run_result play(int frame_ms = 0) {
    run_result r;
    std::remove("pellax.dat");
    {
      // A short table, so that the run's score enters it.
      const unsigned char table[] = {2, 0, 0, 0, 'K', 'W', 'O', 0, 0x10, 0x27, 0, 0, 'T', 'A', 'M', 0, 100, 0, 0, 0};
      std::ofstream("pellax.dat", std::ios::binary).write(reinterpret_cast<const char*>(table), sizeof table);
    }
    gp2x::host::Settings s;
    s.timer_start = 0x2468;
    gp2x::host::configure(s);
    reset_frame_loop_state();
    audio_events().clear();
    clipped_draws = 0;
    EXPECT_EQ(pellax_start(), 0);
    auto mix = [&r](uint64_t v) { r.hash = (r.hash ^ v) * 1099511628211ull; };
    int32_t last_level = -1;
    auto frame = [&]() {
      if (frame_ms == 0) {
        if (!pellax_frame()) return false;
      } else {
        sleep_us(uint32_t(frame_ms) * 1000);
        ++frame_counter;
        game_step(read_buttons());
        if (quit_requested) return false;
        draw_frame();
      }
      check_invariants();
      mix(uint64_t(game_state));
      mix(uint64_t(level_number));
      mix(uint64_t(game_score));
      mix(uint64_t(uint32_t(player_object->x)) ^ uint64_t(uint32_t(player_object->y)) << 32);
      for (int k = 0; k < 30; ++k) mix(uint64_t(uint32_t(kind_alive[k])));
      const uint8_t* fb = gp2x::host::framebuffer(gp2x::host::shown_framebuffer());
      for (int k = 0; k < 320 * 240 * 2; k += 61) mix(fb[k]);
      if (game_state == kStatePlaying && level_number != last_level) {
        last_level = level_number;
        r.levels += std::to_string(level_number) + " ";
      }
      return true;
    };
    auto press = [&](uint32_t buttons) {
      hold(buttons);
      frame();
      hold(0);
      frame();
    };
    frame();
    press(b::kB);  // title
    press(b::kB);  // VESTA
    for (int i = 0; i < 600 && game_state != kStatePlaying; ++i) frame();
    EXPECT_EQ(game_state, kStatePlaying);
    if (HasFatalFailure()) return r;
    // The driver: aim at the nearest enemy, thrust a little when far, fire all the time.
    hold(b::kR);
    int n = 0;
    for (; n < 6000 && level_number == 0 && game_state == kStatePlaying; ++n) {
      lives = 5;
      if (game_object* t = target()) {
        const float dx = float(t->x - player_object->x), dy = float(t->y - player_object->y);
        player_object->angle = std::atan2(dy, dx) + 1.5708f;
        hold(std::sqrt(dx * dx + dy * dy) > 160.0f * 256.0f ? (b::kR | b::kUp) : b::kR);
      } else {
        hold(b::kR);
      }
      frame();
      if (HasFatalFailure()) return r;
    }
    r.first_wave_frames = n;
    r.level_after_first_wave = level_number;
    // The next wave, then the run ends: the ship flies into what comes until it is lost.
    hold(0);
    for (int i = 0; i < 600 && game_state != kStatePlaying; ++i) frame();
    for (int i = 0; i < 8000 && game_state == kStatePlaying; ++i) {
      lives = 0;
      if (game_object* t = target()) {
        player_object->x = t->x;
        player_object->y = t->y;
      }
      frame();
      if (HasFatalFailure()) return r;
    }
    EXPECT_EQ(game_state, kStateEndOfRun);
    r.score = game_score;
    for (int i = 0; i < 600 && game_state != kStateHighScores; ++i) frame();
    EXPECT_EQ(game_state, kStateHighScores);
    EXPECT_EQ(new_score_slot, 1);
    // Initials: down once on the first letter ("B"), right, down twice ("C"), then a button.
    hold(b::kDown);
    for (int i = 0; i < 8; ++i) frame();
    hold(b::kRight);
    for (int i = 0; i < 8; ++i) frame();
    hold(b::kDown);
    for (int i = 0; i < 16; ++i) frame();
    hold(0);
    frame();
    press(b::kA);
    EXPECT_EQ(game_state, kStateTitle);
    r.dat = read_file("pellax.dat");
    game_shutdown();
    video_close();
    return r;
  }
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

TEST_F(CampaignTest, TheFirstWaveIsWonThenTheRunEndsWithItsScoreSaved) {
  const run_result one = play();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(one.level_after_first_wave, 1) << "level 0 not won in " << one.first_wave_frames << " frames";
  EXPECT_EQ(one.levels, "0 1 ");
  EXPECT_GE(one.score, 12 * 100);
  // The table: KWO 10000, the run's score as "BCA", TAM 100; nothing else, no duplicate.
  std::string want("\x03\x00\x00\x00KWO\x00\x10\x27\x00\x00", 12);
  want += std::string("BCA\0", 4);
  for (int k = 0; k < 4; ++k) want += char(uint32_t(one.score) >> (8 * k));
  want += std::string("TAM\0\x64\0\0\0", 8);
  EXPECT_EQ(one.dat, want);

  const run_result two = play();
  EXPECT_EQ(one.hash, two.hash);
  EXPECT_EQ(one.dat, two.dat);
}

// The same route with shorter and longer frames: the per-update rates change, the wave is
// still won and the run still ends with its score entered.
TEST_F(CampaignTest, TheFirstWaveIsWonWithShortAndLongFrames) {
  for (int ms : {16, 50}) {
    SCOPED_TRACE(ms);
    const run_result r = play(ms);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(r.level_after_first_wave, 1) << "level 0 not won in " << r.first_wave_frames << " frames";
    EXPECT_EQ(r.dat.substr(12, 3), "BCA");
  }
}

}  // namespace
