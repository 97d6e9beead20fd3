// Fills and primitives.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "gfx_oracle.h"
#include "gfx_test_engine.h"

namespace {

using Pixels = std::set<std::pair<int32_t, int32_t>>;

void Pattern(Z2DSurface& s, uint32_t seed) {
  const uint32_t mask = s.format == 1 ? 0xFF : s.format == 2 ? 0xFFF : s.format == 3 ? 0x7FFF
                        : s.format == 4 ? 0xFFFF : 0xFFFFFF;
  for (int32_t y = 0; y < s.rows; ++y)
    for (int32_t x = 0; x < s.rowlength; ++x) {
      seed = seed * 1103515245u + 12345u;
      SetRaw(s, x, y, (seed >> 8) & mask);
    }
}

// Logical pixels that are not 0.
Pixels Drawn(const Z2DSurface& s) {
  Pixels p;
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x)
      if (s.GetPixel(int32_t(x), int32_t(y))) p.insert({int32_t(x), int32_t(y)});
  return p;
}

TEST(FillRect, NullFillsExactlyTheClip) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 10, 8, 4);
  tagRECT c = {2, 1, 7, 5};
  s.SetClipper(&c);
  s.FillRect(nullptr, 0xFFFFFF, 0, 0);
  Pixels expect;
  for (int32_t y = 1; y < 5; ++y)
    for (int32_t x = 2; x < 7; ++x) expect.insert({x, y});
  EXPECT_EQ(Drawn(s), expect);
}

// Formats x flags x properties on rectangles starting at x 0..3 with widths 1..5 (the
// pair loops' leading and trailing pixels) and on whole rows (the block path).
TEST(FillRect, TableAgainstOracle) {
  TestEngine e;
  const uint32_t flags[] = {0, 1, 2, 4, 6, 8, 0x0A, 0x0C, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x14, 0x12};
  const uint32_t props[] = {100, 128, 64, 192, 32, 224, 16, 240, 7, 15, 255, 300,
                            0x80336699, 0xC0102030, 0x05FFFFFF};
  const uint32_t colours[] = {0x00FF8040, 0x00123456};
  // Width 9 pads its rows; width 8 does not, so its whole rows are filled as one block.
  for (int32_t W : {9, 8})
  for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
    Z2DSurface s;
    MakeSurface(e, s, uint32_t(W), 3, fmt);
    std::vector<tagRECT> rects;
    for (int32_t x = 0; x < 4; ++x)
      for (int32_t w = 1; w <= 5; ++w) rects.push_back({x, x & 1, x + w, 3});
    rects.push_back({0, 0, W, 3});     // whole rows
    rects.push_back({-3, -2, 40, 2});  // clipped
    for (uint32_t f : flags)
      for (uint32_t prop : props)
        for (uint32_t colour : colours)
          for (const tagRECT& r : rects) {
            Pattern(s, 77);
            std::vector<uint32_t> expect;
            for (int32_t y = 0; y < 3; ++y)
              for (int32_t x = 0; x < W; ++x) {
                const uint32_t d = Raw(s, x, y);
                const bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                expect.push_back(in ? oracle::FillPixel(fmt, d, colour, f, prop) : d);
              }
            s.FillRect(&r, colour, int32_t(f), prop);
            std::vector<uint32_t> got;
            for (int32_t y = 0; y < 3; ++y)
              for (int32_t x = 0; x < W; ++x) got.push_back(Raw(s, x, y));
            ASSERT_EQ(got, expect) << "format " << int(fmt) << " flags " << std::hex << f << " prop " << prop
                                   << " colour " << colour << std::dec << " rect " << r.left << "," << r.top
                                   << "-" << r.right << "," << r.bottom;
            ASSERT_EQ(s.lockcount, 0);
          }
  }
}

