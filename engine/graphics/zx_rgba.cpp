// Drawing RGBA surfaces onto ordinary surfaces: the four same-format workers and the
// per-pixel path for sources of another target format.
#include <algorithm>

#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zx_pixel.h"
#include "engine/graphics/zx_span.h"

namespace {

// Alpha reduced to the destination's channel depth: A = a >> Shift, N = 1 << Log.
template <int F>
struct RgbaDepth;
template <>
struct RgbaDepth<ZFMT_RGB444> {
  static constexpr int Shift = 4, Log = 4;
};
template <>
struct RgbaDepth<ZFMT_RGB555> {
  static constexpr int Shift = 3, Log = 5;
};
template <>
struct RgbaDepth<ZFMT_RGB565> {
  static constexpr int Shift = 2, Log = 6;
};
template <>
struct RgbaDepth<ZFMT_RGB888> {
  static constexpr int Shift = 0, Log = 8;
};
template <>
struct RgbaDepth<ZFMT_XRGB8888> {
  static constexpr int Shift = 0, Log = 8;
};

// Per field: (d * (N - A) + s * A) / N. The fields stay apart while multiplied by N.
template <int F>
inline uint32_t BlendN(uint32_t d, uint32_t s, uint32_t a) {
  using T = ZxFmt<F>;
  constexpr int L = RgbaDepth<F>::Log;
  const uint32_t ia = (1u << L) - a;
  return (((d & T::RB) * ia + (s & T::RB) * a) >> L & T::RB) |
         (((d & T::GM) * ia + (s & T::GM) * a) >> L & T::GM);
}

// Per field c * a / N.
template <int F>
inline uint32_t ScaleN(uint32_t c, uint32_t a) {
  using T = ZxFmt<F>;
  constexpr int L = RgbaDepth<F>::Log;
  return (((c & T::RB) * a) >> L & T::RB) | (((c & T::GM) * a) >> L & T::GM);
}

// Per field s + d * inv / N, each field saturating (rounding cannot push it over).
template <int F>
inline uint32_t OverPremultiplied(uint32_t d, uint32_t s, uint32_t inv) {
  return ZxOps<F>::AddSat(ScaleN<F>(d, inv), s);
}

// Per field c * N / (a + 1), saturating: the straight colour of a premultiplied one.
template <int F>
inline uint32_t Unpremultiply(uint32_t c, uint32_t a) {
  using T = ZxFmt<F>;
  constexpr int L = RgbaDepth<F>::Log;
  const uint32_t masks[3] = {T::RM, T::GM, T::BM};
  uint32_t out = 0;
  for (uint32_t m : masks) {
    const uint64_t v = (uint64_t(c & m) << L) / (a + 1);
    out |= v > m ? m : uint32_t(v) & m;
  }
  return out;
}

struct Args {
  int32_t x, y, top;
  const tagRECT* rect;
  uint8_t* dst;
  const uint32_t* src;
  int32_t dstride, sstride;
};

// pixel(destination byte address, source word) over the rectangle.
template <int Bytes, class Pixel>
void Rows(const Args& a, Pixel pixel) {
  for (int32_t r = a.top; r < a.rect->bottom; ++r) {
    const uint32_t* s = a.src + size_t(r) * size_t(a.sstride) + a.rect->left;
    uint8_t* d = a.dst + (size_t(a.y + (r - a.top)) * size_t(a.dstride) + size_t(a.x)) * Bytes;
    for (int32_t i = a.rect->left; i < a.rect->right; ++i, ++s, d += Bytes) pixel(d, *s);
  }
}

// 8-bit destinations copy the low byte where the pixel shows at all.
void IndexRows(const Args& a, bool premultiplied) {
  Rows<1>(a, [premultiplied](uint8_t* d, uint32_t w) {
    const uint32_t alpha = premultiplied ? 255 - (w >> 24) : w >> 24;
    if (alpha) *d = uint8_t(w);
  });
}

template <int F>
void Straight(const Args& a) {
  constexpr int B = ZxFmt<F>::Bytes, S = RgbaDepth<F>::Shift;
  Rows<B>(a, [](uint8_t* d, uint32_t w) {
    const uint32_t alpha = w >> 24;
    if (alpha == 255) ZxStore<B>(d, w & 0xFFFFFF);
    else if (alpha) ZxStore<B>(d, BlendN<F>(ZxLoad<B>(d), w & 0xFFFFFF, alpha >> S));
  });
}

template <int F>
void Premultiplied(const Args& a) {
  constexpr int B = ZxFmt<F>::Bytes, S = RgbaDepth<F>::Shift;
  Rows<B>(a, [](uint8_t* d, uint32_t w) {
    const uint32_t inv = w >> 24;
    if (inv == 0) ZxStore<B>(d, w & 0xFFFFFF);
    else if (inv != 255) ZxStore<B>(d, OverPremultiplied<F>(ZxLoad<B>(d), w & 0xFFFFFF, inv >> S));
  });
}

template <int F, bool Premul>
void Effects(const Args& a, uint32_t flags, uint32_t property, uint32_t colour) {
  using T = ZxFmt<F>;
  using O = ZxOps<F>;
  constexpr int B = T::Bytes, S = RgbaDepth<F>::Shift, L = RgbaDepth<F>::Log;
  constexpr uint32_t Amax = (1u << L) - 1;
  const bool col = flags & ZBLT_COLORIZE, tint = flags & ZBLT_TINT, opac = flags & ZBLT_OPACITY;
  const bool add = flags & ZBLT_ADD, sub = flags & ZBLT_SUB;
  const uint32_t m1 = ZSurf_HalfMask(F, 1);
  Rows<B>(a, [=](uint8_t* d, uint32_t w) {
    uint32_t alpha = Premul ? 255 - (w >> 24) : w >> 24;
    uint32_t A = alpha >> S;
    uint32_t c = w & 0xFFFFFF;
    if (Premul && A) c = Unpremultiply<F>(c, A);
    if (opac) A = (property & 0xFF) * A / 256;
    if (A == 0) return;
    if (col && tint) c = O::ColorTint(colour, c);
    else if (col) c = colour;
    else if (tint) c = colour + (c >> 1 & m1);
    const uint32_t dv = ZxLoad<B>(d);
    if (add) ZxStore<B>(d, O::AddSat(dv, ScaleN<F>(c, A)));
    else if (sub) ZxStore<B>(d, O::SubSat(dv, ScaleN<F>(c, A)));
    else if (A >= Amax) ZxStore<B>(d, c);
    else ZxStore<B>(d, BlendN<F>(dv, c, A));
  });
}

template <template <int> class Worker>
void ByFormat(const Args& a, uint8_t format) {
  switch (format) {
    case ZFMT_RGB444: return Worker<ZFMT_RGB444>::Run(a);
    case ZFMT_RGB555: return Worker<ZFMT_RGB555>::Run(a);
    case ZFMT_RGB565: return Worker<ZFMT_RGB565>::Run(a);
    case ZFMT_RGB888: return Worker<ZFMT_RGB888>::Run(a);
    default: return Worker<ZFMT_XRGB8888>::Run(a);
  }
}

template <int F>
struct StraightW {
  static void Run(const Args& a) { Straight<F>(a); }
};
template <int F>
struct PremulW {
  static void Run(const Args& a) { Premultiplied<F>(a); }
};

template <bool Premul>
void EffectsByFormat(const Args& a, uint8_t format, uint32_t flags, uint32_t property, uint32_t colour) {
  switch (format) {
    case ZFMT_INDEX8: return IndexRows(a, Premul);
    case ZFMT_RGB444: return Effects<ZFMT_RGB444, Premul>(a, flags, property, colour);
    case ZFMT_RGB555: return Effects<ZFMT_RGB555, Premul>(a, flags, property, colour);
    case ZFMT_RGB565: return Effects<ZFMT_RGB565, Premul>(a, flags, property, colour);
    case ZFMT_RGB888: return Effects<ZFMT_RGB888, Premul>(a, flags, property, colour);
    default: return Effects<ZFMT_XRGB8888, Premul>(a, flags, property, colour);
  }
}

}  // namespace

