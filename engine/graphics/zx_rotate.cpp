// Texture-mapped triangles, the rotated / scaled / flipped blit and the texture row
// workers.
#include <algorithm>

#include "engine/core/zmod_math.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_pixel.h"
#include "engine/graphics/zx_polygon.h"
#include "engine/graphics/zx_span.h"

namespace {

// Square power-of-two sources of side 64-1024 wrap with a mask.
bool PlusSource(const ZX_RS_ARGS& a) {
  const int32_t n = a.srowlength;
  return a.srows == n && n >= 64 && n <= 1024 && (n & (n - 1)) == 0 && a.sstride == n;
}

// Every span pixel of rows top..end gets pixel(destination, source pixel); source
// coordinates wrap as unsigned 32-bit values modulo the source's size.
template <int Bytes, bool Plus, class Pixel>
void TextureRows(const ZX_RS_ARGS& a, Pixel pixel) {
  const uint32_t cols = uint32_t(a.srowlength), rows = uint32_t(a.srows);
  const uint32_t mask = cols - 1;
  int shift = 0;
  while ((1 << shift) < a.sstride) ++shift;
  for (int32_t r = a.top; r <= a.end; ++r) {
    if (a.right[r] < 0) continue;
    int64_t uv[2], duv[2];
    ZxSpan_RowStart(a, r, 2, uv, duv);
    int64_t u = uv[0], v = uv[1];
    const int64_t du = duv[0], dv = duv[1];
    uint8_t* p = a.dst + (size_t(r) * size_t(a.dstride) + size_t(a.left[r])) * Bytes;
    for (int32_t x = a.left[r]; x <= a.right[r]; ++x, p += Bytes) {
      const uint32_t cu = uint32_t(uint64_t(u >> 10)), cv = uint32_t(uint64_t(v >> 10));
      size_t at;
      if (Plus) at = (cu & mask) + (size_t(cv & mask) << shift);
      else  // most samples lie inside the source: divide only to wrap
        at = (cu < cols ? cu : cu % cols) + size_t(cv < rows ? cv : cv % rows) * size_t(a.sstride);
      pixel(p, ZxLoad<Bytes>(a.src + at * Bytes));
      u += du;
      v += dv;
    }
  }
}

template <bool Plus, class Kernel>
void ByBytes(const ZX_RS_ARGS& a, Kernel k) {
  switch (a.bits) {
    case 8: return k.template run<1, Plus>(a);
    case 16: return k.template run<2, Plus>(a);
    case 24: return k.template run<3, Plus>(a);
    default: return k.template run<4, Plus>(a);
  }
}

struct CopyKernel {
  template <int B, bool Plus>
  void run(const ZX_RS_ARGS& a) const {
    TextureRows<B, Plus>(a, [](uint8_t* d, uint32_t s) { ZxStore<B>(d, s); });
  }
};

struct KeyKernel {
  template <int B, bool Plus>
  void run(const ZX_RS_ARGS& a) const {
    const uint32_t key = a.key;
    TextureRows<B, Plus>(a, [key](uint8_t* d, uint32_t s) {
      if (s != key) ZxStore<B>(d, s);
    });
  }
};

template <int F, bool Plus>
void GenericRows(const ZX_RS_ARGS& a) {
  using T = ZxFmt<F>;
  using O = ZxOps<F>;
  const uint32_t f = a.flags;
  const bool keyed = f & ZBLT_COLORKEY, col = f & ZBLT_COLORIZE, tint = f & ZBLT_TINT;
  const bool add = f & ZBLT_ADD, sub = f & ZBLT_SUB;
  const bool prescale = (f & ZBLT_OPACITY) && (add || sub);
  const bool opac = (f & ZBLT_OPACITY) && !prescale;
  const uint32_t w = a.opacity >> T::WeightShift, iw = (256 - a.opacity) >> T::WeightShift;
  const uint32_t m1 = ZSurf_HalfMask(F, 1), c = a.colour, key = a.key;
  TextureRows<T::Bytes, Plus>(a, [=](uint8_t* p, uint32_t s) {
    if (keyed && s == key) return;
    uint32_t out = s;
    if (col && tint) out = O::ColorTint(c, s);
    else if (col) out = c;
    else if (tint) out = c + (s >> 1 & m1);
    if (prescale) out = O::Scale(out, w);
    if (opac) out = O::Blend(ZxLoad<T::Bytes>(p), out, w, iw);
    else if (add) out = O::AddSat(ZxLoad<T::Bytes>(p), out);
    else if (sub) out = O::SubSat(ZxLoad<T::Bytes>(p), out);
    ZxStore<T::Bytes>(p, out);
  });
}

template <bool Plus>
void Generic(const ZX_RS_ARGS& a) {
  switch (a.format) {
    case ZFMT_INDEX8: return CopyKernel{}.run<1, Plus>(a);  // 8-bit: every pixel copied
    case ZFMT_RGB444: return GenericRows<ZFMT_RGB444, Plus>(a);
    case ZFMT_RGB555: return GenericRows<ZFMT_RGB555, Plus>(a);
    case ZFMT_RGB565: return GenericRows<ZFMT_RGB565, Plus>(a);
    case ZFMT_RGB888: return GenericRows<ZFMT_RGB888, Plus>(a);
    default: return GenericRows<ZFMT_XRGB8888, Plus>(a);
  }
}

}  // namespace

