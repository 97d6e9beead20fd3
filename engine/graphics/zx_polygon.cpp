// The scan converter, flat and gouraud triangles, gradient rectangles and the gradient
// row workers.
#include "engine/graphics/zx_polygon.h"

#include <algorithm>

#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_span.h"

namespace {

int16_t Bound(int64_t v, int32_t rowlength) {
  return int16_t(v < -1 ? -1 : v > rowlength ? rowlength : v);
}

}  // namespace

void ZxSpan_MapCorner(const Z2DSurface* s, int64_t& x, int64_t& y) {
  if (s->zcd && s->zcd->display)
    s->zcd->display->VirtualPos(x, y, uint32_t(s->rowlength) * 1024u, uint32_t(s->rows) * 1024u);
}

bool ZxSpan_Rows(const Z2DSurface* s, int64_t miny, int64_t maxy, int32_t& top, int32_t& end) {
  const int64_t t = std::max<int64_t>(miny >> 10, s->clip.top);
  const int64_t e = std::min<int64_t>((maxy >> 10) - 1, s->clip.bottom - 1);
  if (t > e) return false;
  top = int32_t(t);
  end = int32_t(e);
  return true;
}

void ZxSpan_Reset(Z2DSurface* s, int32_t top, int32_t end) {
  for (int32_t r = top; r <= end; ++r) {
    s->spanleft[r] = int16_t(s->rowlength);
    s->spanright[r] = -1;
    s->spanleftrec[4 * r] = s->rowlength * 1024;
    s->spanrightrec[4 * r] = -1024;
  }
}

void ZxSpan_Walk(Z2DSurface* s, int64_t xa, int64_t ya, int64_t xb, int64_t yb, const int64_t* va,
                 const int64_t* vb, int n) {
  if (ya == yb) return;
  if (ya > yb) {
    std::swap(xa, xb);
    std::swap(ya, yb);
    std::swap(va, vb);
  }
  const int64_t d = ((yb - ya) >> 1) + 1;
  const int64_t kx = ZxSpan_Div((xb - xa) * 512, d);
  int64_t k[3] = {0, 0, 0}, v[3] = {0, 0, 0};
  const int64_t f = 1024 - (ya & 1023);
  int64_t x = xa + ((f * kx) >> 10);
  for (int i = 0; i < n; ++i) {
    k[i] = ZxSpan_Div((vb[i] - va[i]) * 512, d);
    v[i] = va[i] + ((f * k[i]) >> 10);
  }
  const int64_t first = ya >> 10, last = (yb >> 10) - 1;
  const int64_t lo = std::max<int64_t>(first, s->clip.top);
  const int64_t hi = std::min<int64_t>(last, s->clip.bottom - 1);
  if (lo > hi) return;
  // Rows above the clip are stepped over at once.
  x += kx * (lo - first);
  for (int i = 0; i < n; ++i) v[i] += k[i] * (lo - first);
  for (int64_t r = lo; r <= hi; ++r) {
    const int64_t px = x >> 10;
    if (n == 0) {
      s->spanleft[r] = std::min(s->spanleft[r], Bound(px, s->rowlength));
      s->spanright[r] = std::max(s->spanright[r], Bound(px - 1, s->rowlength));
    } else {
      int32_t* lrec = s->spanleftrec + 4 * r;
      int32_t* rrec = s->spanrightrec + 4 * r;
      if (x < lrec[0]) {
        lrec[0] = ZxClamp32(x);
        for (int i = 0; i < n; ++i) lrec[1 + i] = ZxClamp32(v[i]);
        s->spanleft[r] = Bound(px, s->rowlength);
      }
      if (x > rrec[0]) {
        rrec[0] = ZxClamp32(x);
        for (int i = 0; i < n; ++i) rrec[1 + i] = ZxClamp32(v[i]);
        s->spanright[r] = Bound(px - 1, s->rowlength);
      }
    }
    x += kx;
    for (int i = 0; i < n; ++i) v[i] += k[i];
  }
}

