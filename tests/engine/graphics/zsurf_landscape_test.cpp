// The landscape against a floating-point model of its perspective, on a texture whose
// pixels name their own coordinates; every format against that picture; the four
// rotations against each other; clipping, the horizon, the projection of ground points and
// hostile views.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "engine/graphics/zsurf_3d.h"
#include "gfx_test_engine.h"
#include "tests/engine/rect_expect.h"

namespace {

struct View {
  int32_t height, camx, camy;  // camera: texture coordinates in 28.4
  uint16_t angle;
  int16_t pitch;
  uint16_t scale;
};

constexpr uint32_t kRender = 48;  // the render size of these small screens

// Texel (x, y) holds red x, green y and blue 0x80, so that a picture names its texels.
void FillCoordinates(Z2DSurface& t) {
  for (int32_t y = 0; y < int32_t(t.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(t.GetWidth()); ++x) t.PutPixel(x, y, uint32_t(x | y << 8 | 0x800000), 0, 0);
}

struct Texel {
  int x, y;  // -1: not a texel (the picture's own background)
};
Texel TexelAt(const Z2DSurface& s, int32_t x, int32_t y) {
  const uint32_t c = s.GetPixel(x, y);
  if ((c >> 16) != 0x80) return {-1, -1};
  return {int(c & 0xFF), int(c >> 8 & 0xFF)};
}

// Distance of two texel coordinates on a texture that repeats every n.
int WrapDistance(int a, int b, int n) {
  const int d = ((a - b) % n + n) % n;
  return d < n - d ? d : n - d;
}

// The perspective in real numbers. Row k above the bottom (k = 0 the bottom row) has the
// x step (ca / 4) m / L_k and lies at G_k = height + (|pitch| + 256) / 256 x sum over j = 1..k
// of (m / L_j)^2 sixteenths of (sa, -ca) ahead of the camera, L_j = m - j |pitch|; the walk
// ends on the first row whose L is not positive. ca and sa: the 16.16 cosine and sine x 16
// / scale. Coordinates are 20.12; the texture repeats both ways. Returns the texel that
// logical pixel (x, y) of the rectangle r shows, or false above the horizon.
struct Model {
  double ca, sa, m, ap;
  View v;
  tagRECT r;
  bool At(int32_t x, int32_t y, int tw, int th, Texel& out) const {
    const int k = r.bottom - 1 - y;
    double g = v.height;
    for (int j = 1; j <= k; ++j) {
      const double L = m - double(j) * ap;
      if (L <= 0) return false;  // above the horizon
      g += (ap + 256) / 256 * (m / L) * (m / L);
    }
    const double step = m / (m - double(k) * ap);
    const double j = double(x - r.left) - double((r.right - r.left) >> 1);
    const double tx = v.camx * 256.0 + sa / 16 * g + j * ca / 4 * step;
    const double ty = v.camy * 256.0 - ca / 16 * g + j * sa / 4 * step;
    out.x = int(((int64_t(std::floor(tx / 4096)) % tw) + tw) % tw);
    out.y = int(((int64_t(std::floor(ty / 4096)) % th) + th) % th);
    return true;
  }
};

Model MakeModel(const TestEngine& e, const View& v, const tagRECT& r) {
  const double ca = double(e.math.Cos(v.angle)) * 16 / v.scale, sa = double(e.math.Sin(v.angle)) * 16 / v.scale;
  return {ca, sa, double(e.display.rendersize) * 1024, std::fabs(double(v.pitch)), v, r};
}

struct Screen {
  TestEngine e;
  Z2DSurface dst, tex;
  Screen(uint8_t rotation, uint8_t format, uint32_t w, uint32_t h, uint32_t tw, uint32_t th)
      : e(rotation, format) {
    e.display.rendersize = kRender;
    MakeSurface(e, dst, w, h, format);
    MakeSurface(e, tex, tw, th, format);
  }
};

const View kViews[] = {
    {24, 32 * 16 + 8, 40 * 16, 0, 1024, 256},    // straight ahead, horizon 48 rows up
    {10, 100, 2000, 300, 1500, 128},             // turned, nearer horizon
    {40, 16 * 700, 16 * 900, 1024 + 77, 1200, 400},
    {16, 5000, -3000, 3000, 900, 200},           // negative camera y
    {30, 512, 512, 2048, 0, 256},                // no pitch: no horizon
    {12, 800, 300, 3900, -1100, 256},            // negative pitch: upside down
    {20, 300, 900, 600, 2400, 300},              // horizon 21 rows up
    {20, 300, 900, 1600, -2400, 300},            // the same upside down
};

// The row records and the picture, exactly, against the perspective written out in integers
// as it is defined, on an upright display (rows are buffer rows): for each row from the
// bottom up the record (X - dx (W >> 1), Y - dy (W >> 1), dx, dy), then the steps of the row
// above from L = R x 1024 - rows walked x |pitch|, and X, Y advanced by (|pitch| + 256) x
// (ox, oy) >> 8; the horizon row is the last. Widths odd and even, the texture's wrap by
// its mask.
TEST(Landscape, RecordsAreTheIntegerPerspectiveExactly) {
  struct Case {
    View v;
    tagRECT rect;
  };
  const Case cases[] = {
      {kViews[0], {0, 0, 40, 30}},  {kViews[1], {3, 2, 36, 29}},  {kViews[2], {1, 0, 40, 27}},
      {kViews[3], {0, 5, 37, 30}},  {kViews[5], {2, 1, 39, 30}},  {kViews[6], {0, 0, 33, 30}},
      {kViews[7], {5, 3, 40, 28}},  {kViews[4], {0, 0, 31, 30}},
  };
  for (const Case& c : cases) {
    const View& v = c.v;
    SCOPED_TRACE(testing::Message() << "angle " << v.angle << " pitch " << v.pitch << " width "
                                    << c.rect.right - c.rect.left);
    Screen s(0, ZFMT_XRGB8888, 40, 30, 64, 64);
    FillCoordinates(s.tex);
    tagRECT r = c.rect;
    s.dst.Landscape(&r, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);

    const int64_t R = kRender, m = R * 1024, ap = v.pitch < 0 ? -v.pitch : v.pitch, P = ap + 256;
    const int64_t ca = int64_t(s.e.math.Cos(v.angle)) * 16 / v.scale;
    const int64_t sa = int64_t(s.e.math.Sin(v.angle)) * 16 / v.scale;
    int64_t dx = ca * R * 256 / m, dy = R * sa * 256 / m;
    int64_t ox = dy * R * 256 / m, oy = -dx * R * 256 / m;
    int64_t X = ox * v.height + int64_t(v.camx) * 256, Y = oy * v.height + int64_t(v.camy) * 256;
    const bool mirror = v.pitch < 0;
    int32_t top = c.rect.top, bottom = c.rect.bottom;
    const int64_t W = c.rect.right - c.rect.left;
    std::vector<std::array<int64_t, 4>> rec(30);
    for (int32_t row = c.rect.bottom - 1; row >= c.rect.top; --row) {
      rec[size_t(mirror ? c.rect.top + c.rect.bottom - 1 - row : row)] = {X - dx * (W >> 1), Y - dy * (W >> 1), dx, dy};
      const int64_t L = m - (c.rect.bottom - row) * ap;
      if (L <= 0) {
        if (mirror) bottom = c.rect.top + c.rect.bottom - row;
        else top = row;
        break;
      }
      dx = ca * R * 256 / L;
      dy = R * sa * 256 / L;
      ox = dy * R * 256 / L;
      oy = -dx * R * 256 / L;
      X += P * (ox >> 16) * 256 + (P * (ox & 0xFFFF) >> 8);
      Y += P * (oy >> 16) * 256 + (P * (oy & 0xFFFF) >> 8);
    }
    EXPECT_EQ(r, (tagRECT{c.rect.left, top, c.rect.right, bottom}));
    for (int32_t row = top; row < bottom; ++row) {
      const int32_t* got = s.dst.spanleftrec + 4 * row;
      for (int k = 0; k < 4; ++k) ASSERT_EQ(got[k], int32_t(rec[size_t(row)][size_t(k)])) << "row " << row << " value " << k;
      for (int32_t x = c.rect.left; x < c.rect.right; ++x) {
        const int64_t j = x - c.rect.left;
        const Texel t = TexelAt(s.dst, x, row);
        ASSERT_EQ(t.x, int(((rec[size_t(row)][0] + j * rec[size_t(row)][2]) >> 12) & 63)) << x << "," << row;
        ASSERT_EQ(t.y, int(((rec[size_t(row)][1] + j * rec[size_t(row)][3]) >> 12) & 63)) << x << "," << row;
      }
    }
  }
}

// Every view on a texture the Plus workers serve (64 x 64) and one they do not (48 x 20):
// each pixel shows the model's texel or a neighbour of it, most of them exactly.
TEST(Landscape, FollowsThePerspectiveModel) {
  const uint32_t sizes[][2] = {{64, 64}, {48, 20}};
  for (const auto& size : sizes)
    for (const View& v : kViews) {
      SCOPED_TRACE(testing::Message() << "texture " << size[0] << " view angle " << v.angle << " pitch " << v.pitch);
      Screen s(0, ZFMT_XRGB8888, 40, 30, size[0], size[1]);
      FillCoordinates(s.tex);
      tagRECT r = {0, 0, 40, 30};
      s.dst.Landscape(&r, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);
      // The horizon: the walk stops on the first row whose L is not positive.
      const double m = kRender * 1024.0, ap = std::fabs(double(v.pitch));
      const int horizon = ap > 0 ? std::max(0, 30 - int(std::ceil(m / ap))) : 0;
      const tagRECT want = v.pitch < 0 ? tagRECT{0, 0, 40, 30 - horizon} : tagRECT{0, horizon, 40, 30};
      EXPECT_EQ(r, want);
      const Model model = MakeModel(s.e, v, {0, 0, 40, 30});
      int exact = 0, total = 0;
      for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
          // With a negative pitch row y shows what row 29 - y would show the right way up.
          const int32_t my = v.pitch < 0 ? 29 - y : y;
          Texel t;
          const Texel got = TexelAt(s.dst, x, y);
          if (!model.At(x, my, int(size[0]), int(size[1]), t)) {
            EXPECT_EQ(got.x, -1) << x << "," << y << " above the horizon";
            continue;
          }
          ASSERT_NE(got.x, -1) << x << "," << y;
          EXPECT_LE(WrapDistance(got.x, t.x, int(size[0])), 1) << x << "," << y;
          EXPECT_LE(WrapDistance(got.y, t.y, int(size[1])), 1) << x << "," << y;
          exact += got.x == t.x && got.y == t.y;
          ++total;
        }
      EXPECT_GT(exact * 10, total * 9) << exact << " of " << total;
    }
}

// In every format each pixel is the texel the 32-bit picture of the same view names,
// copied whole (24 bits: three bytes; 8 bits: the index).
TEST(Landscape, EveryFormatCopiesTheTexelsOfTheView) {
  for (const View& v : kViews) {
    Screen coords(0, ZFMT_XRGB8888, 40, 30, 64, 64);
    FillCoordinates(coords.tex);
    coords.dst.Landscape(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &coords.tex);
    for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
      Screen s(0, fmt, 40, 30, 64, 64);
      uint32_t seed = fmt;
      const uint32_t mask = s.tex.bits == 32 ? 0xFFFFFFFFu : (1u << s.tex.bits) - 1;
      for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
          seed = seed * 1103515245u + 12345u;
          SetRaw(s.tex, x, y, (seed >> 7) & mask);
        }
      s.dst.FillRect(nullptr, 0, 0, 0);
      s.dst.Landscape(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);
      for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
          const Texel t = TexelAt(coords.dst, x, y);
          ASSERT_EQ(Raw(s.dst, x, y), t.x < 0 ? 0 : Raw(s.tex, t.x, t.y)) << "format " << int(fmt) << " at " << x << "," << y;
        }
    }
  }
}

