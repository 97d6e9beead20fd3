// The hexagon that splits into six homing pieces when shot, the drifting shooter, and the
// two standing shooters that push away from their neighbours (one of them armoured).
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

// Shapes with y up (negated at spawn). The hexagon: corner j at radius 9458, segment j
// from corner j to corner j + 1, then the three long diagonals.
const int32_t kHexagonShape[][4] = {{0, 9458, 8191, 4729},      {8191, 4729, 8191, -4729},  {8191, -4729, 0, -9458},
                               {0, -9458, -8191, -4729},   {-8191, -4729, -8191, 4729}, {-8191, 4729, 0, 9458},
                               {0, 9458, 0, -9458},        {8191, 4729, -8191, -4729}, {8191, -4729, -8191, 4729}};
// The drifting shooter: an arrowhead with a notched tail and a barrel at the nose.
const int32_t kDrifter[][4] = {{0, 8192, 5632, -5120},   {5632, -5120, 0, -2048},  {0, -2048, -5631, -5120},
                               {-5631, -5120, 0, 8192},  {0, 8192, 0, 11264},      {-2559, -1023, 2560, -1023}};
// The standing shooter: a square hull turned to a diamond, a barrel, and two fins that do
// not take hits.
const int32_t kStanding[][4] = {{0, 7168, 7168, 0},      {7168, 0, 0, -7167},      {0, -7167, -7167, 0},
                                {-7167, 0, 0, 7168},     {-1535, 6144, -1535, 10240}, {1536, 6144, 1536, 10240},
                                {-3583, -3583, -6143, -8191}, {3584, -3583, 6144, -8191}};
// The armoured shooter: an octagon with an inner square, a double barrel and two braces.
const int32_t kArmoured[][4] = {
    {-3071, 7424, 3072, 7424},   {3072, 7424, 7424, 3072},   {7424, 3072, 7424, -3071},
    {7424, -3071, 3072, -7423},  {3072, -7423, -3071, -7423}, {-3071, -7423, -7423, -3071},
    {-7423, -3071, -7423, 3072}, {-7423, 3072, -3071, 7424}, {-3071, 3072, 3072, 3072},
    {3072, 3072, 3072, -3071},   {3072, -3071, -3071, -3071}, {-3071, -3071, -3071, 3072},
    {-1023, 7424, -1023, 11264}, {1024, 7424, 1024, 11264}};

uint32_t hexagon_colours(int32_t, int32_t) { return both_colours(0x2FE5); }
uint32_t drifter_colours(int32_t, int32_t) { return both_colours(0xFFE5); }
uint32_t standing_colours(int32_t, int32_t) { return (0xF8A3u << 16) | 0xA862; }
uint32_t armoured_colours(int32_t, int32_t) { return both_colours(0xFFFE); }

float s(float base, float extra) { return speed_scale(base, extra); }
shape_build build() { return shape_build{shape_scale, shape_scale * 5 / 6, true}; }

struct splitter_kind {
  uint16_t kind, flags;
  float mass;
  int32_t hit_points, score;
  const int32_t (*rows)[4];
  int32_t n, hit_count;
  segment_colour_fn colour;
};

const splitter_kind kKinds[] = {
    {13, 15, 6.0f, 0, 200, kHexagonShape, 9, 6, hexagon_colours},
    {15, 7, 4.0f, 0, 300, kDrifter, 6, 6, drifter_colours},
    {16, 39, 4.0f, 0, 400, kStanding, 8, 6, standing_colours},
    {117, 39, 4.0f, 15, 400, kArmoured, 14, 14, armoured_colours},
};

