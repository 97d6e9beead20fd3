#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "tests/pellax/game/canvas_fixture.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/draw_passes.h"
#include "pellax/game/render/msg_log.h"
#include "pellax/game/render/render_glow.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/score_popups.h"
#include "pellax/game/render/stroke_font.h"

using LineTest = CanvasTest;

TEST_F(LineTest, HorizontalLineBetweenPixelCentresHasFullInteriorAndHalfEnds) {
  lines_drawn = 0;
  draw_line(canvas, 10 * 256, 5 * 256, 20 * 256, 5 * 256, rgb565(16, 32, 16));
  EXPECT_EQ(lines_drawn, 1);
  for (int x = 11; x < 20; ++x) EXPECT_EQ(at(x, 5), rgb565(16, 32, 16)) << x;
  EXPECT_EQ(at(10, 5), rgb565(8, 16, 8));
  EXPECT_EQ(at(20, 5), rgb565(8, 16, 8));
  for (int x = 0; x < 40; ++x) {
    EXPECT_EQ(at(x, 6), 0) << "row below, x " << x;
    EXPECT_EQ(at(x, 4), 0);
  }
  EXPECT_EQ(count_lit(), 11);
}

// Weights worked out by hand from the line's definition (22.10 positions, gradient 315),
// for a y-major line from (100, 100.25) to (103, 110) pixels.
TEST_F(LineTest, FractionalYMajorLineHasTheWeightsWorkedOutByHand) {
  struct weight {
    int x, y, w;
  };
  const weight expected[] = {
      {99, 100, 4},    {100, 100, 59},                                      // first end, gap 256
      {100, 101, 197}, {101, 101, 59},  {100, 102, 118}, {101, 102, 137},  // interior
      {100, 103, 39},  {101, 103, 216}, {101, 104, 216}, {102, 104, 39},
      {101, 105, 138}, {102, 105, 118}, {101, 106, 59},  {102, 106, 196},
      {102, 107, 236}, {103, 107, 19},  {102, 108, 157}, {103, 108, 98},
      {102, 109, 79},  {103, 109, 177},
      {103, 110, 128}, {104, 110, 0},                                       // second end, gap 512
  };
  const uint16_t colour = rgb565(31, 63, 31);
  draw_line(canvas, 100 * 256, 100 * 256 + 64, 103 * 256, 110 * 256, colour);
  int lit = 0;
  for (const weight& e : expected) {
    const uint16_t want = rgb565((31 * e.w) >> 8, (63 * e.w) >> 8, (31 * e.w) >> 8);
    EXPECT_EQ(at(e.x, e.y), want) << e.x << "," << e.y;
    lit += want != 0;
  }
  EXPECT_EQ(count_lit(), lit);
}

TEST_F(LineTest, LineStartingOnAPixelBoundaryLeavesItsFirstPixelEmpty) {
  // From x = 10.5: the first end pixel is 11 with a gap of 0, so it gets nothing, and
  // the interior starts at 12.
  draw_line(canvas, 10 * 256 + 128, 5 * 256, 20 * 256, 5 * 256, rgb565(16, 32, 16));
  EXPECT_EQ(at(10, 5), 0);
  EXPECT_EQ(at(11, 5), 0);
  for (int x = 12; x < 20; ++x) EXPECT_EQ(at(x, 5), rgb565(16, 32, 16)) << x;
  EXPECT_EQ(at(20, 5), rgb565(8, 16, 8));
  EXPECT_EQ(count_lit(), 9);
}

TEST_F(LineTest, VerticalLineBetweenPixelCentresHasFullInteriorAndHalfEnds) {
  draw_line(canvas, 30 * 256, 40 * 256, 30 * 256, 10 * 256, rgb565(16, 32, 16));
  for (int y = 11; y < 40; ++y) EXPECT_EQ(at(30, y), rgb565(16, 32, 16)) << y;
  EXPECT_EQ(at(30, 10), rgb565(8, 16, 8));
  EXPECT_EQ(at(30, 40), rgb565(8, 16, 8));
  EXPECT_EQ(count_lit(), 31);  // nothing in the column to the right
}

