// BltFast and the 1:1 workers against the one-pixel-at-a-time oracle.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/graphics/zx_blt.h"
#include "gfx_oracle.h"
#include "gfx_test_engine.h"

namespace {

uint32_t Rand(uint32_t& s) {
  s = s * 1103515245u + 12345u;
  return s >> 8;
}

uint32_t UsedMask(int format) {
  switch (format) {
    case 1: return 0xFF;
    case 2: return 0x0FFF;
    case 3: return 0x7FFF;
    case 4: return 0xFFFF;
    default: return 0xFFFFFF;
  }
}

// A card of distinct pixels with key pixels at fixed places; the key is a stored pixel.
void FillCard(Z2DSurface& s, uint32_t seed, uint32_t key) {
  for (int32_t y = 0; y < s.rows; ++y)
    for (int32_t x = 0; x < s.rowlength; ++x) {
      uint32_t v;
      do v = Rand(seed) & UsedMask(s.format);
      while (v == key);
      SetRaw(s, x, y, v);
    }
  const int32_t keys[][2] = {{0, 0}, {3, 1}, {4, 1}, {6, 2}, {1, 2}, {2, 0}};
  for (const auto& k : keys)
    if (k[0] < s.rowlength && k[1] < s.rows) SetRaw(s, k[0], k[1], key);
  s.colorkey = key;
}

// Expected destination of a same-format BltFast (rotation 0), from the oracle.
std::vector<uint32_t> ExpectSame(const Z2DSurface& dst, const Z2DSurface& src, int32_t x, int32_t y,
                                 tagRECT r, uint32_t flags, uint32_t prop, int* result) {
  std::vector<uint32_t> out = Snapshot(dst);
  const int fmt = dst.format;
  uint32_t f = flags & 0xFF;
  if ((f & 0x30) == 0x30) f &= ~0x30u;
  if (f & 8) {
    const uint32_t a = (f & 6) ? prop >> 24 : prop;
    if (a > 254) f &= ~8u;
    else if (oracle::Quantise(fmt, a) == 0) {
      *result = 10;
      return out;
    } else if (f & 6) {
      prop = (prop & 0xFFFFFF) | oracle::Quantise(fmt, a) << 24;
    }
  }
  *result = 0;
  if ((f & 7) == 2) {  // a fill the size of the rectangle
    for (int32_t j = 0; j < r.bottom - r.top; ++j)
      for (int32_t i = 0; i < r.right - r.left; ++i) {
        const int32_t dx = x + i, dy = y + j;
        if (dx < 0 || dy < 0 || dx >= dst.rowlength || dy >= dst.rows) continue;
        uint32_t& d = out[size_t(dy) * dst.rowlength + dx];
        d = oracle::FillPixel(fmt, d, prop & 0xFFFFFF, f - 2, prop >> 24);
      }
    return out;
  }
  bool any = false;
  for (int32_t sy = r.top; sy < r.bottom; ++sy)
    for (int32_t sx = r.left; sx < r.right; ++sx) {
      if (sx < 0 || sy < 0 || sx >= src.rowlength || sy >= src.rows) continue;
      const int32_t dx = x + sx - r.left, dy = y + sy - r.top;
      if (dx < 0 || dy < 0 || dx >= dst.rowlength || dy >= dst.rows) continue;
      any = true;
      const uint32_t s = Raw(src, sx, sy);
      if ((f & 1) && s == src.colorkey) continue;
      uint32_t& d = out[size_t(dy) * dst.rowlength + dx];
      d = f ? oracle::SameFormatPixel(fmt, d, s, f, prop) : s;
    }
  if (!any) *result = 4;
  return out;
}

const uint32_t kFlags[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0A, 0x0B, 0x0C, 0x10, 0x11, 0x12,
                           0x14, 0x18, 0x19, 0x20, 0x21, 0x28, 0x30, 0x31, 0x38, 0x16};
const uint32_t kProps[] = {100, 128, 64, 192, 32, 224, 16, 240, 9, 15, 255, 1000,
                           0x80336699, 0xC8FF10A0, 0x08FFFFFF, 0x40F0F0F0, 0x85123456};

// Flags x formats x properties, at destination x 0..3 with source widths 1..5 taken from
// even and odd source columns (the pair loops' leading and trailing pixels), plus clipped
// positions.
TEST(BltFast, SameFormatTableAgainstOracle) {
  TestEngine e;
  for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
    Z2DSurface src, dst;
    MakeSurface(e, src, 7, 3, fmt);
    MakeSurface(e, dst, 13, 6, fmt);
    const uint32_t key = ZSurf_Pack(fmt, 0xFF00FF);
    FillCard(src, 7 + fmt, key);
    struct Place {
      int32_t x, y;
      tagRECT r;
    };
    std::vector<Place> places;
    for (int32_t dx = 0; dx < 4; ++dx)
      for (int32_t w = 1; w <= 5; ++w)
        for (int32_t sx = 0; sx < 2; ++sx) places.push_back({dx, dx & 1, {sx, 0, sx + w, 3}});
    places.push_back({-2, -1, {0, 0, 7, 3}});
    places.push_back({9, 4, {0, 0, 7, 3}});
    for (uint32_t f : kFlags)
      for (uint32_t prop : kProps)
        for (const Place& p : places) {
          FillCard(dst, 99, key ^ 1);
          int expect_result = 0;
          const std::vector<uint32_t> expect = ExpectSame(dst, src, p.x, p.y, p.r, f, prop, &expect_result);
          const int result = dst.BltFast(p.x, p.y, &src, &p.r, int32_t(f), prop);
          ASSERT_EQ(result, expect_result) << "format " << int(fmt) << " flags " << f << " prop " << prop;
          ASSERT_EQ(Snapshot(dst), expect) << "format " << int(fmt) << " flags " << std::hex << f << " prop "
                                           << prop << std::dec << " at " << p.x << "," << p.y << " src "
                                           << p.r.left << ".." << p.r.right;
          ASSERT_EQ(dst.lockcount, 0);
          ASSERT_EQ(src.lockcount, 0);
        }
  }
}