// The logical picture is the same on every rotation: each pixel names the texel rotation 0
// shows there or a neighbour (the camera and the angle are mapped to the turned texture
// with a sixteenth of a texel and one sine step to spare), and the rectangles drawn match.
TEST(Landscape, EveryRotationShowsTheSamePicture) {
  for (const View& v : kViews)
    for (const uint32_t tw : {64u, 48u}) {
      Screen straight(0, ZFMT_XRGB8888, 40, 30, tw, tw == 64 ? 64 : 20);
      FillCoordinates(straight.tex);
      tagRECT r0 = {3, 2, 37, 29};
      straight.dst.Landscape(&r0, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &straight.tex);
      for (uint8_t rot = 1; rot < 4; ++rot) {
        SCOPED_TRACE(testing::Message() << "rotation " << int(rot) << " texture " << tw << " angle " << v.angle);
        Screen s(rot, ZFMT_XRGB8888, 40, 30, tw, tw == 64 ? 64 : 20);
        FillCoordinates(s.tex);
        tagRECT r = {3, 2, 37, 29};
        s.dst.Landscape(&r, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);
        EXPECT_EQ(r, r0);
        int exact = 0, total = 0;
        for (int32_t y = 0; y < 30; ++y)
          for (int32_t x = 0; x < 40; ++x) {
            const Texel a = TexelAt(straight.dst, x, y), b = TexelAt(s.dst, x, y);
            ASSERT_EQ(a.x < 0, b.x < 0) << x << "," << y;
            if (a.x < 0) continue;
            EXPECT_LE(WrapDistance(a.x, b.x, int(tw)), 1) << x << "," << y;
            EXPECT_LE(WrapDistance(a.y, b.y, tw == 64 ? 64 : 20), 1) << x << "," << y;
            exact += a.x == b.x && a.y == b.y;
            ++total;
          }
        EXPECT_GT(exact * 10, total * 8) << exact << " of " << total;
      }
    }
}

