// The hexagon and its pieces, the shooters, and the barriers.
#include <cmath>
#include <vector>

#include "pellax/game/enemies/kind_steps.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using SplitterTest = GameTest;
using BarrierTest = GameTest;

int count_used(int kind) {
  int n = 0;
  walk_objects([&](uint16_t i) { n += object_at(i).kind == kind; });
  return n;
}

std::vector<game_object*> all_of(int kind) {
  std::vector<game_object*> v;
  walk_objects([&](uint16_t i) {
    if (object_at(i).kind == kind) v.push_back(&object_at(i));
  });
  return v;
}

TEST_F(SplitterTest, SpawnValues) {
  struct row {
    int32_t kind, base, hits;
    uint16_t flags;
    int32_t hit_points, score;
    float mass;
  };
  const row rows[] = {{13, 9, 6, 15, 0, 200, 6},  {15, 6, 6, 7, 0, 300, 4},   {16, 8, 6, 39, 0, 400, 4},
                      {117, 14, 14, 39, 15, 400, 4}, {10, 3, 3, 15, 0, 0, 60},  {101, 6, 6, 15, 0, 0, 60},
                      {102, 7, 7, 15, 0, 0, 60},  {107, 5, 5, 15, 0, 0, 60},  {109, 8, 8, 15, 0, 0, 60}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->segment_count, 3 * r.base);
    EXPECT_EQ(o->hit_count, r.hits);
    EXPECT_EQ(o->flags, r.flags);
    EXPECT_EQ(o->hit_points, r.hit_points);
    EXPECT_EQ(o->score, r.score);
    EXPECT_FLOAT_EQ(o->mass, r.mass);
    EXPECT_EQ(kind_alive[r.kind], 1);
    // Small enough for any formation point: within 30 px of the centre at full size.
    for (int32_t i = 0; i < o->segment_count; ++i)
      for (int32_t v : {o->model_x1[i], o->model_y1[i], o->model_x2[i], o->model_y2[i]}) EXPECT_LE(std::abs(v), 30 * 256);
  }
  // The hexagon's segment j starts at corner j, 9458 units (at scale 160: 23.1 px) out.
  game_object* h = spawn_at(13, 300, 300);
  for (int32_t j = 0; j < 6; ++j) {
    EXPECT_NEAR(std::hypot(float(h->model_x1[j]), float(h->model_y1[j])), 9458.0f * 160.0f / 256.0f, 2.0f) << j;
    EXPECT_EQ(h->model_x2[j], h->model_x1[(j + 1) % 6]);
    EXPECT_EQ(h->model_y2[j], h->model_y1[(j + 1) % 6]);
  }
}

// The spawn's draws in the order the values are listed: the spin, the angle, then the
// velocity's factors, x before y (13, 15), or the push speed's (16, 117); the barriers
// draw the spin, then the angle.
TEST_F(SplitterTest, SpawnDrawsInTheListedOrder) {
  for (int32_t kind : {13, 15, 16, 117, 10, 101, 102, 107, 109}) {
    SCOPED_TRACE(kind);
    const bool barrier = kind == 10 || (kind > 100 && kind < 110);
    const bool standing = kind == 16 || kind == 117;
    mt_seed(21);
    const int32_t r = random_range(0, standing ? 200 : 100);
    const float a = float(random_range(0, 1000)) * 6.283f / 1000.0f;
    const int32_t f1 = standing ? random_range(80, 120) : random_range(80, 150);
    const int32_t f2 = random_range(80, 150);
    mt_seed(21);
    const game_object* o = spawn_at(kind, 300, 300);
    const float spin = barrier ? float(r) / 10000.0f + 0.01f : float(r) / 2500.0f - (kind == 13 ? 0.02f : 0.04f);
    EXPECT_FLOAT_EQ(o->spin, spin);
    EXPECT_FLOAT_EQ(o->angle, a);
    const float speed = kind == 13 ? speed_scale(0.35f, 0.05f) : speed_scale(0.47f, 0.07f);
    const bool drifts = kind == 13 || kind == 15;
    EXPECT_NEAR(o->vx, drifts ? speed * std::sin(a) * float(f1) / 256.0f : 0.0f, 1e-6f);
    EXPECT_NEAR(o->vy, drifts ? speed * std::cos(a) * float(f2) / 256.0f : 0.0f, 1e-6f);
    if (standing) {
      EXPECT_FLOAT_EQ(o->work_f, speed_scale(0.8f, 0.3f) * float(f1) / 256.0f);
    }
  }
}

