#include <gtest/gtest.h>

#include <string>

#include "tests/pellax/game/canvas_fixture.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/stroke_font.h"

TEST(FontTest, ExtentsScaleWithTheText) {
  int32_t w = 0, h = 0;
  text_extent_fx("SCORE", 0x300, &w, &h);
  EXPECT_EQ(w, 45);
  EXPECT_EQ(h, 12);
  text_extent("SCORE", 0x300, &w, &h);
  EXPECT_EQ(w, 45 * 256);
  EXPECT_EQ(h, 12 * 256);
}

TEST(FontTest, StrokeCountsPerGlyph) {
  struct glyph_case {
    char c;
    int strokes;
  };
  const glyph_case cases[] = {{'A', 4}, {'B', 8}, {'@', 12}, {'?', 8}, {'1', 1}, {'!', 5},
                              {'W', 4}, {'Q', 5}, {',', 1},  {'=', 2}, {' ', 0}, {':', 0},
                              {'"', 0}, {'a', 0}, {'~', 0},  {'\x7f', 0}};
  std::vector<uint16_t> canvas(kCanvasPixels);
  for (const glyph_case& g : cases) {
    const char text[2] = {g.c, 0};
    lines_drawn = 0;
    draw_text(canvas.data(), text, 100 * 256, 100 * 256, 0x300, 0xFFFF);
    EXPECT_EQ(lines_drawn, g.strokes) << g.c;
  }
  int total = 0;
  for (int i = 0; i < kGlyphCount; ++i)
    for (const int32_t* s = glyph_table[i]; s && s[0] >= 0; s += 4) ++total;
  EXPECT_EQ(total, 173);
}

TEST(FontTest, GlowTextDrawsTwiceCountPlusOneLinesPerStroke) {
  std::vector<uint16_t> canvas(kCanvasPixels);
  lines_drawn = 0;
  draw_text_glow(canvas.data(), "PELLAX", 23, 80, 0x1000, 6, 0x50, 0x32D0);
  // P 4, E 4, L 2, L 2, A 4, X 2 strokes.
  EXPECT_EQ(lines_drawn, 18 * 13);
}

using FontCanvasTest = CanvasTest;

TEST_F(FontCanvasTest, LowerCaseDrawsNothingButAdvancesThePen) {
  draw_text_fx(canvas, "abc", 10, 10, 0x300, 0xFFFF);
  EXPECT_EQ(count_lit(), 0);
  draw_text_fx(canvas, "abc1", 10, 10, 0x300, 0xFFFF);
  // '1' is a vertical stroke at x + 2 units of 128 of a 3.0 scale: 3 pixels into its cell.
  EXPECT_EQ(at(10 + 27 + 3, 10), 0xFFFF);
  EXPECT_EQ(at(10 + 27 + 3, 22), 0xFFFF);
  EXPECT_EQ(count_lit(), 13);
}
