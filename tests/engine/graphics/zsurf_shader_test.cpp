// Shader blits against a one-pixel oracle that converts pixels to shader values from the
// field layout of each format, on every format, with and without the colour key.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/graphics/zx_shader.h"
#include "gfx_oracle.h"
#include "gfx_test_engine.h"

namespace {

// Every stored bit random, the bits a format leaves unused included, so that the
// conversions must ignore them.
void FillRandom(Z2DSurface& s, uint32_t seed) {
  const uint32_t mask = s.bits == 32 ? 0xFFFFFFFFu : (1u << s.bits) - 1;
  for (int32_t y = 0; y < s.rows; ++y)
    for (int32_t x = 0; x < s.rowlength; ++x) {
      seed = seed * 1103515245u + 12345u;
      SetRaw(s, x, y, (seed ^ seed >> 13) & mask);
    }
}

// Shader value of a stored pixel: each field of the table widened to 8 bits with low bits
// 0, red at 16, green at 8, blue at 0; 24 and 32 bits as stored.
uint32_t OracleToShader(int format, uint32_t p) {
  if (format >= 5) return p;
  const oracle::Layout l = oracle::LayoutOf(format);
  uint32_t v = 0;
  for (int c = 0; c < 3; ++c) v |= (oracle::Get(p, l.f[c]) << (8 - l.f[c].width)) << (16 - 8 * c);
  return v;
}
uint32_t OracleFromShader(int format, uint32_t v) {
  if (format == 6) return v;
  if (format == 5) return v & 0xFFFFFF;
  const oracle::Layout l = oracle::LayoutOf(format);
  uint32_t p = 0;
  for (int c = 0; c < 3; ++c) p |= ((v >> (16 - 8 * c) & 0xFF) >> (8 - l.f[c].width)) << l.f[c].shift;
  return p;
}

// The shaders as the table defines them, plus one that draws its position and user value.
enum Kind { kAnd, kOr, kXor, kGray, kPosition };
uint32_t PositionShader(uint32_t, uint32_t, uint32_t x, uint32_t y, int32_t user) {
  return (x * 0x23 + y * 0x4100 + uint32_t(user)) & 0xFFFFFF;
}
const ZPIXELSHADER kShaderOf[] = {ZPShader_AND, ZPShader_OR, ZPShader_XOR, ZPShader_Grayscale, PositionShader};
uint32_t OracleShade(Kind k, uint32_t d, uint32_t s, uint32_t x, uint32_t y, int32_t user) {
  switch (k) {
    case kAnd: return d & s;
    case kOr: return d | s;
    case kXor: return d ^ s;
    case kGray: {
      const uint32_t g = ((s >> 16 & 0xFF) + (s >> 8 & 0xFF) + (s & 0xFF)) / 3;
      return g << 16 | g << 8 | g;
    }
    default: return PositionShader(d, s, x, y, user);
  }
}

struct Place {
  int32_t x, y;
  tagRECT r;  // source rectangle
};

// Golden images: every format x every shader x keyed or not x placements that clip on
// each side (the offsets the shader sees start at the clipped rectangle's corner).
TEST(ShaderBlit, GoldenImagesForEveryShaderAndFormat) {
  TestEngine e;
  const Place places[] = {{1, 1, {0, 0, 7, 5}},  {0, 0, {2, 1, 6, 4}},   {-3, 2, {0, 0, 7, 5}},
                          {6, -2, {1, 0, 7, 5}}, {7, 4, {0, 0, 7, 5}},   {-1, -1, {-2, -3, 9, 8}},
                          {3, 0, {5, 4, 6, 5}}};
  for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
    Z2DSurface src, dst;
    MakeSurface(e, src, 7, 5, fmt);
    MakeSurface(e, dst, 10, 6, fmt);
    FillRandom(src, 11u * fmt);
    const uint32_t key = Raw(src, 2, 1);  // some source pixels are the key
    SetRaw(src, 5, 3, key);
    SetRaw(src, 0, 4, key);
    src.colorkey = key;
    for (int k = kAnd; k <= kPosition; ++k)
      for (int32_t flags : {0, 1, 0x3E, 0x21})
        for (const Place& p : places) {
          SCOPED_TRACE(testing::Message() << "format " << int(fmt) << " shader " << k << " flags " << flags
                                          << " at " << p.x << "," << p.y);
          FillRandom(dst, 5u + fmt * 3u + uint32_t(k));
          std::vector<uint32_t> want = Snapshot(dst);
          // The oracle: clip by hand, then each pixel once.
          const int32_t cl = std::max({p.r.left, 0, p.r.left - p.x}), ct = std::max({p.r.top, 0, p.r.top - p.y});
          const int32_t cr = std::min({p.r.right, 7, p.r.left + 10 - p.x}),
                        cb = std::min({p.r.bottom, 5, p.r.top + 6 - p.y});
          for (int32_t sy = ct; sy < cb; ++sy)
            for (int32_t sx = cl; sx < cr; ++sx) {
              const uint32_t s = Raw(src, sx, sy);
              if ((flags & 1) && s == key) continue;
              uint32_t& d = want[size_t(p.y + sy - p.r.top) * 10 + size_t(p.x + sx - p.r.left)];
              if (fmt == 1) {
                d = s;
                continue;
              }
              d = OracleFromShader(fmt, OracleShade(Kind(k), OracleToShader(fmt, d), OracleToShader(fmt, s),
                                                    uint32_t(sx - cl), uint32_t(sy - ct), 0x10203));
            }
          const int result = dst.BltPixelShader(p.x, p.y, &src, &p.r, kShaderOf[k], flags, 0x10203);
          EXPECT_EQ(result, cl < cr && ct < cb ? 0 : 4);
          ASSERT_EQ(Snapshot(dst), want);
        }
  }
}