// Spans at the clip's edges: nothing outside the clip changes, and the part inside is the
// view of the clipped rectangle (whose bottom row and centre the view takes).
TEST(Landscape, SpansStopAtTheClipEdges) {
  const View v = kViews[1];
  const tagRECT clips[] = {{0, 0, 40, 30}, {5, 4, 33, 26}, {0, 10, 1, 30}, {39, 0, 40, 30}, {0, 29, 40, 30}};
  const tagRECT rects[] = {{-20, -15, 60, 45}, {-7, 3, 12, 40}, {30, -9, 55, 20}, {0, 0, 40, 30}, {38, 28, 39, 29}};
  for (uint8_t rot = 0; rot < 4; ++rot)
    for (const tagRECT& clip : clips)
      for (const tagRECT& rect : rects) {
        SCOPED_TRACE(testing::Message() << "rotation " << int(rot) << " clip " << clip.left << "," << clip.top
                                        << " rect " << rect.left << "," << rect.top);
        Screen s(rot, ZFMT_RGB565, 40, 30, 64, 64);
        Screen whole(rot, ZFMT_RGB565, 40, 30, 64, 64);
        for (Screen* p : {&s, &whole}) {
          for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x) p->tex.PutPixel(x, y, uint32_t(x * 0x0C0400 + y * 0x000C04 + 0x08), 0, 0);
          p->dst.FillRect(nullptr, 0xFF00FF, 0, 0);
        }
        s.dst.SetClipper(&clip);
        tagRECT r = rect;
        s.dst.Landscape(&r, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);
        tagRECT inside;
        const bool visible = RectIntersect(&rect, &clip, &inside);
        if (!visible) {
          EXPECT_EQ(r, rect);
        } else {
          tagRECT r2 = inside;
          whole.dst.Landscape(&r2, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &whole.tex);
          EXPECT_EQ(r, r2);
        }
        for (int32_t y = 0; y < 30; ++y)
          for (int32_t x = 0; x < 40; ++x) {
            const tagPOINT p = {x, y};
            const bool in = visible && InRect(&inside, &p);
            ASSERT_EQ(s.dst.GetPixel(x, y), in ? whole.dst.GetPixel(x, y) : 0xF800F8u) << x << "," << y;
          }
      }
}

