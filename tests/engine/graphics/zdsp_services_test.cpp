// Display services on surfaces: wipes, palette lookup, the built-in font.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/graphics/font/zfont_design.h"
#include "gfx_test_engine.h"

namespace {

// --- wipes -------------------------------------------------------------------------------

struct WipeScene {
  TestEngine e;
  Z2DSurface dst, from, to;
  explicit WipeScene(uint32_t w = 64, uint32_t h = 48, uint8_t rotation = 0) : e(rotation) {
    MakeSurface(e, dst, w, h, 4);
    MakeSurface(e, from, w, h, 4);
    MakeSurface(e, to, w, h, 4);
    for (int32_t y = 0; y < int32_t(h); ++y)
      for (int32_t x = 0; x < int32_t(w); ++x) {
        from.PutPixel(x, y, 0x0000F8 | uint32_t(x) << 10, 0, 0);
        to.PutPixel(x, y, 0xF80000 | uint32_t(y) << 10, 0, 0);
      }
  }
};

TEST(Wipe, SlidesAtZeroHalfAndFull) {
  for (uint8_t type = 0; type < 4; ++type) {
    WipeScene s;
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0, type, nullptr, 0);
    EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.from)) << int(type);
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x10000, type, nullptr, 0);
    EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.to)) << int(type);
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x7FFFFFFF, type, nullptr, 0);
    EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.to)) << int(type);
    // Half way: "to" covers the half it enters from, shifted by half the size.
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, type, nullptr, 0);
    const int32_t W = 64, H = 48;
    for (int32_t y = 0; y < H; y += 7)
      for (int32_t x = 0; x < W; x += 5) {
        uint32_t expect;
        switch (type) {
          case 0: expect = x >= W / 2 ? s.to.GetPixel(x - W / 2, y) : s.from.GetPixel(x, y); break;
          case 1: expect = x < W / 2 ? s.to.GetPixel(x + W / 2, y) : s.from.GetPixel(x, y); break;
          case 2: expect = y >= H / 2 ? s.to.GetPixel(x, y - H / 2) : s.from.GetPixel(x, y); break;
          default: expect = y < H / 2 ? s.to.GetPixel(x, y + H / 2) : s.from.GetPixel(x, y); break;
        }
        EXPECT_EQ(s.dst.GetPixel(x, y), expect) << int(type) << " " << x << "," << y;
      }
  }
}

// Wipes work in logical terms: each type at each stage gives the same logical picture on
// every rotation (tiles on a non-square surface, whose grid is centred and repeated).
TEST(Wipe, EveryTypeIsTheSameOnEveryRotation) {
  std::vector<uint8_t> map(50 * 36);
  for (size_t i = 0; i < map.size(); ++i) map[i] = uint8_t(i * 37 + i / 50);
  std::vector<std::vector<uint32_t>> reference;
  for (uint8_t rot = 0; rot < 4; ++rot) {
    std::vector<std::vector<uint32_t>> pictures;
    for (uint8_t type = 0; type < 8; ++type)
      for (uint32_t pos : {0x3000u, 0x8000u, 0xC800u}) {
        WipeScene s(50, 36, rot);
        s.e.display.Wipe(&s.dst, &s.from, &s.to, pos, type, type == 7 ? map.data() : nullptr, 0);
        pictures.push_back(LogicalPixels(s.dst));
        // The incremental types also into "from" itself, in two steps.
        if (type == 4 || type == 7) {
          s.e.display.StartWipe(type, &s.from);
          const void* table = type == 7 ? map.data() : nullptr;
          s.e.display.Wipe(&s.from, &s.from, &s.to, pos / 2, type, table, 3);
          s.e.display.Wipe(&s.from, &s.from, &s.to, pos, type, table, 3);
          pictures.push_back(LogicalPixels(s.from));
        }
      }
    if (rot == 0) reference = pictures;
    else
      for (size_t i = 0; i < pictures.size(); ++i) EXPECT_EQ(pictures[i], reference[i]) << int(rot) << " " << i;
  }
}