TEST_F(LineTest, BothMajorsSplitTheMinorWeightAcrossNeighbours) {
  struct line_case {
    int x1, y1, x2, y2;
    bool y_major;
  };
  const line_case cases[] = {
      {100 * 256, 100 * 256 + 64, 140 * 256, 140 * 256 + 64, true},   // dx == dy: y-major
      {100 * 256, 100 * 256 + 64, 160 * 256, 130 * 256 + 64, false},  // x-major
      {300 * 256 + 64, 100 * 256, 320 * 256 + 64, 160 * 256, true},   // y-major
  };
  for (const line_case& c : cases) {
    std::fill(canvas, canvas + kCanvasPixels, 0);
    draw_line(canvas, c.x1, c.y1, c.x2, c.y2, 0xFFE0);
    // In the line's interior each major step lights a pair of pixels that are neighbours
    // along the minor axis.
    const int mid = c.y_major ? ((c.y1 + c.y2) / 2 + 128) >> 8 : ((c.x1 + c.x2) / 2 + 128) >> 8;
    std::vector<int> lit;
    for (int k = 0; k < kCanvasSize; ++k)
      if ((c.y_major ? at(k, mid) : at(mid, k)) != 0) lit.push_back(k);
    ASSERT_EQ(lit.size(), 2u);
    EXPECT_EQ(lit[1], lit[0] + 1);
  }
}

TEST_F(LineTest, WhitePixelsStayAndZeroLengthLinesDrawNothing) {
  for (int x = 0; x < 50; ++x) at(x, 20) = 0xFFFF;
  draw_line(canvas, 0, 20 * 256, 49 * 256, 20 * 256, 0x1234);
  for (int x = 0; x < 50; ++x) EXPECT_EQ(at(x, 20), 0xFFFF);
  lines_drawn = 0;
  draw_line(canvas, 300 * 256, 300 * 256, 300 * 256, 300 * 256, 0x1234);
  draw_line_gradient(canvas, 300 * 256, 300 * 256, 300 * 256, 300 * 256, 1, 2);
  EXPECT_EQ(lines_drawn, 0);
  EXPECT_EQ(at(300, 300), 0);
}

// Lines well inside the canvas are drawn without testing any pixel, the rest pixel by
// pixel, and a colour's first short lines multiply where later ones look its weights up:
// the same line in every octant, with fractional ends and of every short length, gives the
// same pixels drawn in the middle, shifted to a whole pixel from an edge, and again once
// its colour has a table.
TEST_F(LineTest, EveryWayOfDrawingALineGivesTheSamePixels) {
  struct line_case {
    int32_t dx, dy;  // 24.8, from a start 0.3 pixels past a pixel's corner
  };
  const line_case cases[] = {
      {2000, 300},  {300, 2000},   {-300, 2000},  {-2000, 300}, {-2000, -300}, {-300, -2000},
      {300, -2000}, {2000, -300},  {1500, 1500},  {-1500, 1500}, {2560, 0},    {0, -2560},
      {100, 40},    {-64, 200},    {1, 0},        {0, 1},        {255, 256},   {6000, -5999},
  };
  const int32_t fraction = 77;  // the start's offset within its pixel
  // Where the line's box starts: the middle, then a pixel from the left, the top, the right
  // and the bottom edges (pixels still all on the canvas, so nothing is dropped).
  auto box_starts = [](const line_case& c) {
    const int32_t w = (std::abs(c.dx) >> 8) + 4, h = (std::abs(c.dy) >> 8) + 4;
    const std::pair<int32_t, int32_t> starts[] = {
        {300, 300}, {0, 300}, {300, 0}, {kCanvasSize - w, 300}, {300, kCanvasSize - h}};
    return std::vector<std::pair<int32_t, int32_t>>(std::begin(starts), std::end(starts));
  };
  std::vector<uint16_t> reference;
  auto draw = [&](const line_case& c, int32_t bx, int32_t by, uint16_t colour) {
    std::fill(canvas, canvas + kCanvasPixels, 0x0841);  // a background the adds saturate over
    const int32_t x1 = (bx + 1) * 256 + fraction - std::min(c.dx, 0);
    const int32_t y1 = (by + 1) * 256 + fraction - std::min(c.dy, 0);
    clipped_draws = 0;
    draw_line(canvas, x1, y1, x1 + c.dx, y1 + c.dy, colour);
    EXPECT_EQ(clipped_draws, 0);
    // The box around the line, from its corner.
    std::vector<uint16_t> box;
    for (int32_t y = by; y < by + (std::abs(c.dy) >> 8) + 4; ++y)
      for (int32_t x = bx; x < bx + (std::abs(c.dx) >> 8) + 4; ++x)
        box.push_back(at(x, y));
    return box;
  };
  uint16_t colour = 0x2965;
  for (const line_case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dx << "," << c.dy);
    ++colour;  // a colour not drawn before: its first lines multiply
    reference = draw(c, 300, 300, colour);
    for (const auto& [bx, by] : box_starts(c)) EXPECT_EQ(draw(c, bx, by, colour), reference) << bx << "," << by;
    for (int k = 0; k < 4; ++k) draw_line(canvas, 10 * 256, 10 * 256, 700 * 256, 20 * 256, colour);
    EXPECT_EQ(draw(c, 300, 300, colour), reference) << "looked up";
  }
}