// The hexagon is proof against the ship until it has fully arrived; barriers stay so.
TEST_F(SplitterTest, TheHexagonDropsItsShieldOnArrival) {
  for (int32_t kind : {13, 107}) {
    SCOPED_TRACE(kind);
    game_object* o = spawn_at(kind, 300, 300);
    enemy_update(o, 6400);
    EXPECT_EQ(o->flags, 15);
    EXPECT_EQ(o->scale, 128);
    enemy_update(o, 6401);
    EXPECT_EQ(o->flags, kind == 13 ? 3 : 11);
    EXPECT_EQ(o->scale, 0);
    EXPECT_EQ(o->timer, 0);
  }
}

// Six triangles that tile the hexagon, each 16 px out along its middle and moving that way.
TEST_F(SplitterTest, TheHexagonSplitsIntoSixPieces) {
  game_object* h = spawn_settled(13, 384, 384);
  h->angle = 0.3f;
  transform_object(h);
  const game_object parent = *h;
  const int32_t score = game_score;
  kill_kind(13, object_index(h));
  EXPECT_EQ(game_score, score + 200);
  EXPECT_EQ(kind_killed[13], 1);
  EXPECT_EQ(kind_alive[14], 6);
  const std::vector<game_object*> pieces = all_of(14);
  ASSERT_EQ(pieces.size(), 6u);
  const float speed = speed_scale(0.35f, 0.05f) * 0.4f;
  for (game_object* p : pieces) {
    EXPECT_EQ(p->flags, kObjDrawn | kObjActive | kObjKeptApart);
    EXPECT_EQ(p->segment_count, 9);
    EXPECT_EQ(p->colour_a[0], parent.colour_a[0]);
    const float dx = float(p->x - parent.x) / 256.0f, dy = float(p->y - parent.y) / 256.0f;
    EXPECT_NEAR(std::hypot(dx, dy), 16.0f, 0.01f);
    EXPECT_NEAR(p->vx, dx / 16.0f * speed, 1e-3f);
    EXPECT_NEAR(p->vy, dy / 16.0f * speed, 1e-3f);
    // Its first segment runs from the parent's centre to a corner of the parent.
    EXPECT_EQ(p->x + p->model_x1[0], parent.x);
    EXPECT_EQ(p->y + p->model_y1[0], parent.y);
    bool corner = false;
    for (int32_t j = 0; j < 6; ++j)
      corner |= p->x + p->model_x2[0] == parent.x + parent.world_x1[j] && p->y + p->model_y2[0] == parent.y + parent.world_y1[j];
    EXPECT_TRUE(corner);
  }
}

// Off the view by more than 30 px: nothing happens but the drop roll.
TEST_F(SplitterTest, AHexagonOffTheViewIsNotKilled) {
  game_object* h = spawn_settled(13, 600, 384);
  camera_x = 224 * 256;  // the view ends at 544 px
  mt_seed(99);
  const int32_t score = game_score;
  enemy_kill(object_index(h));
  const uint32_t next = mt_next();
  EXPECT_TRUE(h->link.in_use);
  EXPECT_EQ(game_score, score);
  EXPECT_EQ(count_used(14), 0);
  EXPECT_EQ(kind_killed[13], 0);
  mt_seed(99);
  mt_next();  // the drop
  EXPECT_EQ(mt_next(), next);
}

// The margin round the 320 x 240 view is 30 px on every side, and a hexagon on it dies.
TEST_F(SplitterTest, TheViewsMarginIsThirtyPixels) {
  struct row {
    int32_t dx, dy;  // 24.8 from the view's top-left corner
    bool dies;
  };
  const row rows[] = {{-7680, 100 * 256, true},  {-7681, 100 * 256, false}, {89600, 100 * 256, true},
                      {89601, 100 * 256, false}, {100 * 256, -7680, true},  {100 * 256, -7681, false},
                      {100 * 256, 69120, true},  {100 * 256, 69121, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.dx << ", " << r.dy);
    free_objects_with_flags(kObjActive);
    game_object* h = spawn_settled(13, 300, 300);
    h->x = camera_x + r.dx;
    h->y = camera_y + r.dy;
    kill_kind(13, object_index(h));
    EXPECT_EQ(h->link.in_use, !r.dies);
    EXPECT_EQ(count_used(14), r.dies ? 6 : 0);
  }
}

