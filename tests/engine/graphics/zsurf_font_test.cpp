// Bitmap fonts: glyph tables, lookup, measuring and drawing.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "gfx_test_engine.h"

namespace {

const uint32_t kKey = 0xFF00FF;

uint32_t GlyphColour(int i) { return 0x000010u + uint32_t(i + 1) * 0x010100u; }

// A variable-width strip: key column, glyph 0, key column, glyph 1, ... Row 0 marks the
// glyph columns; rows 2.. hold each glyph in its own colour.
void MakeVwfFont(TestEngine& e, Z2DSurface& font, const std::vector<int>& widths, int height,
                 uint16_t first = 'A') {
  int total = 1;
  for (int w : widths) total += w + 1;
  MakeSurface(e, font, uint32_t(total), uint32_t(height + 2), 6);
  font.FillRect(nullptr, kKey, 0, 0);
  int x = 1;
  for (size_t i = 0; i < widths.size(); ++i) {
    for (int c = 0; c < widths[i]; ++c) {
      font.PutPixel(x + c, 0, 0xFFFFFF, 0, 0);
      for (int y = 2; y < height + 2; ++y) font.PutPixel(x + c, y, GlyphColour(int(i)), 0, 0);
    }
    x += widths[i] + 1;
  }
  font.SetColorKey(kKey);
  ASSERT_NE(font.BuildTableVwf(uint32_t(widths.size())), 0);
  font.SetFontCharacters(first, uint16_t(first + widths.size() - 1));
}

// Columns and top rows where each glyph colour shows on a drawn surface.
struct Seen {
  int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX;
};
std::map<uint32_t, Seen> Where(const Z2DSurface& s) {
  std::map<uint32_t, Seen> m;
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) {
      const uint32_t c = s.GetPixel(int32_t(x), int32_t(y));
      if (!c) continue;
      Seen& w = m[c];
      w.left = std::min(w.left, int32_t(x));
      w.right = std::max(w.right, int32_t(x));
      w.top = std::min(w.top, int32_t(y));
    }
  return m;
}

TEST(Font, FixedWidthGeometry) {
  TestEngine e;
  Z2DSurface font, dst;
  MakeSurface(e, font, 768, 6, 6);
  for (int32_t x = 0; x < 768; ++x)
    for (int32_t y = 0; y < 6; ++y) font.PutPixel(x, y, uint32_t(x + 1), 0, 0);
  font.SetFontCharacters(32, 127);
  MakeSurface(e, dst, 20, 6, 6);
  EXPECT_EQ(dst.DrawFont(0, 0, &font, "A", 0, 0), 0);
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(dst.GetPixel(i, 0), uint32_t(264 + i + 1));
  EXPECT_EQ(dst.GetPixel(8, 0), 0u);
  EXPECT_EQ(font.GetFontWidth("AB"), 16u);
  EXPECT_EQ(font.GetFontHeight("AB"), 6u);
  EXPECT_EQ(font.GetFontHeight(static_cast<const char*>(nullptr)), 6u);
}

TEST(Font, VariableWidthTable) {
  TestEngine e;
  Z2DSurface font;
  MakeVwfFont(e, font, {2, 3, 1}, 4, 'a');
  ASSERT_NE(font.vwftable, nullptr);
  EXPECT_EQ(font.glyphcount, 3);
  EXPECT_EQ(font.vwftable[0], 1);
  EXPECT_EQ(font.vwftable[1], 4);
  EXPECT_EQ(font.vwftable[2], 8);
  EXPECT_EQ(font.vwftable[3], 2);
  EXPECT_EQ(font.vwftable[4], 3);
  EXPECT_EQ(font.vwftable[5], 1);
  EXPECT_EQ(font.lastchar, 'a' + 2);
  EXPECT_EQ(font.GetFontHeight("a"), 4u);
  // A glyph still open at the end of the row has width 0; glyphs never found keep 0.
  Z2DSurface open;
  MakeSurface(e, open, 6, 3, 6);
  open.FillRect(nullptr, kKey, 0, 0);
  open.SetColorKey(kKey);
  open.PutPixel(1, 0, 1, 0, 0);
  open.PutPixel(3, 0, 1, 0, 0);
  open.PutPixel(4, 0, 1, 0, 0);
  open.PutPixel(5, 0, 1, 0, 0);
  ASSERT_NE(open.BuildTableVwf(4), 0);
  EXPECT_EQ(open.vwftable[0], 1);
  EXPECT_EQ(open.vwftable[4], 1);
  EXPECT_EQ(open.vwftable[1], 3);
  EXPECT_EQ(open.vwftable[5], 0);
  EXPECT_EQ(open.vwftable[2], 0);
  EXPECT_EQ(open.vwftable[6], 0);
  // A huge count is capped, not wrapped.
  EXPECT_NE(open.BuildTableVwf(0xFFFFFFFFu), 0);
  EXPECT_EQ(open.glyphcount, 65536);
  // SetFontCharacters keeps last inside the table.
  font.SetFontCharacters('a', 'z');
  EXPECT_EQ(font.lastchar, 'a' + 2);
  font.SetFontCharacters('c', 'b');
  EXPECT_EQ(font.lastchar, 'c');
}