// Rows long enough for the workers' many-pixels-at-once loops, at both alignments of a
// 16-bit destination, against the same oracle.
TEST(BltFast, LongRowsAgainstOracle) {
  TestEngine e;
  for (uint8_t fmt = 2; fmt <= 6; ++fmt) {
    Z2DSurface src, dst;
    MakeSurface(e, src, 41, 2, fmt);
    MakeSurface(e, dst, 47, 3, fmt);
    const uint32_t key = ZSurf_Pack(fmt, 0xFF00FF);
    FillCard(src, 3 + fmt, key);
    for (uint32_t f : kFlags)
      for (uint32_t prop : {100u, 128u, 0x80336699u, 0x40F0F0F0u})
        for (int32_t x : {0, 1, 5}) {
          FillCard(dst, 77, key ^ 1);
          const tagRECT r = {x & 1, 0, 41, 2};
          int expect_result = 0;
          const std::vector<uint32_t> expect = ExpectSame(dst, src, x, 1, r, f, prop, &expect_result);
          ASSERT_EQ(dst.BltFast(x, 1, &src, &r, int32_t(f), prop), expect_result);
          ASSERT_EQ(Snapshot(dst), expect) << "format " << int(fmt) << " flags " << std::hex << f << " prop "
                                           << prop << std::dec << " at " << x;
        }
  }
}

