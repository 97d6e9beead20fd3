// The playing frame's object step and a whole playing frame of the busiest scene of the
// first zones: update_play over 200 objects (large shapes among them), and one frame of
// the step and the drawing with a full wave, sparks and shots; a frame of the heaviest
// waves of the later zones, and the collision test of the largest bosses. After the usual table each
// is given as a share of the console's budget: 6 million cycles (200 MHz) per 30-ms frame.
// A plain all-pairs bounding-box pass over the same objects runs alongside as the simple
// broad phase a user would write instead of the ship-and-shots tests.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "bench/frame_budget.h"
#include "pellax/base/random.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/flow/game_states.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/draw_passes.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/video.h"

namespace {

int used_count() {
  int n = 0;
  walk_objects([&](uint16_t) { ++n; });
  return n;
}

// The game set up once: pools, the world, the ship in the middle of the arena.
void ensure_game() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  video_open();
  game_init();
  create_player_ship();
  mt_seed(7);
}

// Empty pools but for a live ship in the middle of the arena, at the start of a level.
void start_level(int32_t level) {
  free_objects_with_flags(0xFFFF);
  clear_particles();
  create_player_ship();
  level_number = level;
  difficulty_level = 2;
  stage_begin();
  camera_x = 224 * 256;
  camera_y = 264 * 256;
  place_player_ship_centre();
  respawn_pause = 0;
  player_dead = 0;
  lives = 5;
}

// A wave at its fullest: the ship, 20 shots, and enemies up to 200 objects with big rocks
// and bonus shapes (45 and 81 segments) among blocks and rocks, spread over the arena.
void fill_scene(int particles) {
  start_level(0);
  game_speed = 1.6f;
  const int kinds[] = {24, 111, 23, 3, 29, 26, 4, 113, 31, 110};
  for (int i = 0; used_count() < kObjectCount - 20; ++i) {
    const int32_t x = (140 + (i * 53) % 480) * 256, y = (140 + (i * 97) % 480) * 256;
    spawn_kind(kinds[i % 10], x, y);
    object_at(object_pool->heads[kObjectUsed]).flags &= ~kObjWarping;
    object_at(object_pool->heads[kObjectUsed]).scale = 0;
  }
  for (int i = 0; i < 20; ++i) {
    player_object->angle = float(i) * 0.314f;
    fire_player_shot();
  }
  player_object->angle = 0.0f;
  for (int i = 0; i < particles / 60; ++i) spawn_score_popup(100, 300 * 256, 300 * 256);
  for (int i = 0; i < particles / 130; ++i) explode_big();
}

std::vector<unsigned char>& snapshot() {
  static std::vector<unsigned char> s;
  return s;
}
void save_scene() {
  snapshot().assign(reinterpret_cast<unsigned char*>(object_pool),
                    reinterpret_cast<unsigned char*>(object_pool) + sizeof *object_pool);
}
void restore_scene() { std::memcpy(object_pool, snapshot().data(), sizeof *object_pool); }

void BM_update_play_200_objects(benchmark::State& state) {
  ensure_game();
  fill_scene(0);
  save_scene();
  frame_time = 3.0f;
  tick_step = 896;
  const int objects = used_count();
  for (auto _ : state) {
    state.PauseTiming();
    restore_scene();
    state.ResumeTiming();
    update_play();
    benchmark::ClobberMemory();
  }
  state.counters["objects"] = objects;
}
BUDGET_BENCHMARK(BM_update_play_200_objects);

// All pairs of the same objects, box against box: what a simple engine would test.
void BM_all_pairs_boxes_reference(benchmark::State& state) {
  ensure_game();
  fill_scene(0);
  std::vector<const game_object*> objects;
  walk_objects([&](uint16_t i) { objects.push_back(&object_at(i)); });
  for (auto _ : state) {
    int touching = 0;
    for (size_t a = 0; a < objects.size(); ++a) {
      for (size_t b = a + 1; b < objects.size(); ++b) {
        const game_object& p = *objects[a];
        const game_object& q = *objects[b];
        touching += p.x + p.min_x <= q.x + q.max_x && q.x + q.min_x <= p.x + p.max_x &&
                    p.y + p.min_y <= q.y + q.max_y && q.y + q.min_y <= p.y + p.max_y;
      }
    }
    benchmark::DoNotOptimize(touching);
  }
}
BENCHMARK(BM_all_pairs_boxes_reference);

// One playing frame of the scene in the pools, from the same start each time: the state's
// step (director, particles, popups, update_play, camera) and the frame's drawing.
void time_playing_frames(benchmark::State& state) {
  save_scene();
  game_state = kStatePlaying;
  screen_phase = 8;
  frame_time = 3.0f;
  tick_step = 896;
  for (auto _ : state) {
    state.PauseTiming();
    restore_scene();
    state.ResumeTiming();
    step_playing(0);
    draw_frame();
    benchmark::ClobberMemory();
  }
}