TEST(Wipe, SpiralTableIsAClockwiseSpiral) {
  std::vector<int> seen(256, 0);
  for (int i = 0; i < 256; ++i) ++seen[zwipespiraltable[i]];
  for (int v : seen) EXPECT_EQ(v, 1);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(zwipespiraltable[x], x);
  const int row1[16] = {59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 16};
  const int row2[3] = {58, 111, 112};
  for (int x = 0; x < 16; ++x) EXPECT_EQ(zwipespiraltable[16 + x], row1[x]);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(zwipespiraltable[32 + x], row2[x]);
  EXPECT_EQ(zwipespiraltable[32 + 13], 123);
  EXPECT_EQ(zwipespiraltable[32 + 14], 74);
  EXPECT_EQ(zwipespiraltable[32 + 15], 17);
  for (int y = 1; y < 16; ++y) EXPECT_EQ(zwipespiraltable[y * 16 + 15], 15 + y);  // right column
  // The centre: 252, 253 on row 7 (columns 7, 8), 254, 255 on row 8 (columns 8, 7).
  EXPECT_EQ(zwipespiraltable[7 * 16 + 7], 252);
  EXPECT_EQ(zwipespiraltable[7 * 16 + 8], 253);
  EXPECT_EQ(zwipespiraltable[8 * 16 + 8], 254);
  EXPECT_EQ(zwipespiraltable[8 * 16 + 7], 255);
}

// Tiles of 4 pixels on a 64x64 surface: the 16x16 grid covers it exactly.
TEST(Wipe, TilesFollowTheTableIncrementally) {
  WipeScene s(64, 64);
  auto shows_to = [&](Z2DSurface& d, int tile) {
    const int32_t x = tile % 16 * 4, y = tile / 16 * 4;
    return d.GetPixel(x, y) == s.to.GetPixel(x, y) && d.GetPixel(x + 3, y + 3) == s.to.GetPixel(x + 3, y + 3);
  };
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x0F00, 4, nullptr, 4);
  for (int t = 0; t < 256; ++t) EXPECT_EQ(shows_to(s.dst, t), t < 16) << t;
  // Into "from" itself: each call draws only the new tiles.
  s.e.display.StartWipe(4, &s.from);
  int drawn_before = 0;
  for (uint32_t pos : {0x100u, 0x200u, 0x300u}) {
    s.e.display.Wipe(&s.from, &s.from, &s.to, pos, 4, nullptr, 4);
    int drawn = 0;
    for (int t = 0; t < 256; ++t) drawn += shows_to(s.from, t);
    EXPECT_EQ(drawn, int(pos >> 8) + 1);
    EXPECT_GT(drawn, drawn_before);
    drawn_before = drawn;
    EXPECT_EQ(s.e.display.wipeposition, (pos >> 8) + 1);
  }
  // A tile already drawn is not drawn again: mark tile 0 and wipe on.
  s.from.PutPixel(0, 0, 0x123456, 0, 0);
  const uint32_t mark = s.from.GetPixel(0, 0);
  s.e.display.Wipe(&s.from, &s.from, &s.to, 0x400, 4, nullptr, 4);
  EXPECT_EQ(s.from.GetPixel(0, 0), mark);
  // The full wipe with a null "to" clears every tile to colour 0.
  WipeScene z(64, 64);
  z.e.display.Wipe(&z.dst, &z.from, nullptr, 0x10000, 4, nullptr, 4);
  for (uint32_t c : LogicalPixels(z.dst)) ASSERT_EQ(c, 0u);
  // Half way with the default tile size on a screen-sized surface: only the table decides.
  WipeScene h(320, 240);
  h.e.display.Wipe(&h.dst, &h.from, &h.to, 0x8000, 4, nullptr, 0);
  EXPECT_NE(LogicalPixels(h.dst), LogicalPixels(h.from));
  EXPECT_NE(LogicalPixels(h.dst), LogicalPixels(h.to));
  h.e.display.Wipe(&h.dst, &h.from, &h.to, 0x10000, 4, nullptr, 0);
  EXPECT_EQ(LogicalPixels(h.dst), LogicalPixels(h.to));
}

