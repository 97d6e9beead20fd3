// The kind dispatch, its shared steps, the blocks and drifters, and the stage director.
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pellax/game/menu_square.h"
#include "pellax/game/messages.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using KindTest = GameTest;

TEST_F(KindTest, KindsWithoutRoutinesAreInert) {
  for (int32_t kind : {0, 1, 2, 19, 30, 32, 36, 41, 100, 124}) {
    SCOPED_TRACE(kind);
    const int before = used_objects();
    spawn_kind(kind, 300 * 256, 300 * 256);
    EXPECT_EQ(used_objects(), before);
  }
  game_object& o = object_at(alloc_object());
  o.kind = 124;
  o.flags = kObjActive;
  o.x = 5;
  enemy_update(&o, 896);
  EXPECT_EQ(o.x, 5);
  o.kind = 30;  // a code with no routines: neither moves nor dies
  enemy_update(&o, 896);
  enemy_kill(object_index(&o));
  EXPECT_TRUE(o.link.in_use);
}

TEST_F(KindTest, MenuSquareTurnsAndIsNeverKilled) {
  spawn_kind20(300 * 256, 300 * 256, 0xFFF4, 0.04f);
  game_object& o = object_at(object_pool->heads[kObjectUsed]);
  EXPECT_EQ(o.flags, kObjDrawn | kObjActive);
  EXPECT_EQ(o.segment_count, 12);
  EXPECT_EQ(o.colour_a[0], 0xFFF4);
  const float a = o.angle;
  enemy_update(&o, 512);
  EXPECT_NEAR(o.angle, a + 0.08f, 1e-5f);
  enemy_kill(object_index(&o));
  EXPECT_TRUE(o.link.in_use);
  EXPECT_EQ(kind_alive[20], 0);
}

TEST_F(KindTest, BlocksAndShapesSpawnWithTheirValues) {
  struct row {
    int32_t kind, base, hit_points, score;
    float mass;
    int32_t scale;
  };
  const row rows[] = {{3, 3, 0, 100, 4, 10},     {113, 3, 99, 100, 4, 10},   {29, 6, 50, 100, 4, 10},
                      {31, 6, 3, 100, 599, 10},  {35, 6, 3, 100, 599, 10},   {110, 4, 1, 100, 599, 10},
                      {111, 27, 2, 1500, 4, 20}, {119, 12, 2, 1500, 4, 20},  {120, 13, 2, 1500, 4, 20},
                      {121, 18, 2, 1500, 4, 20}, {122, 17, 2, 1500, 4, 20},  {112, 19, 2, 100, 4, 20},
                      {4, 4, 0, 150, 4, 10},     {23, 10, 1, 100, 4, 10},    {26, 8, 0, 50, 4, 10},
                      {24, 15, 3, 800, 4, 10}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->flags, kObjDrawn | kObjActive | kObjWarping);
    EXPECT_EQ(o->segment_count, 3 * r.base);  // two copies of every base segment, dots too
    EXPECT_EQ(o->hit_count, r.base);
    EXPECT_EQ(o->hit_points, r.hit_points);
    EXPECT_EQ(o->score, r.score);
    EXPECT_FLOAT_EQ(o->mass, r.mass);
    EXPECT_EQ(o->scale, r.scale);
    EXPECT_EQ(o->timer, 12800);
    EXPECT_EQ(kind_alive[r.kind], 1);
  }
}

