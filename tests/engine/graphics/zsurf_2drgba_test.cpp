// RGBA surfaces: storage (straight and premultiplied), creation checks, loading with
// alpha kept, and blending onto ordinary surfaces against a per-pixel reference.
#include <gtest/gtest.h>

#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

namespace {

void MakeRgba(TestEngine& e, Z2DSurfaceRGBA& s, uint32_t w, uint32_t h, uint8_t target, uint32_t flags = 1) {
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.Create(w, h, target, flags), 0);
}

// Straight colour and alpha of every source pixel: a ramp of alphas over varied colours.
void FillRamp(Z2DSurfaceRGBA& s) {
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) {
      const uint32_t a = (x * 37 + y * 71) % 256;
      const uint32_t c = (x * 29 + 40) | (y * 51 + 9) << 8 | ((x + y) * 23) << 16;
      uint32_t stored = c & 0xFFFFFF, alpha = a;
      if (s.Premultiplied()) {
        stored = ((c & 0xFF) * a / 256) | ((c >> 8 & 0xFF) * a / 256) << 8 | ((c >> 16 & 0xFF) * a / 256) << 16;
        alpha = 255 - a;
      }
      s.PutPixel(int32_t(x), int32_t(y), stored, uint8_t(alpha));
    }
}

}  // namespace

TEST(RgbaSurface, StorageOfEmptyAndPremultipliedPixels) {
  TestEngine e;
  Z2DSurfaceRGBA straight, premul;
  MakeRgba(e, straight, 4, 4, ZFMT_XRGB8888);
  MakeRgba(e, premul, 4, 4, ZFMT_XRGB8888, 1 | SURF_PREMULTIPLIED);
  EXPECT_EQ(straight.buffer[0], 0u);
  EXPECT_EQ(premul.buffer[0], 0xFFFFFFFFu);
  uint32_t c;
  uint8_t a;
  premul.GetPixel(1, 1, c, a);
  EXPECT_EQ(c, 0u);
  EXPECT_EQ(a, 0);
  // Red 200 at alpha 128: stored as 100 with alpha byte 127, read back as 100 * 256 / 129.
  premul.PutPixel(2, 1, 100, 127);
  EXPECT_EQ(premul.buffer[1 * premul.stride + 2], 0x7F640000u);
  premul.GetPixel(2, 1, c, a);
  EXPECT_EQ(c, 198u);
  EXPECT_EQ(a, 128);
}

TEST(RgbaSurface, CreationChecks) {
  TestEngine e;
  Z2DSurfaceRGBA s;
  s.LinkZCD(&e.zcd);
  EXPECT_EQ(s.Create(0, 4, ZFMT_RGB565, 1), 4);
  EXPECT_EQ(s.Create(4, 4, 0, 1), 1);
  EXPECT_EQ(s.Create(4, 4, 7, 1), 1);
  EXPECT_EQ(s.Create(4, 4, ZFMT_INDEX8, 1 | SURF_PREMULTIPLIED), 1);
  EXPECT_EQ(s.Create(4, 4, ZFMT_RGB565, 0x601), 0);
  EXPECT_EQ(s.targetformat, ZFMT_XRGB8888);
  s.PutPixel(0, 0, 0xFFFFFF, 255);
  const uint32_t* before = s.buffer;
  EXPECT_EQ(s.Create(4, 4, ZFMT_RGB565, 0x601), 0);  // same size and flags: emptied
  EXPECT_EQ(s.buffer, before);
  EXPECT_EQ(s.buffer[0], 0u);
}

