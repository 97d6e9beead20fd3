// Collision masks and Intersect against a brute-force oracle that tests pixel by pixel in
// screen order, on fixtures built here: touching and one-pixel overlaps, colour-keyed
// holes, offsets and rectangles off both edges, unaligned widths, surfaces of different
// formats and kinds, every rotation, and hostile arguments.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zx_intersect.h"
#include "gfx_test_engine.h"

namespace {

uint32_t Mean(uint32_t c) { return ((c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF)) / 3; }

// A pixel is solid when it is not the key and its channels' mean reaches the threshold.
bool Solid(const Z2DSurface& s, int32_t x, int32_t y, uint8_t threshold) {
  const uint32_t c = s.GetPixelV(x, y);
  return c != s.GetColorKey() && Mean(c) >= threshold;
}

uint32_t Rand(uint32_t& s) {
  s = s * 1103515245u + 12345u;
  return s >> 9;
}

// Noise with about one solid pixel in four on a key of 0x00FF00FF.
void Speckle(Z2DSurface& s, uint32_t seed, int percent = 25) {
  s.SetColorKey(0xFF00FF);
  for (int32_t y = 0; y < int32_t(s.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(s.GetWidth()); ++x)
      s.PutPixel(x, y, int(Rand(seed) % 100) < percent ? 0x00C08040 + (Rand(seed) & 0x1F1F1F) : 0xFF00FF, 0, 0);
}

struct Hit {
  int result;
  tagPOINT point;
};

// Rotation 0 (buffer = logical): each rectangle is limited to its clip without moving its
// position; the first pixel in screen order where both are solid is the hit, reported as
// its screen position plus the first rectangle's (limited) left and top.
template <class SolidA, class SolidB>
Hit Oracle(int64_t x1, int64_t y1, tagRECT r1, const tagRECT& clip1, int64_t x2, int64_t y2, tagRECT r2,
           const tagRECT& clip2, SolidA a, SolidB b) {
  if (!RectIntersect(&r1, &clip1, &r1) || !RectIntersect(&r2, &clip2, &r2)) return {0, {-1, -1}};
  const int64_t left = std::max(x1, x2), right = std::min(x1 + r1.right - r1.left, x2 + r2.right - r2.left);
  const int64_t top = std::max(y1, y2), bottom = std::min(y1 + r1.bottom - r1.top, y2 + r2.bottom - r2.top);
  for (int64_t sy = top; sy < bottom; ++sy)
    for (int64_t sx = left; sx < right; ++sx)
      if (a(int32_t(r1.left + sx - x1), int32_t(r1.top + sy - y1)) &&
          b(int32_t(r2.left + sx - x2), int32_t(r2.top + sy - y2)))
        return {1, {int32_t(sx + r1.left), int32_t(sy + r1.top)}};
  return {0, {-1, -1}};
}

void ExpectHit(const Hit& want, int result, const tagPOINT& point, const std::string& what) {
  EXPECT_EQ(result, want.result) << what;
  EXPECT_EQ(point.x, want.point.x) << what;
  EXPECT_EQ(point.y, want.point.y) << what;
}

TEST(CollisionMask, BitsFollowKeyAndThresholdInEveryFormat) {
  TestEngine e;
  for (uint8_t fmt = 1; fmt <= 6; ++fmt)
    for (uint8_t threshold : {0, 1, 90, 200, 255}) {
      Z2DSurface s;
      MakeSurface(e, s, 45, 3, fmt);  // two words a row, the second partly padding
      uint32_t seed = fmt * 31u + threshold;
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 45; ++x) s.PutPixel(x, y, Rand(seed) % 5 == 0 ? 0 : Rand(seed) & 0xFFFFFF, 0, 0);
      s.SetColorKey(0);  // black
      s.BuildTableMask(threshold);
      ASSERT_NE(s.masktable, nullptr);
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 64; ++x) {
          const bool bit = s.masktable[y * 2 + x / 32] >> (31 - x % 32) & 1;
          ASSERT_EQ(bit, x < 45 && Solid(s, x, y, threshold))
              << "format " << int(fmt) << " threshold " << int(threshold) << " at " << x << "," << y;
        }
    }
}

