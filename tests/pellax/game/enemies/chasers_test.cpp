// The chasers: spawn values, hit stages, when and how they steer, and their animations.
#include <cmath>
#include <vector>

#include "pellax/game/enemies/kind_steps.h"
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

// The spawn's draws in their order: the runaway's turn and the winged one's behaviour
// first, then r for the spin, the angle, and the velocity's factors (x before y).
TEST_F(ChaserTest, SpawnDrawsInTheListedOrder) {
  struct row {
    int32_t kind;
    uint32_t seed;
  };
  const row rows[] = {{5, 3}, {11, 3}, {114, 3}, {6, 3}, {7, 3}, {8, 3}, {8, 4}, {17, 3}, {17, 4}, {17, 5}};
  int behaviours[2] = {0, 0};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind * 100 + int32_t(r.seed));
    free_objects_with_flags(kObjActive);
    mt_seed(r.seed);
    const int32_t q = r.kind == 8 ? random_range(1, 100) : 0;
    const int32_t b = r.kind == 17 ? random_range(0, 271) : 0;
    const float spin_r = float(random_range(0, 100));
    const float a = float(random_range(0, 1000)) * 6.283f / 1000.0f;
    const int32_t lo = r.kind == 17 ? 80 : r.kind == 8 ? 150 : 50, hi = r.kind == 17 ? 120 : r.kind == 8 ? 200 : 120;
    const int32_t fx = random_range(lo, hi), fy = random_range(lo, hi);
    mt_seed(r.seed);
    // The runaway starts left of the ship, so it flies off to the left.
    const game_object* o = spawn_at(r.kind, r.kind == 8 ? 300 : 200, r.kind == 8 ? 384 : 200);
    float spin = 0.0f, vx = 0.0f, vy = 0.0f, angle = a;
    // A drift along the angle, each component with its own factor.
    auto drift = [&](float base, float extra) {
      vx = speed_scale(base, extra) * std::sin(a) * float(fx) / 256.0f;
      vy = speed_scale(base, extra) * std::cos(a) * float(fy) / 256.0f;
    };
    switch (r.kind) {
      case 5:
        spin = spin_r / 2000.0f - 0.025f;
        drift(0.6f, 0.2f);
        break;
      case 11:
        spin = spin_r / 5000.0f - 0.01f;
        drift(0.4f, 0.16f);
        break;
      case 114:
        spin = spin_r / 2000.0f - 0.025f;
        drift(0.5f, 0.2f);
        break;
      case 6:
        spin = -(spin_r / 2500.0f + 0.03f);
        break;
      case 7:
        spin = spin_r / 4000.0f - 0.0125f;
        break;
      case 8:
        spin = q % 2 == 0 ? -(spin_r / 1000.0f) - 0.02f : spin_r / 1000.0f + 0.02f;
        vx = -speed_scale(0.5f, 0.2f) * float(fx) / 256.0f;
        break;
      case 17:
        ++behaviours[b % 2];
        EXPECT_EQ(o->work_b, b % 2 == 1 ? 0 : 1);
        if (b % 2 == 1) {
          spin = spin_r / 2000.0f - 0.025f;
          drift(0.3f, 0.2f);
        } else {
          // Aimed at the ship, which lies down and to the right: heading 2.356.
          angle = o->angle;
          EXPECT_NEAR(angle, 2.356f, 1e-3f);
          vx = speed_scale(0.3f, 0.2f) * std::sin(angle) * 0.03f;
          vy = -speed_scale(0.3f, 0.2f) * std::cos(angle) * 0.03f;
        }
        break;
      default: break;
    }
    EXPECT_FLOAT_EQ(o->spin, spin);
    EXPECT_FLOAT_EQ(o->angle, angle);
    EXPECT_NEAR(o->vx, vx, 1e-6f);
    EXPECT_NEAR(o->vy, vy, 1e-6f);
  }
  EXPECT_GT(behaviours[0], 0);
  EXPECT_GT(behaviours[1], 0);
}

