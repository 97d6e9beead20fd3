// The levels' fixed formations: what each places, where, and what a full pool leaves out.
#include <map>

#include "pellax/game/enemies/kind_steps.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using FormationTest = GameTest;

std::map<int32_t, int> histogram() {
  std::map<int32_t, int> h;
  walk_objects([&](uint16_t i) {
    if (object_at(i).kind != 1) ++h[object_at(i).kind];
  });
  return h;
}

TEST_F(FormationTest, EachLevelPlacesItsKinds) {
  using H = std::map<int32_t, int>;
  struct row {
    int32_t level;
    H kinds;
  };
  const row rows[] = {
      {4, H{{111, 1}}},
      {7, H{{10, 4}}},
      {10, H{{110, 5}, {119, 1}}},
      {13, H{{35, 3}, {31, 4}, {23, 12}, {26, 5}, {21, 6}, {10, 2}, {113, 2}}},
      {14, H{{21, 9}}},
      {15, H{{10, 2}, {23, 5}, {26, 3}, {21, 4}, {120, 1}, {35, 1}, {31, 1}}},
      {19, H{{31, 12}, {35, 12}, {40, 9}}},
      {20, H{{121, 1}, {110, 20}}},
      {22, H{{101, 3}, {113, 11}, {108, 1}, {40, 6}}},
      {23, H{{101, 7}, {10, 1}, {113, 11}, {102, 5}, {103, 6}, {23, 3}, {40, 1}}},
      {25, H{{107, 4}, {104, 1}, {108, 3}, {109, 6}, {110, 30}, {29, 20}, {10, 5}, {22, 1}}},
      {26, H{{109, 3}, {110, 20}}},
      {27, H{{29, 40}, {110, 14}, {22, 2}, {109, 2}, {40, 3}}},
      {28, H{{35, 3}, {31, 4}, {23, 12}, {26, 5}, {21, 6}, {40, 10}, {10, 2}, {113, 8}, {22, 6}}},
      {29, H{{24, 5}, {114, 4}, {22, 8}, {40, 6}}},
      {30, H{{24, 2}, {114, 1}, {22, 11}, {40, 10}}},
      {31, H{{10, 30}, {103, 6}, {110, 42}, {22, 5}, {40, 5}}},
      {32, H{{115, 8}, {22, 3}}},
      {34, H{{104, 1}, {123, 34}}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.level);
    free_objects_with_flags(kObjActive);
    level_number = r.level;
    stage_begin();
    shape_scale = 200;  // levels 13 and 28 set their own
    stage_spawn_formation(r.level);
    EXPECT_EQ(histogram(), r.kinds);
  }
  // Levels without a formation place nothing.
  for (int32_t level : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 16, 17, 18, 21, 24, 33, 35}) {
    free_objects_with_flags(kObjActive);
    stage_spawn_formation(level);
    EXPECT_TRUE(histogram().empty()) << level;
  }
}

TEST_F(FormationTest, LevelsThirteenAndTwentyEightSetTheDefaultScale) {
  for (int32_t level : {13, 28}) {
    free_objects_with_flags(kObjActive);
    level_number = level;
    shape_scale = 280;
    stage_spawn_formation(level);
    EXPECT_EQ(shape_scale, 160) << level;
  }
}

// The heavy spinner waits for the count: the level comes back from the detour without it.
TEST_F(FormationTest, LevelTwentyTwoAfterTheDetour) {
  for (int32_t count : {0, 5}) {
    free_objects_with_flags(kObjActive);
    level_number = 22;
    pickup108_count = count;
    stage_spawn_formation(22);
    EXPECT_EQ(used_objects() - 1, count == 0 ? 21 : 20);
  }
}

// Random points draw x first, then y.
TEST_F(FormationTest, RandomPointsDrawXThenY) {
  mt_seed(7);
  const int32_t x = random_range(134, 600);
  const int32_t y = random_range(134, 600);
  level_number = 32;
  mt_seed(7);
  stage_spawn_formation(32);
  // The first turret placed is the oldest record of its kind.
  game_object* first = nullptr;
  walk_objects([&](uint16_t i) {
    if (object_at(i).kind == 115) first = &object_at(i);
  });
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->x, x * 256);
  EXPECT_EQ(first->y, y * 256);
}

// The written ranges run left to right; the call takes the right limit first.
TEST_F(FormationTest, SlidersGetTheirLimitsInTheCallsOrder) {
  level_number = 25;
  stage_spawn_formation(25);
  std::map<int32_t, const game_object*> by_x;
  walk_objects([&](uint16_t i) {
    if (object_at(i).kind == 109) by_x[object_at(i).x / 256] = &object_at(i);
  });
  ASSERT_EQ(by_x.size(), 6u);
  const game_object& across = *by_x[400];
  EXPECT_EQ(across.counters[0], 510 * 256);  // x right
  EXPECT_EQ(across.counters[1], 380 * 256);  // x left
  EXPECT_EQ(across.counters[3], 0);
  const game_object& down = *by_x[560];
  EXPECT_EQ(down.counters[0], 0);
  EXPECT_EQ(down.counters[2], 132 * 256);  // y top
  EXPECT_EQ(down.counters[3], 640 * 256);  // y bottom
  // It travels, not jitters: ten frames take it 20 px to the right.
  game_object& a = const_cast<game_object&>(across);
  settle(&a);
  for (int f = 0; f < 10; ++f) enemy_update(&a, 896);
  EXPECT_EQ(a.x, 420 * 256);
}

// A formation larger than the free room is cut short where the pool runs out.
TEST_F(FormationTest, AFullPoolCutsTheListShort) {
  while (used_objects() < kObjectCount - 5) alloc_object();
  level_number = 31;
  stage_spawn_formation(31);
  EXPECT_EQ(used_objects(), kObjectCount);
  EXPECT_EQ(kind_alive[10] + kind_alive[103] + kind_alive[110], 5);
}

}  // namespace
