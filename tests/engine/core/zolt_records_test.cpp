#include "engine/core/zolt_records.h"
#include "tests/engine/rect_expect.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct IntersectCase {
  tagRECT a, b;
  int result;
  tagRECT out;  // expected when result is 1
};

TEST(Rect, IntersectTable) {
  const tagRECT kUntouched{-7, -7, -7, -7};
  const IntersectCase cases[] = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, 1, {5, 5, 10, 10}},
      {{0, 0, 10, 10}, {2, 3, 4, 5}, 1, {2, 3, 4, 5}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, 0, {}},    // touching along the right side
      {{0, 0, 10, 10}, {0, 10, 10, 20}, 0, {}},    // touching along the bottom
      {{0, 0, 10, 10}, {-10, 0, 0, 10}, 0, {}},    // touching along the left side
      {{0, 0, 0, 10}, {-5, -5, 5, 5}, 0, {}},      // a empty: left == right
      {{0, 0, 10, 10}, {3, 4, 6, 4}, 0, {}},       // b empty: top == bottom
      {{0, 0, 10, 10}, {8, 8, 2, 12}, 0, {}},      // b inverted
      {{-20, -20, -5, -5}, {-10, -30, 0, -8}, 1, {-10, -20, -5, -8}},  // signed
      {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {-1, -1, 1, 1}, 1, {-1, -1, 1, 1}},
  };
  for (const auto& c : cases) {
    tagRECT out = kUntouched;
    EXPECT_EQ(RectIntersect(&c.a, &c.b, &out), c.result)
        << c.a.left << "," << c.a.top << "," << c.a.right << "," << c.a.bottom;
    const tagRECT& want = c.result ? c.out : kUntouched;
    EXPECT_EQ(out, want);
    EXPECT_EQ(RectIntersect(&c.a, &c.b, nullptr), c.result);
  }
}

TEST(Rect, IntersectNullAndAliasedOutput) {
  tagRECT a{0, 0, 10, 10}, b{5, 5, 15, 15};
  EXPECT_EQ(RectIntersect(nullptr, &b, &a), 0);
  EXPECT_EQ(RectIntersect(&a, nullptr, &a), 0);
  EXPECT_EQ(RectIntersect(&a, &b, &a), 1);  // clipping a rectangle in place
  EXPECT_EQ(a, (tagRECT{5, 5, 10, 10}));
}

TEST(Rect, InRectIsRightAndBottomExclusive) {
  tagRECT r;
  ASSERT_EQ(SetRect(&r, -2, 3, 4, 8), &r);
  const struct {
    tagPOINT p;
    int in;
  } cases[] = {{{-2, 3}, 1}, {{3, 7}, 1}, {{4, 5}, 0}, {{0, 8}, 0}, {{-3, 5}, 0}, {{0, 2}, 0}};
  for (const auto& c : cases) EXPECT_EQ(InRect(&r, &c.p), c.in) << c.p.x << "," << c.p.y;
  tagPOINT p{0, 5};
  EXPECT_EQ(InRect(nullptr, &p), 0);
  EXPECT_EQ(InRect(&r, nullptr), 0);
}

TEST(Records, ConfigDefaults) {
  ZOLTCONFIG c;
  std::memset(&c, 0xAB, sizeof(c));
  ZRecord_ConfigDefaults(&c);
  EXPECT_EQ(c.reserved1, 0u);
  EXPECT_EQ(c.reserved2, 0u);
  EXPECT_EQ(c.fps, 60u);
  EXPECT_EQ(c.flags, 0u);
  EXPECT_EQ(c.width, 240u);
  EXPECT_EQ(c.height, 320u);
  EXPECT_EQ(c.reserved7, 0u);
  EXPECT_EQ(c.reserved8, 0u);
  const uint8_t bytes[] = {c.depth,      c.backbufferformat, c.rotation,   c.connections,
                           c.reserved13, c.reserved14,       c.surfaceflags, c.shortsleep,
                           c.reserved17, c.reserved18,       c.reserved19, c.fullscreen,
                           c.reserved21, c.reserved22,       c.pauseidles, c.reserved24};
  const uint8_t want[] = {32, 32, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1};
  for (size_t i = 0; i < sizeof(want); i++) EXPECT_EQ(bytes[i], want[i]) << "byte field " << i;
}

TEST(Records, ButtonDefaults) {
  ZBUTTONLIST list;
  std::memset(&list, 0xAB, sizeof(list));
  ZRecord_ButtonDefaults(&list);
  const uint32_t want[ZBUTTONLIST_SIZE] = {13, 14, 15, 9, 1, 5, 3, 7, 0, 0, 11, 12};
  for (uint32_t i = 0; i < ZBUTTONLIST_SIZE; i++) EXPECT_EQ(list.button[i], want[i]) << i;
}

TEST(Records, StartDataNamesTheWorkingFolder) {
  ZOLTDATA data;
  ZRecord_StartData(&data, nullptr, "-fullscreen");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  std::string want = cwd;
  if (want.back() != '/') want += '/';
  EXPECT_EQ(Narrow(data.folder), want);
  EXPECT_EQ(Narrow(data.name), "Untitled");
  EXPECT_STREQ(data.commandline, "-fullscreen");
  EXPECT_EQ(data.reserved, 0u);
  EXPECT_EQ(data.startvalue, 0);
}

TEST(Records, StartDataBoundsFolderAndCommandLine) {
  // A working folder too long for the field falls back to the root instead of a cut
  // (different) folder.
  const TempDir base;
  ASSERT_FALSE(base.path().empty());
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(base.path().c_str()), 0);
  const std::string part(100, 'd');
  for (int i = 0; i < 6; i++) {
    ASSERT_EQ(mkdir(part.c_str(), 0700), 0);
    ASSERT_EQ(chdir(part.c_str()), 0);
  }
  std::string command(5000, 'c');
  ZOLTDATA data;
  ZRecord_StartData(&data, std::string(300, 'n').c_str(), command.c_str());
  EXPECT_EQ(Narrow(data.folder), "/");
  EXPECT_EQ(std::string(data.commandline), command.substr(0, ZOLTDATA_COMMANDSIZE - 1));
  EXPECT_EQ(Narrow(data.name).size(), ZOLTDATA_NAMESIZE - 1u);
  ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
