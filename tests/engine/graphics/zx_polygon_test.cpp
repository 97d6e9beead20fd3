// Triangles, gradients and the rotated / scaled blit: exact coverage derived by hand, the
// no-gap / no-overlap rule, clipping with a canary border, the texture workers against
// each other, and golden checksums of fixed scenes.
#include <gtest/gtest.h>

#include <vector>

#include "engine/graphics/zx_polygon.h"
#include "tests/engine/graphics/gfx_test_engine.h"

namespace {

std::vector<std::pair<int, int>> Covered(const Z2DSurface& s, uint32_t background = 0) {
  std::vector<std::pair<int, int>> out;
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x)
      if (s.GetPixel(int32_t(x), int32_t(y)) != background) out.emplace_back(int(x), int(y));
  return out;
}

// A source whose every pixel differs: colour from its position.
void Card(Z2DSurface& s) {
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x)
      s.PutPixel(int32_t(x), int32_t(y), (x * 37 + 11) | (y * 53 + 7) << 8 | (x ^ y) << 19, 0, 0);
}

}  // namespace

TEST(Polygon, SmallTriangleCoversExactlySixPixels) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 8, 8, ZFMT_XRGB8888);
  s.FillPoly(0, 0, 4, 0, 0, 4, 0xFFFFFF, 0, 0);
  const std::vector<std::pair<int, int>> want = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}};
  EXPECT_EQ(Covered(s), want);
}

TEST(Polygon, SharedSidesNeitherOverlapNorLeaveGaps) {
  // Quads split along a diagonal, drawn with add: inside, every pixel is hit exactly once.
  struct Quad {
    int32_t x[4], y[4];  // 22.10, in order around the quad
  } const quads[] = {
      {{0, 10240, 10240, 0}, {0, 0, 8192, 8192}},
      {{1500, 20000, 17000, 300}, {700, 2100, 15000, 13100}},
      {{5000, 19000, 12000, -3000}, {-2000, 6000, 21000, 9000}},
  };
  for (const Quad& q : quads) {
    TestEngine e;
    Z2DSurface once, twice;
    MakeSurface(e, once, 24, 24, ZFMT_RGB565);
    MakeSurface(e, twice, 24, 24, ZFMT_RGB565);
    const uint32_t one = 0x080808;
    once.FillPolyV(q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], one, 0x10, 0);
    once.FillPolyV(q.x[0], q.y[0], q.x[2], q.y[2], q.x[3], q.y[3], one, 0x10, 0);
    // The other diagonal covers the same area.
    twice.FillPolyV(q.x[0], q.y[0], q.x[1], q.y[1], q.x[3], q.y[3], one, 0x10, 0);
    twice.FillPolyV(q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3], one, 0x10, 0);
    for (uint32_t y = 0; y < 24; ++y)
      for (uint32_t x = 0; x < 24; ++x) {
        const uint32_t a = once.GetPixel(int32_t(x), int32_t(y)), b = twice.GetPixel(int32_t(x), int32_t(y));
        ASSERT_TRUE(a == 0 || a == ZSurf_Expand(ZFMT_RGB565, ZSurf_Pack(ZFMT_RGB565, one))) << x << "," << y;
        ASSERT_EQ(a, b) << x << "," << y;
      }
    EXPECT_FALSE(Covered(once).empty());
  }
}

TEST(Polygon, DegenerateAndOffscreenTrianglesStayInsideTheClip) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 20, 20, ZFMT_RGB565);
  s.FillPoly(1, 5, 9, 5, 15, 5, 0xFFFFFF, 0, 0);  // one row: nothing
  s.FillPoly(3, 3, 3, 3, 3, 3, 0xFFFFFF, 0, 0);
  EXPECT_TRUE(Covered(s).empty());
  const tagRECT clip{5, 5, 15, 15};
  s.SetClipper(&clip);
  const int32_t far = 0x7FFFFFFF;
  s.FillPolyV(-far, -far, far, -far / 2, 0, far, 0xFFFFFF, 0, 0);
  s.FillPoly(-1000000, 10, 1000000, -7, 12, 3000000, 0xFFFFFF, 0x10, 0);
  s.GradientPolyV(-far, 0, 0xFF, far, 10240, 0xFF00, 0, far, 0xFF0000, 0x40);
  for (auto& p : Covered(s)) {
    ASSERT_GE(p.first, 5);
    ASSERT_LT(p.first, 15);
    ASSERT_GE(p.second, 5);
    ASSERT_LT(p.second, 15);
  }
  EXPECT_EQ(Covered(s).size(), 100u);
}