void ZxSpan_Clip(Z2DSurface* s, int32_t top, int32_t end) {
  const tagRECT& c = s->clip;
  for (int32_t r = top; r <= end; ++r) {
    if (s->spanleft[r] < c.right && s->spanright[r] >= c.left) {
      s->spanleft[r] = int16_t(std::max<int32_t>(s->spanleft[r], c.left));
      s->spanright[r] = int16_t(std::min<int32_t>(s->spanright[r], c.right - 1));
    } else {
      s->spanright[r] = -1;
    }
  }
}

ZX_RS_ARGS ZxSpan_Args(Z2DSurface* s, int32_t top, int32_t end) {
  ZX_RS_ARGS a{};
  a.dst = s->buffer;
  a.dstride = s->stride;
  a.left = s->spanleft;
  a.right = s->spanright;
  a.leftrec = s->spanleftrec;
  a.rightrec = s->spanrightrec;
  a.top = top;
  a.end = end;
  a.clipleft = s->clip.left;
  a.bits = s->bits;
  a.format = s->format;
  return a;
}

void Z2DSurface::ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (spanleft) ZxSpan_Walk(this, x1, y1, x2, y2, nullptr, nullptr, 0);
}

void Z2DSurface::ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t sx1,
                              int32_t sy1, int32_t sx2, int32_t sy2) {
  const int64_t a[2] = {sx1, sy1}, b[2] = {sx2, sy2};
  if (spanleft) ZxSpan_Walk(this, x1, y1, x2, y2, a, b, 2);
}

void Z2DSurface::ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r1,
                              int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2) {
  const int64_t a[3] = {r1, g1, b1}, b[3] = {r2, g2, b2};
  if (spanleft) ZxSpan_Walk(this, x1, y1, x2, y2, a, b, 3);
}

bool ZxSpan_Triangle(Z2DSurface* s, int64_t (&x)[3], int64_t (&y)[3], const int64_t (*v)[3], int n,
                  int32_t& top, int32_t& end) {
  for (int i = 0; i < 3; ++i) ZxSpan_MapCorner(s, x[i], y[i]);
  const int64_t minx = std::min({x[0], x[1], x[2]}), maxx = std::max({x[0], x[1], x[2]});
  const int64_t miny = std::min({y[0], y[1], y[2]}), maxy = std::max({y[0], y[1], y[2]});
  if (maxx < 1024 || (maxy >> 10) - 1 < 0 || (miny >> 10) >= s->rows || (minx >> 10) >= s->rowlength)
    return false;
  if (!ZxSpan_Rows(s, miny, maxy, top, end)) return false;
  ZxSpan_Reset(s, top, end);
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    ZxSpan_Walk(s, x[i], y[i], x[j], y[j], v ? v[i] : nullptr, v ? v[j] : nullptr, n);
  }
  ZxSpan_Clip(s, top, end);
  return true;
}

void Z2DSurface::FillPolyV(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                           uint32_t colour, int32_t flags, uint32_t property) {
  const ZSurfLock<Z2DSurface> lock(this);
  if (!lock) return;
  int64_t x[3] = {x1, x2, x3}, y[3] = {y1, y2, y3};
  int32_t top, end;
  if (ZxSpan_Triangle(this, x, y, nullptr, 0, top, end)) {
    for (int32_t r = top; r <= end; ++r) {
      if (spanright[r] < 0) continue;
      const tagRECT rect{std::max<int32_t>(spanleft[r], 0), r, spanright[r] + 1, r + 1};
      FillRectV(&rect, colour, flags, property, false);
    }
  }
}

void Z2DSurface::FillPoly(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                          uint32_t colour, int32_t flags, uint32_t property) {
  FillPolyV(ZxClamp32(int64_t(x1) * 1024), ZxClamp32(int64_t(y1) * 1024),
            ZxClamp32(int64_t(x2) * 1024), ZxClamp32(int64_t(y2) * 1024),
            ZxClamp32(int64_t(x3) * 1024), ZxClamp32(int64_t(y3) * 1024), colour, flags, property);
}