TEST(FillRect, FixedCases) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 2, 1, 4);
  // Opacity 128 on 5:6:5: P + (dst >> 1 & 0x7BEF), P the colour halved before packing.
  SetRaw(s, 0, 0, 0xFFFF);
  s.FillRect(nullptr, 0x00FFFFFF, 8, 128);
  EXPECT_EQ(Raw(s, 0, 0), ZSurf_Pack(4, 0x7F7F7F) + (0xFFFF >> 1 & 0x7BEF));
  // Flags 0x18 at 128 add at half strength.
  SetRaw(s, 0, 0, 0x0000);
  s.FillRect(nullptr, 0x00FFFFFF, 0x18, 128);
  EXPECT_EQ(s.GetPixel(0, 0), ZSurf_Expand(4, ZSurf_Pack(4, 0x7F7F7F)));
  // Colorize and tint: colour 0x000080, property 0xFF00FF00 gives 0x007F00.
  Z2DSurface t;
  MakeSurface(e, t, 1, 1, 6);
  t.FillRect(nullptr, 0x000080, 6, 0xFF00FF00);
  EXPECT_EQ(t.GetPixel(0, 0), 0x007F00u);
  // 0x30 behaves as 0.
  t.FillRect(nullptr, 0x123456, 0x30, 0);
  EXPECT_EQ(t.GetPixel(0, 0), 0x123456u);
}

TEST(FillRect, ClearAndPixelRows) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 10, 4, 6);
  s.Clear(0x010203);
  EXPECT_EQ(s.GetPixel(9, 3), 0x010203u);
  s.Clear(0);
  s.PutPixelRow(-3, 1, 6, 0xFFFFFF, 0, 0);
  Pixels expect = {{0, 1}, {1, 1}, {2, 1}};
  EXPECT_EQ(Drawn(s), expect);
}

// --- lines -----------------------------------------------------------------------------

Pixels LinePixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t rotation = 0,
                  const tagRECT* clip = nullptr) {
  TestEngine e(rotation);
  Z2DSurface s;
  MakeSurface(e, s, 24, 16, 6);
  if (clip) s.SetClipper(clip);
  s.DrawLine(x1, y1, x2, y2, 0xFFFFFF, 0, 0);
  return Drawn(s);
}

TEST(DrawLine, EndpointTable) {
  struct Case {
    int32_t x1, y1, x2, y2;
    Pixels expect;
  } cases[] = {
      {0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
      {4, 1, 0, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 1}}},
      {5, 3, 1, 3, {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}},
      {0, 0, 0, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {3, 0, 0, 3, {{3, 0}, {2, 1}, {1, 2}, {0, 3}}},
      {0, 0, 1, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 4}}},
      {2, 2, 2, 2, {{2, 2}}},
  };
  for (const Case& c : cases)
    for (uint8_t rot = 0; rot < 4; ++rot)
      EXPECT_EQ(LinePixels(c.x1, c.y1, c.x2, c.y2, rot), c.expect)
          << c.x1 << "," << c.y1 << "-" << c.x2 << "," << c.y2 << " rotation " << int(rot);
}

