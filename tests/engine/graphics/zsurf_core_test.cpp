// Surface core: pixel formats, creation, geometry, clipping, colour key and the pixel rule.
#include <gtest/gtest.h>

#include "gfx_test_engine.h"
#include "engine/graphics/zsurf_lock.h"
#include "tests/engine/rect_expect.h"

namespace {

// --- pack and expand, written out per format ---------------------------------------------

TEST(PixelFormat, PackAndExpandTable) {
  struct Case {
    uint8_t format;
    uint32_t colour, packed, expanded;
  } cases[] = {
      {1, 0x00000037, 0x37, 0x37},
      {1, 0x00FFEE42, 0x42, 0x42},
      {2, 0x00FFFFFF, 0x0FFF, 0x00F0F0F0},
      {2, 0x000000FF, 0x0F00, 0x000000F0},  // red
      {2, 0x0000FF00, 0x00F0, 0x0000F000},  // green
      {2, 0x00FF0000, 0x000F, 0x00F00000},  // blue
      {3, 0x00FFFFFF, 0x7FFF, 0x00F8F8F8},
      {3, 0x000000FF, 0x7C00, 0x000000F8},
      {3, 0x0000FF00, 0x03E0, 0x0000F800},
      {3, 0x00FF0000, 0x001F, 0x00F80000},
      {4, 0x00FFFFFF, 0xFFFF, 0x00F8FCF8},
      {4, 0x00FF00FF, 0xF81F, 0x00F800F8},
      {4, 0x000000FF, 0xF800, 0x000000F8},
      {4, 0x0000FF00, 0x07E0, 0x0000FC00},
      {4, 0x00FF0000, 0x001F, 0x00F80000},
      {4, 0x00070307, 0x0000, 0x00000000},
      {5, 0x00112233, 0x00332211, 0x00112233},
      {6, 0xAB112233, 0x00332211, 0x00112233},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ZSurf_Pack(c.format, c.colour), c.packed) << int(c.format) << std::hex << " " << c.colour;
    EXPECT_EQ(ZSurf_Expand(c.format, c.packed), c.expanded) << int(c.format);
  }
}

TEST(PixelFormat, ExpandThenPackIsIdentityForEveryStoredPixel) {
  for (uint8_t f = 2; f <= 4; ++f) {
    const uint32_t used = f == 2 ? 0x0FFF : f == 3 ? 0x7FFF : 0xFFFF;
    for (uint32_t p = 0; p <= used; ++p) ASSERT_EQ(ZSurf_Pack(f, ZSurf_Expand(f, p)), p) << int(f);
  }
}

TEST(PixelFormat, BitsAndQuantisation) {
  EXPECT_EQ(ZSurf_FormatBits(1), 8);
  EXPECT_EQ(ZSurf_FormatBits(4), 16);
  EXPECT_EQ(ZSurf_FormatBits(5), 24);
  EXPECT_EQ(ZSurf_FormatBits(6), 32);
  EXPECT_EQ(ZSurf_FormatBits(0), 0);
  EXPECT_EQ(ZSurf_FormatBits(7), 0);
  EXPECT_EQ(ZSurf_QuantiseOpacity(2, 15), 0u);
  EXPECT_EQ(ZSurf_QuantiseOpacity(3, 7), 0u);
  EXPECT_EQ(ZSurf_QuantiseOpacity(4, 9), 8u);
  EXPECT_EQ(ZSurf_QuantiseOpacity(6, 1), 1u);
}

// --- creation ------------------------------------------------------------------------