TEST(Font, DrawsGlyphsWithAdvanceAndPadding) {
  TestEngine e;
  Z2DSurface font, dst;
  MakeVwfFont(e, font, {2, 3, 1}, 4);
  MakeSurface(e, dst, 40, 20, 6);
  font.SetFontPadding(2, 0);
  EXPECT_EQ(font.GetFontWidth("ABC"), uint32_t(2 + 3 + 1 + 3 * 2));
  dst.DrawFont(5, 3, &font, "ABC?C", 0, 0);  // '?' has no glyph: skipped, no advance
  auto m = Where(dst);
  EXPECT_EQ(m[GlyphColour(0)].left, 5);
  EXPECT_EQ(m[GlyphColour(0)].right, 6);
  EXPECT_EQ(m[GlyphColour(0)].top, 3);
  EXPECT_EQ(m[GlyphColour(1)].left, 9);
  EXPECT_EQ(m[GlyphColour(2)].left, 14);
  EXPECT_EQ(m[GlyphColour(2)].right, 17);  // the second C right after the first
  // Padding -1 pulls glyphs together.
  Z2DSurface d2;
  MakeSurface(e, d2, 40, 20, 6);
  font.SetFontPadding(-1, 0);
  d2.DrawFont(0, 0, &font, "AB", 0, 0);
  EXPECT_EQ(Where(d2)[GlyphColour(1)].left, 1);
}

