// The whole campaign, headless, in one process: the five zones one after the other, each
// opened by the marker files the one before wrote, then the same five in the timed mode
// (opened by the trophies collected on the way), then both endings from the level select.
// A driver stands in for the player in the playing state: it keeps the ship alive and in
// reach, collects trophies and the pick-ups a level's detours need, and fires real shots
// at the kinds each level's goal counts. Every frame keeps the invariants; the same start
// played twice gives the same frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_input.h"
#include "host/host_runtime.h"
#include "host/host_settings.h"
#include "pellax/base/wall_table.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/platform/input.h"
#include "pellax/platform/timer.h"
#include "pellax/platform/video.h"
#include "tests/pellax/game/play_invariants.h"
#include "tests/support/pellax_audio_double.h"
#include "tests/support/temp_dir.h"

namespace {

namespace b = gp2x::buttons;

bool is_trophy(int32_t kind) { return kind == 111 || (kind >= 119 && kind <= 122); }

// The kinds a level's goal (and its closing condition) counts, most wanted first.
std::vector<int32_t> goal_kinds(int32_t level) {
  switch (level) {
    case 0: return {23, 26};
    case 1: case 11: return {17};
    case 2: case 15: return {14, 13};
    case 3: case 16: return {6, 13};
    case 4: return {25};
    case 5: return {5};
    case 6: return {24};
    case 7: return {12};
    case 8: return {11};
    case 10: return {27};
    case 12: return {7};
    case 13: case 28: return {21, 23};
    case 14: return {21};
    case 17: case 21: return {9};
    case 18: return {8};
    case 19: case 22: return {40};
    case 20: return {105, 106};
    case 23: return {103, 40};
    case 25: case 34: return {104};
    case 27: return {114};
    case 29: return {114, 24};
    case 30: return {27, 25};
    case 31: return {103};
    case 32: return {115};
    case 33: return {117};
    default: return {};
  }
}

// What the driver takes by touch rather than by shooting.
bool wanted_by_touch(const game_object& o, bool timed) {
  if (is_trophy(o.kind)) return true;
  if (o.kind == 108) return level_number == 22;
  if (o.kind == 103) return level_number == 31;
  return timed && o.kind == 118;
}

bool arrived(const game_object& o) {
  return (o.flags & kObjActive) && !(o.flags & kObjWarping) && o.kind != 1 && o.kind != 2;
}

bool shootable(const game_object& o) {
  if (!arrived(o) || (o.flags & kObjBarrier)) return false;
  return !is_trophy(o.kind) && o.kind != 18 && o.kind != 20 && o.kind != 118 && o.kind != 108 && o.kind != 113;
}

int64_t distance2(const game_object& o) {
  const int64_t dx = int64_t(o.x) - player_object->x, dy = int64_t(o.y) - player_object->y;
  return dx * dx + dy * dy;
}

// Whether a point (pixels) lies in one of the level's walls grown by a margin.
bool in_wall(float x, float y, float margin) {
  bool hit = false;
  for_each_wall(level_number, [&](const wall_box& w) {
    const float l = float(w.x + 128) - margin, t = float(w.y + 128) - margin;
    const float r = float(w.x + w.width + 128) + margin, bt = float(w.y + w.height + 128) + margin;
    hit |= x > l && x < r && y > t && y < bt;
  });
  return hit;
}

// What costs a life to touch and survives it: barriers, shielded chain links, bosses, the
// asterisk block; gathered once a frame.
struct hazard {
  const game_object* object;
  float x, y, reach;
  bool moves;
};
std::vector<hazard> hazards;
// What soaks up shots for a long time (ten hit points or more): not worth firing through.
std::vector<hazard> armour;

void gather_hazards() {
  hazards.clear();
  armour.clear();
  walk_objects([](uint16_t i) {
    const game_object& o = object_at(i);
    if (!(o.flags & kObjActive) || o.kind == 1 || o.kind == 2) return;
    const hazard h{&o, float(o.x) / 256.0f, float(o.y) / 256.0f,
                   float(std::max({-o.min_x, o.max_x, -o.min_y, o.max_y})) / 256.0f, o.kind != 104 && o.kind != 107};
    if ((o.flags & kObjBarrier) || o.kind == 25 || o.kind == 27 || o.kind == 104 || o.kind == 113) hazards.push_back(h);
    if (o.hit_points >= 10) armour.push_back(h);
  });
}

bool armour_on(float x, float y, const game_object* except) {
  for (const hazard& h : armour)
    if (h.object != except && (x - h.x) * (x - h.x) + (y - h.y) * (y - h.y) < h.reach * h.reach) return true;
  return false;
}

// Whether a point (pixels) lies within margin of a hazard's reach; room for those that
// move is added on request.
bool near_hazard(float x, float y, float margin, bool moving_room, const game_object* except = nullptr) {
  for (const hazard& h : hazards) {
    if (h.object == except) continue;
    const float reach = h.reach + margin + (moving_room && h.moves ? 12.0f : 0.0f);
    if ((x - h.x) * (x - h.x) + (y - h.y) * (y - h.y) < reach * reach) return true;
  }
  return false;
}

// A point to shoot from: near the target, inside the arena, clear of walls and hazards,
// with a clear line to it. False when none of the tries fits.
bool firing_point(const game_object& t, float* px_, float* py_) {
  const float tx = float(t.x) / 256.0f, ty = float(t.y) / 256.0f;
  for (bool close : {false, true})
  for (float d : {40.0f, 56.0f, 30.0f, 72.0f, 96.0f, 128.0f}) {
    for (int k = 0; k < 16; ++k) {
      const float a = float(k) * 0.3927f + 1.5708f;  // from below first
      const float x = tx + d * std::cos(a), y = ty + d * std::sin(a);
      if (x < 142.0f || x > 626.0f || y < 142.0f || y > 626.0f || in_wall(x, y, 14.0f) ||
          near_hazard(x, y, close ? 14.0f : 10.0f, !close))
        continue;
      bool clear = true;
      for (float s = 0.0f; s < d - 6.0f && clear; s += 3.0f) {
        const float lx = x + (tx - x) * s / d, ly = y + (ty - y) * s / d;
        clear = !in_wall(lx, ly, 2.0f) && (close || (!armour_on(lx, ly, &t) && !near_hazard(lx, ly, 0.0f, false, &t)));
      }
      if (!clear) continue;
      *px_ = x;
      *py_ = y;
      return true;
    }
  }
  return false;
}

// The direction (dx, dy) scaled to length 1, or (0, 1) for none.
void unit_away(float dx, float dy, float* x, float* y) {
  const float n = std::sqrt(dx * dx + dy * dy);
  *x = n > 0.0f ? dx / n : 0.0f;
  *y = n > 0.0f ? dy / n : 1.0f;
}

// A place to wait at so that every tethered barrier leans (toward the ship, as far as 70.7
// px from its spawn point) far enough off a guarded pick-up, and nothing else stands by it.
bool lure_point(const game_object& pickup, float* x, float* y) {
  const float px_ = float(pickup.x) / 256.0f, py_ = float(pickup.y) / 256.0f;
  for (float qy = 140.0f; qy <= 628.0f; qy += 24.0f) {
    for (float qx = 140.0f; qx <= 628.0f; qx += 24.0f) {
      if (in_wall(qx, qy, 14.0f) || near_hazard(qx, qy, 10.0f, true)) continue;
      bool clear = true;
      for (const hazard& h : hazards) {
        float hx = h.x, hy = h.y;
        if (h.object->kind == 10) {
          // It goes straight for the ship and stops where the next step would leave its
          // tether round (home_x, home_y).
          const float ox = float(h.object->work_a) / 256.0f, oy = float(h.object->work_b) / 256.0f;
          const float dx = qx - hx, dy = qy - hy, d = std::sqrt(dx * dx + dy * dy);
          if (d > 0.0f) {
            const float ux = dx / d, uy = dy / d, wx = hx - ox, wy = hy - oy;
            const float b = wx * ux + wy * uy, c = wx * wx + wy * wy - 70.0f * 70.0f;
            const float t = std::min(d, std::max(0.0f, -b + std::sqrt(std::max(0.0f, b * b - c))));
            hx += ux * t;
            hy += uy * t;
          }
        }
        const float reach = h.reach + 16.0f;
        if ((hx - px_) * (hx - px_) + (hy - py_) * (hy - py_) < reach * reach) clear = false;
      }
      if (!clear) continue;
      *x = qx;
      *y = qy;
      return true;
    }
  }
  return false;
}

struct zone_result {
  std::vector<int32_t> levels;  // as each level's play began
  std::vector<float> speeds;    // the game speed as each level's play began
  std::vector<int32_t> scales;  // the shape scale likewise
  int32_t score = 0;
  int32_t frames = 0;
  bool completed = false;
  std::set<int32_t> kinds_seen;
  std::vector<std::string> tracks;  // music loaded while playing
};

class ZonesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(std::system((std::string(PELLAX_DATA_MAKER) + " " + folder_ + " > /dev/null").c_str()), 0);
    ASSERT_EQ(chdir(folder_.c_str()), 0);
  }
  void TearDown() override {
    if (started_) stop();
    ASSERT_EQ(chdir(previous_), 0);
  }

  // A fresh program in the same folder, as after a restart of the console's menu.
  void start() {
    gp2x::host::Settings s;
    s.timer_start = 0x2468;
    s.exec_program = folder_ + "/no-such-program";
    gp2x::host::configure(s);
    reset_frame_loop_state();
    // The counters a fresh program starts with (a run clears only those of kinds below 30).
    for (int k = 0; k < kKindCount; ++k) kind_alive[k] = kind_killed[k] = 0;
    audio_events().clear();
    clipped_draws = 0;
    ASSERT_EQ(pellax_start(), 0);
    started_ = true;
    sticky_ = kNoRecord;
  }
  void stop() {
    game_shutdown();
    video_close();
    started_ = false;
  }

  static uint64_t now_ms() { return gp2x::host::now_ns() / 1000000; }
  static void hold(uint32_t buttons) { gp2x::host::runtime().input.set_script({{now_ms(), buttons}}); }

  // One frame (30 ms unless set otherwise): the loop's pass without its spin on the timer
  // (the virtual clock is moved on at once); false once the program has quit.
  bool frame() {
    sleep_us(uint32_t(frame_ms_) * 1000);
    timer_mark();
    ++frame_counter;
    game_step(read_buttons());
    award_extra_life();
    const bool on = !quit_requested;
    if (on) {
      draw_frame();
      video_copy_view(px(camera_x), px(camera_y));
      video_flip();
    }
    ++frames_;
    check_invariants();
    auto mix = [this](uint64_t v) { hash_ = (hash_ ^ v) * 1099511628211ull; };
    mix(uint64_t(game_state));
    mix(uint64_t(level_number));
    mix(uint64_t(uint32_t(game_score)));
    if (player_object) mix(uint64_t(uint32_t(player_object->x)) ^ uint64_t(uint32_t(player_object->y)) << 32);
    for (int k = 0; k < kKindCount; ++k) mix(uint64_t(uint32_t(kind_alive[k])));
    return on;
  }
  void press(uint32_t buttons) {
    hold(buttons);
    frame();
    hold(0);
    frame();
  }

  // From the title into a zone (0..4) in the normal or the timed mode.
  void enter_zone(int32_t zone, bool timed) {
    for (int i = 0; i < 400 && game_state != kStateTitle; ++i) frame();
    ASSERT_EQ(game_state, kStateTitle);
    for (int i = 0; i < 10 && game_state != kStateLevelSelect; ++i) press(b::kB);
    ASSERT_EQ(game_state, kStateLevelSelect);
    EXPECT_TRUE(zone == 0 || zone_open[zone] == 1) << "the zone before opened this one";
    for (int i = 0; i < 14 && selected_zone != zone; ++i) press(b::kRight);
    ASSERT_EQ(selected_zone, zone);
    press(b::kB);
    if (timed) {
      ASSERT_EQ(game_mode, 1) << "the zone's trophy opens the choice of mode";
      for (int i = 0; i < 4 && mode_cursor != 1; ++i) press(b::kDown);
      press(b::kB);
      ASSERT_EQ(game_mode, 2);
    } else if (game_mode == 1) {
      for (int i = 0; i < 4 && mode_cursor != 0; ++i) press(b::kDown);
      press(b::kB);
      ASSERT_EQ(game_mode, 0);
    }
    for (int i = 0; i < 600 && game_state != kStatePlaying; ++i) frame();
    ASSERT_EQ(game_state, kStatePlaying);
  }

  // The player's stand-in for one playing frame.
  void drive(bool timed) {
    lives = 5;
    respawn_pause = 0;
    gather_hazards();
    const std::vector<int32_t> goals = goal_kinds(level_number);
    auto rank_of = [&](const game_object& o) {
      for (size_t g = 0; g < goals.size(); ++g)
        if (goals[g] == o.kind) return int(g);
      return int(goals.size());
    };
    game_object* touch = nullptr;    // a pick-up nothing guards
    game_object* guarded = nullptr;  // a pick-up beside a hazard
    game_object* shoot = nullptr;
    int best_rank = INT_MAX;
    float fx = 0.0f, fy = 0.0f;
    walk_objects([&](uint16_t i) {
      game_object& o = object_at(i);
      if (!arrived(o)) return;
      // The fourth counter taken brings the last zone's trophy at the director's next step:
      // a fifth taken before would pass it by.
      if (o.kind == 103 && level_number == 31 && pickup103_count == 4) return;
      if (wanted_by_touch(o, timed)) {
        // The ship's touch of a hazard beside it would come first and the pick-up wait.
        // Only what progress needs is worth waiting for (not the timed mode's clocks).
        const bool is_guarded = near_hazard(float(o.x) / 256.0f, float(o.y) / 256.0f, 14.0f, false);
        if (is_guarded && o.kind == 118) return;
        game_object*& slot = is_guarded ? guarded : touch;
        if (!slot || distance2(o) < distance2(*slot)) slot = &o;
        return;
      }
      if (!shootable(o)) return;
      const int rank = rank_of(o);
      float x, y;
      if ((rank < best_rank || (rank == best_rank && distance2(o) < distance2(*shoot))) && firing_point(o, &x, &y)) {
        best_rank = rank;
        shoot = &o;
        fx = x;
        fy = y;
      }
    });
    // Stay on the last target while it is as wanted as the best, so that the shots go on
    // one thing.
    if (shoot && sticky_ != kNoRecord) {
      game_object& last = object_at(sticky_);
      float x, y;
      if (last.link.in_use && last.link.serial == sticky_serial_ && shootable(last) && !wanted_by_touch(last, timed) &&
          rank_of(last) <= best_rank && firing_point(last, &x, &y)) {
        shoot = &last;
        fx = x;
        fy = y;
      }
    }
    sticky_ = shoot ? object_index(shoot) : kNoRecord;
    sticky_serial_ = shoot ? shoot->link.serial : 0;
    game_object& ship = *player_object;
    ship.vx = ship.vy = 0.0f;
    float lx, ly;
    if (touch) {
      // On it, but off the side of any other pick-up beside it: one at a time.
      float ax = 0.0f, ay = 0.0f;
      walk_objects([&](uint16_t i) {
        const game_object& o = object_at(i);
        const float dx = float(touch->x - o.x) / 256.0f, dy = float(touch->y - o.y) / 256.0f;
        if (&o != touch && wanted_by_touch(o, timed) && dx * dx + dy * dy < 40.0f * 40.0f) unit_away(dx, dy, &ax, &ay);
      });
      ship.x = touch->x + int32_t(ax * 10.0f * 256.0f);
      ship.y = touch->y + int32_t(ay * 10.0f * 256.0f);
      hold(0);
    } else if (guarded && lure_point(*guarded, &lx, &ly)) {
      // Wait where the tethered barriers beside it lean off it.
      ship.x = int32_t(lx * 256.0f);
      ship.y = int32_t(ly * 256.0f);
      hold(0);
    } else if (guarded && guarded->kind == 103 && (frames_ / 150) % 3 != 2) {
      // No such place: wait in turn at the corners, drawing them this way and that.
      const int corner = (frames_ / 150) % 4;
      ship.x = (corner % 2 ? 620 : 148) * 256;
      ship.y = (corner / 2 ? 620 : 148) * 256;
      hold(0);
    } else if (shoot || (guarded && guarded->kind != 108 && !is_trophy(guarded->kind) && firing_point(*guarded, &fx, &fy))) {
      if (!shoot) shoot = guarded;
      ship.x = int32_t(fx * 256.0f);
      ship.y = int32_t(fy * 256.0f);
      ship.angle = std::atan2(float(shoot->y - ship.y), float(shoot->x - ship.x)) + 1.5708f;
      hold(b::kR);
    } else {
      // Nothing to do: wait where nothing reaches.
      for (const auto& p : {std::pair<float, float>{384, 200}, {200, 200}, {560, 200}, {384, 560}, {384, 384}}) {
        if (in_wall(p.first, p.second, 14.0f) || near_hazard(p.first, p.second, 10.0f, true)) continue;
        ship.x = int32_t(p.first * 256.0f);
        ship.y = int32_t(p.second * 256.0f);
        break;
      }
      hold(0);
    }
    // The view follows at once (kills of the hexagon are refused off screen).
    camera_x = std::min(std::max(ship.x - 160 * 256, 22016), 92416);
    camera_y = std::min(std::max(ship.y - 120 * 256, 22016), 112896);
  }

  // Plays the zone from its first wave to the zone-complete screen.
  zone_result play_zone(int32_t zone, bool timed) {
    zone_result r;
    enter_zone(zone, timed);
    if (HasFatalFailure()) return r;
    const size_t audio_from = audio_events().size();
    int32_t level = -1, level_frames = 0;
    const int start = frames_;
    while (game_state == kStatePlaying || game_state == kStateWavePopups || game_state == kStateGetReady) {
      if (game_state == kStatePlaying) {
        if (level_number != level) {
          level = level_number;
          level_frames = 0;
          r.levels.push_back(level);
          r.speeds.push_back(game_speed);
          r.scales.push_back(shape_scale);
        }
        if (++level_frames > 15000) {
          std::ostringstream live;
          walk_objects([&](uint16_t i) { live << object_at(i).kind << ' '; });
          ADD_FAILURE() << "level " << level << " not won: quota " << kill_quota << ", killed[goal] "
                        << (goal_kinds(level).empty() ? killed_total() : kind_killed[goal_kinds(level)[0]])
                        << ", live kinds " << live.str();
          return r;
        }
        drive(timed);
        walk_objects([&](uint16_t i) { r.kinds_seen.insert(object_at(i).kind); });
      }
      frame();
      if (HasFatalFailure()) return r;
    }
    hold(0);
    r.frames = frames_ - start;
    r.completed = game_state == kStateZoneComplete;
    r.score = game_score;
    for (size_t i = audio_from; i < audio_events().size(); ++i)
      if (audio_events()[i].name == "music_load") r.tracks.push_back(audio_events()[i].path);
    return r;
  }

  // From the zone-complete screen: B after the bonus count, then the end of the run, the
  // score table and the title; after the last zone, the hand-over to the ending program.
  // The states passed through, in order.
  std::vector<int32_t> leave_zone() {
    std::vector<int32_t> states{game_state};
    auto note = [&] {
      if (states.back() != game_state) states.push_back(game_state);
    };
    for (int i = 0; i < 40; ++i) frame();
    hold(b::kB);
    frame();
    note();
    hold(0);
    if (!frame()) return states;
    note();
    for (int i = 0; i < 200 && game_state != kStateHighScores && game_state != kStateTitle; ++i) {
      frame();
      note();
    }
    for (int i = 0; i < 20 && game_state != kStateTitle; ++i) {
      press(b::kA);
      note();
    }
    return states;
  }

  // The hand-overs to other programs reported by the host layer so far.
  std::vector<std::string> hand_overs() const {
    std::vector<std::string> names;
    std::istringstream in(testing::internal::GetCapturedStderr());
    testing::internal::CaptureStderr();
    for (std::string line; std::getline(in, line);) {
      const std::string mark = "program hands over to \"";
      const size_t at = line.find(mark);
      if (at != std::string::npos) names.push_back(line.substr(at + mark.size(), line.size() - at - mark.size() - 1));
    }
    return names;
  }

  int frame_ms_ = 30;
  uint16_t sticky_ = kNoRecord;
  uint64_t sticky_serial_ = 0;
  static constexpr uint64_t kHashStart = 1469598103934665603ull;
  uint64_t hash_ = kHashStart;
  int frames_ = 0;
  bool started_ = false;
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