TEST_F(SplitterTest, FewFreeRecordsGiveFewerPieces) {
  game_object* h = spawn_settled(13, 384, 384);
  while (used_objects() < kObjectCount - 4) alloc_object();
  kill_kind(13, object_index(h));
  EXPECT_EQ(count_used(14), 4);
  EXPECT_EQ(kind_alive[14], 4);
  EXPECT_FALSE(h->link.in_use);
}

TEST_F(SplitterTest, PiecesHomeOnTheShipAndDieWithTheirScore) {
  game_object* h = spawn_settled(13, 300, 300);
  kill_kind(13, object_index(h));
  game_object* p = all_of(14).front();
  p->vx = p->vy = 0.0f;
  for (game_object* q : all_of(14))
    if (q != p) free_object(object_index(q));
  enemy_update(p, 256);
  const float step = speed_scale(0.35f, 0.1f) * 0.016f;
  EXPECT_NEAR(p->vx, step, 1e-6f);  // the ship is right of and below it
  EXPECT_NEAR(p->vy, step, 1e-6f);
  enemy_kill(object_index(p));
  EXPECT_EQ(kind_killed[14], 1);
}

// A piece's speed limit only damps: both components lose 1 % a frame while either is
// beyond 0.4 x s(0.5, 0.09), after the frame's step toward the ship.
TEST_F(SplitterTest, APieceAboveItsLimitSlowsByOnePercent) {
  const float step = speed_scale(0.35f, 0.1f) * 0.016f, limit = 0.4f * speed_scale(0.5f, 0.09f);
  struct row {
    float vx, want_vx, want_vy;
  };
  for (const row& r : {row{limit - 2.0f * step, limit - step, step}, row{limit, (limit + step) * 0.99f, step * 0.99f},
                       row{-1.0f, (-1.0f + step) * 0.99f, step * 0.99f}}) {
    SCOPED_TRACE(r.vx);
    free_objects_with_flags(kObjActive);
    game_object* h = spawn_settled(13, 300, 300);
    kill_kind(13, object_index(h));
    game_object* p = all_of(14).front();
    for (game_object* q : all_of(14))
      if (q != p) free_object(object_index(q));
    p->vx = r.vx;
    p->vy = 0.0f;
    enemy_update(p, 256);
    EXPECT_NEAR(p->vx, r.want_vx, 1e-6f);
    EXPECT_NEAR(p->vy, r.want_vy, 1e-6f);
  }
}

// The kills' sparks (each drawn with its two parallel copies): 40 of the hexagon, 50 of a
// piece, 60 and 50 of a shooter.
TEST_F(SplitterTest, KillsThrowTheirSparks) {
  struct row {
    int32_t kind, sparks;
  };
  for (const row& r : {row{13, 40}, row{14, 50}, row{15, 110}, row{16, 110}, row{117, 110}}) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    game_object* h = spawn_settled(r.kind == 14 ? 13 : r.kind, 300, 300);
    if (r.kind == 14) {
      kill_kind(13, object_index(h));
      h = all_of(14).front();
    }
    clear_particles();
    kill_kind(r.kind, object_index(h));
    int sparks = 0;
    walk_particles([&](uint16_t) { ++sparks; });
    EXPECT_EQ(sparks, 3 * r.sparks);
  }
}

// Quiet for 70 ticks, then a shot every (170 - 10 L) ticks; from L 17 on, every update.
TEST_F(SplitterTest, TheDriftingShooterFiresAtTheLevelsInterval) {
  struct row {
    int32_t level;
    std::vector<int> on;  // ticks after the warp-in
  };
  for (const row& r : {row{2, {222, 372}}, row{10, {142, 212, 282, 352}}, row{17, {72, 73, 74}}}) {
    SCOPED_TRACE(r.level);
    free_objects_with_flags(kObjActive);
    difficulty_level = r.level;
    game_object* o = spawn_settled(15, 300, 300);
    o->vx = o->vy = 0.0f;
    std::vector<int> on;
    for (int t = 1; t <= 400 && on.size() < r.on.size(); ++t) {
      const int before = count_used(18);
      enemy_update(o, 256);
      if (count_used(18) > before) on.push_back(t);
    }
    EXPECT_EQ(on, r.on);
  }
}