// Different formats: the converter without flags, the pixel rule with flags.
TEST(BltFast, CrossFormatTableAgainstOracle) {
  TestEngine e;
  for (uint32_t i = 0; i < 256; ++i) e.display.palette[i] = (i * 0x010305u) & 0xFFFFFF;
  for (uint8_t sf = 1; sf <= 6; ++sf)
    for (uint8_t df = 2; df <= 6; ++df) {
      if (sf == df) continue;
      Z2DSurface src, dst;
      MakeSurface(e, src, 7, 3, sf);
      MakeSurface(e, dst, 9, 4, df);
      const uint32_t key = ZSurf_Pack(sf, 0xFF00FF);
      FillCard(src, 3 + sf, key);
      for (uint32_t f : {0u, 1u, 8u, 9u, 0x10u, 0x21u, 0x0Cu, 0x07u, 0x30u})
        for (uint32_t prop0 : {100u, 128u, 0x80336699u, 0x85123456u}) {
          uint32_t prop = prop0;
          if ((f & 8) && (f & 6) && (prop >> 24) <= 254)
            prop = (prop & 0xFFFFFF) | oracle::Quantise(df, prop >> 24) << 24;
          FillCard(dst, 42, ZSurf_Pack(df, 0x123456));
          std::vector<uint32_t> expect = Snapshot(dst);
          for (int32_t sy = 0; sy < 3; ++sy)
            for (int32_t sx = 0; sx < 7; ++sx) {
              const int32_t dx = sx + 1, dy = sy + 1;
              if (dx >= 9 || dy >= 4) continue;
              const uint32_t s = Raw(src, sx, sy);
              uint32_t& d = expect[size_t(dy) * 9 + dx];
              uint32_t ff = f & 0xFF;
              if ((ff & 0x30) == 0x30) ff &= ~0x30u;
              if ((ff & 8) && ((ff & 6) ? prop >> 24 : prop) > 254) ff &= ~8u;
              if ((ff & 7) == 2) {
                d = oracle::FillPixel(df, d, prop & 0xFFFFFF, ff - 2, prop >> 24);
                continue;
              }
              if (ff == 0) {
                if (sf == 1) {
                  d = oracle::Pack(df, ((e.display.palette[s] & 0xFF) << 16) | (e.display.palette[s] & 0xFF00) |
                                           (e.display.palette[s] >> 16 & 0xFF));
                } else if (df == 6 && sf <= 4) {
                  // Whole-word shifts: the low bits of each channel take bits of the next field down.
                  d = sf == 2 ? (s << 4 & 0xFF) | (s << 8 & 0xFF00) | (s << 12 & 0xFF0000)
                      : sf == 3 ? (s << 3 & 0xFF) | (s << 6 & 0xFF00) | (s << 9 & 0xFF0000)
                                : (s << 3 & 0xFF) | (s << 5 & 0xFF00) | (s << 8 & 0xFF0000);
                } else {
                  d = oracle::Pack(df, oracle::Expand(sf, s));
                }
                continue;
              }
              if ((ff & 1) && s == key) continue;
              uint32_t out;
              if (oracle::PixelRule(df, oracle::Expand(df, d), oracle::Expand(sf, s), ff & ~1u, prop, out)) d = out;
            }
          int expect_result = 0;
          if ((f & 8) && (f & 0x30) != 0x30) {
            const uint32_t a = (f & 6) ? prop >> 24 : prop;
            if (a <= 254 && oracle::Quantise(df, a) == 0) {
              expect_result = 10;
              expect = Snapshot(dst);
            }
          }
          const int result = dst.BltFast(1, 1, &src, nullptr, int32_t(f), prop0);
          ASSERT_EQ(result, expect_result) << int(sf) << "->" << int(df) << " flags " << f;
          ASSERT_EQ(Snapshot(dst), expect) << int(sf) << "->" << int(df) << " flags " << std::hex << f
                                           << " prop " << prop;
        }
    }
}