// Named cases on two solid 8 x 8 squares and a ring with a keyed hole.
TEST(Intersect, TouchingOverlappingAndHoles) {
  TestEngine e;
  Z2DSurface a, b, ring, dot;
  for (Z2DSurface* s : {&a, &b}) {
    MakeSurface(e, *s, 8, 8, ZFMT_RGB565);
    s->FillRect(nullptr, 0xFFFFFF, 0, 0);
    s->SetColorKey(0xFF00FF);
    s->BuildTableMask(0);
  }
  MakeSurface(e, ring, 10, 10, ZFMT_RGB565);
  ring.FillRect(nullptr, 0x808080, 0, 0);
  const tagRECT hole = {3, 3, 7, 7};
  ring.FillRect(&hole, 0xFF00FF, 0, 0);
  ring.SetColorKey(0xFF00FF);
  ring.BuildTableMask(0);
  MakeSurface(e, dot, 2, 2, ZFMT_RGB565);
  dot.FillRect(nullptr, 0x00FF00, 0, 0);
  dot.BuildTableMask(0);
  struct Case {
    const char* what;
    Z2DSurface* s1;
    int32_t x1, y1;
    Z2DSurface* s2;
    int32_t x2, y2;
    int result;
    tagPOINT point;
  } cases[] = {
      {"touching on the right", &a, 10, 10, &b, 18, 10, 0, {-1, -1}},
      {"touching on the left", &a, 10, 10, &b, 2, 10, 0, {-1, -1}},
      {"touching below", &a, 10, 10, &b, 10, 18, 0, {-1, -1}},
      {"touching above", &a, 10, 10, &b, 10, 2, 0, {-1, -1}},
      {"touching corners", &a, 10, 10, &b, 18, 18, 0, {-1, -1}},
      {"one column", &a, 10, 10, &b, 17, 14, 1, {17, 14}},
      {"one column on the left", &a, 10, 10, &b, 3, 6, 1, {10, 10}},
      {"one row", &a, 10, 10, &b, 5, 17, 1, {10, 17}},
      {"one corner pixel", &a, 10, 10, &b, 17, 17, 1, {17, 17}},
      {"the same place", &a, -3, -4, &b, -3, -4, 1, {-3, -4}},
      {"a dot in the hole", &ring, 20, 20, &dot, 24, 24, 0, {-1, -1}},
      {"a dot filling the hole's corner", &ring, 20, 20, &dot, 23, 23, 0, {-1, -1}},
      {"a dot one off the hole", &ring, 20, 20, &dot, 22, 24, 1, {22, 24}},
      {"a dot below the hole", &ring, 20, 20, &dot, 25, 26, 1, {25, 27}},
  };
  for (const Case& c : cases) {
    tagPOINT p{7, 7};
    ExpectHit({c.result, c.point}, c.s1->Intersect(c.x1, c.y1, nullptr, c.x2, c.y2, nullptr, c.s2, &p), p, c.what);
    // The other way round: the same answer (the point then comes from the other surface).
    EXPECT_EQ(c.s2->Intersect(c.x2, c.y2, nullptr, c.x1, c.y1, nullptr, c.s1, nullptr), c.result) << c.what;
  }
}

