// Fills and primitives: rectangle fill with blit effects, lines, outlines, ovals and the
// two colour-key helpers.
#include <cstddef>
#include <utility>

#include "engine/core/zmod_math.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_rct.h"

int Z2DSurface::FillRect(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property) {
  return FillRectV(rect, colour, flags, property, true);
}

int Z2DSurface::FillRectV(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property,
                          bool logical) {
  if (!zcd) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_OK;
  uint32_t f = ZSurf_BltFlags(flags);
  const uint32_t a = ZSurf_Opacity(f, property);

  colour = ZSurf_ColourEffects(colour, f, property);
  f &= ~(ZBLT_COLORIZE | ZBLT_TINT);

  if (f & ZBLT_OPACITY) {
    if (f & (ZBLT_ADD | ZBLT_SUB)) {
      colour = ZSurf_ScaleColour(colour, a);
      f &= ~ZBLT_OPACITY;
    } else if (a > 254) {
      f &= ~ZBLT_OPACITY;
    } else if (ZSurf_QuantiseOpacity(format, a) == 0) {
      return Z2D_OK;
    }
  }

  tagRECT r;
  if (!rect) {
    r = clip;
  } else {
    r = *rect;
    if (logical) MapRect(&r);
    if (!ClipRect(&r)) return Z2D_OK;
  }
  if (r.left >= r.right || r.top >= r.bottom) return Z2D_OK;
  const ZSurfLock<Z2DSurface> lock(this);
  // 8-bit surfaces premultiply the index like a channel and fill with it.
  if (f & ZBLT_OPACITY) colour = ZSurf_ScaleColour(colour, a);
  const uint32_t p = ZSurf_Pack(format, colour);
  if (f & ZBLT_OPACITY) ZxRctOpac(&r, buffer, stride, bits, format, p, a);
  else if (f & ZBLT_ADD) ZxRctAlpha(&r, buffer, stride, bits, format, p);
  else if (f & ZBLT_SUB) ZxRctSub(&r, buffer, stride, bits, format, p);
  else ZxRctFill(&r, buffer, stride, bits, format, p);
  return Z2D_OK;
}

void Z2DSurface::PutPixelRowV(int32_t x, int32_t y, uint32_t count, uint32_t colour, int32_t flags,
                              uint32_t property, bool logical) {
  const tagRECT r = {x < 0 ? 0 : x, y, ZSurf_Clamp32(int64_t(x) + count), ZSurf_Clamp32(int64_t(y) + 1)};
  FillRectV(&r, colour, flags, property, logical);
}

void Z2DSurface::PutPixelRow(int32_t x, int32_t y, uint32_t count, uint32_t colour, int32_t flags,
                             uint32_t property) {
  PutPixelRowV(x, y, count, colour, flags, property, true);
}

void Z2DSurface::Clear(uint32_t colour) {
  FillRectV(nullptr, colour, 0, 0, false);
  ReleaseTable(vwftable);
  vwftable = nullptr;
  ReleaseTable(masktable);
  masktable = nullptr;
}

