// Screen transitions between two surfaces, driven by a position from 0 to 0x10000.
#include <cstdlib>

#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"

namespace {

// A clockwise spiral over 16 x 16 tiles: the top row left to right, down the right column,
// the bottom row right to left, up the left column, then inward.
struct SpiralTable {
  uint8_t v[256];
  constexpr SpiralTable() : v() {
    int top = 0, bottom = 15, left = 0, right = 15, n = 0;
    while (n < 256) {
      for (int x = left; x <= right && n < 256; ++x) v[top * 16 + x] = uint8_t(n++);
      ++top;
      for (int y = top; y <= bottom && n < 256; ++y) v[y * 16 + right] = uint8_t(n++);
      --right;
      for (int x = right; x >= left && n < 256; --x) v[bottom * 16 + x] = uint8_t(n++);
      --bottom;
      for (int y = bottom; y >= top && n < 256; --y) v[y * 16 + left] = uint8_t(n++);
      ++left;
    }
  }
};
constexpr SpiralTable kSpiral;

// Whole-surface copy with no flags.
inline void Copy(Z2DSurface* dst, Z2DSurface* src) { dst->BltFast(0, 0, src, nullptr, 0, 0); }

}  // namespace

const uint8_t zwipespiraltable[256] = {
#define ROW(r)                                                                                     \
  kSpiral.v[r * 16 + 0], kSpiral.v[r * 16 + 1], kSpiral.v[r * 16 + 2], kSpiral.v[r * 16 + 3],     \
      kSpiral.v[r * 16 + 4], kSpiral.v[r * 16 + 5], kSpiral.v[r * 16 + 6], kSpiral.v[r * 16 + 7], \
      kSpiral.v[r * 16 + 8], kSpiral.v[r * 16 + 9], kSpiral.v[r * 16 + 10],                       \
      kSpiral.v[r * 16 + 11], kSpiral.v[r * 16 + 12], kSpiral.v[r * 16 + 13],                      \
      kSpiral.v[r * 16 + 14], kSpiral.v[r * 16 + 15]
    ROW(0), ROW(1), ROW(2),  ROW(3),  ROW(4),  ROW(5),  ROW(6),  ROW(7),
    ROW(8), ROW(9), ROW(10), ROW(11), ROW(12), ROW(13), ROW(14), ROW(15)
#undef ROW
};

void ClassZDisplay::StartWipe(uint8_t, Z2DSurface*) { wipeposition = 0; }

void ClassZDisplay::MapScreenWipe(uint8_t* map, uint32_t width, uint32_t height, uint8_t type) {
  if (type != 0 || !map) return;
  const uint64_t n = uint64_t(width) * height;
  for (uint64_t i = 0; i < n; ++i) map[i] = uint8_t(std::rand());
}

void ClassZDisplay::Wipe(Z2DSurface* dst, Z2DSurface* from, Z2DSurface* to, uint32_t position,
                         uint8_t type, const void* table, int32_t size) {
  if (!dst || !from || !dst->Created()) return;
  if (position > 0x10000) position = 0x10000;
  const int64_t W = dst->GetWidth(), H = dst->GetHeight();
  const int64_t pos = position;
  switch (type) {
    case 0:
    case 1:
    case 2:
    case 3: {
      if (dst != from) Copy(dst, from);
      if (!to) return;
      int64_t x = 0, y = 0;
      if (type == 0) x = W - pos * W / 0x10000;
      if (type == 1) x = pos * W / 0x10000 - W;
      if (type == 2) y = H - pos * H / 0x10000;
      if (type == 3) y = pos * H / 0x10000 - H;
      dst->BltFast(int32_t(x), int32_t(y), to, nullptr, 0, 0);
      return;
    }
    case 4: {
      const uint8_t* order = table ? static_cast<const uint8_t*>(table) : zwipespiraltable;
      if (dst != from) {
        Copy(dst, from);
        wipeposition = 0;
      }
      const uint32_t level = position >> 8;
      const int64_t f = size > 0 ? size : (W > H ? W : H) / 15;
      if (f >= 1) {
        const int64_t g = 16 * f;
        const int64_t ox = (W - g) / 2 < 0 ? (W - g) / 2 : 0;
        const int64_t oy = (H - g) / 2 < 0 ? (H - g) / 2 : 0;
        for (int t = 0; t < 256; ++t) {
          if (order[t] < wipeposition || order[t] > level) continue;
          const int64_t tx = t % 16 * f, ty = t / 16 * f;
          for (int64_t gy = oy; gy < H; gy += g) {
            for (int64_t gx = ox; gx < W; gx += g) {
              // Decided on the wide values: a tile far off the surface must not wrap into it.
              const int64_t l = gx + tx, tp = gy + ty;
              if (l >= W || tp >= H || l + f <= 0 || tp + f <= 0) continue;
              if (f == 1) {
                dst->PutPixel(int32_t(l), int32_t(tp), to ? to->GetPixel(int32_t(l), int32_t(tp)) : 0, 0, 0);
                continue;
              }
              const tagRECT r = {ZSurf_Clamp32(l), ZSurf_Clamp32(tp), ZSurf_Clamp32(l + f), ZSurf_Clamp32(tp + f)};
              if (to) dst->BltFast(r.left, r.top, to, &r, 0, 0);
              else dst->FillRect(&r, 0, 0, 0);
            }
          }
        }
      }
      wipeposition = level + 1;
      return;
    }
    case 5: {
      const int64_t b = uint16_t(pos * (W > H ? W : H) >> 16);
      if (b < 2) return;
      for (int64_t y = 0; y < H; y += b) {
        for (int64_t x = 0; x < W; x += b) {
          const int64_t cx = x + b / 2 < W - 1 ? x + b / 2 : W - 1;
          const int64_t cy = y + b / 2 < H - 1 ? y + b / 2 : H - 1;
          const uint32_t c = from->GetPixel(int32_t(cx), int32_t(cy));
          const tagRECT r = {int32_t(x), int32_t(y), int32_t(x + b), int32_t(y + b)};
          dst->FillRect(&r, c, 0, 0);
        }
      }
      return;
    }
    case 6:
      if (dst != from) Copy(dst, from);
      if (to) dst->BltFast(0, 0, to, nullptr, ZBLT_OPACITY, uint32_t(pos * 255 >> 16));
      return;
    case 7: {
      if (!table) return;
      const uint8_t* map = static_cast<const uint8_t*>(table);
      if (dst != from) {
        Copy(dst, from);
        wipeposition = 0;
      }
      const uint32_t level = position >> 8;
      for (int64_t y = 0; y < H; ++y) {
        for (int64_t x = 0; x < W; ++x) {
          const uint32_t m = map[x + W * y];
          if (m < wipeposition || m > level) continue;
          dst->PutPixel(int32_t(x), int32_t(y), to ? to->GetPixel(int32_t(x), int32_t(y)) : 0, 0, 0);
        }
      }
      wipeposition = level + 1;
      return;
    }
    default:
      return;
  }
}