// Widths around the 32-bit word (1, 31, 32, 33, 65) from left columns 0-33 at offsets off
// both sides: every word is assembled from unaligned bits.
TEST(Intersect, UnalignedWidthsAndOffsetsAgainstTheOracle) {
  TestEngine e;
  Z2DSurface a, b;
  MakeSurface(e, a, 100, 6, ZFMT_RGB565);
  MakeSurface(e, b, 99, 5, ZFMT_XRGB8888);
  Speckle(a, 1, 8);
  Speckle(b, 2, 8);
  a.BuildTableMask(0);
  b.BuildTableMask(0);
  auto sa = [&](int32_t x, int32_t y) { return Solid(a, x, y, 0); };
  auto sb = [&](int32_t x, int32_t y) { return Solid(b, x, y, 0); };
  const tagRECT clipa = {0, 0, 100, 6}, clipb = {0, 0, 99, 5};
  int hits = 0, n = 0;
  for (int32_t w : {1, 31, 32, 33, 65})
    for (int32_t l1 : {0, 1, 5, 17, 31, 32, 33})
      for (int32_t l2 : {0, 3, 31, 33})
        for (int32_t dx = -70; dx <= 70; dx += 7)
          for (int32_t dy : {-4, -1, 0, 2}) {
            const tagRECT r1 = {l1, 0, l1 + w, 6}, r2 = {l2, 1, l2 + 33, 5};
            tagPOINT p;
            const int got = a.Intersect(50, 20, &r1, 50 + dx, 20 + dy, &r2, &b, &p);
            const Hit want = Oracle(50, 20, r1, clipa, 50 + dx, 20 + dy, r2, clipb, sa, sb);
            ExpectHit(want, got, p, testing::PrintToString(std::vector<int>{w, l1, l2, dx, dy}));
            hits += got;
            ++n;
          }
  EXPECT_GT(hits, n / 10);  // the table meets both answers often
  EXPECT_LT(hits, n * 9 / 10);
}

// Rectangles reaching off their surfaces, clips smaller than the surfaces and positions
// off every edge: each rectangle is cut to its clip, its position stays.
TEST(Intersect, RectanglesAndPositionsOffTheEdges) {
  TestEngine e;
  Z2DSurface a, b;
  MakeSurface(e, a, 40, 12, ZFMT_RGB555);
  MakeSurface(e, b, 37, 9, ZFMT_RGB888);
  Speckle(a, 5, 30);
  Speckle(b, 6, 30);
  a.BuildTableMask(0);
  b.BuildTableMask(0);
  const tagRECT clipa = {3, 1, 35, 11};
  a.SetClipper(&clipa);
  const tagRECT clipb = {0, 0, 37, 9};
  auto sa = [&](int32_t x, int32_t y) { return Solid(a, x, y, 0); };
  auto sb = [&](int32_t x, int32_t y) { return Solid(b, x, y, 0); };
  const tagRECT rects[] = {{-10, -5, 50, 20}, {0, 0, 40, 12}, {-3, 2, 4, 30}, {30, -8, 45, 4}, {36, 0, 40, 12}};
  const int32_t pos[] = {-45, -38, -20, -1, 0, 7, 30, 39};
  for (const tagRECT& r : rects)
    for (int32_t x : pos)
      for (int32_t y : {-13, -5, 0, 4, 10}) {
        tagPOINT p;
        const int got = a.Intersect(x, y, &r, 0, 0, nullptr, &b, &p);
        const Hit want = Oracle(x, y, r, clipa, 0, 0, {0, 0, 37, 9}, clipb, sa, sb);
        ExpectHit(want, got, p, testing::PrintToString(std::vector<int>{r.left, r.top, x, y}));
      }
}

// When either surface has no mask, any overlap of the rectangles is a collision, at the
// overlap's top-left pixel, whatever the other's mask says.
TEST(Intersect, AMissingMaskMakesEveryOverlapACollision) {
  TestEngine e;
  Z2DSurface a, b;
  MakeSurface(e, a, 20, 10, ZFMT_RGB565);
  MakeSurface(e, b, 12, 12, ZFMT_RGB565);
  Speckle(a, 3, 10);
  Speckle(b, 4, 10);
  auto all = [](int32_t, int32_t) { return true; };
  const tagRECT ca = {0, 0, 20, 10}, cb = {0, 0, 12, 12};
  for (int masks = 0; masks < 2; ++masks) {
    if (masks) a.BuildTableMask(0);
    for (int32_t dx = -13; dx <= 21; dx += 2)
      for (int32_t dy = -13; dy <= 11; dy += 3) {
        tagPOINT p;
        ExpectHit(Oracle(0, 0, ca, ca, dx, dy, cb, cb, all, all), a.Intersect(0, 0, nullptr, dx, dy, nullptr, &b, &p),
                  p, testing::PrintToString(std::vector<int>{masks, dx, dy}));
      }
  }
}

