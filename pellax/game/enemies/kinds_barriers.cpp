// Barriers: heavy scoreless obstacles that shots and rams cannot harm and that cost a life
// to touch. They spin in place or slide back and forth (one leans toward the ship on a
// tether round its spawn point), cycling their colours through one palette.
#include <cmath>
#include <initializer_list>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/kind_steps.h"

namespace {

const uint16_t kPalette[6] = {0xFA8A, 0xC605, 0x57EA, 0x2E18, 0x529F, 0xC158};

// Shapes with y up (negated at spawn), small enough that every formation point plus its
// reach stays inside the canvas.
// 101: a flat hexagonal bar, short enough to turn inside the pockets of level 22.
const int32_t kBouncer[][4] = {{-4863, 0, -3327, 1536},   {-3327, 1536, 3328, 1536}, {3328, 1536, 4864, 0},
                               {4864, 0, 3328, -1535},    {3328, -1535, -3327, -1535}, {-3327, -1535, -4863, 0}};
// 102: an hourglass with a crossbar.
const int32_t kOscillator[][4] = {{-5119, 6144, 5120, 6144},  {5120, 6144, -5119, -6143}, {-5119, -6143, 5120, -6143},
                                  {5120, -6143, -5119, 6144}, {-5119, 0, -2559, 0},        {2560, 0, 5120, 0},
                                  {-1023, 0, 1024, 0}};
// 107: a five-pointed star drawn in one stroke.
const int32_t kStar[][4] = {{0, 9216, 5417, -7455},    {5417, -7455, -8765, 2848}, {-8765, 2848, 8765, 2848},
                            {8765, 2848, -5417, -7455}, {-5417, -7455, 0, 9216}};
// 109: a square frame with a cross through it and a marker on two sides.
const int32_t kSlider[][4] = {{-6143, 6144, 6144, 6144},  {6144, 6144, 6144, -6143}, {6144, -6143, -6143, -6143},
                              {-6143, -6143, -6143, 6144}, {-6143, 6144, 6144, -6143}, {-6143, -6143, 6144, 6144},
                              {-2047, 7680, 2048, 7680},   {-2047, -7679, 2048, -7679}};
// 10: a small triangle.
const int32_t kTethered[][4] = {{0, 5120, 4434, -2559}, {4434, -2559, -4433, -2559}, {-4433, -2559, 0, 5120}};

uint32_t palette_colours(int32_t i, int32_t) { return both_colours(kPalette[i % 6]); }
uint32_t oscillator_colours(int32_t i, int32_t) { return both_colours(i < 6 ? kPalette[i] : 0xF401); }
uint32_t slider_colours(int32_t i, int32_t) { return both_colours(i < 6 ? kPalette[i] : i == 6 ? 0xF801 : 0xFFFF); }

struct barrier_kind {
  uint16_t kind;
  const int32_t (*rows)[4];
  int32_t n;
  segment_colour_fn colour;
};

const barrier_kind kBarriers[] = {
    {101, kBouncer, 6, palette_colours},    {102, kOscillator, 7, oscillator_colours},
    {107, kStar, 5, palette_colours},       {109, kSlider, 8, slider_colours},
    {10, kTethered, 3, palette_colours},
};

// Draws the spin, then the angle (the order the values are listed in).
game_object* spawn_barrier(const barrier_kind& k, int32_t x, int32_t y) {
  game_object* o = new_enemy(k.kind, x, y);
  if (!o) return nullptr;
  o->flags = kObjDrawn | kObjActive | kObjWarping | kObjBarrier;
  o->mass = 60.0f;
  const int32_t r = random_range(0, 100);
  o->spin = float(r) / 10000.0f + 0.01f;
  o->angle = random_angle();
  o->work_a = x;
  o->work_b = y;
  load_shape(o, k.rows, k.n, k.n, k.colour, shape_build{shape_scale, shape_scale * 5 / 6, true});
  ++kind_alive[k.kind];
  return o;
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kBarriers, spawn_barrier, K>;

void step_y(game_object* o, int32_t d, float vy) {
  o->y += d;
  o->vy = vy;
}

// In level 22 between 144 and 200 px; in level 23 on and on in its direction, which the
// walls and the border turn (through the same counter); elsewhere still.
void bounce_vertically(game_object* o) {
  int32_t& direction = o->counters[4];
  if (level_number == 22) {
    step_y(o, direction == 0 ? 512 : -512, 0.8f);
    if (o->y > 51200) direction = 1;
    if (o->y < 36864) direction = 0;
  } else if (level_number == 23) {
    step_y(o, direction == 0 ? 512 : -512, 0.8f);
  }
}

// 30 frames down 2 px a frame, 30 back up.
void oscillate(game_object* o) {
  int32_t& c = o->counters[4];
  step_y(o, c <= 29 ? 512 : -512, 0.8f);
  if (++c > 59) c = 0;
}

// Between its limits on each axis that has any; on reaching the far limit it turns back
// in the same frame.
void slide(game_object* o) {
  int32_t* c = o->counters;  // x right, x left, y top, y bottom, x direction, y direction
  if (c[0] != 0) {
    if (c[4] == 0) {
      if (o->x < c[0]) {
        o->x += 512;
        o->vy = 0.8f;
      }
      if (o->x >= c[0]) c[4] = 1;
    }
    if (c[4] == 1) {
      if (o->x > c[1]) {
        o->x -= 512;
        o->vy = 0.8f;
      }
      if (o->x <= c[1]) c[4] = 0;
    }
  }
  if (c[3] != 0) {
    if (c[5] == 0) {
      if (o->y < c[3]) step_y(o, 256, 0.4f);
      if (o->y >= c[3]) c[5] = 1;
    }
    if (c[5] == 1) {
      if (o->y > c[2]) step_y(o, -256, 0.4f);
      if (o->y <= c[2]) c[5] = 0;
    }
  }
}

// Leans toward the ship while it lives; a step that would leave the tether (just under
// 70.71 px round the spawn point) is not taken, the velocity is kept.
void lean_velocity(game_object* o) {
  float ux, uy;
  if (!player_dead && player_object &&
      unit_vector(float(int64_t(player_object->x) - o->x) / 256.0f,
                  float(int64_t(player_object->y) - o->y) / 256.0f, &ux, &uy)) {
    o->vx = ux * 0.2f * speed_scale(0.9f, 0.1f);
    o->vy = uy * 0.2f * speed_scale(0.9f, 0.1f);
  } else {
    o->vx = o->vy = 0.0f;
  }
}

void tether_step(game_object* o, int32_t dt) {
  const float f = float(dt) / 256.0f;
  const int64_t x = int64_t(o->x) + round_to_int(o->vx * f * 256.0f);
  const int64_t y = int64_t(o->y) + round_to_int(o->vy * f * 256.0f);
  const int64_t dx = x - o->work_a, dy = y - o->work_b;
  if (((dy * dy) >> 8) + ((dx * dx) >> 8) > 1279999) return;
  o->x = int32_t(x);
  o->y = int32_t(y);
}

void update_barrier(game_object* o, int32_t dt) {
  if (!warp_in_step(o, dt)) {
    o->timer += dt;
    switch (o->kind) {
      case 101: bounce_vertically(o); break;
      case 102: oscillate(o); break;
      case 109: slide(o); break;
      case 10: lean_velocity(o); break;
      default: break;
    }
    if (o->timer > 3840) {
      o->variant = (o->variant + 1) % 6;
      o->timer -= 3840;
      for (int32_t i = 0; i <= 8 && i < o->segment_count; ++i) o->colour_a[i] = o->colour_b[i] = kPalette[o->variant];
    }
  }
  // Barriers move only by their own steps: the spin, and the tether's lean.
  o->angle += o->spin * (float(dt) / 256.0f) * (o->kind == 107 ? 0.25f : 1.0f);
  transform_object(o);
  if (o->kind == 10) tether_step(o, dt);
}

template <int K>
void kill_barrier(uint16_t index) {
  --kind_alive[K];
  free_object(index);
}

}  // namespace

void spawn_kind109(int32_t x, int32_t y, int32_t y_top, int32_t y_bottom, int32_t x_right, int32_t x_left) {
  game_object* o = spawn_barrier(kBarriers[3], x, y);
  if (!o) return;
  o->counters[0] = x_right;
  o->counters[1] = x_left;
  o->counters[2] = y_top;
  o->counters[3] = y_bottom;
}

void register_barriers() {
  register_kind(kBouncingBarrier, spawn_one<kBouncingBarrier>, update_barrier, kill_barrier<kBouncingBarrier>);
  register_kind(kOscillatingBarrier, spawn_one<kOscillatingBarrier>, update_barrier, kill_barrier<kOscillatingBarrier>);
  register_kind(kStarBarrier, spawn_one<kStarBarrier>, update_barrier, kill_barrier<kStarBarrier>);
  register_kind(kSlidingBarrier, [](int32_t x, int32_t y) { spawn_kind109(x, y, 0, 0, 0, 0); }, update_barrier,
                kill_barrier<kSlidingBarrier>);
  register_kind(kTetherBarrier, spawn_one<kTetherBarrier>, update_barrier, kill_barrier<kTetherBarrier>);
}
