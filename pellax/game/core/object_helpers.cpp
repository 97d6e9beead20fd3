#include "pellax/game/core/object_helpers.h"

#include <cmath>
#include <initializer_list>
#include <cstdlib>
#include <cstring>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/base/sine_fixed.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"

namespace {

// Sine and cosine of an angle as 8.8, kept for the last angles seen: a wave's objects share
// a few angles from frame to frame.
struct turn {
  bool known = false;
  uint32_t bits = 0;
  int32_t sine = 0, cosine = 0;
};
turn turns[64];

turn turn_of(float angle) {
  uint32_t bits;
  std::memcpy(&bits, &angle, sizeof bits);
  turn& t = turns[(bits ^ bits >> 11 ^ bits >> 22) & 63];
  if (!t.known || t.bits != bits) {
    t.known = true;
    t.bits = bits;
    sine_cosine_fixed(angle, &t.sine, &t.cosine);
  }
  return t;
}

}  // namespace

void transform_object(game_object* o) {
  o->min_x = o->min_y = 256000;
  o->max_x = o->max_y = 0;
  const int32_t n = o->segment_count < 0 ? 0
                    : o->segment_count > kMaxSegments ? kMaxSegments : o->segment_count;
  int32_t* model[4] = {o->model_x1, o->model_y1, o->model_x2, o->model_y2};
  int32_t* world[4] = {o->world_x1, o->world_y1, o->world_x2, o->world_y2};
  if (o->angle == 0.0f) {
    for (int k = 0; k < 4; ++k)
      for (int32_t i = 0; i < n; ++i) world[k][i] = model[k][i];
  } else {
    const turn t = turn_of(o->angle);
    const int32_t s = t.sine, c = t.cosine;
    // Sine and cosine are at most 256, so points within 2^21 of the origin (every model
    // drawn) rotate in 32 bits; the rest take the 64-bit products and the clamp.
    auto small = [](int32_t v) { return uint32_t(v) + (1u << 21) < (1u << 22); };
    for (int end = 0; end < 4; end += 2) {
      for (int32_t i = 0; i < n; ++i) {
        const int32_t x = model[end][i], y = model[end + 1][i];
        if (small(x) && small(y)) {
          world[end][i] = (x * c - y * s) >> 8;
          world[end + 1][i] = (x * s + y * c) >> 8;
        } else {
          world[end][i] = clamp_int32((int64_t(x) * c - int64_t(y) * s) >> 8);
          world[end + 1][i] = clamp_int32((int64_t(x) * s + int64_t(y) * c) >> 8);
        }
      }
    }
  }
  if (o->scale != 0) {
    for (int k = 0; k < 4; ++k)
      for (int32_t i = 0; i < n; ++i)
        world[k][i] = clamp_int32((int64_t(world[k][i]) * o->scale) >> 8);
  }
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t v : {o->world_x1[i], o->world_x2[i]}) {
      if (v < o->min_x) o->min_x = v;
      if (v > o->max_x) o->max_x = v;
    }
    for (int32_t v : {o->world_y1[i], o->world_y2[i]}) {
      if (v < o->min_y) o->min_y = v;
      if (v > o->max_y) o->max_y = v;
    }
  }
  if (o->kind == 1 && shield_on) {
    o->min_x = o->min_y = -4608;
    o->max_x = o->max_y = 4608;
  }
}

void add_parallel_segments(game_object* o, int32_t seg, int32_t n, int32_t spacing) {
  if (n <= 0 || seg < 0 || seg >= o->segment_count || seg >= kMaxSegments) return;
  const float nx = float(int64_t(o->model_y1[seg]) - o->model_y2[seg]) / 256.0f;
  const float ny = float(int64_t(o->model_x2[seg]) - o->model_x1[seg]) / 256.0f;
  const float len = std::sqrt(nx * nx + ny * ny);
  const float scale = float(spacing) / 256.0f;
  // A zero-length segment (a dot) gets copies in its own place: every shape keeps three
  // segments per base segment.
  const int32_t ox = len == 0.0f ? 0 : round_to_int(nx / len * scale * 256.0f);
  const int32_t oy = len == 0.0f ? 0 : round_to_int(ny / len * scale * 256.0f);
  for (int32_t k = 0; k < n; ++k) {
    for (int32_t side : {1, -1}) {
      // The arrays hold 150 segments: copies past that are dropped.
      if (o->segment_count >= kMaxSegments) return;
      const int32_t d = o->segment_count++;
      const int64_t dx = int64_t(side) * (k + 1) * ox, dy = int64_t(side) * (k + 1) * oy;
      o->model_x1[d] = clamp_int32(o->model_x1[seg] + dx);
      o->model_y1[d] = clamp_int32(o->model_y1[seg] + dy);
      o->model_x2[d] = clamp_int32(o->model_x2[seg] + dx);
      o->model_y2[d] = clamp_int32(o->model_y2[seg] + dy);
      o->colour_a[d] = o->colour_a[seg];
      o->colour_b[d] = o->colour_b[seg];
    }
  }
}

