// Per-format field arithmetic on packed pixels, shared by the blit workers and the
// rectangle workers. Every operation works on whole packed pixels (red and blue in one
// product, green in another) so that the inner loops hold no format tests.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_format.h"

template <int F>
struct ZxFmt;

template <>
struct ZxFmt<ZFMT_RGB444> {
  static constexpr int Bytes = 2;
  static constexpr uint32_t RM = 0xF00, GM = 0xF0, BM = 0xF, RB = RM | BM;
  static constexpr int WeightShift = 4, DivShift = 4;
  static constexpr uint32_t MaxCh(uint32_t p) {
    uint32_t r = p >> 8 & 0xF, g = p >> 4 & 0xF, b = p & 0xF;
    uint32_t m = r > g ? r : g;
    return m > b ? m : b;
  }
};

template <>
struct ZxFmt<ZFMT_RGB555> {
  static constexpr int Bytes = 2;
  static constexpr uint32_t RM = 0x7C00, GM = 0x3E0, BM = 0x1F, RB = RM | BM;
  static constexpr int WeightShift = 3, DivShift = 5;
  static constexpr uint32_t MaxCh(uint32_t p) {
    uint32_t r = p >> 10 & 0x1F, g = p >> 5 & 0x1F, b = p & 0x1F;
    uint32_t m = r > g ? r : g;
    return m > b ? m : b;
  }
};

template <>
struct ZxFmt<ZFMT_RGB565> {
  static constexpr int Bytes = 2;
  static constexpr uint32_t RM = 0xF800, GM = 0x7E0, BM = 0x1F, RB = RM | BM;
  static constexpr int WeightShift = 3, DivShift = 5;
  // Green counts with its top five bits, so the maximum is on the 0..31 scale.
  static constexpr uint32_t MaxCh(uint32_t p) {
    uint32_t r = p >> 11 & 0x1F, g = p >> 6 & 0x1F, b = p & 0x1F;
    uint32_t m = r > g ? r : g;
    return m > b ? m : b;
  }
};

struct ZxFmtTrue {
  static constexpr uint32_t RM = 0xFF0000, GM = 0xFF00, BM = 0xFF, RB = RM | BM;
  static constexpr int WeightShift = 0, DivShift = 8;
  static constexpr uint32_t MaxCh(uint32_t p) {
    uint32_t r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    uint32_t m = r > g ? r : g;
    return m > b ? m : b;
  }
};
template <>
struct ZxFmt<ZFMT_RGB888> : ZxFmtTrue {
  static constexpr int Bytes = 3;
};
template <>
struct ZxFmt<ZFMT_XRGB8888> : ZxFmtTrue {
  static constexpr int Bytes = 4;
};

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
