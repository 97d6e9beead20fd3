// Pixel-exact collision: a one-bit-per-pixel mask of a surface, and the test of two placed
// rectangles of two surfaces against each other's masks, 32 pixels per step.
#include <cstring>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zx_intersect.h"

namespace {

// 32 mask bits of a row from column col on, the first in bit 31. Bits past the row's last
// word read as 0, so a read never leaves the row.
inline uint32_t Bits32(const uint32_t* row, uint32_t words, int64_t col) {
  const uint32_t w = uint32_t(col >> 5), s = uint32_t(col & 31);
  uint32_t v = row[w] << s;
  if (s && w + 1 < words) v |= row[w + 1] >> (32 - s);
  return v;
}

inline void SetPoint(tagPOINT* point, int64_t x, int64_t y) {
  if (point) *point = {ZSurf_Clamp32(x), ZSurf_Clamp32(y)};
}

}  // namespace

int ZxMiscIntersect(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const tagRECT* rects,
                    const uint32_t* mask1, const uint32_t* mask2, uint32_t rowlength1,
                    uint32_t rowlength2, tagPOINT* point) {
  SetPoint(point, -1, -1);
  if (!rects) return 0;
  int64_t l1 = rects[0].left, t1 = rects[0].top, l2 = rects[1].left, t2 = rects[1].top;
  const int64_t w1 = int64_t(rects[0].right) - l1, h1 = int64_t(rects[0].bottom) - t1;
  const int64_t w2 = int64_t(rects[1].right) - l2, h2 = int64_t(rects[1].bottom) - t2;
  if (!(x2 < x1 + w1 && x1 < x2 + w2 && y2 < y1 + h1 && y1 < y2 + h2)) return 0;
  if (x1 < x2) l1 += x2 - x1;
  else l2 += x1 - x2;
  if (y1 < y2) t1 += y2 - y1;
  else t2 += y1 - y2;
  const int64_t r1 = rects[0].right, r2 = rects[1].right, b1 = rects[0].bottom, b2 = rects[1].bottom;
  const int64_t w = r1 - l1 < r2 - l2 ? r1 - l1 : r2 - l2;
  const int64_t h = b1 - t1 < b2 - t2 ? b1 - t1 : b2 - t2;
  if (w <= 0 || h <= 0) return 0;
  if (!mask1 || !mask2) {
    SetPoint(point, x1 + l1, y1 + t1);
    return 1;
  }
  const uint32_t words1 = (rowlength1 + 31) / 32, words2 = (rowlength2 + 31) / 32;
  for (int64_t i = 0; i < h; ++i) {
    const uint32_t* row1 = mask1 + size_t(t1 + i) * words1;
    const uint32_t* row2 = mask2 + size_t(t2 + i) * words2;
    for (int64_t k = 0; k < w; k += 32) {
      uint32_t v = Bits32(row1, words1, l1 + k) & Bits32(row2, words2, l2 + k);
      if (w - k < 32) v &= ~0u << (32 - (w - k));
      if (v) {
        SetPoint(point, x1 + l1 + k + __builtin_clz(v), y1 + t1 + i);
        return 1;
      }
    }
  }
  return 0;
}

void Z2DSurface::BuildTableMask(uint8_t threshold) {
  if (!Created() || !buffer || !Memory()) return;
  ReleaseTable(masktable);
  masktable = nullptr;
  const uint32_t words = (uint32_t(rowlength) + 31) / 32;
  const size_t bytes = size_t(words) * uint32_t(rows) * 4;
  masktable = static_cast<uint32_t*>(Memory()->AllocList(uint32_t(bytes)));
  if (!masktable) return;
  std::memset(masktable, 0, bytes);
  const uint32_t key = ZSurf_Expand(format, colorkey);
  for (int32_t y = 0; y < rows; ++y) {
    uint32_t* row = masktable + size_t(y) * words;
    for (int32_t x = 0; x < rowlength; ++x) {
      const uint32_t p = GetPixelRaw(x, y, buffer);
      if (p == key || ((p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF)) / 3 < threshold) continue;
      row[x >> 5] |= 0x80000000u >> (x & 31);
    }
  }
}

int Z2DSurface::Intersect(int32_t x, int32_t y, const tagRECT* rect, int32_t ox, int32_t oy,
                          const tagRECT* orect, const Z2DSurfaceBase* other, tagPOINT* point) const {
  if (point) *point = {-1, -1};
  if (!other || !Created() || !other->Created()) return 0;
  tagRECT rects[2] = {rect ? *rect : tagRECT{0, 0, int32_t(GetWidth()), int32_t(GetHeight())},
                      orect ? *orect : tagRECT{0, 0, int32_t(other->GetWidth()), int32_t(other->GetHeight())}};
  int64_t px[2] = {x, ox}, py[2] = {y, oy};
  const Z2DSurfaceBase* surfaces[2] = {this, other};
  const ClassZDisplay* d = Display();
  for (int i = 0; i < 2; ++i) {
    const Z2DSurfaceBase* s = surfaces[i];
    if (d)
      d->VirtualRectPos(px[i], py[i], &rects[i], d->virtualwidth, d->virtualheight, uint32_t(s->rowlength),
                        uint32_t(s->rows));
    // Limited to the clip where it lies; the position stays.
    if (!RectIntersect(&rects[i], &s->clip, &rects[i])) return 0;
  }
  return ZxMiscIntersect(px[0], py[0], px[1], py[1], rects, masktable, other->masktable,
                         uint32_t(rowlength), uint32_t(other->rowlength), point);
}