TEST_F(LineTest, GradientWithEqualColoursMatchesThePlainLine) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> coord(10 * 256, 750 * 256);
  std::vector<uint16_t> plain(kCanvasPixels);
  for (int i = 0; i < 40; ++i) {
    const int x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
    std::fill(canvas, canvas + kCanvasPixels, 0);
    std::fill(plain.begin(), plain.end(), 0);
    draw_line(plain.data(), x1, y1, x2, y2, 0x7BEF);
    draw_line_gradient(canvas, x1, y1, x2, y2, 0x7BEF, 0x7BEF);
    ASSERT_TRUE(std::equal(plain.begin(), plain.end(), canvas)) << i;
  }
}

TEST_F(LineTest, GradientRunsFromFirstToSecondColourWhicheverWayItIsDrawn) {
  const uint16_t red = rgb565(31, 0, 0), blue = rgb565(0, 0, 31);
  draw_line_gradient(canvas, 100 * 256, 50 * 256, 200 * 256, 50 * 256, red, blue);
  EXPECT_EQ(at(101, 50), rgb565(31, 0, 0));  // one step in: still red (31 - 31/98, rounded)
  EXPECT_EQ(at(199, 50), rgb565(0, 0, 31));
  EXPECT_EQ(at(150, 50) >> 11, 15);  // 31 - 50 x 31 / 99, rounded
  std::vector<uint16_t> forward(canvas, canvas + kCanvasPixels);
  std::fill(canvas, canvas + kCanvasPixels, 0);
  draw_line_gradient(canvas, 200 * 256, 50 * 256, 100 * 256, 50 * 256, blue, red);
  EXPECT_TRUE(std::equal(forward.begin(), forward.end(), canvas));
}

TEST_F(LineTest, GlowLineDrawsPairsOfCopiesAlongTheNormal) {
  lines_drawn = 0;
  draw_glow_line(canvas, 100 * 256, 100 * 256, 200 * 256, 100 * 256, 2, 256, 0x8410);
  EXPECT_EQ(lines_drawn, 4);
  for (int y : {98, 99, 101, 102}) EXPECT_EQ(at(150, y), 0x8410) << y;
  EXPECT_EQ(at(150, 100), 0);  // the segment itself is not drawn here
}

// The copies' offsets are remembered per segment direction and spacing: segments that share
// a slot, come back, or differ only in spacing each get their own offsets.
TEST_F(LineTest, GlowLinesKeepTheirOwnOffsetsWhenSegmentsComeBack) {
  struct glow_case {
    int32_t dx, dy, spacing;
  };
  const glow_case cases[] = {{25600, 0, 256}, {0, 25600, 256}, {25600, 0, 512},
                             {18000, 18000, 300}, {0, 0, 256},  {-25600, 0, 256}};
  std::vector<std::vector<uint16_t>> first;
  for (int round = 0; round < 3; ++round)
    for (size_t k = 0; k < std::size(cases); ++k) {
      const glow_case& c = cases[k];
      std::fill(canvas, canvas + kCanvasPixels, 0);
      draw_glow_line(canvas, 300 * 256, 300 * 256, 300 * 256 + c.dx, 300 * 256 + c.dy, 2, c.spacing, 0x8410);
      std::vector<uint16_t> picture(canvas, canvas + kCanvasPixels);
      if (round == 0) first.push_back(picture);
      else EXPECT_TRUE(picture == first[k]) << "case " << k << " round " << round;
    }
  // The spacing moves the copies: the wider one has none at the narrower one's rows.
  EXPECT_NE(first[0], first[2]);
  EXPECT_EQ(std::count(first[4].begin(), first[4].end(), 0), kCanvasPixels);  // a point: nothing
}

TEST_F(LineTest, AliasedLineDrawsBothEndsAndAPointForZeroLength) {
  draw_line_additive(canvas, 5, 5, 15, 9, 0x0001);
  EXPECT_EQ(at(5, 5), 1);
  EXPECT_EQ(at(15, 9), 1);
  EXPECT_EQ(count_lit(), 11);
  draw_line_additive(canvas, 40, 40, 40, 40, 0x0800);
  EXPECT_EQ(at(40, 40), 0x0800);
  draw_line_additive_fx(canvas, 5 * 256, 5 * 256 - 100, 5 * 256 + 127, 5 * 256, 0x0001);
  EXPECT_EQ(at(5, 5), 2);  // both ends round to pixel (5, 5)
}

TEST_F(LineTest, RectOutlineStoresItsEdges) {
  at(12, 12) = 0x1111;
  draw_rect_outline(canvas, 10, 10, 5, 4, 0x8410);
  EXPECT_EQ(at(10, 10), 0x8410);
  EXPECT_EQ(at(14, 13), 0x8410);
  EXPECT_EQ(at(12, 12), 0x1111);  // inside untouched
  EXPECT_EQ(count_lit(), 14 + 1);
}