void collide_objects(game_object* a, game_object* b) {
  const float dx = float(int64_t(b->x) - a->x) / 256.0f;
  const float dy = float(int64_t(b->y) - a->y) / 256.0f;
  const float dist = std::sqrt(dx * dx + dy * dy);
  if (dist == 0.0f) return;
  const float nx = dx / dist, ny = dy / dist;
  const float vn = nx * (b->vx - a->vx) + ny * (b->vy - a->vy);
  if (!(vn < 0.0f)) return;
  // A mass of 0 (records are not cleared on allocation) would give NaN velocities:
  // such an object takes no share of the impulse, as if immovable.
  const bool a_moves = a->mass > 0.0f, b_moves = b->mass > 0.0f;
  if (!a_moves && !b_moves) return;
  const float inv = (a_moves ? 1.0f / a->mass : 0.0f) + (b_moves ? 1.0f / b->mass : 0.0f);
  const float j = vn / inv;
  if (a_moves) {
    a->vx += nx * j / a->mass;
    a->vy += ny * j / a->mass;
  }
  if (b_moves) {
    b->vx -= nx * j / b->mass;
    b->vy -= ny * j / b->mass;
  }
}

void step_object_motion(uint16_t index) {
  game_object& o = object_at(index);
  // Held at the range: a long frame or a wild speed must not wrap a position round.
  o.x = clamp_int32(int64_t(o.x) + round_to_int(o.vx * frame_time * 256.0f));
  o.y = clamp_int32(int64_t(o.y) + round_to_int(o.vy * frame_time * 256.0f));
}

namespace {

template <typename Match>
int find_near(const game_object* self, int32_t r, int32_t* x, int32_t* y, Match match) {
  if (!object_pool) return 0;
  for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next) {
    const game_object& o = object_at(i);
    if (&o == self || !match(o)) continue;
    if (std::llabs(int64_t(o.x) - self->x) < r && std::llabs(int64_t(o.y) - self->y) < r) {
      *x = o.x;
      *y = o.y;
      return 1;
    }
  }
  return 0;
}

}  // namespace

int find_object_of_kind_near(const game_object* self, uint16_t kind, int32_t r, int32_t* x,
                             int32_t* y) {
  return find_near(self, r, x, y, [kind](const game_object& o) { return o.kind == kind; });
}

int find_object_near(const game_object* self, int32_t r, int32_t* x, int32_t* y) {
  return find_near(self, r, x, y,
                   [](const game_object& o) { return (o.flags & kObjKeptApart) != 0; });
}

void pick_spawn_position(int32_t* x, int32_t* y) {
  if (player_object) {
    const game_object& ship = *player_object;
    const float speed = std::sqrt(ship.vx * ship.vx + ship.vy * ship.vy);
    for (int attempt = 0; attempt < 20; ++attempt) {
      const int32_t r = random_range(100, 130);
      const int32_t turn = random_range(100, 900);
      const float a = ship.angle + 3.1416f + float(turn) * 6.283f / 1000.0f;
      const float sa = std::sin(a), ca = std::cos(a);
      if (speed != 0.0f && sa * (ship.vx / speed) + ca * (ship.vy / speed) > 0.9f) continue;
      // In 64 bits: a ship or camera at the end of the range must not wrap into the arena.
      const int64_t px_ = ship.x + int64_t(round_to_int(float(r) * sa * 256.0f));
      const int64_t py_ = ship.y + int64_t(round_to_int(float(r) * ca * 256.0f));
      if (px_ < 0x9E01 || px_ > 0x261FF || py_ <= 0x9E00 || py_ > 0x261FF) continue;
      if (!(camera_x < px_ && px_ < camera_x + int64_t(0x14000))) continue;
      if (!(camera_y < py_ && py_ < camera_y + int64_t(0xF000))) continue;
      *x = int32_t(px_);
      *y = int32_t(py_);
      return;
    }
  }
  const int32_t fx = random_range(170, 600);
  const int32_t fy = random_range(170, 600);
  *x = fx * 256;
  *y = fy * 256;
}