TEST(ShaderBlit, GrayscaleOf565WhiteAndXorTwice) {
  TestEngine e;
  Z2DSurface src, dst;
  MakeSurface(e, src, 4, 3, ZFMT_RGB565);
  MakeSurface(e, dst, 4, 3, ZFMT_RGB565);
  src.FillRect(nullptr, 0xFFFFFF, 0, 0);
  ASSERT_EQ(dst.BltPixelShader(0, 0, &src, nullptr, ZPShader_Grayscale, 0, 0), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) ASSERT_EQ(Raw(dst, x, y), 0xFFDFu);  // 249 in each channel

  for (uint8_t fmt = 2; fmt <= 6; ++fmt) {
    Z2DSurface a, b;
    MakeSurface(e, a, 9, 4, fmt);
    MakeSurface(e, b, 6, 3, fmt);
    FillRandom(a, fmt);
    FillRandom(b, fmt + 40u);
    // Only the bits a format stores come back: compare what the format shows.
    std::vector<uint32_t> before = Snapshot(a);
    for (uint32_t& p : before) p = OracleFromShader(fmt, OracleToShader(fmt, p));
    ASSERT_EQ(a.BltPixelShader(2, 1, &b, nullptr, ZPShader_XOR, 0, 0), 0);
    EXPECT_NE(Snapshot(a), before);
    ASSERT_EQ(a.BltPixelShader(2, 1, &b, nullptr, ZPShader_XOR, 0, 0), 0);
    std::vector<uint32_t> after = Snapshot(a);
    for (size_t i = 0; i < after.size(); ++i) {
      const int32_t x = int32_t(i % 9), y = int32_t(i / 9);
      if (x >= 2 && x < 8 && y >= 1) {
        EXPECT_EQ(after[i], before[i]) << "format " << int(fmt) << " at " << i;
      }
    }
  }
}

// A shader that counts and records its calls.
struct Calls {
  int count = 0;
  std::vector<std::pair<uint32_t, uint32_t>> at;
};
Calls g_calls;
uint32_t Recording(uint32_t dst, uint32_t, uint32_t x, uint32_t y, int32_t) {
  ++g_calls.count;
  g_calls.at.push_back({x, y});
  return dst;
}

TEST(ShaderBlit, ShaderSeesEveryDrawnPixelOnceInRasterOrder) {
  TestEngine e;
  for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
    Z2DSurface src, dst;
    MakeSurface(e, src, 6, 4, fmt);
    MakeSurface(e, dst, 8, 8, fmt);
    FillRandom(src, 3);
    src.colorkey = Raw(src, 1, 1);
    g_calls = {};
    // Clipped on the left and top: the offsets start at 0 where the drawn part starts.
    ASSERT_EQ(dst.BltPixelShader(-2, -1, &src, nullptr, Recording, 0, 0), 0);
    std::vector<std::pair<uint32_t, uint32_t>> want;
    if (fmt != 1)
      for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 4; ++x) want.push_back({x, y});
    EXPECT_EQ(g_calls.at, want) << "format " << int(fmt);

    // A rectangle of key pixels only: nothing changes and the shader is never called.
    src.FillRect(nullptr, 0, 0, 0);
    src.colorkey = Raw(src, 0, 0);
    FillRandom(dst, 9);
    const std::vector<uint32_t> before = Snapshot(dst);
    g_calls = {};
    ASSERT_EQ(dst.BltPixelShader(1, 1, &src, nullptr, Recording, 1, 0), 0);
    EXPECT_EQ(g_calls.count, 0);
    EXPECT_EQ(Snapshot(dst), before);
  }
}