TEST_F(LineTest, EveryPrimitiveClipsAtEveryEdge) {
  struct line_case {
    int x1, y1, x2, y2;
    bool aliased_clips;  // the aliased line has no minor-axis neighbour to lose
  };
  const int far = 1 << 30;
  const line_case lines[] = {
      {-50, 100, 50, 120, true},   {700, 100, 800, 140, true},   {100, -50, 120, 50, true},
      {100, 700, 140, 800, true},  {-10, -10, 780, 780, true},   {767, 0, 767, 767, false},
      {0, 767, 767, 767, false},   {-500, -500, -10, -10, true}, {2000, 10, 3000, 10, true},
      {-far / 256, 5, 10, 5, true}, {5, far / 256, 5, 5, true},
  };
  for (const line_case& l : lines) {
    const int before = clipped_draws;
    draw_line(canvas, l.x1 * 256, l.y1 * 256, l.x2 * 256, l.y2 * 256, 0xFFFF);
    draw_line_gradient(canvas, l.x1 * 256, l.y1 * 256, l.x2 * 256, l.y2 * 256, 0x1234, 0xFFFF);
    draw_line_additive(canvas, l.x1, l.y1, l.x2, l.y2, 0xFFFF);
    EXPECT_EQ(clipped_draws, before + 2 + l.aliased_clips)
        << l.x1 << "," << l.y1 << " " << l.x2 << "," << l.y2;
  }
  // Parts inside the canvas are still drawn.
  EXPECT_NE(at(0, 110), 0);
  EXPECT_NE(at(767, 400), 0);
  EXPECT_NE(at(384, 384), 0);
  const int before = clipped_draws;
  draw_line(canvas, far, far, -far, -far, 0xFFFF);  // huge values: dropped whole
  draw_rect_outline(canvas, -5, -5, 800, 800, 0x1111);
  draw_glow_sprite(canvas, 5, 5, glow_sprites[0]);
  draw_glow_sprite(canvas, 760, 760, glow_sprites[0]);
  draw_glow(canvas, 2 * 256, 400 * 256);
  draw_glow(canvas, 400 * 256, 760 * 256);
  EXPECT_EQ(clipped_draws, before + 6);
  draw_line(canvas, 100 * 256, 100 * 256, 600 * 256, 600 * 256, 0xFFFF);  // inside: no clip
  draw_glow(canvas, 400 * 256, 400 * 256);
  EXPECT_EQ(clipped_draws, before + 6);
}

TEST_F(LineTest, ManyLinesKeepTheirRecordedPixelsAndClipCounts) {
  // Lines of every slope and length, inside, across every edge and wholly outside, plain
  // and graded, over a background of mixed colours and white pixels. The hash covers the
  // canvas and each line's clip count; it was recorded from the drawer that tested every
  // pixel against the canvas's edges.
  for (int i = 0; i < kCanvasPixels; ++i)
    canvas[i] = i % 97 == 0 ? 0xFFFF : uint16_t(uint32_t(i) * 2654435761u >> 17);
  std::mt19937 rng(2024);
  auto coord = [&](int regime) {
    const int32_t frac = int32_t(rng() % 256);
    switch (regime) {
      case 0: return (int32_t(rng() % 1400) - 316) * 256 + frac;  // anywhere, often off
      case 1: return int32_t(rng() % kCanvasSize) * 256 + frac;  // inside
      default: {  // within 24 pixels of an edge, on either side
        const int32_t edge = rng() % 2 ? 0 : kCanvasSize;
        return (edge + int32_t(rng() % 48) - 24) * 256 + frac;
      }
    }
  };
  uint32_t hash = 2166136261u;
  auto mix = [&](uint32_t v) { hash = (hash ^ v) * 16777619u; };
  for (int i = 0; i < 4000; ++i) {
    const int regime = i % 4;
    int32_t x1 = coord(regime == 3 ? 1 : regime), y1 = coord(regime == 3 ? 1 : regime);
    int32_t x2 = coord(regime), y2 = coord(regime);
    if (regime == 3) {  // a short stroke, as the font draws
      x2 = x1 + int32_t(rng() % 6000) - 3000;
      y2 = y1 + int32_t(rng() % 6000) - 3000;
    }
    const uint16_t c1 = uint16_t(rng()), c2 = uint16_t(rng());
    const int before = clipped_draws;
    if (i % 3 == 0)
      draw_line_gradient(canvas, x1, y1, x2, y2, c1, c2);
    else
      draw_line(canvas, x1, y1, x2, y2, uint16_t(c1 & 0x7BEF));
    mix(uint32_t(clipped_draws - before));
  }
  for (int i = 0; i < kCanvasPixels; ++i) mix(canvas[i]);
  EXPECT_EQ(hash, 0xA24A2EF5u);
}

