// Shader blits: a 1:1 blit in which a caller's function computes every destination pixel.
// One indirect call per pixel and no allocation (except for a source that overlaps the
// destination on the same surface, which is read from a copy).
#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_lock.h"
#include "engine/graphics/zx_blt.h"
#include "engine/graphics/zx_pixel.h"
#include "engine/graphics/zx_shader.h"

uint32_t ZPShader_AND(uint32_t dst, uint32_t src, uint32_t, uint32_t, int32_t) { return dst & src; }
uint32_t ZPShader_OR(uint32_t dst, uint32_t src, uint32_t, uint32_t, int32_t) { return dst | src; }
uint32_t ZPShader_XOR(uint32_t dst, uint32_t src, uint32_t, uint32_t, int32_t) { return dst ^ src; }

uint32_t ZPShader_Grayscale(uint32_t, uint32_t src, uint32_t, uint32_t, int32_t) {
  const uint32_t g = ((src >> 16 & 0xFF) + (src >> 8 & 0xFF) + (src & 0xFF)) / 3;
  return g * 0x010101u;
}

namespace {

// Stored pixel to shader value (0x00RRGGBB, fields widened with low bits 0) and back. 24-
// and 32-bit pixels already are in that order and pass as they are (32 bits: the whole word).
template <int F>
inline uint32_t ToShader(uint32_t p) {
  if constexpr (F == ZFMT_RGB888 || F == ZFMT_XRGB8888) return p;
  else return ZSurf_SwapRB(ZSurf_Expand(F, p));
}
template <int F>
inline uint32_t FromShader(uint32_t v) {
  if constexpr (F == ZFMT_XRGB8888) return v;
  else if constexpr (F == ZFMT_RGB888) return v & 0xFFFFFF;
  else return ZSurf_PackRGB(F, v);
}

template <int F, bool Keyed>
void ShaderRows(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst, const uint8_t* src,
                const tagRECT& r, uint32_t dstride, uint32_t sstride, uint32_t user, uint32_t key) {
  constexpr int B = ZxFmt<F>::Bytes;
  const int32_t w = r.right - r.left;
  for (int32_t row = r.top; row < r.bottom; ++row) {
    uint8_t* d = dst + (ptrdiff_t(dy) + (row - r.top)) * ptrdiff_t(dstride) * B + ptrdiff_t(dx) * B;
    const uint8_t* s = src + (ptrdiff_t(row) * ptrdiff_t(sstride) + r.left) * B;
    for (int32_t i = 0; i < w; ++i, d += B, s += B) {
      const uint32_t sp = ZxLoad<B>(s);
      if (Keyed && sp == key) continue;
      const uint32_t out = shader(ToShader<F>(ZxLoad<B>(d)), ToShader<F>(sp), uint32_t(i),
                                  uint32_t(row - r.top), int32_t(user));
      ZxStore<B>(d, FromShader<F>(out));
    }
  }
}

// Indices are copied: the whole row, or (keyed) every byte that is not the key.
void CopyIndices(int32_t dx, int32_t dy, uint8_t* dst, const uint8_t* src, const tagRECT& r,
                 uint32_t dstride, uint32_t sstride, bool keyed, uint32_t key) {
  const size_t w = size_t(r.right - r.left);
  for (int32_t row = r.top; row < r.bottom; ++row) {
    uint8_t* d = dst + (ptrdiff_t(dy) + (row - r.top)) * ptrdiff_t(dstride) + dx;
    const uint8_t* s = src + ptrdiff_t(row) * ptrdiff_t(sstride) + r.left;
    if (!keyed) {
      std::memcpy(d, s, w);
      continue;
    }
    for (size_t i = 0; i < w; ++i)
      if (s[i] != key) d[i] = s[i];
  }
}

template <bool Keyed>
void ShaderBlit(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst, const uint8_t* src,
                const tagRECT* rect, uint32_t dstride, uint32_t sstride, uint8_t format,
                uint32_t user, uint32_t key) {
  if (!shader || !rect || rect->left >= rect->right || rect->top >= rect->bottom) return;
  const tagRECT& r = *rect;
  switch (format) {
    case ZFMT_INDEX8: CopyIndices(dx, dy, dst, src, r, dstride, sstride, Keyed, key); break;
    case ZFMT_RGB444: ShaderRows<ZFMT_RGB444, Keyed>(shader, dx, dy, dst, src, r, dstride, sstride, user, key); break;
    case ZFMT_RGB555: ShaderRows<ZFMT_RGB555, Keyed>(shader, dx, dy, dst, src, r, dstride, sstride, user, key); break;
    case ZFMT_RGB565: ShaderRows<ZFMT_RGB565, Keyed>(shader, dx, dy, dst, src, r, dstride, sstride, user, key); break;
    case ZFMT_RGB888: ShaderRows<ZFMT_RGB888, Keyed>(shader, dx, dy, dst, src, r, dstride, sstride, user, key); break;
    case ZFMT_XRGB8888: ShaderRows<ZFMT_XRGB8888, Keyed>(shader, dx, dy, dst, src, r, dstride, sstride, user, key); break;
    default: break;
  }
}

}  // namespace

void Z2DSurface::MemBlt(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst, const uint8_t* src,
                        const tagRECT* rect, uint32_t dstride, uint32_t sstride, uint8_t format,
                        uint32_t user) {
  ShaderBlit<false>(shader, dx, dy, dst, src, rect, dstride, sstride, format, user, 0);
}

void Z2DSurface::MemBltColorkey(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst,
                                const uint8_t* src, const tagRECT* rect, uint32_t dstride,
                                uint32_t sstride, uint8_t format, uint32_t user, uint32_t key) {
  ShaderBlit<true>(shader, dx, dy, dst, src, rect, dstride, sstride, format, user, key);
}

int Z2DSurface::BltPixelShader(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect,
                               ZPIXELSHADER shader, int32_t flags, uint32_t property) {
  if (!src || !shader) return Z2D_BADARG;
  if (format != src->format) return Z2D_FORMATS;
  tagRECT r;
  const int positions = GetBltFastPositions(x, y, &r, srcrect, src);
  if (positions != Z2D_OK) return positions;
  const ZSurfLock<Z2DSurface> dlock(this), slock(dlock ? src : nullptr);
  if (!dlock || !slock) return Z2D_NOBUFFER;
  uint8_t* dbuf = dlock.Pixels();
  const uint8_t* sbuf = slock.Pixels();
  int32_t sstride = src->stride;
  std::vector<uint8_t> copy;
  ZxBlt_CopyOverlap(src == this, x, y, bits / 8, sbuf, sstride, r, copy);
  if (flags & ZBLT_COLORKEY)
    MemBltColorkey(shader, x, y, dbuf, sbuf, &r, uint32_t(stride), uint32_t(sstride), format, property,
                   src->colorkey);
  else
    MemBlt(shader, x, y, dbuf, sbuf, &r, uint32_t(stride), uint32_t(sstride), format, property);
  return Z2D_OK;
}