// The full scene and 3,000 sparks.
void BM_playing_frame_busiest(benchmark::State& state) {
  ensure_game();
  fill_scene(3000);
  time_playing_frames(state);
}
BUDGET_BENCHMARK(BM_playing_frame_busiest);

// The heaviest waves of the later zones: a level's formation arrived (warp-ins over) with
// the ship in the middle of the arena. Levels 25 and 31 hold the most objects and segments
// (about 70 and 90 objects, some 1,300 segments); 27 is the densest of rocks and blocks.
void fill_wave(int32_t level) {
  start_level(level);
  set_game_speed(2.0f + float(level) / 12.0f);
  stage_spawn_formation(level);
  walk_objects([](uint16_t i) {
    game_object& o = object_at(i);
    if (o.flags & kObjWarping) enemy_update(&o, 12801);
  });
}

void BM_playing_frame_heaviest_wave(benchmark::State& state) {
  ensure_game();
  fill_wave(int32_t(state.range(0)));
  int objects = 0, segments = 0;
  walk_objects([&](uint16_t i) {
    ++objects;
    segments += object_at(i).segment_count;
  });
  state.counters["objects"] = objects;
  state.counters["segments"] = segments;
  time_playing_frames(state);
}
BUDGET_BENCHMARK(BM_playing_frame_heaviest_wave)->Arg(25)->Arg(27)->Arg(31);

// Two of the largest bosses (50 hit segments each) with their boxes overlapping but no
// segment crossing: every pair of hit segments is tested.
struct boss_pair {
  game_object* a;
  game_object* b;
};
boss_pair overlapping_bosses() {
  ensure_game();
  free_objects_with_flags(0xFFFF);
  create_player_ship();
  shape_scale = 160;
  spawn_kind(104, 300 * 256, 300 * 256);
  game_object* a = &object_at(object_pool->heads[kObjectUsed]);
  spawn_kind(27, 400 * 256, 300 * 256);
  game_object* b = &object_at(object_pool->heads[kObjectUsed]);
  for (game_object* o : {a, b}) {
    o->flags &= ~kObjWarping;
    o->scale = 0;
    o->angle = 0.0f;
    transform_object(o);
  }
  // Slide the second in until the boxes overlap, stopping short of a crossing.
  while (b->x + b->min_x > a->x + a->max_x - 8 * 256) {
    b->x -= 256;
    if (objects_overlap(a, b)) {
      b->x += 256;
      break;
    }
  }
  return {a, b};
}

void BM_objects_overlap_largest_bosses(benchmark::State& state) {
  const boss_pair p = overlapping_bosses();
  int hits = 0;
  for (auto _ : state) hits += objects_overlap(p.a, p.b);
  benchmark::DoNotOptimize(hits);
  state.counters["pairs"] = double(p.a->hit_count) * p.b->hit_count;
  state.counters["overlap"] = hits > 0;
}
BENCHMARK(BM_objects_overlap_largest_bosses);

// The same pairs as a user would write them: boxes, then every pair of segments with
// double-precision cross products.
void BM_objects_overlap_double_reference(benchmark::State& state) {
  const boss_pair p = overlapping_bosses();
  auto cross = [](double ax, double ay, double bx, double by, double cx, double cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  };
  auto test = [&](const game_object& s, const game_object& t) {
    if (s.x + s.max_x < t.x + t.min_x || t.x + t.max_x < s.x + s.min_x || s.y + s.max_y < t.y + t.min_y ||
        t.y + t.max_y < s.y + s.min_y)
      return 0;
    for (int32_t m = 0; m < s.hit_count; ++m) {
      const int32_t i = s.hit_list[m];
      const double ax = s.x + s.world_x1[i], ay = s.y + s.world_y1[i], bx = s.x + s.world_x2[i], by = s.y + s.world_y2[i];
      for (int32_t n = 0; n < t.hit_count; ++n) {
        const int32_t j = t.hit_list[n];
        const double cx = t.x + t.world_x1[j], cy = t.y + t.world_y1[j], dx = t.x + t.world_x2[j], dy = t.y + t.world_y2[j];
        if ((cross(ax, ay, bx, by, cx, cy) > 0) != (cross(ax, ay, bx, by, dx, dy) > 0) &&
            (cross(cx, cy, dx, dy, ax, ay) > 0) != (cross(cx, cy, dx, dy, bx, by) > 0))
          return 1;
      }
    }
    return 0;
  };
  int hits = 0;
  for (auto _ : state) hits += test(*p.a, *p.b);
  benchmark::DoNotOptimize(hits);
}
BENCHMARK(BM_objects_overlap_double_reference);

}  // namespace

int main(int argc, char** argv) { return budget::Main(argc, argv, {0.030, "30 ms", "6 M"}); }