TEST(Polygon, Gradients) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 16, 12, ZFMT_RGB565);
  const tagRECT r{2, 3, 11, 9};
  s.GradientRect(&r, 0x3080C0, 0x3080C0, 0x3080C0, 0x3080C0, 0);
  std::vector<std::pair<int, int>> want;
  for (int y = 3; y < 9; ++y)
    for (int x = 2; x < 11; ++x) want.emplace_back(x, y);
  auto got = Covered(s);
  std::sort(got.begin(), got.end(), [](auto a, auto b) { return a.second != b.second ? a.second < b.second : a.first < b.first; });
  EXPECT_EQ(got, want);
  for (auto& p : got) EXPECT_EQ(s.GetPixel(p.first, p.second), ZSurf_Expand(4, ZSurf_Pack(4, 0x3080C0)));
  // Dithering leaves a channel of 255 alone, and equal corners otherwise vary by one step.
  s.GradientRect(nullptr, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x40);
  for (auto& p : Covered(s)) ASSERT_EQ(s.GetPixel(p.first, p.second), 0xF8FCF8u);
  EXPECT_EQ(Covered(s).size(), 16u * 12u);
  // A horizontal ramp from black to red increases left to right.
  s.GradientRectH(nullptr, 0x000000, 0x0000FF, 0);
  for (int x = 1; x < 16; ++x) EXPECT_GE(s.GetPixel(x, 5) & 0xFF, s.GetPixel(x - 1, 5) & 0xFF);
}

TEST(Polygon, DitheredGouraudFollowsTheDiagonalFromTheSpanStart) {
  // Flat grey 0x41 everywhere: a channel steps up only where its table's column 1 (0x41's
  // dropped bits) holds the step. Column 1 has one step in each table: row 5 of the 8-row
  // table, row 2 of the 4-row one and row 7 of the 16-row one. The row is (y + j) with j
  // counted from the span's first pixel (here x = 3), not from the surface's left.
  for (uint8_t format : {ZFMT_RGB444, ZFMT_RGB555, ZFMT_RGB565}) {
    TestEngine e;
    Z2DSurface s;
    MakeSurface(e, s, 20, 16, format);
    s.GradientPoly(3, 0, 0x414141, 15, 0, 0x414141, 3, 12, 0x414141, 0x40);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x) {
        const uint16_t got = ZSurf_Load16(s.buffer + (y * s.stride + x) * 2);
        uint32_t want = 0;
        if (y <= 10 && x >= 3 && x <= 13 - y) {
          const int d = y + (x - 3);
          const uint32_t c8 = 0x41 + (d % 8 == 5 ? 8 : 0), c4 = 0x41 + (d % 4 == 2 ? 4 : 0),
                         c16 = 0x41 + (d % 16 == 7 ? 16 : 0);
          if (format == ZFMT_RGB444) want = (c16 >> 4) << 8 | (c16 >> 4) << 4 | c16 >> 4;
          if (format == ZFMT_RGB555) want = (c8 >> 3) << 10 | (c8 >> 3) << 5 | c8 >> 3;
          if (format == ZFMT_RGB565) want = (c8 >> 3) << 11 | (c4 >> 2) << 5 | c8 >> 3;
        }
        ASSERT_EQ(got, want) << "format " << int(format) << " at " << x << "," << y;
      }
  }
}

