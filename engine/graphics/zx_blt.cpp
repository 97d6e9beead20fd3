#include "engine/graphics/zx_blt.h"

#include <cstddef>
#include <cstring>

#include "engine/graphics/zsurf_format.h"
#include "engine/graphics/zx_pixel.h"

#define ZX_BLT_PASS x, y, top, rect, dst, src, dstride, sstride, bits, format

namespace {

// Calls row(d, s, width) for every row of the rectangle.
template <int Bytes, class Row>
inline void ForRows(ZX_BLT_ARGS, Row row) {
  (void)bits;
  (void)format;
  const int32_t w = rect->right - rect->left;
  if (w <= 0) return;
  for (int32_t r = top; r < rect->bottom; ++r) {
    uint8_t* d = dst + (ptrdiff_t(y) + (r - top)) * ptrdiff_t(dstride) * Bytes + ptrdiff_t(x) * Bytes;
    const uint8_t* s = src + (ptrdiff_t(r) * sstride + rect->left) * Bytes;
    row(d, s, w);
  }
}

// One row of 16- or 32-bit pixels as plain arrays (source and destination never overlap
// here), written as a select so that the compiler can work on many pixels at once.
template <class T, bool Keyed, class Op>
inline void TypedRow(T* __restrict d, const T* __restrict s, int32_t w, uint32_t key, Op op) {
  for (int32_t i = 0; i < w; ++i) {
    const uint32_t sp = s[i], dp = d[i];
    d[i] = T(Keyed && sp == key ? dp : op(dp, sp));
  }
}

// One pixel at a time: out = op(dst pixel, src pixel); keyed loops leave key pixels.
template <int Bytes, bool Keyed, class Op>
inline void PixelLoop(ZX_BLT_ARGS, uint32_t key, Op op) {
  ForRows<Bytes>(ZX_BLT_PASS, [&](uint8_t* d, const uint8_t* s, int32_t w) {
    if constexpr (Bytes == 2) {
      TypedRow<uint16_t, Keyed>(reinterpret_cast<uint16_t*>(d), reinterpret_cast<const uint16_t*>(s), w, key, op);
    } else if constexpr (Bytes == 4) {
      TypedRow<uint32_t, Keyed>(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), w, key, op);
    } else {
      for (int32_t i = 0; i < w; ++i, d += Bytes, s += Bytes) {
        const uint32_t sp = ZxLoad<Bytes>(s);
        if (Keyed && sp == key) continue;
        ZxStore<Bytes>(d, op(ZxLoad<Bytes>(d), sp));
      }
    }
  });
}

// 16-bit pixels two per 32-bit word: a leading pixel alone when the destination is not
// word-aligned, then pairs, then a trailing pixel. pairop works on a pair with doubled
// masks; op on one pixel. With a key, the pair is compared with the doubled key in one
// go and each half that matches keeps the destination's pixel. A fully transparent pair
// is stored back unchanged rather than skipped: without a branch in it the compiler turns
// the loop into vector code, which beats skipping on every picture we measured.
template <bool Keyed, class Op, class PairOp>
inline void PairLoop(ZX_BLT_ARGS, uint32_t key, Op op, PairOp pairop) {
  const uint32_t key2 = key | key << 16;
  ForRows<2>(ZX_BLT_PASS, [&](uint8_t* d, const uint8_t* s, int32_t w) {
    int32_t i = 0;
    if ((reinterpret_cast<uintptr_t>(d) & 2) && w > 0) {
      const uint32_t sp = ZSurf_Load16(s);
      if (!Keyed || sp != key) ZSurf_Store16(d, uint16_t(op(ZSurf_Load16(d), sp)));
      d += 2;
      s += 2;
      i = 1;
    }
    for (; i + 2 <= w; i += 2, d += 4, s += 4) {
      const uint32_t sp = ZSurf_Load32(s);
      if (Keyed) {
        const uint32_t dp = ZSurf_Load32(d);
        // Keep the destination half where the source half is the key.
        const uint32_t x = sp ^ key2;
        const uint32_t keep = ((x & 0xFFFF) ? 0u : 0xFFFFu) | ((x >> 16) ? 0u : 0xFFFF0000u);
        ZSurf_Store32(d, (pairop(dp, sp) & ~keep) | (dp & keep));
      } else {
        ZSurf_Store32(d, pairop(ZSurf_Load32(d), sp));
      }
    }
    if (i < w) {
      const uint32_t sp = ZSurf_Load16(s);
      if (!Keyed || sp != key) ZSurf_Store16(d, uint16_t(op(ZSurf_Load16(d), sp)));
    }
  });
}

