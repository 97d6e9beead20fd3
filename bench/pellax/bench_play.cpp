// The playing frame's object step and a whole playing frame of the busiest scene of the
// first zones: update_play over 200 objects (large shapes among them), and one frame of
// the step and the drawing with a full wave, sparks and shots. After the usual table each
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

#include "pellax/game/draw_passes.h"
#include "pellax/game/enemy_kinds.h"
#include "pellax/game/frame_loop.h"
#include "pellax/game/game_flow.h"
#include "pellax/game/game_states.h"
#include "pellax/game/object_helpers.h"
#include "pellax/game/object_pool.h"
#include "pellax/game/play_update.h"
#include "pellax/game/player_ship.h"
#include "pellax/game/random.h"
#include "pellax/game/run_state.h"
#include "pellax/game/screens.h"
#include "pellax/game/stage_director.h"
#include "pellax/game/world_image.h"
#include "pellax/platform/video.h"

namespace {

constexpr double kFrameSeconds = 0.030;
const char* const kBudgetMark = "budget";

void report_budget(benchmark::State& state) { state.counters[kBudgetMark] = 1.0; }

// The clock of this machine's first core, from /proc/cpuinfo (0 when it does not say).
double host_mhz() {
  std::FILE* f = std::fopen("/proc/cpuinfo", "r");
  if (!f) return 0.0;
  char line[256];
  double mhz = 0.0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "cpu MHz : %lf", &mhz) == 1) break;
  std::fclose(f);
  return mhz;
}

class budget_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown = runs;
    for (Run& run : shown) {
      if (run.counters.erase(kBudgetMark) == 0 || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_unit != benchmark::kTime) continue;
      const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      shares_.emplace_back(run.benchmark_name(), 100.0 * seconds / kFrameSeconds);
    }
    ConsoleReporter::ReportRuns(shown);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    const double mhz = host_mhz();
    out << "\nShare of the 30-ms frame on this machine, and this machine's cycles (at " << mhz
        << " MHz) as a share of the console's 6 M cycles per 30-ms frame:\n";
    for (const auto& [name, percent] : shares_) {
      const double cycles = percent / 100.0 * kFrameSeconds * mhz * 1e6;
      char line[200];
      std::snprintf(line, sizeof line, "%-40s %8.3f %% of 30 ms  %10.0f cycles = %7.2f %% of 6 M\n",
                    name.c_str(), percent, cycles, 100.0 * cycles / 6e6);
      out << line;
    }
  }

 private:
  std::vector<std::pair<std::string, double>> shares_;
};

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

// A wave at its fullest: the ship, 20 shots, and enemies up to 200 objects with big rocks
// and bonus shapes (45 and 81 segments) among blocks and rocks, spread over the arena.
void fill_scene(int particles) {
  free_objects_with_flags(0xFFFF);
  clear_particles();
  stage_begin();
  level_number = 0;
  difficulty_level = 2;
  game_speed = 1.6f;
  camera_x = 224 * 256;
  camera_y = 264 * 256;
  place_player_ship_centre();
  respawn_pause = 0;
  player_dead = 0;
  lives = 5;
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
  report_budget(state);
}
BENCHMARK(BM_update_play_200_objects);

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

// One playing frame: the state's step (director, particles, popups, update_play, camera)
// and the frame's drawing, with the full scene and 3,000 sparks.
void BM_playing_frame_busiest(benchmark::State& state) {
  ensure_game();
  fill_scene(3000);
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
  report_budget(state);
}
BENCHMARK(BM_playing_frame_busiest);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  budget_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