TEST(BltFast, FixedCases) {
  TestEngine e;
  Z2DSurface a, b;
  MakeSurface(e, a, 4, 1, 4);
  MakeSurface(e, b, 4, 1, 4);
  // Opacity 128 on 5:6:5: dst - (dst >> 1 & M) + (src >> 1 & M), i.e. ceil(d/2) + floor(s/2).
  SetRaw(a, 0, 0, 0xFFFF);
  SetRaw(b, 0, 0, 0x0821);  // 1 in each field
  a.BltFast(0, 0, &b, nullptr, 8, 128);
  EXPECT_EQ(Raw(a, 0, 0), 0x8410u + 0x0000u);  // ceil(31/2)=16, ceil(63/2)=32, 16 + 0 each
  SetRaw(a, 1, 0, 0x0821);
  SetRaw(b, 1, 0, 0xFFFF);
  tagRECT one = {1, 0, 2, 1};
  a.BltFast(1, 0, &b, &one, 8, 128);
  EXPECT_EQ(Raw(a, 1, 0), 0x8410u);  // 1 + 15 = 16, 1 + 31 = 32
  // Opacity 8 on 4:4:4 is nothing to draw; on 32 bits it blends with weight 8.
  Z2DSurface c, d;
  MakeSurface(e, c, 2, 1, 2);
  MakeSurface(e, d, 2, 1, 2);
  EXPECT_EQ(c.BltFast(0, 0, &d, nullptr, 8, 8), 10);
  SetRaw(c, 0, 0, 0x0ABC);
  SetRaw(d, 0, 0, 0x0123);
  EXPECT_EQ(c.BltFast(0, 0, &d, nullptr, 8, 16), 0);
  EXPECT_EQ(Raw(c, 0, 0), 0x0ABCu);  // 16 leaves the destination
  EXPECT_EQ(c.BltFast(0, 0, &d, nullptr, 8, 240), 0);
  EXPECT_EQ(Raw(c, 0, 0), 0x0123u);  // 240 copies the source
  Z2DSurface g, h;
  MakeSurface(e, g, 1, 1, 6);
  MakeSurface(e, h, 1, 1, 6);
  SetRaw(h, 0, 0, 0xFF0000);
  EXPECT_EQ(g.BltFast(0, 0, &h, nullptr, 8, 8), 0);
  EXPECT_EQ(Raw(g, 0, 0), 0x070000u);
  // A null source, an 8-bit destination from another format.
  EXPECT_EQ(a.BltFast(0, 0, static_cast<Z2DSurface*>(nullptr), nullptr, 0, 0), 4);
  Z2DSurface idx;
  MakeSurface(e, idx, 4, 1, 1);
  EXPECT_EQ(idx.BltFast(0, 0, &a, nullptr, 0, 0), 11);
  EXPECT_EQ(idx.BltFast(0, 0, &a, nullptr, 1, 0), 11);
  // Nothing visible, a source not created.
  EXPECT_EQ(a.BltFast(4, 0, &b, nullptr, 0, 0), 4);
  Z2DSurface none;
  none.LinkZCD(&e.zcd);
  EXPECT_EQ(a.BltFast(0, 0, &none, nullptr, 0, 0), 1);
  // Colorize without key fills even from a source that is not created.
  tagRECT r2 = {0, 0, 2, 1};
  EXPECT_EQ(a.BltFast(2, 0, &none, &r2, 2, 0x0000FF), 0);
  EXPECT_EQ(Raw(a, 2, 0), 0xF800u);
  EXPECT_EQ(Raw(a, 3, 0), 0xF800u);
}

TEST(BltFast, ConversionCacheFollowsThePalette) {
  TestEngine e;
  Z2DSurface idx, dst;
  MakeSurface(e, idx, 2, 1, 1);
  MakeSurface(e, dst, 2, 1, 4);
  SetRaw(idx, 0, 0, 5);
  uint32_t colours[256] = {};
  colours[5] = 0x0000FF;  // red as a colour word
  e.display.SetPalette(colours, 0, 256);
  dst.BltFast(0, 0, &idx, nullptr, 0, 0);
  EXPECT_EQ(Raw(dst, 0, 0), 0xF800u);
  EXPECT_EQ(e.display.palettecacheformat, 4u);
  colours[5] = 0xFF0000;  // blue
  e.display.SetPalette(colours, 5, 1);
  dst.BltFast(0, 0, &idx, nullptr, 0, 0);
  EXPECT_EQ(Raw(dst, 0, 0), 0x001Fu);
}