// The long division against the plain one over its whole range: both signs, minor spans
// equal to the major, quotients at each power of two and its neighbours, the largest spans.
TEST(GradientTest, LongDivisionEqualsThePlainQuotient) {
  std::vector<std::pair<int32_t, int32_t>> cases = {
      {1, 1}, {-1, 1}, {1, 2}, {1, 1024}, {1, 1025}, {-1, 1025}, {1023, 1024}, {1024, 1024},
      {(1 << 21) - 1, (1 << 21) - 1}, {-((1 << 21) - 1), (1 << 21) - 1}, {1, (1 << 21) - 1},
      {(1 << 20) + 7, (1 << 21) - 1}, {-3, 7}, {700, 701}, {-700, 701}};
  for (int32_t d : {3, 1000, 1024, 4095, 99991, (1 << 21) - 1})
    for (int32_t q = 1; q <= 1024; q *= 2)
      for (int32_t n : {q * d / 1024 - 1, q * d / 1024, q * d / 1024 + 1})
        if (n >= 1 && n <= d) cases.insert(cases.end(), {{n, d}, {-n, d}});
  std::mt19937 rng(3);
  for (int k = 0; k < 20000; ++k) {
    const int32_t d = int32_t(rng() % ((1u << 21) - 1)) + 1;
    const int32_t n = int32_t(rng() % uint32_t(d)) + 1;
    cases.push_back({k % 2 ? n : -n, d});
  }
  for (const auto& [minor, major] : cases)
    ASSERT_EQ(line_gradient(minor, major), int32_t(int64_t(minor) * 1024 / major)) << minor << " / " << major;
}

TEST(BlendTest, BlockAddEqualsThePerPixelSaturatingAdd) {
  std::mt19937 rng(9);
  std::vector<uint16_t> dst(20 * kCanvasSize), src(400);
  for (int round = 0; round < 50; ++round) {
    for (auto& v : dst) v = uint16_t(rng());
    for (auto& v : src) v = uint16_t(rng());
    if (round == 0) {
      dst[0] = 0x001F;
      src[0] = 0x001F;
    }
    std::vector<uint16_t> expected = dst;
    for (int r = 0; r < 20; ++r)
      for (int c = 0; c < 20; ++c)
        expected[r * kCanvasSize + c] = add_saturate(dst[r * kCanvasSize + c], src[r * 20 + c]);
    blend_add_block(dst.data(), src.data());
    ASSERT_EQ(dst, expected) << round;
    if (round == 0) {
      EXPECT_EQ(dst[0], 0x001F);  // blue full, no carry into green
    }
  }
}

TEST_F(CanvasTest, GlowSpritePeakAndOddColumnPlacement) {
  build_glow_sprites();
  EXPECT_EQ(glow_sprites[0][10 * 20 + 10], rgb565(4, 8, 4));
  EXPECT_EQ(glow_sprites[0][0], 0);
  draw_glow_sprite(canvas, 100, 100, glow_sprites[0]);  // even column 90
  EXPECT_EQ(at(100, 100), rgb565(4, 8, 4));
  std::fill(canvas, canvas + kCanvasPixels, 0);
  draw_glow_sprite(canvas, 101, 100, glow_sprites[0]);  // odd column 91 becomes 90
  EXPECT_EQ(at(100, 100), rgb565(4, 8, 4));
  EXPECT_EQ(at(101, 100), 0x0000 + glow_sprites[0][10 * 20 + 11]);
}

TEST_F(CanvasTest, ShieldRingPicksItsQuarterPixelFrame) {
  // x fraction 0x80 (rx 2), y + 128 fraction 0x40 (ry 1): frame 6, centre (200, 300).
  draw_glow(canvas, 200 * 256 + 0x80, 300 * 256 - 128 + 0x40);
  const uint16_t* f = glow_frames[6];
  for (int r = 0; r < kRingFrameSize; ++r)
    for (int c = 0; c < kRingFrameSize; ++c) {
      const uint16_t v = f[r * kRingFrameSize + c];
      const uint16_t expect = v ? rgb565(v >> 3, v >> 2, v >> 3) : 0;
      ASSERT_EQ(at(200 - 18 + c, 300 - 18 + r), expect) << r << "," << c;
    }
  EXPECT_EQ(at(200, 300), 0);          // the centre of the ring is empty
  EXPECT_NE(at(200 + 17, 300), 0);     // the ring itself
}