void Z2DSurface::GradientPolyV(int32_t x1, int32_t y1, uint32_t c1, int32_t x2, int32_t y2,
                               uint32_t c2, int32_t x3, int32_t y3, uint32_t c3, int32_t flags) {
  const ZSurfLock<Z2DSurface> lock(this);
  if (!lock) return;
  int64_t x[3] = {x1, x2, x3}, y[3] = {y1, y2, y3};
  const uint32_t c[3] = {c1, c2, c3};
  int64_t v[3][3];
  for (int i = 0; i < 3; ++i) {
    v[i][0] = int64_t(c[i] & 0xFF) << 10;
    v[i][1] = int64_t(c[i] & 0xFF00) << 2;
    v[i][2] = int64_t(c[i] & 0xFF0000) >> 6;
  }
  int32_t top, end;
  if (ZxSpan_Triangle(this, x, y, v, 3, top, end)) {
    const ZX_RS_ARGS a = ZxSpan_Args(this, top, end);
    if (flags & 0x40) ZxRsBltGradientDith(a);
    else ZxRsBltGradient(a);
  }
}

void Z2DSurface::GradientPoly(int32_t x1, int32_t y1, uint32_t c1, int32_t x2, int32_t y2,
                              uint32_t c2, int32_t x3, int32_t y3, uint32_t c3, int32_t flags) {
  GradientPolyV(ZxClamp32(int64_t(x1) * 1024), ZxClamp32(int64_t(y1) * 1024), c1,
                ZxClamp32(int64_t(x2) * 1024), ZxClamp32(int64_t(y2) * 1024), c2,
                ZxClamp32(int64_t(x3) * 1024), ZxClamp32(int64_t(y3) * 1024), c3, flags);
}

void Z2DSurface::GradientRect(const tagRECT* rect, uint32_t tl, uint32_t tr, uint32_t bl,
                              uint32_t br, int32_t flags) {
  const ZSurfLock<Z2DSurface> lock(this);
  if (!lock) return;
  const ClassZDisplay* d = zcd ? zcd->display : nullptr;
  const uint32_t w = uint32_t(rowlength), h = uint32_t(rows);
  tagRECT r;
  if (rect) {
    r = *rect;
    if (d) d->VirtualRect(&r, w, h);
    if (!ClipRect(&r)) return;
  } else {
    r = {0, 0, rowlength, rows};
  }
  if (d) d->ReVirtualRect(&r, w, h);
  const int32_t l = r.left * 1024, t = r.top * 1024, rr = r.right * 1024, b = r.bottom * 1024;
  GradientPolyV(l, t, tl, rr, t, tr, l, b, bl, flags);
  GradientPolyV(rr, t, tr, rr, b, br, l, b, bl, flags);
}

void Z2DSurface::GradientRectV(const tagRECT* rect, uint32_t top, uint32_t bottom, int32_t flags) {
  GradientRect(rect, top, top, bottom, bottom, flags);
}

void Z2DSurface::GradientRectH(const tagRECT* rect, uint32_t left, uint32_t right, int32_t flags) {
  GradientRect(rect, left, right, left, right, flags);
}

void ZxSpan_RowStart(const ZX_RS_ARGS& a, int32_t r, int n, int64_t* v, int64_t* dv) {
  const int32_t* l = a.leftrec + 4 * r;
  const int32_t* rt = a.rightrec + 4 * r;
  const int64_t lx = l[0];
  const int64_t d = ((int64_t(rt[0]) - lx) >> 1) + 1;
  const int64_t frac = 1024 - (lx & 1023);
  const int64_t skip = (lx >> 10) < a.clipleft ? a.clipleft - (lx >> 10) : 0;
  for (int i = 0; i < n; ++i) {
    dv[i] = ZxSpan_Div((int64_t(rt[1 + i]) - l[1 + i]) * 512, d);
    v[i] = l[1 + i] + ((frac * dv[i]) >> 10) + dv[i] * skip;
  }
}