int Z2DSurface::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t flags,
                         uint32_t property) {
  if (!zcd) return Z2D_BADARG;
  if (y1 == y2) {
    const int32_t lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
    const tagRECT r = {lo < 0 ? 0 : lo, y1, ZSurf_Clamp32(int64_t(hi) + 1), ZSurf_Clamp32(int64_t(y1) + 1)};
    return FillRectV(&r, colour, flags, property, true);
  }
  if (!Created() || !buffer) return Z2D_OK;
  const ZSurfLock<Z2DSurface> lock(this);
  int64_t ax = x1, ay = y1, bx = x2, by = y2;
  if (ay > by) {
    std::swap(ax, bx);
    std::swap(ay, by);
  }
  const int64_t sx = bx - ax >= 0 ? 1 : -1;
  const int64_t adx = bx - ax >= 0 ? bx - ax : ax - bx, ady = by - ay;
  const bool xmajor = adx > ady;
  const int64_t major = xmajor ? adx : ady, minor = xmajor ? ady : adx;

  // Pixel i lies at major offset i and minor offset floor(i * minor / major), which is what
  // stepping the error term from 0 gives. Only the steps whose pixels can fall inside the
  // logical clip rectangle are walked.
  tagRECT lc = clip;
  if (const ClassZDisplay* d = Display()) d->ReVirtualRect(&lc, uint32_t(rowlength), uint32_t(rows));
  int64_t ilo = 0, ihi = major;
  auto limit = [&](int64_t start, int64_t step, int64_t lo, int64_t hi) {
    // start + step * i within [lo, hi), step +1 or -1.
    int64_t a = step > 0 ? lo - start : start - (hi - 1), b = step > 0 ? hi - 1 - start : start - lo;
    if (a > ilo) ilo = a;
    if (b < ihi) ihi = b;
  };
  if (xmajor) {
    limit(ax, sx, lc.left, lc.right);
  } else {
    limit(ay, 1, lc.top, lc.bottom);
  }
  // The minor coordinate grows with i: bound i by where it enters and leaves the clip.
  const int64_t mstart = xmajor ? ay : ax, mstep = xmajor ? 1 : sx;
  const int64_t mlo = xmajor ? lc.top : lc.left, mhi = xmajor ? lc.bottom : lc.right;
  // Both axes span less than 2^32, so their products fit in 64 unsigned bits.
  const uint64_t umajor = uint64_t(major ? major : 1), uminor = uint64_t(minor);
  if (minor > 0) {
    // Offsets k (0 <= k <= minor) with mstart + mstep * k inside [mlo, mhi).
    int64_t klo = mstep > 0 ? mlo - mstart : mstart - (mhi - 1);
    int64_t khi = mstep > 0 ? mhi - 1 - mstart : mstart - mlo;
    if (klo > minor) {
      ihi = -1;
    } else if (klo > 0) {
      // Smallest i with floor(i * minor / major) >= klo.
      const int64_t i = int64_t((uint64_t(klo) * umajor + uminor - 1) / uminor);
      if (i > ilo) ilo = i;
    }
    if (khi < 0) ihi = -1;
    else if (khi < minor) {
      // Largest i with floor(i * minor / major) <= khi.
      const int64_t i = int64_t((uint64_t(khi + 1) * umajor - 1) / uminor);
      if (i < ihi) ihi = i;
    }
  }
  if (ilo <= ihi) {
    // k = floor(i * minor / major) by its error term: one division per line, none per pixel
    // (a 64-bit division is a library call on the console). minor <= major, so k grows by at
    // most 1 a step.
    const uint64_t start = uint64_t(ilo) * uminor;
    int64_t k = int64_t(start / umajor);
    uint64_t rest = start % umajor;
    for (int64_t i = ilo; i <= ihi; ++i) {
      int64_t px = xmajor ? ax + sx * i : ax + sx * k;
      int64_t py = xmajor ? ay + k : ay + i;
      MapPos(px, py);
      if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom)
        PutPixelRaw(int32_t(px), int32_t(py), colour, flags, property, buffer);
      rest += uminor;
      if (rest >= umajor) {
        rest -= umajor;
        ++k;
      }
    }
  }
  return Z2D_OK;
}

int Z2DSurface::DrawRect(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property) {
  if (!zcd) return Z2D_BADARG;
  if (!rect || rect->left >= rect->right || rect->top >= rect->bottom) return Z2D_OK;
  const int32_t l = rect->left, t = rect->top, r = rect->right - 1, b = rect->bottom - 1;
  DrawLine(l, t, r, t, colour, flags, property);
  if (b != t) DrawLine(l, b, r, b, colour, flags, property);
  if (int64_t(b) - t >= 2) {
    DrawLine(l, t + 1, l, b - 1, colour, flags, property);
    if (r != l) DrawLine(r, t + 1, r, b - 1, colour, flags, property);
  }
  return Z2D_OK;
}

