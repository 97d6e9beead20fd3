// The kind dispatch, its shared steps, the blocks and drifters, and the stage director.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pellax/game/enemies/menu_square.h"
#include "pellax/game/play/messages.h"
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

// Every kind the waves, the formations, the drops and the level select ask for by code
// places an object of that very code: a family that forgot to register a kind, or
// registered it under another code, would leave a zone waiting for kills that never come.
// (The chain, the enemy shot, the splitter's pieces and the menu square have spawns of
// their own with more arguments.)
TEST_F(KindTest, EveryKindTheGameAsksForSpawnsItself) {
  for (int32_t kind : {3,   4,   5,   6,   7,   8,   10,  11,  12,  13,  15,  16,  17,  21,  22,  23,  24,
                       25,  26,  27,  28,  29,  31,  35,  40,  101, 102, 103, 104, 105, 106, 107, 108, 109,
                       110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123}) {
    SCOPED_TRACE(kind);
    clear_enemies();
    EXPECT_TRUE(kind_spawns(kind));
    const game_object* o = spawn_at(kind, 300, 300);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->kind, kind);
    EXPECT_GT(o->segment_count, 0);
  }
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

// A drifter's spawn draws spin, angle and the two speed factors in that order; its kill
// makes 40 slow sparks, then 80 fast ones that start later; a big rock leaves two rocks and
// a small one at fixed offsets.
TEST_F(KindTest, DrifterDrawsSparksAndSplit) {
  game_speed = 1.0f;  // the speed term 1.0
  mt_seed(2024);
  std::mt19937 mirror(2024);
  game_object* o = spawn_at(24, 300, 300);
  const float spin = float(mirror() % 100) / 2500.0f - 0.02f;
  const float angle = float(mirror() % 1000) * 6.283f / 1000.0f;
  const float fx = float(80 + mirror() % 70) / 256.0f, fy = float(80 + mirror() % 70) / 256.0f;
  EXPECT_FLOAT_EQ(o->spin, spin);
  EXPECT_FLOAT_EQ(o->angle, angle);
  EXPECT_FLOAT_EQ(o->vx, std::sin(angle) * fx);
  EXPECT_FLOAT_EQ(o->vy, std::cos(angle) * fy);
  EXPECT_EQ(o->variant, 0);
  EXPECT_EQ(o->colour_a[0], 0xFA08);
  EXPECT_EQ(o->colour_b[0], 0xFC63);
  EXPECT_EQ(o->colour_a[1], 0xFC63);
  clear_particles();
  level_number = 0;
  const uint32_t roll = mirror() % 1000 % 100;
  ASSERT_TRUE(roll != 2 && roll != 8) << "a seed that drops nothing";
  const uint16_t i = object_index(o);
  const int32_t x = o->x, y = o->y;
  enemy_kill(i);
  EXPECT_EQ(game_score, 800);
  // The pieces, newest first.
  const int32_t want[3][3] = {{26, x + 10, y - 10}, {23, x + 20, y + 20}, {23, x - 20, y - 20}};
  uint16_t k = object_pool->heads[kObjectUsed];
  for (const auto& w : want) {
    ASSERT_NE(k, kNoRecord);
    EXPECT_EQ(object_at(k).kind, w[0]);
    EXPECT_EQ(object_at(k).x, w[1]);
    EXPECT_EQ(object_at(k).y, w[2]);
    k = object_at(k).link.next;
  }
  EXPECT_EQ(kind_alive[23], 2);
  EXPECT_EQ(kind_alive[26], 1);
  // The sparks, each with its two copies; the list's newest comes first.
  std::vector<const particle*> sparks;
  walk_particles([&](uint16_t p) {
    if (particle_at(p).flags != 0) sparks.push_back(&particle_at(p));
  });
  ASSERT_EQ(sparks.size(), 120u);
  std::reverse(sparks.begin(), sparks.end());
  for (size_t n = 0; n < sparks.size(); ++n) {
    SCOPED_TRACE(n);
    const bool slow = n < 40;
    const particle& p = *sparks[n];
    const int32_t delay = (slow ? 0 : 3000) + int32_t(mirror() % 3000);
    const float a = float(mirror() % 1000) * 6.283f / 1000.0f;
    const int32_t life = (slow ? 2048 : 3072) + int32_t(mirror() % 512);
    const float speed = slow ? 3.5f : 6.0f;
    EXPECT_EQ(p.delay, delay);
    // (int)(v + 0.5): the half added, then truncated toward zero.
    EXPECT_NEAR(p.vx, std::trunc(std::sin(a) * speed * 256.0f + 0.5f), 1.0f);
    EXPECT_NEAR(p.vy, std::trunc(std::cos(a) * speed * 256.0f + 0.5f), 1.0f);
    EXPECT_EQ(p.life, life);
    EXPECT_EQ(p.flags, slow ? 1 : 3);
    EXPECT_EQ(p.colour, slow ? 0xA285 : 0xFD0A);
    EXPECT_EQ(p.tail_glow, slow ? 1 : 7);
    EXPECT_EQ(p.head_time, 1024);
  }
}

