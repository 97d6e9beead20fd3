// Drawing RGBA surfaces onto ordinary surfaces: the four same-format workers and the
// per-pixel path for sources of another target format.
#include <algorithm>
#include <type_traits>

#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_pixel.h"
#include "engine/graphics/zx_span.h"

namespace {

// Alpha reduced to the depth of the destination's widest field, green:
// A = a >> Shift, N = 1 << Log.
template <int F>
struct RgbaDepth {
  static constexpr int Log = __builtin_popcount(ZxFmt<F>::GM), Shift = 8 - Log;
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

// The top byte of a word is its alpha, in premultiplied words 255 - alpha.
template <int F, bool Premul>
void Plain(const Args& a) {
  constexpr int B = ZxFmt<F>::Bytes, S = RgbaDepth<F>::Shift;
  constexpr uint32_t Opaque = Premul ? 0 : 255, Clear = 255 - Opaque;
  Rows<B>(a, [](uint8_t* d, uint32_t w) {
    const uint32_t top = w >> 24, c = w & 0xFFFFFF;
    if (top == Opaque) ZxStore<B>(d, c);
    else if (top != Clear)
      ZxStore<B>(d, Premul ? OverPremultiplied<F>(ZxLoad<B>(d), c, top >> S)
                           : BlendN<F>(ZxLoad<B>(d), c, top >> S));
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

template <int F>
using Format = std::integral_constant<int, F>;

// work(Format<F>{}) for the destination's format F; 8-bit destinations are the caller's.
template <class Work>
void ByFormat(uint8_t format, Work work) {
  switch (format) {
    case ZFMT_RGB444: return work(Format<ZFMT_RGB444>{});
    case ZFMT_RGB555: return work(Format<ZFMT_RGB555>{});
    case ZFMT_RGB565: return work(Format<ZFMT_RGB565>{});
    case ZFMT_RGB888: return work(Format<ZFMT_RGB888>{});
    default: return work(Format<ZFMT_XRGB8888>{});
  }
}

template <bool Premul>
void PlainByFormat(const Args& a, uint8_t format) {
  if (format == ZFMT_INDEX8) return IndexRows(a, Premul);
  ByFormat(format, [&](auto f) { Plain<decltype(f)::value, Premul>(a); });
}

template <bool Premul>
void EffectsByFormat(const Args& a, uint8_t format, uint32_t flags, uint32_t property, uint32_t colour) {
  if (format == ZFMT_INDEX8) return IndexRows(a, Premul);
  ByFormat(format, [&](auto f) { Effects<decltype(f)::value, Premul>(a, flags, property, colour); });
}

}  // namespace

void ZxBltRGBA(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
               const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format) {
  PlainByFormat<false>(Args{x, y, top, rect, dst, src, dstride, sstride}, format);
}

void ZxBltRGBAPlus(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                   const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format) {
  PlainByFormat<true>(Args{x, y, top, rect, dst, src, dstride, sstride}, format);
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
  const ZSurfLock<Z2DSurface> dlock(this);
  const ZSurfLock<Z2DSurfaceRGBA> slock(dlock ? src : nullptr);
  if (!dlock || !slock) return Z2D_NOBUFFER;
  uint8_t* dbuf = dlock.Pixels();
  const uint32_t* sbuf = slock.Pixels();
  const bool premul = src->Premultiplied();
  if (format == src->targetformat) {
    if ((f & ~ZBLT_COLORKEY) == 0) {
      (premul ? ZxBltRGBAPlus : ZxBltRGBA)(x, y, rect.top, &rect, dbuf, sbuf, stride, src->stride,
                                           format);
    } else {
      const uint32_t colour = ZSurf_EffectColour(format, f, property);
      const uint32_t prop = ZSurf_Opacity(f, property);
      (premul ? ZxBltRGBAGenericPlus : ZxBltRGBAGeneric)(x, y, rect.top, &rect, dbuf, sbuf, stride,
                                                         src->stride, format, f, prop, colour);
    }
  } else {
    const uint32_t opacity = ZSurf_Opacity(f, property);
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
  return Z2D_OK;
}