void ZxRsBltPlus(const ZX_RS_ARGS& a) { ByBytes<true>(a, CopyKernel{}); }
void ZxRsBlt(const ZX_RS_ARGS& a) {
  if (PlusSource(a)) return ZxRsBltPlus(a);
  ByBytes<false>(a, CopyKernel{});
}
void ZxRsBltCkPlus(const ZX_RS_ARGS& a) { ByBytes<true>(a, KeyKernel{}); }
void ZxRsBltCk(const ZX_RS_ARGS& a) {
  if (PlusSource(a)) return ZxRsBltCkPlus(a);
  ByBytes<false>(a, KeyKernel{});
}
void ZxRsBltGenericPlus(const ZX_RS_ARGS& a) { Generic<true>(a); }
void ZxRsBltGeneric(const ZX_RS_ARGS& a) {
  if (PlusSource(a)) return ZxRsBltGenericPlus(a);
  Generic<false>(a);
}

namespace {

// Hands the spans to the worker the flags call for.
void RunTexture(ZX_RS_ARGS a, const Z2DSurface* src, uint32_t f, uint32_t property) {
  a.src = src->buffer;
  a.sstride = src->stride;
  a.srows = src->rows;
  a.srowlength = src->rowlength;
  a.key = src->colorkey;
  a.flags = f;
  if (f & 0xFE) {
    a.colour = ZSurf_EffectColour(a.format, f, property);
    a.opacity = ZSurf_Opacity(f, property);
    ZxRsBltGeneric(a);
  } else if (f & ZBLT_COLORKEY) {
    ZxRsBltCk(a);
  } else {
    ZxRsBlt(a);
  }
}

void MapSource(const Z2DSurface* src, int64_t& x, int64_t& y) {
  if (src->zcd && src->zcd->display)
    src->zcd->display->VirtualPos(x, y, uint32_t(src->rowlength) * 1024u, uint32_t(src->rows) * 1024u);
}

}  // namespace

int Z2DSurface::TexturePolyV(int32_t x1, int32_t y1, int32_t sx1, int32_t sy1, int32_t x2,
                             int32_t y2, int32_t sx2, int32_t sy2, int32_t x3, int32_t y3,
                             int32_t sx3, int32_t sy3, Z2DSurface* src, int32_t flags,
                             uint32_t property) {
  if (!src) return Z2D_BADARG;
  if (!Created() || !buffer || !src->Created() || !src->buffer) return Z2D_NOBUFFER;
  // A texture of another pixel size would be read past its end.
  if (format != src->format) return Z2D_FORMATS;
  uint32_t f, prop = property;
  if (!ZxBlt_NormaliseFlags(format, flags, f, prop)) return Z2D_NOTHING;
  const ZSurfLock<Z2DSurface> dlock(this), slock(src);
  int64_t x[3] = {x1, x2, x3}, y[3] = {y1, y2, y3};
  int64_t v[3][3] = {{sx1, sy1, 0}, {sx2, sy2, 0}, {sx3, sy3, 0}};
  for (auto& c : v) MapSource(src, c[0], c[1]);
  int32_t top, end;
  if (ZxSpan_Triangle(this, x, y, v, 2, top, end)) {
    RunTexture(ZxSpan_Args(this, top, end), src, f, prop);
  }
  return Z2D_OK;
}

int Z2DSurface::TexturePoly(int32_t x1, int32_t y1, int32_t sx1, int32_t sy1, int32_t x2,
                            int32_t y2, int32_t sx2, int32_t sy2, int32_t x3, int32_t y3,
                            int32_t sx3, int32_t sy3, Z2DSurface* src, int32_t flags,
                            uint32_t property) {
  auto v = [](int32_t c) { return ZxClamp32(int64_t(c) * 1024); };
  return TexturePolyV(v(x1), v(y1), v(sx1), v(sy1), v(x2), v(y2), v(sx2), v(sy2), v(x3), v(y3),
                      v(sx3), v(sy3), src, flags, property);
}

