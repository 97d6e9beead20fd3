// Per-format field arithmetic on packed pixels, shared by the blit workers and the
// rectangle workers. Every operation works on whole packed pixels (red and blue in one
// product, green in another) so that the inner loops hold no format tests.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_format.h"

// Layout of a packed RGB format: its bytes, field masks, the shift that brings an 8-bit
// weight to the format's blend scale and the shift that divides by that scale.
template <int Size, uint32_t Red, uint32_t Green, uint32_t Blue, int WShift, int DShift>
struct ZxLayout {
  static constexpr int Bytes = Size;
  static constexpr uint32_t RM = Red, GM = Green, BM = Blue, RB = RM | BM;
  static constexpr int WeightShift = WShift, DivShift = DShift;
  // A field brought to blue's width: a wider field (5:6:5's green) counts with its top bits.
  static constexpr uint32_t Field(uint32_t p, uint32_t m) {
    return p >> (__builtin_ctz(m) + __builtin_popcount(m) - __builtin_popcount(BM)) & BM;
  }
  // The largest field of a pixel, on blue's scale.
  static constexpr uint32_t MaxCh(uint32_t p) {
    uint32_t r = Field(p, RM), g = Field(p, GM), b = p & BM;
    uint32_t m = r > g ? r : g;
    return m > b ? m : b;
  }
};

template <int F>
struct ZxFmt;
template <>
struct ZxFmt<ZFMT_RGB444> : ZxLayout<2, 0xF00, 0xF0, 0xF, 4, 4> {};
template <>
struct ZxFmt<ZFMT_RGB555> : ZxLayout<2, 0x7C00, 0x3E0, 0x1F, 3, 5> {};
template <>
struct ZxFmt<ZFMT_RGB565> : ZxLayout<2, 0xF800, 0x7E0, 0x1F, 3, 5> {};
template <>
struct ZxFmt<ZFMT_RGB888> : ZxLayout<3, 0xFF0000, 0xFF00, 0xFF, 0, 8> {};
template <>
struct ZxFmt<ZFMT_XRGB8888> : ZxLayout<4, 0xFF0000, 0xFF00, 0xFF, 0, 8> {};

// Raw pixel access by size.
template <int Bytes>
inline uint32_t ZxLoad(const uint8_t* p) {
  if constexpr (Bytes == 1) return *p;
  if constexpr (Bytes == 2) return ZSurf_Load16(p);
  if constexpr (Bytes == 3) return ZSurf_Load24(p);
  if constexpr (Bytes == 4) return ZSurf_Load32(p);
}
template <int Bytes>
inline void ZxStore(uint8_t* p, uint32_t v) {
  if constexpr (Bytes == 1) *p = uint8_t(v);
  if constexpr (Bytes == 2) ZSurf_Store16(p, uint16_t(v));
  if constexpr (Bytes == 3) ZSurf_Store24(p, v);
  if constexpr (Bytes == 4) ZSurf_Store32(p, v);
}

template <int F>
struct ZxOps {
  using T = ZxFmt<F>;
  static constexpr uint32_t RM = T::RM, GM = T::GM, BM = T::BM, RB = T::RB;
  static constexpr int RShift = T::Bytes == 2 ? __builtin_ctz(RM) : 16;
  static constexpr int GShift = T::Bytes == 2 ? __builtin_ctz(GM) : 8;

  // 16-bit pixels split into their fields, each at the bottom of a 16-bit value.
  static constexpr uint16_t RMAX = uint16_t(RM >> RShift), GMAX = uint16_t(GM >> GShift),
                            BMAX = uint16_t(BM);
  static inline uint16_t R16(uint32_t p) { return uint16_t(uint16_t(p) >> RShift & RMAX); }
  static inline uint16_t G16(uint32_t p) { return uint16_t(uint16_t(p) >> GShift & GMAX); }
  static inline uint16_t B16(uint32_t p) { return uint16_t(uint16_t(p) & BMAX); }
  static inline uint32_t Join16(uint16_t r, uint16_t g, uint16_t b) {
    return uint16_t(r << RShift | g << GShift | b);
  }
  static inline uint16_t Min16(uint16_t a, uint16_t b) { return a < b ? a : b; }
  static inline uint16_t SubSat16(uint16_t a, uint16_t b) { return a > b ? uint16_t(a - b) : uint16_t(0); }

  // Per field: each field saturates at its maximum.
  static inline uint32_t AddSat(uint32_t d, uint32_t s) {
    if constexpr (T::Bytes == 2) {
      return Join16(Min16(uint16_t(R16(d) + R16(s)), RMAX), Min16(uint16_t(G16(d) + G16(s)), GMAX),
                    Min16(uint16_t(B16(d) + B16(s)), BMAX));
    } else {
      uint32_t r = (d & RM) + (s & RM);
      uint32_t g = (d & GM) + (s & GM);
      uint32_t b = (d & BM) + (s & BM);
      r = r > RM ? RM : r;
      g = g > GM ? GM : g;
      b = b > BM ? BM : b;
      return r | g | b;
    }
  }
  // Per field: stops at 0.
  static inline uint32_t SubSat(uint32_t d, uint32_t s) {
    if constexpr (T::Bytes == 2) {
      return Join16(SubSat16(R16(d), R16(s)), SubSat16(G16(d), G16(s)), SubSat16(B16(d), B16(s)));
    } else {
      uint32_t dr = d & RM, sr = s & RM, dg = d & GM, sg = s & GM, db = d & BM, sb = s & BM;
      return (dr > sr ? dr - sr : 0) | (dg > sg ? dg - sg : 0) | (db > sb ? db - sb : 0);
    }
  }
  // Per field (iw * dst + w * src) / divisor, truncated (w + iw at most the divisor).
  // 16-bit pixels go field by field in 16-bit arithmetic (a field times a weight fits),
  // which vector units do eight pixels at a time; wider pixels take red and blue in one
  // product and green in another.
  static inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t w, uint32_t iw) {
    if constexpr (T::Bytes == 2) {
      const uint16_t w16 = uint16_t(w), iw16 = uint16_t(iw);
      auto f = [=](uint16_t dv, uint16_t sv) { return uint16_t(uint16_t(dv * iw16 + sv * w16) >> T::DivShift); };
      return Join16(f(R16(d), R16(s)), f(G16(d), G16(s)), f(B16(d), B16(s)));
    } else {
      uint32_t rb = ((d & RB) * iw + (s & RB) * w) >> T::DivShift & RB;
      uint32_t g = ((d & GM) * iw + (s & GM) * w) >> T::DivShift & GM;
      return rb | g;
    }
  }
  // Per field c * w / divisor, truncated (w at most the divisor).
  static inline uint32_t Scale(uint32_t c, uint32_t w) {
    if constexpr (T::Bytes == 2) {
      const uint16_t w16 = uint16_t(w);
      auto f = [=](uint16_t v) { return uint16_t(uint16_t(v * w16) >> T::DivShift); };
      return Join16(f(R16(c)), f(G16(c)), f(B16(c)));
    } else {
      return (((c & RB) * w) >> T::DivShift & RB) | (((c & GM) * w) >> T::DivShift & GM);
    }
  }
  // Colorize and tint together: each field of c times the largest field of p / divisor.
  static inline uint32_t ColorTint(uint32_t c, uint32_t p) {
    return Scale(c, T::MaxCh(p));
  }
};
