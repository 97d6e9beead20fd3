// The level flow and the screens in the real frame loop on a headless host: the title, the
// level select with its unlocks, the start of a zone, wave ends, the zone-complete screen
// with its marker files, the end of a run with the score file, and the HUD's gauges.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_input.h"
#include "host/host_runtime.h"
#include "host/host_settings.h"
#include "pellax/base/canvas.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/video.h"
#include "tests/pellax/game/game_fixture.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"

namespace {

namespace b = gp2x::buttons;

int count_of_kind(int kind) {
  int n = 0;
  for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next)
    n += object_at(i).kind == kind;
  return n;
}

bool exists(const char* name) { return std::ifstream(name).good(); }

std::string read_file(const char* name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    gp2x::host::Settings s;
    s.timer_start = 0x1234;
    s.exec_program = folder_ + "/no-such-program";
    gp2x::host::configure(s);
    reset_frame_loop_state();
    audio_events().clear();
    testing::internal::CaptureStderr();  // the missing pictures are reported
    ASSERT_EQ(pellax_start(), 0);
    // The first step after start-up has no time yet and runs no state.
    pellax_frame();
    ASSERT_EQ(tick_step, 0);
  }
  void TearDown() override {
    testing::internal::GetCapturedStderr();
    game_shutdown();
    video_close();
    ASSERT_EQ(chdir(previous_), 0);
  }
  static uint64_t now_ms() { return gp2x::host::now_ns() / 1000000; }
  // Holds buttons from now on.
  static void hold(uint32_t buttons) { gp2x::host::runtime().input.set_script({{now_ms(), buttons}}); }
  static bool frames(int n) {
    for (int i = 0; i < n; ++i)
      if (!pellax_frame()) return false;
    return true;
  }
  // A press: held for one frame, then let go for one.
  static void press(uint32_t buttons) {
    hold(buttons);
    frames(1);
    hold(0);
    frames(1);
  }
  // From the title into VESTA's first level being played.
  void into_play() {
    press(b::kB);  // title: any button
    ASSERT_EQ(game_state, kStateLevelSelect);
    press(b::kB);  // VESTA
    for (int i = 0; i < 40 && game_state == kStateLevelSelect; ++i) frames(1);
    ASSERT_EQ(game_state, kStateGetReady);
    for (int i = 0; i < 60 && game_state == kStateGetReady; ++i) frames(1);
    ASSERT_EQ(game_state, kStatePlaying);
  }
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

TEST_F(FlowTest, TitleToLevelSelectToTheFirstWave) {
  EXPECT_EQ(game_state, kStateTitle);
  frames(1);
  EXPECT_EQ(audio_event_count("music_load"), 2);  // the title track again on the first title frame
  hold(b::kB);
  frames(1);
  EXPECT_EQ(transition_step, 3);
  hold(0);
  frames(1);
  EXPECT_EQ(game_state, kStateLevelSelect);
  press(b::kB);
  EXPECT_EQ(transition_step, 2);
  int n = 0;
  while (game_state == kStateLevelSelect && n < 40) {
    frames(1);
    ++n;
  }
  // The B frame ran the first fade step and the release frame the second: the get-ready
  // state comes with the 24th step.
  EXPECT_EQ(n, 22);
  EXPECT_EQ(level_number, 0);
  EXPECT_EQ(difficulty_level, 2);
  EXPECT_EQ(time_left, 165);
  EXPECT_FLOAT_EQ(game_speed, 1.6f);
  EXPECT_STREQ(message.text, "GET READY");
  bool level1 = false;
  for (const audio_event& e : audio_events()) level1 |= e.name == "music_load" && e.path == "level1.ogg";
  EXPECT_TRUE(level1);
  for (int i = 0; i < 60 && game_state == kStateGetReady; ++i) frames(1);
  EXPECT_EQ(game_state, kStatePlaying);
  EXPECT_EQ(player_object->flags, kObjDrawn);
  // The director brings the first rocks in.
  frames(60);
  EXPECT_GT(kind_alive[23] + kind_alive[26] + kind_alive[3], 0);
}

TEST_F(FlowTest, LevelSelectUnlocksFromMarkerFiles) {
  struct row {
    std::vector<const char*> files;
    int32_t open[5];
    int32_t ending, perfect;
    int timed_shapes;
  };
  const row rows[] = {{{}, {0, 0, 0, 0, 0}, 0, 0, 0},
                      {{"spangels", "beach"}, {0, 1, 0, 1, 0}, 0, 0, 0},
                      {{"totalled", "wilvatip", "pelmore", "dovrin", "tov", "quab"}, {0, 0, 0, 0, 0}, 1, 1, 5},
                      {{"totalled", "wilvatip", "pelmore", "dovrin", "tov"}, {0, 0, 0, 0, 0}, 1, 0, 4}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.files.size());
    std::system("rm -f spangels oranges beach openfire totalled wilvatip pelmore dovrin tov quab");
    for (const char* f : r.files) std::ofstream(f).put('\n');
    for (int32_t& z : zone_open) z = 0;
    for (int32_t& t : timed_trophy) t = 0;
    ending_open = perfect_ending_open = 0;
    game_state = kStateTitle;
    press(b::kA);
    ASSERT_EQ(game_state, kStateLevelSelect);
    frames(1);
    for (int z = 1; z < 5; ++z) EXPECT_EQ(zone_open[z], r.open[z]) << z;
    EXPECT_EQ(ending_open, r.ending);
    EXPECT_EQ(perfect_ending_open, r.perfect);
    EXPECT_EQ(count_of_kind(112), r.timed_shapes);
  }
}