// A clipped line draws exactly the pixels of the unclipped line that lie inside the clip,
// also when its end points are far away (and quickly).
TEST(DrawLine, ClippedLinesKeepTheirPixels) {
  const tagRECT clip = {3, 2, 17, 11};
  struct Case {
    int32_t x1, y1, x2, y2;
  } cases[] = {{-5, -3, 30, 20}, {22, 1, 0, 15}, {-100, 7, 100, 8}, {5, -50, 9, 60}, {1, 1, 23, 14}};
  for (const Case& c : cases)
    for (uint8_t rot = 0; rot < 4; ++rot) {
      Pixels full = LinePixels(c.x1, c.y1, c.x2, c.y2, rot), inside;
      for (const auto& p : full)
        if (p.first >= clip.left && p.first < clip.right && p.second >= clip.top && p.second < clip.bottom)
          inside.insert(p);
      EXPECT_EQ(LinePixels(c.x1, c.y1, c.x2, c.y2, rot, &clip), inside) << c.x1 << "," << c.y1;
    }
  // Extreme end points: the pixels inside the surface are those of the exact line.
  Pixels far = LinePixels(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  Pixels diag;
  for (int32_t i = 0; i < 16; ++i) diag.insert({i, i});
  EXPECT_EQ(far, diag);
  EXPECT_TRUE(LinePixels(INT32_MIN, 5, INT32_MAX, 6).size() > 0);
  EXPECT_TRUE(LinePixels(-2000000000, 0, 2000000000, 15).size() > 0);
  EXPECT_EQ(LinePixels(INT32_MIN, 0, INT32_MIN + 5, 15).size(), 0u);
}

TEST(DrawLine, AcrossTheClipEdgeWithAShallowSlope) {
  // Minor-axis entry: the first pixel inside comes from the exact error term.
  const tagRECT clip = {0, 5, 24, 7};
  Pixels full = LinePixels(-1000, 0, 1000, 15), inside;
  for (const auto& p : full)
    if (p.second >= 5 && p.second < 7) inside.insert(p);
  EXPECT_EQ(LinePixels(-1000, 0, 1000, 15, 0, &clip), inside);
}

// --- rectangles and ovals --------------------------------------------------------------

TEST(DrawRect, HeightsAndWidthsDrawEachPixelOnce) {
  TestEngine e;
  for (int32_t w = 1; w <= 3; ++w)
    for (int32_t h = 1; h <= 3; ++h) {
      Z2DSurface s;
      MakeSurface(e, s, 8, 8, 6);
      tagRECT r = {2, 2, 2 + w, 2 + h};
      // Add draws twice as bright where a pixel is drawn twice.
      s.DrawRect(&r, 0x010101, 0x10, 0);
      for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
          const bool edge = x >= 2 && x < 2 + w && y >= 2 && y < 2 + h &&
                            (x == 2 || x == 1 + w || y == 2 || y == 1 + h);
          EXPECT_EQ(s.GetPixel(x, y), edge ? 0x010101u : 0u) << w << "x" << h << " at " << x << "," << y;
        }
    }
  Z2DSurface s;
  MakeSurface(e, s, 8, 8, 6);
  tagRECT empty = {4, 4, 4, 6};
  s.DrawRect(&empty, 0xFFFFFF, 0, 0);
  s.DrawRect(nullptr, 0xFFFFFF, 0, 0);
  EXPECT_TRUE(Drawn(s).empty());
}

TEST(Ovals, ZeroHeightDrawsNothing) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 20, 20, 6);
  s.FillOval(2, 5, 6, 0, 0xFFFFFF, 0, 0);
  s.DrawOval(2, 5, 6, 0, 0xFFFFFF, 0, 0);
  EXPECT_TRUE(Drawn(s).empty());
}

TEST(Ovals, OutlineIsClosedAndFillSkipsTheExtremeRows) {
  TestEngine e;
  for (int32_t rx : {3, 9, 14})
    for (int32_t ry : {2, 6, 13}) {
      Z2DSurface s, f;
      MakeSurface(e, s, 40, 40, 6);
      MakeSurface(e, f, 40, 40, 6);
      s.DrawOval(20 - rx, 20 - ry, rx, ry, 0xFFFFFF, 0, 0);
      f.FillOval(20 - rx, 20 - ry, rx, ry, 0xFFFFFF, 0x10, 0);
      // Flood the inside from the centre: it must not reach the border.
      std::vector<uint8_t> seen(40 * 40, 0);
      std::vector<std::pair<int, int>> todo = {{20, 20}};
      bool escaped = false;
      while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x >= 40 || y >= 40) {
          escaped = true;
          continue;
        }
        if (seen[y * 40 + x] || s.GetPixel(x, y)) continue;
        seen[y * 40 + x] = 1;
        todo.push_back({x + 1, y});
        todo.push_back({x - 1, y});
        todo.push_back({x, y + 1});
        todo.push_back({x, y - 1});
      }
      EXPECT_FALSE(escaped) << rx << "x" << ry;
      // The rows at +-ry are never filled; filled rows are drawn once (add stays at 1x).
      for (int32_t x = 0; x < 40; ++x) {
        EXPECT_EQ(f.GetPixel(x, 20 - ry), 0u);
        EXPECT_EQ(f.GetPixel(x, 20 + ry), 0u);
        for (int32_t y = 0; y < 40; ++y) EXPECT_NE(f.GetPixel(x, y), 0x020202u);
      }
      EXPECT_EQ(f.GetPixel(20, 20), 0xFFFFFFu);
    }
}