// Gradient rows of 16-bit formats go through tables when every channel stays in 0-255:
// against the per-pixel rule, rows of each format, dithered or not, with channels inside,
// at the edges of and beyond that range, short and long, clipped on the left.
TEST(Polygon, GradientRowsMatchTheRuleOnePixelAtATime) {
  constexpr int32_t kRows = 64, kWidth = 100;
  struct Ramp {
    int32_t from, to;  // a channel's 22.10 value at the span's two ends
  };
  const Ramp ramps[] = {{0, 255 << 10},           {255 << 10, 0},        {(255 << 10) + 1023, 3},
                        {-5000, 200 << 10},       {10 << 10, 300 << 10}, {0x41 << 10, 0x41 << 10},
                        {(128 << 10) + 77, 1000}, {-1, -1},              {0, 0}};
  constexpr int kRamps = sizeof ramps / sizeof ramps[0];
  for (uint8_t format : {ZFMT_RGB444, ZFMT_RGB555, ZFMT_RGB565})
    for (bool dither : {false, true}) {
      std::vector<uint8_t> fast(kRows * kWidth * 2, 0xAB), plain(fast);
      int16_t left[kRows], right[kRows];
      int32_t leftrec[4 * kRows], rightrec[4 * kRows];
      for (int32_t r = 0; r < kRows; ++r) {
        left[r] = int16_t(r % 7 == 3 ? 5 : 3 + r % 3);  // the clip's left at 3
        right[r] = int16_t(r % 11 == 0 ? left[r] : kWidth - 1 - r % 13);
        leftrec[4 * r] = (r % 5) * 1024 + (r * 97) % 1024;
        rightrec[4 * r] = right[r] * 1024 + 512;
        for (int c = 0; c < 3; ++c) {
          const Ramp& ramp = ramps[(r + 3 * c) % kRamps];
          leftrec[4 * r + 1 + c] = ramp.from;
          rightrec[4 * r + 1 + c] = ramp.to;
        }
      }
      ZX_RS_ARGS a{};
      a.dstride = kWidth;
      a.left = left;
      a.right = right;
      a.leftrec = leftrec;
      a.rightrec = rightrec;
      a.top = 0;
      a.end = kRows - 1;
      a.clipleft = 3;
      a.bits = 16;
      a.format = format;
      a.dst = fast.data();
      if (dither) ZxRsBltGradientDith(a);
      else ZxRsBltGradient(a);
      a.dst = plain.data();
      ZxRsBltGradientPlain(a, dither);
      for (int32_t r = 0; r < kRows; ++r)
        for (int32_t x = 0; x < kWidth; ++x) {
          const size_t at = size_t(r * kWidth + x) * 2;
          ASSERT_EQ(ZSurf_Load16(&fast[at]), ZSurf_Load16(&plain[at]))
              << "format " << int(format) << " dither " << dither << " row " << r << " x " << x;
        }
    }
}

TEST(RotateScale, UntransformedIsBltFastCentred) {
  TestEngine e;
  Z2DSurface src, a, b;
  MakeSurface(e, src, 7, 5, ZFMT_RGB565);
  Card(src);
  MakeSurface(e, a, 20, 20, ZFMT_RGB565);
  MakeSurface(e, b, 20, 20, ZFMT_RGB565);
  EXPECT_EQ(a.BltFx(10, 9, &src, nullptr, nullptr), 0);
  EXPECT_EQ(b.BltFast(10 - 3, 9 - 2, &src, nullptr, 0, 0), 0);
  EXPECT_EQ(LogicalPixels(a), LogicalPixels(b));
}

TEST(RotateScale, DoubleScaleOfThreeByThree) {
  TestEngine e;
  Z2DSurface src, s;
  MakeSurface(e, src, 3, 3, ZFMT_XRGB8888);
  Card(src);
  MakeSurface(e, s, 16, 16, ZFMT_XRGB8888);
  ASSERT_EQ(s.Blt(7, 7, &src, nullptr, 0, 0x20000, 0, 0, 0), 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 5 && x <= 10 && y >= 5 && y <= 10;
      const uint32_t want = inside ? src.GetPixel((x - 5) / 2, (y - 5) / 2) : 0;
      ASSERT_EQ(s.GetPixel(x, y), want) << x << "," << y;
    }
}

