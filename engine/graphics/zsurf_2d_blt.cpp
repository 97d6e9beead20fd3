// BltFast: maps and clips a 1:1 blit, then hands it to the worker for its flags and
// format, to the format converter, or to the pixel rule.
#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_blt.h"

int Z2DSurface::GetBltFastPositions(int32_t& x, int32_t& y, tagRECT* rect, const tagRECT* srcrect,
                                    const Z2DSurfaceBase* src) const {
  if (!src || !Created() || !src->Created() || !rect) return Z2D_FAILED;
  const ClassZDisplay* d = Display();
  const bool exchanged = d && d->axisexchange;
  if (srcrect) {
    *rect = *srcrect;
  } else {
    const int32_t sw = exchanged ? src->rows : src->rowlength;
    const int32_t sh = exchanged ? src->rowlength : src->rows;
    *rect = {0, 0, sw, sh};
  }
  int64_t px = x, py = y;
  if (d) d->VirtualRectPos(px, py, rect, uint32_t(rowlength), uint32_t(rows), uint32_t(src->rowlength),
                           uint32_t(src->rows));
  if (!PrepareBlitRect(px, py, rect, src->rowlength, src->rows)) return Z2D_BADARG;
  x = int32_t(px);
  y = int32_t(py);
  return Z2D_OK;
}

void ZxBlt_CopyOverlap(bool same, int32_t x, int32_t y, int32_t bytes, const uint8_t*& src,
                       int32_t& sstride, tagRECT& r, std::vector<uint8_t>& copy) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (!same || !(x < r.right && r.left < x + w && y < r.bottom && r.top < y + h)) return;
  copy.resize(size_t(w) * h * bytes);
  for (int32_t i = 0; i < h; ++i)
    std::memcpy(copy.data() + size_t(i) * w * bytes,
                src + (ptrdiff_t(r.top + i) * sstride + r.left) * bytes, size_t(w) * bytes);
  src = copy.data();
  sstride = w;
  r = {0, 0, w, h};
}

