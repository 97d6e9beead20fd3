#include "pellax/game/enemies/stage_director.h"

#include <cstring>
#include <initializer_list>

#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/platform/audio.h"

int32_t kill_quota = 50;
int32_t director_timer = 0;
int32_t level_end_timer = 0;

namespace {

// A band of the random draw: draws up to `upto` (inclusive) spawn `kind` (0: nothing).
struct band {
  int32_t upto;
  int32_t kind;
};
using bands = std::initializer_list<band>;


int32_t rnd(int32_t n) { return random_range(0, n); }

void spawn_from(const bands& table, int32_t r, int32_t x, int32_t y) {
  for (const band& b : table) {
    if (r > b.upto) continue;
    if (b.kind != 0) spawn_kind(b.kind, x, y);
    return;
  }
}

// Pick: a point near the player, a draw of 0..99 (or 0..89), and that band's kind there.
void pick(const bands& table, int32_t range = 100) {
  int32_t x, y;
  pick_spawn_position(&x, &y);
  const int32_t r = random_range(0, range);
  spawn_from(table, r, x, y);
}

int32_t L() { return difficulty_level; }
// An interval divided by L + 1.
int32_t per_l(int32_t i) { return i / (L() + 1); }

// The end timer once the goal is met.
enum end_kind { kEnd0, kEnd1, kEnd2, kEnd3, kEnd4 };

void advance_end(end_kind e, int32_t dt) {
  switch (e) {
    case kEnd0:
      level_cleared = 1;
      break;
    case kEnd1:
      level_end_timer += dt;
      if (level_end_timer > 12800) level_cleared = 1;
      break;
    case kEnd2:
    case kEnd3:
      level_end_timer += dt / 2;
      if (level_end_timer > (e == kEnd2 ? 12800 : 25600)) level_cleared = 1;
      break;
    case kEnd4:
      level_end_timer += dt;
      if (level_end_timer > 102400) {
        music_off();
        loop_sound_stop();
        level_cleared = 1;
      }
      break;
  }
}

// Form A: counted kind c, interval i, hold h; cap ends the step after the timer reset.
template <typename Cap>
void form_a(int32_t c, int32_t i, int32_t h, Cap cap, const bands& table) {
  if (director_timer < per_l(i) && kind_alive[c] >= h) return;
  director_timer = 0;
  if (cap()) return;
  pick(table);
}

void form_t(int32_t i, const bands& table) {
  if (director_timer < per_l(i)) return;
  director_timer = 0;
  if (kind_alive[kMorpher] > L() + 10) return;
  pick(table);
}

// Form C: the live total held below L + 3 until the interval, at most `cap` alive, and
// position limits.
void form_c(int32_t i, const bands& table, int32_t cap, int32_t min_y, int32_t max_x) {
  const int32_t n = alive_total();
  if (director_timer < per_l(i) && n >= L() + 3) return;
  if (n > cap) return;
  director_timer = 0;
  int32_t x, y;
  pick_spawn_position(&x, &y);
  if (y < min_y) y = min_y;
  if (x > max_x) x = max_x;
  const int32_t r = random_range(0, 100);
  spawn_from(table, r, x, y);
}

// Form D: r drawn from 0..89.
void form_d(int32_t i, int32_t cap, const bands& table, int32_t live_limit = 1 << 30) {
  const int32_t n = alive_total();
  if (director_timer < per_l(i) || n > cap) return;
  director_timer = 0;
  int32_t x, y;
  pick_spawn_position(&x, &y);
  const int32_t r = random_range(0, 90);
  if (alive_total() > live_limit) return;
  spawn_from(table, r, x, y);
}

// Form B: the boss until its quota is spawned, then filler.
template <typename Boss>
void form_b(int32_t boss_kind, int32_t interval, Boss spawn_boss, const bands& filler) {
  const int32_t n = alive_total();
  if (director_timer < interval && n >= L() + 4) return;
  director_timer = 0;
  if (kind_alive[boss_kind] + kind_killed[boss_kind] < kill_quota) {
    int32_t x, y;
    pick_spawn_position(&x, &y);
    spawn_boss(x, y);
    return;
  }
  if (n >= L() + 2) return;
  if (filler.size() != 0) pick(filler);
}

// A chain boss band: the draw's links and speed.
void chain_from_draw(int32_t r, int32_t x, int32_t y) {
  if (r <= 19) spawn_kind9(x, y, 3, 0.7f);
  else if (r <= 39) spawn_kind9(x, y, 3, 0.8f);
  else if (r <= 59) spawn_kind9(x, y, 2, 0.9f);
  else if (r <= 87) spawn_kind9(x, y, 4, 0.6f);
  else spawn_kind9(x, y, 5, 0.5f);
}

void place_ship(int32_t x, int32_t y) {
  if (!player_object) return;
  player_object->x = x;
  player_object->y = y;
}

void mine_walk() {
  if (++mine_walk_count != 5) return;
  mine_walk_count = 0;
  spawn_kind(kWalkingMine, mine_walk_x * 256, mine_walk_y * 256);
  switch (mine_walk_dir) {
    case 0: mine_walk_y += 20; break;
    case 1: mine_walk_x += 20; break;
    case 2: mine_walk_x -= 20; break;
    default: mine_walk_y -= 20; break;
  }
  if (mine_walk_x >= 134 && mine_walk_x <= 580 && mine_walk_y >= 134 && mine_walk_y <= 580) return;
  int32_t x, y;
  pick_spawn_position(&x, &y);
  spawn_kind(kArmouredMorpher, x, y);
  const int32_t d = random_range(0, 4);
  const int32_t along = random_range(134, 580);
  switch (d) {
    case 0: mine_walk_y = 134; mine_walk_x = along; break;
    case 1: mine_walk_x = 134; mine_walk_y = along; break;
    case 2: mine_walk_x = 580; mine_walk_y = along; break;
    default: mine_walk_y = 580; mine_walk_x = along; break;
  }
  mine_walk_dir = d;
}

// Runs a level's script: the goal, then the condition, then the end timer; else the spawns.
template <typename Then, typename Spawn>
void script(bool goal, Then then, end_kind e, int32_t dt, Spawn spawn) {
  if (!goal) {
    level_end_timer = 0;
    spawn();
    return;
  }
  if (then()) advance_end(e, dt);
}

bool always() { return true; }

void run_level(int32_t level, int32_t dt) {
  const int32_t* alive = kind_alive;
  const int32_t* killed = kind_killed;
  const int32_t q = kill_quota, l = L();
  auto none = [] { return false; };
  switch (level) {
    case 0:
      script(
          killed[kRock] >= q, [] { return alive_chasers() == 0; }, kEnd1, dt,
          [&] {
            form_a(kRock, 102400, l + 3, [&] { return alive[kRock] >= l + 3; },
                   {{69, kRock}, {94, kSmallRock}, {99, kTriangleBlock}});
          });
      break;
    case 1:
      script(killed[kWinged] >= q, always, kEnd1, dt, [&] {
        form_a(kWinged, 40960, l + 6, [&] { return alive[kWinged] > l + 10; }, {{24, kWinged}, {99, kTriangleBlock}});
      });
      break;
    case 2:
      script(killed[kHexagon] >= q, [&] { return alive[kHexagonPiece] <= 2 && alive[kHexagon] == 0; }, kEnd1, dt, [&] {
        form_a(kHexagon, 81920, l + 1, [&] { return alive[kHexagonPiece] + 6 * alive[kHexagon] > 6 * l + 14; },
               {{39, kHexagon}, {49, kSquareDrifter}, {59, kTriangleBlock}, {99, 0}});
      });
      break;
    case 3:
      script(killed[kDodger] >= q, [&] { return alive[kDodger] == 0 && alive[kHexagon] == 0; }, kEnd1, dt, [&] {
        form_a(kDodger, 81920, l + 5, none, {{59, kDodger}, {69, kTriangleBlock}, {74, kSquareDrifter}, {99, 0}});
      });
      break;
    case 4:
      script(killed[kShootingHunter] >= q, always, kEnd3, dt, [&] {
        form_b(kShootingHunter, per_l(204800), [](int32_t x, int32_t y) { spawn_kind(kShootingHunter, x, y); },
               {{32, kSquareDrifter}, {65, kChaser}, {99, kTriangleBlock}});
      });
      break;
    case 5:
    case 111:
      script(killed[kChaser] >= q, [] { return alive_chasers() <= 1; }, kEnd1, dt, [&] {
        form_a(kChaser, 61440, l + 3, none, {{79, kChaser}, {89, kTriangleBlock}, {99, kSquareDrifter}});
      });
      break;
    case 6:
      script(
          killed[kBigRock] >= q, [&] { return alive[kBigRock] <= 1; }, kEnd1, dt,
          [&] {
            form_a(kBigRock, 122880, l + 2, [&] { return alive[kBigRock] >= 2 * l; },
                   {{59, kBigRock}, {94, kTriangleBlock}, {99, 0}});
          });
      break;
    case 7:
      script(
          killed[kMorpher] >= q, [] { return alive_chasers() <= 1; }, kEnd1, dt,
          [&] {
            form_a(kMorpher, 40960, l + 6, [&] { return alive[kMorpher] > l + 10; },
                   {{89, kMorpher}, {92, kColourTriangle}, {96, kSquareDrifter}, {99, kChaser}});
          });
      break;
    case 8:
      script(
          killed[kStarChaser] >= q, [] { return alive_chasers() <= 1; }, kEnd1, dt,
          [&] {
            form_a(kStarChaser, 122880, l + 2, none,
                   {{79, kStarChaser}, {86, kTriangleBlock}, {93, kDriftingShooter}, {99, kSquareDrifter}});
          });
      break;
    case 9:
      script(
          killed_total() >= q, [] { return alive_total() <= 3; }, kEnd1, dt,
          [&] {
            form_c(71680,
                   {{10, kTriangleBlock},
                    {21, kSquareDrifter},
                    {32, kRock},
                    {43, kMorpher},
                    {54, kBigRock},
                    {65, kChaser},
                    {76, kHexagon},
                    {87, kStarChaser},
                    {99, kWinged}},
                   INT32_MAX, INT32_MIN, INT32_MAX);
          });
      break;
    case 10:
      script(killed[kMineHunter] >= q, always, kEnd2, dt, [&] {
        form_b(kMineHunter, per_l(204800), [](int32_t x, int32_t y) { spawn_kind(kMineHunter, x, y); }, {});
      });
      break;
    case 11:
      script(killed[kWinged] >= q, always, kEnd1, dt, [&] {
        form_a(kWinged, 5120, l + 6, none, {{19, kWinged}, {99, kCrossBox}});
      });
      break;
    case 12:
      script(
          killed[kColourTriangle] >= q, [] { return alive_chasers() <= 1; }, kEnd1, dt,
          [&] {
            form_a(kColourTriangle, 122880, l + 2, none,
                   {{59, kColourTriangle}, {74, kSquareDrifter}, {94, kDriftingShooter}, {99, kBigRock}});
          });
      break;
    case 13:
      script(killed[kRock] > 7 && killed[kFixedTurret] > 5, always, kEnd1, dt,
             [&] { form_t(4096000, {{96, kTriangleBlock}, {99, kChaser}}); });
      break;
    case 14:
      script(killed[kFixedTurret] > 8, always, kEnd1, dt, [&] {
        form_t(204800, {{29, kRock}, {39, kSmallRock}, {99, kChaser}});
      });
      break;
    case 15:
      script(killed[kHexagon] >= q, [&] { return alive[kHexagonPiece] == 0 && alive[kHexagon] <= 1; }, kEnd1, dt, [&] {
        form_a(kHexagon, 81920, l + 1, [&] { return alive[kHexagonPiece] + 6 * alive[kHexagon] > 6 * l + 14; },
               {{69, kHexagon}, {79, kSquareDrifter}, {89, kChaser}, {99, kMorpher}});
      });
      break;
    case 16:
      script(
          killed[kDodger] >= q, [] { return alive_chasers() <= 2; }, kEnd1, dt,
          [&] {
            form_a(kDodger, 51200, l + 7, [&] { return alive[kDodger] > l + 10; },
                   {{59, kDodger}, {94, kColourTriangle}, {97, kDriftingShooter}, {99, kChaser}});
          });
      break;
    case 17:
      script(
          killed[kChainBoss] >= q, [] { return alive_chasers() <= 2; }, kEnd1, dt,
          [&] {
            form_b(kChainBoss, 204800, [](int32_t x, int32_t y) { spawn_kind9(x, y, 8, 0.6f); },
                   {{32, kSquareDrifter}, {65, kChaser}, {99, kTriangleBlock}});
          });
      break;
    case 18:
    case 98:
      if (level == 98) {
        script(
            killed[kRunaway] >= q, [] { return alive_total() <= 3; }, kEnd1, dt,
            [&] {
              form_a(kRunaway, 51200, l + 7, [&] { return alive[kRunaway] > l + 10; },
                     {{79, kRunaway}, {86, kMorpher}, {93, kDodger}, {99, kChaser}});
            });
        break;
      }
      script(killed[kRunaway] >= q, [] { return alive_total() <= 3; }, kEnd1, dt, [&] {
        form_a(kRunaway, 51200, l + 7, [&] { return alive[kRunaway] > l + 10; }, {{91, kRunaway}, {99, kChaser}});
      });
      break;
    case 19:
      if (killed[kLifeSpinner] >= q) {
        level_cleared = 1;
        level_number = 20;
        break;
      }
      level_end_timer = 0;
      form_a(kRunaway, 51200, l + 7, [&] { return alive[kRunaway] > l + 10; }, {{91, kRunaway}, {99, kChaser}});
      break;
    case 20:
      if (killed[kHornedGiant] >= q && killed[kTailedGiant] >= q) {
        if (alive_total() > 3) break;
        const int32_t was = level_cleared;
        advance_end(kEnd1, dt);
        if (level_cleared && !was) {
          ++level_number;
          pickup108_count = 5;
        }
        break;
      }
      level_end_timer = 0;
      if (director_timer < 66560) break;
      director_timer = 0;
      if (random_range(0, 100) <= 49) spawn_kind(kHornedGiant, 153600, 51200);
      else spawn_kind(kTailedGiant, 51200, 51200);
      break;
    case 21: {
      if (killed[kChainBoss] >= q) advance_end(kEnd0, dt);
      else level_end_timer = 0;
      if (director_timer < per_l(184320) || alive[kChainBoss] > 5) break;
      director_timer = 0;
      int32_t x, y;
      pick_spawn_position(&x, &y);
      chain_from_draw(random_range(0, 100), x, y);
      break;
    }
    case 22:
      if (pickup108_count == 2) {
        level_cleared = 1;
        level_number = 19;
      }
      script(killed[kLifeSpinner] >= q, always, kEnd0, dt, [&] {
        form_c(92160,
               {{10, kTriangleBlock},
                {21, kSquareDrifter},
                {43, kColourTriangle},
                {54, kMorpher},
                {65, kDriftingShooter},
                {87, kRunaway},
                {94, kStarChaser},
                {99, kRock}},
               39, 102400, INT32_MAX);
      });
      break;
    case 23:
      script(killed[kLifeSpinner] > 0, always, kEnd0, dt, [&] {
        if (killed[kTallySpinner] == kill_quota) {
          place_ship(120320, 140800);
          ++kill_quota;
        }
        form_c(716800,
               {{10, kTriangleBlock},
                {34, kColourTriangle},
                {54, kDriftingShooter},
                {64, kHexagon},
                {69, kStarChaser},
                {99, kRock}},
               39, 117760, 69120);
      });
      break;
    case 24:
      script(killed_total() >= q, [] { return alive_total() <= 3; }, kEnd1, dt, [&] {
        const int32_t n = alive_total();
        if (director_timer < per_l(102400) || n > 49) return;
        director_timer = 0;
        int32_t x, y;
        pick_spawn_position(&x, &y);
        const int32_t r = random_range(0, 90);
        if (r <= 6) spawn_kind9(x, y, 3, 0.9f);
        else if (r <= 84) spawn_kind(kStandingShooter, x, y);
        else spawn_kind(kDriftingShooter, x, y);
      });
      break;
    case 25:
      script(killed[kTurningBoss] >= q, always, kEnd2, dt, [&] {
        if (pickup108_count == 1) {
          place_ship(126464, 99840);
          pickup108_count = 2;
        } else if (pickup108_count == 3) {
          place_ship(102400, 35840);
          pickup108_count = 4;
        } else if (pickup108_count == 5) {
          place_ship(37888, 37888);
          pickup108_count = 6;
        }
        form_b(kTurningBoss, per_l(204800), [](int32_t x, int32_t y) { spawn_kind(kTurningBoss, x, y); }, {});
      });
      break;
    case 26:
      script(killed_total() >= q, [] { return alive_total() <= 3; }, kEnd1, dt,
             [&] { form_d(51200, 49, {{79, kStandingShooter}, {89, kDriftingShooter}}, 13); });
      break;
    case 27:
      script(killed[kArmouredMorpher] >= q, always, kEnd0, dt, [&] {
        form_d(76800, 79, {{49, 0}, {89, kArmouredMorpher}});
      });
      break;
    case 28:
      script(killed[kRock] > 7 && killed[kFixedTurret] > 5, always, kEnd1, dt, [&] {
        if (director_timer < per_l(4096000)) return;
        director_timer = 0;
        if (kind_alive[kMorpher] > l + 10) return;
        int32_t x, y;
        pick_spawn_position(&x, &y);
        spawn_kind(kMorpher, x, y);
        spawn_kind(kChaser, x, y);
      });
      break;
    case 29:
      script(killed[kArmouredMorpher] > 10 && killed[kBigRock] > 3, always, kEnd1, dt, [&] {
        mine_walk();
        form_t(9216000, {{96, kTriangleBlock}, {99, kChaser}});
      });
      break;
    case 30:
      script(killed[kMineHunter] > 0 && killed[kShootingHunter] > 0, always, kEnd2, dt, [&] {
        form_b(kMineHunter, per_l(1024000),
               [](int32_t x, int32_t y) {
                 spawn_kind(kMineHunter, x, y);
                 int32_t x2, y2;
                 pick_spawn_position(&x2, &y2);
                 spawn_kind(kShootingHunter, x2, y2);
               },
               {});
      });
      break;
    case 31:
      script(killed[kTallySpinner] > 5, always, kEnd1, dt, [&] {
        if (pickup103_count == 4) {
          pickup103_count = 5;
          spawn_kind(kTrophyE, 128000, 51200);
        }
        if (director_timer >= per_l(4096000)) director_timer = 0;
      });
      break;
    case 32:
      script(killed[kSpinningTurret] > 7, always, kEnd1, dt, [&] {
        if (director_timer >= per_l(4096000)) director_timer = 0;
      });
      break;
    case 33:
    case 34:
      script(level == 33 ? killed[kArmouredShooter] > 2 : killed[kTurningBoss] > 0, always, level == 33 ? kEnd1 : kEnd4,
             dt, [&] {
               if (director_timer < per_l(76800) || alive[kArmouredShooter] >= q) return;
               if (level == 34 && killed[kArmouredShooter] > 1) return;
               director_timer = 0;
               int32_t x, y;
               pick_spawn_position(&x, &y);
               spawn_kind(kArmouredShooter, x, y);
             });
      break;
    case 35:
      script(killed_total() >= q, [] { return alive_total() <= 3; }, kEnd1, dt, [&] {
        const int32_t n = alive_total();
        if (director_timer < per_l(10240) || n > 49) return;
        director_timer = 0;
        int32_t x, y;
        pick_spawn_position(&x, &y);
        const int32_t r = random_range(0, 90);
        if (r >= 45 && r <= 49) {
          spawn_kind9(x, y, 3, 0.9f);
          return;
        }
        spawn_from({{4, kTriangleBlock},
                    {9, kSquareDrifter},
                    {14, kRock},
                    {19, kMorpher},
                    {24, kBigRock},
                    {29, kChaser},
                    {34, kHexagon},
                    {39, kStarChaser},
                    {44, kWinged},
                    {49, 0},
                    {54, kStandingShooter},
                    {59, kFixedTurret},
                    {64, kCrossBox},
                    {69, kRunaway},
                    {74, kDodger},
                    {79, kSmallRock},
                    {84, kColourTriangle},
                    {89, 0}},
                   r, x, y);
      });
      break;
    case 99:
      script(
          killed[kDodger] >= q, [] { return alive_chasers() <= 2; }, kEnd1, dt,
          [&] {
            form_a(kDodger, 51200, l + 7, [&] { return alive[kDodger] > l + 10; },
                   {{79, kDodger}, {86, kDriftingShooter}, {93, kChaser}, {99, kColourTriangle}});
          });
      break;
    case 161:
      script(
          killed[kDriftingShooter] >= q, [&] { return alive[kDriftingShooter] <= 2; }, kEnd1, dt,
          [&] {
            form_a(kDriftingShooter, 81920, l + 5, none,
                   {{79, kDriftingShooter}, {86, kChaser}, {93, kColourTriangle}, {99, kMorpher}});
          });
      break;
    default:
      break;
  }
}

}  // namespace