class PassTest : public CanvasTest {
 protected:
  void SetUp() override {
    CanvasTest::SetUp();
    build_glow_sprites();
    ASSERT_EQ(init_object_pools(), 0);
    camera_x = 100 * 256;
    camera_y = 100 * 256;
  }
  void TearDown() override {
    free_object_pools();
    CanvasTest::TearDown();
  }
  particle& spark(int x1, int y1, int x2, int y2) {
    particle& p = particle_at(alloc_particle());
    p.flags = 3;
    p.delay = p.head_time = 0;
    p.tail_glow = 0;
    p.head_glow = 1;
    p.colour = 0x8410;
    p.tail_x = x1 * 256;
    p.tail_y = y1 * 256;
    p.head_x = x2 * 256;
    p.head_y = y2 * 256;
    return p;
  }
};

TEST_F(PassTest, ParticlesDrawInTheWindowWithTheirGlows) {
  spark(200, 200, 210, 200);
  draw_particles(canvas);
  EXPECT_GE(at(205, 200) >> 11, 16);
  EXPECT_NE(at(200, 195), 0);  // tail glow
  EXPECT_NE(at(210, 195), 0);  // head glow
}

TEST_F(PassTest, PointParticlesAndParticlesOutsideTheWindowDrawNothing) {
  spark(200, 200, 200, 200);         // tail = head
  spark(50, 50, 60, 50);             // left of and above the window
  spark(100 + 321, 150, 100 + 330, 150);  // right of it
  draw_particles(canvas);
  EXPECT_EQ(count_lit(), 0);
}

TEST_F(PassTest, ASparkReachingFarOutDrawsOnlyWhatIsOnTheCanvas) {
  particle& p = spark(200, 200, 0, 0);  // the tail in the window, the head far away
  p.head_x = p.head_y = INT32_MAX;
  spark(200, 300, 0, 0).head_x = INT32_MIN;
  draw_particles(canvas);  // the guard zones are checked on tear-down
  EXPECT_NE(at(200, 195), 0);  // the tail's glow
  draw_line_additive_fx(canvas, 10 * 256, 10 * 256, INT32_MAX, INT32_MIN, 0xFFFF);
}

// The pass gathers glows blended at one place; the plain rule blends each particle's line and
// glows in turn. Bursts (many tails at one place, over a bright backdrop where channels
// saturate), glows clipped at the canvas's edge, mixed sprites at one place and more places
// than are gathered must give the same pixels and the same counts.
TEST_F(PassTest, GatheredGlowsGiveThePixelsAndCountsOfOneBlendEach) {
  struct burst {
    int x, y, count, tail_glow, head_glow;
    uint16_t backdrop;
  };
  const struct {
    const char* name;
    std::vector<burst> bursts;
  } cases[] = {
      {"one spark", {{200, 200, 1, 0, 1, 0}}},
      {"two and three at a place", {{200, 200, 2, 0, 1, 0}, {250, 220, 3, 7, 7, 0}}},
      {"a burst of 80 on a bright backdrop", {{200, 200, 80, 7, 7, 0x7BCF}}},
      {"bursts of 40 of every sprite", {{150, 150, 40, 0, 0, 0x0841}, {160, 150, 40, 1, 2, 0},
                                        {170, 150, 40, 3, 4, 0}, {180, 150, 40, 5, 6, 0}}},
      {"clipped at the canvas's corner", {{2, 3, 5, 0, 1, 0}, {0, 0, 1, 2, 2, 0}}},
      {"more places than are gathered", {{120, 120, 3, 0, 1, 0}, {130, 120, 3, 0, 1, 0},
                                         {140, 120, 3, 0, 1, 0}, {150, 120, 3, 0, 1, 0},
                                         {160, 120, 3, 1, 1, 0}, {170, 120, 3, 2, 1, 0},
                                         {180, 120, 3, 3, 1, 0}, {190, 120, 3, 4, 1, 0},
                                         {200, 120, 3, 5, 1, 0}, {210, 120, 3, 6, 1, 0},
                                         {220, 120, 3, 7, 1, 0}, {120, 140, 3, 0, 1, 0},
                                         {130, 140, 3, 0, 1, 0}, {140, 140, 3, 0, 1, 0},
                                         {150, 140, 3, 0, 1, 0}, {160, 140, 3, 0, 1, 0},
                                         {170, 140, 3, 0, 1, 0}, {180, 140, 3, 0, 1, 0}}},
  };
  std::mt19937 rng(11);
  for (const auto& c : cases) {
    free_object_pools();
    ASSERT_EQ(init_object_pools(), 0);
    camera_x = camera_y = c.bursts[0].x < 100 ? 0 : 100 * 256;
    std::vector<uint16_t> backdrop(kCanvasPixels);
    for (uint16_t& v : backdrop) v = uint16_t(rng() & (c.bursts[0].backdrop | 0x0841));
    for (const burst& b : c.bursts) {
      for (int k = 0; k < b.count; ++k) {
        particle& p = spark(b.x, b.y, b.x + int(rng() % 41) - 20, b.y + int(rng() % 41) - 20);
        if (p.head_x == p.tail_x && p.head_y == p.tail_y) p.head_x += 256;
        p.tail_glow = uint16_t(b.tail_glow);
        p.head_glow = uint16_t(b.head_glow);
        p.colour = uint16_t(rng());
      }
    }
    std::copy(backdrop.begin(), backdrop.end(), canvas);
    clipped_draws = lines_drawn = 0;
    draw_particles(canvas);
    const std::vector<uint16_t> gathered(canvas, canvas + kCanvasPixels);
    const int32_t gathered_clipped = clipped_draws, gathered_lines = lines_drawn;

    std::copy(backdrop.begin(), backdrop.end(), canvas);
    clipped_draws = lines_drawn = 0;
    for (uint16_t i = object_pool->heads[kParticleUsed]; i != kNoRecord; i = particle_at(i).link.next) {
      const particle& p = particle_at(i);
      draw_line(canvas, p.tail_x, p.tail_y, p.head_x, p.head_y, p.colour);
      draw_glow_sprite(canvas, px(p.tail_x), px(p.tail_y), glow_sprites[p.tail_glow]);
      draw_glow_sprite(canvas, px(p.head_x), px(p.head_y), glow_sprites[p.head_glow]);
    }
    EXPECT_TRUE(std::equal(gathered.begin(), gathered.end(), canvas)) << c.name;
    EXPECT_EQ(gathered_clipped, clipped_draws) << c.name;
    EXPECT_EQ(gathered_lines, lines_drawn) << c.name;
  }
}