TEST(Landscape, TheHorizonShortensTheRectangle) {
  struct Case {
    int16_t pitch;
    uint32_t render;
    tagRECT want;
  } cases[] = {
      {2048, 240, {0, 120, 320, 240}},   // L reaches 0 on the 120th row up: that row is the last
      {2047, 240, {0, 119, 320, 240}},   // 245760 / 2047 = 120.06: one row more
      {-2048, 240, {0, 0, 320, 120}},    // upside down: the sky is below
      {100, 240, {0, 0, 320, 240}},      // the horizon lies above the screen
      {0, 240, {0, 0, 320, 240}},
      {2048, 0, {0, 239, 320, 240}},     // no render size: the first row is the horizon
  };
  for (const Case& c : cases) {
    Screen s(0, ZFMT_RGB565, 320, 240, 64, 64);
    s.e.display.rendersize = c.render;
    s.tex.FillRect(nullptr, 0x00FF00, 0, 0);
    tagRECT r = {0, 0, 320, 240};
    s.dst.Landscape(&r, 20, 100, 100, 0, c.pitch, 256, &s.tex);
    EXPECT_EQ(r, c.want) << "pitch " << c.pitch << " render " << c.render;
    int drawn = 0;
    for (int32_t y = 0; y < 240; ++y) drawn += s.dst.GetPixel(160, y) != 0;
    EXPECT_EQ(drawn, c.want.bottom - c.want.top) << "pitch " << c.pitch;
  }
}