// Copies rows (8-bit surfaces: what every worker does there).
void CopyRows(ZX_BLT_ARGS) {
  (void)format;
  const int bytes = bits / 8;
  const size_t n = size_t(rect->right - rect->left) * bytes;
  for (int32_t r = top; r < rect->bottom; ++r) {
    std::memcpy(dst + ((ptrdiff_t(y) + (r - top)) * dstride + x) * bytes,
                src + (ptrdiff_t(r) * sstride + rect->left) * bytes, n);
  }
}

template <bool Keyed>
void CopyKeyT(ZX_BLT_ARGS, uint32_t key) {
  auto same = [](uint32_t, uint32_t s) { return s; };
  switch (bits) {
    case 8:
      if (Keyed) PixelLoop<1, true>(ZX_BLT_PASS, key, same);
      else CopyRows(ZX_BLT_PASS);
      break;
    case 16:
      if (Keyed) PairLoop<true>(ZX_BLT_PASS, key, same, same);
      else CopyRows(ZX_BLT_PASS);
      break;
    case 24: PixelLoop<3, Keyed>(ZX_BLT_PASS, key, same); break;
    case 32: PixelLoop<4, Keyed>(ZX_BLT_PASS, key, same); break;
  }
}

// Runs kernel.run<F, Keyed>() for the surface's format; 8-bit surfaces only copy.
template <bool Keyed, class Kernel>
void ByFormat(ZX_BLT_ARGS, uint32_t key, Kernel kernel) {
  switch (format) {
    case ZFMT_RGB444: kernel.template run<ZFMT_RGB444, Keyed>(ZX_BLT_PASS, key); break;
    case ZFMT_RGB555: kernel.template run<ZFMT_RGB555, Keyed>(ZX_BLT_PASS, key); break;
    case ZFMT_RGB565: kernel.template run<ZFMT_RGB565, Keyed>(ZX_BLT_PASS, key); break;
    case ZFMT_RGB888: kernel.template run<ZFMT_RGB888, Keyed>(ZX_BLT_PASS, key); break;
    case ZFMT_XRGB8888: kernel.template run<ZFMT_XRGB8888, Keyed>(ZX_BLT_PASS, key); break;
    default: CopyKeyT<Keyed>(ZX_BLT_PASS, key); break;
  }
}

struct TintKernel {
  uint32_t half;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    const uint32_t m = ZSurf_HalfMask(F, 1), h = half;
    auto op = [=](uint32_t, uint32_t s) { return h + (s >> 1 & m); };
    if constexpr (ZxFmt<F>::Bytes == 2) {
      const uint32_t m2 = m | m << 16, h2 = h | h << 16;
      PairLoop<Keyed>(ZX_BLT_PASS, key, op, [=](uint32_t, uint32_t s) { return h2 + (s >> 1 & m2); });
    } else {
      PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key, op);
    }
  }
};

struct ColKernel {
  uint32_t colour;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    const uint32_t c = colour;
    auto op = [=](uint32_t, uint32_t) { return c; };
    if constexpr (ZxFmt<F>::Bytes == 2) {
      const uint32_t c2 = c | c << 16;
      PairLoop<Keyed>(ZX_BLT_PASS, key, op, [=](uint32_t, uint32_t) { return c2; });
    } else {
      PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key, op);
    }
  }
};

struct ColTntKernel {
  uint32_t colour;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    const uint32_t c = colour;
    PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key,
                                      [=](uint32_t, uint32_t s) { return ZxOps<F>::ColorTint(c, s); });
  }
};

struct OpacKernel {
  uint32_t a;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    using T = ZxFmt<F>;
    const uint32_t w = a >> T::WeightShift, iw = (256 - a) >> T::WeightShift;
    PixelLoop<T::Bytes, Keyed>(ZX_BLT_PASS, key,
                               [=](uint32_t d, uint32_t s) { return ZxOps<F>::Blend(d, s, w, iw); });
  }
};

