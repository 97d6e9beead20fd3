#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <initializer_list>
#include <random>
#include <vector>

#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/base/wall_table.h"
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

bool one_of(int32_t level, std::initializer_list<int32_t> levels) {
  for (int32_t l : levels)
    if (l == level) return true;
  return false;
}

// The world's passes written the plain way, one pixel and one saturating add at a time, over
// a copy of the previous world.
void plain_build(std::vector<uint16_t>& w, int32_t difficulty, int32_t level, int32_t mode) {
  set_world_palette(difficulty, level);
  auto add = [&](int64_t i, uint16_t c) {
    if (i >= 0 && i < kCanvasPixels) w[size_t(i)] = add_saturate(w[size_t(i)], c);
  };
  if (level > 4 && mode == 0 && !one_of(level, {8, 17})) {
    const bool b = one_of(level, {11, 12, 13, 14, 15, 16, 24, 28, 31, 33});
    const uint8_t* src = b ? built_in_intensity_b() : built_in_intensity_a();
    for (int r = 0; r < 384; ++r)
      for (int c = 0; c < 384; ++c) {
        const uint16_t v = src[r * 384 + c];
        uint16_t colour = uint16_t(v << 5);
        if (one_of(level, {5, 27, 15})) colour = v;
        if (one_of(level, {6, 10, 26, 11, 12, 14, 16, 31})) colour = uint16_t(v << 11);
        if (level == 18) colour = uint16_t((v >> 1) << 11);
        if (level == 24) colour = uint16_t((2 * v) << 5);
        if (level == 33) colour = uint16_t((v << 5) | v);
        for (int k : {0, 1, kCanvasSize, kCanvasSize + 1}) w[size_t(2 * r * kCanvasSize + 2 * c + k)] = colour;
      }
  }
  const uint16_t* src = nullptr;
  bool halve = true, non_zero = false;
  int32_t last = 522239;
  if (mode != 0) src = mode == 1 ? image_slot(5) : built_in_picture(3), last = 450001;
  else if (level <= 4) src = image_slot(1);
  else if (level == 10) src = image_slot(1), halve = false, non_zero = true;
  else if (one_of(level, {13, 19, 28})) src = image_slot(1), non_zero = true;
  else if (level == 14 || level == 15) src = image_slot(level - 12), non_zero = true;
  else if (level == 17 || level == 32) src = image_slot(4), halve = false;
  else if (level == 21 || level == 22) src = built_in_picture(level - 20), halve = level == 21;
  else if (level == 23 || level == 25) src = image_slot(level == 23 ? 3 : 4);
  else if (level == 29 || level == 30) src = image_slot(level - 27), halve = false;
  else if (level == 34) src = image_slot(6), halve = false;
  for (int32_t i = 60000; src && i <= last; ++i) {
    const uint16_t v = src[i];
    if (non_zero && v == 0) continue;
    const uint16_t green = halve ? uint16_t((((v >> 5) & 63) >> 1) << 5) : uint16_t(v & 0x07C0);
    w[size_t(i)] = uint16_t((v & 0xF800) | green | ((v >> 1) & 0x1F));
  }
  const int32_t coarse = level <= 17 ? 48 : one_of(level, {26, 33}) ? 36 : level == 31 ? 24 : 60;
  for (int g = 0; g < 2; ++g) {
    const int32_t spacing = g == 0 ? 12 : coarse;
    const uint16_t* colours = world_palette + 3 * g;
    for (int32_t c = spacing; c < kCanvasSize; c += spacing)
      for (int32_t row = 0; row < kCanvasSize; ++row)
        for (int32_t k = -2; k <= 2; ++k) add(row * kCanvasSize + c + k, colours[k < 0 ? -k : k]);
    for (int32_t r = spacing; r < kCanvasSize; r += spacing)
      for (int32_t col = 0; col < kCanvasSize; ++col)
        for (int32_t k = -2; k <= 2; ++k) add((r + k) * kCanvasSize + col, colours[k < 0 ? -k : k]);
  }
  for (int tries = 0; tries < 80; ++tries) {
    const int32_t x = int32_t(mt_next() & 511), y = int32_t(mt_next() & 511);
    if (x == 0 || y == 0 || x == 511 || y == 511) continue;
    const int32_t r = int32_t((mt_next() & 0xFFFF) % 6 + 24), g = int32_t((mt_next() & 0xFFFF) % 12 + 48),
                  b = int32_t((mt_next() & 0xFFFF) % 6 + 24);
    const int32_t centre = (y + 128) * kCanvasSize + x + 128;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int shift = (dx != 0) + (dy != 0);
        add(centre + dy * kCanvasSize + dx, uint16_t(((r >> shift) << 11) | ((g >> shift) << 5) | (b >> shift)));
      }
  }
  if (level != 99) {
    const struct { int32_t at; uint16_t colour; } border[] = {{127, 0x8410}, {126, 0xFFFF}, {125, 0xFFFF}, {124, 0x8410}};
    for (const auto& o : border) {
      const int32_t n = 768 - 2 * o.at;
      for (int32_t k = 0; k < n; ++k)
        for (int64_t i : {int64_t(o.at) * kCanvasSize + o.at + k, int64_t(o.at + n - 1) * kCanvasSize + o.at + k,
                          int64_t(o.at + k) * kCanvasSize + o.at, int64_t(o.at + k) * kCanvasSize + o.at + n - 1})
          w[size_t(i)] = o.colour;
    }
  }
  if (mode == 0 && level >= 11 && level <= 35 && !one_of(level, {14, 15, 19})) {
    const uint16_t colour = (level == 11 || level == 23) ? 0x000A : level == 22 ? 0x03DE : 0xFBE0;
    for_each_wall(level, [&](const wall_box& b) {
      for (int32_t y = b.y + 128; y < b.y + 128 + b.height; ++y)
        for (int32_t x = b.x + 128; x < b.x + 128 + b.width; ++x)
          if (on_canvas(x, y)) add(y * kCanvasSize + x, colour);
    });
  }
}

