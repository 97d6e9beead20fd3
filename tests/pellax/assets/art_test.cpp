#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "assets/pellax/procedural_art.h"
#include "pellax/base/wall_table.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int N = pellax_art::kPictureSize;

int brightness(uint16_t p) { return (p >> 11) + ((p >> 6) & 31) + (p & 31); }

// The walls levels 14, 15 and 19 collide with are drawn only by their pictures: every
// pixel of every wall must be there, and stand out from what surrounds it.
TEST(ArtTest, WallPicturesShowTheWallsWhereTheGameCollides) {
  struct wall_picture {
    const char* name;
    int level;
  };
  const wall_picture cases[] = {{"smallblock.lvl", 14}, {"bluewalls.lvl", 15}, {"prisonwalls.lvl", 19}};
  std::vector<uint16_t> img(N * N);
  for (const wall_picture& c : cases) {
    ASSERT_TRUE(pellax_art::lvl_picture(c.name, img.data()));
    std::vector<bool> wall(N * N, false);
    int walls = 0;
    for_each_wall(c.level, [&](const wall_box& b) {
      ++walls;
      for (int y = b.y + 128; y < b.y + 128 + b.height; ++y)
        for (int x = b.x + 128; x < b.x + 128 + b.width; ++x) {
          ASSERT_NE(img[y * N + x], 0) << c.name << " " << x << "," << y;
          wall[y * N + x] = true;
        }
    });
    // Inside the arena, walls are clearly brighter than the open space between them.
    long on = 0, on_count = 0, off = 0, off_count = 0;
    for (int y = 128; y < 640; ++y)
      for (int x = 128; x < 640; ++x) {
        const int v = brightness(img[y * N + x]);
        if (wall[y * N + x]) on += v, ++on_count;
        else off += v, ++off_count;
      }
    EXPECT_GT(on / on_count, 3 * off / off_count + 10) << c.name;
    EXPECT_GT(walls, 0);
  }
}

TEST(ArtTest, EveryPictureIsDrawnAndUnknownNamesAreBlack) {
  std::vector<uint16_t> img(N * N);
  for (int i = 0; i < pellax_art::kLvlPictureCount; ++i) {
    ASSERT_TRUE(pellax_art::lvl_picture(pellax_art::kLvlPictureNames[i], img.data()));
    long lit = 0;
    for (uint16_t p : img) lit += p != 0;
    EXPECT_GT(lit, 1000) << pellax_art::kLvlPictureNames[i];
  }
  EXPECT_TRUE(pellax_art::lvl_picture("./onespace.lvl", img.data()));
  EXPECT_FALSE(pellax_art::lvl_picture("nothing.lvl", img.data()));
  for (uint16_t p : img) ASSERT_EQ(p, 0);
}

TEST(ArtTest, IntensityPicturesStayWithinFourBits) {
  std::vector<uint8_t> a(pellax_art::kIntensitySize * pellax_art::kIntensitySize);
  for (int which : {0, 1}) {
    pellax_art::built_in_intensity(which, a.data());
    int max = 0;
    for (uint8_t v : a) max = v > max ? v : max;
    EXPECT_LE(max, 15);
    EXPECT_GE(max, 8);
  }
}

TEST(ArtTest, GeneratorWritesEveryPictureAtItsExactSize) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  const std::string folder = temp.path();
  ASSERT_EQ(std::system((std::string(PELLAX_MAKE_LVL) + " " + folder).c_str()), 0);
  for (int i = 0; i < pellax_art::kLvlPictureCount; ++i) {
    struct stat st;
    ASSERT_EQ(stat((folder + "/" + pellax_art::kLvlPictureNames[i]).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 1179648);
  }
  EXPECT_NE(std::system((std::string(PELLAX_MAKE_LVL) + " /nonexistent/folder 2>/dev/null").c_str()), 0);
}

}  // namespace