// The ground repeats: a camera whole textures away shows the same picture.
TEST(Landscape, TheTextureRepeats) {
  const View v = kViews[2];
  for (const uint32_t tw : {64u, 48u}) {
    const uint32_t th = tw == 64 ? 64 : 20;
    Screen a(0, ZFMT_RGB565, 40, 30, tw, th), b(0, ZFMT_RGB565, 40, 30, tw, th);
    for (Screen* p : {&a, &b})
      for (int32_t y = 0; y < int32_t(th); ++y)
        for (int32_t x = 0; x < int32_t(tw); ++x) p->tex.PutPixel(x, y, uint32_t(x * 0x050301 + y * 0x010507), 0, 0);
    a.dst.Landscape(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &a.tex);
    b.dst.Landscape(nullptr, v.height, v.camx + int32_t(tw) * 16 * 37, v.camy + int32_t(th) * 16 * 11, v.angle,
                    v.pitch, v.scale, &b.tex);
    EXPECT_EQ(LogicalPixels(a.dst), LogicalPixels(b.dst)) << "texture " << tw;
  }
}

// A ground point lands where GetLandscapePoint says, within one pixel: the picture shows
// that point's texel or one next to it at or next to the position returned.
TEST(Landscape, GroundPointsLandWhereTheProjectionSays) {
  for (uint8_t rot = 0; rot < 4; ++rot)
    for (const View& v : {kViews[0], kViews[1], kViews[2], kViews[3], kViews[5]}) {
      Screen s(rot, ZFMT_XRGB8888, 40, 30, 64, 64);
      FillCoordinates(s.tex);
      s.dst.Landscape(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, &s.tex);
      int found = 0;
      // Points on a grid around the camera; those nearer than the bottom row or behind
      // the horizon are not on the picture.
      for (int dy = -40; dy <= 40; dy += 2)
        for (int dx = -40; dx <= 40; dx += 2) {
          const int32_t px = (v.camx / 16 + dx) * 16 + 8, py = (v.camy / 16 + dy) * 16 + 8;
          ZVECTOR3D at{-1, -1, -1};
          if (!s.dst.GetLandscapePoint(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, px, py, &s.tex,
                                       &at))
            continue;
          if (at.x < 1 || at.x > 38 || at.y < 1 || at.y > 28) continue;
          const Texel want = {((px >> 4) % 64 + 64) % 64, ((py >> 4) % 64 + 64) % 64};
          // Only where texels are at least a pixel across and a row deep, so that this one
          // is drawn at all.
          const Texel here = TexelAt(s.dst, at.x, at.y);
          bool coarse = false;
          for (const Texel& t : {TexelAt(s.dst, at.x + 1, at.y), TexelAt(s.dst, at.x - 1, at.y),
                                 TexelAt(s.dst, at.x, at.y + 1), TexelAt(s.dst, at.x, at.y - 1)})
            coarse |= std::max(WrapDistance(here.x, t.x, 64), WrapDistance(here.y, t.y, 64)) > 1;
          if (coarse) continue;
          // A marker of 3 x 3 texels around the point shows within a pixel of it.
          bool near = false;
          for (int j = -1; j <= 1 && !near; ++j)
            for (int i = -1; i <= 1 && !near; ++i) {
              const Texel t = TexelAt(s.dst, at.x + i, at.y + j);
              near = WrapDistance(t.x, want.x, 64) <= 1 && WrapDistance(t.y, want.y, 64) <= 1;
            }
          EXPECT_TRUE(near) << "rotation " << int(rot) << " angle " << v.angle << " point " << dx << "," << dy
                            << " at " << at.x << "," << at.y;
          ++found;
        }
      EXPECT_GT(found, 10) << "rotation " << int(rot) << " angle " << v.angle;
    }
}