// a <= 128: out = dst + (src >> s & M) - (dst >> s & M); above: the same with the roles
// of source and destination exchanged.
struct OpacPlusKernel {
  uint32_t a;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    const int sh = ZSurf_OpacityShift(a);
    const uint32_t m = ZSurf_HalfMask(F, sh);
    if (a <= 128) {
      auto op = [=](uint32_t d, uint32_t s) { return d + (s >> sh & m) - (d >> sh & m); };
      if constexpr (ZxFmt<F>::Bytes == 2) {
        const uint32_t m2 = m | m << 16;
        PairLoop<Keyed>(ZX_BLT_PASS, key, op,
                        [=](uint32_t d, uint32_t s) { return d + (s >> sh & m2) - (d >> sh & m2); });
      } else {
        PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key, op);
      }
    } else {
      auto op = [=](uint32_t d, uint32_t s) { return s + (d >> sh & m) - (s >> sh & m); };
      if constexpr (ZxFmt<F>::Bytes == 2) {
        const uint32_t m2 = m | m << 16;
        PairLoop<Keyed>(ZX_BLT_PASS, key, op,
                        [=](uint32_t d, uint32_t s) { return s + (d >> sh & m2) - (s >> sh & m2); });
      } else {
        PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key, op);
      }
    }
  }
};

struct AddKernel {
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key,
                                      [](uint32_t d, uint32_t s) { return ZxOps<F>::AddSat(d, s); });
  }
};

struct SubKernel {
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    PixelLoop<ZxFmt<F>::Bytes, Keyed>(ZX_BLT_PASS, key,
                                      [](uint32_t d, uint32_t s) { return ZxOps<F>::SubSat(d, s); });
  }
};

// Any flag combination, decided per pixel.
struct GenericKernel {
  uint32_t flags, a, colour;
  template <int F, bool Keyed>
  void run(ZX_BLT_ARGS, uint32_t key) const {
    using T = ZxFmt<F>;
    using O = ZxOps<F>;
    const bool col = flags & ZBLT_COLORIZE, tint = flags & ZBLT_TINT;
    bool opac = flags & ZBLT_OPACITY;
    const bool add = flags & ZBLT_ADD, sub = flags & ZBLT_SUB;
    bool prescale = false;
    if (opac && (add || sub)) {
      prescale = true;
      opac = false;
    }
    const uint32_t w = a >> T::WeightShift, iw = (256 - a) >> T::WeightShift;
    const uint32_t m1 = ZSurf_HalfMask(F, 1), c = colour;
    PixelLoop<T::Bytes, Keyed>(ZX_BLT_PASS, key, [=](uint32_t d, uint32_t s) {
      uint32_t out = s;
      if (col && tint) out = O::ColorTint(c, s);
      else if (col) out = c;
      else if (tint) out = c + (s >> 1 & m1);
      if (prescale) out = O::Scale(out, w);
      if (opac) return O::Blend(d, out, w, iw);
      if (add) return O::AddSat(d, out);
      if (sub) return O::SubSat(d, out);
      return out;
    });
  }
};

}  // namespace

void ZxBltCopy(ZX_BLT_ARGS) { CopyRows(ZX_BLT_PASS); }
void ZxBltCk(ZX_BLT_ARGS, uint32_t key) { CopyKeyT<true>(ZX_BLT_PASS, key); }

void ZxBltTnt(ZX_BLT_ARGS, uint32_t half) { ByFormat<false>(ZX_BLT_PASS, 0, TintKernel{half}); }
void ZxBltCkTnt(ZX_BLT_ARGS, uint32_t key, uint32_t half) {
  ByFormat<true>(ZX_BLT_PASS, key, TintKernel{half});
}
void ZxBltCkCol(ZX_BLT_ARGS, uint32_t key, uint32_t colour) {
  ByFormat<true>(ZX_BLT_PASS, key, ColKernel{colour});
}

void ZxBltColTnt(ZX_BLT_ARGS, uint32_t colour) {
  ByFormat<false>(ZX_BLT_PASS, 0, ColTntKernel{colour});
}
void ZxBltCkColTnt(ZX_BLT_ARGS, uint32_t key, uint32_t colour) {
  ByFormat<true>(ZX_BLT_PASS, key, ColTntKernel{colour});
}