// Growing from nothing over the 50 ticks of the warp-in (11 and 105 to twice the size, 106
// held small), each kind ends it at its own size and timer; the large ones lose their
// shield against the ship then.
TEST_F(ChaserTest, EachKindEndsItsWarpInItsOwnWay) {
  struct row {
    int32_t kind, half_scale, end_timer, end_scale;
    uint16_t end_flags;
  };
  const row rows[] = {{5, 128, 12800, 0, 35},  {11, 256, 0, 512, 35}, {105, 256, 0, 400, 35}, {106, 60, 0, 100, 35},
                      {12, 128, 0, 0, 35},     {114, 128, 0, 0, 35},  {17, 128, 0, 0, 35},    {6, 128, 0, 0, 35},
                      {7, 128, 0, 0, 35},      {8, 128, 0, 0, 3}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    enemy_update(o, 6400);
    EXPECT_EQ(o->scale, r.half_scale);
    EXPECT_TRUE(o->flags & kObjWarping);
    enemy_update(o, 6401);
    EXPECT_EQ(o->timer, r.end_timer);
    EXPECT_EQ(o->scale, r.end_scale);
    EXPECT_EQ(o->flags, r.end_flags);
  }
}

// The plain chaser breathes between half and one and a half times its size, one cycle in
// 200 ticks of its time alive.
TEST_F(ChaserTest, ThePlainChaserBreathes) {
  struct row {
    int32_t timer, scale;  // the timer after the update's tick
  };
  for (const row& r : {row{256, 130}, row{12800, 256}, row{25600, 384}, row{38400, 256}, row{51200, 128}, row{64000, 256}}) {
    SCOPED_TRACE(r.timer);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(5, 300, 300);
    o->timer = r.timer - 256;
    enemy_update(o, 256);
    EXPECT_EQ(o->scale, r.scale);
  }
}

// The star and the large ones are pushed off a keep-apart neighbour within 40 px by
// s(0.4, 0.16) x 0.01 before their steering adds s(0.4, 0.16) x 0.012 toward the ship;
// both components lose 2 % beyond s(0.4, 0.16) x 0.35.
TEST_F(ChaserTest, TheLargeOnesKeepApartBeforeTheySteer) {
  const float s = speed_scale(0.4f, 0.16f), push = s * 0.01f, pull = s * 0.012f;
  struct row {
    int32_t kind, neighbour_dx;  // pixels right of it; 0 for none
    float vx, want_vx, want_vy;
  };
  const row rows[] = {{11, 0, 0.0f, pull, pull},          {11, 30, 0.0f, pull - push, pull - push},
                      {105, -30, 0.0f, pull + push, pull - push}, {106, 41, 0.0f, pull, pull},
                      {11, 0, 1.0f, (1.0f + pull) * 0.98f, pull * 0.98f}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind * 100 + r.neighbour_dx);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(r.kind, 200, 200);
    o->x = o->y = 200 * 256;  // the ship is below and right of it
    if (r.neighbour_dx != 0) {
      game_object* n = spawn_settled(5, 200, 200);
      n->x = (200 + r.neighbour_dx) * 256;
      n->y = 201 * 256;  // a shade below: pushed up as well
    }
    o->timer = 60000;
    o->vx = r.vx;
    o->vy = 0.0f;
    enemy_update(o, 256);
    EXPECT_NEAR(o->vx, r.want_vx, 1e-6f);
    EXPECT_NEAR(o->vy, r.want_vy, 1e-6f);
  }
}

// Homing, the dodger's velocity is set to the direction of the ship times
// 0.4 x s(0.4, 0.2) x 0.5, not added to.
TEST_F(ChaserTest, TheDodgerHomesAtItsSpeed) {
  game_object* o = spawn_at(6, 200, 384);  // the ship straight right of it
  settle(o);
  o->x = 200 * 256;
  o->y = 384 * 256;
  o->timer = 30000;
  o->vx = o->vy = 0.7f;
  enemy_update(o, 256);
  EXPECT_NEAR(o->vx, 0.2f * speed_scale(0.4f, 0.2f), 1e-6f);
  EXPECT_NEAR(o->vy, 0.0f, 1e-6f);
}

