// Drifters: tumbling rocks with a random heading and speed that spin slowly and fly
// straight until something hits them; the big rock breaks into three pieces.
#include <cmath>

#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/enemies/enemy_kinds.h"

namespace {

const int32_t kSquare[][4] = {{-4095, -4096, 4096, -4096}, {4096, -4096, 4096, 4095},
                              {4096, 4095, -4095, 4095},   {-4095, 4095, -4095, -4096}};
const int32_t kRockShape[][4] = {{-3071, -3072, -8191, 0}, {-8191, 0, -3583, 2047},  {-3583, 2047, -3583, 4095},
                            {-3583, 4095, 0, 6143},   {0, 6143, 1024, 5119},    {1024, 5119, 4096, 4607},
                            {4096, 4607, 5632, 3071}, {5632, 3071, 4096, -1536}, {4096, -1536, -3071, -3072},
                            {-3071, -3072, -3071, -3072}};
const int32_t kSmallRockShape[][4] = {{1536, -2560, 2304, 0},  {2304, 0, 4096, 1023},     {4096, 1023, 2816, 2815},
                                 {2816, 2815, -1791, 2815}, {-1791, 2815, -2559, 1535}, {-2559, 1535, -2559, 0},
                                 {-2559, 0, 1536, -2560}, {1536, -2560, 1536, -2560}};
// The big rock's outline and its inner lines; all fifteen are loaded (the last is an inner
// line across the rock) so that the shape, its hit list and its copies agree.
const int32_t kBigRockShape[][4] = {{-6143, -6144, -16383, 0}, {-16383, 0, -7167, 4095}, {-7167, 4095, -7167, 8191},
                               {-7167, 8191, 0, 12287},   {0, 12287, 2048, 10239},  {2048, 10239, 8192, 9215},
                               {8192, 9215, 11264, 6143}, {11264, 6143, 8192, -3072}, {8192, -3072, -6143, -6144},
                               {-6143, -6144, 0, 2047},   {0, 2047, -1023, 3583},   {-1023, 3583, 3584, 6143},
                               {3584, 6143, -511, 6655},  {-511, 6655, 2048, 10239}, {2048, 10239, -6143, -6144}};

uint32_t square_colours(int32_t i, int32_t) { return both_colours(i % 2 == 0 ? 0x1C63 : 0x9672); }
uint32_t rock_colours(int32_t i, int32_t) {
  return i % 2 == 0 ? (0xFA08u << 16) | 0xFC63 : (0xFC63u << 16) | 0xFA08;
}

struct drifter_kind {
  uint16_t kind;
  const int32_t (*rows)[4];
  int32_t n;
  int32_t hit_points, score;
  segment_colour_fn colour;
};

const drifter_kind kDrifters[] = {
    {4, kSquare, 4, 0, 150, square_colours},
    {23, kRockShape, 10, 1, 100, rock_colours},
    {26, kSmallRockShape, 8, 0, 50, rock_colours},
    {24, kBigRockShape, 15, 3, 800, rock_colours},
};

void spawn_drifter(const drifter_kind& d, int32_t x, int32_t y) {
  game_object* o = new_enemy(d.kind, x, y);
  if (!o) return;
  o->hit_points = d.hit_points;
  o->score = d.score;
  const int32_t spin_draw = random_range(0, 100);
  o->spin = float(spin_draw) / 2500.0f - 0.02f;
  o->angle = random_angle();
  const float speed = speed_scale(0.8f, 0.2f);
  const int32_t fx = random_range(80, 150);
  o->vx = speed * std::sin(o->angle) * (float(fx) / 256.0f);
  const int32_t fy = random_range(80, 150);
  o->vy = speed * std::cos(o->angle) * (float(fy) / 256.0f);
  load_shape(o, d.rows, d.n, d.n, d.colour);
  ++kind_alive[d.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kDrifters, spawn_drifter, K>;

void spin_and_drift(game_object* o, int32_t dt) {
  warp_in_step(o, dt);
  o->angle += o->spin * (float(dt) / 256.0f);
  transform_object(o);
  drift_step(o, dt);
}

void drifter_kill(uint16_t index, int32_t kind) {
  const game_object& o = object_at(index);
  const int32_t x = o.x, y = o.y;
  spark_burst(x, y, 40, spark_style{1, 1, 1, 0xA285, 0, 3000, 3.5f, 1024, 2048});
  spark_burst(x, y, 80, spark_style{3, 7, 7, 0xFD0A, 3000, 3000, 6.0f, 1024, 3072});
  finish_kill(index, kind);
  if (kind == 24) {
    spawn_one<23>(x - 20, y - 20);
    spawn_one<23>(x + 20, y + 20);
    spawn_one<26>(x + 10, y - 10);
  }
}

template <int K>
void kill_one(uint16_t index) { drifter_kill(index, K); }

}  // namespace

void register_drifters() {
  register_kind(kSquareDrifter, spawn_one<kSquareDrifter>, spin_and_drift, kill_one<kSquareDrifter>);
  register_kind(kRock, spawn_one<kRock>, spin_and_drift, kill_one<kRock>);
  register_kind(kSmallRock, spawn_one<kSmallRock>, spin_and_drift, kill_one<kSmallRock>);
  register_kind(kBigRock, spawn_one<kBigRock>, spin_and_drift, kill_one<kBigRock>);
}