TEST(Font, LineBreaksTable) {
  TestEngine e;
  Z2DSurface font;
  MakeVwfFont(e, font, {2, 3}, 4);
  font.SetFontPadding(0, 1);
  struct Case {
    const char* text;
    uint32_t height, width;
    int32_t bx, by;  // where B is drawn from (0, 0); -1: not drawn
  } cases[] = {
      {"A\nB", 8, 3, 0, 5},
      {"A\n", 4, 2, -1, -1},
      {"A\r\nB", 8, 3, 0, 5},
      {"A\rB", 4, 3, 2, 0},  // drawn on one line, measured as two
      {"\n\nB", 12, 3, 0, 10},
      {"", 0, 0, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(font.GetFontHeight(c.text), c.height) << c.text;
    EXPECT_EQ(font.GetFontWidth(c.text), c.width) << c.text;
    Z2DSurface dst;
    MakeSurface(e, dst, 20, 20, 6);
    dst.DrawFont(0, 0, &font, c.text, 0, 0);
    auto m = Where(dst);
    if (c.bx < 0) {
      EXPECT_EQ(m.count(GlyphColour(1)), 0u) << c.text;
    } else {
      EXPECT_EQ(m[GlyphColour(1)].left, c.bx) << c.text;
      EXPECT_EQ(m[GlyphColour(1)].top, c.by) << c.text;
    }
  }
  EXPECT_EQ(font.GetFontWidthV("AB\nBBB", true), 5u);
  EXPECT_EQ(font.GetFontWidthV("AB\nBBB", false), 9u);
}

TEST(Font, AlignmentPerLine) {
  TestEngine e;
  Z2DSurface font;
  MakeVwfFont(e, font, {2, 3, 4}, 4);
  struct Case {
    int32_t flags;
    int32_t a_left, c_left, top;
  } cases[] = {
      {0x000, 10, 10, 10},
      {0x100, 5, 6, 10},   // AB (5 wide) and C (4 wide) both end at 10
      {0x200, 8, 8, 10},   // centred: 10 - 5/2, 10 - 4/2
      {0x400, 10, 10, 2},  // two lines of 4 end at y 10
      {0x800, 10, 10, 6},
      {0x300, 5, 6, 10},   // right wins over centre
      {0xC00, 10, 10, 2},  // bottom wins over middle
  };
  for (const Case& c : cases) {
    Z2DSurface dst;
    MakeSurface(e, dst, 30, 30, 6);
    dst.DrawFont(10, 10, &font, "AB\nC", c.flags, 0);
    auto m = Where(dst);
    EXPECT_EQ(m[GlyphColour(0)].left, c.a_left) << c.flags;
    EXPECT_EQ(m[GlyphColour(2)].left, c.c_left) << c.flags;
    EXPECT_EQ(m[GlyphColour(0)].top, c.top) << c.flags;
  }
}

TEST(Font, CharacterSetAndHighBytes) {
  TestEngine e;
  Z2DSurface font;
  MakeVwfFont(e, font, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 2);
  font.SetFontCharacterSet("0123456789");
  EXPECT_EQ(font.GetFontWidth("90x1"), 3u);
  Z2DSurface dst;
  MakeSurface(e, dst, 10, 4, 6);
  dst.DrawFont(0, 0, &font, "9x0", 0, 0);
  EXPECT_EQ(dst.GetPixel(0, 0), GlyphColour(9));
  EXPECT_EQ(dst.GetPixel(1, 0), GlyphColour(0));
  // Mapping is limited by the glyph count.
  font.glyphcount = 5;
  EXPECT_EQ(font.GetFontWidth("56"), 0u);
  font.glyphcount = 10;
  // Bytes 128-255 are characters like any other.
  const char high[] = {char(0xE9), char(0x80), 0};
  const uint16_t wide[] = {0xE9, 0x80, 0};
  font.SetFontCharacterSet(high);
  EXPECT_EQ(font.GetFontWidth(high), 2u);
  EXPECT_EQ(font.GetFontWidth(wide), 2u);
  font.SetFontCharacterSet(static_cast<const char*>(nullptr));
  EXPECT_EQ(font.charset, nullptr);
  font.SetFontCharacters(0x80, 0x89);
  EXPECT_EQ(font.GetFontWidth(high), 1u);  // 0xE9 is out of range
}

TEST(Font, NumbersAndBadArguments) {
  TestEngine e;
  Z2DSurface font, dst;
  MakeVwfFont(e, font, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 2, '-');
  // '-' '.' '/' then digits: use a set instead so each glyph is one known character.
  font.SetFontCharacterSet("-0123456789");
  MakeSurface(e, dst, 20, 4, 6);
  EXPECT_EQ(dst.DrawFont(0, 0, &font, int32_t(-42), 0, 0), 0);
  EXPECT_EQ(dst.GetPixel(0, 0), GlyphColour(0));
  EXPECT_EQ(dst.GetPixel(1, 0), GlyphColour(5));
  EXPECT_EQ(dst.GetPixel(2, 0), GlyphColour(3));
  Z2DSurface d2;
  MakeSurface(e, d2, 20, 4, 6);
  d2.DrawFont(0, 0, &font, int32_t(INT32_MIN), 0, 0);
  const char* digits = "-2147483648";
  for (int i = 0; digits[i]; ++i)
    EXPECT_EQ(d2.GetPixel(i, 0), GlyphColour(digits[i] == '-' ? 0 : digits[i] - '0' + 1)) << i;
  EXPECT_EQ(dst.DrawFont(0, 0, &font, static_cast<const char*>(nullptr), 0, 0), 4);
  EXPECT_EQ(dst.DrawFont(0, 0, nullptr, "1", 0, 0), 4);
  EXPECT_EQ(font.GetFontWidth(static_cast<const char*>(nullptr)), 0u);
  // An empty character set draws nothing (no division by zero for fixed widths).
  Z2DSurface fixed;
  MakeSurface(e, fixed, 30, 3, 6);
  fixed.SetFontCharacterSet("");
  EXPECT_EQ(dst.DrawFont(0, 0, &fixed, "1", 0, 0), 4);
  EXPECT_EQ(fixed.GetFontWidth("1"), 0u);
}

// The game's two-pass text: the font with flags 0x21 (keyed subtract), then its mask with
// 0x01 or 0x07 (keyed colorize and tint). The strip's markers are read and the glyphs
// drawn through the display's mapping, so every rotation shows the same logical picture.
TEST(Font, GoldenTwoPassText) {
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    Z2DSurface font, dst;
    MakeVwfFont(e, font, {3, 4, 2, 5, 3}, 6, 'a');
    font.SetFontPadding(1, 2);
    MakeSurface(e, dst, 48, 24, 4);
    for (int32_t y = 0; y < 24; ++y) dst.PutPixelRow(0, y, 48, 0x406080 + uint32_t(y) * 0x030201, 0, 0);
    dst.DrawFont(2, 3, &font, "abcde\nedcba", 0x21, 0);
    dst.DrawFont(24, 20, &font, "cab\nbad", 0x907, 0x80FF8000);
    dst.DrawFont(40, 10, &font, "eea", 0x201, 0);
    EXPECT_EQ(LogicalChecksum(dst), 0xDAFE99F5u) << std::hex << LogicalChecksum(dst) << " rotation " << int(rot);
  }
}

}  // namespace