// A wait of 100 (16) or 50 (117) ticks, then a shot every 100 at 0.8 px a tick.
TEST_F(SplitterTest, TheStandingShootersWaitThenFire) {
  struct row {
    int32_t kind;
    std::vector<int> on;
  };
  for (const row& r : {row{16, {202, 302}}, row{117, {152, 252}}}) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(r.kind, 300, 300);
    std::vector<int> on;
    for (int t = 1; t <= 320; ++t) {
      const int before = count_used(18);
      enemy_update(o, 256);
      if (count_used(18) > before) {
        on.push_back(t);
        const game_object& s = object_at(object_pool->heads[kObjectUsed]);
        EXPECT_NEAR(std::hypot(s.vx, s.vy), 0.8f, 1e-5f);
      }
    }
    EXPECT_EQ(on, r.on);
    EXPECT_EQ(o->x, 300 * 256);  // no neighbour: it stands
  }
  // A neighbour within 60 px pushes it away.
  game_object* a = spawn_at(16, 300, 300);
  game_object* b = spawn_at(16, 340, 300);
  settle(a);
  settle(b);
  a->variant = 1;
  a->vx = a->vy = 0.0f;
  enemy_update(a, 256);
  EXPECT_NEAR(a->vx, -0.25f * a->work_f, 1e-6f);
  EXPECT_NEAR(a->vy, 0.0f, 1e-6f);
}

TEST_F(SplitterTest, TheArmouredShooterDiesOnTheSixteenthHit) {
  game_object* o = spawn_settled(117, 384, 300);
  int hits = 0;
  while (o->link.in_use && hits < 30) {
    shot_at(384, 300);
    update_play();
    ++hits;
  }
  EXPECT_EQ(hits, 16);
  EXPECT_EQ(kind_killed[117], 1);
}

// --- barriers ------------------------------------------------------------------------

TEST_F(BarrierTest, ColoursStepEveryFifteenTicksOnTheFirstNineSegments) {
  game_object* o = spawn_settled(109, 300, 300);
  const uint16_t palette[6] = {0xFA8A, 0xC605, 0x57EA, 0x2E18, 0x529F, 0xC158};
  const uint16_t late = o->colour_a[20];
  enemy_update(o, 3840);
  EXPECT_EQ(o->variant, 0);
  enemy_update(o, 1);
  EXPECT_EQ(o->variant, 1);
  for (int32_t i = 0; i <= 8; ++i) EXPECT_EQ(o->colour_a[i], palette[1]) << i;
  EXPECT_EQ(o->colour_a[9], palette[0]);  // the first copy of segment 0 keeps its colour
  EXPECT_EQ(o->colour_a[20], late);
}

// The bouncing barrier moves only in levels 22 and 23, 2 px a frame.
TEST_F(BarrierTest, TheBouncerDependsOnTheLevel) {
  struct row {
    int32_t level;
    int frames;
    int32_t y;  // pixels after that many frames, from 150
  };
  const row rows[] = {{22, 25, 200}, {22, 26, 202}, {22, 27, 200}, {22, 56, 142}, {22, 58, 146}, {23, 60, 270}, {5, 60, 150}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level * 1000 + r.frames);
    free_objects_with_flags(kObjActive);
    level_number = r.level;
    game_object* o = spawn_settled(101, 300, 150);
    for (int f = 0; f < r.frames; ++f) enemy_update(o, f % 2 ? 256 : 2000);
    EXPECT_EQ(o->y, r.y * 256);
  }
}

TEST_F(BarrierTest, TheOscillatorRunsASixtyFrameCycle) {
  game_object* o = spawn_settled(102, 300, 300);
  std::vector<int32_t> y;
  for (int f = 1; f <= 120; ++f) {
    enemy_update(o, 896);
    if (f == 30 || f == 60 || f == 90 || f == 120) y.push_back(o->y / 256 - 300);
  }
  EXPECT_EQ(y, (std::vector<int32_t>{60, 0, 60, 0}));
  EXPECT_FLOAT_EQ(o->vy, 0.8f);
}