TEST(SurfaceCreate, GeometryPlainAndTransposed) {
  {
    TestEngine e(0);
    Z2DSurface s;
    s.LinkZCD(&e.zcd);
    const uint32_t before = e.memory.InUse();
    ASSERT_EQ(s.Create(33, 10, 4, 1), 0);
    EXPECT_EQ(s.rowlength, 33);
    EXPECT_EQ(s.stride, 36);
    EXPECT_EQ(s.rows, 10);
    EXPECT_EQ(s.GetWidth(), 33u);
    EXPECT_EQ(s.GetHeight(), 10u);
    EXPECT_EQ(s.bits, 16);
    // The pixel buffer is 720 bytes (plus the list's 4-byte tag); the rest are span tables.
    const uint32_t spans = 2 * (10 * 2 + 4) + 2 * (10 * 16 + 4);
    EXPECT_EQ(e.memory.InUse() - (before ? before : 256 * 8), 720u + 4 + spans);
  }
  for (uint8_t rot : {1, 3}) {
    TestEngine e(rot);
    Z2DSurface s;
    s.LinkZCD(&e.zcd);
    ASSERT_EQ(s.Create(33, 10, 4, 1), 0);
    EXPECT_EQ(s.rowlength, 10);
    EXPECT_EQ(s.stride, 12);
    EXPECT_EQ(s.rows, 33);
    EXPECT_EQ(s.GetWidth(), 33u);
    EXPECT_EQ(s.GetHeight(), 10u);
  }
}

TEST(SurfaceCreate, FlagsAndRefusals) {
  TestEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.Create(8, 8, 4, 0x601), 0);
  EXPECT_EQ(s.format, 6);
  EXPECT_EQ(s.bits, 32);
  uint8_t* buffer = s.buffer;
  struct Case {
    uint32_t w, h;
    uint8_t format;
    uint32_t flags;
    int result;
  } refusals[] = {
      {8, 8, 4, 0x4, 4},          // kind 4
      {0, 8, 4, 0x1, 4},          // zero width
      {8, 0, 4, 0x1, 4},          // zero height
      {32768, 1, 4, 0x1, 4},      // beyond the span tables
      {1, 40000, 4, 0x1, 4},
      {8, 8, 7, 0x1, 1},          // unknown format
      {8, 8, 4, 0x0901, 1},       // unknown format from the flags
  };
  for (const Case& c : refusals) {
    EXPECT_EQ(s.Create(c.w, c.h, c.format, c.flags), c.result) << c.w << "x" << c.h;
    EXPECT_EQ(s.buffer, buffer);
    EXPECT_EQ(s.format, 6);
    EXPECT_EQ(s.GetWidth(), 8u);
  }
  // Kind 0 takes the configuration's default; a default of 0 is refused too.
  e.config.surfaceflags = 0;
  EXPECT_EQ(s.Create(8, 8, 4, 0x600), 4);
  EXPECT_EQ(s.buffer, buffer);
  e.config.surfaceflags = 1;
  s.FillRect(nullptr, 0xFFFFFF, 0, 0);
  EXPECT_EQ(s.Create(8, 8, 4, 0x600), 0);  // 0x600 + 1 = the stored flags: cleared in place
  EXPECT_EQ(s.buffer, buffer);
  EXPECT_EQ(s.GetPixel(3, 3), 0u);
}

TEST(SurfaceCreate, SameSizeOtherFormatReallyChangesTheFormat) {
  TestEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.Create(8, 8, 4, 1), 0);
  ASSERT_EQ(s.Create(8, 8, 6, 1), 0);
  EXPECT_EQ(s.format, 6);
  EXPECT_EQ(s.bits, 32);
  s.PutPixel(7, 7, 0x123456, 0, 0);
  EXPECT_EQ(s.GetPixel(7, 7), 0x123456u);
}

TEST(SurfaceCreate, WithoutContextNothingHappens) {
  Z2DSurface s;
  EXPECT_EQ(s.Create(8, 8, 4, 1), 4);
  EXPECT_EQ(s.GetWidth(), 0u);
  EXPECT_EQ(s.Lock(), nullptr);
  s.PutPixel(0, 0, 1, 0, 0);
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
  EXPECT_EQ(s.FillRect(nullptr, 1, 0, 0), 4);
  EXPECT_EQ(s.DrawLine(0, 0, 5, 5, 1, 0, 0), 4);
  tagRECT r = {0, 0, 2, 2};
  EXPECT_EQ(s.DrawRect(&r, 1, 0, 0), 4);
  EXPECT_EQ(s.FillOval(0, 0, 2, 2, 1, 0, 0), 4);
  EXPECT_EQ(s.DrawOval(0, 0, 2, 2, 1, 0, 0), 4);
  Z2DSurface t;
  EXPECT_EQ(s.BltFast(0, 0, &t, nullptr, 0, 0), 4);
  EXPECT_EQ(s.DrawFont(0, 0, &t, "a", 0, 0), 4);
  EXPECT_EQ(s.GetWidth(), 0u);
}

