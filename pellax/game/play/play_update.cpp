#include "pellax/game/play/play_update.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/base/wall_table.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/messages.h"
#include "pellax/platform/audio.h"

int32_t pickup40_count = 0;
int32_t time_left = 0;
int32_t run_score_entered = 0;

namespace {

constexpr int32_t kArenaLow = 128 * 256;
constexpr int32_t kArenaHigh = 640 * 256;

bool is_pickup(int32_t kind) {
  for (int32_t k : {22, 40, 103, 108, 111, 118, 119, 120, 121, 122})
    if (kind == k) return true;
  return false;
}

bool silent_kill(int32_t kind) {
  for (int32_t k : {9, 10, 11, 102, 105, 106, 107, 108, 109})
    if (kind == k) return true;
  return false;
}

bool survives_ramming(const game_object& a) {
  return (a.flags & kObjBarrier) || a.kind == 25 || a.kind == 27 || a.kind == 104 || a.kind == 113;
}

bool ship_can_be_hit(const game_object& b) {
  return b.kind == 1 && !respawn_pause && !player_dead && (b.flags & kObjDrawn);
}

void collect_pickup(uint16_t ai) {
  game_object& a = object_at(ai);
  const int32_t kind = a.kind;
  sfx_play(4);
  if (kind == 111 || kind == 119 || kind == 120 || kind == 121 || kind == 122) {
    if (selected_zone >= 0 && selected_zone < 5) zone_trophy[selected_zone] = 1;
  }
  if (kind == 103) ++pickup103_count;
  if (kind == 108) {
    ++pickup108_count;
    if (level_number == 22 && player_object) {
      player_object->y = 190 * 256;
      if (pickup108_count == 1) player_object->x = 130 * 256;
    }
  }
  if (kind == 40) {
    ++pickup40_count;
    shield_energy += 30;
  }
  if (pickup40_count == 5) {
    pickup40_count = 0;
    ++lives;
  }
  const uint64_t serial = a.link.serial;
  enemy_kill(ai);
  // A pick-up whose kind has no kill routine yet would be collected again on every restart
  // of the pass: it goes all the same.
  if (a.link.in_use && a.link.serial == serial) free_object(ai);
  if (kind == 22) shield_energy += 51200;
  if (kind == 118) time_left += 5;
}

// The ship touched A (shield down, not a pick-up): a life lost, maybe the game.
void ship_hit(uint16_t ai) {
  sfx_play(3);
  if (!survives_ramming(object_at(ai))) enemy_kill(ai);
  --lives;
  explode_big();
  respawn_pause = 1;
  respawn_timer = 0;
  if (lives >= 0) return;
  end_run("GAME OVER");
}

// One pass of the hit tests; returns true when something happened that restarts it.
bool hit_pass() {
  // What can be hit, the ship and the shots, gathered once in the pool's order: nothing
  // joins, leaves or changes kind before the pass returns, and every active object is
  // tested against them.
  uint16_t targets[kObjectCount];
  int32_t target_count = 0;
  for (uint16_t bi = object_pool->heads[kObjectUsed]; bi != kNoRecord; bi = object_at(bi).link.next) {
    const int32_t kind = object_at(bi).kind;
    if ((kind == 1 || kind == 2) && target_count < kObjectCount) targets[target_count++] = bi;
  }
  for (uint16_t ai = object_pool->heads[kObjectUsed]; ai != kNoRecord; ai = object_at(ai).link.next) {
    game_object& a = object_at(ai);
    if (!(a.flags & kObjActive)) continue;
    for (int32_t k = 0; k < target_count; ++k) {
      const uint16_t bi = targets[k];
      game_object& b = object_at(bi);
      if (b.kind == 1) {
        if (!ship_can_be_hit(b) || !objects_overlap(&a, &b)) continue;
        if (shield_on) {
          collide_objects(&a, &b);
          break;  // on with the next A
        }
        if (is_pickup(a.kind)) collect_pickup(ai);
        else ship_hit(ai);
        return true;
      }
      if (b.kind != 2) continue;
      if (++popup_bonus_state > 20) popup_bonus_state = 0;
      if (!objects_overlap(&a, &b)) continue;
      if (a.hit_points > 0) {
        explode_medium(bi);
        --a.hit_points;
        return true;
      }
      if (!silent_kill(a.kind)) sfx_play(3);
      if (a.flags & kObjBarrier) {
        explode_medium(bi);
        return true;
      }
      if (a.score == 0) a.score = 10;
      if (a.kind == 40 && level_number == 22) spawn_kind(108, a.x, a.y);
      enemy_kill(ai);
      explode_medium(bi);
      return true;
    }
  }
  return false;
}

int32_t velocity_units(float v) { return round_to_int(v * 256.0f); }

int32_t clamp8(int64_t v) { return int32_t(v > 8 ? 8 : v < -8 ? -8 : v); }

// Moves back along the velocity for t, reverses one axis, scales by f, then (not a shot)
// forward again; `cap` limits each axis' move to 8 units (the walls).
void bounce(game_object& o, bool across_x, int64_t p, float f, bool cap) {
  const int32_t v = velocity_units(across_x ? o.vx : o.vy);
  int64_t t = 0;
  if (v != 0) {
    t = (p * 256) / v;
    if (t < 0) t = -t;
    int64_t mx = (int64_t(velocity_units(o.vx)) * t) >> 8;
    int64_t my = (int64_t(velocity_units(o.vy)) * t) >> 8;
    if (cap) {
      mx = clamp8(mx);
      my = clamp8(my);
    }
    o.x -= int32_t(mx);
    o.y -= int32_t(my);
  }
  if (across_x) {
    o.vx = -o.vx * f;
    o.vy *= f;
  } else {
    o.vy = -o.vy * f;
    o.vx *= f;
  }
  if (v != 0 && o.kind != 2) {
    int64_t mx = (int64_t(velocity_units(o.vx)) * t) >> 8;
    int64_t my = (int64_t(velocity_units(o.vy)) * t) >> 8;
    if (cap) {
      mx = clamp8(mx);
      my = clamp8(my);
    }
    o.x += int32_t(mx);
    o.y += int32_t(my);
  }
}

void toggle_101(game_object& o) {
  if (o.kind == 101 && level_number == 23) o.counters[4] = o.counters[4] == 0 ? 1 : 0;
}

// Tests one wall box; returns whether the object touched it.
bool wall_contact(game_object& o, const wall_box& w, float f) {
  const int32_t L = (w.x + 128) * 256, R = (w.x + w.width + 128) * 256;
  const int32_t T = (w.y + 128) * 256, B = (w.y + w.height + 128) * 256;
  if (o.kind == 2) return o.x > L && o.x < R && o.y > T && o.y < B;
  const int32_t left = o.x + o.min_x, right = o.x + o.max_x;
  const int32_t top = o.y + o.min_y, bottom = o.y + o.max_y;
  const bool rows = top < B && bottom > T;
  if (left < R && right > R - 512 && rows && o.vx < 0.0f) {
    o.x += 28;
    bounce(o, true, int64_t(R) - (o.x + o.min_x), f, true);
  } else if (left < L + 512 && right > L && rows && o.vx > 0.0f) {
    o.x -= 28;
    bounce(o, true, int64_t(o.x + o.max_x) - L, f, true);
  } else if (left < R && right > L && top < T + 512 && bottom > T && o.vy > 0.0f) {
    o.y -= 28;
    bounce(o, false, int64_t(o.y + o.max_y) - T, f, true);
  } else if (left < R && right > L && bottom > B - 512 && top < B && o.vy < 0.0f) {
    o.y += 28;
    bounce(o, false, int64_t(B) - (o.y + o.min_y), f, true);
  } else {
    return false;
  }
  toggle_101(o);
  return true;
}

bool border_contact(game_object& o, float f) {
  bool touched = false;
  const int64_t left = int64_t(o.x) + o.min_x, right = int64_t(o.x) + o.max_x;
  if ((left < kArenaLow && o.vx < 0.0f) || (right > kArenaHigh && o.vx > 0.0f)) {
    toggle_101(o);
    bounce(o, true, left < kArenaLow ? kArenaLow - left : right - kArenaHigh, f, false);
    touched = true;
  }
  const int64_t top = int64_t(o.y) + o.min_y, bottom = int64_t(o.y) + o.max_y;
  if ((top < kArenaLow && o.vy < 0.0f) || (bottom > kArenaHigh && o.vy > 0.0f)) {
    toggle_101(o);
    if (o.kind == 101 && level_number == 23) o.y += top < kArenaLow ? 512 : -512;
    const int64_t t2 = int64_t(o.y) + o.min_y, b2 = int64_t(o.y) + o.max_y;
    bounce(o, false, top < kArenaLow ? kArenaLow - t2 : b2 - kArenaHigh, f, false);
    touched = true;
  }
  return touched;
}

void hold_ship_in_arena(game_object& s) {
  if (level_number == 22 && s.x > 186 * 256 && s.x < 194 * 256 && s.y < 190 * 256) s.x = 194 * 256;
  if (s.x < 120 * 256) s.x = 138 * 256;
  else if (s.x > 650 * 256) s.x = 632 * 256;
  if (s.y < 120 * 256) s.y = 138 * 256;
  else if (s.y > 650 * 256) s.y = 632 * 256;
}

void move_object(uint16_t i) {
  game_object& o = object_at(i);
  if (o.flags & kObjActive) enemy_update(&o, tick_step);
  // A hidden ship is out of the run (after a zone's end it is not dead, but its controls
  // would still fire from the last playing frame's buttons).
  else if (o.kind == 1 && !player_dead && (o.flags & kObjDrawn)) update_player_ship(0);
  else if (o.kind == 2) step_object_motion(i);
  if (!o.link.in_use) return;  // the update ended it
  const float f = (o.flags & kObjActive) ? 1.0f : 0.6f;
  bool touched = false;
  if (level_number > 10) {
    if (o.kind == 1) hold_ship_in_arena(o);
    for_each_wall(level_number, [&](const wall_box& w) { touched |= wall_contact(o, w, f); });
  }
  touched |= border_contact(o, f);
  if (!touched) return;
  if (o.kind == 2) explode_medium(i);
  else if (o.kind == 18) enemy_kill(i);
}

}  // namespace