TEST_F(BarrierTest, TheSliderRunsBetweenItsLimits) {
  // No limits: it only spins.
  spawn_kind109(300 * 256, 300 * 256, 0, 0, 0, 0);
  game_object* still = &object_at(object_pool->heads[kObjectUsed]);
  settle(still);
  const float a = still->angle;
  for (int f = 0; f < 50; ++f) enemy_update(still, 896);
  EXPECT_EQ(still->x, 300 * 256);
  EXPECT_EQ(still->y, 300 * 256);
  EXPECT_NE(still->angle, a);
  // Across from 400 between 380 and 410: right to 410 and in that frame back a step, to 380
  // and on.
  spawn_kind109(400 * 256, 200 * 256, 0, 0, 410 * 256, 380 * 256);
  game_object* across = &object_at(object_pool->heads[kObjectUsed]);
  settle(across);
  std::vector<int32_t> x;
  for (int f = 1; f <= 25; ++f) {
    enemy_update(across, 896);
    if (f == 5 || f == 6 || f == 20 || f == 21) x.push_back(across->x / 256);
  }
  EXPECT_EQ(x, (std::vector<int32_t>{408, 406, 382, 384}));
  // Down a pixel a frame from 134 to 140, and at once a pixel up.
  spawn_kind109(560 * 256, 134 * 256, 132 * 256, 140 * 256, 0, 0);
  game_object* down = &object_at(object_pool->heads[kObjectUsed]);
  settle(down);
  for (int f = 0; f < 6; ++f) enemy_update(down, 896);
  EXPECT_EQ(down->y, 139 * 256);
  EXPECT_EQ(down->x, 560 * 256);
  EXPECT_FLOAT_EQ(down->vy, 0.4f);
}

// Leans toward the ship within a tether of 70.71 px round its spawn point: a step out of it
// is not taken but the velocity stays; with the ship dead it stops.
TEST_F(BarrierTest, TheTetheredBarrierLeansOnItsTether) {
  game_object* o = spawn_at(10, 200, 384);  // the ship is at (384, 384), to the right
  settle(o);
  for (int f = 0; f < 400; ++f) enemy_update(o, 896);
  EXPECT_GT(o->vx, 0.0f);
  const float reach = float(o->x - 200 * 256) / 256.0f;
  EXPECT_LE(reach, 70.72f);
  EXPECT_GT(reach, 69.0f);
  EXPECT_EQ(o->y, 384 * 256);
  player_dead = 1;
  enemy_update(o, 896);
  EXPECT_EQ(o->vx, 0.0f);
  // Far from home (more than 181 px) the test of the tether still holds.
  player_dead = 0;
  o->x = 600 * 256;
  const int32_t x = o->x;
  enemy_update(o, 896);
  EXPECT_EQ(o->x, x);
}

// Where they do not move, barriers only turn: a tick's spin each tick, the slow one a
// quarter of it.
TEST_F(BarrierTest, BarriersTurnInPlace) {
  level_number = 5;  // the bouncing one stands still here
  player_dead = 1;   // and the tethered one
  for (int32_t kind : {101, 107, 109, 10}) {
    SCOPED_TRACE(kind);
    game_object* o = spawn_settled(kind, 300, 300);
    const float angle = o->angle;
    for (int f = 0; f < 10; ++f) enemy_update(o, 512);
    EXPECT_NEAR(o->angle - angle, 20.0f * o->spin * (kind == 107 ? 0.25f : 1.0f), 1e-5f);
    EXPECT_EQ(o->x, 300 * 256);
    EXPECT_EQ(o->y, 300 * 256);
  }
}

TEST_F(BarrierTest, KillingABarrierOnlyRemovesIt) {
  game_object* o = spawn_settled(107, 300, 300);
  clear_particles();
  const int32_t score = game_score;
  kill_kind(107, object_index(o));
  EXPECT_FALSE(o->link.in_use);
  EXPECT_EQ(kind_alive[107], 0);
  EXPECT_EQ(kind_killed[107], 0);
  EXPECT_EQ(game_score, score);
  EXPECT_EQ(object_pool->heads[kParticleUsed], kNoRecord);
  EXPECT_EQ(object_pool->heads[kPopupUsed], kNoRecord);
}

}  // namespace