namespace {

// 16.16 sine and cosine of the engine's math service (0 without one).
inline int64_t Cos(const ZCD* zcd, uint32_t i) {
  return zcd && zcd->math ? zcd->math->Cos(i) : 0;
}
inline int64_t Sin(const ZCD* zcd, uint32_t i) {
  return zcd && zcd->math ? zcd->math->Sin(i) : 0;
}

// Arithmetic shift of a 64-bit product by 16.
inline int64_t Fix16(int64_t v) { return v >= 0 ? v >> 16 : -((-v + 0xFFFF) >> 16); }

// The rows of an oval with half axes |rx| and |ry|: for each step of the angle (1024 to a
// turn) at which the height h above the centre falls, after the first, row(h, w, q) with
// the half width w at that step and the half width q of the row before (-1 for the first).
template <class Row>
void OvalRows(const ZCD* zcd, int32_t rx, int32_t ry, Row row) {
  const int64_t arx = rx < 0 ? -int64_t(rx) : rx, ary = ry < 0 ? -int64_t(ry) : ry;
  const int64_t marker = 999999;
  int64_t p = marker, q = -1;
  for (uint32_t i = 0; i < 1024; ++i) {
    const int64_t h = Fix16(Cos(zcd, i) * ary);
    if (h >= p) continue;
    if (p == marker) {
      p = h;
      q = -1;
      continue;
    }
    const int64_t w = Fix16(Sin(zcd, i) * arx);
    row(h, w, q);
    p = h;
    q = w;
  }
}

}  // namespace

int Z2DSurface::FillOval(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t flags,
                         uint32_t property) {
  if (!zcd) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_OK;
  const int64_t cx = int64_t(x) + rx, cy = int64_t(y) + ry;
  OvalRows(zcd, rx, ry, [&](int64_t h, int64_t w, int64_t) {
    DrawLine(ZSurf_Clamp32(cx - w), ZSurf_Clamp32(cy - h), ZSurf_Clamp32(cx + w), ZSurf_Clamp32(cy - h), colour, flags, property);
    if (h != 0)
      DrawLine(ZSurf_Clamp32(cx - w), ZSurf_Clamp32(cy + h), ZSurf_Clamp32(cx + w), ZSurf_Clamp32(cy + h), colour, flags, property);
  });
  return Z2D_OK;
}

int Z2DSurface::DrawOval(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t flags,
                         uint32_t property) {
  if (!zcd) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_OK;
  const int64_t cx = int64_t(x) + rx, cy = int64_t(y) + ry;
  OvalRows(zcd, rx, ry, [&](int64_t h, int64_t w, int64_t q) {
    const int64_t n = w == q ? w : w > q ? q + 1 : q - 1;
    for (int64_t row : {cy - h, cy + h}) {
      DrawLine(ZSurf_Clamp32(cx - w), ZSurf_Clamp32(row), ZSurf_Clamp32(cx - n), ZSurf_Clamp32(row), colour, flags, property);
      DrawLine(ZSurf_Clamp32(cx + w), ZSurf_Clamp32(row), ZSurf_Clamp32(cx + n), ZSurf_Clamp32(row), colour, flags, property);
      if (h == 0) break;
    }
  });
  return Z2D_OK;
}

uint32_t Z2DSurface::AutoSetColorKey(int32_t x, int32_t y) {
  uint32_t c = 0;
  if (Created() && buffer) {
    int64_t bx = x, by = y;
    MapPos(bx, by);
    if (bx >= 0 && by >= 0 && bx < rowlength && by < rows) c = GetPixelRaw(int32_t(bx), int32_t(by), buffer);
  }
  colorkey = ZSurf_Pack(format, c);
  return c;
}

int Z2DSurface::ReplaceColor(uint32_t newcolour, uint32_t oldcolour, bool invert) {
  if (!Created() || !buffer) return 0;
  const uint32_t n = ZSurf_Pack(format, newcolour), o = ZSurf_Pack(format, oldcolour);
  const uint32_t bytes = bits / 8;
  for (int32_t r = clip.top; r < clip.bottom; ++r) {
    uint8_t* p = buffer + (ptrdiff_t(r) * stride + clip.left) * bytes;
    for (int32_t c = clip.left; c < clip.right; ++c, p += bytes) {
      if ((ZSurf_LoadPixel(p, bits) == o) != invert) ZSurf_StorePixel(p, bits, n);
    }
  }
  return 1;
}