// A block's spawn draws its variant, then (kinds 3, 113, 29) its angle; the bonus shapes
// draw a variant only and stand at angle 0.
TEST_F(KindTest, BlockSpawnsDrawTheVariantThenTheAngle) {
  for (int32_t kind : {3, 113, 29, 31, 111}) {
    SCOPED_TRACE(kind);
    mt_seed(uint32_t(500 + kind));
    std::mt19937 mirror(uint32_t(500 + kind));
    game_object* o = spawn_at(kind, 300, 300);
    EXPECT_EQ(o->variant, int32_t(1 + (mirror() % 1200 / 3) % 6));
    const bool turned = kind == 3 || kind == 113 || kind == 29;
    EXPECT_FLOAT_EQ(o->angle, turned ? float(mirror() % 1000) * 6.283f / 1000.0f : 0.0f);
    EXPECT_EQ(mt_next(), mirror()) << "no further draws";
  }
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
  reregister_kinds();  // the kinds' own routines again for the tests that follow
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

// Every shot tested against an enemy counts in popup_bonus_state (0..20, wrapping); in
// level 17 a scoring popup that finds it at 12 brings a turret with the pick-up sound.
TEST_F(KindTest, ThePopupBonusCountsShotTestsAndSendsATurretInLevelSeventeen) {
  struct count_row {
    int32_t before, shots, after;
  };
  for (const count_row& r : {count_row{0, 3, 3}, count_row{19, 3, 1}, count_row{20, 1, 0}}) {
    SCOPED_TRACE(r.before);
    clear_enemies();
    clear_object_shots();
    settle(spawn_at(3, 200, 200));
    for (int k = 0; k < r.shots; ++k) shot_at(500, 500 + 10 * k);
    popup_bonus_state = r.before;
    frame_time = 0.0f;
    tick_step = 0;
    update_play();
    EXPECT_EQ(popup_bonus_state, r.after);
  }
  struct row {
    int32_t level, state, points;
    bool turret;
  };
  const row rows[] = {{17, 12, 100, true}, {16, 12, 100, false}, {17, 11, 100, false}, {17, 12, 0, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level * 100 + r.state);
    clear_enemies();
    audio_events().clear();
    level_number = r.level;
    popup_bonus_state = r.state;
    spawn_score_popup(r.points, 300 * 256, 300 * 256);
    EXPECT_EQ(count_kind(21), r.turret ? 1 : 0);
    EXPECT_EQ(audio_event_count("sfx_play", 4), r.turret ? 1 : 0);
    if (r.turret) {
      EXPECT_EQ(popup_bonus_state, 0);
    }
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
                      {16, 18, 23}, {18, 18, 21}, {20, 4, 5}, {24, 14, 14}, {33, 3, 3}, {34, 2, 2},
                      {10, 1, 1},  {12, 9, 14}, {13, 1, 1},  {14, 1, 1},  {17, 1, 1},  {19, 9, 9},
                      {21, 6, 6},  {22, 6, 6},  {23, 6, 6},  {25, 1, 1},  {26, 14, 14}, {27, 14, 14},
                      {28, 1, 1},  {29, 1, 1},  {30, 1, 1},  {31, 1, 1},  {32, 1, 1}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    level_number = r.level;
    stage_begin();
    EXPECT_GE(kill_quota, r.lo);
    EXPECT_LE(kill_quota, r.hi);
    EXPECT_EQ(shape_scale, r.level == 11 ? 80 : r.level == 12 ? 280 : 160);
  }
  // The levels' own state: the pick-up counts and the mine walk's start.
  pickup108_count = pickup103_count = 3;
  level_number = 25;
  stage_begin();
  EXPECT_EQ(pickup108_count, 0);
  level_number = 31;
  stage_begin();
  EXPECT_EQ(pickup103_count, 0);
  level_number = 29;
  stage_begin();
  EXPECT_EQ(mine_walk_x, 134);
  EXPECT_EQ(mine_walk_y, 250);
  EXPECT_EQ(mine_walk_dir, 1);
  EXPECT_EQ(mine_walk_count, 0);
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

// What director steps asked for, in order: the kind, and a chain's links and speed.
struct asked_spawn {
  int32_t kind, links;
  float speed;
  int32_t x, y;
};
std::vector<asked_spawn> asked;

template <int K>
void record_asked(int32_t x, int32_t y) { asked.push_back({K, 0, 0.0f, x, y}); }

template <int... K>
void record_asked_all(std::integer_sequence<int, K...>) {
  (register_kind(K, record_asked<K>, nullptr, nullptr), ...);
}

// A director fixture whose spawns only record; L = 8 has no minimum wait.
class DirectorGateTest : public DirectorTest {
 protected:
  void SetUp() override {
    DirectorTest::SetUp();
    record_asked_all(std::make_integer_sequence<int, kKindCount>{});
    register_chain_spawn(
        [](int32_t x, int32_t y, int32_t links, float speed) { asked.push_back({9, links, speed, x, y}); });
  }
  void TearDown() override {
    reregister_kinds();
    DirectorTest::TearDown();
  }
  struct count {
    int32_t kind, n;
  };
  static void begin(int32_t level, std::vector<count> alive, std::vector<count> killed) {
    level_number = level;
    difficulty_level = 8;
    stage_begin();
    level_cleared = 0;
    for (const count& c : alive) kind_alive[c.kind] = c.n;
    for (const count& c : killed) kind_killed[c.kind] = c.n;
    asked.clear();
  }
};

// The spawn gates of each form: the interval I / (L + 1) (or fixed), the hold, the cap,
// and the order of the timer's reset and the cap's test.
TEST_F(DirectorGateTest, IntervalsHoldsAndCaps) {
  struct row {
    const char* name;
    int32_t level;
    std::vector<count> alive, killed;
    int32_t timer;  // before the step of dt 1
    bool reset;
    int32_t spawns;  // -1: the band drawn may be empty
  };
  const row rows[] = {
      {"0 held", 0, {{23, 11}}, {}, 11375, false, 0},
      {"0 below the hold", 0, {{23, 10}}, {}, 11375, true, 1},
      {"0 interval, capped", 0, {{23, 11}}, {}, 11376, true, 0},
      {"1 held", 1, {{17, 14}}, {}, 4549, false, 0},
      {"1 below the hold", 1, {{17, 13}}, {}, 4549, true, 1},
      {"1 interval at the cap", 1, {{17, 18}}, {}, 4550, true, 1},
      {"1 interval above the cap", 1, {{17, 19}}, {}, 4550, true, 0},
      {"2 cap reached", 2, {{13, 10}, {14, 2}}, {}, 9101, true, -1},
      {"2 cap passed", 2, {{13, 10}, {14, 3}}, {}, 9101, true, 0},
      {"6 cap", 6, {{24, 16}}, {}, 13653, true, 0},
      {"6 below the cap", 6, {{24, 15}}, {}, 13653, true, -1},
      {"9 held", 9, {{3, 11}}, {}, 7962, false, 0},
      {"9 below the hold", 9, {{3, 10}}, {}, 7962, true, 1},
      {"9 has no cap", 9, {{3, 45}}, {}, 7963, true, 1},
      {"22 capped before the reset", 22, {{3, 40}}, {}, 10239, false, 0},
      {"22 at the cap", 22, {{3, 39}}, {}, 10239, true, 1},
      {"23 capped", 23, {{3, 40}}, {}, 1 << 24, false, 0},
      {"24 early", 24, {}, {}, 11375, false, 0},
      {"24 above the cap", 24, {{3, 50}}, {}, 11376, false, 0},
      {"24 at the cap", 24, {{3, 49}}, {}, 11376, true, 1},
      {"26 too many after the draw", 26, {{3, 14}}, {}, 5688, true, 0},
      {"26 few enough", 26, {{3, 13}}, {}, 5688, true, 1},
      {"27 above its cap", 27, {{3, 80}}, {}, 1 << 24, false, 0},
      {"27 at its cap", 27, {{3, 79}}, {}, 1 << 24, true, -1},
      {"4 held", 4, {{3, 12}}, {}, 22753, false, 0},
      {"4 the boss", 4, {{3, 11}}, {}, 22753, true, 1},
      {"4 no filler while busy", 4, {{25, 1}, {3, 9}}, {}, 1 << 24, true, 0},
      {"10 no filler", 10, {{27, 1}}, {}, 1 << 24, true, 0},
      {"17 fixed interval held", 17, {{3, 12}}, {}, 204798, false, 0},
      {"17 fixed interval", 17, {{3, 12}}, {}, 204799, true, 1},
      {"14 too many chasers", 14, {{12, 19}}, {}, 1 << 24, true, 0},
      {"14 room", 14, {{12, 18}}, {}, 1 << 24, true, 1},
      {"20 early", 20, {}, {}, 66558, false, 0},
      {"20 fixed interval", 20, {}, {}, 66559, true, 1},
      {"21 six chains", 21, {{9, 6}}, {}, 1 << 24, false, 0},
      {"21 five chains", 21, {{9, 5}}, {}, 20479, true, 1},
      {"32 no spawns", 32, {}, {}, 455110, true, 0},
      {"33 quota alive", 33, {{117, 3}}, {}, 1 << 24, false, 0},
      {"33 room", 33, {{117, 2}}, {}, 8532, true, 1},
      {"34 two killed", 34, {}, {{117, 2}}, 1 << 24, false, 0},
      {"34 one killed", 34, {}, {{117, 1}}, 1 << 24, true, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    begin(r.level, r.alive, r.killed);
    director_timer = r.timer;
    stage_director_update(1);
    EXPECT_EQ(director_timer == 0, r.reset) << director_timer;
    if (r.spawns >= 0) {
      EXPECT_EQ(int32_t(asked.size()), r.spawns);
    }
    EXPECT_EQ(level_cleared, 0);
  }
}

// Each level's bands of the draw r, asked for every r in turn: a seed is chosen so that the
// draw after the spawn point's tries gives that r. The ship is placed where no try can
// succeed, so the point always costs 20 tries of two draws and the fallback's two.
TEST_F(DirectorGateTest, EveryDrawSpawnsItsBandsKind) {
  mt_seed(77);
  std::mt19937 mirror(77);
  ASSERT_EQ(mt_next(), mirror()) << "the tests' generator must be the game's";
  struct level_bands {
    int32_t level, range;
    std::vector<count> alive;
    const char* bands;  // "lo-hi:kind" ... ; kind 0 none; "9/links/speed" a chain
  };
  const level_bands rows[] = {
      {0, 100, {}, "0-69:23 70-94:26 95-99:3"},
      {1, 100, {}, "0-24:17 25-99:3"},
      {2, 100, {}, "0-39:13 40-49:4 50-59:3 60-99:0"},
      {3, 100, {}, "0-59:6 60-69:3 70-74:4 75-99:0"},
      {4, 100, {{25, 1}}, "0-32:4 33-65:5 66-99:3"},
      {5, 100, {}, "0-79:5 80-89:3 90-99:4"},
      {6, 100, {}, "0-59:24 60-94:3 95-99:0"},
      {7, 100, {}, "0-89:12 90-92:7 93-96:4 97-99:5"},
      {8, 100, {}, "0-79:11 80-86:3 87-93:15 94-99:4"},
      {9, 100, {}, "0-10:3 11-21:4 22-32:23 33-43:12 44-54:24 55-65:5 66-76:13 77-87:11 88-99:17"},
      {11, 100, {}, "0-19:17 20-99:29"},
      {12, 100, {}, "0-59:7 60-74:4 75-94:15 95-99:24"},
      {13, 100, {}, "0-96:3 97-99:5"},
      {14, 100, {}, "0-29:23 30-39:26 40-99:5"},
      {15, 100, {}, "0-69:13 70-79:4 80-89:5 90-99:12"},
      {16, 100, {}, "0-59:6 60-94:7 95-97:15 98-99:5"},
      {17, 100, {{9, 1}}, "0-32:4 33-65:5 66-99:3"},
      {18, 100, {}, "0-91:8 92-99:5"},
      {19, 100, {}, "0-91:8 92-99:5"},
      {21, 100, {}, "0-19:9/3/0.7 20-39:9/3/0.8 40-59:9/2/0.9 60-87:9/4/0.6 88-99:9/5/0.5"},
      {22, 100, {}, "0-10:3 11-21:4 22-43:7 44-54:12 55-65:15 66-87:8 88-94:11 95-99:23"},
      {23, 100, {}, "0-10:3 11-34:7 35-54:15 55-64:13 65-69:11 70-99:23"},
      {24, 90, {}, "0-6:9/3/0.9 7-84:16 85-89:15"},
      {26, 90, {}, "0-79:16 80-89:15"},
      {27, 90, {}, "0-49:0 50-89:114"},
      {29, 100, {}, "0-96:3 97-99:5"},
      {35, 90, {},
       "0-4:3 5-9:4 10-14:23 15-19:12 20-24:24 25-29:5 30-34:13 35-39:11 40-44:17 45-49:9/3/0.9 "
       "50-54:16 55-59:21 60-64:29 65-69:8 70-74:6 75-79:26 80-84:7 85-89:0"},
      {98, 100, {}, "0-79:8 80-86:12 87-93:6 94-99:5"},
      {99, 100, {}, "0-79:6 80-86:15 87-93:5 94-99:7"},
      {111, 100, {}, "0-79:5 80-89:3 90-99:4"},
      {161, 100, {}, "0-79:15 80-86:5 87-93:7 94-99:12"},
  };
  // A seed for each r of a range, with `skip` draws before r.
  auto seeds_for = [](int32_t range, int32_t skip) {
    std::vector<uint32_t> seeds(size_t(range), 0);
    int32_t found = 0;
    for (uint32_t s = 1; found < range; ++s) {
      std::mt19937 g(s);
      g.discard(uint64_t(skip));
      const uint32_t r = g() % uint32_t(range);
      if (seeds[r] == 0) {
        seeds[r] = s;
        ++found;
      }
    }
    return seeds;
  };
  for (const level_bands& lb : rows) {
    SCOPED_TRACE(lb.level);
    const std::vector<uint32_t> seeds = seeds_for(lb.range, 42);
    std::istringstream items(lb.bands);
    std::string item;
    int32_t next_r = 0;
    while (items >> item) {
      int32_t lo = 0, hi = 0, kind = 0, links = 0;
      float speed = 0.0f;
      const int fields = std::sscanf(item.c_str(), "%d-%d:%d/%d/%f", &lo, &hi, &kind, &links, &speed);
      ASSERT_GE(fields, 3) << item;
      ASSERT_EQ(lo, next_r) << "the bands cover every draw";
      next_r = hi + 1;
      for (int32_t r = lo; r <= hi; ++r) {
        SCOPED_TRACE(r);
        begin(lb.level, lb.alive, {});
        director_timer = 1 << 24;
        player_object->x = player_object->y = 600 * 256;  // far from the view: no try fits
        player_object->vx = player_object->vy = 0.0f;
        camera_x = camera_y = 0;
        mt_seed(seeds[size_t(r)]);
        stage_director_update(1);
        if (kind == 0) {
          EXPECT_TRUE(asked.empty());
          continue;
        }
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].kind, kind);
        EXPECT_EQ(asked[0].links, links);
        EXPECT_FLOAT_EQ(asked[0].speed, speed);
      }
    }
    EXPECT_EQ(next_r, lb.range);
  }
  // Level 20 draws r with no spawn point first; level 28 draws nothing and sends a pair.
  const std::vector<uint32_t> first = seeds_for(100, 0);
  for (int32_t r : {0, 49, 50, 99}) {
    SCOPED_TRACE(r);
    begin(20, {}, {});
    director_timer = 1 << 24;
    mt_seed(first[size_t(r)]);
    stage_director_update(1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].kind, r <= 49 ? 105 : 106);
  }
  begin(28, {}, {});
  director_timer = 1 << 24;
  stage_director_update(1);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].kind, 12);
  EXPECT_EQ(asked[1].kind, 5);
}

