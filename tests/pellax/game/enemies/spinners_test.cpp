// The kinds that turn in place: the enemy shot, the turrets, the pulsing spinners, the
// patrolling spinner and the mines.
#include <cmath>
#include <vector>

#include "pellax/game/enemies/kind_steps.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using SpinnerTest = GameTest;

int count_used(int kind) {
  int n = 0;
  walk_objects([&](uint16_t i) { n += object_at(i).kind == kind; });
  return n;
}

TEST_F(SpinnerTest, SpawnValues) {
  struct row {
    int32_t kind, base, hits, hit_points, score;
    float mass;
  };
  const row rows[] = {{21, 16, 3, 4, 800, 60},   {115, 16, 3, 4, 800, 60},  {22, 19, 19, 5, 0, 60},
                      {118, 17, 17, 5, 0, 60},   {40, 8, 8, 5, 0, 60},      {103, 7, 7, 5, 0, 60},
                      {108, 13, 13, 99, 0, 599}, {123, 12, 12, 5, 0, 60},   {28, 4, 4, 0, 0, 4},
                      {116, 4, 4, 0, 0, 4}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->flags, kObjDrawn | kObjActive | kObjWarping);
    EXPECT_EQ(o->segment_count, 3 * r.base);
    EXPECT_EQ(o->hit_count, r.hits);
    EXPECT_EQ(o->hit_points, r.hit_points);
    EXPECT_EQ(o->score, r.score);
    EXPECT_FLOAT_EQ(o->mass, r.mass);
    EXPECT_EQ(o->scale, 10);
    EXPECT_EQ(o->counters[0], 0);
    EXPECT_EQ(o->colour_a[0], kEnemyColours[o->variant]);
    EXPECT_EQ(kind_alive[r.kind], 1);
    if (r.kind != 28 && r.kind != 116) {
      EXPECT_GE(o->spin, 0.01f);
      EXPECT_LT(o->spin, 0.02f);
    } else {
      EXPECT_EQ(o->spin, 0.0f);
    }
  }
}

// The spawn's draws in the order the values are listed: the variant, the spin, then the
// angle twice (the second kept); a mine draws no spin and one angle.
TEST_F(SpinnerTest, SpawnDrawsInTheListedOrder) {
  for (int32_t kind : {21, 115, 22, 108, 123, 28, 116}) {
    SCOPED_TRACE(kind);
    const bool mine = kind == 28 || kind == 116;
    mt_seed(77);
    const int32_t v = random_range(0, 1200);
    const int32_t r = mine ? 0 : random_range(0, 100);
    int32_t a = random_range(0, 1000);
    if (!mine) a = random_range(0, 1000);
    mt_seed(77);
    const game_object* o = spawn_at(kind, 300, 300);
    EXPECT_EQ(o->variant, 1 + (v / 3) % 6);
    EXPECT_FLOAT_EQ(o->spin, mine ? 0.0f : float(r) / 10000.0f + 0.01f);
    EXPECT_FLOAT_EQ(o->angle, float(a) * 6.283f / 1000.0f);
  }
}

TEST_F(SpinnerTest, TheShotFliesAlongItsAngleAndDiesQuietly) {
  spawn_kind18(300 * 256, 300 * 256, 1.5708f, 0.6f);
  game_object& o = object_at(object_pool->heads[kObjectUsed]);
  EXPECT_EQ(o.kind, 18);
  EXPECT_EQ(o.flags, kObjDrawn | kObjActive);
  EXPECT_EQ(o.segment_count, 9);
  EXPECT_EQ(o.colour_a[0], 0xFFE0);
  EXPECT_EQ(o.model_y1[1], -720);  // the table's own size, not scaled again
  EXPECT_NEAR(o.vx, 0.6f, 1e-6f);
  EXPECT_NEAR(o.vy, 0.0f, 1e-5f);
  enemy_update(&o, 256 * 10);
  EXPECT_EQ(o.x, 300 * 256 + 6 * 256);
  const int32_t score = game_score;
  enemy_kill(object_index(&o));
  EXPECT_FALSE(o.link.in_use);
  EXPECT_EQ(game_score, score);
  EXPECT_EQ(kind_alive[18], 0);
  EXPECT_EQ(kind_killed[18], 0);
}

// The kills' sparks (each drawn with its two parallel copies): 12 of a shot, 60 of the
// others, mines included.
TEST_F(SpinnerTest, KillsThrowTheirSparks) {
  struct row {
    int32_t kind, sparks;
  };
  for (const row& r : {row{18, 12}, row{21, 60}, row{22, 60}, row{108, 60}, row{123, 60}, row{28, 60}}) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    if (r.kind == 18) spawn_kind18(300 * 256, 300 * 256, 0.0f, 0.5f);
    else spawn_at(r.kind, 300, 300);
    const uint16_t i = object_pool->heads[kObjectUsed];
    clear_particles();
    enemy_kill(i);
    EXPECT_FALSE(object_at(i).link.in_use);
    int sparks = 0;
    walk_particles([&](uint16_t) { ++sparks; });
    EXPECT_EQ(sparks, 3 * r.sparks);
  }
}