TEST(SurfaceCreate, FreeReleasesEverything) {
  TestEngine e;
  const uint32_t empty = 256 * 8;
  {
    Z2DSurface s;
    s.LinkZCD(&e.zcd);
    ASSERT_EQ(s.Create(20, 10, 4, 1), 0);
    s.SetFontCharacterSet("abc");
    ASSERT_NE(s.BuildTableVwf(3), 0);
  }
  EXPECT_EQ(e.memory.InUse(), empty);
}

// --- information record --------------------------------------------------------------

TEST(SurfaceInfo, StepsAndOriginInEachRotation) {
  // Logical (0,0) at the origin; one x step reaches logical (1,0), one y step (0,1).
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    Z2DSurface s;
    MakeSurface(e, s, 7, 5, 4);
    s.PutPixel(0, 0, 0x0000F8, 0, 0);
    s.PutPixel(1, 0, 0x00FC00, 0, 0);
    s.PutPixel(0, 1, 0xF80000, 0, 0);
    Z2DSURFACEINFO info;
    uint8_t* b = s.Lock(&info);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(s.lockcount, 1);
    EXPECT_EQ(info.width, 7u);
    EXPECT_EQ(info.height, 5u);
    EXPECT_EQ(info.pitch, s.stride * 2);
    EXPECT_EQ(ZSurf_Load16(b + info.origin), 0xF800) << int(rot);
    EXPECT_EQ(ZSurf_Load16(b + info.origin + info.xstep), 0x07E0) << int(rot);
    EXPECT_EQ(ZSurf_Load16(b + info.origin + info.ystep), 0x001F) << int(rot);
    if (e.display.xstep < 0) {
      // The last used pixel of its row, not the padding.
      EXPECT_EQ(info.origin % info.pitch, (s.rowlength - 1) * 2);
    }
    s.Unlock();
    s.Unlock();
    EXPECT_EQ(s.lockcount, 0);
  }
  Z2DSurface none;
  EXPECT_EQ(none.GetInfo(nullptr), 0);
}

// --- clipping ------------------------------------------------------------------------

TEST(SurfaceClip, SetAndGetInEachRotation) {
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    Z2DSurface s;
    MakeSurface(e, s, 40, 30, 4);
    tagRECT in = {-5, 3, 20, 100};
    s.SetClipper(&in);
    tagRECT out;
    s.GetClipper(&out);
    EXPECT_EQ(out, (tagRECT{0, 3, 20, 30})) << int(rot);
    // Only pixels inside the logical clip are drawn.
    s.FillRect(nullptr, 0xFFFFFF, 0, 0);
    EXPECT_EQ(s.GetPixel(19, 3), 0x00F8FCF8u);
    EXPECT_EQ(s.GetPixel(20, 3), 0u);
    EXPECT_EQ(s.GetPixel(5, 2), 0u);
    s.SetClipper(nullptr);
    s.GetClipper(&out);
    EXPECT_EQ(out.right, 40);
    EXPECT_EQ(out.bottom, 30);
  }
}

TEST(SurfaceClip, ClipRectTable) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 100, 50, 4);
  tagRECT c = {10, 10, 60, 40};
  s.SetClipper(&c);
  struct Case {
    tagRECT in;
    int result;
    tagRECT out;
  } cases[] = {
      {{0, 0, 100, 50}, 1, {10, 10, 60, 40}},
      {{20, 20, 30, 30}, 1, {20, 20, 30, 30}},
      {{60, 20, 70, 30}, 0, {}},  // touches the right side only
      {{0, 0, 10, 10}, 0, {}},    // touches the corner only
      {{30, 30, 20, 35}, 0, {}},  // inverted
      {{30, 30, 30, 35}, 0, {}},  // empty
  };
  for (const Case& k : cases) {
    tagRECT r = k.in;
    EXPECT_EQ(s.ClipRect(&r), k.result);
    if (k.result) {
      EXPECT_EQ(r, k.out);
    }
  }
  EXPECT_EQ(s.ClipRect(nullptr), 0);
}

