// Landscape: a perspective ground plane drawn with one 20.12 texture record per screen row,
// kept in the surface's left interpolation table, and the projection of a ground point onto
// that picture. One division per row for the perspective, none per pixel.
//
// Screen rows are walked from the rectangle's bottom up: each row's x step grows as the
// row nears the horizon (render size x 1024 / |pitch| rows up), where the walk stops. On a
// display whose axes are exchanged a screen row is a buffer column; mirrored display axes
// mirror the records, so that the logical picture is the same in every rotation.
#include <cstddef>

#include "engine/core/zmod_math.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_3d.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_landscape.h"

namespace {

// The perspective in wrapping 64-bit arithmetic: exact for every view a screen can show,
// defined (if meaningless) for absurd render sizes, heights and pitches.
inline int64_t Mul(int64_t a, int64_t b) { return int64_t(uint64_t(a) * uint64_t(b)); }
inline int64_t Add(int64_t a, int64_t b) { return int64_t(uint64_t(a) + uint64_t(b)); }
inline int32_t Low32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

// The view shared by drawing and projecting: the clipped rectangle in buffer coordinates
// and the angle and camera in buffer terms.
struct View {
  tagRECT rect;
  uint16_t angle;
  int64_t camx, camy;
};

// False when nothing can be drawn: no texture, a different format, a surface without
// buffer, or a rectangle outside the clip.
bool MakeView(const Z2DSurface& s, const tagRECT* rect, const Z2DSurface* texture, uint16_t angle,
              int32_t camx, int32_t camy, View& v) {
  if (!texture || !s.Created() || !texture->Created() || !s.buffer || !texture->buffer) return false;
  if (s.format != texture->format || !s.spanleftrec) return false;
  v.rect = rect ? *rect : tagRECT{0, 0, int32_t(s.GetWidth()), int32_t(s.GetHeight())};
  v.angle = angle;
  v.camx = camx;
  v.camy = camy;
  if (const ClassZDisplay* d = s.zcd ? s.zcd->display : nullptr) {
    d->VirtualRotation(v.angle);
    d->VirtualRect(&v.rect, uint32_t(s.rowlength), uint32_t(s.rows));
    d->VirtualPos(v.camx, v.camy, uint32_t(texture->rowlength) * 16, uint32_t(texture->rows) * 16);
  }
  return s.ClipRect(&v.rect) != 0;
}

// 16.16 cosine and sine; without the math service the angle counts as 0.
void CosSin(const ZCD* zcd, uint32_t angle, int64_t& c, int64_t& s) {
  const ClassZMath* m = zcd ? zcd->math : nullptr;
  c = m ? m->Cos(angle) : 0x10000;
  s = m ? m->Sin(angle) : 0;
}

}  // namespace

void Z2DSurface::Landscape(tagRECT* rect, int32_t height, int32_t camx, int32_t camy, uint16_t angle,
                           int16_t pitch, uint16_t scale, Z2DSurface* texture) {
  View v;
  if (scale == 0 || !MakeView(*this, rect, texture, angle, camx, camy, v)) return;
  const ZSurfLock<Z2DSurface> dlock(this), tlock(texture);
  uint8_t* dbuf = dlock.Pixels();
  const uint8_t* tbuf = tlock.Pixels();

  const ClassZDisplay* d = Display();
  const bool exchanged = d && d->axisexchange;
  const int32_t xstep = d ? d->xstep : 1, ystep = d ? d->ystep : 1;
  int32_t& top = exchanged ? v.rect.left : v.rect.top;
  int32_t& bottom = exchanged ? v.rect.right : v.rect.bottom;
  const int32_t top0 = top, bottom0 = bottom;
  const int64_t W = exchanged ? int64_t(v.rect.bottom) - v.rect.top : int64_t(v.rect.right) - v.rect.left;
  // The ground lies at the logical bottom unless the pitch is negative (a pitch of 0
  // counts as positive, so that the picture does not depend on the rotation).
  const bool mirror = (pitch < 0) != ((exchanged ? xstep : ystep) < 0);
  const int64_t R = d ? d->rendersize : 0, m = R * 1024;
  const int64_t ap = pitch < 0 ? -int64_t(pitch) : int64_t(pitch), P = ap + 256;

  int64_t c, s;
  CosSin(zcd, v.angle, c, s);
  const int64_t ca = c * 16 / scale, sa = s * 16 / scale;
  int64_t dx = ca, dy = sa, ox = sa, oy = -ca;
  auto rowsteps = [&](int64_t L) {
    dx = Mul(Mul(ca, R), 256) / L;
    dy = Mul(Mul(R, sa), 256) / L;
    ox = Mul(Mul(dy, R), 256) / L;
    oy = Mul(Mul(dx, -R), 256) / L;
  };
  if (m > 0) rowsteps(m);
  int64_t X = Add(Mul(ox, height), Mul(v.camx, 256)), Y = Add(Mul(oy, height), Mul(v.camy, 256));

  for (int32_t row = bottom0 - 1; row >= top0; --row) {
    int32_t* rec = spanleftrec + ptrdiff_t(mirror ? top0 + bottom0 - 1 - row : row) * 4;
    rec[0] = Low32(Add(X, Mul(dx, -(W >> 1))));
    rec[1] = Low32(Add(Y, Mul(dy, -(W >> 1))));
    rec[2] = Low32(dx);
    rec[3] = Low32(dy);
    const int64_t L = m - int64_t(bottom0 - row) * ap;
    if (L <= 0) {  // the horizon: the last row drawn
      if (mirror) bottom = top0 + bottom0 - row;
      else top = row;
      break;
    }
    rowsteps(L);
    X = Add(X, Mul(P, ox) >> 8);
    Y = Add(Y, Mul(P, oy) >> 8);
  }

  // A mirrored horizontal axis walks each record from its other end.
  if (exchanged ? ystep < 0 : xstep < 0) {
    for (int32_t row = top; row < bottom; ++row) {
      uint32_t* rec = reinterpret_cast<uint32_t*>(spanleftrec + ptrdiff_t(row) * 4);
      rec[0] += uint32_t(W - 1) * rec[2];
      rec[1] += uint32_t(W - 1) * rec[3];
      rec[2] = 0u - rec[2];
      rec[3] = 0u - rec[3];
    }
  }
  if (rect) {
    *rect = v.rect;
    if (d) d->ReVirtualRect(rect, uint32_t(rowlength), uint32_t(rows));
  }
  if (exchanged)
    ZxLndSide(&v.rect, dbuf, tbuf, stride, rows, texture->stride, texture->rows, spanleftrec, bits,
              texture->rowlength);
  else
    ZxLndNormal(&v.rect, dbuf, tbuf, stride, rows, texture->stride, texture->rows, spanleftrec, bits,
                texture->rowlength);
}