void ZxBltOpac(ZX_BLT_ARGS, uint32_t a) {
  if (ZSurf_OpacityShift(a)) return ZxBltOpacPlus(ZX_BLT_PASS, a);
  ByFormat<false>(ZX_BLT_PASS, 0, OpacKernel{a});
}
void ZxBltCkOpac(ZX_BLT_ARGS, uint32_t key, uint32_t a) {
  if (ZSurf_OpacityShift(a)) return ZxBltCkOpacPlus(ZX_BLT_PASS, key, a);
  ByFormat<true>(ZX_BLT_PASS, key, OpacKernel{a});
}
void ZxBltOpacPlus(ZX_BLT_ARGS, uint32_t a) {
  if (!ZSurf_OpacityShift(a)) return ZxBltOpac(ZX_BLT_PASS, a);
  ByFormat<false>(ZX_BLT_PASS, 0, OpacPlusKernel{a});
}
void ZxBltCkOpacPlus(ZX_BLT_ARGS, uint32_t key, uint32_t a) {
  if (!ZSurf_OpacityShift(a)) return ZxBltCkOpac(ZX_BLT_PASS, key, a);
  ByFormat<true>(ZX_BLT_PASS, key, OpacPlusKernel{a});
}

void ZxBltAlpha(ZX_BLT_ARGS) { ByFormat<false>(ZX_BLT_PASS, 0, AddKernel{}); }
void ZxBltCkAlpha(ZX_BLT_ARGS, uint32_t key) { ByFormat<true>(ZX_BLT_PASS, key, AddKernel{}); }
void ZxBltSub(ZX_BLT_ARGS) { ByFormat<false>(ZX_BLT_PASS, 0, SubKernel{}); }
void ZxBltCkSub(ZX_BLT_ARGS, uint32_t key) { ByFormat<true>(ZX_BLT_PASS, key, SubKernel{}); }

void ZxBltGeneric(ZX_BLT_ARGS, uint32_t flags, uint32_t key, uint32_t a, uint32_t colour) {
  if (flags & ZBLT_COLORKEY) ByFormat<true>(ZX_BLT_PASS, key, GenericKernel{flags, a, colour});
  else ByFormat<false>(ZX_BLT_PASS, key, GenericKernel{flags, a, colour});
}

// ---------------------------------------------------------------------------------------
// Format conversion.

namespace {

// pack(expand(p)), except 16-bit sources into 32 bits, which shift whole words so that
// the low bits of each channel receive bits of the next field down.
template <int SF, int DF>
inline uint32_t Convert(uint32_t p) {
  if constexpr (DF == ZFMT_XRGB8888 && SF == ZFMT_RGB444)
    return (p << 4 & 0xFF) | (p << 8 & 0xFF00) | (p << 12 & 0xFF0000);
  else if constexpr (DF == ZFMT_XRGB8888 && SF == ZFMT_RGB555)
    return (p << 3 & 0xFF) | (p << 6 & 0xFF00) | (p << 9 & 0xFF0000);
  else if constexpr (DF == ZFMT_XRGB8888 && SF == ZFMT_RGB565)
    return (p << 3 & 0xFF) | (p << 5 & 0xFF00) | (p << 8 & 0xFF0000);
  else
    return ZSurf_Pack(DF, ZSurf_Expand(SF, p));
}

template <int SB, int DB, class Conv>
void ConvertRows(uint8_t* dst, const uint8_t* src, int32_t dstride, int32_t sstride,
                 int32_t width, int32_t height, Conv conv) {
  for (int32_t r = 0; r < height; ++r) {
    uint8_t* d = dst + ptrdiff_t(r) * dstride * DB;
    const uint8_t* s = src + ptrdiff_t(r) * sstride * SB;
    for (int32_t i = 0; i < width; ++i, d += DB, s += SB) ZxStore<DB>(d, conv(ZxLoad<SB>(s)));
  }
}

template <int SF>
void ConvertFrom(uint8_t* dst, const uint8_t* src, int32_t dstride, int32_t sstride,
                 uint8_t dformat, int32_t width, int32_t height) {
  constexpr int SB = ZxFmt<SF>::Bytes;
#define ZX_CONVERT_TO(DF)                                                               \
  case DF:                                                                              \
    if constexpr (DF != SF)                                                             \
      ConvertRows<SB, ZxFmt<DF>::Bytes>(dst, src, dstride, sstride, width, height,      \
                                        [](uint32_t p) { return Convert<SF, DF>(p); }); \
    break;
  switch (dformat) {
    ZX_CONVERT_TO(ZFMT_RGB444)
    ZX_CONVERT_TO(ZFMT_RGB555)
    ZX_CONVERT_TO(ZFMT_RGB565)
    ZX_CONVERT_TO(ZFMT_RGB888)
    ZX_CONVERT_TO(ZFMT_XRGB8888)
  }
#undef ZX_CONVERT_TO
}

}  // namespace