// Level 29 lays a mine every fifth step along its walk; leaving the square sends a chaser
// and starts a new walk from a side.
TEST_F(DirectorGateTest, TheMineWalk) {
  begin(29, {}, {});
  for (int i = 0; i < 4; ++i) stage_director_update(1);
  EXPECT_TRUE(asked.empty());
  stage_director_update(1);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, 116);
  EXPECT_EQ(asked[0].x, 134 * 256);
  EXPECT_EQ(asked[0].y, 250 * 256);
  EXPECT_EQ(mine_walk_x, 154);
  struct row {
    int32_t dir, x, y;     // before the mine
    int32_t want_x, want_y;  // after it, still inside
  };
  const row rows[] = {{0, 300, 300, 300, 320}, {2, 300, 300, 280, 300}, {3, 300, 300, 300, 280},
                      {1, 560, 300, 580, 300}};
  for (const row& r : rows) {
    asked.clear();
    mine_walk_dir = r.dir;
    mine_walk_x = r.x;
    mine_walk_y = r.y;
    mine_walk_count = 4;
    stage_director_update(1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(mine_walk_x, r.want_x);
    EXPECT_EQ(mine_walk_y, r.want_y);
  }
  // Out of the square: a chaser, then a side drawn, then the point along it.
  asked.clear();
  mine_walk_dir = 1;
  mine_walk_x = 570;
  mine_walk_count = 4;
  player_object->x = player_object->y = 600 * 256;  // the chaser's point: all 42 draws
  camera_x = camera_y = 0;
  for (uint32_t seed : {9u, 11u, 12u, 15u}) {  // sides 1, 0, 3 and 2
    SCOPED_TRACE(seed);
    asked.clear();
    mine_walk_dir = 1;
    mine_walk_x = 570;
    mine_walk_y = 300;
    mine_walk_count = 4;
    mt_seed(seed);
    std::mt19937 mirror(seed);
    mirror.discard(42);
    const int32_t d = int32_t(mirror() % 4);
    const int32_t along = 134 + int32_t(mirror() % 446);
    stage_director_update(1);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, 116);
    EXPECT_EQ(asked[1].kind, 114);
    EXPECT_EQ(mine_walk_dir, d);
    const int32_t want_x[4] = {along, 134, 580, along}, want_y[4] = {134, along, along, 580};
    EXPECT_EQ(mine_walk_x, want_x[d]);
    EXPECT_EQ(mine_walk_y, want_y[d]);
  }
}