TEST(RgbaSurface, LoadKeepsAlpha) {
  TestEngine e;
  e.display.RegisterLoader(new ZLoader_PNG);
  ldrtest::PngPicture spec;
  spec.width = 2;
  spec.colourtype = 6;
  spec.samples = {200, 100, 50, 128, 0, 0, 0, 0};
  const ldrtest::Bytes png = ldrtest::MakePng(spec);
  Z2DSurfaceRGBA s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_XRGB8888, 1 | SURF_PREMULTIPLIED), 0);
  EXPECT_EQ(s.buffer[0], uint32_t(127) << 24 | 100u << 16 | 50u << 8 | 25u);
  EXPECT_EQ(s.buffer[1], 0xFF000000u);  // transparent black: nothing dropped, nothing keyed
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1), 0);
  EXPECT_EQ(s.buffer[0], 128u << 24 | ZSurf_Pack(ZFMT_RGB565, 0x3264C8));
}

TEST(RgbaSurface, BlendOntoFiveSixFive) {
  TestEngine e;
  Z2DSurfaceRGBA src;
  MakeRgba(e, src, 1, 1, ZFMT_RGB565);
  Z2DSurface dst;
  MakeSurface(e, dst, 2, 2, ZFMT_RGB565);
  const uint32_t d = ZSurf_Pack(4, 0x204080), s = ZSurf_Pack(4, 0xF0C010);
  dst.Clear(0x204080);
  src.PutPixel(0, 0, 0xF0C010, 128);
  ASSERT_EQ(dst.BltFast(0, 0, &src, nullptr, 0, 0), 0);
  auto field = [](uint32_t p, int shift, uint32_t mask) { return p >> shift & mask; };
  const uint32_t got = ZSurf_Load16(dst.buffer);
  EXPECT_EQ(field(got, 11, 31), (field(d, 11, 31) * 32 + field(s, 11, 31) * 32) / 64);
  EXPECT_EQ(field(got, 5, 63), (field(d, 5, 63) * 32 + field(s, 5, 63) * 32) / 64);
  EXPECT_EQ(field(got, 0, 31), (field(d, 0, 31) * 32 + field(s, 0, 31) * 32) / 64);
  // Alpha 255 copies; the colour key flag changes nothing; opacity 7 is nothing on 5:6:5.
  src.PutPixel(0, 0, 0xF0C010, 255);
  ASSERT_EQ(dst.BltFast(1, 1, &src, nullptr, 1, 0), 0);
  EXPECT_EQ(dst.GetPixel(1, 1), ZSurf_Expand(4, s));
  EXPECT_EQ(dst.BltFast(1, 1, &src, nullptr, 8, 7), 10);
  EXPECT_EQ(dst.BltFast(5, 5, &src, nullptr, 0, 0), 4);
}

// The ramp drawn with flags and property onto two cleared 9x7 32-bit surfaces: onto a from
// a source of the 32-bit target format (the same-format workers), onto b from a source of
// otherTarget holding the same colours (the per-pixel path).
void DrawBothPaths(TestEngine& e, uint8_t otherTarget, bool premultiplied, uint32_t flags,
                   uint32_t property, Z2DSurface& a, Z2DSurface& b) {
  Z2DSurfaceRGBA same, other;
  const uint32_t extra = premultiplied ? uint32_t(SURF_PREMULTIPLIED) : 0u;
  MakeRgba(e, same, 9, 7, ZFMT_XRGB8888, 1 | extra);
  MakeRgba(e, other, 9, 7, otherTarget, 1 | extra);
  FillRamp(same);
  FillRamp(other);
  MakeSurface(e, a, 9, 7, ZFMT_XRGB8888);
  MakeSurface(e, b, 9, 7, ZFMT_XRGB8888);
  a.Clear(0x506070);
  b.Clear(0x506070);
  ASSERT_EQ(a.BltFast(0, 0, &same, nullptr, int32_t(flags), property), 0);
  ASSERT_EQ(b.BltFast(0, 0, &other, nullptr, int32_t(flags), property), 0);
}