// Tiles far larger than the surface: the centred grid puts the surface's four quadrants
// into the four centre tiles (252 top left, 253 top right, 254 bottom right, 255 bottom
// left), whatever the size; no tile far off the surface may wrap into it.
TEST(Wipe, HugeTilesStayWhereTheGridPutsThem) {
  for (int32_t size : {1000, 1 << 30, INT32_MAX}) {
    WipeScene s;
    s.to.FillRect(nullptr, 0xFFFFFF, 0, 0);
    auto white = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
      int n = 0;
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) n += s.dst.GetPixel(x, y) == s.to.GetPixel(0, 0);
      return n;
    };
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0xFB00, 4, nullptr, size);
    EXPECT_EQ(white(0, 0, 64, 48), 0) << size;
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0xFC00, 4, nullptr, size);
    EXPECT_EQ(white(0, 0, 32, 24), 32 * 24) << size;
    EXPECT_EQ(white(0, 0, 64, 48), 32 * 24) << size;
    s.e.display.Wipe(&s.dst, &s.from, &s.to, 0xFE00, 4, nullptr, size);
    EXPECT_EQ(white(0, 0, 64, 48), 64 * 48 - 32 * 24) << size;
    EXPECT_EQ(white(0, 24, 32, 48), 0) << size;
  }
}

TEST(Wipe, MosaicCrossFadeAndThresholdMap) {
  WipeScene s;
  // Mosaic: block side 1 leaves dst unchanged; at full every block takes its centre pixel.
  s.dst.FillRect(nullptr, 0x00FF00, 0, 0);
  const std::vector<uint32_t> green = LogicalPixels(s.dst);
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x10000 / 64, 5, nullptr, 0);  // b = 1
  EXPECT_EQ(LogicalPixels(s.dst), green);
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, 5, nullptr, 0);  // b = 32
  EXPECT_EQ(s.dst.GetPixel(0, 0), s.from.GetPixel(16, 16));
  EXPECT_EQ(s.dst.GetPixel(63, 47), s.from.GetPixel(48, 47));
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x10000, 5, nullptr, 0);  // b = 64: one block
  for (uint32_t c : LogicalPixels(s.dst)) ASSERT_EQ(c, s.from.GetPixel(32, 32));
  // Cross-fade: from at 0, to at full, a blend between.
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0, 6, nullptr, 0);
  EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.from));
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x10000, 6, nullptr, 0);
  EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.to));
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, 6, nullptr, 0);
  EXPECT_NE(s.dst.GetPixel(5, 5), s.from.GetPixel(5, 5));
  EXPECT_NE(s.dst.GetPixel(5, 5), s.to.GetPixel(5, 5));
  // Threshold map from rand: seeded, so repeatable.
  std::vector<uint8_t> map(64 * 48);
  std::srand(7);
  s.e.display.MapScreenWipe(map.data(), 64, 48, 0);
  std::vector<uint8_t> again(64 * 48);
  std::srand(7);
  s.e.display.MapScreenWipe(again.data(), 64, 48, 0);
  EXPECT_EQ(map, again);
  std::vector<uint8_t> untouched(64 * 48, 0xAB);
  s.e.display.MapScreenWipe(untouched.data(), 64, 48, 1);
  EXPECT_EQ(untouched[0], 0xAB);
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0, 7, map.data(), 0);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      ASSERT_EQ(s.dst.GetPixel(x, y), map[size_t(x + 64 * y)] == 0 ? s.to.GetPixel(x, y) : s.from.GetPixel(x, y));
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, 7, map.data(), 0);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const bool flipped = map[size_t(x + 64 * y)] <= 0x80;
      ASSERT_EQ(s.dst.GetPixel(x, y), flipped ? s.to.GetPixel(x, y) : s.from.GetPixel(x, y));
    }
  s.e.display.Wipe(&s.dst, &s.dst, &s.to, 0x10000, 7, map.data(), 0);
  EXPECT_EQ(LogicalPixels(s.dst), LogicalPixels(s.to));
  // No map, unknown type, null surfaces: nothing.
  s.dst.FillRect(nullptr, 0, 0, 0);
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, 7, nullptr, 0);
  s.e.display.Wipe(&s.dst, &s.from, &s.to, 0x8000, 8, nullptr, 0);
  s.e.display.Wipe(nullptr, &s.from, &s.to, 0x8000, 0, nullptr, 0);
  s.e.display.Wipe(&s.dst, nullptr, &s.to, 0x8000, 0, nullptr, 0);
  for (uint32_t c : LogicalPixels(s.dst)) ASSERT_EQ(c, 0u);
}