void ZxBltRGBA(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
               const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format) {
  const Args a{x, y, top, rect, dst, src, dstride, sstride};
  if (format == ZFMT_INDEX8) return IndexRows(a, false);
  ByFormat<StraightW>(a, format);
}

void ZxBltRGBAPlus(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                   const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format) {
  const Args a{x, y, top, rect, dst, src, dstride, sstride};
  if (format == ZFMT_INDEX8) return IndexRows(a, true);
  ByFormat<PremulW>(a, format);
}

void ZxBltRGBAGeneric(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                      const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format,
                      uint32_t flags, uint32_t property, uint32_t colour) {
  EffectsByFormat<false>(Args{x, y, top, rect, dst, src, dstride, sstride}, format, flags, property, colour);
}

void ZxBltRGBAGenericPlus(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                          const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format,
                          uint32_t flags, uint32_t property, uint32_t colour) {
  EffectsByFormat<true>(Args{x, y, top, rect, dst, src, dstride, sstride}, format, flags, property, colour);
}

int Z2DSurface::BltFast(int32_t x, int32_t y, Z2DSurfaceRGBA* src, const tagRECT* srcrect,
                        int32_t flags, uint32_t property) {
  if (!src) return Z2D_BADARG;
  uint32_t f;
  if (!ZxBlt_NormaliseFlags(format, flags, f, property)) return Z2D_NOTHING;
  const bool coloured = f & (ZBLT_COLORIZE | ZBLT_TINT);
  tagRECT rect;
  const int positions = GetBltFastPositions(x, y, &rect, srcrect, src);
  if (positions != Z2D_OK) return positions;
  uint8_t* dbuf = Lock();
  const uint32_t* sbuf = dbuf ? src->Lock() : nullptr;
  if (!dbuf || !sbuf) {
    if (dbuf) Unlock();
    return Z2D_NOBUFFER;
  }
  const bool premul = src->Premultiplied();
  if (format == src->targetformat) {
    if ((f & ~ZBLT_COLORKEY) == 0) {
      (premul ? ZxBltRGBAPlus : ZxBltRGBA)(x, y, rect.top, &rect, dbuf, sbuf, stride, src->stride,
                                           format);
    } else {
      uint32_t colour = 0, prop = property;
      if (coloured) {
        const uint32_t c = (f & ZBLT_COLORIZE) ? property & 0xFFFFFF : property >> 1 & 0x7F7F7F;
        colour = ZSurf_Pack(format, c);
        prop = property >> 24;
      }
      (premul ? ZxBltRGBAGenericPlus : ZxBltRGBAGeneric)(x, y, rect.top, &rect, dbuf, sbuf, stride,
                                                         src->stride, format, f, prop, colour);
    }
  } else {
    const uint32_t opacity = coloured ? property >> 24 : property;
    for (int32_t r = rect.top; r < rect.bottom; ++r)
      for (int32_t c = rect.left; c < rect.right; ++c) {
        uint32_t colour;
        uint8_t alpha;
        src->GetPixelV(c, r, colour, alpha);
        uint32_t a = alpha;
        if (f & ZBLT_OPACITY) a = a * opacity / 256;
        if (a == 0) continue;
        const uint32_t prop = coloured ? (property & 0xFFFFFF) | a << 24 : a;
        PutPixelRaw(x + (c - rect.left), y + (r - rect.top), colour, int32_t(f | ZBLT_OPACITY),
                    prop, dbuf);
      }
  }
  src->Unlock();
  Unlock();
  return Z2D_OK;
}