// Golden pictures of line fans and ovals: independent of the rotation, so the same sum
// must come out on every rotation.
TEST(Primitives, GoldenLineFansAndOvals) {
  uint32_t first = 0;
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    Z2DSurface s;
    MakeSurface(e, s, 64, 48, 4);
    for (int32_t i = 0; i < 64; i += 5) s.DrawLine(32, 24, i, 0, 0x00FF00 + uint32_t(i), 0x10, 0);
    for (int32_t i = 0; i < 48; i += 4) s.DrawLine(32, 24, 63, i, 0x0000FF, 0x08, 100);
    s.FillOval(2, 30, 10, 7, 0x804020, 0, 0);
    s.DrawOval(40, 2, 11, 9, 0x20C0F0, 0, 0);
    s.DrawOval(10, 5, -6, 4, 0xFFFFFF, 0x20, 0);
    tagRECT r = {20, 35, 45, 46};
    s.DrawRect(&r, 0x0080FF, 0, 0);
    const uint32_t sum = LogicalChecksum(s);
    if (rot == 0) first = sum;
    EXPECT_EQ(sum, first) << int(rot);
  }
  EXPECT_EQ(first, 0xAAFD6E91u) << std::hex << first;
}

// Golden picture of the four rectangle workers on 5:6:5 over a gradient, with odd and
// even edges.
TEST(FillRect, GoldenRectangleWorkers) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 45, 31, 4);
  for (int32_t y = 0; y < 31; ++y)
    for (int32_t x = 0; x < 45; ++x) s.PutPixel(x, y, uint32_t(x * 5) | uint32_t(y * 8) << 8 | uint32_t(x + y) << 17, 0, 0);
  const struct {
    tagRECT r;
    int32_t flags;
    uint32_t property;
  } fills[] = {
      {{1, 1, 20, 12}, 8, 100},  {{3, 2, 30, 9}, 8, 192},   {{20, 10, 44, 30}, 8, 64},
      {{0, 15, 17, 29}, 0x10, 0}, {{9, 5, 38, 21}, 0x20, 0}, {{5, 20, 40, 27}, 0x18, 160},
      {{-4, -4, 8, 8}, 0x0C, 0x60FF0000},
  };
  for (const auto& f : fills) s.FillRect(&f.r, 0x4080C0, f.flags, f.property);
  EXPECT_EQ(LogicalChecksum(s), 0x4AE4D765u) << std::hex << LogicalChecksum(s);
}

// --- colour-key helpers -------------------------------------------------------------------

TEST(ColourKeyHelpers, ReplaceColorAndAutoSetColorKey) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 4, 2, 4);
  s.PutPixel(0, 0, 0xFF00FF, 0, 0);
  s.PutPixel(3, 1, 0xFF00FF, 0, 0);
  s.PutPixel(1, 0, 0x00FF00, 0, 0);
  tagRECT c = {0, 0, 4, 1};
  s.SetClipper(&c);
  EXPECT_EQ(s.ReplaceColor(0, 0xFF00FF, false), 1);
  EXPECT_EQ(Raw(s, 0, 0), 0u);
  EXPECT_EQ(Raw(s, 3, 1), 0xF81Fu);  // outside the clip
  EXPECT_EQ(s.ReplaceColor(0xFFFFFF, 0x00FF00, true), 1);
  EXPECT_EQ(Raw(s, 1, 0), 0x07E0u);
  EXPECT_EQ(Raw(s, 0, 0), 0xFFFFu);
  EXPECT_EQ(s.AutoSetColorKey(3, 1), 0x00F800F8u);  // the clip is not consulted
  EXPECT_EQ(s.colorkey, 0xF81Fu);
  EXPECT_EQ(s.AutoSetColorKey(4, 0), 0u);
  EXPECT_EQ(s.colorkey, 0u);
  Z2DSurface none;
  none.colorkey = 5;
  EXPECT_EQ(none.AutoSetColorKey(0, 0), 0u);
  EXPECT_EQ(none.colorkey, 0u);
  EXPECT_EQ(none.ReplaceColor(0, 0, false), 0);
}

}  // namespace