// --- palette lookup ----------------------------------------------------------------------

TEST(PaletteLookup, AllEqualEntriesMapToIndexOne) {
  uint32_t pal[256];
  for (uint32_t& p : pal) p = 0x00808080;
  pal[0] = 0;
  std::vector<uint8_t> out(32768, 0xEE);
  ZDisplay_CreatePaletteLookup(pal, out.data(), nullptr, 0);
  for (uint8_t v : out) ASSERT_EQ(v, 1);
}

// Ties are decided by the candidate order after one bubble pass on brightness. Palette
// order A (20,0,0), B (10,0,0), C (0,0,2) with brightness 20, 10, 2: one pass gives
// B, C, A; a full sort C, B, A; no sort A, B, C. (15,0,0) is equally near A and B, (5,0,1)
// equally near B and C: one pass picks B for both, no sort would pick A for the first, a
// full sort C for the second.
TEST(PaletteLookup, OneBubblePassDecidesTies) {
  uint32_t pal[256] = {};
  pal[1] = 0x00A00000;  // A, 0x00RRGGBB
  pal[2] = 0x00500000;  // B
  pal[3] = 0x00000010;  // C
  for (int i = 4; i < 256; ++i) pal[i] = 0x00F8F8F8;
  std::vector<uint8_t> out(32768);
  ZDisplay_CreatePaletteLookup(pal, out.data(), nullptr, 0);
  EXPECT_EQ(out[15], 2);
  EXPECT_EQ(out[5 | 1 << 10], 2);
  EXPECT_EQ(out[20], 1);
  EXPECT_EQ(out[2 << 10], 3);
  // With colours (engine words 0x00BBGGRR): out[0] is always 0, out[count..] untouched.
  uint32_t colours[4] = {0x00F8F8F8, 0x00000078, 0x00080028, 0x000000A0};
  uint8_t idx[4];
  std::memset(idx, 0xEE, sizeof(idx));
  ZDisplay_CreatePaletteLookup(pal, idx, colours, 3);
  EXPECT_EQ(idx[0], 0);
  EXPECT_EQ(idx[1], 2);
  EXPECT_EQ(idx[2], 2);
  EXPECT_EQ(idx[3], 0xEE);
}

TEST(PaletteLookup, BuiltOnceAndRebuiltAfterSetPalette) {
  ClassZDisplay d;
  uint32_t colours[256];
  for (uint32_t i = 0; i < 256; ++i) colours[i] = i * 0x010101;  // grey ramp
  d.SetPalette(colours, 0, 256);
  ASSERT_EQ(d.BuildPaletteLookup(), 1);
  ASSERT_NE(d.palettelookup, nullptr);
  EXPECT_EQ(d.palettechanged, 0);
  const uint8_t white = d.palettelookup[32767];
  EXPECT_GE(white, 248);
  // No rebuild without SetPalette: scribble, build, the scribble stays.
  d.palettelookup[32767] = 3;
  EXPECT_EQ(d.BuildPaletteLookup(), 1);
  EXPECT_EQ(d.palettelookup[32767], 3);
  d.SetPalette(colours, 0, 256);
  EXPECT_EQ(d.BuildPaletteLookup(), 1);
  EXPECT_EQ(d.palettelookup[32767], white);
  uint8_t out[256];
  EXPECT_EQ(d.BuildPaletteLookupIndex(out, colours), 1);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[255], white);
}

