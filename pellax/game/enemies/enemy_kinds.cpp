#include "pellax/game/enemies/enemy_kinds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/core/run_state.h"
#include "pellax/platform/audio.h"

// The families of kinds; each registers its own routines.
void register_menu_square();
void register_blocks();
void register_drifters();
void register_spinners();
void register_chasers();
void register_bosses();
void register_splitters();
void register_barriers();

namespace {

struct kind_routines {
  kind_spawn_fn spawn;
  kind_update_fn update;
  kind_kill_fn kill;
};

kind_routines kinds[kKindCount];
chain_spawn_fn chain_spawn = nullptr;
bool registered = false;

void register_families() {
  if (registered) return;
  registered = true;
  register_menu_square();
  register_blocks();
  register_drifters();
  register_spinners();
  register_chasers();
  register_bosses();
  register_splitters();
  register_barriers();
}

const kind_routines* routines_of(int32_t kind) {
  register_families();
  if (kind < 0 || kind >= kKindCount) return nullptr;
  return &kinds[kind];
}

}  // namespace

const uint16_t kEnemyColours[8] = {0xE186, 0xE186, 0x3706, 0x319E, 0xE705, 0xE15C, 0x2F1C, 0x0000};

void register_kind(int32_t kind, kind_spawn_fn spawn, kind_update_fn update, kind_kill_fn kill) {
  // The families first, so that a later registration replaces theirs rather than the
  // other way round.
  register_families();
  if (kind < 0 || kind >= kKindCount) return;
  kinds[kind] = {spawn, update, kill};
}

void register_chain_spawn(chain_spawn_fn spawn) {
  register_families();
  chain_spawn = spawn;
}

void reregister_kinds() {
  for (kind_routines& k : kinds) k = {};
  chain_spawn = nullptr;
  registered = false;
  register_families();
}

void spawn_kind(int32_t kind, int32_t x, int32_t y) {
  const kind_routines* r = routines_of(kind);
  if (r && r->spawn) r->spawn(x, y);
}

void spawn_kind9(int32_t x, int32_t y, int32_t links, float speed) {
  register_families();
  if (chain_spawn) chain_spawn(x, y, links, speed);
}

bool kind_spawns(int32_t kind) {
  const kind_routines* r = routines_of(kind);
  return r && r->spawn;
}

void enemy_update(game_object* obj, int32_t dt) {
  // Kinds 0..2 and codes past the table have no update.
  if (obj->kind < 3) return;
  const kind_routines* r = routines_of(obj->kind);
  if (r && r->update) r->update(obj, dt);
}

void update_objects() {
  walk_objects([](uint16_t i) {
    if (object_at(i).flags & kObjActive) enemy_update(&object_at(i), tick_step);
  });
}

void enemy_kill(uint16_t index) {
  if (!object_pool || index >= kObjectCount) return;
  const game_object& o = object_at(index);
  const int32_t kind = o.kind, x = o.x, y = o.y;
  if (level_number <= 10) {
    const int32_t r = random_range(0, 1000) % 100;
    if (r == 2 && kind != 18) spawn_kind(22, x, y);
    if (r == 8 && kind != 18) spawn_kind(40, x, y);
  } else {
    const int32_t m = random_range(0, 1000) % 35;
    if (m == 2 && kind != 18) spawn_kind(22, x, y);
    if (m >= 3 && m <= 6 && kind != 18 && game_mode == 2) spawn_kind(118, x, y);
    if (m == 8 && kind != 18 && level_number != 22 && level_number != 23) spawn_kind(40, x, y);
  }
  if (kind < 3) return;
  // Two kinds die through another kind's routine and count as that kind.
  const int32_t routine = kind == 35 ? 31 : kind == 108 ? 103 : kind;
  if (kind == 11 && o.scale == 200) sfx_play(3);
  const kind_routines* r = routines_of(routine);
  if (r && r->kill) r->kill(index);
}

void kill_kind(int32_t kind, uint16_t index) {
  if (!object_pool || index >= kObjectCount || !object_at(index).link.in_use) return;
  const kind_routines* r = routines_of(kind);
  if (r && r->kill) r->kill(index);
}

float speed_scale(float base, float extra) { return base + game_speed * extra; }

void spawn_score_popup(int32_t points, int32_t x, int32_t y) {
  const uint16_t i = alloc_score_popup();
  if (i == kNoRecord) return;
  score_popup& p = popup_at(i);
  if (popup_bonus_state > 5 && points == 0) popup_bonus_state = 2;
  // The text field holds four characters; a longer number keeps its first four.
  char text[16];
  if (points == 0) std::snprintf(text, sizeof text, "@");
  else std::snprintf(text, sizeof text, "%d", points);
  std::memset(p.text, 0, sizeof p.text);
  std::memcpy(p.text, text, std::min(std::strlen(text), sizeof p.text));
  p.size = 1;
  p.grow_time = 12800;
  p.grow_rate = 14;
  p.hold_time = 25600;
  p.shrink_rate = 14;
  p.x = x;
  p.y = y;
  p.colour = 0xFC64;
  p.shadow_colour = 0xFFEA;
  if (popup_bonus_state > 5 && points != 0 && level_number == 17 && popup_bonus_state == 12) {
    sfx_play(4);
    spawn_kind(21, x, y);
    popup_bonus_state = 0;
  }
}

