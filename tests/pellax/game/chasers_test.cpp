// The chasers: spawn values, hit stages, when and how they steer, and their animations.
#include <cmath>
#include <vector>

#include "pellax/game/kind_steps.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

class ChaserTest : public GameTest {
 protected:
  // A chaser of a kind with the wanted value of its random behaviour draw (kind 17).
  static game_object* spawn_chaser(int32_t kind, int32_t x, int32_t y, int32_t behaviour = -1) {
    for (int tries = 0; tries < 50; ++tries) {
      game_object* o = spawn_at(kind, x, y);
      if (behaviour < 0 || o->work_b == behaviour) return o;
      free_object(object_index(o));
      --kind_alive[kind];
    }
    return nullptr;
  }
};

TEST_F(ChaserTest, SpawnValues) {
  struct row {
    int32_t kind, base, hits;
    uint16_t flags;
    int32_t hit_points, score, scale;
    float mass;
  };
  const row rows[] = {{5, 6, 6, 39, 0, 300, 10, 4},     {11, 5, 5, 47, 0, 400, 10, 3},
                      {105, 37, 37, 47, 0, 400, 10, 3}, {106, 50, 50, 47, 0, 400, 1, 3},
                      {12, 8, 8, 39, 0, 125, 10, 4},    {114, 15, 15, 39, 3, 450, 10, 4},
                      {17, 8, 8, 39, 0, 300, 10, 3},    {6, 8, 8, 39, 0, 250, 10, 3},
                      {7, 6, 3, 39, 0, 250, 10, 4},     {8, 8, 4, 7, 0, 200, 10, 3}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->segment_count, 3 * r.base);
    EXPECT_EQ(o->hit_count, r.hits);
    EXPECT_EQ(o->flags, r.flags);
    EXPECT_EQ(o->hit_points, r.hit_points);
    EXPECT_EQ(o->score, r.score);
    EXPECT_EQ(o->scale, r.scale);
    EXPECT_FLOAT_EQ(o->mass, r.mass);
    EXPECT_EQ(kind_alive[r.kind], 1);
  }
  // The tables are written with y up: the plain chaser's apex (0, 0)-(4096, -4095) ends
  // below its centre on screen.
  game_object* o = spawn_at(5, 300, 300);
  EXPECT_EQ(o->model_y2[3], (160 * 4095) >> 8);
}

// Each kill call is one stage: what is left after each, then death.
TEST_F(ChaserTest, HitStages) {
  struct row {
    int32_t kind;
    std::vector<int32_t> scales;  // after each surviving call
  };
  const row rows[] = {{11, {350, 200}},
                      {105, {350, 300, 250, 200, 150, 100}},
                      {106, {150, 200, 250, 300, 350, 400}},
                      {7, {0}},
                      {5, {}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    settle(o);
    const uint16_t i = object_index(o);
    const int32_t box = o->max_x;
    for (size_t k = 0; k < r.scales.size(); ++k) {
      enemy_kill(i);
      ASSERT_TRUE(o->link.in_use);
      EXPECT_EQ(o->variant, int32_t(k + 1));
      EXPECT_EQ(o->scale, r.scales[k]);
      if (r.kind == 105 || r.kind == 106) {
        EXPECT_NE(o->max_x, box);  // the box follows at once
      }
    }
    const int32_t score = game_score;
    enemy_kill(i);
    EXPECT_FALSE(o->link.in_use);
    EXPECT_EQ(kind_killed[r.kind], 1);
    EXPECT_EQ(game_score, score + (r.kind == 5 ? 300 : r.kind == 7 ? 250 : 400));
  }
}

// The chaser is still until its time alive passes the threshold, then accelerates toward
// the ship by s x c a frame.
TEST_F(ChaserTest, SteeringStartsAfterEachKindsThreshold) {
  struct row {
    int32_t kind, level, behaviour;
    int32_t steers_after;  // ticks of active time before the first change
    float s, c;
  };
  const row rows[] = {{5, 2, -1, 150, 0.5f, 0.01f},   {12, 2, -1, 200, 0.5f, 0.01f}, {114, 2, -1, 200, 0.5f, 0.01f},
                      {7, 2, -1, 50, 0.5f, 0.01f},    {11, 2, -1, 200, 0.4f, 0.012f}, {17, 2, 0, 80, 0.3f, 0.015f},
                      {17, 6, 0, 0, 0.3f, 0.015f}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind * 10 + r.level);
    free_objects_with_flags(kObjActive);
    difficulty_level = r.level;
    game_object* o = spawn_chaser(r.kind, 200, 200, r.behaviour);
    ASSERT_NE(o, nullptr);
    settle(o);
    int ticks = 0;
    for (; ticks < 400; ++ticks) {
      o->vx = o->vy = 0.0f;
      enemy_update(o, 256);
      if (o->vx != 0.0f) break;
    }
    EXPECT_EQ(ticks, r.steers_after);
    const float speed = r.s + game_speed * (r.kind == 11 ? 0.16f : 0.2f);
    EXPECT_NEAR(o->vx, speed * r.c, 1e-6f);  // the ship is right of and below it
    EXPECT_NEAR(o->vy, speed * r.c, 1e-6f);
  }
}

