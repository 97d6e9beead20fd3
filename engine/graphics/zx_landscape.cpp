// The landscape row workers. Coordinates advance in wrapping 32-bit arithmetic, so that any
// record stays inside the texture.
#include "engine/graphics/zx_landscape.h"

#include <cstddef>
#include <type_traits>

#include "engine/graphics/zx_pixel.h"

namespace {

// Side of a square texture the Plus members serve, as a power of two; 0 for any other.
int PlusShift(int32_t trowlength, int32_t trows, int32_t tstride) {
  if (trowlength != trows || trowlength != tstride) return 0;
  for (int s = 6; s <= 10; ++s)
    if (trowlength == 1 << s) return s;
  return 0;
}

// A texel coordinate (20.12, two's complement) wrapped into 0..n - 1.
inline uint32_t Wrap(uint32_t v, int32_t n) {
  const int32_t t = int32_t(v & 0xFFFFF000u) / 4096 % n;
  return uint32_t(t < 0 ? t + n : t);
}

// Copies count pixels: destination pixel k (at d + k * dstep bytes) takes the texel at
// (x + k * dx, y + k * dy). Wrap: modulo the sides, or a mask and a shift for Plus (the
// same texels).
template <int B, bool Plus>
void Walk(uint8_t* d, ptrdiff_t dstep, int32_t count, const uint8_t* tex, const int32_t* rec,
          int32_t tstride, int32_t tw, int32_t th, int shift) {
  uint32_t x = uint32_t(rec[0]), y = uint32_t(rec[1]);
  const uint32_t dx = uint32_t(rec[2]), dy = uint32_t(rec[3]);
  const uint32_t mask = uint32_t(tw) - 1;
  for (int32_t k = 0; k < count; ++k, d += dstep, x += dx, y += dy) {
    size_t at;
    if constexpr (Plus) at = size_t((x >> 12) & mask) + (size_t((y >> 12) & mask) << shift);
    else at = size_t(Wrap(x, tw)) + size_t(Wrap(y, th)) * size_t(tstride);
    ZxStore<B>(d, ZxLoad<B>(tex + at * B));
  }
}

template <bool Side, bool Plus>
void Run(ZX_LND_ARGS, int shift) {
  (void)drows;
  const tagRECT& r = *rect;
  const int32_t n = Side ? r.right - r.left : r.bottom - r.top;
  const int32_t count = Side ? r.bottom - r.top : r.right - r.left;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t line = (Side ? r.left : r.top) + i;
    const int32_t* rec = records + ptrdiff_t(line) * 4;
    const int32_t col = Side ? line : r.left, row = Side ? r.top : line;
    auto go = [&](auto bytes) {
      constexpr int B = decltype(bytes)::value;
      uint8_t* d = dst + (ptrdiff_t(row) * dstride + col) * B;
      const ptrdiff_t step = Side ? ptrdiff_t(dstride) * B : B;
      Walk<B, Plus>(d, step, count, tex, rec, tstride, trowlength, trows, shift);
    };
    switch (bits) {
      case 8: go(std::integral_constant<int, 1>()); break;
      case 16: go(std::integral_constant<int, 2>()); break;
      case 24: go(std::integral_constant<int, 3>()); break;
      case 32: go(std::integral_constant<int, 4>()); break;
      default: return;
    }
  }
}

// Checks the arguments; a Plus member handed any other texture takes the plain walk, so
// that it still reads inside the texture.
template <bool Side, bool Plus>
void Start(ZX_LND_ARGS) {
  if (!rect || !dst || !tex || !records || trowlength <= 0 || trows <= 0) return;
  if (rect->left >= rect->right || rect->top >= rect->bottom) return;
  const int shift = Plus ? PlusShift(trowlength, trows, tstride) : 0;
  if (shift) Run<Side, true>(rect, dst, tex, dstride, drows, tstride, trows, records, bits, trowlength, shift);
  else Run<Side, false>(rect, dst, tex, dstride, drows, tstride, trows, records, bits, trowlength, 0);
}

}  // namespace

#define ZX_LND_PASS rect, dst, tex, dstride, drows, tstride, trows, records, bits, trowlength

void ZxLndNormalPlus(ZX_LND_ARGS) { Start<false, true>(ZX_LND_PASS); }
void ZxLndSidePlus(ZX_LND_ARGS) { Start<true, true>(ZX_LND_PASS); }

void ZxLndNormal(ZX_LND_ARGS) {
  if (PlusShift(trowlength, trows, tstride)) return ZxLndNormalPlus(ZX_LND_PASS);
  Start<false, false>(ZX_LND_PASS);
}

void ZxLndSide(ZX_LND_ARGS) {
  if (PlusShift(trowlength, trows, tstride)) return ZxLndSidePlus(ZX_LND_PASS);
  Start<true, false>(ZX_LND_PASS);
}
