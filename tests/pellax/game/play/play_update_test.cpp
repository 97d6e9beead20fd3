// The in-game update: collision tests, hits and kills, pick-ups, lives and the end of the
// game, walls and the border.
#include <cmath>
#include <random>

#include "pellax/game/play/messages.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using PlayTest = GameTest;

int32_t kind_under_test = 0;

TEST(Segments, CrossingTouchingCollinearAndParallel) {
  struct row {
    const char* name;
    int32_t a[4], c[4];
    int want;
  };
  const row rows[] = {
      {"crossing", {0, 0, 10, 10}, {0, 10, 10, 0}, 1},
      {"apart", {0, 0, 10, 0}, {0, 5, 10, 5}, 0},               // parallel
      {"collinear overlapping", {0, 0, 10, 0}, {5, 0, 15, 0}, 0},
      {"end on the other's middle", {0, 0, 10, 0}, {5, 0, 5, 10}, 1},
      {"t short of the line", {0, 0, 10, 0}, {5, 1, 5, 10}, 0},
      {"shared end", {0, 0, 10, 0}, {10, 0, 10, 10}, 1},
      {"far coordinates", {-8000000, -8000000, 8000000, 8000000}, {-8000000, 8000000, 8000000, -8000000}, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(segments_intersect(r.a[0], r.a[1], r.a[2], r.a[3], r.c[0], r.c[1], r.c[2], r.c[3]), r.want);
  }
}

TEST(Segments, PointClosenessTakesTheEndsAndTheMidpoint) {
  // 18 px from the start: 4608 x 4608 >> 8 = 82944.
  EXPECT_EQ(point_segment_distance(0, 0, 100 * 256, 0, 0, 4608), 82944);
  EXPECT_EQ(point_segment_distance(0, 0, 100 * 256, 0, 50 * 256, 0), 0);  // the midpoint
  // A long segment passing the point: none of the three candidates is near.
  EXPECT_GT(point_segment_distance(0, 0, 400 * 256, 0, 100 * 256, 256), 82944);
  // The first end's value is capped.
  EXPECT_EQ(point_segment_distance(0, 0, 1000000, 1000000, 500000, 0), 10240000);
}

TEST_F(PlayTest, OverlapNeedsBoxesThenCrossingHitSegments) {
  game_object* a = spawn_at(3, 300, 300);
  game_object* b = spawn_at(3, 300, 300);
  settle(a);
  settle(b);
  EXPECT_EQ(objects_overlap(a, b), 1);  // same box: one lies inside the other
  b->x += 200 * 256;
  EXPECT_EQ(objects_overlap(a, b), 0);
  b->x = a->x + 20 * 256;  // boxes overlap a little; the triangles' sides cross
  EXPECT_EQ(objects_overlap(a, b), objects_overlap(b, a));
  b->hit_count = 0;
  b->x = a->x + 5 * 256;
  EXPECT_EQ(objects_overlap(a, b), 0);  // no hit segments: nothing crosses
}

TEST_F(PlayTest, HitPointsThenTheKillWithScore) {
  struct row {
    int32_t kind;
    int hits_to_kill;
    int32_t score;
  };
  const row rows[] = {{3, 1, 100}, {23, 2, 100}, {26, 1, 50}, {4, 1, 150}, {24, 4, 800}, {110, 2, 100}, {31, 4, 100}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    SetUp();
    game_object* o = spawn_at(r.kind, 400, 300);
    ASSERT_NE(o, nullptr);
    settle(o);
    o->vx = o->vy = 0.0f;
    o->spin = 0.0f;
    const uint16_t index = object_index(o);
    for (int h = 1; h <= r.hits_to_kill; ++h) {
      ASSERT_TRUE(object_at(index).link.in_use) << "hit " << h;
      shot_at(px(o->x), px(o->y));
      update_play();
      EXPECT_EQ(count_kind(2), 0) << "the shot bursts";
    }
    EXPECT_EQ(game_score, r.score);
    EXPECT_EQ(kind_killed[r.kind == 35 ? 31 : r.kind], 1);
    TearDown();
  }
  SetUp();
}

TEST_F(PlayTest, ABigRockSplitsIntoThreePieces) {
  game_object* o = spawn_settled(24, 400, 300);
  o->hit_points = 0;
  enemy_kill(object_index(o));
  EXPECT_EQ(kind_alive[24], 0);
  EXPECT_EQ(kind_alive[23], 2);
  EXPECT_EQ(kind_alive[26], 1);
  EXPECT_EQ(game_score, 800);
}

TEST_F(PlayTest, AShotBarrierOnlyBurstsTheShot) {
  game_object* o = spawn_settled(3, 400, 300);
  o->flags |= kObjBarrier;
  shot_at(400, 300);
  update_play();
  EXPECT_TRUE(o->link.in_use);
  EXPECT_EQ(game_score, 0);
  EXPECT_EQ(count_kind(2), 0);
}

TEST_F(PlayTest, RammingCostsALifeAndTheRammerDies) {
  spawn_settled(3, px(player_object->x), px(player_object->y));
  update_play();
  EXPECT_EQ(lives, 4);
  EXPECT_EQ(respawn_pause, 1);
  EXPECT_EQ(kind_killed[3], 1);
  // During the pause enemies pass through.
  game_object* p = spawn_settled(3, px(player_object->x), px(player_object->y));
  update_play();
  EXPECT_EQ(lives, 4);
  EXPECT_TRUE(p->link.in_use);
}

TEST_F(PlayTest, AnAsteriskSurvivesRammingTheShip) {
  game_object* o = spawn_settled(113, px(player_object->x), px(player_object->y));
  update_play();
  EXPECT_EQ(lives, 4);
  EXPECT_TRUE(o->link.in_use);
}

TEST_F(PlayTest, TheShieldBouncesEnemiesAndPickUpsAlike) {
  shield_on = 1;
  transform_object(player_object);
  game_object* o = spawn_settled(111, px(player_object->x) + 10, px(player_object->y));
  o->vx = -1.0f;
  update_play();
  EXPECT_EQ(lives, 5);
  EXPECT_TRUE(o->link.in_use);
  EXPECT_GT(o->vx, -1.0f);  // pushed back by the heavier ship
  EXPECT_EQ(zone_trophy[0], 0);
}

TEST_F(PlayTest, CollectingATrophySetsTheZonesFlag) {
  selected_zone = 2;
  spawn_settled(120, px(player_object->x), px(player_object->y));
  update_play();
  EXPECT_EQ(zone_trophy[2], 1);
  EXPECT_EQ(count_kind(120), 0);
  EXPECT_EQ(lives, 5);
  EXPECT_EQ(audio_event_count("sfx_play", 4), 1);
}

TEST_F(PlayTest, TheSixthLostShipEndsTheGameAndEntersTheScoreOnce) {
  struct row {
    const char* name;
    int32_t score, cheat, slot;
  };
  const row rows[] = {{"qualifies", 45000, 0, 2}, {"too low", 5000, 0, -1}, {"cheat", 45000, 1, -1}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    SetUp();
    game_score = r.score;
    lives_cheat_used = r.cheat;
    lives = 0;
    spawn_settled(3, px(player_object->x), px(player_object->y));
    update_play();
    EXPECT_EQ(game_state, kStateEndOfRun);
    EXPECT_EQ(player_dead, 1);
    EXPECT_EQ(lives, 0);
    EXPECT_STREQ(message.text, "GAME OVER");
    EXPECT_EQ(new_score_slot, r.slot);
    // A second rammer in the same state: the dead ship is not hit again.
    spawn_settled(3, px(player_object->x), px(player_object->y));
    respawn_pause = 0;
    update_play();
    EXPECT_EQ(high_score_table.scores[3], r.slot == 2 ? 40000 : 30000);
    EXPECT_EQ(high_score_table.scores[4], r.slot == 2 ? 30000 : 20000);
    TearDown();
  }
  SetUp();
}

TEST_F(PlayTest, FiveKindFortyPickUpsGiveALife) {
  // Kind 40 is a spinner of the next family; a registered stand-in shape serves here.
  register_kind(40, [](int32_t x, int32_t y) {
    game_object* o = new_enemy(40, x, y);
    if (!o) return;
    const int32_t rows[1][4] = {{-2000, 0, 2000, 0}};
    load_shape(o, rows, 1, 1, [](int32_t, int32_t) { return both_colours(0xFFFF); });
  }, nullptr, [](uint16_t i) { finish_kill(i, 40); });
  pickup40_count = 4;
  game_object* o = spawn_at(40, px(player_object->x), px(player_object->y));
  o->flags &= ~kObjWarping;
  o->scale = 0;
  transform_object(o);
  update_play();
  EXPECT_EQ(pickup40_count, 0);
  EXPECT_EQ(lives, 6);
  EXPECT_EQ(shield_energy, 256030);
  reregister_kinds();
}

// Each pick-up's effect on touching it, with a stand-in shape of that kind that dies as a
// standard kill (score value 0).
TEST_F(PlayTest, EachPickUpsEffect) {
  struct row {
    int32_t kind, level, count108_before;
    int32_t energy, time, count103, count108;
    int32_t ship_x, ship_y;  // pixels after; 0: where it was
  };
  const row rows[] = {
      {22, 3, 0, 256000 + 51200, 10, 0, 0, 0, 0},
      {118, 12, 0, 256000, 15, 0, 0, 0, 0},
      {103, 31, 0, 256000, 10, 1, 0, 0, 0},
      {108, 20, 0, 256000, 10, 0, 1, 0, 0},
      {108, 22, 0, 256000, 10, 0, 1, 130, 190},  // the first in level 22
      {108, 22, 1, 256000, 10, 0, 2, 0, 190},    // the second keeps x
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.kind << " in level " << r.level);
    register_kind(r.kind, [](int32_t x, int32_t y) {
      game_object* o = new_enemy(uint16_t(kind_under_test), x, y);
      if (!o) return;
      const int32_t rows[1][4] = {{-2000, 0, 2000, 0}};
      load_shape(o, rows, 1, 1, [](int32_t, int32_t) { return both_colours(0xFFFF); });
    }, nullptr, [](uint16_t i) { finish_kill(i, kind_under_test); });
    kind_under_test = r.kind;
    level_number = r.level;
    shield_energy = 256000;
    time_left = 10;
    pickup103_count = 0;
    pickup108_count = r.count108_before;
    player_object->x = player_object->y = 300 * 256;
    player_object->vx = player_object->vy = 0.0f;
    camera_x = 140 * 256;
    camera_y = 180 * 256;
    transform_object(player_object);
    game_object* o = spawn_at(r.kind, 300, 300);
    o->flags &= ~kObjWarping;
    o->scale = 0;
    transform_object(o);
    audio_events().clear();
    frame_time = 0.0f;
    tick_step = 0;
    update_play();
    EXPECT_EQ(count_kind(r.kind), 0);
    EXPECT_EQ(lives, 5);
    EXPECT_EQ(game_score, 0);
    EXPECT_EQ(shield_energy, r.energy);
    EXPECT_EQ(time_left, r.time);
    EXPECT_EQ(pickup103_count, r.count103);
    EXPECT_EQ(pickup108_count, r.count108);
    EXPECT_EQ(player_object->x, (r.ship_x ? r.ship_x : 300) * 256);
    EXPECT_EQ(player_object->y, (r.ship_y ? r.ship_y : 300) * 256);
    EXPECT_EQ(audio_event_count("sfx_play", 4), 1);
    reregister_kinds();
  }
}