int Z2DSurface::BltFast(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect, int32_t flags,
                        uint32_t property) {
  if (!src || !zcd) return Z2D_BADARG;
  uint32_t f = ZSurf_BltFlags(flags);
  const bool coloured = f & (ZBLT_COLORIZE | ZBLT_TINT);
  if (f & ZBLT_OPACITY) {
    const uint32_t a = ZSurf_Opacity(f, property);
    if (a > 254) {
      f &= ~ZBLT_OPACITY;
    } else {
      const uint32_t q = ZSurf_QuantiseOpacity(format, a);
      if (q == 0) return Z2D_NOTHING;
      if (coloured) property = (property & 0xFFFFFF) | q << 24;
    }
  }

  // Colorize alone reads no source pixel: a fill the size of the source rectangle.
  if ((f & 7) == ZBLT_COLORIZE) {
    int64_t w, h;
    if (srcrect) {
      w = int64_t(srcrect->right) - srcrect->left;
      h = int64_t(srcrect->bottom) - srcrect->top;
    } else {
      w = src->GetWidth();
      h = src->GetHeight();
    }
    const tagRECT r = {x, y, ZSurf_Clamp32(int64_t(x) + w), ZSurf_Clamp32(int64_t(y) + h)};
    FillRectV(&r, property & 0xFFFFFF, int32_t(f - ZBLT_COLORIZE), property >> 24, true);
    return Z2D_OK;
  }

  tagRECT r;
  const int positions = GetBltFastPositions(x, y, &r, srcrect, src);
  if (positions != Z2D_OK) return positions;
  if (format != src->format && format == ZFMT_INDEX8) return Z2D_FORMATS;

  const ZSurfLock<Z2DSurface> dlock(this), slock(dlock ? src : nullptr);
  if (!dlock || !slock) return Z2D_NOBUFFER;
  uint8_t* dbuf = dlock.Pixels();
  const uint8_t* sbuf = slock.Pixels();

  const int32_t bytes = bits / 8;
  if (format == src->format) {
    if (f == 0) {
      const int32_t w = r.right - r.left;
      const size_t rowbytes = size_t(w) * bytes;
      uint8_t* d = dbuf + (ptrdiff_t(y) * stride + x) * bytes;
      const uint8_t* s = sbuf + (ptrdiff_t(r.top) * src->stride + r.left) * bytes;
      const int32_t h = r.bottom - r.top;
      if (w == rowlength && w == src->rowlength) {
        // Whole rows: one block from the first pixel to the last, padding included.
        std::memmove(d, s, size_t(h - 1) * stride * bytes + rowbytes);
      } else if (src == this && y > r.top) {
        for (int32_t i = h - 1; i >= 0; --i)
          std::memmove(d + ptrdiff_t(i) * stride * bytes, s + ptrdiff_t(i) * src->stride * bytes, rowbytes);
      } else {
        for (int32_t i = 0; i < h; ++i)
          std::memmove(d + ptrdiff_t(i) * stride * bytes, s + ptrdiff_t(i) * src->stride * bytes, rowbytes);
      }
    } else {
      // Workers read the source while they write: an overlapping self-blit reads a copy.
      std::vector<uint8_t> copy;
      int32_t sstride = src->stride;
      tagRECT wr = r;
      ZxBlt_CopyOverlap(src == this, x, y, bytes, sbuf, sstride, wr, copy);
      const uint32_t key = src->colorkey;
      const uint32_t a = ZSurf_Opacity(f, property);
#define ARGS x, y, wr.top, &wr, dbuf, sbuf, stride, sstride, bits, format
      if ((f & 0xFE) == (ZBLT_COLORIZE | ZBLT_TINT)) {
        const uint32_t colour = ZSurf_Pack(format, property & 0xFFFFFF);
        if (f & ZBLT_COLORKEY) ZxBltCkColTnt(ARGS, key, colour);
        else ZxBltColTnt(ARGS, colour);
      } else if ((f & (ZBLT_COLORIZE | ZBLT_TINT)) == (ZBLT_COLORIZE | ZBLT_TINT)) {
        ZxBltGeneric(ARGS, f, key, a, ZSurf_Pack(format, property & 0xFFFFFF));
      } else if ((f & 0xFE) == ZBLT_TINT) {
        const uint32_t half = ZSurf_Pack(format, property & 0xFFFFFF) >> 1 & ZSurf_HalfMask(format, 1);
        if (f & ZBLT_COLORKEY) ZxBltCkTnt(ARGS, key, half);
        else ZxBltTnt(ARGS, half);
      } else if ((f & 0xFE) == ZBLT_COLORIZE) {
        ZxBltCkCol(ARGS, key, ZSurf_Pack(format, property & 0xFFFFFF));
      } else if ((f & 0xFE) == ZBLT_OPACITY) {
        if (f & ZBLT_COLORKEY) ZxBltCkOpac(ARGS, key, property);
        else ZxBltOpac(ARGS, property);
      } else if ((f & 0xFE) == ZBLT_ADD) {
        if (f & ZBLT_COLORKEY) ZxBltCkAlpha(ARGS, key);
        else ZxBltAlpha(ARGS);
      } else if ((f & 0xFE) == ZBLT_SUB) {
        if (f & ZBLT_COLORKEY) ZxBltCkSub(ARGS, key);
        else ZxBltSub(ARGS);
      } else if (f == ZBLT_COLORKEY) {
        // The keyed copy gives the generic worker's pixels without its per-pixel tests.
        ZxBltCk(ARGS, key);
      } else {
        ZxBltGeneric(ARGS, f, key, a, ZSurf_EffectColour(format, f, property));
      }
#undef ARGS
    }
  } else if (f == 0) {
    ClassZDisplay* d = zcd ? zcd->display : nullptr;
    if (src->format == ZFMT_INDEX8 && !d) return Z2D_FAILED;
    ZxBltColorConvert(dbuf + (ptrdiff_t(y) * stride + x) * bytes,
                      sbuf + (ptrdiff_t(r.top) * src->stride + r.left) * (src->bits / 8), stride,
                      src->stride, format, src->format, r.right - r.left, r.bottom - r.top,
                      d ? d->palette : nullptr, d ? d->palettecache : nullptr,
                      d ? &d->palettecacheformat : nullptr);
  } else {
    const uint32_t key = ZSurf_Expand(src->format, src->colorkey);
    const int32_t pf = int32_t(f & ~ZBLT_COLORKEY);
    for (int32_t row = r.top; row < r.bottom; ++row) {
      for (int32_t col = r.left; col < r.right; ++col) {
        const uint32_t c = src->GetPixelRaw(col, row, sbuf);
        if ((f & ZBLT_COLORKEY) && c == key) continue;
        PutPixelRaw(x + (col - r.left), y + (row - r.top), c, pf, property, dbuf);
      }
    }
  }
  return Z2D_OK;
}