TEST_F(KindTest, VariantsAreOneToSix) {
  std::set<int32_t> seen;
  for (int i = 0; i < 150; ++i) {
    game_object* o = spawn_at(3, 300, 300);
    seen.insert(o->variant);
    EXPECT_EQ(o->colour_a[0], kEnemyColours[o->variant]);
    free_object(object_index(o));
  }
  EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(KindTest, WarpInGrowsOverFiftyTicksAndEndsAtFullSize) {
  game_object* o = spawn_at(3, 300, 300);
  enemy_update(o, 6400);
  EXPECT_EQ(o->scale, 128);
  EXPECT_TRUE(o->flags & kObjWarping);
  enemy_update(o, 7000);  // past the rest of the timer
  EXPECT_EQ(o->scale, 0);
  EXPECT_FALSE(o->flags & kObjWarping);
  EXPECT_EQ(o->timer, 0);
}

TEST_F(KindTest, DriftersSpinAndDriftAtTheStageSpeed) {
  game_speed = 1.0f;
  EXPECT_FLOAT_EQ(speed_scale(0.8f, 0.2f), 1.0f);
  game_speed = 2.0f;
  EXPECT_FLOAT_EQ(speed_scale(0.8f, 0.2f), 1.2f);
  game_object* o = spawn_at(23, 300, 300);
  const float speed = std::sqrt(o->vx * o->vx + o->vy * o->vy);
  EXPECT_GT(speed, 0.0f);
  EXPECT_LT(speed, 1.2f * 150.0f / 256.0f * 1.5f);
  EXPECT_GE(o->spin, -0.02f);
  EXPECT_LT(o->spin, 0.02f);
  const int32_t x = o->x;
  const float a = o->angle;
  enemy_update(o, 256);
  EXPECT_EQ(o->x, x + int32_t(std::trunc(o->vx * 256.0f + 0.5f)));
  EXPECT_NEAR(o->angle, a + o->spin, 1e-6f);
}

TEST_F(KindTest, KillsScoreCountAndRollDrops) {
  game_object* o = spawn_at(35, 300, 300);
  enemy_kill(object_index(o));
  EXPECT_EQ(kind_killed[31], 1);  // a lying bar dies as an upright one
  EXPECT_EQ(kind_alive[31], -1);
  EXPECT_EQ(kind_alive[35], 1);
  EXPECT_EQ(game_score, 100);
  const int32_t before = alive_total();
  game_object* p = spawn_at(3, 300, 300);
  enemy_kill(object_index(p));
  EXPECT_EQ(alive_total(), before);
}

TEST_F(KindTest, DropsFollowTheLevelAndTheMode) {
  // A recording spawn for the drop kinds.
  static int drops[129];
  for (int& d : drops) d = 0;
  register_kind(22, [](int32_t, int32_t) { ++drops[22]; }, nullptr, nullptr);
  register_kind(40, [](int32_t, int32_t) { ++drops[40]; }, nullptr, nullptr);
  register_kind(118, [](int32_t, int32_t) { ++drops[118]; }, nullptr, nullptr);
  struct row {
    int32_t level, mode, kind;
    bool any22, any40, any118;
  };
  const row rows[] = {{2, 0, 3, true, true, false},    {12, 0, 3, true, true, false},
                      {12, 2, 3, true, true, true},    {22, 0, 3, true, false, false},
                      {2, 0, 18, false, false, false}, {12, 2, 18, false, false, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level * 1000 + r.mode * 100 + r.kind);
    for (int& d : drops) d = 0;
    level_number = r.level;
    game_mode = r.mode;
    for (int i = 0; i < 3000; ++i) {
      game_object& o = object_at(alloc_object());
      o.kind = uint16_t(r.kind);
      o.flags = kObjActive;
      enemy_kill(object_index(&o));
      free_object(object_index(&o));
    }
    EXPECT_EQ(drops[22] > 0, r.any22);
    EXPECT_EQ(drops[40] > 0, r.any40);
    EXPECT_EQ(drops[118] > 0, r.any118);
    if (r.level > 10 && r.mode == 2 && r.kind != 18) {
      EXPECT_NEAR(drops[118] / 3000.0, 0.116, 0.025);
    }
  }
  for (int k : {22, 40, 118}) register_kind(k, nullptr, nullptr, nullptr);
}

TEST_F(KindTest, ScorePopupsShowTheNumberOrAnAt) {
  struct row {
    int32_t points, state_before, state_after;
    const char* text;
  };
  const row rows[] = {{1500, 0, 0, "1500"}, {0, 0, 0, "@"}, {0, 9, 2, "@"}, {100, 9, 9, "100"}};
  for (const row& r : rows) {
    popup_bonus_state = r.state_before;
    spawn_score_popup(r.points, 0, 0);
    const score_popup& p = popup_at(object_pool->heads[kPopupUsed]);
    EXPECT_EQ(std::string(p.text, strnlen(p.text, 4)), r.text);
    EXPECT_EQ(popup_bonus_state, r.state_after);
    EXPECT_EQ(p.colour, 0xFC64);
  }
}

// --- the stage director -------------------------------------------------------------

using DirectorTest = GameTest;

TEST_F(DirectorTest, QuotasByLevel) {
  struct row {
    int32_t level, lo, hi;
  };
  const row rows[] = {{0, 12, 12}, {1, 6, 6},   {2, 4, 4},   {3, 5, 5},   {4, 1, 1},   {5, 18, 20},
                      {6, 9, 9},   {7, 42, 44}, {8, 15, 17}, {9, 24, 26}, {11, 7, 12}, {15, 4, 4},
                      {16, 18, 23}, {18, 18, 21}, {20, 4, 5}, {24, 14, 14}, {33, 3, 3}, {34, 2, 2}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    level_number = r.level;
    stage_begin();
    EXPECT_GE(kill_quota, r.lo);
    EXPECT_LE(kill_quota, r.hi);
    EXPECT_EQ(shape_scale, r.level == 11 ? 80 : 160);
  }
  level_number = 11;
  stage_begin();
  EXPECT_EQ(player_object->x, 160 * 256);
  EXPECT_EQ(player_object->y, 160 * 256);
}

TEST_F(DirectorTest, ResetAndBeginClearDifferentCounters) {
  kind_alive[5] = kind_alive[40] = kind_killed[29] = kind_killed[30] = 3;
  level_end_timer = 12000;
  stage_reset();
  EXPECT_EQ(kind_alive[5], 0);
  EXPECT_EQ(kind_killed[29], 0);
  EXPECT_EQ(kind_alive[40], 3);
  EXPECT_EQ(kind_killed[30], 3);
  EXPECT_EQ(kill_quota, 50);
  EXPECT_FLOAT_EQ(game_speed, 1.0f);
  EXPECT_EQ(level_end_timer, 12000);
  stage_begin();
  EXPECT_EQ(kind_alive[40], 0);
  EXPECT_EQ(kind_killed[30], 0);
  EXPECT_EQ(level_end_timer, 0);
}

TEST_F(DirectorTest, TotalsCountOnlyTheirKinds) {
  kind_alive[9] = kind_alive[10] = kind_alive[30] = kind_alive[100] = 5;
  kind_alive[3] = 2;
  kind_alive[5] = 1;
  kind_killed[29] = 4;
  kind_killed[30] = 7;
  EXPECT_EQ(alive_total(), 3);
  EXPECT_EQ(killed_total(), 4);
  EXPECT_EQ(alive_chasers(), 1);
}

TEST_F(DirectorTest, TheMinimumWaitGatesEverything) {
  level_number = 0;
  stage_begin();
  difficulty_level = 2;  // wait (90 - 20) ticks
  stage_director_update(70 * 256 - 1);
  EXPECT_EQ(used_objects(), 1);
  EXPECT_EQ(director_timer, 70 * 256 - 1);
  // Past the wait the level-0 hold lets the first spawns in.
  stage_director_update(1);
  EXPECT_EQ(used_objects(), 2);
  EXPECT_EQ(director_timer, 0);
}

TEST_F(DirectorTest, LevelZeroSpawnsRocksUntilItsGoalThenEnds) {
  level_number = 0;
  difficulty_level = 2;
  stage_begin();
  for (int i = 0; i < 200; ++i) stage_director_update(896);
  const int spawned = count_kind(23) + count_kind(26) + count_kind(3);
  EXPECT_GE(spawned, 1);
  EXPECT_EQ(spawned, used_objects() - 1);
  EXPECT_LE(kind_alive[23], 5);  // the cap: alive[23] >= L + 3 ends the step
  // The goal: killed[23] reaches the quota and no chaser lives; the end timer runs.
  kind_killed[23] = kill_quota;
  director_timer = 1 << 20;
  for (int i = 0; i < 14; ++i) stage_director_update(896);
  EXPECT_EQ(level_cleared, 0);  // 14 x 896 = 12544, not above 12800
  stage_director_update(896);
  EXPECT_EQ(level_cleared, 1);
  kind_alive[5] = 1;  // a chaser alive holds the end timer
  level_cleared = 0;
  level_end_timer = 0;
  stage_director_update(896 * 20);
  EXPECT_EQ(level_end_timer, 0);
}

TEST_F(DirectorTest, RedirectsOfTheDetourLevels) {
  struct row {
    int32_t level;
    int32_t killed40, pickups108;
    int32_t want_level, want_cleared;
  };
  const row rows[] = {{19, 9, 0, 20, 1}, {22, 0, 2, 19, 1}, {22, 6, 0, 22, 1}, {23, 1, 0, 23, 1}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    level_number = r.level;
    stage_begin();
    level_cleared = 0;
    kind_killed[40] = r.killed40;
    pickup108_count = r.pickups108;
    director_timer = 1 << 20;
    stage_director_update(896);
    EXPECT_EQ(level_number, r.want_level);
    EXPECT_EQ(level_cleared, r.want_cleared);
  }
}

TEST_F(DirectorTest, LevelTwentyThreeMovesTheShipOnceWhenTheQuotaIsMet) {
  level_number = 23;
  stage_begin();
  kind_killed[103] = kill_quota;
  director_timer = 1 << 20;
  stage_director_update(896);
  EXPECT_EQ(player_object->x, 120320);
  EXPECT_EQ(kill_quota, 7);
  player_object->x = 0;
  stage_director_update(896);
  EXPECT_EQ(player_object->x, 0);
}

TEST_F(DirectorTest, GameSpeedIsTheBaseTimesTheFactor) {
  set_game_speed(2.0f);
  EXPECT_FLOAT_EQ(game_speed, 1.6f);
  set_game_speed(2.0f + 1 / 12.0f);
  EXPECT_FLOAT_EQ(game_speed, 0.8f * (2.0f + 1 / 12.0f));
}

}  // namespace

