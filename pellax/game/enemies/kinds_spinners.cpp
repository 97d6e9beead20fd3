// Kinds that turn in place rather than steer: the enemy shot every shooting kind fires, the
// two turrets, the pulsing spinners (mostly pick-ups), the patrolling spinner and the two
// mines that expire by age. (The menus' diamond has its own file.)
#include <cmath>

#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/kind_steps.h"

namespace {

// Already at the shot's size (the ship's scale of 120 applied).
const int32_t kShot[][4] = {{-480, 720, 0, -720}, {0, -720, 480, 720}, {480, 720, -480, 720}};
// The hull's left side (the first three segments) is what a hit must touch.
const int32_t kTurret[][4] = {
    {-2303, -4157, -4095, -2365}, {-4095, -2365, -4095, 2364}, {-4095, 2364, -2303, 4095},
    {-2303, 4095, 2304, 4095},    {2304, 4095, 4096, 2364},    {4096, 2364, 4096, -2365},
    {4096, -2365, 2304, -4096},   {2304, -4096, -2303, -4096}, {-2303, -4096, -1535, -4096},
    {-1535, -4096, -1535, -5120}, {-1535, -5120, 0, -5120},    {0, -5120, -1023, -6144},
    {-1023, -6144, 0, -5120},     {0, -5120, 1536, -5120},     {1536, -5120, 1536, -4096},
    {1536, -4096, -2303, -4157}};
// The shield: a ring of eight arcs around a zigzag; the timer is its first 15 arcs with
// clock hands.
const int32_t kShield[][4] = {
    {-2047, 0, -1791, 639},    {-1791, 639, -1407, 1535},  {-1407, 1407, -767, 1791},
    {-767, 1791, 0, 2047},     {2048, 0, 1792, 639},       {1792, 639, 1408, 1535},
    {1408, 1407, 768, 1791},   {768, 1791, 0, 2047},       {-2047, 0, -1791, -640},
    {-1791, -640, -1407, -1536}, {-1407, -1408, -767, -1792}, {-767, -1792, 0, -2048},
    {2048, 0, 1792, -640},     {1792, -640, 1408, -1536},  {1408, -1408, 768, -1792},
    {768, -1792, 0, -2048},    {-895, 895, 896, 767},      {896, 383, -895, -384},
    {-895, -384, 896, -896}};
const int32_t kTime[][4] = {
    {-2047, 0, -1791, 639},    {-1791, 639, -1407, 1535},  {-1407, 1407, -767, 1791},
    {-767, 1791, 0, 2047},     {2048, 0, 1792, 639},       {1792, 639, 1408, 1535},
    {1408, 1407, 768, 1791},   {768, 1791, 0, 2047},       {-2047, 0, -1791, -640},
    {-1791, -640, -1407, -1536}, {-1407, -1408, -767, -1792}, {-767, -1792, 0, -2048},
    {2048, 0, 1792, -640},     {1792, -640, 1408, -1536},  {1408, -1408, 768, -1792},
    {0, 0, 0, -1536},          {768, 0, -767, 0}};
const int32_t kLife[][4] = {{-2047, 0, 2048, 0},        {-511, 2047, 512, 2047},   {512, 2047, 512, 1535},
                            {512, 1535, -511, 1535},     {-511, 1535, -511, 2175},  {0, 1535, 0, -1024},
                            {0, -1024, -1535, -2048},    {0, -1024, 1536, -2048}};
const int32_t kCounter[][4] = {{-2047, 2047, 0, 2047},  {0, 2047, 0, 0},           {0, 0, -2047, 0},
                               {-2047, 0, -2047, 2047}, {0, 1023, 3072, 1023},     {2048, 1023, 2048, -512},
                               {3072, 1023, 3072, -512}};
const int32_t kHeavy[][4] = {
    {0, 0, 1280, -512},         {1280, -512, 1024, -2048},   {1024, -2048, -1535, -1536},
    {-1535, -1536, -2047, 0},   {-2047, 0, 0, 2047},         {0, 2047, 2560, 0},
    {2560, 0, 3072, -2048},     {3072, -2048, 768, -3584},   {768, -3584, -1023, -3072},
    {-1023, -3072, -3071, -1792}, {-3071, -1792, -3071, 1023}, {-3071, 1023, -1023, 3583},
    {-1023, 3583, 2048, 2815}};
const int32_t kPatrol[][4] = {
    {-2559, 2559, 2560, 2687},  {2560, 2559, 2560, -2560},  {2560, -2560, -2559, -2560},
    {-2559, -2560, -2559, 2559}, {-2559, 2559, -4607, 1279}, {-4607, 1279, -5631, -2048},
    {-5631, -2048, -5631, 4607}, {2560, 2559, 4608, 1279},   {4608, 1279, 5632, -2048},
    {5632, -2048, 5632, 4607},  {-1279, 1279, -1279, -1280}, {1280, 1279, 1280, -1280}};
const int32_t kMine28[][4] = {{-4095, 2364, 0, 3644}, {0, 3644, 4096, 2364}, {4096, 2364, -1535, -5243},
                              {1536, -5243, -4095, 2364}};
const int32_t kMine116[][4] = {{-4095, -1024, 0, 4095}, {4096, -1024, 0, 4095}, {4096, 1023, 0, -4096},
                               {-4095, 1023, 0, -4096}};

uint32_t row_colour(int32_t, int32_t variant) {
  return both_colours(kEnemyColours[variant >= 0 && variant < 8 ? variant : 0]);
}
uint32_t shot_colour(int32_t, int32_t) { return both_colours(0xFFE0); }

float random_spin() { return float(random_range(0, 100)) / 10000.0f + 0.01f; }

enum class role { turret, spinner, mine };

struct spinner_kind {
  uint16_t kind;
  const int32_t (*rows)[4];
  int32_t n, hit_count, hit_points;
  int32_t score;
  float mass;
  role what;
};

const spinner_kind kSpinners[] = {
    {21, kTurret, 16, 3, 4, 800, 60.0f, role::turret},   {115, kTurret, 16, 3, 4, 800, 60.0f, role::turret},
    {22, kShield, 19, 19, 5, 0, 60.0f, role::spinner},   {118, kTime, 17, 17, 5, 0, 60.0f, role::spinner},
    {40, kLife, 8, 8, 5, 0, 60.0f, role::spinner},       {103, kCounter, 7, 7, 5, 0, 60.0f, role::spinner},
    {108, kHeavy, 13, 13, 99, 0, 599.0f, role::spinner}, {123, kPatrol, 12, 12, 5, 0, 60.0f, role::spinner},
    {28, kMine28, 4, 4, 0, 0, 4.0f, role::mine},         {116, kMine116, 4, 4, 0, 0, 4.0f, role::mine},
};

void spawn_spinner(const spinner_kind& k, int32_t x, int32_t y) {
  game_object* o = new_enemy(k.kind, x, y);
  if (!o) return;
  o->hit_points = k.hit_points;
  o->score = k.score;
  o->mass = k.mass;
  // The draws in the order the values are listed: variant, spin, then the angle, which the
  // turrets and spinners draw twice and keep the second.
  o->variant = random_variant();
  if (k.what == role::mine) {
    o->angle = random_angle();
  } else {
    o->spin = random_spin();
    o->angle = random_angle();
    o->angle = random_angle();
  }
  load_shape(o, k.rows, k.n, k.hit_count, row_colour);
  ++kind_alive[k.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kSpinners, spawn_spinner, K>;

float ticks(int32_t dt) { return float(dt) / 256.0f; }

// A shot every 18 updates (the first on the 19th), counted in updates whatever their length.
void turret_fire(game_object* o) {
  if (++o->counters[0] <= 18) return;
  fire_ahead(o, float(difficulty_level) * 0.05f + 0.5f);
  o->counters[0] = 1;
}

// Aims while it grows, then holds that aim for good.
void update_fixed_turret(game_object* o, int32_t dt) {
  if (o->flags & kObjWarping) {
    warp_in_step(o, dt);
    o->angle += o->spin * ticks(dt);
    transform_object(o);
  }
  turret_fire(o);
  drift_step(o, dt);
}

void update_spinning_turret(game_object* o, int32_t dt) {
  warp_in_step(o, dt);
  turret_fire(o);
  o->angle += o->spin * ticks(dt);
  transform_object(o);
  drift_step(o, dt);
}

// The warp-in, or afterwards the breathing between half and one and a half times the size
// (one cycle in 200 ticks, starting from its middle).
void pulse(game_object* o, int32_t dt) {
  if (o->flags & kObjWarping) {
    if (dt <= o->timer) {
      o->timer -= dt;
      o->scale = int32_t((int64_t(12800 - o->timer) * 256) / 12800);
    } else {
      o->flags &= ~kObjWarping;
      o->scale = 0;
      o->timer = 12800;
    }
    return;
  }
  o->timer += dt;
  const int32_t p = int32_t(uint32_t(o->timer) % 51200u);
  o->scale = p < 25600 ? 128 + (p * 256) / 25600 : 128 + ((51200 - p) * 256) / 25600;
}

void update_spinner(game_object* o, int32_t dt) {
  pulse(o, dt);
  turn_and_drift(o, dt);
}

void update_heavy_spinner(game_object* o, int32_t dt) {
  pulse(o, dt);
  turn_and_drift(o, dt, 3.0f);
}

// 61 updates right, then 61 left; on the turning update it steps both ways.
void update_patrol(game_object* o, int32_t dt) {
  pulse(o, dt);
  int32_t& direction = o->counters[0];
  int32_t& steps = o->counters[1];
  if (direction == 0) {
    o->x += 256;
    if (++steps > 60) {
      direction = 1;
      steps = 0;
    }
  }
  if (direction == 1) {
    o->x -= 256;
    if (++steps > 60) {
      direction = 0;
      steps = 0;
    }
  }
  turn_and_drift(o, dt);
}

// The mines' kill: the standard sparks and counters without a popup.
void mine_kill(uint16_t index, int32_t kind) {
  standard_sparks(object_at(index));
  --kind_alive[kind];
  ++kind_killed[kind];
  free_object(index);
}

template <int K>
void kill_mine(uint16_t index) { mine_kill(index, K); }

// Ages in updates; each update of a mine ends every mine of its kind past the age limit,
// itself included. Every record of the kind is swept, wherever it lies in the pool: an
// unswept mine would never expire and would soak up a shot for every update of its age.
template <int K, int Limit>
void update_mine(game_object* o, int32_t dt) {
  if (warp_in_step(o, dt)) transform_object(o);
  drift_step(o, dt);
  ++o->hit_points;
  walk_objects([](uint16_t s) {
    const game_object& m = object_at(s);
    if (m.kind == K && (m.flags & kObjActive) && m.hit_points > Limit) mine_kill(s, K);
  });
}

template <int K>
void kill_standard(uint16_t index) { standard_kill(index, K); }

void kill_shot(uint16_t index) {
  const game_object& o = object_at(index);
  spark_burst(o.x, o.y, 12, spark_style{3, 7, 7, 0xFC20, 0, 3000, 6.0f, 768, 1536});
  free_object(index);
}

}  // namespace

void spawn_kind18(int32_t x, int32_t y, float angle, float speed) {
  game_object* o = new_enemy(18, x, y);
  if (!o) return;
  o->flags = kObjDrawn | kObjActive;
  o->timer = 0;
  o->scale = 0;
  o->mass = 1.0f;
  o->angle = angle;
  o->vx = std::sin(angle) * speed;
  o->vy = -std::cos(angle) * speed;
  load_shape(o, kShot, 3, 3, shot_colour, shape_build{256, kShipScale, false});
}

void register_spinners() {
  register_kind(kEnemyShot, nullptr, drift_step, kill_shot);
  register_kind(kFixedTurret, spawn_one<kFixedTurret>, update_fixed_turret, kill_standard<kFixedTurret>);
  register_kind(kSpinningTurret, spawn_one<kSpinningTurret>, update_spinning_turret, kill_standard<kSpinningTurret>);
  register_kind(kShieldSpinner, spawn_one<kShieldSpinner>, update_spinner, kill_standard<kShieldSpinner>);
  register_kind(kTimeSpinner, spawn_one<kTimeSpinner>, update_spinner, kill_standard<kTimeSpinner>);
  register_kind(kLifeSpinner, spawn_one<kLifeSpinner>, update_spinner, kill_standard<kLifeSpinner>);
  register_kind(kTallySpinner, spawn_one<kTallySpinner>, update_spinner, kill_standard<kTallySpinner>);
  // The heavy spinner dies through the counter's kill and counts as one.
  register_kind(kHeavySpinner, spawn_one<kHeavySpinner>, update_heavy_spinner, nullptr);
  register_kind(kPatrolSpinner, spawn_one<kPatrolSpinner>, update_patrol, kill_standard<kPatrolSpinner>);
  register_kind(kHunterMine, spawn_one<kHunterMine>, update_mine<kHunterMine, 150>, kill_mine<kHunterMine>);
  register_kind(kWalkingMine, spawn_one<kWalkingMine>, update_mine<kWalkingMine, 50>, kill_mine<kWalkingMine>);
}
