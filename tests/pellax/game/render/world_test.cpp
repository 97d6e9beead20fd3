#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/world_image.h"

namespace {

uint16_t& world(int x, int y) { return world_image[y * kCanvasSize + x]; }

uint64_t fnv1a(const uint16_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) {
    h = (h ^ (p[i] & 0xFF)) * 1099511628211ull;
    h = (h ^ (p[i] >> 8)) * 1099511628211ull;
  }
  return h;
}

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    free_world_image();
    world_image_mode = 0;
    player_object = nullptr;
    for (int s = 1; s <= kImageSlotCount; ++s)
      std::memset(image_slot(s), 0, kCanvasPixels * sizeof(uint16_t));
    mt_seed_array(0x77);
  }
  void TearDown() override {
    free_world_image();
    world_image_mode = 0;
  }
  // A fresh black world built for (difficulty, level) in a mode.
  void build_fresh(int32_t difficulty, int32_t level, int32_t mode, uint32_t seed = 0x77) {
    free_world_image();
    mt_seed_array(seed);
    world_image_mode = mode;
    build_world_image(difficulty, level);
    world_image_mode = 0;
  }
};

TEST_F(WorldTest, PaletteByLevelAndDifficulty) {
  const uint16_t red = 0x2800, green = 0x0100, blue = 0x0006, purple = 0x2004;
  const uint16_t expected[36] = {red,    green,  blue,   red,    purple, blue,  red,   green,
                                 blue,   green,  purple, blue,   green,  purple, 0,    0,
                                 purple, blue,   purple, green,  green,  purple, red,  0,
                                 green,  blue,   red,    blue,   0,      0,     0,     red,
                                 0,      purple, 0,      0};
  for (int level = 0; level < 36; ++level) {
    world_palette[0] = 0x1111;  // "unchanged" levels keep what was there
    set_world_palette(2, level);
    EXPECT_EQ(world_palette[0], expected[level] ? expected[level] : 0x1111) << level;
    set_world_palette(0, level);
    EXPECT_EQ(world_palette[0], blue) << level;
    EXPECT_EQ(world_palette[5], 0x0004);
  }
  set_world_palette(2, 4);
  const uint16_t purple_set[6] = {0x2004, 0x1803, 0x1002, 0x3006, 0x2004, 0x1803};
  EXPECT_EQ(0, std::memcmp(world_palette, purple_set, sizeof purple_set));
}

TEST_F(WorldTest, LevelsWithoutAPictureKeepThePreviousWorld) {
  build_fresh(0, 0, 0);
  world(5, 5) = 0x1234;          // above the picture rows, off every grid line
  world(700, 400) = 0x4321;      // inside the picture rows
  mt_seed_array(1);
  build_world_image(2, 8);       // no base pass, no picture
  EXPECT_EQ(world(5, 5), 0x1234);
  EXPECT_EQ(world(700, 400), 0x4321);
  std::fill(image_slot(4), image_slot(4) + kCanvasPixels, uint16_t(0x0842));
  build_world_image(2, 17);      // the picture covers rows 78-679 only
  EXPECT_EQ(world(5, 5), 0x1234);
  EXPECT_EQ(world(700, 400), 0x0841);  // keep(0x0842): green's low bit cleared, blue = bits 1-5
}

TEST_F(WorldTest, TitleModeStopsThePictureAfterPixel450001) {
  build_fresh(0, 0, 1);
  std::vector<uint16_t> without(world_image, world_image + kCanvasPixels);
  std::fill(image_slot(5), image_slot(5) + kCanvasPixels, uint16_t(0x8410));
  build_fresh(0, 0, 1);
  int first = -1, last = -1;
  for (int i = 0; i < kCanvasPixels; ++i)
    if (world_image[i] != without[i]) {
      if (first < 0) first = i;
      last = i;
    }
  EXPECT_EQ(first, 60000);
  EXPECT_EQ(last, 450001);
}

TEST_F(WorldTest, BorderUnlessLevel99AndWallsFromTheTable) {
  build_fresh(0, 0, 0);
  EXPECT_EQ(world(126, 303), 0xFFFF);
  EXPECT_EQ(world(127, 303), 0x8410);
  build_fresh(0, 99, 0);
  EXPECT_LT(world(126, 303), 0x0200);  // only the green base picture of levels above 18
  // Level 11: a blue box at (320, 320) .. (447, 447); off the grid lines the base picture
  // only has red.
  build_fresh(2, 11, 0);
  EXPECT_EQ(world(330, 333) & 31, 10);
  EXPECT_EQ(world(440, 333) & 31, 10);
  EXPECT_EQ(world(450, 333) & 31, 0);
  // Level 14's walls are in its picture, not drawn by code.
  build_fresh(2, 14, 0);
  EXPECT_EQ(world(365, 345) & 0x07FF, 0);
}

TEST_F(WorldTest, StarsDrawTwoNumbersPerWastedTryAndFivePerStar) {
  mt_seed_array(0x99);
  int draws = 0, stars = 0;
  for (int t = 0; t < 80; ++t) {
    const uint32_t x = mt_next() & 511, y = mt_next() & 511;
    draws += 2;
    if (x == 0 || y == 0 || x == 511 || y == 511) continue;
    mt_next();
    mt_next();
    mt_next();
    draws += 3;
    ++stars;
  }
  const uint32_t after = mt_next();
  EXPECT_GE(stars, 70);
  EXPECT_LT(stars, 80) << "the seed must give a wasted try";
  build_fresh(0, 0, 0, 0x99);
  EXPECT_EQ(mt_next(), after) << "the build drew other than " << draws << " numbers";
}