game_object* new_enemy(uint16_t kind, int32_t x, int32_t y) {
  const uint16_t i = alloc_object();
  if (i == kNoRecord) return nullptr;
  game_object& o = object_at(i);
  const pool_links link = o.link;
  std::memset(static_cast<void*>(&o), 0, sizeof o);
  o.link = link;
  o.flags = kObjDrawn | kObjActive | kObjWarping;
  o.kind = kind;
  o.timer = 12800;
  o.mass = 4.0f;
  o.scale = 10;
  o.x = x;
  o.y = y;
  return &o;
}

int32_t random_variant() { return 1 + (random_range(0, 1200) / 3) % 6; }

float random_angle() { return float(random_range(0, 1000)) * 6.283f / 1000.0f; }

void load_shape(game_object* o, const int32_t (*rows)[4], int32_t n, int32_t hit_count,
                segment_colour_fn colour) {
  load_shape(o, rows, n, hit_count, colour, shape_build{shape_scale, shape_scale * 5 / 6, false});
}

void load_shape(game_object* o, const int32_t (*rows)[4], int32_t n, int32_t hit_count,
                segment_colour_fn colour, const shape_build& b) {
  if (n > kMaxSegments / 3) n = kMaxSegments / 3;
  const int64_t sy = b.y_up ? -1 : 1;
  for (int32_t i = 0; i < n; ++i) {
    o->model_x1[i] = o->world_x1[i] = int32_t((int64_t(b.scale) * rows[i][0]) >> 8);
    o->model_y1[i] = o->world_y1[i] = int32_t((int64_t(b.scale) * (sy * rows[i][1])) >> 8);
    o->model_x2[i] = o->world_x2[i] = int32_t((int64_t(b.scale) * rows[i][2]) >> 8);
    o->model_y2[i] = o->world_y2[i] = int32_t((int64_t(b.scale) * (sy * rows[i][3])) >> 8);
    const uint32_t c = colour(i, o->variant);
    o->colour_a[i] = uint16_t(c >> 16);
    o->colour_b[i] = uint16_t(c);
  }
  o->segment_count = n;
  o->hit_count = hit_count < n ? hit_count : n;
  for (int32_t i = 0; i < o->hit_count; ++i) o->hit_list[i] = i;
  for (int32_t i = 0; i < n; ++i) add_parallel_segments(o, i, 1, b.spacing);
  transform_object(o);
}

bool warp_in_step(game_object* o, int32_t dt) {
  if (!(o->flags & kObjWarping)) return false;
  if (dt <= o->timer) {
    o->timer -= dt;
    o->scale = int32_t((int64_t(12800 - o->timer) * 256) / 12800);
  } else {
    o->timer = 0;
    o->flags &= ~kObjWarping;
    o->scale = 0;
  }
  return true;
}

void drift_step(game_object* o, int32_t dt) {
  const float f = float(dt) * (1.0f / 256.0f);
  o->x += round_to_int(o->vx * f * 256.0f);
  o->y += round_to_int(o->vy * f * 256.0f);
}

void emit_spark(int32_t x, int32_t y, const spark_style& s, bool jitter) {
  const uint16_t i = alloc_particle();
  if (i == kNoRecord) return;
  particle& p = particle_at(i);
  p.flags = s.flags;
  p.type = 2;
  p.tail_glow = s.tail_glow;
  p.head_glow = s.head_glow;
  p.colour = s.colour;
  const int32_t delay = s.delay_base + random_range(0, s.delay_range);
  p.delay = delay;
  p.tail_x = p.head_x = x;
  p.tail_y = p.head_y = y;
  const float a = random_angle();
  p.vx = round_to_int(std::sin(a) * s.speed * 256.0f);
  p.vy = round_to_int(std::cos(a) * s.speed * 256.0f);
  if (jitter) {
    const int32_t jx = random_range(0, 128);
    const int32_t jy = random_range(0, 128);
    p.vx += jx;
    p.vy += jy;
  }
  p.head_time = s.head_time;
  const int32_t extra = random_range(0, 512);
  p.life = s.life_base + extra;
  add_parallel_particles(&p, 1, 150);
}

void spark_burst(int32_t x, int32_t y, int32_t count, const spark_style& s) {
  for (int32_t k = 0; k < count; ++k) emit_spark(x, y, s, false);
}

void spark_burst_jittered(int32_t x, int32_t y, int32_t count, const spark_style& s) {
  for (int32_t k = 0; k < count; ++k) emit_spark(x, y, s, true);
}

void finish_kill(uint16_t index, int32_t counted_kind) {
  const game_object& o = object_at(index);
  game_score += o.score;
  spawn_score_popup(o.score, o.x, o.y);
  if (counted_kind >= 0 && counted_kind < kKindCount) {
    --kind_alive[counted_kind];
    ++kind_killed[counted_kind];
  }
  free_object(index);
}

void standard_sparks(const game_object& o) {
  const int32_t v = o.variant >= 0 && o.variant < 8 ? o.variant : 0;
  const spark_style style{3, uint16_t(v), uint16_t(v), kEnemyColours[v], 0, 3000, 6.0f, 1024, 3072};
  spark_burst(o.x, o.y, 60, style);
}

void standard_kill(uint16_t index, int32_t counted_kind) {
  standard_sparks(object_at(index));
  finish_kill(index, counted_kind);
}