TEST(BltFast, ConversionsOfSingleValues) {
  TestEngine e;
  struct Case {
    uint8_t sf, df;
    uint32_t in, out;
  } cases[] = {
      {2, 6, 0x0F00, 0x00F00000}, {2, 6, 0x0FFF, 0x00FFFFF0}, {4, 6, 0xF81F, 0x00F803F8},
      {2, 6, 0x0F0F, 0x00F00FF0},  // the pinned bit smearing: magenta gets green 0x0F
      {3, 4, 0x001F, 0x001F},      // blue's top bit stays out of green
      {3, 4, 0x7FFF, 0xFFDF},     {6, 4, 0x00FFFFFF, 0xFFFF}, {5, 6, 0x00123456, 0x00123456},
      {6, 5, 0x00123456, 0x00123456}, {4, 5, 0xFFFF, 0x00F8FCF8}, {4, 2, 0xFFFF, 0x0FFF},
  };
  for (const Case& c : cases) {
    Z2DSurface s, d;
    MakeSurface(e, s, 1, 1, c.sf);
    MakeSurface(e, d, 1, 1, c.df);
    SetRaw(s, 0, 0, c.in);
    ASSERT_EQ(d.BltFast(0, 0, &s, nullptr, 0, 0), 0);
    EXPECT_EQ(Raw(d, 0, 0), c.out) << int(c.sf) << "->" << int(c.df) << std::hex << " " << c.in;
  }
}

// Self-blits with every overlap direction equal a blit from a copy of the surface.
TEST(BltFast, OverlappingSelfBlits) {
  TestEngine e;
  for (uint32_t f : {0u, 1u, 8u, 0x10u, 0x18u}) {
    for (int32_t dx = -2; dx <= 2; ++dx)
      for (int32_t dy = -2; dy <= 2; ++dy) {
        Z2DSurface s, copy;
        MakeSurface(e, s, 12, 9, 4);
        MakeSurface(e, copy, 12, 9, 4);
        FillCard(s, 5, 0xF81F);
        copy.BltFast(0, 0, &s, nullptr, 0, 0);
        copy.colorkey = s.colorkey;
        tagRECT r = {2, 2, 10, 7};
        Z2DSurface expect;
        MakeSurface(e, expect, 12, 9, 4);
        expect.BltFast(0, 0, &s, nullptr, 0, 0);
        expect.BltFast(2 + dx, 2 + dy, &copy, &r, int32_t(f), 100);
        s.BltFast(2 + dx, 2 + dy, &s, &r, int32_t(f), 100);
        ASSERT_EQ(Snapshot(s), Snapshot(expect)) << f << " " << dx << "," << dy;
      }
  }
  // Whole-surface self-copy in place.
  Z2DSurface s;
  MakeSurface(e, s, 8, 8, 4);
  FillCard(s, 11, 1);
  const std::vector<uint32_t> before = Snapshot(s);
  s.BltFast(0, 0, &s, nullptr, 0, 0);
  EXPECT_EQ(Snapshot(s), before);
}