TEST(SurfaceClip, PrepareBlitRectTable) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 100, 50, 4);
  tagRECT c = {10, 10, 60, 40};
  s.SetClipper(&c);
  struct Case {
    const char* name;
    int32_t x, y;
    tagRECT src;
    int result;
    int32_t ox, oy;
    tagRECT out;
  } cases[] = {
      {"inside", 20, 20, {0, 0, 8, 4}, 1, 20, 20, {0, 0, 8, 4}},
      {"negative source", 20, 20, {-3, -2, 8, 4}, 1, 23, 22, {0, 0, 8, 4}},
      {"left of the clip", 5, 20, {0, 0, 8, 4}, 1, 10, 20, {5, 0, 8, 4}},
      {"above the clip", 20, 8, {0, 0, 8, 4}, 1, 20, 10, {0, 2, 8, 4}},
      {"oversized", 50, 35, {0, 0, 400, 400}, 1, 50, 35, {0, 0, 10, 5}},
      {"past the source", 20, 20, {16, 0, 20, 4}, 0, 0, 0, {}},
      {"right of the clip", 60, 20, {0, 0, 8, 4}, 0, 0, 0, {}},
      {"ends left of the clip", 0, 20, {0, 0, 8, 4}, 0, 0, 0, {}},
      {"source far left", INT32_MIN, 20, {0, 0, 8, 4}, 0, 0, 0, {}},
      {"far right source", 20, 20, {INT32_MAX - 1, 0, INT32_MAX, 4}, 0, 0, 0, {}},
  };
  for (const Case& k : cases) {
    int32_t x = k.x, y = k.y;
    tagRECT r = k.src;
    EXPECT_EQ(s.PrepareBlitRect(x, y, &r, 16, 16), k.result) << k.name;
    if (k.result) {
      EXPECT_EQ(x, k.ox) << k.name;
      EXPECT_EQ(y, k.oy) << k.name;
      EXPECT_EQ(r, k.out) << k.name;
    }
  }
  // An inverted clip lets nothing through.
  tagRECT inverted = {60, 10, 10, 40};
  s.SetClipper(&inverted);
  int32_t x = 20, y = 20;
  tagRECT r = {0, 0, 8, 4};
  EXPECT_EQ(s.PrepareBlitRect(x, y, &r, 16, 16), 0);
}

// --- colour key and pixels --------------------------------------------------------------

TEST(SurfacePixels, ColourKeyIsStoredPacked) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 4, 4, 4);
  s.SetColorKey(0x00FF00FF);
  EXPECT_EQ(s.colorkey, 0xF81Fu);
  EXPECT_EQ(s.GetColorKey(), 0x00F800F8u);
  Z2DSurface p;
  MakeSurface(e, p, 4, 4, 1);
  p.SetColorKey(0x17);
  EXPECT_EQ(p.colorkey, 0x17u);
  EXPECT_EQ(p.GetColorKey(), 0x17u);
}

TEST(SurfacePixels, GetPixelReadsOutsideTheClipButNotOutsideTheBuffer) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 10, 10, 6);
  s.PutPixel(9, 9, 0xABCDEF, 0, 0);
  tagRECT c = {0, 0, 5, 5};
  s.SetClipper(&c);
  EXPECT_EQ(s.GetPixel(9, 9), 0xABCDEFu);
  EXPECT_EQ(s.GetPixel(10, 9), 0u);
  EXPECT_EQ(s.GetPixel(-1, 0), 0u);
  EXPECT_EQ(s.GetPixelV(9, 9), 0xABCDEFu);
  EXPECT_EQ(s.GetPixelV(9, 10), 0u);
  s.PutPixel(8, 8, 0x111111, 0, 0);  // outside the clip: not drawn
  EXPECT_EQ(s.GetPixel(8, 8), 0u);
}