// A FIFO or a folder where the level select and the zone's set-up look for a marker, a
// trophy or the custom music counts as no file, is named once, and holds nothing up: a
// FIFO's open would wait for a writer for ever.
TEST_F(FlowTest, AFifoOrFolderOfADataFilesNameIsNoFileAndWaitsForNothing) {
  const struct Case {
    const char* what;
    bool fifo;
    const char* says;
  } cases[] = {
      {"FIFOs", true, "Not a regular file (a FIFO, a device or a socket): not used\n"},
      {"folders", false, "Is a directory: not used\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::system("rm -rf spangels miner custommusic");
    ASSERT_EQ(mkdir("custommusic", 0755), 0);
    std::vector<std::unique_ptr<FifoGuard>> fifos;
    for (const char* name : {"spangels", "miner", "custommusic/1.ogg"}) {
      if (c.fifo)
        fifos.push_back(std::make_unique<FifoGuard>(name));
      else
        ASSERT_EQ(mkdir(name, 0755), 0);
    }
    testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    for (int32_t& z : zone_open) z = 0;
    game_state = kStateTitle;
    press(b::kA);
    ASSERT_EQ(game_state, kStateLevelSelect);
    frames(3);
    EXPECT_EQ(zone_open[1], 0);
    EXPECT_EQ(zone_trophy[0], 0);
    audio_events().clear();
    press(b::kB);  // VESTA, which plays the custom music when "custommusic/1.ogg" is a file
    for (int i = 0; i < 40 && game_state == kStateLevelSelect; ++i) frames(1);
    ASSERT_EQ(game_state, kStateGetReady);
    EXPECT_EQ(custom_music, 0);
    std::string track;
    for (const audio_event& e : audio_events())
      if (e.name == "music_load") track = e.path;
    EXPECT_EQ(track, "level1.ogg");
    for (const auto& f : fifos) EXPECT_FALSE(f->Rescued()) << "the game waited on a FIFO";
    const std::string said = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    for (const char* name : {"spangels", "miner", "custommusic/1.ogg"})
      EXPECT_EQ(said.find(std::string("pellax: ") + name + ": " + c.says),
                said.rfind(std::string("pellax: ") + name + ": " + c.says))
          << name << " is named once: " << said;
    EXPECT_NE(said.find(std::string("pellax: custommusic/1.ogg: ") + c.says), std::string::npos) << said;
  }
}

// One level-select frame reveals 4 x 768 pixels of the open or the locked picture of slot 5
// into the world, counting down from reveal_index; the bands of each 768 steps belong to
// zones 4, 3, 2 and 1 (locked picture while closed), the rest to the open picture.
TEST_F(FlowTest, ThePictureRevealTakesEachBandFromItsZonesPicture) {
  press(b::kB);
  ASSERT_EQ(game_state, kStateLevelSelect);
  uint16_t* slot = image_slot(5);
  for (int32_t j = 0; j < kCanvasPixels; ++j) slot[j] = uint16_t(j % 65521 + 1);
  slot[100000] = 0;  // a source pixel of 0 is skipped
  std::fill(world_image, world_image + kCanvasPixels, uint16_t(0));
  const int32_t open[5] = {1, 1, 0, 1, 0};  // zones 2 and 4 locked
  for (int z = 0; z < 5; ++z) zone_open[z] = open[z];
  const int32_t start = 103000;
  reveal_index = start;
  frames(1);  // the step reveals before the frame's drawing looks at the marker files
  EXPECT_EQ(reveal_index, start - 4 * 768);
  // Column k of each pass of 768 reads pixel i = start - (768 x pass + k). Columns 1-69,
  // 71-129, 131-189 and 191-249 show zones 4, 3, 2 and 1 (a locked zone's picture sits 581
  // rows lower), the columns between them and below 256 are left alone, the rest show the
  // open picture.
  enum source { kNone, kOpen, kLocked };
  struct column {
    int32_t pass, k;
    source from;
  };
  const column columns[] = {
      {0, 0, kNone},     {0, 1, kLocked},   {0, 69, kLocked},  {0, 70, kNone},    {0, 71, kOpen},
      {0, 129, kOpen},   {0, 130, kNone},   {0, 131, kLocked}, {0, 189, kLocked}, {0, 190, kNone},
      {0, 191, kOpen},   {0, 249, kOpen},   {0, 250, kNone},   {0, 255, kNone},   {0, 256, kOpen},
      {1, 767, kOpen},   {2, 35, kLocked},  {3, 100, kOpen},
      {3, 696, kNone},  // i = 100000, whose source pixel is 0
  };
  auto shown = [](uint16_t v) { return uint16_t((v & 0xFFC0) | ((v >> 1) & 0x1F)); };
  for (const column& c : columns) {
    const int32_t i = start - (768 * c.pass + c.k);
    const uint16_t want = c.from == kNone ? 0 : shown(slot[c.from == kOpen ? i : 581 * 768 + i]);
    EXPECT_EQ(world_image[284 * 768 + i], want) << "pass " << c.pass << " column " << c.k;
  }
}

TEST_F(FlowTest, TheZoneCursorMovesOnlyToOpenEntries) {
  press(b::kB);
  ASSERT_EQ(game_state, kStateLevelSelect);
  struct step {
    uint32_t stick;
    int32_t zone;
  };
  const step steps[] = {{b::kRight, 1}, {b::kRight, 2}, {b::kLeft, 1}, {b::kUp, 0}, {b::kDown, 4}, {b::kRight, 0}};
  for (const step& s : steps) {
    press(s.stick);
    EXPECT_EQ(selected_zone, s.zone);
  }
  // A locked zone does nothing on B.
  press(b::kLeft);
  EXPECT_EQ(selected_zone, 4);
  press(b::kB);
  EXPECT_EQ(transition_step, 0);
}

TEST_F(FlowTest, ATrophyOpensTheModeChoiceForATimedRun) {
  std::ofstream("miner").put('\n');
  press(b::kB);
  ASSERT_EQ(zone_trophy[0], 1);
  press(b::kB);
  EXPECT_EQ(game_mode, 1);
  press(b::kDown);
  EXPECT_EQ(mode_cursor, 1);
  EXPECT_EQ(selected_zone, 0);  // up and down choose the mode here
  press(b::kB);
  EXPECT_EQ(game_mode, 2);
  for (int i = 0; i < 40 && game_state == kStateLevelSelect; ++i) frames(1);
  EXPECT_EQ(game_state, kStateGetReady);
}

// Each zone's set-up: its first level, time and music, and its pictures, loaded unless the
// slots hold the zone's set already (ARES and HADES always load).
TEST_F(FlowTest, ZoneSetUpsLoadTheirPicturesOnlyWhenTheSlotsHoldAnotherZones) {
  const char* const pictures[] = {"onespace.lvl", "skulltease.lvl", "station.lvl",  "smallblock.lvl",
                                  "bluewalls.lvl", "quilt.lvl",     "green5.lvl",   "dark5.lvl",
                                  "streak5.lvl",  "planetfinal.lvl", "prisonwalls.lvl", "sixlost.lvl",
                                  "thegauntlet.lvl", "skullboss.lvl"};
  // Each picture one colour: its number in the list above, plus one.
  for (uint16_t i = 0; i < 14; ++i) {
    const std::vector<uint16_t> pixels(kCanvasPixels, uint16_t(i + 1));
    std::ofstream(pictures[i], std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size() * 2));
  }
  auto start = [&](int32_t zone) {
    game_state = kStateLevelSelect;
    transition_step = transition_active = game_mode = 0;
    selected_zone = zone;
    zone_trophy[zone] = 0;
    for (int32_t& z : zone_open) z = 1;
    audio_events().clear();
    press(b::kB);
    for (int i = 0; i < 40 && game_state == kStateLevelSelect; ++i) frames(1);
    ASSERT_EQ(game_state, kStateGetReady);
  };
  auto track = [] {
    std::string t;
    for (const audio_event& e : audio_events())
      if (e.name == "music_load") t = e.path;
    return t;
  };
  struct row {
    int32_t zone, first_level, time;
    const char* music;
    uint16_t slots[6];  // the colour each slot holds after the set-up (0: not looked at)
  };
  const uint16_t kept = 0xBEEF;  // written into the slots after each set-up
  const row rows[] = {
      {2, 11, 340, "level3.ogg", {3, 4, 5, 6, 0, 0}},
      {2, 11, 340, "level3.ogg", {kept, kept, kept, kept, 0, 0}},  // the slots hold KRONOS
      {4, 26, 950, "level5.ogg", {3, 7, 8, 9, 0, 10}},
      {2, 11, 340, "level3.ogg", {3, 4, 5, 6, 0, 0}},              // HADES replaced them
      {1, 5, 280, "level2.ogg", {2, 0, 0, 0, 0, 0}},
      {1, 5, 280, "level2.ogg", {2, 0, 0, 0, 0, 0}},               // ARES always loads
      {0, 0, 165, "level1.ogg", {1, 0, 0, 0, 0, 0}},
      {0, 0, 165, "level1.ogg", {kept, 0, 0, 0, 0, 0}},
      {4, 26, 950, "level5.ogg", {3, 7, 8, 9, 0, 10}},
      {4, 26, 950, "level5.ogg", {3, 7, 8, 9, 0, 10}},             // HADES always loads
      {3, 18, 450, "level4.ogg", {11, 12, 13, 14, 0, 0}},
      {3, 18, 450, "level4.ogg", {kept, kept, kept, kept, 0, 0}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.zone);
    start(r.zone);
    if (HasFatalFailure()) return;
    EXPECT_EQ(level_number, r.first_level);
    EXPECT_EQ(zone_first_level, r.first_level);
    EXPECT_EQ(time_left, r.time);
    EXPECT_EQ(track(), r.music);
    for (int32_t s = 1; s <= 6; ++s) {
      if (r.slots[s - 1] != 0) {
        EXPECT_EQ(image_slot(s)[12345], r.slots[s - 1]) << "slot " << s;
      }
      image_slot(s)[12345] = kept;
    }
  }
}