TEST_F(ChaserTest, FrictionOnlyAboveTheLimit) {
  const float s = speed_scale(0.5f, 0.2f), accel = s * 0.01f;
  struct row {
    float vx, want;
  };
  for (const row& r : {row{0.1f, 0.1f + accel}, row{0.5f, (0.5f + accel) * 0.99f}, row{-0.5f, (-0.5f + accel) * 0.99f}}) {
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_at(5, 200, 200);
    settle(o);
    o->timer = 60000;
    o->vx = r.vx;
    o->vy = 0.0f;
    enemy_update(o, 256);
    EXPECT_NEAR(o->vx, r.want, 1e-6f) << r.vx;
  }
}

TEST_F(ChaserTest, ADeadShipStopsTheSteeringNotTheMotion) {
  game_object* o = spawn_at(5, 200, 200);
  settle(o);
  o->timer = 60000;
  o->vx = 0.25f;
  o->vy = 0.0f;
  player_dead = 1;
  const int32_t x = o->x;
  const float a = o->angle;
  enemy_update(o, 512);
  EXPECT_EQ(o->vx, 0.25f);
  EXPECT_EQ(o->x, x + 128);
  EXPECT_NE(o->angle, a);
}

// Aims at the ship for 200 ticks, then dashes along the aim for 200 ticks, and again.
TEST_F(ChaserTest, TheWingedOneAimsThenDashes) {
  game_object* o = spawn_chaser(17, 200, 200, 1);
  ASSERT_NE(o, nullptr);
  settle(o);
  std::vector<int32_t> variants;
  for (int t = 1; t <= 401; ++t) {
    enemy_update(o, 256);
    if (t == 200 || t == 201 || t == 400 || t == 401) variants.push_back(o->variant);
    if (t == 201) {
      EXPECT_NEAR(std::hypot(o->vx, o->vy), speed_scale(0.3f, 0.05f) * 4.0f, 1e-5f);
    }
  }
  EXPECT_EQ(variants, (std::vector<int32_t>{0, 1, 1, 0}));
}

TEST_F(ChaserTest, TheRunawayBornOnTheShipStaysAtRest) {
  game_object* o = spawn_at(8, 384, 384);
  EXPECT_EQ(o->vx, 0.0f);
  EXPECT_EQ(o->vy, 0.0f);
  for (int i = 0; i < 100; ++i) enemy_update(o, 896);
  EXPECT_EQ(o->x, 384 * 256);
  EXPECT_EQ(o->y, 384 * 256);
  // Away from the ship otherwise.
  game_object* away = spawn_at(8, 300, 384);
  EXPECT_LT(away->vx, 0.0f);
  EXPECT_EQ(away->vy, 0.0f);
}

TEST_F(ChaserTest, TheDodgerSidestepsAShotComingAtIt) {
  game_object* o = spawn_at(6, 300, 250);
  settle(o);
  o->timer = 30000;
  player_dead = 1;  // only the dodge
  o->vx = o->vy = 0.0f;
  enemy_update(o, 256);
  EXPECT_EQ(o->vx, 0.0f);
  // A shot flying up, 4 px to the dodger's left.
  shot_at(296, 320);
  o->vx = o->vy = 0.0f;
  enemy_update(o, 256);
  EXPECT_NEAR(o->vx, speed_scale(0.42f, 0.05f), 1e-5f);  // straight away from the line
  EXPECT_NEAR(o->vy, 0.0f, 1e-5f);
}

// The morphers' arms overwrite segment i and the two after the base eight.
TEST_F(ChaserTest, TheMirrorWritesTheArmsOverTheCopies) {
  game_object* o = spawn_at(114, 300, 300);
  settle(o);
  enemy_update(o, 256);
  for (int32_t i = 0; i < 8; ++i) {
    for (int32_t d : {2 * i + 8, 2 * i + 9}) {
      EXPECT_EQ(o->model_x1[d], o->model_x1[i]) << d;
      EXPECT_EQ(o->model_y2[d], o->model_y2[i]) << d;
    }
  }
  // One tick into the fold the arms are 6144 - 256 x 5120 / 12800 long.
  EXPECT_EQ(o->model_y1[0], ((6144 - 102) * 160) >> 8);
}

TEST_F(ChaserTest, TheColourTriangleDarkensItsInnerTriangleOnTheFirstHit) {
  game_object* o = spawn_at(7, 300, 300);
  settle(o);
  enemy_update(o, 256);
  EXPECT_NE(o->colour_a[3], 0);
  enemy_kill(object_index(o));
  enemy_update(o, 256);
  for (int32_t d : {3, 4, 5, 12, 13, 16, 17}) EXPECT_EQ(o->colour_a[d], 0) << d;
  EXPECT_NE(o->colour_a[0], 0);
}

}  // namespace