// On every rotation a blit gives the same logical picture as on rotation 0.
TEST(BltFast, RotationsShowTheSameLogicalPicture) {
  std::vector<uint32_t> reference;
  for (uint8_t rot = 0; rot < 4; ++rot) {
    TestEngine e(rot);
    Z2DSurface src, dst;
    MakeSurface(e, src, 7, 5, 4);
    MakeSurface(e, dst, 16, 11, 4);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) src.PutPixel(x, y, uint32_t(x * 36 + y * 0x2400 + 0x100000 * (x ^ y)), 0, 0);
    src.PutPixel(2, 2, 0xFF00FF, 0, 0);
    src.SetColorKey(0xFF00FF);
    tagRECT clip = {1, 1, 14, 10};
    dst.SetClipper(&clip);
    tagRECT part = {1, 1, 6, 5};
    for (uint32_t f : {0u, 1u, 8u, 0x11u}) {
      dst.BltFast(-1, 3, &src, nullptr, int32_t(f), 128);
      dst.BltFast(10, 7, &src, &part, int32_t(f), 100);
      dst.BltFast(4, -2, &src, &part, int32_t(f), 64);
    }
    const std::vector<uint32_t> pic = LogicalPixels(dst);
    if (rot == 0) reference = pic;
    else EXPECT_EQ(pic, reference) << int(rot);
  }
}

// Every pair of formats (the workers, the converter and the pixel rule) and the fills and
// primitives on the destination's format: the same logical picture on every rotation.
TEST(BltFast, EveryFormatPairIsTheSameOnEveryRotation) {
  for (uint8_t sf = 1; sf <= 6; ++sf)
    for (uint8_t df = 1; df <= 6; ++df) {
      std::vector<uint32_t> reference;
      for (uint8_t rot = 0; rot < 4; ++rot) {
        TestEngine e(rot);
        for (uint32_t i = 0; i < 256; ++i) e.display.palette[i] = (i * 0x010305u) & 0xFFFFFF;
        Z2DSurface src, dst;
        MakeSurface(e, src, 7, 5, sf);
        MakeSurface(e, dst, 17, 11, df);
        for (int32_t y = 0; y < 5; ++y)
          for (int32_t x = 0; x < 7; ++x) src.PutPixel(x, y, uint32_t(x * 36 + y * 0x2400 + 0x100000 * (x ^ y)), 0, 0);
        src.PutPixel(2, 2, 0xFF00FF, 0, 0);
        src.SetColorKey(0xFF00FF);
        dst.FillRect(nullptr, 0x405060, 0, 0);
        const tagRECT clip = {1, 1, 15, 10}, part = {1, 1, 6, 5}, box = {3, 0, 9, 4};
        dst.SetClipper(&clip);
        for (uint32_t f : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 0x0Au, 0x10u, 0x11u, 0x18u, 0x20u, 0x21u}) {
          dst.BltFast(-1, 3, &src, nullptr, int32_t(f), 0x80FF8040);
          dst.BltFast(11, 7, &src, &part, int32_t(f), 100);
          dst.BltFast(4, -2, &src, &part, int32_t(f), 64);
          dst.DrawLine(-3, 2, 20, 9, 0x112233, int32_t(f), 100);
          dst.FillRect(&box, 0x334455, int32_t(f), 0x80102030);
          dst.DrawRect(&box, 0x8899AA, int32_t(f), 0x40);
          dst.FillOval(2, 3, 5, 3, 0x123456, int32_t(f), 200);
          dst.DrawOval(9, 1, 4, 4, 0x654321, int32_t(f), 200);
          dst.PutPixelRow(-2, 8, 9, 0xABCDEF, int32_t(f), 150);
        }
        const std::vector<uint32_t> pic = LogicalPixels(dst);
        if (rot == 0) reference = pic;
        else EXPECT_EQ(pic, reference) << int(sf) << "->" << int(df) << " rotation " << int(rot);
      }
    }
}