TEST(RgbaSurface, WorkersAgreeWithThePerPixelPath) {
  // The same image drawn by the same-format workers and by the per-pixel blend (through a
  // source of another target format holding the same colours), straight and premultiplied:
  // within one step of the destination's channels.
  const uint32_t flagsets[][2] = {{0, 0}, {0x08, 160}, {0x10, 0}, {0x20, 0}, {0x02, 0x00C08040}, {0x04, 0x00C08040}};
  for (bool premultiplied : {false, true})
    for (auto& fp : flagsets) {
      TestEngine e;
      Z2DSurface a, b;
      ASSERT_NO_FATAL_FAILURE(DrawBothPaths(e, ZFMT_RGB565, premultiplied, fp[0], fp[1], a, b));
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
          const uint32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
          for (int s = 0; s < 24; s += 8) {
            const int diff = int(p >> s & 0xFF) - int(q >> s & 0xFF);
            // The other source went through 5:6:5, which keeps 5 or 6 bits a channel.
            ASSERT_LE(std::abs(diff), 12) << "flags " << fp[0] << " premul " << premultiplied << " at " << x << "," << y;
          }
        }
    }
}

TEST(RgbaSurface, WorkersAgreeWithThePerPixelPathAtFullPrecision) {
  // Sources whose target formats (24 and 32 bits) both keep 8 bits a channel: the
  // same-format workers and the per-pixel blend then differ only by their rounding, each
  // effect (opacity, add, subtract, colorize, tint, both, with opacity) included.
  const uint32_t flagsets[][2] = {{0, 0},          {0x08, 160},        {0x10, 0},
                                  {0x20, 0},       {0x18, 96},         {0x02, 0x00C08040},
                                  {0x04, 0x00C08040}, {0x06, 0x00C08040}, {0x0A, 0x80C08040}};
  for (bool premultiplied : {false, true})
    for (auto& fp : flagsets) {
      TestEngine e;
      Z2DSurface a, b;
      ASSERT_NO_FATAL_FAILURE(DrawBothPaths(e, ZFMT_RGB888, premultiplied, fp[0], fp[1], a, b));
      int worst = 0;
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
          const uint32_t p = a.GetPixel(x, y), q = b.GetPixel(x, y);
          for (int s = 0; s < 24; s += 8)
            worst = std::max(worst, std::abs(int(p >> s & 0xFF) - int(q >> s & 0xFF)));
        }
      // The premultiplied copy worker weighs the destination by (255 - A) / 256, one
      // 256th less than the straight blend: one more step of rounding.
      EXPECT_LE(worst, premultiplied && fp[0] == 0 ? 2 : 1) << "flags " << fp[0] << " premul " << premultiplied;
    }
}

TEST(RgbaSurface, MaskAndReplaceAndFontWidth) {
  TestEngine e;
  Z2DSurfaceRGBA s;
  MakeRgba(e, s, 40, 2, ZFMT_XRGB8888);
  s.PutPixel(0, 0, 0x123456, 200);
  s.PutPixel(33, 1, 0x123456, 100);
  s.BuildTableMask(150);
  ASSERT_NE(s.masktable, nullptr);
  EXPECT_EQ(s.masktable[0], 0x80000000u);
  EXPECT_EQ(s.masktable[3], 0u);
  EXPECT_EQ(s.ReplaceColor(0xABCDEF, 0x123456, false), 1);
  uint32_t c;
  uint8_t a;
  s.GetPixel(33, 1, c, a);
  EXPECT_EQ(c, 0xABCDEFu);
  EXPECT_EQ(a, 100);
  // Width 40 / 128 = 0 a glyph without a table; characters 128-255 are characters too.
  EXPECT_EQ(s.GetFontWidth("\xE9t\xE9"), 0u);
  Z2DSurfaceRGBA wide;
  MakeRgba(e, wide, 256, 1, ZFMT_XRGB8888);
  EXPECT_EQ(wide.GetFontWidth("ab\xE9\ncd"), 6u);
  EXPECT_EQ(wide.GetFontWidth("\x01\x02"), 0u);
}