TEST_F(PlayTest, APickUpWithoutAKillRoutineIsCollectedOnce) {
  register_kind(103, [](int32_t x, int32_t y) {
    game_object* o = new_enemy(103, x, y);
    if (!o) return;
    const int32_t rows[1][4] = {{-2000, 0, 2000, 0}};
    load_shape(o, rows, 1, 1, [](int32_t, int32_t) { return both_colours(0xFFFF); });
  }, nullptr, nullptr);
  game_object* o = spawn_at(103, px(player_object->x), px(player_object->y));
  o->flags &= ~kObjWarping;
  o->scale = 0;
  transform_object(o);
  update_play();
  EXPECT_EQ(pickup103_count, 1);
  EXPECT_EQ(count_kind(103), 0);
  reregister_kinds();
}

TEST_F(PlayTest, TheShipIsHeldInsideTheArenaAboveLevelTen) {
  struct row {
    int32_t level, x, want_x;
  };
  const row rows[] = {{11, 100, 138}, {11, 660, 632}, {11, 300, 300}, {5, 100, 100}};
  for (const row& r : rows) {
    level_number = r.level;
    player_object->x = r.x * 256;
    player_object->y = 300 * 256;
    player_object->vx = player_object->vy = 0.0f;
    update_play();
    EXPECT_EQ(px(player_object->x), r.want_x);
  }
}