// Surfaces of every format against one another and against an RGBA surface, whose mask
// comes from its alpha.
TEST(Intersect, SurfacesOfDifferentFormatsAndKinds) {
  TestEngine e;
  Z2DSurfaceRGBA rgba;
  rgba.LinkZCD(&e.zcd);
  ASSERT_EQ(rgba.Create(21, 9, ZFMT_RGB565, 1), 0);
  uint32_t seed = 9;
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 21; ++x) rgba.PutPixel(x, y, 0x404040, uint8_t(Rand(seed) & 0xFF));
  rgba.BuildTableMask(200);
  auto sr = [&](int32_t x, int32_t y) {
    uint32_t c;
    uint8_t alpha;
    rgba.GetPixelV(x, y, c, alpha);
    return alpha >= 200;
  };
  const tagRECT cr = {0, 0, 21, 9};
  for (uint8_t f1 = 1; f1 <= 6; ++f1) {
    Z2DSurface a;
    MakeSurface(e, a, 34, 7, f1);
    Speckle(a, f1, 30);
    if (f1 == 1) a.SetColorKey(a.GetPixel(0, 0));  // an index: the key is an index
    a.BuildTableMask(40);
    auto sa = [&](int32_t x, int32_t y) { return Solid(a, x, y, 40); };
    const tagRECT ca = {0, 0, 34, 7};
    for (uint8_t f2 = 1; f2 <= 6; ++f2) {
      Z2DSurface b;
      MakeSurface(e, b, 17, 11, f2);
      Speckle(b, f2 + 10u, 30);
      b.BuildTableMask(0);
      auto sb = [&](int32_t x, int32_t y) { return Solid(b, x, y, 0); };
      const tagRECT cb = {0, 0, 17, 11};
      for (int32_t dx = -16; dx <= 33; dx += 3) {
        tagPOINT p;
        ExpectHit(Oracle(0, 0, ca, ca, dx, 1, cb, cb, sa, sb), a.Intersect(0, 0, nullptr, dx, 1, nullptr, &b, &p), p,
                  testing::PrintToString(std::vector<int>{f1, f2, dx}));
      }
    }
    for (int32_t dx = -20; dx <= 33; dx += 4) {
      tagPOINT p;
      ExpectHit(Oracle(0, 0, ca, ca, dx, -2, cr, cr, sa, sr), a.Intersect(0, 0, nullptr, dx, -2, nullptr, &rgba, &p),
                p, testing::PrintToString(std::vector<int>{f1, dx}) + " rgba");
    }
  }
}

// On every rotation the same logical placements collide or not alike.
TEST(Intersect, EveryRotationAgreesWithTheUnturnedScreen) {
  std::vector<int> answers[4];
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    e.display.virtualwidth = 320;
    e.display.virtualheight = 240;
    Z2DSurface a, b;
    MakeSurface(e, a, 23, 14, ZFMT_RGB565);
    MakeSurface(e, b, 9, 33, ZFMT_RGB565);
    Speckle(a, 11, 12);
    Speckle(b, 12, 12);
    a.BuildTableMask(0);
    b.BuildTableMask(0);
    const tagRECT ra = {2, 1, 20, 14};
    for (int32_t dx = -10; dx <= 24; dx += 2)
      for (int32_t dy = -34; dy <= 14; dy += 3) answers[rot].push_back(a.Intersect(40, 50, &ra, 40 + dx, 50 + dy, nullptr, &b, nullptr));
  }
  int hits = 0;
  for (int v : answers[0]) hits += v;
  EXPECT_GT(hits, 20);
  for (int rot = 1; rot < 4; ++rot) EXPECT_EQ(answers[rot], answers[0]) << "rotation " << rot;
}