void ZxBltColorConvert(uint8_t* dst, const uint8_t* src, int32_t dstride, int32_t sstride,
                       uint8_t dformat, uint8_t sformat, int32_t width, int32_t height,
                       const uint32_t* palette, uint32_t* cache, uint32_t* cacheformat) {
  if (dformat == sformat || dformat < ZFMT_RGB444 || dformat > ZFMT_XRGB8888) return;
  switch (sformat) {
    case ZFMT_INDEX8: {
      if (!palette || !cache || !cacheformat) return;
      if (*cacheformat != dformat) {
        // Palette entries are 0x00RRGGBB: pack without the red/blue exchange.
        for (int i = 0; i < 256; ++i) cache[i] = ZSurf_Pack(dformat, ZSurf_SwapRB(palette[i]));
        *cacheformat = dformat;
      }
      const int db = ZSurf_FormatBits(dformat) / 8;
      if (db == 2) {
        // 16-bit targets: a local table of half-words, two pixels per word store.
        uint16_t lut[256];
        for (int i = 0; i < 256; ++i) lut[i] = uint16_t(cache[i]);
        for (int32_t r = 0; r < height; ++r) {
          uint8_t* d = dst + ptrdiff_t(r) * dstride * 2;
          const uint8_t* s = src + ptrdiff_t(r) * sstride;
          int32_t i = 0;
          if ((reinterpret_cast<uintptr_t>(d) & 2) && width > 0) {
            ZSurf_Store16(d, lut[s[0]]);
            i = 1;
          }
          for (; i + 4 <= width; i += 4) {
            const uint32_t q = ZSurf_Load32(s + i);
            ZSurf_Store32(d + 2 * i, uint32_t(lut[q & 0xFF]) | uint32_t(lut[q >> 8 & 0xFF]) << 16);
            ZSurf_Store32(d + 2 * i + 4, uint32_t(lut[q >> 16 & 0xFF]) | uint32_t(lut[q >> 24]) << 16);
          }
          for (; i + 2 <= width; i += 2) ZSurf_Store32(d + 2 * i, uint32_t(lut[s[i]]) | uint32_t(lut[s[i + 1]]) << 16);
          if (i < width) ZSurf_Store16(d + 2 * i, lut[s[i]]);
        }
        return;
      }
      for (int32_t r = 0; r < height; ++r) {
        uint8_t* d = dst + ptrdiff_t(r) * dstride * db;
        const uint8_t* s = src + ptrdiff_t(r) * sstride;
        switch (db) {
          case 2:
            for (int32_t i = 0; i < width; ++i) ZSurf_Store16(d + 2 * i, uint16_t(cache[s[i]]));
            break;
          case 3:
            for (int32_t i = 0; i < width; ++i) ZSurf_Store24(d + 3 * i, cache[s[i]]);
            break;
          default:
            for (int32_t i = 0; i < width; ++i) ZSurf_Store32(d + 4 * i, cache[s[i]]);
            break;
        }
      }
      break;
    }
    case ZFMT_RGB444: ConvertFrom<ZFMT_RGB444>(dst, src, dstride, sstride, dformat, width, height); break;
    case ZFMT_RGB555: ConvertFrom<ZFMT_RGB555>(dst, src, dstride, sstride, dformat, width, height); break;
    case ZFMT_RGB565: ConvertFrom<ZFMT_RGB565>(dst, src, dstride, sstride, dformat, width, height); break;
    case ZFMT_RGB888: ConvertFrom<ZFMT_RGB888>(dst, src, dstride, sstride, dformat, width, height); break;
    case ZFMT_XRGB8888: ConvertFrom<ZFMT_XRGB8888>(dst, src, dstride, sstride, dformat, width, height); break;
  }
}
