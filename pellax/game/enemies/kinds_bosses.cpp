// The bosses: two hunters that chase the ship and fire shots (25) or lay mines (27), the
// turning boss (104) that in the early zones swells, fades and changes the music when it
// is nearly beaten, and the chain boss (9), a snake of arrowheads whose head weaves toward
// the ship and fires while the links behind follow one another.
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
#include "pellax/platform/audio.h"

int32_t chain_fire_counter = 0;

namespace {

// Shapes with y up (negated at spawn).
const int32_t kLink[][4] = {{0, 3840, 2560, -1279}, {2560, -1279, 0, -3839}, {0, -3839, -2559, -1279},
                            {-2559, -1279, 0, 3840}};
const int32_t kShooter[][4] = {
    {10240, 5632, 8192, 6400},     {8192, 6400, 10496, 8960},     {10496, 8960, 12288, 6144},
    {12288, 6144, 11520, -1279},   {11520, -1279, 10240, 0},      {10240, 0, 16384, -5119},
    {16384, -5119, 12800, -6399},  {12800, -6399, 9728, -5119},   {9728, -5119, 8704, -6399},
    {8704, -6399, 7680, -5631},    {7680, -5631, 7168, -6399},    {7168, -6399, 5120, -4095},
    {5120, -4095, 3584, -5631},    {3584, -5631, 3072, -2559},    {3072, -2559, 6912, 0},
    {6912, 0, 5120, -1279},        {5120, -1279, 8192, 6400},     {8192, 6400, 6144, 8960},
    {6144, 8960, 6144, 12800},     {6144, 12800, 6144, 8960},     {6144, 8960, 4096, 6656},
    {4096, 6656, 4096, 10240},     {4096, 10240, 4096, 6656},     {4096, 6656, 0, 8192},
    {0, 8192, -4095, 6656},        {-4095, 6656, -4095, 10240},   {-4095, 10240, -4095, 6656},
    {-4095, 6656, -7679, 8960},    {-7679, 8960, -7679, 12800},   {-7679, 12800, -7679, 6656},
    {-7679, 6656, -12287, 5632},   {-12287, 5632, -15359, 6144},  {-15359, 6144, -14335, 0},
    {-14335, 0, -16383, -1279},    {-16383, -1279, -12799, -5119}, {-12799, -5119, -11519, -10239},
    {-11519, -10239, -8959, -9727}, {-8959, -9727, -6655, -12799}, {-6655, -12799, -4095, -8959},
    {-4095, -8959, 0, -12799},     {0, -12799, 4096, -8959},      {4096, -8959, 8192, -8959},
    {8192, -8959, 7680, -6399},    {7680, -6399, 10240, 5632}};
const int32_t kMineLayer[][4] = {
    {0, 15360, 1792, 14592},       {1792, 14592, 3584, 13312},    {3584, 13312, 5120, 9728},
    {5120, 9728, 5888, 8704},      {5888, 8704, 5120, 9728},      {5120, 9728, 7168, 9216},
    {7168, 9216, 10240, 6144},     {10240, 6144, 6656, 7168},     {6656, 7168, 10240, 6144},
    {10240, 6144, 14080, 2048},    {14080, 2048, 10496, -6143},   {10496, -6143, 12800, -16383},
    {12800, -16383, 5888, -13823}, {5888, -13823, 4608, -15359},  {4608, -15359, -4607, -15359},
    {-4607, -15359, -5887, -13823}, {-5887, -13823, -12799, -16383}, {-12799, -16383, -10495, -6143},
    {-10495, -6143, -14079, 0},    {-14079, 0, -8703, 7680},      {-8703, 7680, -5631, 9216},
    {-5631, 9216, -3327, 13312},   {-3327, 13312, -1791, 14592},  {-1791, 14592, 0, 15360},
    {0, 15360, -1791, 14592},      {-1791, 14592, -3327, 13312},  {-3327, 13312, 3584, 13312},
    {3584, 13312, 0, 13312},       {0, 13312, 0, 10240},          {0, 10240, -2047, 9216},
    {-2047, 9216, 0, 10240},       {0, 10240, 2048, 9216},        {2048, 9216, 2048, 9216},
    {9728, -7167, 10752, -14847},  {10752, -14847, 6656, -9215},  {6656, -9215, 9728, -7167},
    {-9727, -7167, -10751, -14847}, {-10751, -14847, -6655, -9215}, {-6655, -9215, -9727, -7167},
    {0, -4095, 7168, -8191},       {0, -4095, -7167, -8191},      {3584, 6656, 4096, 4352},
    {4096, 4352, 8960, -1023},     {8960, -1023, 10240, -1279},   {10240, -1279, 7680, 3584},
    {7680, 3584, 4096, 4352},      {-3583, 6656, -4095, 4352},    {-4095, 4352, -8959, -1023},
    {-8959, -1023, -10239, -1279}, {-10239, -1279, -7679, 3584}};
const int32_t kSkull[][4] = {
    {0, -16383, 5120, -15359},     {5120, -15359, 9728, -12287},  {9728, -12287, 12800, -7167},
    {12800, -7167, 11776, 1024},   {11776, 1024, 12800, 4096},    {12800, 3584, 7168, 7680},
    {7168, 7680, 3840, 5120},      {7168, 7680, 6400, 15616},     {6400, 16128, 5120, 16640},
    {8960, 5632, 6400, 16640},     {6400, 16640, 3072, 17920},    {3072, 17920, -4095, 17920},
    {-4095, 17920, -7167, 15616},  {-7167, 15616, -8703, 5120},   {-8703, 5120, -10239, 3584},
    {-10239, 3584, -10751, 2048},  {-10751, 2048, -12799, -1023}, {-12799, -1023, -12031, -9215},
    {-12031, -9215, -7167, -15359}, {-7167, -15359, 0, -16383},   {-3839, 10240, -3839, 11520},
    {-2559, 9984, -2559, 11776},   {-1279, 9728, -1279, 12032},   {0, 9728, 0, 12032},
    {1280, 9728, 1280, 12032},     {2560, 9728, 2560, 12032},     {3840, 9984, 3840, 11776},
    {0, 7680, 2048, 6656},         {2048, 6656, 1024, 3584},      {1024, 3584, 1536, 0},
    {1536, 0, -255, 1024},         {-255, 1024, -255, 2560},      {-255, 2560, -2815, 6912},
    {-2815, 6912, 0, 7680},        {3584, -511, 7680, -3327},     {7680, -1791, 8704, -511},
    {8704, -511, 9216, 1280},      {9216, 1280, 4096, 1536},      {4096, 1536, 3584, -511},
    {-5119, 14848, -7679, 7680},   {-2815, -511, -6911, -3327},   {-6911, -1791, -7935, -511},
    {-7935, -511, -8447, 1280},    {-8447, 1280, -3327, 1536},    {-3327, 1536, -2815, -511},
    {11776, -4095, 5120, -8191},   {-6399, -11519, -2559, -8191}, {-1279, -15359, 4096, -11775},
    {0, 0, 0, 0},                  {0, 0, 0, 0}};

constexpr uint16_t kNoLink = 0xFFFF;
constexpr uint16_t kReleased = 0x10;
constexpr uint16_t kHeadColour = 0xFA1F, kTailColour = 0xF904;

uint32_t shooter_colours(int32_t i, int32_t) {
  return i % 2 == 0 ? (0xA2BCu << 16) | 0x5168 : (0x6DE0u << 16) | 0x6DAD;
}
uint32_t layer_colours(int32_t i, int32_t) {
  return i % 2 == 0 ? (0xE337u << 16) | 0xB9A3 : (0x6C40u << 16) | 0x632D;
}
uint16_t link_colour = 0;
uint32_t chosen_link_colour(int32_t, int32_t) { return both_colours(link_colour); }

float s(float base, float extra) { return speed_scale(base, extra); }
float ticks(int32_t dt) { return float(dt) / 256.0f; }

shape_build boss_build() { return shape_build{shape_scale, shape_scale * 5 / 6, true}; }

struct boss_kind {
  uint16_t kind;
  const int32_t (*rows)[4];
  int32_t n;
  segment_colour_fn colour;
  bool moves;
};

const boss_kind kBosses[] = {
    {25, kShooter, 44, shooter_colours, true},
    {27, kMineLayer, 50, layer_colours, true},
    {104, kSkull, 50, layer_colours, false},
};

void spawn_boss(const boss_kind& k, int32_t x, int32_t y) {
  game_object* o = new_enemy(k.kind, x, y);
  if (!o) return;
  o->hit_points = 30;
  o->score = 1500;
  const int32_t r = random_range(0, 100);
  o->spin = float(r) / 2500.0f - 0.02f;
  o->angle = random_angle();
  if (k.moves) random_drift(o, s(0.8f, 0.2f), 80, 150);
  load_shape(o, k.rows, k.n, k.n, k.colour, boss_build());
  ++kind_alive[k.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kBosses, spawn_boss, K>;

// Fire counted in updates: a shot (25) every 28 or a mine (27) every 15, during the
// warp-in and while the ship is dead too.
template <int K>
void update_hunter(game_object* o, int32_t dt) {
  warp_in_step(o, dt);
  if (!player_dead) {
    steer_toward_player(o, s(0.35f, 0.1f) * 0.032f, s(0.5f, 0.09f) * 0.4f, 0.99f);
    push_apart(o, 5120, 0.05f);
  }
  turn_and_drift(o, dt);
  if (++o->counters[0] <= (K == 25 ? 28 : 15)) return;
  random_range(0, 1000);  // drawn and never used
  int32_t mx, my;
  muzzle_point(o, o->angle, &mx, &my);
  if (K == 25) spawn_kind18(mx, my, o->angle, 0.05f * float(difficulty_level) + 0.5f);
  else spawn_kind(28, mx, my);
  o->counters[0] = 1;
}

void switch_music(const char* track) {
  music_off();
  music_load(track);
  music_on();
}

// Below level 30, once under 10 hit points: the music changes, the boss swells to 404 and
// shrinks to 4 with its hit points held at 8, counting as killed on each frame under
// scale 39; afterwards it stays, tiny, until nine more hits end it.
void fade_out(game_object* o, int32_t dt) {
  int32_t& phase = o->counters[0];
  int32_t& switched = o->counters[1];
  if (switched == 0) {
    switch_music("lft.lvl");
    switched = 1;
    o->scale = 220;
  }
  o->timer += dt;
  if (phase == 0) {
    if (o->scale <= 399) o->scale += 8;
    if (o->scale > 399) phase = 1;
    o->hit_points = 8;
  } else if (phase == 1) {
    if (o->scale > 8) o->scale -= 8;
    o->hit_points = 8;
    if (o->scale < 39) {
      --kind_alive[104];
      ++kind_killed[104];
    }
    if (o->scale < 9) {
      phase = 2;
      music_off();
    }
  }
}

void update_turning_boss(game_object* o, int32_t dt) {
  if (!warp_in_step(o, dt)) {
    o->timer += dt;
    if (level_number < 30 && o->hit_points < 10) fade_out(o, dt);
    if (o->timer > 3840) {
      o->timer -= 3840;
      o->variant = (o->variant + 1) % 6;
    }
  }
  o->angle += o->spin * ticks(dt) / 4.0f;
  transform_object(o);
}

// The big bosses' death: sparks, the music of some, the score, debris, and then every
// block, square, turret and rock in the first hundred slots dies too (debris among them).
template <int K>
void kill_boss(uint16_t index) {
  game_object& o = object_at(index);
  const int32_t x = o.x, y = o.y;
  if (K == 25 && level_number < 10) switch_music("shs.lvl");
  spark_burst(x, y, 40, spark_style{1, 1, 1, 0xA285, 0, 3000, 3.5f, 1024, 2048});
  spark_burst(x, y, 80, spark_style{3, 7, 7, 0xFD0A, 3000, 3000, 6.0f, 1024, 3072});
  if (K == 104) switch_music("bety.lvl");
  finish_kill(index, K);
  struct piece {
    int32_t kind, dx, dy;
  };
  const piece debris[] = {{23, 0, -5}, {4, 0, 5},   {23, -5, 0}, {23, 5, 0},    {4, -10, 0},
                          {23, 10, 0}, {23, 0, 10}, {4, 0, -10}, {23, 5, 5},    {23, -5, -5},
                          {3, -25, -25}, {3, 25, -25}, {3, -25, 25}, {3, 25, 25}};
  for (const piece& p : debris) spawn_kind(p.kind, x + p.dx, y + p.dy);
  for (uint16_t slot = 0; slot < 100; ++slot) {
    if (K == 27 && slot < 10) sfx_play(3);
    const game_object& d = object_at(slot);
    if (!d.link.in_use || !(d.flags & kObjActive)) continue;
    if (d.kind == 3 || d.kind == 4 || d.kind == 21 || d.kind == 23) kill_kind(d.kind, slot);
  }
}

// --- the chain -------------------------------------------------------------------

uint16_t behind(const game_object& o) { return uint16_t(uint32_t(o.variant) & 0xFFFF); }
uint16_t ahead(const game_object& o) { return uint16_t(uint32_t(o.variant) >> 16); }
void set_links(game_object& o, uint16_t back, uint16_t front) {
  o.variant = int32_t(uint32_t(front) << 16 | back);
}
// The neighbour in a slot, when that slot still holds a link.
game_object* link_at(uint16_t slot) {
  if (slot == kNoLink || slot >= kObjectCount) return nullptr;
  game_object& o = object_at(slot);
  return o.link.in_use && o.kind == 9 ? &o : nullptr;
}

void paint(game_object& o, uint16_t colour) {
  for (int32_t i = 0; i < o.segment_count && i < kMaxSegments; ++i) o.colour_a[i] = o.colour_b[i] = colour;
}

void spawn_chain(int32_t x, int32_t y, int32_t count, float speed) {
  const float a = random_angle();
  uint16_t previous = kNoLink;
  bool made = false;
  for (int32_t i = 0; i < count; ++i) {
    game_object* o = new_enemy(9, x, y);
    if (!o) break;
    const uint16_t slot = object_index(o);
    const bool last = i == count - 1;
    o->flags = count == 1 ? 23 : last ? 31 : i == 0 ? 7 : 15;
    set_links(*o, previous, kNoLink);
    if (game_object* p = link_at(previous)) set_links(*p, behind(*p), slot);
    o->work_b = speed > 5.0f ? 1 : 0;
    o->score = count == 1 ? 150 : 1000;
    o->mass = 1000.0f;
    o->angle = a;
    o->work_f = speed;
    if (last) {
      o->vx = speed * std::sin(a);
      o->vy = -speed * std::cos(a);
    } else {
      o->vx = o->vy = 0.1f;
    }
    link_colour = last ? kHeadColour : i == 0 ? kTailColour : speed > 4.0f ? 0xA3FF : 0xF91F;
    load_shape(o, kLink, 4, 4, chosen_link_colour, boss_build());
    previous = slot;
    made = true;
  }
  // A chain cut short by a full pool still counts once: its last link leads it as a head,
  // and that head's death takes the count down again.
  if (made) ++kind_alive[9];
}

// A link follows the one ahead: it waits until that one has moved off (30 px at the
// default scale), then trails 15 px behind the end of its leader's segment 1.
void follow(game_object* o, const game_object& leader) {
  const float sc = float(shape_scale) / 256.0f;
  if (!(o->flags & kReleased)) {
    const float dx = float(int64_t(leader.x) - o->x) / 256.0f, dy = float(int64_t(leader.y) - o->y) / 256.0f;
    if ((leader.flags & kReleased) && std::sqrt(dx * dx + dy * dy) > 30.0f * sc) o->flags |= kReleased;
  }
  if (!(o->flags & kReleased)) {
    o->angle = leader.angle;
    transform_object(o);
    return;
  }
  const float tx = float(int64_t(leader.x) + leader.world_x2[1]) / 256.0f;
  const float ty = float(int64_t(leader.y) + leader.world_y2[1]) / 256.0f;
  float ux = 0.0f, uy = 0.0f;
  unit_vector(tx - float(o->x) / 256.0f, ty - float(o->y) / 256.0f, &ux, &uy);
  o->x = round_to_int((tx - ux * 15.0f * sc) * 256.0f);
  o->y = round_to_int((ty - uy * 15.0f * sc) * 256.0f);
  o->angle = wrap_angle(std::atan2(ty - float(o->y) / 256.0f, tx - float(o->x) / 256.0f) + 1.5708f);
  transform_object(o);
}

// The head weaves a radian either side of the ship, changing side every P/2 ticks, and
// fires when it has to turn the long way round.
void lead(game_object* o, int32_t dt) {
  float h = heading_to_player(o);
  int32_t period = int32_t(200.0f / s(0.5f, 0.05f));
  if (period < 2) period = 2;
  h += (int64_t(o->timer + 128) >> 8) % period < period / 2 ? -1.0f : 1.0f;
  h = wrap_angle(h);
  float turn;
  bool long_way;
  if (h < o->angle) {
    long_way = o->angle - h > 3.14159f;
    turn = long_way ? 1.0f : -1.0f;
  } else {
    long_way = h - o->angle > 3.14159f;
    turn = long_way ? -1.0f : 1.0f;
  }
  if (long_way && level_number != 20) {
    if (chain_fire_counter > 3) {
      fire_ahead(o, 0.05f * float(difficulty_level) + 0.5f);
      chain_fire_counter = 0;
    }
    ++chain_fire_counter;
  }
  const float f = ticks(dt);
  o->angle = wrap_angle(o->angle + turn * s(0.7f, 0.3f) * 0.0314f * f);
  o->vx = o->work_f * std::sin(o->angle);
  o->vy = -o->work_f * std::cos(o->angle);
  drift_step(o, dt);
  transform_object(o);
}

void update_link(game_object* o, int32_t dt) {
  if (warp_in_step(o, dt)) {
    transform_object(o);
    return;
  }
  o->timer += dt;
  if (const game_object* leader = link_at(ahead(*o))) follow(o, *leader);
  else lead(o, dt);
}

// A link's death splits its chain: the link ahead becomes the tail of the front piece,
// the link behind the head of the back piece. Only a head's death ends a chain's count.
void kill_link(uint16_t index) {
  game_object& o = object_at(index);
  game_object* front = link_at(ahead(o));
  game_object* back = link_at(behind(o));
  if (front) {
    sfx_play(3);
    front->flags = kObjDrawn | kObjActive;
    paint(*front, kTailColour);
    set_links(*front, kNoLink, ahead(*front));
  }
  if (back) {
    set_links(*back, behind(*back), kNoLink);
    if (link_at(behind(*back))) {
      back->flags |= kObjBarrier;
      paint(*back, kHeadColour);
    }
  }
  const bool was_head = front == nullptr;
  if (was_head) {
    ++kind_killed[9];
    --kind_alive[9];
    sfx_play(3);
  }
  spark_burst(o.x, o.y, 60, spark_style{3, 1, 7, 0xA283, 0, 3000, 6.0f, 1024, 3072});
  finish_kill(index, -1);
}

}  // namespace

void register_bosses() {
  register_kind(kShootingHunter, spawn_one<kShootingHunter>, update_hunter<kShootingHunter>,
                kill_boss<kShootingHunter>);
  register_kind(kMineHunter, spawn_one<kMineHunter>, update_hunter<kMineHunter>, kill_boss<kMineHunter>);
  register_kind(kTurningBoss, spawn_one<kTurningBoss>, update_turning_boss, kill_boss<kTurningBoss>);
  register_kind(kChainBoss, nullptr, update_link, kill_link);
  register_chain_spawn(spawn_chain);
}