TEST_F(PlayTest, ObjectsBounceOffTheBorderAndShotsBurst) {
  game_object* o = spawn_settled(3, 200, 300);
  o->x = 130 * 256;
  o->vx = -1.0f;
  update_play();
  EXPECT_GT(o->vx, 0.0f);  // an enemy keeps its speed (factor 1.0)
  EXPECT_NEAR(o->vx, 1.0f, 1e-5f);
  EXPECT_GE(o->x + o->min_x, 128 * 256 - 256);
  game_object* s = shot_at(300, 129);
  const uint16_t si = object_index(s);
  update_play();
  update_play();
  EXPECT_FALSE(object_at(si).link.in_use && object_at(si).kind == 2);
}

TEST_F(PlayTest, WallsPushObjectsOutOnTheSideTheyCameFrom) {
  // Level 11's box spans 320 .. 448 px on both axes.
  level_number = 11;
  player_object->x = 600 * 256;
  player_object->y = 600 * 256;
  struct row {
    const char* name;
    int32_t x, y;
    float vx, vy;
    bool flips_x;
  };
  const row rows[] = {{"into the right side", 449, 380, -1.0f, 0.0f, true},
                      {"into the left side", 319, 380, 1.0f, 0.0f, true},
                      {"onto the top", 380, 319, 0.0f, 1.0f, false},
                      {"into the bottom", 380, 449, 0.0f, -1.0f, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    clear_enemies();
    game_object* o = spawn_settled(110, r.x, r.y);
    o->vx = r.vx;
    o->vy = r.vy;
    const float before = r.flips_x ? r.vx : r.vy;
    update_play();
    const float after = r.flips_x ? o->vx : o->vy;
    EXPECT_FLOAT_EQ(after, -before);
  }
}

// Bounces worked by hand: p the depth past the side, v = (int)(component x 256 + 0.5),
// t = |p x 256 / v|; back along the old velocity by (v x t) >> 8 per axis, the crossing
// component reversed, both scaled by f (1.0 on the enemy side, 0.6 for the ship), then
// forward along the new one. At a wall the object first moves 28 out and each move is held
// to 8 units an axis. No step time, so nothing else moves.
TEST_F(PlayTest, BouncesMoveBackThenForwardByTheirTime) {
  frame_time = 0.0f;
  tick_step = 0;
  struct row {
    const char* name;
    int32_t level, kind;  // kind 1: the ship
    int32_t x, y;         // placed by the box side given below
    float vx, vy;
    int32_t dx, dy;       // the move
    float want_vx, want_vy;
  };
  // The left border, 2 px past: p 512, v -255, t 514; back (+512, -257), forward
  // (+514, +257).
  // The ship 100 past the bottom: p 100, v 128, t 200; back (-60, -100); new v (0.18, -0.3)
  // gives forward (+35, -60).
  // Level 11's box from 320 px: the right side, 40 units in: out 28, back (+8 capped,
  // -8 capped), forward (+8, +8 capped).
  // Its top, 30 units in: out -28; p 2, v 256, t 2: back (-1, -2), forward (+1, -2).
  const row rows[] = {
      {"border", 0, 3, 0, 0, -1.0f, 0.5f, 1026, 0, 1.0f, 0.5f},
      {"ship at the border", 0, 1, 0, 0, 0.3f, 0.5f, -25, -160, 0.18f, -0.3f},
      {"wall side", 11, 110, 0, 0, -1.0f, 0.25f, 44, 0, 1.0f, 0.25f},
      {"wall top", 11, 110, 0, 0, 0.5f, 1.0f, 0, -32, 0.5f, -1.0f},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    level_number = r.level;
    clear_enemies();
    game_object* o = player_object;
    if (r.kind == 1) {
      o->angle = 0.0f;
      transform_object(o);
      o->x = 300 * 256;
      o->y = 640 * 256 + 100 - o->max_y;
    } else {
      o = spawn_at(r.kind, 380, 380);
      settle(o);
      if (r.level == 0) o->x = 126 * 256 - o->min_x;
      else if (r.vx < 0.0f) o->x = 448 * 256 - 40 - o->min_x;  // left side 40 inside R
      else o->y = 320 * 256 + 30 - o->max_y;                    // bottom 30 past T
    }
    o->vx = r.vx;
    o->vy = r.vy;
    const int32_t x0 = o->x, y0 = o->y;
    update_play();
    EXPECT_EQ(o->x - x0, r.dx);
    EXPECT_EQ(o->y - y0, r.dy);
    EXPECT_FLOAT_EQ(o->vx, r.want_vx);
    EXPECT_FLOAT_EQ(o->vy, r.want_vy);
  }
}

// A player shot bursts on a wall only with its centre strictly inside the box.
TEST_F(PlayTest, AShotBurstsOnlyInsideAWall) {
  frame_time = 0.0f;
  tick_step = 0;
  level_number = 11;
  for (int32_t x : {319, 320, 321}) {
    SCOPED_TRACE(x);
    game_object* s = shot_at(x, 380);
    const uint16_t i = object_index(s);
    update_play();
    EXPECT_EQ(object_at(i).link.in_use && object_at(i).kind == 2, x <= 320);
    clear_object_shots();
  }
}

// The bursts' sparks from their draws in the listed order (delay, direction, the ship
// burst's two speed factors, life); each spark is followed by its two parallel copies.
TEST_F(PlayTest, BurstSparksTakeTheirDrawsInOrder) {
  struct row {
    const char* name;
    int32_t count, delay_range, head_time, life_base;
    uint16_t flags, tail_glow, head_glow, colour;
    bool ship_factors;
  };
  const row rows[] = {{"ship", 130, 5000, 1024, 3072, 3, 0, 6, 0xFFFF, true},
                      {"medium", 18, 3000, 768, 1536, 3, 4, 4, 0xFFE0, false},
                      {"kill", 60, 3000, 1024, 3072, 3, 0, 0, 0, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    init_object_pools();  // particles then come in index order
    create_player_ship();
    player_object->x = 300 * 256;
    player_object->y = 310 * 256;
    player_object->vx = 0.5f;
    player_object->vy = -0.25f;
    uint16_t colour = r.colour, glow = r.tail_glow;
    mt_seed(99);
    std::mt19937 mirror(99);
    if (r.name[0] == 's') {
      explode_big();
    } else if (r.name[0] == 'm') {
      spawn_kind(3, 300 * 256, 310 * 256);
      const uint16_t i = object_pool->heads[kObjectUsed];
      mt_seed(99);
      explode_medium(i);
    } else {
      game_object* o = spawn_at(3, 300, 310);
      const uint16_t i = object_index(o);
      colour = kEnemyColours[o->variant];
      glow = uint16_t(o->variant);
      mt_seed(99);
      level_number = 11;  // the drop roll: one draw of 0..999, then % 35
      const uint32_t roll = mirror() % 1000 % 35;
      ASSERT_TRUE(roll != 2 && roll != 8 && (roll < 3 || roll > 6)) << "a seed that drops nothing";
      enemy_kill(i);
    }
    for (int32_t k = 0; k < r.count; ++k) {
      SCOPED_TRACE(k);
      const particle& p = particle_at(uint16_t(3 * k));
      const int32_t delay = int32_t(mirror() % uint32_t(r.delay_range));
      const float a = float(mirror() % 1000) * 6.283f / 1000.0f;
      // (int)(v + 0.5): the half added, then truncated toward zero.
      float vx = std::trunc(std::sin(a) * 6.0f * 256.0f + 0.5f), vy = std::trunc(std::cos(a) * 6.0f * 256.0f + 0.5f);
      if (r.ship_factors) {
        const int32_t fx = 150 + int32_t(mirror() % 100);
        const int32_t fy = 150 + int32_t(mirror() % 100);
        vx = float((int32_t(vx) * fx) >> 8) + 128.0f;  // the ship's (0.5, -0.25): 128, -63
        vy = float((int32_t(vy) * fy) >> 8) - 63.0f;
      }
      const int32_t life = r.life_base + int32_t(mirror() % 512);
      EXPECT_EQ(p.delay, delay);
      EXPECT_NEAR(p.vx, vx, 1.0f);
      EXPECT_NEAR(p.vy, vy, 1.0f);
      EXPECT_EQ(p.life, life);
      EXPECT_EQ(p.head_time, r.head_time);
      EXPECT_EQ(p.flags, r.flags);
      EXPECT_EQ(p.type, 2);
      EXPECT_EQ(p.tail_glow, glow);
      EXPECT_EQ(p.head_glow, r.name[0] == 'k' ? glow : r.head_glow);
      EXPECT_EQ(p.colour, colour);
      EXPECT_EQ(p.tail_x, 300 * 256);
      EXPECT_EQ(p.tail_y, 310 * 256);
      // The copies: no glow, starting as points beside it.
      EXPECT_EQ(particle_at(uint16_t(3 * k + 1)).flags, 0);
      EXPECT_EQ(particle_at(uint16_t(3 * k + 2)).life, life);
    }
  }
}

TEST_F(PlayTest, AHitPassRestartsAfterEachShot) {
  // Two shots into one block with 1 hit point: the first takes the point, the second kills.
  spawn_settled(110, 400, 300);
  shot_at(400, 300);
  shot_at(400, 302);
  update_play();
  EXPECT_EQ(kind_killed[110], 1);
  EXPECT_EQ(count_kind(2), 0);
}

}  // namespace