// Counted in updates whatever their length: the first shot on the 19th update, then one
// every 18, at 0.05 L + 0.5 px a tick from 19.5 px ahead.
TEST_F(SpinnerTest, TurretsFireEveryEighteenUpdates) {
  struct row {
    int32_t kind, dt, level;
  };
  for (const row& r : {row{21, 896, 0}, row{21, 12801, 10}, row{115, 300, 2}}) {
    SCOPED_TRACE(r.kind * 100000 + r.dt);
    free_objects_with_flags(kObjActive);
    difficulty_level = r.level;
    game_object* t = spawn_at(r.kind, 300, 300);
    std::vector<int> fired_on;
    for (int u = 1; u <= 60; ++u) {
      const int before = count_used(18);
      enemy_update(t, r.dt);
      if (count_used(18) > before) {
        fired_on.push_back(u);
        game_object& s = object_at(object_pool->heads[kObjectUsed]);
        EXPECT_NEAR(std::hypot(s.vx, s.vy), 0.05f * float(r.level) + 0.5f, 1e-5f);
        EXPECT_NEAR(std::hypot(float(s.x - t->x), float(s.y - t->y)) / 256.0f, 19.5f, 0.01f);
      }
    }
    EXPECT_EQ(fired_on, (std::vector<int>{19, 37, 55}));
  }
}

TEST_F(SpinnerTest, TheFixedTurretHoldsItsAimTheSpinningOneSweeps) {
  game_object* fixed = spawn_at(21, 250, 300);
  game_object* spinning = spawn_at(115, 450, 300);
  settle(fixed);
  settle(spinning);
  const float fixed_aim = fixed->angle, spinning_aim = spinning->angle;
  const int32_t fixed_end = fixed->world_x1[0];
  for (int u = 0; u < 40; ++u) {
    enemy_update(fixed, 896);
    enemy_update(spinning, 896);
  }
  EXPECT_EQ(fixed->angle, fixed_aim);
  EXPECT_EQ(fixed->world_x1[0], fixed_end);
  EXPECT_NEAR(spinning->angle, spinning_aim + 40 * 3.5f * spinning->spin, 1e-3f);
}

// Full size at the end of the warp-in, then breathing between half and one and a half
// times the size, one cycle in 200 ticks from its middle.
TEST_F(SpinnerTest, SpinnersPulseAfterTheirWarpIn) {
  game_object* o = spawn_at(22, 300, 300);
  enemy_update(o, 12801);
  EXPECT_FALSE(o->flags & kObjWarping);
  EXPECT_EQ(o->scale, 0);
  EXPECT_EQ(o->timer, 12800);
  struct step {
    int32_t dt, scale;
  };
  for (const step& s : {step{12800, 384}, step{12800, 256}, step{12800, 128}, step{6400, 192}, step{6400, 256}}) {
    enemy_update(o, s.dt);
    EXPECT_EQ(o->scale, s.scale) << o->timer;
  }
}

TEST_F(SpinnerTest, TheHeavySpinnerTurnsThreeTimesAsFastAndDiesAsACounter) {
  game_object* light = spawn_at(103, 250, 300);
  game_object* heavy = spawn_at(108, 450, 300);
  settle(light);
  settle(heavy);
  heavy->spin = light->spin;
  const float a0 = light->angle, b0 = heavy->angle;
  enemy_update(light, 512);
  enemy_update(heavy, 512);
  EXPECT_NEAR(heavy->angle - b0, 3.0f * (light->angle - a0), 1e-5f);
  enemy_kill(object_index(heavy));
  EXPECT_EQ(kind_killed[103], 1);
  EXPECT_EQ(kind_alive[103], 0);
  EXPECT_EQ(kind_alive[108], 1);  // never lowered
}

// 61 updates right, then back: on the turning update a step each way.
TEST_F(SpinnerTest, ThePatrolCountsUpdates) {
  game_object* o = spawn_at(123, 300, 300);
  const int32_t x0 = o->x;
  std::vector<int32_t> at;
  for (int u = 1; u <= 130; ++u) {
    enemy_update(o, u % 2 ? 300 : 3000);
    if (u == 60 || u == 61 || u == 62 || u == 121 || u == 122) at.push_back((o->x - x0) / 256);
  }
  EXPECT_EQ(at, (std::vector<int32_t>{60, 60, 59, 0, 1}));
}

// Ages in updates; any mine's update ends every mine of its kind past its age, itself
// included, wherever in the pool it lies, with sparks and no score, popup or drop.
TEST_F(SpinnerTest, MinesExpireByAge) {
  struct row {
    int32_t kind, limit;
  };
  for (const row& r : {row{28, 150}, row{116, 50}}) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    clear_particles();
    game_object* m = spawn_at(r.kind, 300, 300);
    for (int u = 0; u < r.limit; ++u) enemy_update(m, 896);
    EXPECT_TRUE(m->link.in_use);
    EXPECT_EQ(m->hit_points, r.limit);
    const int popups = object_pool->heads[kPopupUsed] == kNoRecord ? 0 : 1;
    enemy_update(m, 896);
    EXPECT_FALSE(m->link.in_use);
    EXPECT_EQ(kind_killed[r.kind], 1);
    EXPECT_EQ(object_pool->heads[kPopupUsed] == kNoRecord ? 0 : 1, popups);
    EXPECT_NE(object_pool->heads[kParticleUsed], kNoRecord);
  }
  // An old mine high in the pool goes when a young one updates.
  free_objects_with_flags(kObjActive);
  std::vector<uint16_t> fill;
  while (used_objects() < 150) fill.push_back(alloc_object());
  game_object* old_mine = spawn_at(116, 300, 300);
  ASSERT_GE(object_index(old_mine), 100);
  old_mine->hit_points = 60;
  for (uint16_t i : fill) free_object(i);
  game_object* young = spawn_at(116, 400, 300);
  const int32_t score = game_score;
  const int before = used_objects();
  enemy_update(young, 896);
  EXPECT_FALSE(old_mine->link.in_use);
  EXPECT_TRUE(young->link.in_use);
  EXPECT_EQ(used_objects(), before - 1);
  EXPECT_EQ(game_score, score);
}

}  // namespace