int Z2DSurface::BltFx(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect, Z2DBLTFX* fx) {
  if (!src) return Z2D_BADARG;
  Z2DBLTFX plain{0, 0, 0x10000, 0x10000, 0, 0};
  Z2DBLTFX& r = fx ? *fx : plain;
  if (r.flip == 0 && r.rotation == 0 && r.scalex == 0x10000 && r.scaley == 0x10000) {
    int64_t px, py;
    if (srcrect) {
      px = int64_t(x) - (int64_t(srcrect->right) - srcrect->left) / 2;
      py = int64_t(y) - (int64_t(srcrect->bottom) - srcrect->top) / 2;
    } else {
      px = int64_t(x) - int64_t(src->GetWidth()) / 2;
      py = int64_t(y) - int64_t(src->GetHeight()) / 2;
    }
    return BltFast(ZxClamp32(px), ZxClamp32(py), src, srcrect, r.flags, r.property);
  }
  uint32_t f, prop = r.property;
  if (!ZxBlt_NormaliseFlags(format, r.flags, f, prop)) return Z2D_NOTHING;
  r.flags = int32_t((uint32_t(r.flags) & ~0xFFu) | f);
  r.property = prop;
  if (format != src->format) return Z2D_FORMATS;
  const ZSurfLock<Z2DSurface> dlock(this), slock(dlock ? src : nullptr);
  if (!dlock || !slock) return Z2D_NOBUFFER;

  tagRECT rect = srcrect ? *srcrect
                         : tagRECT{0, 0, int32_t(src->GetWidth()), int32_t(src->GetHeight())};
  int64_t cx = x, cy = y;
  if ((int64_t(rect.right) - rect.left) & 1) ++cx;
  if ((int64_t(rect.bottom) - rect.top) & 1) ++cy;
  const ClassZDisplay* d = zcd ? zcd->display : nullptr;
  if (src->zcd && src->zcd->display)
    src->zcd->display->VirtualRect(&rect, uint32_t(src->rowlength), uint32_t(src->rows));
  if (d) d->VirtualPos(cx, cy, uint32_t(rowlength), uint32_t(rows));
  const int64_t w = int64_t(rect.right) - rect.left, h = int64_t(rect.bottom) - rect.top;
  if (!src->ClipRect(&rect)) return Z2D_BADARG;

  // Corner offsets from the centre in quarter pixels: 0 (left, top), 1 (right, top),
  // 2 (right, bottom), 3 (left, bottom).
  const int64_t p = w * int64_t(r.scalex), q = h * int64_t(r.scaley);
  int64_t right = p >> 15, left = right - (p >> 14), bottom = q >> 15, topo = bottom - (q >> 14);
  int64_t ox[4] = {left, right, right, left}, oy[4] = {topo, topo, bottom, bottom};
  for (int i = 0; i < 4; ++i) {
    if (r.flip & 1) ox[i] = -ox[i];
    if (r.flip & 2) oy[i] = -oy[i];
  }
  const ClassZMath* m = zcd ? zcd->math : nullptr;
  const int64_t c = m ? m->Cos(r.rotation) : 0x10000, sn = m ? m->Sin(r.rotation) : 0;
  int64_t X[4], Y[4];
  for (int i = 0; i < 4; ++i) {
    X[i] = cx * 1024 + ((ox[i] * c) >> 8) - ((oy[i] * sn) >> 8);
    Y[i] = cy * 1024 + ((ox[i] * sn) >> 8) + ((oy[i] * c) >> 8);
  }
  const int64_t miny = std::min({Y[0], Y[1], Y[2], Y[3]}), maxy = std::max({Y[0], Y[1], Y[2], Y[3]});
  int32_t top, end;
  if (!ZxSpan_Rows(this, miny, maxy, top, end)) return Z2D_BADARG;
  ZxSpan_Reset(this, top, end);
  const int64_t l = int64_t(rect.left) * 1024, t = int64_t(rect.top) * 1024,
                rr = int64_t(rect.right) * 1024, b = int64_t(rect.bottom) * 1024;
  const int64_t lt[2] = {l, t}, rt[2] = {rr, t}, rb[2] = {rr, b}, lb[2] = {l, b};
  ZxSpan_Walk(this, X[0], Y[0], X[1], Y[1], lt, rt, 2);
  ZxSpan_Walk(this, X[3], Y[3], X[2], Y[2], lb, rb, 2);
  ZxSpan_Walk(this, X[1], Y[1], X[2], Y[2], rt, rb, 2);
  ZxSpan_Walk(this, X[0], Y[0], X[3], Y[3], lt, lb, 2);
  ZxSpan_Clip(this, top, end);
  RunTexture(ZxSpan_Args(this, top, end), src, f, prop);
  return Z2D_OK;
}

int Z2DSurface::Blt(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect,
                    uint16_t rotation, uint32_t scale, uint8_t flip, int32_t flags,
                    uint32_t property) {
  Z2DBLTFX fx{flags, property, int32_t(scale), int32_t(scale), rotation, flip};
  return BltFx(x, y, src, srcrect, &fx);
}