// GetLandscapePoint exactly against its rule written out in integers, on an upright display:
// the point's depth and lateral offset, the distance of the bottom row, the rows walked up
// (or down, below the rectangle) until two neighbours hold the depth, and the column from
// the lateral offset over that row's step, from the centre (right - width / 2).
TEST(Landscape, ProjectionIsItsIntegerRuleExactly) {
  const tagRECT rects[] = {{0, 0, 40, 30}, {3, 2, 36, 29}, {0, 4, 37, 30}};
  int hits = 0;
  for (const View& v : {kViews[0], kViews[1], kViews[2], kViews[3], kViews[5], kViews[6]})
    for (const tagRECT& rect : rects) {
      SCOPED_TRACE(testing::Message() << "angle " << v.angle << " pitch " << v.pitch << " rect " << rect.left << ","
                                      << rect.top << "," << rect.right << "," << rect.bottom);
      Screen s(0, ZFMT_RGB565, 40, 30, 64, 64);
      const int64_t c = s.e.math.Cos(v.angle) >> 6, sn = s.e.math.Sin(v.angle) >> 6;
      const int64_t R = kRender, m = R * 1024, ap = v.pitch < 0 ? -v.pitch : v.pitch, P = ap + 256;
      const int64_t b0 = 0x100000 / v.scale, D = R * b0 * 256;
      for (int dy = -60; dy <= 20; dy += 3)
        for (int dx = -50; dx <= 50; dx += 5) {
          const int32_t px = v.camx + dx * 16 + 5, py = v.camy + dy * 16 + 3;
          const int64_t depth = ((int64_t(v.camy) - py) * c + (int64_t(px) - v.camx) * sn) >> 2;
          const int64_t lateral = ((int64_t(px) - v.camx) * c - (int64_t(v.camy) - py) * sn) >> 2;
          int64_t acc = R * (D / m) * 256 / m * v.height;
          int64_t N = 0, step = 0, row = -1;
          bool refused = false;
          auto at = [&](int64_t k) {
            const int64_t L = m - (rect.bottom - k) * ap;
            if (L < 1) return refused = true, false;
            N = D / L;
            step = (P * (R * N * 256 / L)) >> 8;
            return true;
          };
          if (depth >= acc) {
            for (int64_t k = rect.bottom - 1; k >= rect.top && row < 0 && at(k); --k) {
              if (acc <= depth && depth <= acc + step) row = k;
              acc += step;
            }
          } else {
            for (int64_t k = rect.bottom + 1; k <= 2 * rect.bottom - rect.top && row < 0 && at(k); ++k) {
              if (acc - step <= depth && depth <= acc) row = k;
              acc -= step;
            }
          }
          const bool found = !refused && row >= 0 && N > 0;
          ZVECTOR3D got{-7, -7, -7};
          const int result =
              s.dst.GetLandscapePoint(&rect, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, px, py, &s.tex, &got);
          ASSERT_EQ(result, found ? 1 : 0) << dx << "," << dy;
          EXPECT_EQ(got.z, depth) << dx << "," << dy;
          if (!found) continue;
          ++hits;
          EXPECT_EQ(got.y, v.pitch < 0 ? rect.bottom + rect.top - 1 - row : row) << dx << "," << dy;
          EXPECT_EQ(got.x, lateral / N + (rect.right - (rect.right - rect.left) / 2)) << dx << "," << dy;
        }
    }
  EXPECT_GT(hits, 500);
}