// The offsets are those of the buffer: on a display turned half round the first call is
// the logical bottom-right pixel of the rectangle. The picture itself does not turn.
TEST(ShaderBlit, OffsetsFollowTheBufferOnARotatedDisplay) {
  TestEngine straight(0, ZFMT_RGB565), turned(2, ZFMT_RGB565);
  Z2DSurface s0, d0, s2, d2;
  MakeSurface(straight, s0, 5, 3, ZFMT_RGB565);
  MakeSurface(straight, d0, 9, 7, ZFMT_RGB565);
  MakeSurface(turned, s2, 5, 3, ZFMT_RGB565);
  MakeSurface(turned, d2, 9, 7, ZFMT_RGB565);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      s0.PutPixel(x, y, uint32_t(x * 40 + y * 0x3000 + 0x100000), 0, 0);
      s2.PutPixel(x, y, uint32_t(x * 40 + y * 0x3000 + 0x100000), 0, 0);
    }
  d0.FillRect(nullptr, 0x123456, 0, 0);
  d2.FillRect(nullptr, 0x123456, 0, 0);
  ASSERT_EQ(d0.BltPixelShader(2, 3, &s0, nullptr, ZPShader_XOR, 0, 0), 0);
  ASSERT_EQ(d2.BltPixelShader(2, 3, &s2, nullptr, ZPShader_XOR, 0, 0), 0);
  EXPECT_EQ(LogicalPixels(d0), LogicalPixels(d2));

  g_calls = {};
  ASSERT_EQ(d2.BltPixelShader(2, 3, &s2, nullptr, Recording, 0, 0), 0);
  ASSERT_EQ(g_calls.count, 15);
  // Buffer (0, 0) of the drawn rectangle is logical (4, 2) of the source.
  EXPECT_EQ(g_calls.at.front(), std::make_pair(0u, 0u));
  d2.FillRect(nullptr, 0, 0, 0);
  ASSERT_EQ(d2.BltPixelShader(2, 3, &s2, nullptr, PositionShader, 0, 0), 0);
  EXPECT_EQ(d2.GetPixel(2 + 4, 3 + 2), ZSurf_Expand(ZFMT_RGB565, OracleFromShader(4, PositionShader(0, 0, 0, 0, 0))));
}

// A source that overlaps its destination on the same surface is read as it was.
TEST(ShaderBlit, OverlappingSelfBlitReadsTheSourceAsItWas) {
  TestEngine e;
  const tagRECT r = {1, 1, 9, 6};
  for (uint8_t fmt : {ZFMT_RGB444, ZFMT_RGB888, ZFMT_XRGB8888})
    for (int32_t x : {3, 0}) {
      Z2DSurface s, fresh, want;
      MakeSurface(e, s, 12, 8, fmt);
      MakeSurface(e, fresh, 12, 8, fmt);
      MakeSurface(e, want, 12, 8, fmt);
      FillRandom(s, 77);
      FillRandom(fresh, 77);
      FillRandom(want, 77);
      ASSERT_EQ(s.BltPixelShader(x, 2, &s, &r, ZPShader_XOR, 0, 0), 0);
      ASSERT_EQ(want.BltPixelShader(x, 2, &fresh, &r, ZPShader_XOR, 0, 0), 0);
      EXPECT_EQ(Snapshot(s), Snapshot(want)) << "format " << int(fmt) << " at " << x;
    }
}