void stage_reset() {
  level_number = 0;
  for (int k = 0; k < 30; ++k) kind_alive[k] = kind_killed[k] = 0;
  director_timer = 0;
  kill_quota = 50;
  game_speed = 1.0f;
}

void stage_begin() {
  std::memset(kind_alive, 0, sizeof kind_alive);
  std::memset(kind_killed, 0, sizeof kind_killed);
  director_timer = 0;
  // A level begins with no end time of its own: a previous level's would otherwise end a
  // level whose goal is met at once before its ending time.
  level_end_timer = 0;
  shape_scale = 160;
  const int32_t l = difficulty_level;
  switch (level_number) {
    case 0: kill_quota = 4 * l + 4; break;
    case 1: kill_quota = 6; break;
    case 2: kill_quota = l + 2; break;
    case 3: kill_quota = 5; break;
    case 4: kill_quota = 1; break;
    case 5: kill_quota = 6 * l + 6 + rnd(3); break;
    case 6: kill_quota = 3 * l + 3; break;
    case 7: kill_quota = 14 * l + 14 + rnd(3); break;
    case 8: kill_quota = 5 * l + 5 + rnd(3); break;
    case 9: kill_quota = 8 * l + 8 + rnd(3); break;
    case 10: kill_quota = 1; break;
    case 11:
      kill_quota = 7 + rnd(6);
      shape_scale = 80;
      place_ship(40960, 40960);
      break;
    case 12:
      kill_quota = 3 * l + 3 + rnd(6);
      shape_scale = 280;
      break;
    case 13: case 14: kill_quota = 1; break;
    case 15: kill_quota = 2 * l; break;
    case 16: kill_quota = 6 * l + 6 + rnd(6); break;
    case 17: kill_quota = 1; break;
    case 18: kill_quota = 6 * l + 6 + rnd(4); break;
    case 19: kill_quota = 9; break;
    case 20: kill_quota = 4 + rnd(2); break;
    case 21: case 22: case 23: kill_quota = 6; break;
    case 24: kill_quota = 14; break;
    case 25:
      kill_quota = 1;
      pickup108_count = 0;
      break;
    case 26: case 27: kill_quota = 14; break;
    case 28: kill_quota = 1; break;
    case 29:
      kill_quota = 1;
      mine_walk_dir = 1;
      mine_walk_count = 0;
      mine_walk_y = 250;
      mine_walk_x = 134;
      break;
    case 30: kill_quota = 1; break;
    case 31:
      kill_quota = 1;
      pickup103_count = 0;
      break;
    case 32: kill_quota = 1; break;
    case 33: kill_quota = 3; break;
    case 34: kill_quota = 2; break;
    default: break;
  }
}

void stage_director_update(int32_t dt) {
  director_timer += dt;
  if (difficulty_level <= 7 && director_timer < (90 - 10 * difficulty_level) * 256) return;
  run_level(level_number, dt);
}

int32_t alive_total() {
  int32_t n = 0;
  for (int k = 0; k < 30; ++k)
    if (k != kChainBoss && k != kTetherBarrier) n += kind_alive[k];
  return n;
}

int32_t killed_total() {
  int32_t n = 0;
  for (int k = 0; k < 30; ++k) n += kind_killed[k];
  return n;
}

int32_t alive_chasers() {
  int32_t n = 0;
  for (int k : {kChaser, kDodger, kColourTriangle, kRunaway, kStarChaser, kMorpher, kHexagon, kHexagonPiece,
                kDriftingShooter, kStandingShooter, kWinged})
    n += kind_alive[k];
  return n;
}