void update_play() {
  if (!object_pool) return;
  while (hit_pass()) {
  }
  walk_objects(move_object);
}

int objects_overlap(const game_object* a, const game_object* b) {
  const game_object* p = a;
  const game_object* q = b;
  if (int64_t(b->x) + b->min_x < int64_t(a->x) + a->min_x) {
    p = b;
    q = a;
  }
  const int64_t pl = int64_t(p->x) + p->min_x, pr = int64_t(p->x) + p->max_x;
  const int64_t pt = int64_t(p->y) + p->min_y, pb = int64_t(p->y) + p->max_y;
  const int64_t ql = int64_t(q->x) + q->min_x, qr = int64_t(q->x) + q->max_x;
  const int64_t qt = int64_t(q->y) + q->min_y, qb = int64_t(q->y) + q->max_y;
  const int64_t il = std::max(pl, ql), ir = std::min(pr, qr);
  const int64_t it = std::max(pt, qt), ib = std::min(pb, qb);
  if (il > ir || it > ib) return 0;
  if ((il == pl && ir == pr && it == pt && ib == pb) || (il == ql && ir == qr && it == qt && ib == qb))
    return 1;
  if (shield_on && (p->kind == 1 || q->kind == 1)) {
    const game_object* ship = p->kind == 1 ? p : q;
    const game_object* other = ship == p ? q : p;
    for (int32_t k = 0; k < other->hit_count && k < kMaxSegments; ++k) {
      const int32_t s = other->hit_list[k];
      if (s < 0 || s >= kMaxSegments) continue;
      if (point_segment_distance(other->x + other->world_x1[s], other->y + other->world_y1[s],
                                 other->x + other->world_x2[s], other->y + other->world_y2[s],
                                 ship->x, ship->y) < 82944)
        return 1;
    }
    return 0;
  }
  for (int32_t m = 0; m < p->hit_count && m < kMaxSegments; ++m) {
    const int32_t s = p->hit_list[m];
    if (s < 0 || s >= kMaxSegments) continue;
    for (int32_t n = 0; n < q->hit_count && n < kMaxSegments; ++n) {
      const int32_t t = q->hit_list[n];
      if (t < 0 || t >= kMaxSegments) continue;
      if (segments_intersect(p->x + p->world_x1[s], p->y + p->world_y1[s], p->x + p->world_x2[s],
                             p->y + p->world_y2[s], q->x + q->world_x1[t], q->y + q->world_y1[t],
                             q->x + q->world_x2[t], q->y + q->world_y2[t]))
        return 1;
    }
  }
  return 0;
}