// Once the goal is met: the end timer by kind (dt, dt / 2 with its two limits, at once),
// held while a condition fails.
TEST_F(DirectorGateTest, EndTimersOnceTheGoalIsMet) {
  struct row {
    const char* name;
    int32_t level;
    std::vector<count> alive, killed;
    int32_t steps_before;  // steps of 896 that leave the level running
  };
  const row rows[] = {
      {"E1", 1, {}, {{17, 6}}, 14},                // 14 x 896 = 12544
      {"E2", 10, {}, {{27, 1}}, 28},               // 28 x 448 = 12544
      {"E3", 4, {}, {{25, 1}}, 57},                // 57 x 448 = 25536
      {"E0", 27, {}, {{114, 14}}, 0},
      {"E0 with spawns going on", 21, {}, {{9, 6}}, 0},
      {"E1 after its condition", 15, {{13, 1}}, {{13, 16}}, 14},
      {"E2 of the twin bosses", 30, {}, {{27, 1}, {25, 1}}, 28},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    begin(r.level, r.alive, r.killed);
    for (int i = 0; i < r.steps_before; ++i) stage_director_update(896);
    EXPECT_EQ(level_cleared, 0);
    stage_director_update(896);
    EXPECT_EQ(level_cleared, 1);
  }
  // A condition that fails holds the end timer at 0.
  begin(2, {{14, 3}}, {{13, 10}});
  for (int i = 0; i < 100; ++i) stage_director_update(896);
  EXPECT_EQ(level_cleared, 0);
  EXPECT_EQ(level_end_timer, 0);
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