TEST_F(WorldTest, ShipStartsWhereTheLevelSays) {
  ASSERT_EQ(init_object_pools(), 0);
  game_object& ship = object_at(alloc_object());
  ship.x = ship.y = 1;
  player_object = &ship;
  build_fresh(2, 12, 0);
  EXPECT_EQ(ship.x, 1);
  build_fresh(2, 13, 0);
  EXPECT_EQ(ship.x, 160 * 256);
  EXPECT_EQ(ship.y, 160 * 256);
  build_fresh(2, 34, 0);
  EXPECT_EQ(ship.y, 610 * 256);
  player_object = nullptr;
  free_object_pools();
}

// Pinned worlds: any change to a pass, or to the built-in pictures, shows here.
TEST_F(WorldTest, GoldenHashesWithFixedSlotsAndSeed) {
  for (int s = 1; s <= kImageSlotCount; ++s)
    for (int i = 0; i < kCanvasPixels; ++i) image_slot(s)[i] = uint16_t(i * (s + 3) + s);
  struct golden {
    int32_t difficulty, level, mode;
    uint64_t hash;
  };
  const golden cases[] = {
      {0, 0, 0, 0xe9921f318875f125ull},  {2, 3, 0, 0x694cb024b8842262ull},
      {2, 10, 0, 0xa43c0a91e59631d4ull}, {2, 15, 0, 0xb595d87529a89714ull},
      {2, 20, 0, 0x37169089b82e7330ull}, {0, 0, 1, 0x5d1ee9ef4e7d3515ull},
      {2, 30, 0, 0xf02917232d729b37ull}, {2, 99, 0, 0xe70db7b4e96e7d8dull},
  };
  for (const golden& g : cases) {
    build_fresh(g.difficulty, g.level, g.mode);
    const uint64_t h = fnv1a(world_image, kCanvasPixels);
    EXPECT_EQ(h, g.hash) << g.difficulty << ", " << g.level << ", " << g.mode << ": 0x" << std::hex << h;
  }
}

TEST_F(WorldTest, FadesMoveEveryChannelAndTheCanvasTowardsTheWorld) {
  build_fresh(0, 0, 0);
  std::fill(world_image, world_image + kCanvasPixels, uint16_t((20 << 11) | (5 << 5) | 3));
  fade_world_image();
  EXPECT_EQ(world(300, 300), (16 << 11) | (0 << 5) | 0);
  darken_world_image();
  EXPECT_EQ(world(300, 300), (12 << 11));
  transition_timer = 0;
  fade_world_step();
  EXPECT_EQ(world(300, 300), (10 << 11));
  EXPECT_EQ(transition_timer, 0);
  std::fill(world_image, world_image + kCanvasPixels, uint16_t(0x0842));  // 1, 2, 2
  fade_world_step();
  EXPECT_EQ(transition_timer, 1);

  std::vector<uint16_t> surface(kCanvasPixels, uint16_t((2 << 11) | (10 << 5) | 31));
  std::fill(world_image, world_image + kCanvasPixels, uint16_t((4 << 11) | (5 << 5) | 31));
  fade_canvas_to_world(surface.data(), 100, 50);
  EXPECT_EQ(surface[50 * 768 + 99], (4 << 11) | (7 << 5) | 31);   // column x - 1 too
  EXPECT_EQ(surface[289 * 768 + 419], (4 << 11) | (7 << 5) | 31);
  EXPECT_EQ(surface[50 * 768 + 420], (2 << 11) | (10 << 5) | 31);  // outside the window
  EXPECT_EQ(surface[290 * 768 + 200], (2 << 11) | (10 << 5) | 31);
  fade_canvas_to_world(surface.data(), 448, 528);
  EXPECT_EQ(surface[600 * 768 + 767], (2 << 11) | (10 << 5) | 31);  // never column 767
  EXPECT_EQ(surface[600 * 768 + 766], (4 << 11) | (7 << 5) | 31);
  fade_canvas_to_world(surface.data(), -50, -50);  // held inside the canvas
}

TEST_F(WorldTest, WindowCopiesAreClippedAndEmptyCopiesDoNothing) {
  build_fresh(0, 0, 0);
  for (int i = 0; i < kCanvasPixels; ++i) world_image[i] = uint16_t(i);
  std::vector<uint16_t> surface(kCanvasPixels, 7);
  copy_world_window(surface.data(), 10, 10, 10, 10, 0, 100);
  copy_world_window(surface.data(), 10, 10, 10, 10, 100, -1);
  EXPECT_EQ(std::count(surface.begin(), surface.end(), 7), kCanvasPixels);
  draw_world(surface.data(), 224, 264);
  EXPECT_EQ(surface[264 * 768 + 224], uint16_t(264 * 768 + 224));
  EXPECT_EQ(surface[503 * 768 + 543], uint16_t(503 * 768 + 543));
  EXPECT_EQ(surface[504 * 768 + 543], 7);
  copy_world_window(surface.data(), 700, 700, -10, 750, 200, 200);  // clipped both ways
  EXPECT_EQ(surface[750 * 768 + 0], uint16_t(700 * 768 + 710));
  EXPECT_EQ(surface[767 * 768 + 57], uint16_t(717 * 768 + 767));
}

}  // namespace