TEST_F(PassTest, ObjectsDrawTheirSegmentsAndTheShipItsRespawnColour) {
  game_object& o = object_at(alloc_object());
  o.flags = kObjDrawn;
  o.kind = 1;
  o.x = 300 * 256;
  o.y = 300 * 256;
  o.segment_count = 1;
  o.world_x1[0] = -10 * 256;
  o.world_x2[0] = 10 * 256;
  o.world_y1[0] = o.world_y2[0] = 0;
  o.colour_a[0] = o.colour_b[0] = 0x001F;
  draw_objects(canvas);
  EXPECT_EQ(at(300, 300), 0x001F);
  std::fill(canvas, canvas + kCanvasPixels, 0);
  respawn_pause = 1;
  draw_objects(canvas);
  respawn_pause = 0;
  EXPECT_EQ(at(300, 300), 0xF8A5);
  std::fill(canvas, canvas + kCanvasPixels, 0);
  shield_on = 1;
  draw_objects(canvas);
  EXPECT_NE(at(300 + 17, 300), 0);  // the shield ring around the ship
  EXPECT_EQ(at(300 + 12, 300), 0);
  std::fill(canvas, canvas + kCanvasPixels, 0);
  o.flags = 0;  // hidden: neither the ship nor its ring
  draw_objects(canvas);
  shield_on = 0;
  EXPECT_EQ(count_lit(), 0);
}

TEST_F(PassTest, ObjectsAnywhereNeverDrawOutsideTheCanvas) {
  const int32_t positions[] = {INT32_MIN, -1000000, -5 * 256, 0, 700 * 256, 767 * 256,
                               5000 * 256, INT32_MAX};
  for (int32_t x : positions)
    for (int32_t y : positions) {
      game_object& o = object_at(alloc_object());
      o.flags = kObjDrawn;
      o.kind = 9;
      o.x = x;
      o.y = y;
      o.segment_count = 2;
      for (int k = 0; k < 2; ++k) {
        o.world_x1[k] = -40 * 256;
        o.world_y1[k] = 30 * 256 * (k ? 1 : -1);
        o.world_x2[k] = 40 * 256;
        o.world_y2[k] = -30 * 256;
        o.colour_a[k] = 0x1234;
        o.colour_b[k] = uint16_t(k ? 0x1234 : 0x4321);
      }
    }
  clipped_draws = 0;
  draw_objects(canvas);  // the guard zones are checked on tear-down
  EXPECT_GT(clipped_draws, 0);
  // The same places for a shielded ship: its ring too.
  for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next)
    object_at(i).kind = 1;
  shield_on = 1;
  draw_objects(canvas);
  shield_on = 0;
}

TEST_F(CanvasTest, LogDrawsItsLinesOldestFirst) {
  log_clear();
  log_draw(canvas, 10, 10);
  EXPECT_EQ(count_lit(), 0);
  log_add("1");
  log_add("");
  log_add("1");
  log_draw(canvas, 10, 10);
  // Two non-empty lines, 18 pixels apart, from (x + 8, y + 6); '1' is a stroke 3 pixels in.
  EXPECT_EQ(at(10 + 8 + 3, 10 + 6), 0xFFFF);
  EXPECT_EQ(at(10 + 8 + 3, 10 + 6 + 18), 0xFFFF);
  EXPECT_EQ(at(10 + 8 + 3, 10 + 6 + 36), 0);
  log_clear();
}