TEST(RotateScale, FlipsAndHalfTurn) {
  TestEngine e;
  Z2DSurface src, flip3, half, mirror;
  MakeSurface(e, src, 6, 4, ZFMT_RGB565);
  Card(src);
  for (Z2DSurface* s : {&flip3, &half, &mirror}) MakeSurface(e, *s, 12, 12, ZFMT_RGB565);
  ASSERT_EQ(flip3.Blt(6, 6, &src, nullptr, 0, 0x10000, 3, 0, 0), 0);
  ASSERT_EQ(half.Blt(6, 6, &src, nullptr, 2048, 0x10000, 0, 0, 0), 0);
  EXPECT_EQ(LogicalPixels(flip3), LogicalPixels(half));
  ASSERT_EQ(mirror.Blt(6, 6, &src, nullptr, 0, 0x10000, 1, 0, 0), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(mirror.GetPixel(3 + x, 4 + y), src.GetPixel(5 - x, y));
}

TEST(RotateScale, ResultsAndFlagsWrittenBack) {
  TestEngine e;
  Z2DSurface src, s, other, empty;
  MakeSurface(e, src, 4, 4, ZFMT_RGB565);
  MakeSurface(e, s, 8, 8, ZFMT_RGB565);
  MakeSurface(e, other, 4, 4, ZFMT_XRGB8888);
  empty.LinkZCD(&e.zcd);
  Z2DBLTFX fx{0x38, 300, 0x10000, 0x10000, 5, 0};  // add + subtract cancel; opacity 300: opaque
  EXPECT_EQ(s.BltFx(4, 4, &src, nullptr, &fx), 0);
  EXPECT_EQ(fx.flags, 0);
  Z2DBLTFX faint{0x08, 7, 0x10000, 0x10000, 5, 0};
  EXPECT_EQ(s.BltFx(4, 4, &src, nullptr, &faint), 10);
  Z2DBLTFX tinted{0x0C, 0x64FF0000, 0x10000, 0x10000, 5, 0};
  EXPECT_EQ(s.BltFx(4, 4, &src, nullptr, &tinted), 0);
  EXPECT_EQ(tinted.property, 0x60FF0000u);  // the opacity quantised for 5:6:5
  Z2DBLTFX turn{0, 0, 0x10000, 0x10000, 5, 0};
  EXPECT_EQ(s.BltFx(4, 4, &other, nullptr, &turn), 11);
  EXPECT_EQ(empty.BltFx(4, 4, &src, nullptr, &turn), 11);  // format 0
  uint8_t* pixels = src.buffer;
  src.buffer = nullptr;
  EXPECT_EQ(s.BltFx(4, 4, &src, nullptr, &turn), 12);
  src.buffer = pixels;
  EXPECT_EQ(s.lockcount, 0);
  EXPECT_EQ(src.lockcount, 0);
  EXPECT_EQ(s.BltFx(4, 4, nullptr, nullptr, &turn), 4);
  EXPECT_EQ(s.BltFx(400, 4, &src, nullptr, &turn), 0);  // off to the side: rows exist
  EXPECT_EQ(s.BltFx(4, 400, &src, nullptr, &turn), 4);  // no row inside
  const tagRECT outside{10, 10, 12, 12};
  EXPECT_EQ(s.BltFx(4, 4, &src, &outside, &turn), 4);
}

TEST(RotateScale, EightBitCopiesUnderEffectsAndSkipsKeyAlone) {
  TestEngine e;
  Z2DSurface src, s;
  MakeSurface(e, src, 2, 1, ZFMT_INDEX8);
  src.PutPixel(0, 0, 5, 0, 0);
  src.PutPixel(1, 0, 9, 0, 0);
  src.SetColorKey(5);
  MakeSurface(e, s, 6, 6, ZFMT_INDEX8);
  s.Clear(1);
  // 4 x 2 pixels: columns 1-4, rows 3-4 (the odd height moves the centre down one).
  ASSERT_EQ(s.Blt(3, 3, &src, nullptr, 0, 0x20000, 0, 0x11, 0), 0);
  EXPECT_EQ(s.GetPixel(1, 3), 5u);
  EXPECT_EQ(s.GetPixel(4, 4), 9u);
  EXPECT_EQ(s.GetPixel(1, 2), 1u);
  s.Clear(1);
  ASSERT_EQ(s.Blt(3, 3, &src, nullptr, 0, 0x20000, 0, 0x01, 0), 0);
  EXPECT_EQ(s.GetPixel(1, 3), 1u);
  EXPECT_EQ(s.GetPixel(4, 4), 9u);
}

TEST(RotateScale, PlusWorkersMatchTheGeneralOnes) {
  TestEngine e;
  Z2DSurface src;
  MakeSurface(e, src, 64, 64, ZFMT_RGB565);
  Card(src);
  src.SetColorKey(src.GetPixel(3, 3));
  // The same source with a wider stride is not a Plus source.
  std::vector<uint16_t> padded(128 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) padded[size_t(y) * 128 + size_t(x)] = ZSurf_Load16(src.buffer + (y * 64 + x) * 2);
  for (uint32_t flags : {0u, 1u, 0x19u, 0x0Cu}) {
    Z2DSurface plus, general;
    MakeSurface(e, plus, 40, 40, ZFMT_RGB565);
    MakeSurface(e, general, 40, 40, ZFMT_RGB565);
    for (Z2DSurface* d : {&plus, &general}) {
      d->Clear(0x123456);
      // Spans of a turned quad whose texture coordinates run past the source (tiling).
      d->TexturePoly(2, 3, -70, -10, 37, 6, 100, 5, 20, 38, 30, 150, &src, int32_t(flags),
                     0x80FF00FF);
    }
    // Redo the second with the padded copy through the general worker.
    general.Clear(0x123456);
    const uint8_t* saved = src.buffer;
    const int32_t savedstride = src.stride;
    src.buffer = reinterpret_cast<uint8_t*>(padded.data());
    src.stride = 128;
    general.TexturePoly(2, 3, -70, -10, 37, 6, 100, 5, 20, 38, 30, 150, &src, int32_t(flags),
                        0x80FF00FF);
    src.buffer = const_cast<uint8_t*>(saved);
    src.stride = savedstride;
    EXPECT_EQ(LogicalPixels(plus), LogicalPixels(general)) << flags;
  }
}

TEST(RotateScale, NegativeTilingIsUnsignedModulo) {
  // Column -1 counts as 2^32 - 1, which is 0 modulo 3 (the mathematical modulo gives 2).
  TestEngine e;
  Z2DSurface src, s;
  MakeSurface(e, src, 3, 1, ZFMT_XRGB8888);
  src.PutPixel(0, 0, 0x0000AA, 0, 0);
  src.PutPixel(1, 0, 0x0000BB, 0, 0);
  src.PutPixel(2, 0, 0x0000CC, 0, 0);
  MakeSurface(e, s, 4, 4, ZFMT_XRGB8888);
  // A triangle whose source x is -1 (22.10: -1024 .. -1) over its first pixel.
  s.TexturePolyV(0, 0, -1024, 0, 4096, 0, 3072, 0, 0, 4096, -1024, 0, &src, 0, 0);
  EXPECT_EQ(s.GetPixel(0, 0), 0x0000AAu);
}

TEST(RotateScale, TexturesOfAnotherFormatDrawNothing) {
  TestEngine e;
  Z2DSurface src, s;
  MakeSurface(e, src, 4, 4, ZFMT_XRGB8888);
  Card(src);
  MakeSurface(e, s, 8, 8, ZFMT_RGB565);
  EXPECT_EQ(s.TexturePoly(0, 0, 0, 0, 8, 0, 4, 0, 0, 8, 0, 4, &src, 0, 0), 11);
  EXPECT_TRUE(Covered(s).empty());
}

TEST(RotateScale, GoldenSweep) {
  // Rotozoom over every quadrant, three scales and the flips, on each display rotation.
  const uint32_t golden[4] = {72168653u, 2974281485u, 2202445853u, 2513745789u};
  for (uint8_t rotation = 0; rotation < 4; ++rotation) {
    TestEngine e(rotation);
    Z2DSurface src, s;
    MakeSurface(e, src, 13, 9, ZFMT_RGB565);
    Card(src);
    MakeSurface(e, s, 64, 48, ZFMT_RGB565);
    uint32_t h = 2166136261u;
    for (uint16_t angle = 0; angle < 4096; angle += 256)
      for (uint32_t scale : {0x8000u, 0x10000u, 0x20000u})
        for (uint8_t flip = 0; flip < 4; ++flip) {
          s.Clear(0);
          s.Blt(31, 23, &src, nullptr, angle, scale, flip, 0, 0);
          h = (h ^ LogicalChecksum(s)) * 16777619u;
        }
    EXPECT_EQ(h, golden[rotation]) << int(rotation);
  }
}

TEST(Polygon, NothingOutsideTheClipAtAnyRotation) {
  // Triangles and turned blits with corners near and far, on each display rotation: the
  // pixels outside the logical clip rectangle keep the canary colour.
  for (uint8_t rotation = 0; rotation < 4; ++rotation) {
    TestEngine e(rotation);
    Z2DSurface s, tex;
    MakeSurface(e, s, 20, 16, ZFMT_RGB565);
    MakeSurface(e, tex, 5, 3, ZFMT_RGB565);
    Card(tex);
    s.Clear(0x00FF00);
    const tagRECT clip{3, 2, 15, 12};
    s.SetClipper(&clip);
    uint32_t r = 12345 + rotation;
    auto next = [&](int32_t range) {
      r = r * 1103515245u + 12345;
      return int32_t((r >> 8) % uint32_t(2 * range + 1)) - range;
    };
    for (int i = 0; i < 200; ++i) {
      const int32_t range = i % 3 == 0 ? 40 : i % 3 == 1 ? 5000 : 2000000;
      s.FillPoly(next(range), next(range), next(range), next(range), next(range), next(range),
                 0x102030, 0x10, 0);
      s.GradientPoly(next(range), next(range), 0xFF, next(range), next(range), 0xFF00, next(range),
                     next(range), 0xFF0000, 0x40);
      s.TexturePoly(next(range), next(range), next(9), next(9), next(range), next(range), next(9),
                    next(9), next(range), next(range), next(9), next(9), &tex, 0, 0);
      s.Blt(next(30), next(30), &tex, nullptr, uint16_t(next(4096)),
            uint32_t(1 + next(0x40000) + 0x40000), uint8_t(i & 3), 0, 0);
    }
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x)
        if (x < 3 || x >= 15 || y < 2 || y >= 12) {
          ASSERT_EQ(s.GetPixel(x, y), ZSurf_Expand(4, ZSurf_Pack(4, 0x00FF00))) << int(rotation) << " " << x << "," << y;
        }
  }
}