// Over a noisy previous world (so that the grids saturate and the pixels no pass stores
// show) and noisy pictures with black runs, the build equals the plain passes.
TEST_F(WorldTest, TheBuildEqualsThePlainPassesOverANoisyWorld) {
  std::mt19937 rng(31);
  auto noise = [&rng](uint16_t* p) {
    for (int i = 0; i < kCanvasPixels; ++i) p[i] = (rng() & 7) == 0 ? 0 : uint16_t(rng());
  };
  for (int s = 1; s <= kImageSlotCount; ++s) noise(image_slot(s));
  struct build {
    int32_t difficulty, level, mode;
  };
  const build cases[] = {{2, 0, 0},  {2, 8, 0},  {2, 10, 0}, {2, 13, 0}, {2, 17, 0}, {2, 18, 0},
                         {2, 22, 0}, {2, 24, 0}, {2, 25, 0}, {2, 26, 0}, {2, 31, 0}, {2, 33, 0},
                         {2, 15, 0}, {0, 0, 1},  {0, 0, 2},  {2, 99, 0}, {2, 34, 0}};
  for (const build& c : cases) {
    build_fresh(0, 0, 0);
    noise(world_image);
    std::vector<uint16_t> want(world_image, world_image + kCanvasPixels);
    mt_seed_array(0x5150);
    plain_build(want, c.difficulty, c.level, c.mode);
    mt_seed_array(0x5150);
    world_image_mode = c.mode;
    build_world_image(c.difficulty, c.level);
    world_image_mode = 0;
    int32_t differ = 0, first = -1;
    for (int i = 0; i < kCanvasPixels; ++i)
      if (world_image[i] != want[size_t(i)] && differ++ == 0) first = i;
    EXPECT_EQ(differ, 0) << c.difficulty << ", " << c.level << ", " << c.mode << ": first at " << first;
  }
}