TEST(LogTest, TheEleventhLineOverwritesTheFirstSlot) {
  log_clear();
  for (int i = 0; i < 11; ++i) log_add(("LINE " + std::to_string(i)).c_str());
  EXPECT_STREQ(msg_log[0], "LINE 10");
  EXPECT_STREQ(msg_log[1], "LINE 1");
  EXPECT_EQ(msg_log_next, 1);
  const std::string long_line(300, 'X');
  log_add(long_line.c_str());
  EXPECT_EQ(std::string(msg_log[1]).size(), 99u);
  log_clear();
  EXPECT_EQ(msg_log_next, -1);
}

TEST_F(CanvasTest, ArrowHasAHeadOfTwoStrokes) {
  lines_drawn = 0;
  draw_arrow(canvas, 100 * 256, 100 * 256, 200 * 256, 100 * 256);
  EXPECT_EQ(lines_drawn, 3);
  // The head points back towards the start, 20 degrees either side, 10 pixels long.
  EXPECT_NE(at(191, 97), 0);
  EXPECT_NE(at(191, 103), 0);
  EXPECT_EQ(at(210, 100), 0);
}

TEST_F(CanvasTest, SpriteBlitSkipsTransparentAndWhitePixels) {
  const uint16_t sprite[9] = {0, 0x0801, 0, 0x0801, 0x0801, 0x0801, 0, 0x0801, 0};
  at(50, 50) = 0xFFFF;
  at(50, 49) = 0x0800;
  sprites_drawn = 0;
  blend_sprite_additive(canvas, 50, 50, sprite, 3, 3);
  EXPECT_EQ(sprites_drawn, 1);
  EXPECT_EQ(at(50, 50), 0xFFFF);
  EXPECT_EQ(at(50, 49), 0x1001);
  EXPECT_EQ(at(49, 49), 0);
  EXPECT_EQ(count_lit(), 5);
  blend_sprite_additive(canvas, 0, 0, sprite, 3, 3);  // half off the canvas: clipped
  EXPECT_EQ(at(1, 0), 0x0801);
}

// A scene of every primitive, pinned by its hash: any change to the pixels they write
// shows here.
TEST_F(CanvasTest, GoldenSceneOfEveryPrimitive) {
  build_glow_sprites();
  for (int i = 0; i < 24; ++i) {
    const int32_t a = 300 * 256 + i * 1111, b = 200 * 256 + i * 777;
    draw_line(canvas, a, b, a + 90 * 256 - i * 900, b + 40 * 256 + i * 500, uint16_t(0x0841 * (i % 9)));
    draw_line_gradient(canvas, b, a, b + 60 * 256, a - i * 700, 0xF800, uint16_t(0x001F + i));
    draw_line_additive(canvas, 20 + i, 600, 200, 620 + i * 3, 0x1082);
  }
  draw_glow_line(canvas, 100 * 256 + 33, 500 * 256, 300 * 256, 540 * 256 - 77, 3, 0x78, 0x32D0);
  draw_text_glow(canvas, "PELLAX 0123456789!?@", 40, 40, 0x300, 1, 0x78, 0xF650);
  draw_text_fx(canvas, "SCORE 12,345", 40, 80, 0x2BC, 0x8410);
  draw_glow(canvas, 600 * 256 + 99, 600 * 256 + 201);
  for (int s = 0; s < kGlowSpriteCount; ++s) draw_glow_sprite(canvas, 500 + 21 * s, 700, glow_sprites[s]);
  draw_rect_outline(canvas, 5, 5, 700, 100, 0x8410);
  uint64_t h = 1469598103934665603ull;
  for (int i = 0; i < kCanvasPixels; ++i) h = (h ^ canvas[i]) * 1099511628211ull;
  EXPECT_EQ(h, 0xdca333bcfece4ecbull) << std::hex << h;
}

TEST_F(PassTest, ScorePopupTextStopsAtFourCharacters) {
  score_popup& p = popup_at(alloc_score_popup());
  p.size = 0x300;
  p.x = 300 * 256;
  p.y = 300 * 256;
  std::memcpy(p.text, "1111", 4);  // full: no NUL inside the field
  p.colour = 0x4141;               // "AA" if read as text
  p.shadow_colour = 0x4141;
  lines_drawn = 0;
  draw_score_popups(canvas);
  EXPECT_EQ(lines_drawn, 2 * 4);  // shadow and text, four one-stroke digits
}