// The pixel rule on colour words, case by case.
TEST(SurfacePixels, PixelRuleTable) {
  struct Case {
    const char* name;
    uint8_t format;
    uint32_t dst, colour;
    int32_t flags;
    uint32_t property, expect;
  } cases[] = {
      {"plain", 6, 0x102030, 0x405060, 0, 0, 0x405060},
      {"opacity 255 writes plainly", 6, 0x102030, 0x405060, 0x08, 255, 0x405060},
      {"opacity 1000 writes plainly", 6, 0x102030, 0x405060, 0x08, 1000, 0x405060},
      {"opacity 7 on 5:5:5 draws nothing", 3, 0x0000F8, 0xF8F8F8, 0x08, 7, 0x0000F8},
      {"opacity 15 on 4:4:4 draws nothing", 2, 0x0000F0, 0xF0F0F0, 0x08, 15, 0x0000F0},
      // Quantised 8 only decides visibility; the blend uses 9: 248*9>>8 = 8 (with 8: 7).
      {"opacity 9 on 5:6:5 blends with 9", 4, 0x000000, 0x0000F8, 0x08, 9, 0x000008},
      {"opacity 128", 6, 0x000000, 0xFF8040, 0x08, 128, 0x7F4020},
      {"add saturates", 6, 0x80F010, 0x90F020, 0x10, 0, 0xFFFF30},
      {"subtract stops at 0", 6, 0x80F010, 0x90E020, 0x20, 0, 0x001000 | 0x000000},
      {"add and subtract cancel", 6, 0x102030, 0x405060, 0x30, 0, 0x405060},
      {"colorize", 6, 0x000000, 0x405060, 0x02, 0xAA123456, 0x123456},
      {"tint", 6, 0x000000, 0x804020, 0x04, 0x00204080, 0x504050},
      {"colorize and tint", 6, 0x000000, 0x000080, 0x06, 0xFF00FF00, 0x007F00},
      {"opacity with add pre-scales", 6, 0x101010, 0x808080, 0x18, 128, 0x505050},
      {"8-bit add on indices", 1, 0x000010, 0x000020, 0x10, 0, 0x30},
  };
  for (const Case& c : cases) {
    TestEngine e;
    Z2DSurface s;
    MakeSurface(e, s, 2, 1, c.format);
    s.PutPixel(0, 0, c.dst, 0, 0);
    s.PutPixel(0, 0, c.colour, c.flags, c.property);
    EXPECT_EQ(s.GetPixel(0, 0), c.expect) << c.name << std::hex << " got " << s.GetPixel(0, 0);
  }
}

}  // namespace

// The scoped lock unlocks exactly the lock it took: none for a surface without pixels, so
// a lock held outside it survives; one for a surface with pixels, on every way out.
TEST(Z2DSurface, ScopedLockReleasesOnlyWhatItTook) {
  TestEngine e;
  Z2DSurface s, empty;
  MakeSurface(e, s, 4, 4, ZFMT_RGB565);
  ASSERT_NE(s.Lock(), nullptr);  // held by the caller throughout
  for (Z2DSurface* surface : {&s, &empty, static_cast<Z2DSurface*>(nullptr)}) {
    {
      const ZSurfLock<Z2DSurface> lock(surface);
      EXPECT_EQ(bool(lock), surface == &s);
      EXPECT_EQ(lock.Pixels(), surface == &s ? s.buffer : nullptr);
      EXPECT_EQ(s.lockcount, surface == &s ? 2 : 1);
    }
    EXPECT_EQ(s.lockcount, 1);
    EXPECT_EQ(empty.lockcount, 0);
  }
  Z2DSURFACEINFO info{};
  {
    const ZSurfLock<Z2DSurface> lock(&s, &info);
    EXPECT_EQ(info.width, 4u);
  }
  s.Unlock();
  EXPECT_EQ(s.lockcount, 0);
}