bool exists(const char* name) { return access(name, F_OK) == 0; }

struct zone_row {
  int32_t zone;
  std::vector<int32_t> levels;
  const char* marker;
  const char* trophy;
  const char* timed_marker;
  std::set<std::string> tracks;      // the bosses' music the zone's play must load
  std::set<std::string> not_tracks;  // and must not
};

const zone_row kZoneRows[] = {
    {0, {0, 1, 2, 3, 4}, "spangels", "miner", "pelmore", {"shs.lvl", "zonecomplete.ogg"}, {"lft.lvl"}},
    // The mine layer's death (level 10) leaves the music alone.
    {1, {5, 6, 7, 8, 9, 10}, "oranges", "mayhem", "dovrin", {"zonecomplete.ogg"}, {"shs.lvl", "lft.lvl"}},
    {2, {11, 12, 13, 14, 15, 16, 17}, "beach", "wizkid", "tov", {"zonecomplete.ogg"}, {"shs.lvl", "lft.lvl"}},
    // Two heavy spinners taken in level 22 send the run back through level 20; the turning
    // boss of level 25 fades to its own music.
    {3, {18, 19, 21, 22, 20, 22, 23, 24, 25}, "openfire", "drunken", "quab", {"lft.lvl", "zonecomplete.ogg"}, {"shs.lvl"}},
    // From level 30 on it does not fade: only its death changes the music.
    {4, {26, 27, 28, 29, 30, 31, 32, 33, 34}, "totalled", "poker", "wilvatip", {"bety.lvl", "zonecomplete.ogg"},
     {"shs.lvl", "lft.lvl"}},
};