TEST(ShaderBlit, ResultCodesAndBadArguments) {
  TestEngine e;
  Z2DSurface a, b, c, none;
  MakeSurface(e, a, 8, 8, ZFMT_RGB565);
  MakeSurface(e, b, 4, 4, ZFMT_RGB565);
  MakeSurface(e, c, 4, 4, ZFMT_XRGB8888);
  none.LinkZCD(&e.zcd);
  FillRandom(a, 1);
  FillRandom(b, 2);
  const std::vector<uint32_t> before = Snapshot(a);
  const tagRECT far = {100, 100, 104, 104}, inverted = {3, 3, 1, 1};
  struct Case {
    const char* what;
    Z2DSurface* src;
    const tagRECT* rect;
    ZPIXELSHADER shader;
    int32_t x, y;
    int want;
  } cases[] = {
      {"null shader", &b, nullptr, nullptr, 0, 0, 4},
      {"null source", nullptr, nullptr, ZPShader_OR, 0, 0, 4},
      {"formats differ", &c, nullptr, ZPShader_OR, 0, 0, 11},
      {"source never created (no format yet)", &none, nullptr, ZPShader_OR, 0, 0, 11},
      {"outside the destination", &b, nullptr, ZPShader_OR, 8, 0, 4},
      {"far off the left", &b, nullptr, ZPShader_OR, INT32_MIN, INT32_MIN, 4},
      {"far off the right", &b, nullptr, ZPShader_OR, INT32_MAX, INT32_MAX, 4},
      {"rectangle outside the source", &b, &far, ZPShader_OR, 0, 0, 4},
      {"inverted rectangle", &b, &inverted, ZPShader_OR, 0, 0, 4},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(a.BltPixelShader(k.x, k.y, k.src, k.rect, k.shader, 1, 0), k.want) << k.what;
    EXPECT_EQ(Snapshot(a), before) << k.what;
  }
  none.format = ZFMT_RGB565;  // a surface that was never created, in the same format
  EXPECT_EQ(a.BltPixelShader(0, 0, &none, nullptr, ZPShader_OR, 0, 0), 1);
  EXPECT_EQ(none.BltPixelShader(0, 0, &a, nullptr, ZPShader_OR, 0, 0), 1);

  // A created surface whose pixel buffer went missing: 12, and no lock left behind.
  uint8_t* kept = b.buffer;
  b.buffer = nullptr;
  EXPECT_EQ(a.BltPixelShader(0, 0, &b, nullptr, ZPShader_OR, 0, 0), 12);
  EXPECT_EQ(b.BltPixelShader(0, 0, &a, nullptr, ZPShader_OR, 0, 0), 12);
  b.buffer = kept;
  EXPECT_EQ(a.lockcount, 0);
  EXPECT_EQ(b.lockcount, 0);
  EXPECT_EQ(Snapshot(a), before);
}

// The loops alone, on 8-bit buffers: indices are copied (the keyed form skips the key) and
// the shader is never called.
TEST(ShaderBlit, IndexLoopsCopyWithoutTheShader) {
  uint8_t src[4 * 3], dst[5 * 4];
  for (int i = 0; i < 12; ++i) src[i] = uint8_t(i + 1);
  src[5] = 0xEE;
  for (uint8_t& d : dst) d = 0x55;
  const tagRECT r = {1, 0, 4, 3};
  g_calls = {};
  Z2DSurface::MemBltColorkey(Recording, 2, 1, dst, src, &r, 5, 4, ZFMT_INDEX8, 0, 0xEE);
  EXPECT_EQ(g_calls.count, 0);
  const uint8_t want[5 * 4] = {0x55, 0x55, 0x55, 0x55, 0x55,  //
                               0x55, 0x55, 2,    3,    4,     //
                               0x55, 0x55, 0x55, 7,    8,     //
                               0x55, 0x55, 10,   11,   12};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(dst[i], want[i]) << i;
  Z2DSurface::MemBlt(Recording, 2, 1, dst, src, &r, 5, 4, ZFMT_INDEX8, 0);
  EXPECT_EQ(dst[5 + 2], 2);
  EXPECT_EQ(dst[10 + 2], 0xEE);
  EXPECT_EQ(g_calls.count, 0);
}

// Extreme positions and rectangles on every rotation and format: nothing outside the clip
// changes (the sanitizer build checks every read and write of both buffers).
TEST(ShaderBlit, ExtremeArgumentsStayInsideTheClip) {
  const int32_t coords[] = {INT32_MIN, INT32_MIN + 1, -1000000, -9, -1, 0, 3, 30, 1000000, INT32_MAX - 1, INT32_MAX};
  for (uint8_t rot = 0; rot < 4; ++rot)
    for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
      TestEngine e(rot);
      Z2DSurface dst, src;
      MakeSurface(e, dst, 31, 23, fmt);
      MakeSurface(e, src, 9, 7, fmt);
      FillRandom(src, fmt);
      const tagRECT clip = {4, 3, 26, 19};
      uint32_t seed = rot * 7u + fmt;
      for (int i = 0; i < 300; ++i) {
        auto pick = [&] {
          seed = seed * 1664525u + 1013904223u;
          return coords[(seed >> 8) % 11];
        };
        dst.SetClipper(nullptr);
        dst.FillRect(nullptr, 0, 0, 0);
        dst.SetClipper(&clip);
        const tagRECT r = {pick(), pick(), pick(), pick()};
        const int32_t x = pick(), y = pick();
        Z2DSurface* from = i % 5 ? &src : &dst;  // sometimes itself
        dst.BltPixelShader(x, y, from, i % 3 ? &r : nullptr, ZPShader_Grayscale, i & 1, 0);
        for (int32_t py = 0; py < 23; ++py)
          for (int32_t px = 0; px < 31; ++px) {
            const tagPOINT p = {px, py};
            if (!InRect(&clip, &p)) {
              ASSERT_EQ(dst.GetPixel(px, py), 0u) << px << "," << py;
            }
          }
      }
    }
}

}  // namespace