TEST_F(FlowTest, WaveEndsShowTheirPopupsAndKeepOrClearEnemies) {
  into_play();
  struct row {
    int32_t level;
    const char* line2;
    const char* name;
    bool clears;
  };
  const row rows[] = {{0, "NEXT UP", "- SIMPLE -", false},  {3, "BOSS LEVEL", "- SHEEPIE! -", false},
                      {9, "BOSS LEVEL", "- MEOW -", true},   {12, "NEXT UP", "- THE STATION -", true},
                      {33, "FINAL LEVEL", "- SKULLS -", true}, {1, "NEXT UP", "- SHIELD UP! -", false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    level_number = r.level;
    zone_first_level = 0;
    game_state = kStatePlaying;
    clear_enemies();
    spawn_kind(3, 300 * 256, 300 * 256);
    wave_end();
    EXPECT_STREQ(popup_lines[1].text, r.line2);
    EXPECT_STREQ(popup_lines[2].text, r.name);
    EXPECT_EQ(level_number, r.level + 1);
    EXPECT_EQ(game_state, kStateWavePopups);
    EXPECT_EQ(kind_alive[3] == 0 && count_of_kind(3) == 0, r.clears);
  }
  EXPECT_STREQ(wave_name(4), "");
  EXPECT_STREQ(wave_name(34), "");
  EXPECT_STREQ(wave_name(-1), "");
  char line[32];
  std::snprintf(line, sizeof line, "WAVE %d COMPLETE", 2);
  EXPECT_STREQ(popup_lines[0].text, line);
}

// The wave end of every level inside a zone: the popup's second line and what it clears.
TEST_F(FlowTest, WaveEndsOfEveryLevel) {
  into_play();
  const std::set<int32_t> all = {9, 12, 13, 14, 15, 16, 19, 20, 21, 22, 23, 24, 26, 27, 28, 30, 31, 32, 33};
  for (int32_t l = 0; l < 34; ++l) {
    if (l == 4 || l == 10 || l == 17 || l == 25) continue;  // zone ends
    SCOPED_TRACE(l);
    level_number = l;
    zone_first_level = 0;
    game_state = kStatePlaying;
    player_dead = 0;
    clear_enemies();
    clear_particles();
    clear_object_shots();
    spawn_kind(3, 300 * 256, 300 * 256);
    fire_player_shot();
    alloc_particle();
    wave_end();
    const char* line2 = l == 3 || l == 9 || l == 16 || l == 24 ? "BOSS LEVEL" : l == 33 ? "FINAL LEVEL" : "NEXT UP";
    EXPECT_STREQ(popup_lines[1].text, line2);
    EXPECT_STREQ(popup_lines[2].text, wave_name(l));
    EXPECT_EQ(count_of_kind(3) == 0, all.count(l) == 1 || l == 11);
    EXPECT_EQ(count_of_kind(2) == 0, all.count(l) == 1);
    EXPECT_EQ(object_pool->heads[kParticleUsed] == kNoRecord, all.count(l) == 1);
    EXPECT_EQ(game_state, kStateWavePopups);
  }
}

TEST_F(FlowTest, TheWavePopupsReturnToPlayWithTheNextLevel) {
  into_play();
  level_cleared = 1;
  frames(1);
  EXPECT_EQ(game_state, kStateWavePopups);
  EXPECT_EQ(level_number, 1);
  EXPECT_FLOAT_EQ(game_speed, 0.8f * (2.0f + 1.0f / 12.0f));
  int n = 0;
  while (game_state == kStateWavePopups && n < 200) {
    frames(1);
    ++n;
  }
  EXPECT_EQ(game_state, kStatePlaying);
  EXPECT_EQ(screen_phase, 8);
  EXPECT_GT(n, 25);
}

// The zone end, then B on the zone-complete screen: markers, the score and the way home.
TEST_F(FlowTest, ZoneCompleteWritesMarkersAndTheScoreOnce) {
  into_play();
  game_score = 45000;
  zone_trophy[0] = 1;
  level_number = 4;
  level_cleared = 1;
  frames(1);
  ASSERT_EQ(game_state, kStateZoneComplete);
  EXPECT_EQ(lives, 0);
  EXPECT_EQ(new_score_slot, 2);
  EXPECT_EQ(audio_events().back().name, "music_on");
  for (int i = 0; i < 35; ++i) frames(1);
  EXPECT_EQ(bonus_points, 3000);
  press(b::kB);
  EXPECT_TRUE(exists("spangels"));
  EXPECT_TRUE(exists("miner"));
  EXPECT_FALSE(exists("pelmore"));
  for (int i = 0; i < 10 && game_state != kStateHighScores; ++i) frames(1);
  ASSERT_EQ(game_state, kStateHighScores);
  press(b::kA);
  EXPECT_EQ(game_state, kStateTitle);
  const std::string dat = read_file("pellax.dat");
  ASSERT_EQ(dat.size(), 52u);
  EXPECT_EQ(dat.substr(20, 3), "AAA");
  EXPECT_EQ(uint8_t(dat[24]) | uint8_t(dat[25]) << 8, 45000);
  int aaa = 0;
  for (size_t i = 4; i < dat.size(); i += 8) aaa += dat.substr(i, 3) == "AAA";
  EXPECT_EQ(aaa, 1);
  // The next level select shows ARES open.
  press(b::kB);
  frames(1);
  EXPECT_EQ(zone_open[1], 1);
}

// Fire held as the zone ends: after the zone-complete screen the run is over and the hidden
// ship neither moves nor fires on the score screens.
TEST_F(FlowTest, AfterTheZoneTheHiddenShipStaysStill) {
  into_play();
  hold(b::kR | b::kUp);
  frames(3);
  level_number = 4;
  level_cleared = 1;
  frames(1);
  ASSERT_EQ(game_state, kStateZoneComplete);
  hold(0);
  frames(40);
  const int32_t x = player_object->x, y = player_object->y;
  audio_events().clear();
  press(b::kB);
  for (int i = 0; i < 60 && game_state != kStateTitle; ++i) {
    frames(1);
    EXPECT_EQ(count_of_kind(2), 0);
  }
  EXPECT_EQ(game_state, kStateHighScores);
  EXPECT_EQ(audio_event_count("sfx_play", 1), 0);
  EXPECT_EQ(player_object->x, x);
  EXPECT_EQ(player_object->y, y);
}

TEST_F(FlowTest, AGameOverInTheZoneEndFrameKeepsTheZoneAndEntersOnce) {
  into_play();
  game_score = 45000;
  level_number = 4;
  level_cleared = 1;
  lives = 0;
  spawn_kind(3, player_object->x, player_object->y);
  object_at(object_pool->heads[kObjectUsed]).flags &= ~kObjWarping;
  object_at(object_pool->heads[kObjectUsed]).scale = 0;
  frames(1);
  EXPECT_EQ(game_state, kStateZoneComplete);
  int aaa = 0;
  for (int i = 0; i < high_score_table.count; ++i) aaa += std::string(high_score_table.initials[i]) == "AAA";
  EXPECT_EQ(aaa, 1);
}

TEST_F(FlowTest, LeavingTheZoneCompleteScreenWithXKeepsTheUnlocksAndScore) {
  into_play();
  game_score = 45000;
  level_number = 10;
  level_cleared = 1;
  frames(1);
  ASSERT_EQ(game_state, kStateZoneComplete);
  hold(b::kX);
  EXPECT_FALSE(frames(1));
  EXPECT_TRUE(exists("oranges"));
  EXPECT_EQ(read_file("pellax.dat").size(), 52u);
}

TEST_F(FlowTest, TheLivesCheatWaitsForItsButtonsWithoutBlocking) {
  into_play();
  const int32_t frame0 = frame_counter;
  hold(b::kA | b::kL);
  frames(5);
  EXPECT_EQ(lives, 9);
  EXPECT_EQ(lives_cheat_used, 1);
  EXPECT_EQ(frame_counter, frame0 + 5);  // frames went on while the buttons were held
  EXPECT_EQ(cheat_wait, 1);
  hold(0);
  frames(2);
  EXPECT_EQ(cheat_wait, 0);
  EXPECT_EQ(lives, 9);
}

TEST_F(FlowTest, TheTimedRunEndsOutOfTimeAndPausingStopsTheClock) {
  into_play();
  game_mode = 2;
  time_left = 2;
  time_frames = 0;
  game_paused = 1;
  for (int i = 0; i < 50; ++i) draw_hud(video_play_surface());
  EXPECT_EQ(time_left, 2);
  game_paused = 0;
  frames(21);
  EXPECT_EQ(time_left, 1);
  frames(21);
  EXPECT_EQ(game_state, kStateEndOfRun);
  EXPECT_STREQ(message.text, "OUT OF TIME");
  EXPECT_EQ(time_left, -1);
  EXPECT_EQ(lives, 0);
}

TEST_F(FlowTest, AnEndingThatCannotStartLeavesTheGameTheNormalWay) {
  std::ofstream("totalled").put('\n');
  press(b::kB);
  press(b::kRight);
  press(b::kRight);
  press(b::kRight);
  press(b::kRight);
  press(b::kRight);
  ASSERT_EQ(selected_zone, 5);
  hold(b::kB);
  bool running = true;
  for (int i = 0; i < 40 && running; ++i) running = frames(1);
  EXPECT_FALSE(running);
  EXPECT_EQ(ending_devices_closed, 1);
  EXPECT_EQ(game_state, kStateLevelSelect);
  EXPECT_EQ(audio_event_count("audio_shutdown"), 1);
  shut_down_for_hand_over();
  EXPECT_EQ(audio_event_count("audio_shutdown"), 1);  // not a second time
  EXPECT_EQ(object_pool, nullptr);
}

// Each screen drawn over a black world with nothing flying equals the texts and outlines
// its state shows, drawn in the test at their places (pixels from the view's corner).
TEST_F(FlowTest, ScreensDrawWhatEachStateShows) {
  camera_home();
  const int32_t cx = px(camera_x), cy = px(camera_y);
  std::vector<uint16_t> want(kCanvasPixels);
  uint16_t* w = want.data();
  auto glow3 = [&](const char* t, int32_t x, int32_t y, uint16_t c = 0xF650) {
    draw_text_glow(w, t, cx + x, cy + y, 0x300, 1, 0x78, c);
  };
  auto glow4 = [&](const char* t, int32_t x, int32_t y) { draw_text_glow(w, t, cx + x, cy + y, 0x400, 2, 0x50, 0xF650); };
  auto rect = [&](int32_t x, int32_t y, int32_t rw, int32_t rh, uint16_t c) { draw_rect_outline(w, cx + x, cy + y, rw, rh, c); };
  auto frame_of = [&](int32_t z) {
    const uint16_t c[4] = {0x8410, 0xFFFF, 0xFFFF, 0x8410};
    for (int32_t k = 0; k < 4; ++k) rect(15 + 60 * z + k, 100 - 20 * z + k, 50 - 2 * k, 100 + 20 * z - 2 * k, c[k]);
  };
  // A HUD text: three shadows (right, down, right and down), then the text, centred on its
  // anchor.
  auto hud = [&](const char* t, int32_t x, int32_t y, std::vector<uint16_t> shadows, uint16_t c) {
    const int32_t left = cx + x - int32_t(std::strlen(t)) * 3 * 640 / 256 / 2;
    draw_text_fx(w, t, left + 1, cy + y, 640, shadows[0]);
    draw_text_fx(w, t, left, cy + y + 1, 640, shadows[1]);
    draw_text_fx(w, t, left + 1, cy + y + 1, 640, shadows[2]);
    draw_text_fx(w, t, left, cy + y, 640, c);
  };
  const std::vector<uint16_t> plain = {0x8200, 0x8200, 0x8200};
  // A growing text centred in the view, moved by shift x its scale (24.8).
  auto centred = [&](const char* t, int32_t scale, int32_t shift, uint16_t c) {
    const int32_t width = int32_t(std::strlen(t)) * 3 * scale, height = 4 * scale;
    const int32_t x = (camera_x - width / 2 + 160 * 256 + 128) >> 8;
    const int32_t y = (camera_y - height / 2 + 120 * 256 + 128 + shift * scale) >> 8;
    draw_text_glow(w, t, x, y, scale, 4, 80, c);
  };
  struct screen {
    const char* name;
    std::function<void()> set_up, expect;
  };
  const auto markers = [](std::vector<const char*> files) {
    std::system("rm -f spangels oranges beach openfire totalled wilvatip");
    for (const char* f : files) std::ofstream(f).put('\n');
  };
  const auto story = [&](std::vector<std::pair<std::pair<int32_t, int32_t>, const char*>> lines, uint16_t colour,
                         const char* heading) {
    for (const auto& l : lines) glow3(l.second, l.first.first, l.first.second, colour);
    draw_text_glow(w, heading, cx + 5, cy + 30, 0x700, 2, 0x50, 0x32D0);
  };
  const screen screens[] = {
      {"title", [] { game_state = kStateTitle; transition_step = 0; },
       [&] {
         draw_text_fx(w, "A VECTOR SHOOTER FOR THE HANDHELD", cx + 20, cy + 20, 0x300, 0x660C);
         draw_text_glow(w, "PELLAX", cx + 23, cy + 80, 0x1000, 6, 0x50, 0x32D0);
         draw_text_fx(w, "V1.0", cx + 11, cy + 224, 0x2BC, 0x8410);
         draw_text_fx(w, "I N S E R T  C O I N", cx + 72, cy + 175, 0x300, 0xFFFF);
       }},
      {"title left", [] { game_state = kStateTitle; transition_step = 3; },
       [&] {
         draw_text_fx(w, "A VECTOR SHOOTER FOR THE HANDHELD", cx + 20, cy + 20, 0x300, 0x660C);
         draw_text_glow(w, "PELLAX", cx + 23, cy + 80, 0x1000, 6, 0x50, 0x32D0);
         draw_text_fx(w, "V1.0", cx + 11, cy + 224, 0x2BC, 0x8410);
       }},
      {"level select, nothing open",
       [&] {
         markers({});
         game_state = kStateLevelSelect;
         transition_step = game_mode = 0;
         selected_zone = 2;
       },
       [&] {
         for (int32_t z = 0; z < 5; ++z) frame_of(z);
         glow3("OPEN", 24, 204);
         for (int32_t z = 1; z < 5; ++z) glow3("LOCKED", 15 + 60 * z, 204);
         rect(136, 61, 48, 138, 0xF821);
         rect(137, 62, 46, 136, 0xF821);
         glow3("SELECT YOUR LEVEL", 10, 7);
         glow3("KRONOS - 6 WAVES", 45, 28);
       }},
      {"level select, both endings and the mode choice",
       [&] {
         markers({"spangels", "totalled", "wilvatip"});
         for (int32_t& t : timed_trophy) t = 1;
         game_state = kStateLevelSelect;
         transition_step = 0;
         game_mode = 1;
         mode_cursor = 0;
         selected_zone = 6;
       },
       [&] {
         glow3("OPEN", 24, 204);
         glow3("OPEN", 84, 204);
         for (int32_t z = 2; z < 5; ++z) glow3("LOCKED", 15 + 60 * z, 204);
         glow3("ONE", 7, 46);
         rect(2, 43, 34, 20, 0xFFFF);
         rect(3, 42, 32, 20, 0x8410);
         glow3("TWO", 46, 46);
         rect(42, 43, 34, 20, 0xFFFF);
         rect(43, 42, 32, 20, 0x8410);
         rect(42, 43, 34, 20, 0xF821);
         rect(43, 42, 32, 20, 0xF021);
         glow3("SELECT YOUR LEVEL", 10, 7);
         glow3("PERFECT ENDING", 45, 28);
         glow3("NORMAL", 134, 110, 0xB800);
         glow3("DOWNTIME", 124, 128, 0x000A);
       }},
      {"level select, loading", [] { game_state = kStateLevelSelect; transition_step = 2; },
       [&] { glow3("LOADING", 128, 114); }},
      {"zone 1 complete", [] { game_state = kStateZoneComplete; level_number = 5; bonus_points = 999; },
       [&] {
         story({{{2, 140}, "   WITH THE DEMON SHEEP EXPLODING   "},
                {{2, 155}, "   INTO A MILLION PIECES, YOU FLY "},
                {{6, 170}, "  ON LOOKING FOR THE SPACE EMPIRE"},
                {{2, 185}, "       BEHIND THIS ABSURDITY..."}},
               0x32D0, "ZONE 1 COMPLETE");
         glow4("999", 128, 75);
         glow4(" BONUS      POINTS", 50, 75);
         glow4("NEXT ZONE UNLOCKED!", 54, 105);
       }},
      {"zone 2 complete", [] { game_state = kStateZoneComplete; level_number = 11; bonus_points = 3000; },
       [&] {
         story({{{2, 140}, " WELL... AT LEAST THE CAT IS DEAD. "},
                {{2, 155}, "    BUT WHAT THE HELL WAS THAT     "},
                {{6, 170}, "       STRANGE DISTANT SKULL     "},
                {{2, 185}, "             ALL ABOUT?             "},
                {{6, 205}, "      TIME TO TAKE ON THE NEXT      "},
                {{2, 220}, "        SECTOR AND FIND OUT!           "}},
               0xF650, "ZONE 2 COMPLETE");
         glow4("3,000", 128, 75);
         glow4(" BONUS      POINTS", 50, 75);
         glow4("NEXT ZONE UNLOCKED!", 54, 105);
       }},
      {"zone 3 complete", [] { game_state = kStateZoneComplete; level_number = 18; bonus_points = 1000; },
       [&] {
         story({{{6, 140}, "  THAT SNAKE IS SMASHED TO PIECES!  "},
                {{2, 155}, "    NO SIGN OF THE SKULL THOUGH.    "},
                {{0, 185}, " TIME TO PUT THIS SHIP IN OVERDRIVE  "},
                {{0, 205}, " AND HUNT DOWN SOME SKELETON ACTION! "}},
               0xF650, "ZONE 3 COMPLETE");
         glow4("1,000", 128, 75);
         glow4(" BONUS      POINTS", 50, 75);
         glow4("NEXT ZONE UNLOCKED!", 54, 105);
       }},
      {"zone 4 complete", [] { game_state = kStateZoneComplete; level_number = 26; bonus_points = 3000; },
       [&] {
         story({{{6, 140}, "   WOW... HE GOT AWAY. LOOKS LIKE  "},
                {{2, 155}, "  THERE WILL BE ONE LAST BATTLE...    "},
                {{4, 185}, "NOW TO FIGHT THROUGH THE FINAL ZONE "},
                {{4, 205}, "     AND TO VICTORY OVER DEATH! "}},
               0xF650, "ZONE 4 COMPLETE");
         glow4("3,000", 128, 75);
         glow4(" BONUS      POINTS", 50, 75);
         glow4("NEXT ZONE UNLOCKED!", 54, 105);
       }},
      {"zone 5 complete", [] { game_state = kStateZoneComplete; level_number = 35; bonus_points = 3000; },
       [&] {
         story({{{6, 140}, "    TURNS OUT THAT THE SKULL WAS    "},
                {{4, 155}, "    ACTUALLY THE GHOST OF MORVAX."},
                {{6, 185}, "    WELL... THAT WAS UNEXPECTED."},
                {{20, 220}, "............HIT FIRE..........."}},
               0xF650, "ZONE 5 COMPLETE");
         glow4("3,000", 128, 75);
         glow4(" BONUS      POINTS", 50, 75);
         glow4("ENDING SEQUENCE AWAITS...", 24, 105);
       }},
      {"the HUD of a timed run",
       [] {
         game_state = kStateGetReady;
         message.text[0] = '\0';
         lives = 0;
         shield_energy = 0;
         game_mode = 2;
         game_paused = 1;
         time_left = 42;
         game_score = 12345;
       },
       [&] {
         hud("TIME", 20, 4, {0x8210, 0x8201, 0x8210}, 0xC624);
         hud("SCORE", 160, 4, plain, 0xC600);
         hud("12,345", 160, 18, plain, 0xC600);
         hud("SHIELD", 280, 220, plain, 0xC600);
         hud("42", 20, 18, plain, 0xC600);
       }},
      {"wave popups over the HUD",
       [] {
         game_state = kStateWavePopups;
         lives = 0;
         shield_energy = 0;
         game_mode = 0;
         game_score = 0;
         add_popup("WAVE 3 COMPLETE", "NEXT UP", "- SHEEPIE! -");
         update_popups(100 * 256);  // line 1 grown, lines 2 and 3 on their way
       },
       [&] {
         centred("WAVE 3 COMPLETE", 1 + 15 * 100, -10, 0x2214);
         centred("NEXT UP", 1 + 8 * 100, 0, 0x3BC7);
         centred("- SHEEPIE! -", 1 + 5 * 100, 10, 0xA204);
         hud("SCORE", 160, 4, plain, 0xC600);
         hud("0", 160, 18, plain, 0xC600);
         hud("SHIELD", 280, 220, plain, 0xC600);
       }},
      {"get ready",
       [] {
         game_state = kStateGetReady;
         lives = 0;
         shield_energy = 0;
         game_mode = 0;
         game_score = 0;
         show_message("GET READY");
         update_message(40 * 256);
       },
       [&] {
         centred("GET READY", 1 + 25 * 40, 0, 0xA204);
         hud("SCORE", 160, 4, plain, 0xC600);
         hud("0", 160, 18, plain, 0xC600);
         hud("SHIELD", 280, 220, plain, 0xC600);
       }},
      {"high scores with initials being entered",
       [] {
         game_state = kStateHighScores;
         new_score_slot = 2;
         initials_cursor = 1;
         initials_tick = 0;  // no stick reading on this call
       },
       [&] {
         auto line = [&](const char* t, int32_t x, int32_t y, uint16_t c) {
           draw_text_glow(w, t, cx + x, cy + y, 1024, 1, 120, c);
         };
         draw_text_glow(w, "HIGH SCORES", cx + 77, cy + 10, 1280, 1, 120, 0xF650);
         const char* const names[6] = {"KWO", "TAM", "RUV", "LIB", "NOX", "FEP"};
         const char* const scores[6] = {"60,000", "50,000", "40,000", "30,000", "20,000", "10,000"};
         for (int32_t i = 0; i < 6; ++i) {
           const int32_t y = 50 + 24 * i, score_x = 260 - int32_t(std::strlen(scores[i])) * 12;
           if (i != 2) {
             line(names[i], 60, y, 0xF650);
             line(scores[i], score_x, y, 0xF650);
             continue;
           }
           line("R", 60, y, 0x378A);
           line("U", 72, y, 0xF09E);  // the letter at the cursor
           line("V", 84, y, 0x378A);
           line(scores[i], score_x, y, 0x378A);
         }
         draw_text_glow(w, "CONGRATULATIONS!", cx + 10, cy + 200, 768, 1, 120, 0x378A);
         draw_text_glow(w, "SELECT INITIALS WITH JOYSTICK", cx + 10, cy + 220, 768, 1, 120, 0x378A);
       }},
      {"quit, first line", [] { game_state = kStateQuitScreen; select_blink = 1; },
       [&] {
         glow3("QUITTING ALREADY?", 10, 20);
         glow3("TOO DIFFICULT FOR YOU WAS IT?", 10, 80);
         glow3("PRESS Y TO QUIT - B TO RETURN", 10, 140);
       }},
      {"quit, a later line", [] { game_state = kStateQuitScreen; select_blink = 5; },
       [&] {
         glow3("QUITTING ALREADY?", 10, 20);
         draw_text_glow(w, "BACK TO BITTORRENT?", cx + 10, cy + 80, 0x300, 1, 0x64, 0xF650);
         glow3("PRESS Y TO QUIT - B TO RETURN", 10, 140);
       }},
  };
  for (const screen& sc : screens) {
    SCOPED_TRACE(sc.name);
    walk_objects([](uint16_t i) { object_at(i).flags &= uint16_t(~kObjDrawn); });
    clear_particles();
    std::fill(world_image, world_image + kCanvasPixels, uint16_t(0));
    std::fill(want.begin(), want.end(), uint16_t(0));
    camera_home();
    screen_phase = 0;
    sc.set_up();
    draw_frame();
    sc.expect();
    const uint16_t* got = video_play_surface();
    int32_t differ = 0;
    for (int32_t y = cy; y < cy + 240; ++y)
      for (int32_t x = cx; x < cx + 320; ++x) differ += got[y * kCanvasSize + x] != want[size_t(y * kCanvasSize + x)];
    EXPECT_EQ(differ, 0);
  }
  // The pause overlay over a black view: its three lines.
  std::fill(want.begin(), want.end(), uint16_t(0));
  std::vector<uint16_t> paused(kCanvasPixels);
  draw_pause_menu(paused.data());
  for (const auto& l : {std::make_pair("START=RESUME", 85), std::make_pair("X=EXIT", 115), std::make_pair("Y=NEW GAME", 145)})
    draw_text_glow(w, l.first, cx + 100, cy + l.second, 1024, 2, 80, 0xF506);
  EXPECT_TRUE(paused == want);
}

TEST_F(FlowTest, LivesAndShieldGauges) {
  camera_x = camera_y = 0;
  std::vector<uint16_t> canvas(kCanvasPixels);
  auto colour_at_icon = [&](int icon) {
    // Each icon's nose tip stands 5 px above the row's origin, 12 px apart.
    uint16_t c = 0;
    for (int y = 222; y < 228; ++y)
      for (int x = 8 + 12 * icon; x < 13 + 12 * icon; ++x) c |= canvas[size_t(y * kCanvasSize + x)];
    return c;
  };
  struct row {
    int32_t lives;
    std::vector<char> icons;  // g green, y yellow, - none
  };
  const row rows[] = {{13, {'g', 'g', 'y', '-'}}, {0, {'-'}}, {1, {'y', '-'}}, {6, {'g', '-'}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.lives);
    std::fill(canvas.begin(), canvas.end(), 0);
    pickup40_count = 0;
    draw_lives(canvas.data(), r.lives);
    for (size_t i = 0; i < r.icons.size(); ++i) {
      const uint16_t c = colour_at_icon(int(i));
      // Green 0x47E8 carries blue, yellow 0xFFE0 none.
      const uint16_t want_mask = r.icons[i] == '-' ? 0xFFFF : r.icons[i] == 'y' ? 0xF81F : 0x001F;
      if (r.icons[i] == 'g') {
        EXPECT_NE(c & want_mask, 0) << i;
      } else {
        EXPECT_EQ(c & want_mask, r.icons[i] == 'y' ? 0xF800 : 0) << i;
      }
    }
  }
  // The icons stand nose up: the tip row above the origin is drawn, below it the tail.
  std::fill(canvas.begin(), canvas.end(), 0);
  draw_lives(canvas.data(), 1);
  EXPECT_NE(canvas[size_t(225 * kCanvasSize + 10)], 0);  // (0, -20) / 4 = 5 px up
  EXPECT_EQ(canvas[size_t(236 * kCanvasSize + 10)], 0);

  // Eight icons and two pick-ups: one counter icon, 20 px higher.
  std::fill(canvas.begin(), canvas.end(), 0);
  pickup40_count = 2;
  draw_lives(canvas.data(), 48);
  uint16_t first = 0, second = 0;
  for (int y = 205; y < 215; ++y) {
    for (int x = 5; x < 15; ++x) first |= canvas[size_t(y * kCanvasSize + x)];
    for (int x = 16; x < 21; ++x) second |= canvas[size_t(y * kCanvasSize + x)];
  }
  EXPECT_NE(first, 0);
  EXPECT_EQ(second, 0);
  pickup40_count = 0;

  // The shield gauge: nothing when empty; white when over-charged.
  struct gauge {
    int32_t energy;
    bool drawn;
    uint16_t blue_min;
  };
  const gauge gauges[] = {{0, false, 0}, {-5, false, 0}, {512000, true, 31}, {256000, true, 31}, {50000, true, 0}};
  for (const gauge& g : gauges) {
    SCOPED_TRACE(g.energy);
    std::fill(canvas.begin(), canvas.end(), 0);
    shield_energy = g.energy;
    draw_shield(canvas.data());
    const uint16_t c = canvas[size_t(233 * kCanvasSize + 305)];
    EXPECT_EQ(c != 0, g.drawn);
    if (g.drawn) {
      EXPECT_GE(c & 31, g.blue_min);
    }
  }
}

TEST_F(FlowTest, TheTitlesAttractCycleAndTheScoreScreensWait) {
  // From the title, the score table shows after 200 frames and returns after 200 more.
  int n = 0;
  while (game_state == kStateTitle && n < 400) {
    frames(1);
    ++n;
  }
  EXPECT_EQ(game_state, kStateHighScores);
  EXPECT_EQ(n, 200);
  EXPECT_EQ(screen_phase, 4);
  n = 0;
  while (game_state == kStateHighScores && n < 400) {
    frames(1);
    ++n;
  }
  EXPECT_EQ(game_state, kStateTitle);
  EXPECT_EQ(n, 200);
  // After a run the table waits for a button however long it shows.
  attract_timer = 201;
  new_score_slot = -1;
  world_image_mode = 1;
  game_state = kStateHighScores;
  frames(400);
  EXPECT_EQ(game_state, kStateHighScores);
  press(b::kA);
  EXPECT_EQ(game_state, kStateTitle);
  EXPECT_EQ(lives, 5);
  EXPECT_EQ(world_image_mode, 0);
}

TEST_F(FlowTest, TheQuitScreenReturnsWithBAndQuitsWithY) {
  hold(b::kX);
  frames(1);
  EXPECT_EQ(game_state, kStateQuitScreen);
  hold(0);
  frames(1);
  press(b::kB);
  EXPECT_EQ(game_state, kStateTitle);
  EXPECT_EQ(player_object->flags, kObjDrawn);
  hold(b::kX);
  frames(1);
  hold(0);
  frames(1);
  hold(b::kY);
  EXPECT_FALSE(frames(1));
  EXPECT_EQ(quit_requested, 1);
}

TEST_F(FlowTest, TimedZonesWriteTheirMarkerAndTheFinalZoneSavesBeforeItsEnding) {
  into_play();
  game_mode = 2;
  game_score = 45000;
  zone_first_level = 26;
  level_number = 34;
  level_cleared = 1;
  frames(1);
  ASSERT_EQ(game_state, kStateZoneComplete);
  EXPECT_EQ(level_number, 35);
  hold(b::kB);
  EXPECT_FALSE(frames(1));  // the ending cannot start here: the game leaves
  EXPECT_TRUE(exists("totalled"));
  EXPECT_TRUE(exists("wilvatip"));
  EXPECT_FALSE(exists("poker"));
  EXPECT_EQ(read_file("pellax.dat").size(), 52u);
  EXPECT_EQ(ending_devices_closed, 1);
}

TEST_F(FlowTest, QuitScreenLines) {
  EXPECT_STREQ(parting_line(13), "DUDE. THOSE COLOURS! WHOA.");
  EXPECT_STREQ(parting_line(12), "DUDE. THOSE COLOURS! WHOA.");
  EXPECT_STREQ(parting_line(0), "GRUBLEN WOULD BE ASHAMED!");
}

}  // namespace
