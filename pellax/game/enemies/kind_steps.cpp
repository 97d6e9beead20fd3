#include "pellax/game/enemies/kind_steps.h"

#include <cmath>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"

void turn_and_drift(game_object* o, int32_t dt, float rate) {
  o->angle += o->spin * (float(dt) / 256.0f) * rate;
  transform_object(o);
  drift_step(o, dt);
}

void random_drift(game_object* o, float speed, int32_t lo, int32_t hi) {
  const int32_t fx = random_range(lo, hi);
  o->vx = speed * std::sin(o->angle) * float(fx) / 256.0f;
  const int32_t fy = random_range(lo, hi);
  o->vy = speed * std::cos(o->angle) * float(fy) / 256.0f;
}

float wrap_angle(float a) {
  if (a < 0.0f) a += 6.284f;
  if (a > 6.284f) a -= 6.284f;
  return a;
}

float heading_to_player(const game_object* o) {
  if (!player_object) return o->angle;
  const float dx = float(int64_t(player_object->x) - o->x) / 256.0f;
  const float dy = float(int64_t(player_object->y) - o->y) / 256.0f;
  return wrap_angle(std::atan2(dy, dx) + 1.5708f);
}

void muzzle_point(const game_object* o, float angle, int32_t* x, int32_t* y) {
  *x = clamp_int32(int64_t(o->x) + round_to_int(std::sin(angle) * 1.5f * 13.0f * 256.0f));
  *y = clamp_int32(int64_t(o->y) - round_to_int(std::cos(angle) * 1.5f * 13.0f * 256.0f));
}

void fire_ahead(const game_object* o, float speed) {
  int32_t x, y;
  muzzle_point(o, o->angle, &x, &y);
  spawn_kind18(x, y, o->angle, speed);
}

bool unit_vector(float x, float y, float* ux, float* uy) {
  const float n = std::sqrt(x * x + y * y);
  if (!(n > 0.0f) || !std::isfinite(n)) return false;
  *ux = x / n;
  *uy = y / n;
  return true;
}

void steer_toward_player(game_object* o, float accel, float limit, float friction) {
  if (!player_object) return;
  o->vx += double(player_object->x) - o->x > 0.0 ? accel : -accel;
  o->vy += double(player_object->y) - o->y > 0.0 ? accel : -accel;
  if (o->vx > limit || o->vy > limit || o->vx < -limit || o->vy < -limit) {
    o->vx *= friction;
    o->vy *= friction;
  }
}

void push_apart(game_object* o, int32_t r, float strength) {
  int32_t nx, ny;
  if (!find_object_near(o, r, &nx, &ny)) return;
  float ux, uy;
  if (!unit_vector(float(int64_t(o->x) - nx) / 256.0f, float(int64_t(o->y) - ny) / 256.0f, &ux, &uy))
    return;
  o->vx += ux * strength;
  o->vy += uy * strength;
}