// --- the built-in font -------------------------------------------------------------------

TEST(InternalFont, StoredDataIsTheDesign) {
  static uint8_t design[zfont::kBytes];
  ASSERT_TRUE(zfont::RenderStrip(design));
  static uint8_t unpacked[zfont::kBytes];
  ClassZMemory memory;
  uint32_t length = sizeof(unpacked);
  ASSERT_EQ(memory.UnCompress(unpacked, length, zinternalfont, zinternalfont_size), 1);
  ASSERT_EQ(length, uint32_t(zfont::kBytes));
  EXPECT_EQ(std::memcmp(design, unpacked, sizeof(design)), 0);
}

// On every display depth, 8-bit palette indices too: there white, black and magenta were
// all index 255 or 0 and the font had no glyphs.
TEST(InternalFont, ExpandsIntoAVariableWidthFont) {
  for (uint8_t format : {1, 4, 6}) {
    SCOPED_TRACE(int(format));
    TestEngine e(0, format);
    Z2DSurface font;
    ASSERT_EQ(ZDisplay_CreateInternalFont(&e.display, &font, &e.memory, 1), 0);
    EXPECT_EQ(font.GetWidth(), 708u);
    EXPECT_EQ(font.GetHeight(), 14u);
    EXPECT_EQ(font.format, format);
    // As the display finishes it: key, table for 128 glyphs, characters 32..127.
    font.SetColorKey(ZDisplay_InternalFontKey(format));
    ASSERT_NE(font.BuildTableVwf(128), 0);
    font.SetFontCharacters(32, 127);
    for (int i = 0; i < 96; ++i) EXPECT_EQ(font.vwftable[128 + i], zfont::GlyphWidth(i) + 2) << i;
    EXPECT_EQ(font.vwftable[128 + 96], 0);
    // Text draws: "Hi" shows white glyph pixels with black outlines over the key.
    Z2DSurface dst;
    MakeSurface(e, dst, 40, 16, format);
    dst.FillRect(nullptr, 0x804020, 0, 0);
    dst.DrawFont(1, 1, &font, "Hi", 1, 0);
    int white = 0, black = 0;
    for (uint32_t c : LogicalPixels(dst)) {
      white += c == ZSurf_Expand(format, ZSurf_Pack(format, 0xFFFFFF));
      black += c == 0;
    }
    EXPECT_EQ(white, 16 + 6);  // H: six rows of 2 and a bar of 4; i: 6 pixels
    EXPECT_GT(black, white);
    EXPECT_EQ(font.GetFontWidth("Hi"), uint32_t(6 + 3));
  }
}

TEST(InternalFont, TruncatedOrMissingDataFails) {
  TestEngine e;
  Z2DSurface font;
  // Truncated anywhere in its codes, or cut before its header ends: bad data.
  for (uint32_t cut : {zinternalfont_size - 1, zinternalfont_size / 2, 17u, 15u, 0u}) {
    Z2DSurface f;
    EXPECT_EQ(ZDisplay_CreateInternalFont(&e.display, &f, &e.memory, 1, zinternalfont, cut), 1) << cut;
  }
  // A stream that expands to more than the strip is bad data as well.
  static uint8_t bigger[zfont::kBytes + 10] = {};
  static uint8_t packed[zfont::kBytes + 64];
  uint32_t length = sizeof(packed);
  ASSERT_EQ(e.memory.Compress(packed, length, bigger, sizeof(bigger)), 1);
  EXPECT_EQ(ZDisplay_CreateInternalFont(&e.display, &font, &e.memory, 1, packed, length), 1);
  EXPECT_EQ(ZDisplay_CreateInternalFont(nullptr, &font, &e.memory, 1), 4);
  EXPECT_EQ(ZDisplay_CreateInternalFont(&e.display, nullptr, &e.memory, 1), 4);
  e.display.backbufferformat = 9;
  EXPECT_EQ(ZDisplay_CreateInternalFont(&e.display, &font, &e.memory, 1), 1);
}

}  // namespace