int Z2DSurface::GetLandscapePoint(const tagRECT* rect, int32_t height, int32_t camx, int32_t camy,
                                  uint16_t angle, int16_t pitch, uint16_t scale, int32_t px, int32_t py,
                                  Z2DSurface* texture, ZVECTOR3D* out) {
  if (!out) return 0;
  // Depth ahead of the camera and offset to its right, in 20.12 texels, in the ground's
  // own terms (the display's rotation does not enter).
  int64_t c, s;
  CosSin(zcd, angle, c, s);
  c >>= 6;
  s >>= 6;
  const int64_t ahead = int64_t(camy) - py, right = int64_t(px) - camx;
  const int64_t depth = (ahead * c + right * s) >> 2, lateral = (right * c - ahead * s) >> 2;
  *out = {0, 0, ZSurf_Clamp32(depth)};

  View v;
  if (scale == 0 || !MakeView(*this, rect, texture, angle, camx, camy, v)) return 0;
  const ClassZDisplay* d = Display();
  tagRECT r = v.rect;
  if (d) d->ReVirtualRect(&r, uint32_t(rowlength), uint32_t(rows));

  // Walk the rows' distances as Landscape advances them (at angle 0) until one pair of
  // neighbours holds the depth.
  const int64_t R = d ? d->rendersize : 0, m = R * 1024;
  const int64_t ap = pitch < 0 ? -int64_t(pitch) : int64_t(pitch), P = ap + 256;
  const int64_t b0 = 0x100000 / scale, D = Mul(Mul(R, b0), 256);
  int64_t acc = R > 0 ? Mul(Mul(R, D / m), 256) / m : b0;
  acc = Mul(acc, height);
  int64_t N = 0, step = 0;
  auto advance = [&](int64_t k) {
    const int64_t L = m - (int64_t(r.bottom) - k) * ap;
    if (L < 1) return false;
    N = D / L;
    step = Mul(P, Mul(Mul(R, N), 256) / L) >> 8;
    return true;
  };
  bool found = false;
  int64_t k = 0;
  if (depth >= acc) {
    for (k = int64_t(r.bottom) - 1; k >= r.top; --k) {
      if (!advance(k)) return 0;
      const int64_t next = Add(acc, step);
      if (acc <= depth && depth <= next) {
        found = true;
        break;
      }
      acc = next;
    }
  } else {
    for (k = int64_t(r.bottom) + 1; k <= 2 * int64_t(r.bottom) - r.top; ++k) {
      if (!advance(k)) return 0;
      const int64_t next = Add(acc, -step);
      if (next <= depth && depth <= acc) {
        found = true;
        break;
      }
      acc = next;
    }
  }
  if (!found) return 0;
  out->y = ZSurf_Clamp32(pitch < 0 ? int64_t(r.bottom) + r.top - 1 - k : k);
  if (N <= 0) return 0;
  out->x = ZSurf_Clamp32(lateral / N + (int64_t(r.right) - (int64_t(r.right) - r.left) / 2));
  return 1;
}