TEST(Landscape, ProjectionRefusals) {
  Screen s(0, ZFMT_RGB565, 40, 30, 64, 64);
  Z2DSurface other, none;
  MakeSurface(s.e, other, 64, 64, ZFMT_XRGB8888);
  none.LinkZCD(&s.e.zcd);
  const View v = kViews[0];
  const int32_t ahead = v.camy - 16 * 16;  // straight ahead, well up the picture
  ZVECTOR3D at;
  ASSERT_EQ(s.dst.GetLandscapePoint(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, v.camx, ahead,
                                    &s.tex, &at),
            1);
  EXPECT_EQ(at.x, 20);  // on the camera's line: the centre column
  EXPECT_GT(at.z, 0);
  struct Case {
    const char* what;
    int32_t py;
    int16_t pitch;
    uint16_t scale;
    Z2DSurface* tex;
  } cases[] = {
      {"behind the camera", v.camy + 16 * 30, v.pitch, v.scale, &s.tex},
      {"beyond the horizon", v.camy - 16 * 100000, v.pitch, v.scale, &s.tex},
      {"scale 0", ahead, v.pitch, 0, &s.tex},
      {"texture of another format", ahead, v.pitch, v.scale, &other},
      {"texture not created", ahead, v.pitch, v.scale, &none},
      {"no texture", ahead, v.pitch, v.scale, nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(s.dst.GetLandscapePoint(nullptr, v.height, v.camx, v.camy, v.angle, c.pitch, c.scale, v.camx, c.py,
                                      c.tex, &at),
              0)
        << c.what;
  EXPECT_EQ(s.dst.GetLandscapePoint(nullptr, v.height, v.camx, v.camy, v.angle, v.pitch, v.scale, v.camx, ahead,
                                    &s.tex, nullptr),
            0);
}

// Views that draw nothing leave the surface and the rectangle alone.
TEST(Landscape, RefusedViewsDrawNothing) {
  Screen s(0, ZFMT_RGB565, 40, 30, 64, 64);
  Z2DSurface other, none;
  MakeSurface(s.e, other, 64, 64, ZFMT_RGB555);
  none.LinkZCD(&s.e.zcd);
  s.tex.FillRect(nullptr, 0xFFFFFF, 0, 0);
  other.FillRect(nullptr, 0xFFFFFF, 0, 0);
  const tagRECT outside = {40, 0, 50, 30}, empty = {10, 10, 10, 20};
  const uint32_t untouched = LogicalChecksum(s.dst);
  struct Case {
    const char* what;
    tagRECT rect;
    uint16_t scale;
    Z2DSurface* tex;
  } cases[] = {
      {"scale 0", {0, 0, 40, 30}, 0, &s.tex},
      {"texture of another format", {0, 0, 40, 30}, 256, &other},
      {"texture not created", {0, 0, 40, 30}, 256, &none},
      {"no texture", {0, 0, 40, 30}, 256, nullptr},
      {"outside the surface", outside, 256, &s.tex},
      {"empty rectangle", empty, 256, &s.tex},
  };
  for (const Case& c : cases) {
    tagRECT r = c.rect;
    s.dst.Landscape(&r, 10, 100, 100, 0, 1024, c.scale, c.tex);
    EXPECT_EQ(r, c.rect) << c.what;
    EXPECT_EQ(LogicalChecksum(s.dst), untouched) << c.what;
  }
}

// Extreme views on every rotation: the rectangle is all that changes, whatever the numbers
// (the sanitizer build checks every read of the texture and every write).
TEST(Landscape, ExtremeViewsStayInsideTheRectangle) {
  const int32_t coords[] = {INT32_MIN, -1000000, -1, 0, 7, 1000000, INT32_MAX};
  const int16_t pitches[] = {INT16_MIN, -1, 0, 1, 3, INT16_MAX};
  const uint16_t scales[] = {1, 3, 0xFFFF};
  const uint32_t renders[] = {0, 1, 240, 0xFFFFFFFFu};
  const tagRECT rect = {3, 2, 37, 27};
  for (uint8_t rot = 0; rot < 4; ++rot) {
    Screen s(rot, ZFMT_RGB888, 40, 30, 48, 20);
    s.tex.FillRect(nullptr, 0x00FF00, 0, 0);
    uint32_t n = 0;
    for (uint32_t render : renders)
      for (int16_t pitch : pitches)
        for (uint16_t scale : scales)
          for (int32_t c : coords) {
            ++n;
            s.e.display.rendersize = render;
            s.dst.FillRect(nullptr, 0, 0, 0);
            tagRECT r = rect;
            const int32_t height = coords[n % 7], camy = coords[(n / 7) % 7];
            const uint16_t angle = uint16_t(n * 977);
            s.dst.Landscape(&r, height, c, camy, angle, pitch, scale, &s.tex);
            ZVECTOR3D at;
            s.dst.GetLandscapePoint(&rect, height, c, camy, angle, pitch, scale, camy, c, &s.tex, &at);
            for (int32_t y = 0; y < 30; ++y)
              for (int32_t x = 0; x < 40; ++x) {
                const tagPOINT p = {x, y};
                if (!InRect(&rect, &p)) {
                  ASSERT_EQ(s.dst.GetPixel(x, y), 0u) << x << "," << y;
                }
              }
            ASSERT_GE(r.top, rect.top);
            ASSERT_LE(r.bottom, rect.bottom);
          }
  }
}

}  // namespace