// The triangle's segment i blends entries i + step and i + step + 1 of its six colours
// over 8 ticks each; the runaway's second square pulses from red and blue to neither.
TEST_F(ChaserTest, TheTriangleBlendsItsColoursTheRunawayPulses) {
  auto rgb = [](int r, int g, int b) { return uint16_t(r << 11 | g << 5 | b); };
  struct row {
    int32_t kind, timer;  // after the update's tick
    int32_t segment;
    uint16_t colour;
  };
  const row rows[] = {
      {7, 12288, 0, rgb(31, 15, 7)},        // a whole cycle: entry 0 alone
      {7, 2048 + 1024, 0, rgb(19, 63, 5)},  // step 1, half-way from entry 1 to entry 2
      {7, 2048 + 1024, 5, rgb(31, 39, 5)},  // segment 5 then: from entry 0 to entry 1
      {7, 2048 + 1024, 17, rgb(31, 39, 5)},  // and its second copy
      {8, 16384, 4, rgb(20, 6, 25)},        // the peak
      {8, 12288, 7, rgb(10, 6, 12)},        // half-way down
      {8, 8192, 21, rgb(0, 6, 0)},          // the trough, on a copy
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind * 100000 + r.timer);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(r.kind, 300, 300);
    o->timer = r.timer - 256;
    enemy_update(o, 256);
    EXPECT_EQ(o->colour_a[r.segment], r.colour);
    EXPECT_EQ(o->colour_b[r.segment], r.colour);
  }
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
    game_object* o = spawn_settled(r.kind, 300, 300);
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
// The killing call's sparks (each drawn with its two parallel copies): two bursts of 50,
// the dodger's four groups of 50, the triangle's 100 and the runaway's two bursts of 40.
TEST_F(ChaserTest, KillsThrowTheirSparks) {
  struct row {
    int32_t kind, sparks;
  };
  const row rows[] = {{5, 100}, {11, 100}, {105, 100}, {106, 100}, {12, 100},
                      {114, 100}, {17, 100}, {6, 200}, {7, 100}, {8, 80}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(r.kind, 300, 300);
    // At the last hit stage.
    if (r.kind == 11) o->variant = 2;
    if (r.kind == 105) o->scale = 100;
    if (r.kind == 106) o->scale = 400;
    if (r.kind == 7) o->variant = 1;
    clear_particles();
    kill_kind(r.kind, object_index(o));
    EXPECT_FALSE(o->link.in_use);
    int sparks = 0;
    walk_particles([&](uint16_t) { ++sparks; });
    EXPECT_EQ(sparks, 3 * r.sparks);
  }
}

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
  // The limit is s x 0.4: 0.328 at this game speed.
  for (const row& r : {row{0.1f, 0.1f + accel}, row{0.3f, 0.3f + accel}, row{0.5f, (0.5f + accel) * 0.99f},
                       row{-0.5f, (-0.5f + accel) * 0.99f}}) {
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(5, 200, 200);
    o->timer = 60000;
    o->vx = r.vx;
    o->vy = 0.0f;
    enemy_update(o, 256);
    EXPECT_NEAR(o->vx, r.want, 1e-6f) << r.vx;
  }
}

TEST_F(ChaserTest, ADeadShipStopsTheSteeringNotTheMotion) {
  game_object* o = spawn_settled(5, 200, 200);
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
  game_object* o = spawn_settled(6, 300, 250);
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
  game_object* o = spawn_settled(114, 300, 300);
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

// The winged one's wings: 4096 -+ k with k rising to 3072 over 50 ticks and back, the
// tips at twice 4096 + k.
TEST_F(ChaserTest, TheWingsFlap) {
  auto u = [](int32_t v) { return (v * 160) >> 8; };
  struct row {
    int32_t timer;  // after the update's tick
    int32_t a, b;
  };
  for (const row& r : {row{25600, 4096, 4096}, row{12800, 1024, 7168}, row{6400, 2560, 5632}, row{19200, 2560, 5632}}) {
    SCOPED_TRACE(r.timer);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(17, 300, 300);
    o->timer = r.timer - 256;
    enemy_update(o, 256);
    const int32_t want[4][4] = {{0, u(2 * r.b), u(-r.a), u(r.b)},
                                {u(-r.a), u(r.b), 0, 0},
                                {0, 0, u(-r.a), u(-r.b)},
                                {u(-r.a), u(-r.b), 0, u(-2 * r.b)}};
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t got[4] = {o->model_x1[i], o->model_y1[i], o->model_x2[i], o->model_y2[i]};
      for (int32_t k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[i][k]) << i << ' ' << k;
    }
    // The other side mirrors it.
    EXPECT_EQ(o->model_x2[6], u(r.a));
    EXPECT_EQ(o->model_y2[7], u(2 * r.b));
  }
}

TEST_F(ChaserTest, TheColourTriangleDarkensItsInnerTriangleOnTheFirstHit) {
  game_object* o = spawn_settled(7, 300, 300);
  enemy_update(o, 256);
  EXPECT_NE(o->colour_a[3], 0);
  enemy_kill(object_index(o));
  enemy_update(o, 256);
  for (int32_t d : {3, 4, 5, 12, 13, 16, 17}) EXPECT_EQ(o->colour_a[d], 0) << d;
  EXPECT_NE(o->colour_a[0], 0);
}

}  // namespace