// The zone set-up's fade and build in one equal the fade and then the build, for every level
// and mode (the fade is left out only where the build stores whatever was there).
TEST_F(WorldTest, TheFadeBeforeABuildSkipsOnlyWhatTheBuildStores) {
  std::mt19937 rng(7);
  for (int s = 1; s <= kImageSlotCount; ++s)
    for (int i = 0; i < kCanvasPixels; ++i) image_slot(s)[i] = (rng() & 3) == 0 ? 0 : uint16_t(rng());
  build_fresh(0, 0, 0);
  for (int32_t mode = 0; mode < 3; ++mode) {
    for (int32_t level : {0, 3, 4, 5, 8, 10, 13, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                          30, 31, 32, 33, 34, 35, 99}) {
      if (mode != 0 && level != 0 && level != 17) continue;
      for (int i = 0; i < kCanvasPixels; ++i) world_image[i] = uint16_t(rng());
      std::vector<uint16_t> noisy(world_image, world_image + kCanvasPixels);
      world_image_mode = mode;
      mt_seed_array(3);
      fade_world_image();
      build_world_image(2, level);
      std::vector<uint16_t> want(world_image, world_image + kCanvasPixels);
      std::copy(noisy.begin(), noisy.end(), world_image);
      mt_seed_array(3);
      fade_and_build_world_image(2, level);
      world_image_mode = 0;
      EXPECT_TRUE(std::equal(want.begin(), want.end(), world_image)) << "level " << level << " mode " << mode;
    }
  }
}

// The zone set-up's world made a part a frame equals the one made at once, for every level,
// mode and camera window: the window at once, the random numbers and the ship's start in the
// first call, every pixel by the last.
TEST_F(WorldTest, AWorldMadeOverSeveralFramesEqualsOneMadeAtOnce) {
  std::mt19937 rng(11);
  for (int s = 1; s <= kImageSlotCount; ++s)
    for (int i = 0; i < kCanvasPixels; ++i) image_slot(s)[i] = (rng() & 3) == 0 ? 0 : uint16_t(rng());
  build_fresh(0, 0, 0);
  game_object ship{};
  player_object = &ship;
  struct window {
    int32_t x, y;
  };
  const window windows[] = {{224, 264}, {0, 0}, {447, 527}, {1, 13}, {-100, 700}, {900, 0}};
  int32_t case_number = 0;
  for (int32_t mode = 0; mode < 3; ++mode) {
    for (int32_t level : {0, 3, 4, 5, 8, 10, 11, 13, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                          29, 30, 31, 32, 33, 34, 35, 99}) {
      if (mode != 0 && level != 0 && level != 17) continue;
      const window w = windows[case_number++ % 6];
      for (int i = 0; i < kCanvasPixels; ++i) world_image[i] = uint16_t(rng());
      std::vector<uint16_t> noisy(world_image, world_image + kCanvasPixels);
      world_image_mode = mode;
      mt_seed_array(3);
      ship.x = ship.y = 0;
      fade_and_build_world_image(2, level);
      const uint32_t next_random = mt_next();
      const int32_t ship_x = ship.x, ship_y = ship.y;
      std::vector<uint16_t> want(world_image, world_image + kCanvasPixels);
      std::copy(noisy.begin(), noisy.end(), world_image);
      mt_seed_array(3);
      ship.x = ship.y = 0;
      fade_and_build_world_window(2, level, w.x, w.y);
      world_image_mode = 0;
      const std::string where = "level " + std::to_string(level) + " mode " + std::to_string(mode);
      EXPECT_EQ(mt_next(), next_random) << where;
      EXPECT_EQ(ship.x, ship_x) << where;
      EXPECT_EQ(ship.y, ship_y) << where;
      for (int32_t y = std::max(w.y, 0); y < std::min(w.y + 240, kCanvasSize); ++y)
        for (int32_t x = std::max(w.x - 1, 0); x < std::min(w.x + 320, kCanvasSize); ++x)
          ASSERT_EQ(world(x, y), want[size_t(y * kCanvasSize + x)]) << where << " at " << x << ", " << y;
      int32_t frames = 0;
      while (world_build_in_progress() && frames < 24) continue_world_build(), ++frames;
      EXPECT_FALSE(world_build_in_progress()) << where;
      EXPECT_TRUE(std::equal(want.begin(), want.end(), world_image)) << where;
    }
  }
  player_object = nullptr;
}