// The draws in the order the values are listed: spin, angle, then the velocity's factors
// (13 and 15) or the push speed's (16 and 117).
void spawn_splitter(const splitter_kind& k, int32_t x, int32_t y) {
  game_object* o = new_enemy(k.kind, x, y);
  if (!o) return;
  o->flags = k.flags;
  o->mass = k.mass;
  o->hit_points = k.hit_points;
  o->score = k.score;
  const int32_t r = k.kind == 16 || k.kind == 117 ? random_range(0, 200) : random_range(0, 100);
  o->spin = float(r) / 2500.0f - (k.kind == 13 ? 0.02f : 0.04f);
  o->angle = random_angle();
  if (k.kind == 13 || k.kind == 15) {
    random_drift(o, k.kind == 13 ? s(0.35f, 0.05f) : s(0.47f, 0.07f), 80, 150);
  } else {
    const int32_t f = random_range(80, 120);
    o->work_f = s(0.8f, 0.3f) * float(f) / 256.0f;
  }
  load_shape(o, k.rows, k.n, k.hit_count, k.colour, build());
  ++kind_alive[k.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kKinds, spawn_splitter, K>;

// The warp-in; the hexagon is proof against the ship until it has fully arrived.
bool arrive(game_object* o, int32_t dt) {
  if (!warp_in_step(o, dt)) return false;
  if (o->kind == 13 && !(o->flags & kObjWarping)) o->flags &= ~kObjBarrier;
  return true;
}

void update_hexagon(game_object* o, int32_t dt) {
  arrive(o, dt);
  turn_and_drift(o, dt);
}

// Quiet for 70 ticks, then a shot every (170 - 10 L) ticks.
void update_drifting_shooter(game_object* o, int32_t dt) {
  if (!arrive(o, dt)) {
    o->timer += dt;
    if (o->variant == 0) {
      if (o->timer > 17920) {
        o->timer = 0;
        o->variant = 1;
      }
    } else {
      const int32_t interval = (170 - 10 * difficulty_level) * 256;
      if (o->timer > interval) {
        fire_ahead(o, 0.05f * float(difficulty_level) + 0.5f);
        o->timer -= interval;
      }
    }
  }
  turn_and_drift(o, dt);
}

// Quiet for 100 (16) or 50 (117) ticks, then a shot every 100 ticks, pushed away from any
// neighbour within 60 px. Their steering toward the ship, reachable only with a frame
// longer than 150 ticks, is left out: they move only when pushed.
template <int FirstWait>
void update_standing_shooter(game_object* o, int32_t dt) {
  if (!arrive(o, dt)) {
    o->timer += dt;
    if (o->variant == 0) {
      if (o->timer > FirstWait) {
        o->variant = 1;
        o->timer = 0;
      }
    } else {
      if (o->timer > 25600) {
        fire_ahead(o, 0.8f);
        o->timer -= 25600;
      }
      push_apart(o, 15360, 0.25f * o->work_f);
    }
  }
  turn_and_drift(o, dt);
}

void spawn_piece(const game_object& parent, int32_t i) {
  const int32_t j = (i + 1) % 6;
  const int32_t p1x = parent.world_x1[i], p1y = parent.world_y1[i];
  const int32_t p2x = parent.world_x1[j], p2y = parent.world_y1[j];
  float ux = 0.0f, uy = 0.0f;
  unit_vector(float(int64_t(p1x) + p2x) / 256.0f, float(int64_t(p1y) + p2y) / 256.0f, &ux, &uy);
  const int32_t cx = clamp_int32(int64_t(parent.x) + round_to_int(16.0f * 256.0f * ux));
  const int32_t cy = clamp_int32(int64_t(parent.y) + round_to_int(16.0f * 256.0f * uy));
  game_object* o = new_enemy(14, cx, cy);
  if (!o) return;
  o->flags = kObjDrawn | kObjActive | kObjKeptApart;
  o->timer = 0;
  o->scale = 0;
  o->mass = 3.0f;
  o->score = 200;
  o->spin = parent.spin;
  const float speed = s(0.35f, 0.05f) * 0.4f;
  o->vx = ux * speed;
  o->vy = uy * speed;
  // Relative to the piece's own centre: the parent's centre, corner i, corner i + 1.
  const int32_t ox = int32_t(int64_t(parent.x) - cx), oy = int32_t(int64_t(parent.y) - cy);
  const int32_t pts[4][2] = {{ox, oy}, {ox + p1x, oy + p1y}, {ox + p2x, oy + p2y}, {ox, oy}};
  for (int32_t k = 0; k < 3; ++k) {
    o->model_x1[k] = o->world_x1[k] = pts[k][0];
    o->model_y1[k] = o->world_y1[k] = pts[k][1];
    o->model_x2[k] = o->world_x2[k] = pts[k + 1][0];
    o->model_y2[k] = o->world_y2[k] = pts[k + 1][1];
    o->colour_a[k] = parent.colour_a[0];
    o->colour_b[k] = parent.colour_b[0];
    o->hit_list[k] = k;
  }
  o->segment_count = 3;
  o->hit_count = 3;
  for (int32_t k = 0; k < 3; ++k) add_parallel_segments(o, k, 1, shape_scale * 5 / 6);
  transform_object(o);
  ++kind_alive[14];
}

// Homes on the ship by a fixed step a frame, damped above its limit, kept 20 px apart.
void update_piece(game_object* o, int32_t dt) {
  if (!player_dead) {
    steer_toward_player(o, s(0.35f, 0.1f) * 0.016f, 0.4f * s(0.5f, 0.09f), 0.99f);
    push_apart(o, 5120, 0.05f);
  }
  turn_and_drift(o, dt);
}

// Refused while the hexagon is more than 30 px outside the view (the drop is rolled all
// the same); else it bursts into six pieces that tile it.
void kill_hexagon(uint16_t index) {
  const game_object& o = object_at(index);
  if (o.x < camera_x - 7680 || o.x > camera_x + 89600 || o.y < camera_y - 7680 || o.y > camera_y + 69120)
    return;
  spark_burst(o.x, o.y, 40, spark_style{1, 2, 2, 0x57EA, 0, 3000, 3.5f, 1024, 2048});
  for (int32_t i = 0; i < 6; ++i) spawn_piece(o, i);
  finish_kill(index, 13);
}

void kill_piece(uint16_t index) {
  const game_object& o = object_at(index);
  spark_burst_jittered(o.x, o.y, 50, spark_style{3, 2, 2, 0x57EA, 0, 1000, 5.0f, 768, 5120});
  finish_kill(index, 14);
}

template <int K>
void kill_shooter(uint16_t index) {
  const game_object& o = object_at(index);
  spark_burst(o.x, o.y, 60, spark_style{3, 4, 4, 0xF785, 0, 3000, 8.5f, 1280, 2560});
  spark_burst(o.x, o.y, 50, spark_style{3, 7, 7, 0xFD0A, 2000, 2000, 6.0f, 768, 3072});
  finish_kill(index, K);
}

}  // namespace

void register_splitters() {
  register_kind(kHexagon, spawn_one<kHexagon>, update_hexagon, kill_hexagon);
  register_kind(kHexagonPiece, nullptr, update_piece, kill_piece);
  register_kind(kDriftingShooter, spawn_one<kDriftingShooter>, update_drifting_shooter, kill_shooter<kDriftingShooter>);
  register_kind(kStandingShooter, spawn_one<kStandingShooter>, update_standing_shooter<25600>,
                kill_shooter<kStandingShooter>);
  register_kind(kArmouredShooter, spawn_one<kArmouredShooter>, update_standing_shooter<12800>,
                kill_shooter<kArmouredShooter>);
}