namespace {

// Every kind's spawn replaced by a record of the kind asked for.
std::set<int32_t> requested;

template <int K>
void record_spawn(int32_t, int32_t) { requested.insert(K); }

template <int... K>
void record_all(std::integer_sequence<int, K...>) {
  (register_kind(K, record_spawn<K>, nullptr, nullptr), ...);
}

TEST_F(DirectorTest, EachLevelAsksForTheKindsOfItsBands) {
  record_all(std::make_integer_sequence<int, kKindCount>{});
  register_chain_spawn([](int32_t, int32_t, int32_t, float) { requested.insert(9); });
  struct row {
    int32_t level;
    std::set<int32_t> kinds;  // every kind the level may ask for
    int32_t main;             // one it must ask for
  };
  const row rows[] = {
      {0, {23, 26, 3}, 23},           {1, {17, 3}, 3},
      {2, {13, 4, 3}, 13},            {3, {6, 3, 4}, 6},
      {4, {25, 4, 5, 3}, 25},         {5, {5, 3, 4}, 5},
      {6, {24, 3}, 24},               {7, {12, 7, 4, 5}, 12},
      {8, {11, 3, 15, 4}, 11},        {9, {3, 4, 23, 12, 24, 5, 13, 11, 17}, 3},
      {10, {27}, 27},                 {11, {17, 29}, 29},
      {12, {7, 4, 15, 24}, 7},        {13, {3, 5}, 3},
      {14, {23, 26, 5}, 5},           {15, {13, 4, 5, 12}, 13},
      {16, {6, 7, 15, 5}, 6},         {17, {9, 4, 5, 3}, 9},
      {18, {8, 5}, 8},                {19, {8, 5}, 8},
      {20, {105, 106}, 105},          {21, {9}, 9},
      {22, {3, 4, 7, 12, 15, 8, 11, 23}, 8}, {23, {3, 7, 15, 13, 11, 23}, 23},
      {24, {9, 16, 15}, 16},          {25, {104}, 104},
      {26, {16, 15}, 16},             {27, {114}, 114},
      {28, {12, 5}, 12},              {29, {116, 114, 3, 5}, 116},
      {30, {27, 25}, 27},             {31, {}, 0},
      {32, {}, 0},                    {33, {117}, 117},
      {34, {117}, 117},               {35, {3, 4, 23, 12, 24, 5, 13, 11, 17, 9, 16, 21, 29, 8, 6, 26, 7}, 3},
      {98, {8, 12, 6, 5}, 8},         {99, {6, 15, 5, 7}, 6},
      {111, {5, 3, 4}, 5},            {161, {15, 5, 7, 12}, 15},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    requested.clear();
    level_number = r.level;
    stage_begin();
    level_cleared = 0;
    for (int i = 0; i < 3000 && level_number == r.level; ++i) stage_director_update(896);
    for (int32_t k : requested) EXPECT_TRUE(r.kinds.count(k)) << "asked for kind " << k;
    if (r.main) {
      EXPECT_TRUE(requested.count(r.main)) << "never asked for kind " << r.main;
    }
    EXPECT_EQ(level_cleared, 0);  // nothing was killed
  }
  reregister_kinds();
}

TEST_F(DirectorTest, TheFinalLevelEndsTheMusicAfterItsLongerEnding) {
  level_number = 34;
  stage_begin();
  kind_killed[104] = 1;
  director_timer = 1 << 20;
  audio_events().clear();
  for (int i = 0; i < 114; ++i) stage_director_update(896);  // 114 x 896 = 102144
  EXPECT_EQ(level_cleared, 0);
  stage_director_update(896);
  EXPECT_EQ(level_cleared, 1);
  EXPECT_EQ(audio_event_names(), (std::vector<std::string>{"music_off", "loop_sound_stop"}));
}

}  // namespace