bool ZxBlt_NormaliseFlags(uint8_t format, int32_t flags, uint32_t& f, uint32_t& property) {
  f = ZSurf_BltFlags(flags);
  const bool coloured = f & (ZBLT_COLORIZE | ZBLT_TINT);
  if (f & ZBLT_OPACITY) {
    const uint32_t a = ZSurf_Opacity(f, property);
    uint32_t q = 0;
    if (a > 254) {
      f &= ~ZBLT_OPACITY;
    } else {
      q = ZSurf_QuantiseOpacity(format, a);
      if (q == 0) return false;
    }
    if (coloured) property = (property & 0xFFFFFF) | q << 24;
  }
  return true;
}

// ---- gradient rows -------------------------------------------------------------------------

namespace {

inline uint32_t PackGradient(uint8_t format, int64_t r, int64_t g, int64_t b) {
  switch (format) {
    case ZFMT_INDEX8: return uint32_t((r >> 16) | (g >> 16) | (b >> 16)) & 0xFF;
    case ZFMT_RGB444: return uint32_t((r >> 12 & 0xF00) | (g >> 16 & 0xF0) | (b >> 20 & 0xF));
    case ZFMT_RGB555: return uint32_t((r >> 9 & 0x7C00) | (g >> 14 & 0x3E0) | (b >> 19 & 0x1F));
    case ZFMT_RGB565: return uint32_t((r >> 8 & 0xF800) | (g >> 13 & 0x7E0) | (b >> 19 & 0x1F));
    case ZFMT_RGB888:
      return uint32_t((b >> 16 & 0xFF) | (g >> 8 & 0xFF00) | (r & 0xFF0000));
    default: return uint32_t((r & 0xFF0000) | (g >> 8 & 0xFF00) | (b >> 16 & 0xFF));
  }
}

// One 16.16 channel dithered: the integer part below the limit gains the table's step.
inline int64_t DitherChannel(int64_t c, int limit, int mask, const int* row) {
  const int64_t i = c >> 16;
  if (i >= limit || i < 0) return c;
  return (i + row[i & mask]) << 16;
}

// The rule, one pixel at a time in 64-bit arithmetic.
void GradientRowPlain(const ZX_RS_ARGS& a, int32_t r, bool dither, int64_t* v, const int64_t* dv) {
  const uint32_t bytes = a.bits / 8;
  uint8_t* p = a.dst + (size_t(r) * size_t(a.dstride) + size_t(a.left[r])) * bytes;
  for (int32_t x = a.left[r], j = 0; x <= a.right[r]; ++x, ++j, p += bytes) {
    int64_t cr = v[0], cg = v[1], cb = v[2];
    if (dither && a.bits == 16) {
      const uint32_t d = uint32_t(r + j);
      if (a.format == ZFMT_RGB444) {
        cr = DitherChannel(cr, 240, 15, zdithertable16[d & 15]);
        cg = DitherChannel(cg, 240, 15, zdithertable16[d & 15]);
        cb = DitherChannel(cb, 240, 15, zdithertable16[d & 15]);
      } else {
        cr = DitherChannel(cr, 248, 7, zdithertable8[d & 7]);
        cb = DitherChannel(cb, 248, 7, zdithertable8[d & 7]);
        cg = a.format == ZFMT_RGB565 ? DitherChannel(cg, 251, 3, zdithertable4[d & 3])
                                     : DitherChannel(cg, 248, 7, zdithertable8[d & 7]);
      }
    }
    ZSurf_StorePixel(p, a.bits, PackGradient(a.format, cr, cg, cb));
    for (int i = 0; i < 3; ++i) v[i] += dv[i];
  }
}

// A 16-bit format's stored fields of every channel value 0-255 at each dither phase (the
// diagonal's low bits; one phase without dithering), worked out once by the rule itself.
// The packed fields use only a channel's integer part, so a pixel is three lookups.
template <int F, bool Dither>
struct GradientFields {
  static constexpr uint32_t Phases = !Dither ? 1 : F == ZFMT_RGB444 ? 16 : 8;
  uint16_t field[Phases][3][256];
  GradientFields() {
    ZX_RS_ARGS a{};
    a.bits = 16;
    a.format = uint8_t(F);
    int16_t left[Phases], right[Phases];
    uint8_t row[2];
    a.dst = row;
    a.dstride = 0;
    a.left = left;
    a.right = right;
    for (uint32_t d = 0; d < Phases; ++d) {
      left[d] = 0;
      right[d] = 0;
      for (int ch = 0; ch < 3; ++ch)
        for (int64_t i = 0; i < 256; ++i) {
          int64_t v[3] = {0, 0, 0};
          const int64_t dv[3] = {0, 0, 0};
          v[ch] = i << 16;
          GradientRowPlain(a, int32_t(d), Dither, v, dv);
          field[d][ch][i] = ZSurf_Load16(row);
        }
    }
  }
};

template <int F, bool Dither>
void GradientRowFast(uint8_t* p, uint32_t phase, int32_t n, const int64_t* v, const int64_t* dv) {
  static const GradientFields<F, Dither> fields;
  constexpr uint32_t mask = GradientFields<F, Dither>::Phases - 1;
  int32_t r = int32_t(v[0]), g = int32_t(v[1]), b = int32_t(v[2]);
  const int32_t dr = int32_t(dv[0]), dg = int32_t(dv[1]), db = int32_t(dv[2]);
  for (int32_t j = 0; j < n; ++j, ++phase, p += 2) {
    const uint16_t(&f)[3][256] = fields.field[phase & mask];
    ZSurf_Store16(p, uint16_t(f[0][r >> 16] | f[1][g >> 16] | f[2][b >> 16]));
    r += dr;
    g += dg;
    b += db;
  }
}

// Whether every pixel of an n-pixel row from v by dv keeps all three channels' integer
// parts in 0-255: the row then takes the tables in 32-bit arithmetic.
bool GradientRowInRange(int32_t n, const int64_t* v, const int64_t* dv) {
  for (int i = 0; i < 3; ++i) {
    const int64_t last = v[i] + dv[i] * (n - 1);
    if (v[i] < 0 || last < 0 || v[i] > 0xFFFFFF || last > 0xFFFFFF) return false;
    if (dv[i] < -0xFFFFFF || dv[i] > 0xFFFFFF) return false;  // the step after the last pixel
  }
  return true;
}

// Row r's channels at its first pixel and their steps, as 16.16: the channel's integer
// value in bits 16-23.
void GradientRowStart(const ZX_RS_ARGS& a, int32_t r, int64_t* v, int64_t* dv) {
  ZxSpan_RowStart(a, r, 3, v, dv);
  for (int i = 0; i < 3; ++i) {
    v[i] *= 64;
    dv[i] *= 64;
  }
}

template <bool Dither>
void GradientRows(const ZX_RS_ARGS& a) {
  for (int32_t r = a.top; r <= a.end; ++r) {
    if (a.right[r] < 0) continue;
    int64_t v[3], dv[3];
    GradientRowStart(a, r, v, dv);
    const int32_t n = a.right[r] - a.left[r] + 1;
    if (a.bits == 16 && n > 0 && GradientRowInRange(n, v, dv)) {
      uint8_t* p = a.dst + (size_t(r) * size_t(a.dstride) + size_t(a.left[r])) * 2;
      const uint32_t phase = uint32_t(r);
      switch (a.format) {
        case ZFMT_RGB444: GradientRowFast<ZFMT_RGB444, Dither>(p, phase, n, v, dv); continue;
        case ZFMT_RGB555: GradientRowFast<ZFMT_RGB555, Dither>(p, phase, n, v, dv); continue;
        case ZFMT_RGB565: GradientRowFast<ZFMT_RGB565, Dither>(p, phase, n, v, dv); continue;
        default: break;
      }
    }
    GradientRowPlain(a, r, Dither, v, dv);
  }
}

}  // namespace

void ZxRsBltGradient(const ZX_RS_ARGS& a) { GradientRows<false>(a); }
void ZxRsBltGradientDith(const ZX_RS_ARGS& a) { GradientRows<true>(a); }

void ZxRsBltGradientPlain(const ZX_RS_ARGS& a, bool dither) {
  for (int32_t r = a.top; r <= a.end; ++r) {
    if (a.right[r] < 0) continue;
    int64_t v[3], dv[3];
    GradientRowStart(a, r, v, dv);
    GradientRowPlain(a, r, dither, v, dv);
  }
}