// Whatever reads or writes the world outside the finished window first makes the rest; a
// copy of the window itself leaves the rest to the next frames.
TEST_F(WorldTest, ReadersOfAWorldBeingMadeFinishItFirst) {
  std::vector<uint16_t> surface(static_cast<size_t>(kCanvasPixels), 0);
  const struct reader {
    const char* name;
    std::function<void()> read;
    bool finishes;
  } readers[] = {
      {"camera window", [&] { draw_world(surface.data(), 224, 264); }, false},
      {"canvas fade at the window", [&] { fade_canvas_to_world(surface.data(), 224, 264); }, false},
      {"window one row lower", [&] { draw_world(surface.data(), 224, 265); }, true},
      {"canvas fade one column left", [&] { fade_canvas_to_world(surface.data(), 222, 264); }, true},
      {"copy elsewhere", [&] { copy_world_window(surface.data(), 0, 0, 0, 0, 8, 8); }, true},
      {"fade", [] { fade_world_image(); }, true},
      {"darken", [] { darken_world_image(); }, true},
      {"fade step", [] { fade_world_step(); }, true},
      {"add pixel", [] { world_add_pixel(5, 0x0841); }, true},
      {"outline", [] { world_rect_outline(2, 2, 5, 5, 0xFFFF); }, true},
      {"image slot", [] { image_slot(1); }, true},
      {"next build", [] { build_world_image(2, 8); }, true},
  };
  for (const reader& r : readers) {
    // The same reader after a world made at once.
    build_fresh(0, 0, 0);
    mt_seed_array(9);
    fade_and_build_world_image(2, 23);
    std::fill(surface.begin(), surface.end(), uint16_t(0x5AA5));
    r.read();
    std::vector<uint16_t> want(world_image, world_image + kCanvasPixels);
    std::vector<uint16_t> want_surface = surface;
    build_fresh(0, 0, 0);
    mt_seed_array(9);
    fade_and_build_world_window(2, 23, 224, 264);
    std::fill(surface.begin(), surface.end(), uint16_t(0x5AA5));
    r.read();
    EXPECT_EQ(world_build_in_progress(), !r.finishes) << r.name;
    finish_world_build();
    EXPECT_TRUE(std::equal(want.begin(), want.end(), world_image)) << r.name;
    EXPECT_TRUE(surface == want_surface) << r.name;
  }
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

// The word-at-a-time fade against the plain rule, pixel by pixel: each channel of the
// window's pixels (from column x - 1, never column 767) moves at most 3 towards the world's,
// at every alignment of the window's edges, with runs of pixels already equal and pairs
// where only one of the two differs.
TEST_F(WorldTest, CanvasFadeMatchesThePlainRuleAtEveryAlignment) {
  build_fresh(0, 0, 0);
  std::mt19937 rng(5);
  for (int i = 0; i < kCanvasPixels; ++i) world_image[i] = uint16_t(rng());
  std::vector<uint16_t> start(kCanvasPixels);
  for (int i = 0; i < kCanvasPixels; ++i) {
    const uint32_t kind = rng() % 8;  // mostly equal, as a settled backdrop is
    start[i] = kind < 5 ? world_image[i] : kind == 5 ? uint16_t(world_image[i] ^ 0x0821) : uint16_t(rng());
  }
  const auto towards = [](int32_t s, int32_t w) {
    const int32_t d = w - s;
    return s + (d < -3 ? -3 : d > 3 ? 3 : d);
  };
  const struct { int32_t x, y; } windows[] = {
      {100, 50}, {101, 50}, {0, 0}, {1, 0}, {-7, -3}, {447, 527}, {448, 528}, {449, 529},
      {700, 700}, {766, 0}, {767, 10}, {900, 900}, {-400, 100}, {2147483647, 0}, {0, -2147483647 - 1},
  };
  for (const auto& win : windows) {
    std::vector<uint16_t> fast = start, plain = start;
    fade_canvas_to_world(fast.data(), win.x, win.y);
    const int64_t r0 = std::max<int64_t>(win.y, 0), r1 = std::min<int64_t>(int64_t(win.y) + 239, 767);
    const int64_t c0 = std::max<int64_t>(int64_t(win.x) - 1, 0), c1 = std::min<int64_t>(int64_t(win.x) + 319, 766);
    for (int64_t r = r0; r <= r1; ++r) {
      for (int64_t c = c0; c <= c1; ++c) {
        uint16_t& p = plain[size_t(r * kCanvasSize + c)];
        const uint16_t w = world_image[r * kCanvasSize + c];
        p = uint16_t(towards(p >> 11, w >> 11) << 11 | towards((p >> 5) & 63, (w >> 5) & 63) << 5 |
                     towards(p & 31, w & 31));
      }
    }
    EXPECT_TRUE(fast == plain) << win.x << ", " << win.y;
  }
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