TEST(Intersect, HostileArguments) {
  TestEngine e;
  Z2DSurface a, b, none;
  MakeSurface(e, a, 33, 5, ZFMT_RGB565);
  MakeSurface(e, b, 5, 33, ZFMT_RGB565);
  a.FillRect(nullptr, 0xFFFFFF, 0, 0);
  b.FillRect(nullptr, 0xFFFFFF, 0, 0);
  a.BuildTableMask(0);
  b.BuildTableMask(0);
  none.LinkZCD(&e.zcd);
  const tagRECT huge = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, inverted = {5, 3, 1, 1},
                empty = {2, 2, 2, 4}, outside = {40, 0, 50, 5};
  struct Case {
    const char* what;
    int32_t x, y;
    const tagRECT* r;
    int32_t ox, oy;
    const Z2DSurfaceBase* other;
    int want;
  } cases[] = {
      {"null other", 0, 0, nullptr, 0, 0, nullptr, 0},
      {"other not created", 0, 0, nullptr, 0, 0, &none, 0},
      {"inverted rectangle", 0, 0, &inverted, 0, 0, &b, 0},
      {"empty rectangle", 0, 0, &empty, 0, 0, &b, 0},
      {"rectangle outside the surface", 0, 0, &outside, 0, 0, &b, 0},
      {"huge rectangle", 0, 0, &huge, 0, 0, &b, 1},
      {"far apart", INT32_MIN, INT32_MIN, nullptr, INT32_MAX, INT32_MAX, &b, 0},
      {"both at the far end", INT32_MAX, INT32_MAX, nullptr, INT32_MAX - 2, INT32_MAX - 4, &b, 1},
      {"both at the near end", INT32_MIN, INT32_MIN, nullptr, INT32_MIN + 3, INT32_MIN, &b, 1},
      {"itself", 0, 0, nullptr, 30, 2, &a, 1},
  };
  for (const Case& c : cases) {
    tagPOINT p{5, 5};
    EXPECT_EQ(a.Intersect(c.x, c.y, c.r, c.ox, c.oy, nullptr, c.other, &p), c.want) << c.what;
    if (!c.want) {
      EXPECT_EQ(p.x, -1) << c.what;
      EXPECT_EQ(p.y, -1) << c.what;
    }
  }
  EXPECT_EQ(none.Intersect(0, 0, nullptr, 0, 0, nullptr, &a, nullptr), 0);
  none.BuildTableMask(0);
  EXPECT_EQ(none.masktable, nullptr);
}

// The comparison reads no further than each mask row's last word, even when the last row
// of a mask ends the allocation (the sanitizer build sees any read past it).
TEST(Intersect, WordAssemblyStaysInsideEachRow) {
  for (uint32_t rowlength : {32u, 33u, 63u, 64u, 65u}) {
    const uint32_t words = (rowlength + 31) / 32;
    std::vector<uint32_t> m1(words * 2, 0), m2(words * 2, 0);
    // A single solid pixel in the last column of the last row of each mask.
    m1.back() = 0x80000000u >> ((rowlength - 1) % 32);
    m2.back() = 0x80000000u >> ((rowlength - 1) % 32);
    for (int32_t left = 0; left < int32_t(rowlength); ++left) {
      const tagRECT rects[2] = {{left, 0, int32_t(rowlength), 2}, {left, 0, int32_t(rowlength), 2}};
      tagPOINT p;
      ASSERT_EQ(ZxMiscIntersect(0, 0, 0, 0, rects, m1.data(), m2.data(), rowlength, rowlength, &p), 1) << left;
      EXPECT_EQ(p.x, int32_t(rowlength) - 1) << left;
      EXPECT_EQ(p.y, 1) << left;
    }
  }
}

}  // namespace