TEST(Polygon, GoldenTriangleScenes) {
  // Flat fills with effects, gouraud with and without dithering, textured with key and
  // effects, on three formats; one checksum each.
  const uint8_t formats[] = {ZFMT_RGB444, ZFMT_RGB565, ZFMT_XRGB8888};
  const uint32_t golden[] = {3573413877u, 2260060085u, 2670173261u};
  for (int k = 0; k < 3; ++k) {
    TestEngine e;
    Z2DSurface s, tex;
    MakeSurface(e, s, 48, 40, formats[k]);
    MakeSurface(e, tex, 8, 8, formats[k]);
    Card(tex);
    tex.SetColorKey(tex.GetPixel(2, 2));
    s.Clear(0x303030);
    s.FillPoly(2, 2, 30, 5, 8, 30, 0xC08040, 0, 0);
    s.FillPoly(20, 1, 46, 20, 10, 25, 0x2080F0, 0x08, 100);
    s.FillPolyV(5000, 30000, 40000, 39000, 47000, 15000, 0x404040, 0x10, 0);
    s.GradientPoly(0, 39, 0x0000FF, 24, 20, 0x00FF00, 47, 39, 0xFF0000, 0);
    s.GradientPoly(0, 0, 0xFFFFFF, 47, 0, 0x102030, 24, 18, 0x808080, 0x40);
    s.TexturePoly(4, 20, 0, 0, 28, 16, 8, 0, 12, 38, 0, 8, &tex, 0x01, 0);
    s.TexturePoly(30, 22, -4, -4, 46, 38, 12, 12, 26, 38, 0, 12, &tex, 0x0C, 0x80FF8040);
    EXPECT_EQ(LogicalChecksum(s), golden[k]) << int(formats[k]);
  }
}
