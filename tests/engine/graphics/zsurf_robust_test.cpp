// Extreme arguments on every rotation: nothing is written outside the clip rectangle and
// nothing reads or writes outside a buffer (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <climits>

#include "gfx_test_engine.h"

namespace {

struct Lcg {
  uint32_t s;
  uint32_t Next() {
    s = s * 1664525u + 1013904223u;
    return s;
  }
  // Mostly small values, sometimes the ends of the 32-bit range.
  int32_t Coord() {
    switch (Next() >> 29) {
      case 0: return INT32_MIN + int32_t(Next() % 3);
      case 1: return INT32_MAX - int32_t(Next() % 3);
      case 2: return int32_t(Next() % 2000001) - 1000000;
      default: return int32_t(Next() % 60) - 15;
    }
  }
};

TEST(Robustness, ExtremeArgumentsStayInsideTheClip) {
  const uint32_t kCanary = 0x00A5C3E1;
  for (uint8_t rot = 0; rot < 4; ++rot)
    for (uint8_t fmt = 1; fmt <= 6; ++fmt) {
      TestEngine e(rot);
      Z2DSurface dst, src;
      MakeSurface(e, dst, 31, 23, fmt);
      MakeSurface(e, src, 9, 7, fmt);
      for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 9; ++x) src.PutPixel(x, y, uint32_t(x * 0x112233 + y * 0x0F0F0F), 0, 0);
      src.SetColorKey(0);
      dst.FillRect(nullptr, kCanary, 0, 0);
      const uint32_t canary = dst.GetPixel(0, 0);
      const tagRECT clip = {4, 3, 26, 19};
      dst.SetClipper(&clip);
      Lcg r{1234u + rot * 7u + fmt};
      for (int i = 0; i < 400; ++i) {
        const int32_t a = r.Coord(), b = r.Coord(), c = r.Coord(), d = r.Coord();
        const int32_t flags = int32_t(r.Next() & 0x3F);
        const uint32_t prop = r.Next();
        const tagRECT rect = {a, b, c, d};
        switch (r.Next() % 9) {
          case 0: dst.FillRect(&rect, r.Next(), flags, prop); break;
          case 1: dst.BltFast(a, b, &src, (r.Next() & 1) ? &rect : nullptr, flags, prop); break;
          case 2: dst.DrawLine(a, b, c, d, r.Next(), flags, prop); break;
          case 3: dst.DrawRect(&rect, r.Next(), flags, prop); break;
          case 4: dst.FillOval(a, b, c % 100, d % 100, r.Next(), flags, prop); break;
          case 5: dst.DrawOval(a, b, c, d, r.Next(), flags, prop); break;
          case 6: dst.PutPixelRow(a, b, uint32_t(c), r.Next(), flags, prop); break;
          case 7: dst.PutPixel(a, b, r.Next(), flags, prop); break;
          default: dst.BltFast(a % 40, b % 30, &dst, &rect, flags, prop); break;
        }
      }
      for (int32_t y = 0; y < 23; ++y)
        for (int32_t x = 0; x < 31; ++x) {
          const bool inside = x >= 4 && x < 26 && y >= 3 && y < 19;
          if (!inside) {
            ASSERT_EQ(dst.GetPixel(x, y), canary) << int(rot) << " " << int(fmt) << " " << x << "," << y;
          }
        }
      EXPECT_EQ(dst.lockcount, 0);
    }
}

}  // namespace