// The same start gives the same game, frame by frame: no uninitialised value and no state
// left over from an earlier run. The campaign's first two zones are played again once it
// has run through both modes and both endings, and must give the same frames.
TEST_F(ZonesTest, TheCampaignPlaysThroughBothModesToBothEndings) {
  testing::internal::CaptureStderr();
  std::set<int32_t> kinds;
  uint64_t first_two_zones = 0;
  for (bool timed : {false, true}) {
    SCOPED_TRACE(timed ? "timed" : "normal");
    if (!timed) hash_ = kHashStart;
    start();
    for (const zone_row& z : kZoneRows) {
      SCOPED_TRACE(z.zone);
      const zone_result r = play_zone(z.zone, timed);
      ASSERT_FALSE(HasFatalFailure());
      ASSERT_TRUE(r.completed) << "state " << game_state << " in level " << level_number << " after " << r.frames
                               << " frames, " << time_left << " s left";
      kinds.insert(r.kinds_seen.begin(), r.kinds_seen.end());
      EXPECT_EQ(r.levels, z.levels);
      // The zone's first wave at 0.8 x 2, each later one at 0.8 x (L + level / 12).
      for (size_t i = 0; i < r.levels.size(); ++i) {
        const float want = i == 0 ? 1.6f : 0.8f * (2.0f + float(r.levels[i]) / 12.0f);
        EXPECT_FLOAT_EQ(r.speeds[i], want) << r.levels[i];
        EXPECT_EQ(r.scales[i], r.levels[i] == 11 ? 80 : r.levels[i] == 12 ? 280 : 160) << r.levels[i];
      }
      for (const std::string& track : z.tracks) EXPECT_EQ(std::count(r.tracks.begin(), r.tracks.end(), track), 1) << track;
      for (const std::string& track : z.not_tracks) EXPECT_EQ(std::count(r.tracks.begin(), r.tracks.end(), track), 0) << track;
      EXPECT_EQ(lives, 0);
      // The normal runs' scores enter the table (the timed runs' need not beat them).
      if (!timed) {
        EXPECT_GE(new_score_slot, 0) << "the run's score is entered";
      }
      EXPECT_EQ(zone_trophy[z.zone], 1) << "the zone's trophy was collected";
      const std::vector<int32_t> states = leave_zone();
      if (!timed && z.zone == 1) first_two_zones = hash_;
      for (const char* m : {z.marker, z.trophy}) EXPECT_TRUE(exists(m)) << m;
      EXPECT_EQ(exists(z.timed_marker), timed) << z.timed_marker;
      if (z.zone < 4) {
        EXPECT_EQ(states, (std::vector<int32_t>{kStateZoneComplete, kStateEndOfRun, kStateHighScores, kStateTitle}));
      } else {
        // After the last zone the ending program is asked for, the score saved first.
        EXPECT_TRUE(quit_requested);
        EXPECT_EQ(hand_overs(), std::vector<std::string>{"./ora.lvl"});
        if (!timed) {
          std::ifstream f("pellax.dat", std::ios::binary);
          const std::string table((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
          std::string score(4, '\0');
          for (int k = 0; k < 4; ++k) score[k] = char(uint32_t(r.score) >> (8 * k));
          EXPECT_NE(table.find(score), std::string::npos) << "the last zone's score is in the saved table";
        }
      }
    }
    stop();
  }
  // Every kind the dispatch names appeared on the way (the timed trophy and the menus'
  // diamond only outside play).
  for (int32_t kind : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28,
                       29, 31, 35, 40, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 113, 114, 115, 116,
                       117, 118, 119, 120, 121, 122, 123})
    EXPECT_TRUE(kinds.count(kind)) << kind;
  // Both endings from the level select: the first past the five zones, the second past the
  // five timed zones and their trophies.
  for (int32_t ending : {5, 6}) {
    start();
    for (int i = 0; i < 10 && game_state != kStateLevelSelect; ++i) press(b::kB);
    for (int i = 0; i < 14 && selected_zone != ending; ++i) press(b::kRight);
    ASSERT_EQ(selected_zone, ending);
    press(b::kB);
    for (int i = 0; i < 100 && frame(); ++i) {
    }
    EXPECT_TRUE(quit_requested);
    EXPECT_EQ(hand_overs(), std::vector<std::string>{ending == 5 ? "./ora.lvl" : "./orca.lvl"});
    stop();
  }
  testing::internal::GetCapturedStderr();
  // The first two zones again, from a folder as the campaign found it.
  for (const zone_row& z : kZoneRows)
    for (const char* m : {z.marker, z.trophy, z.timed_marker}) std::remove(m);
  std::remove("pellax.dat");
  hash_ = kHashStart;
  start();
  for (int32_t zone : {0, 1}) {
    ASSERT_TRUE(play_zone(zone, false).completed);
    leave_zone();
  }
  stop();
  EXPECT_EQ(hash_, first_two_zones);
}

// Shorter and longer frames change what is counted in updates (turret and hunter
// cadences, mine ages, the homing of the hexagon's pieces, patrols): the first zone still
// plays to its end.
TEST_F(ZonesTest, TheFirstZonePlaysToItsEndWithShortAndLongFrames) {
  for (int ms : {16, 50}) {
    SCOPED_TRACE(ms);
    frame_ms_ = ms;
    start();
    const zone_result r = play_zone(0, false);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.levels, kZoneRows[0].levels);
    EXPECT_EQ(std::count(r.tracks.begin(), r.tracks.end(), "shs.lvl"), 1);
    stop();
  }
}

}  // namespace