// Whole rows of surfaces of one row length go as one block copy (row padding included).
TEST(BltFast, WholeRowsAsOneBlock) {
  for (uint8_t rot = 0; rot < 4; ++rot)
    for (uint32_t w : {8u, 7u}) {
      TestEngine e(rot);
      Z2DSurface src, dst;
      MakeSurface(e, src, w, w, 4);
      MakeSurface(e, dst, w, w + 4, 4);
      for (int32_t y = 0; y < int32_t(w); ++y)
        for (int32_t x = 0; x < int32_t(w); ++x) src.PutPixel(x, y, uint32_t(x * 30 + y * 0x1E00 + 1), 0, 0);
      tagRECT clip = {0, 3, int32_t(w), int32_t(w) + 2};
      dst.SetClipper(&clip);
      ASSERT_EQ(dst.BltFast(0, 1, &src, nullptr, 0, 0), 0);
      for (int32_t y = 0; y < int32_t(w) + 4; ++y)
        for (int32_t x = 0; x < int32_t(w); ++x) {
          const bool in = y >= 3 && y < int32_t(w) + 1;  // source rows 2 .. w - 1
          ASSERT_EQ(dst.GetPixel(x, y), in ? src.GetPixel(x, y - 1) : 0u) << int(rot) << " " << w << " " << x << "," << y;
        }
    }
}

TEST(BltFast, LeftClippedSourceStartsAtTheMatchingColumn) {
  TestEngine e;
  Z2DSurface src, dst;
  MakeSurface(e, src, 6, 1, 6);
  MakeSurface(e, dst, 10, 1, 6);
  for (int32_t x = 0; x < 6; ++x) src.PutPixel(x, 0, uint32_t(x + 1), 0, 0);
  tagRECT clip = {3, 0, 10, 1};
  dst.SetClipper(&clip);
  dst.BltFast(1, 0, &src, nullptr, 0, 0);
  EXPECT_EQ(dst.GetPixel(2, 0), 0u);
  EXPECT_EQ(dst.GetPixel(3, 0), 3u);
  EXPECT_EQ(dst.GetPixel(6, 0), 6u);
}

TEST(BltFast, MissingBufferRestoresLockCounts) {
  TestEngine e;
  Z2DSurface src, dst;
  MakeSurface(e, src, 4, 4, 4);
  MakeSurface(e, dst, 4, 4, 4);
  uint8_t* keep = src.buffer;
  src.buffer = nullptr;
  EXPECT_EQ(dst.BltFast(0, 0, &src, nullptr, 0, 0), 12);
  EXPECT_EQ(dst.lockcount, 0);
  EXPECT_EQ(src.lockcount, 0);
  src.buffer = keep;
}

// The golden checksum of each worker family on an odd-width card (rotation 0, 5:6:5);
// the oracle tables above and the hand-derived fixed cases anchor them.
TEST(BltFast, GoldenImages) {
  TestEngine e;
  struct Golden {
    uint32_t flags, prop, sum;
  } golden[] = {
      {0x00, 0x00000000, 0x49BD09FD},
      {0x01, 0x00000000, 0xE2160BD5},
      {0x05, 0x00FF8040, 0x6DC9BDD9},
      {0x03, 0x00FF8040, 0x801BC801},
      {0x08, 0x00000064, 0x2DB9EDD9},
      {0x09, 0x00000080, 0xFCCCEC25},
      {0x10, 0x00000000, 0xB7FCABA5},
      {0x21, 0x00000000, 0x050C4789},
      {0x07, 0xFF80FF40, 0x65AC41ED},
  };
  for (const Golden& g : golden) {
    Z2DSurface src, dst;
    MakeSurface(e, src, 11, 7, 4);
    MakeSurface(e, dst, 21, 13, 4);
    FillCard(src, 1234, 0xF81F);
    FillCard(dst, 4321, 0);
    dst.BltFast(3, 2, &src, nullptr, int32_t(g.flags), g.prop);
    dst.BltFast(-4, 9, &src, nullptr, int32_t(g.flags), g.prop);
    dst.BltFast(15, -3, &src, nullptr, int32_t(g.flags), g.prop);
    EXPECT_EQ(LogicalChecksum(dst), g.sum) << std::hex << g.flags << " " << g.prop;
  }
}

}  // namespace