namespace {

// 1 when (V - U) x (W - U) > 0.
int turns_left(int64_t ux, int64_t uy, int64_t vx, int64_t vy, int64_t wx, int64_t wy) {
  return (vx - ux) * (wy - uy) - (vy - uy) * (wx - ux) > 0;
}

}  // namespace

int segments_intersect(int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t cx, int32_t cy,
                       int32_t dx, int32_t dy) {
  return turns_left(bx, by, cx, cy, dx, dy) != turns_left(ax, ay, cx, cy, dx, dy) &&
         turns_left(ax, ay, bx, by, dx, dy) != turns_left(ax, ay, bx, by, cx, cy);
}

int64_t point_segment_distance(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t px,
                               int32_t py) {
  auto closeness = [px, py](int64_t x, int64_t y) {
    const int64_t dx = int64_t(px) - x, dy = int64_t(py) - y;
    return ((dx * dx) >> 8) + ((dy * dy) >> 8);
  };
  int64_t best = std::min<int64_t>(closeness(x1, y1), 10240000);
  best = std::min(best, closeness(x2, y2));
  best = std::min(best, closeness((int64_t(x1) + x2) / 2, (int64_t(y1) + y2) / 2));
  return best;
}

void explode_big() {
  if (!player_object) return;
  const game_object& s = *player_object;
  for (int k = 0; k < 130; ++k) {
    const uint16_t i = alloc_particle();
    if (i == kNoRecord) continue;
    particle& p = particle_at(i);
    p.flags = 3;
    p.type = 2;
    p.tail_glow = 0;
    p.head_glow = 6;
    p.colour = 0xFFFF;
    p.delay = random_range(0, 5000);
    p.tail_x = p.head_x = s.x;
    p.tail_y = p.head_y = s.y;
    const float a = float(random_range(0, 1000)) * 6.283f / 1000.0f;
    const int32_t fx = random_range(150, 250);
    p.vx = int32_t((int64_t(round_to_int(std::sin(a) * 6.0f * 256.0f)) * fx) >> 8) + round_to_int(s.vx * 256.0f);
    const int32_t fy = random_range(150, 250);
    p.vy = int32_t((int64_t(round_to_int(std::cos(a) * 6.0f * 256.0f)) * fy) >> 8) + round_to_int(s.vy * 256.0f);
    p.head_time = 1024;
    p.life = 3072 + random_range(0, 512);
    add_parallel_particles(&p, 1, 150);
  }
}

void explode_medium(uint16_t index) {
  if (!object_pool || index >= kObjectCount) return;
  const game_object& o = object_at(index);
  spark_burst(o.x, o.y, 18, spark_style{3, 4, 4, 0xFFE0, 0, 3000, 6.0f, 768, 1536});
  free_object(index);
}

void enter_run_score() {
  if (run_score_entered) return;
  run_score_entered = 1;
  new_score_slot = -1;
  if (score_qualifies(game_score) && !lives_cheat_used)
    new_score_slot = insert_high_score("AAA", game_score);
}

void end_run(const char* message) {
  next_life_score = 0;
  if (player_object) player_object->flags &= ~kObjDrawn;
  lives = 0;
  player_dead = 1;
  music_off();
  music_restart();
  loop_sound_stop();
  show_message(message);
  game_state = kStateEndOfRun;
  world_image_mode = 1;
  hiscore_music_pending = 1;
  enter_run_score();
}
