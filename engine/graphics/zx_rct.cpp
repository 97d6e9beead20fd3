#include "engine/graphics/zx_rct.h"

#include <cstddef>
#include <cstring>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zsurf_format.h"
#include "engine/graphics/zx_pixel.h"

namespace {

// Calls row(pointer to the first pixel, width, index of the first pixel) per row.
template <class Row>
inline void ForRows(const tagRECT* rect, uint8_t* buffer, int32_t stride, int bytes, Row row) {
  const int32_t w = rect->right - rect->left;
  if (w <= 0) return;
  for (int32_t r = rect->top; r < rect->bottom; ++r) {
    const ptrdiff_t index = ptrdiff_t(r) * stride + rect->left;
    row(buffer + index * bytes, w, index);
  }
}

template <class T, class Op>
inline void TypedRow(T* d, int32_t w, Op op) {
  for (int32_t i = 0; i < w; ++i) d[i] = T(op(d[i]));
}

// One pixel at a time; 16- and 32-bit rows as plain arrays so that the compiler can work
// on many pixels at once.
template <int Bytes, class Op>
inline void PixelLoop(const tagRECT* rect, uint8_t* buffer, int32_t stride, Op op) {
  ForRows(rect, buffer, stride, Bytes, [&](uint8_t* d, int32_t w, ptrdiff_t) {
    if constexpr (Bytes == 2) {
      TypedRow(reinterpret_cast<uint16_t*>(d), w, op);
    } else if constexpr (Bytes == 4) {
      TypedRow(reinterpret_cast<uint32_t*>(d), w, op);
    } else {
      for (int32_t i = 0; i < w; ++i, d += Bytes) ZxStore<Bytes>(d, op(ZxLoad<Bytes>(d)));
    }
  });
}

// Two 16-bit pixels per word: a leading pixel alone when its index is odd, then pairs,
// then a trailing pixel.
template <class Op, class PairOp>
inline void PairLoop(const tagRECT* rect, uint8_t* buffer, int32_t stride, Op op, PairOp pairop) {
  ForRows(rect, buffer, stride, 2, [&](uint8_t* d, int32_t w, ptrdiff_t index) {
    int32_t i = 0;
    if (index & 1) {
      ZSurf_Store16(d, uint16_t(op(ZSurf_Load16(d))));
      d += 2;
      i = 1;
    }
    for (; i + 2 <= w; i += 2, d += 4) ZSurf_Store32(d, pairop(ZSurf_Load32(d)));
    if (i < w) ZSurf_Store16(d, uint16_t(op(ZSurf_Load16(d))));
  });
}

template <int F, class Op>
inline void ByFormatLoop(const tagRECT* rect, uint8_t* buffer, int32_t stride, Op op) {
  PixelLoop<ZxFmt<F>::Bytes>(rect, buffer, stride, op);
}

// Runs kernel.run<F>() for the surface's format.
template <class Kernel>
void ByFormat(ZX_RCT_ARGS, Kernel kernel) {
  switch (format) {
    case ZFMT_RGB444: kernel.template run<ZFMT_RGB444>(rect, buffer, stride, colour); break;
    case ZFMT_RGB555: kernel.template run<ZFMT_RGB555>(rect, buffer, stride, colour); break;
    case ZFMT_RGB565: kernel.template run<ZFMT_RGB565>(rect, buffer, stride, colour); break;
    case ZFMT_RGB888: kernel.template run<ZFMT_RGB888>(rect, buffer, stride, colour); break;
    case ZFMT_XRGB8888: kernel.template run<ZFMT_XRGB8888>(rect, buffer, stride, colour); break;
    default: ZxRctFill(rect, buffer, stride, bits, format, colour); break;
  }
}

struct OpacKernel {
  uint32_t a;
  template <int F>
  void run(const tagRECT* rect, uint8_t* buffer, int32_t stride, uint32_t p) const {
    const uint32_t iw = (256 - a) >> ZxFmt<F>::WeightShift;
    ByFormatLoop<F>(rect, buffer, stride, [=](uint32_t d) { return p + ZxOps<F>::Scale(d, iw); });
  }
};

struct OpacPlusKernel {
  uint32_t a;
  template <int F>
  void run(const tagRECT* rect, uint8_t* buffer, int32_t stride, uint32_t p) const {
    const int sh = ZSurf_OpacityShift(a);
    const uint32_t m = ZSurf_HalfMask(F, sh), m2 = m | m << 16, p2 = p | p << 16;
    if (a >= 128) {
      auto op = [=](uint32_t d) { return p + (d >> sh & m); };
      if constexpr (ZxFmt<F>::Bytes == 2)
        PairLoop(rect, buffer, stride, op, [=](uint32_t d) { return p2 + (d >> sh & m2); });
      else
        ByFormatLoop<F>(rect, buffer, stride, op);
    } else {
      auto op = [=](uint32_t d) { return d + p - (d >> sh & m); };
      if constexpr (ZxFmt<F>::Bytes == 2)
        PairLoop(rect, buffer, stride, op, [=](uint32_t d) { return d + p2 - (d >> sh & m2); });
      else
        ByFormatLoop<F>(rect, buffer, stride, op);
    }
  }
};

struct AddKernel {
  template <int F>
  void run(const tagRECT* rect, uint8_t* buffer, int32_t stride, uint32_t p) const {
    ByFormatLoop<F>(rect, buffer, stride, [=](uint32_t d) { return ZxOps<F>::AddSat(d, p); });
  }
};

struct SubKernel {
  template <int F>
  void run(const tagRECT* rect, uint8_t* buffer, int32_t stride, uint32_t p) const {
    ByFormatLoop<F>(rect, buffer, stride, [=](uint32_t d) { return ZxOps<F>::SubSat(d, p); });
  }
};

}  // namespace

namespace {

// Fills count pixels of size bytes with a pattern: the first few stored one by one, then
// copies of what is already written, doubling each time, so the bulk runs at the speed
// of the C library's block copy.
void FillPattern(uint8_t* d, uint32_t value, uint32_t count, int bytes) {
  const size_t total = size_t(count) * bytes;
  size_t done = 0;
  for (uint32_t i = 0; i < count && i < 16; ++i, done += bytes) ZSurf_StorePixel(d + done, uint32_t(bytes) * 8, value);
  while (done < total) {
    const size_t n = done < total - done ? done : total - done;
    std::memcpy(d + done, d, n);
    done += n;
  }
}

}  // namespace

void ZxRctFill(ZX_RCT_ARGS) {
  (void)format;
  const int bytes = bits / 8;
  const int32_t w = rect->right - rect->left;
  if (w <= 0 || rect->bottom <= rect->top) return;
  // A rectangle spanning whole rows is one block, row padding included.
  const bool block = rect->left == 0 && rect->right == stride;
  const int32_t rows = block ? 1 : rect->bottom - rect->top;
  const uint32_t count = block ? uint32_t(rect->bottom - rect->top) * uint32_t(stride) : uint32_t(w);
  for (int32_t r = 0; r < rows; ++r) {
    uint8_t* d = buffer + (ptrdiff_t(rect->top + r) * stride + rect->left) * bytes;
    switch (bits) {
      case 8: ClassZMemory::Set(d, uint8_t(colour), int(count)); break;
      default: FillPattern(d, colour, count, bytes); break;
    }
  }
}

void ZxRctOpac(ZX_RCT_ARGS, uint32_t a) {
  if (ZSurf_OpacityShift(a)) return ZxRctOpacPlus(rect, buffer, stride, bits, format, colour, a);
  ByFormat(rect, buffer, stride, bits, format, colour, OpacKernel{a});
}

void ZxRctOpacPlus(ZX_RCT_ARGS, uint32_t a) {
  if (!ZSurf_OpacityShift(a)) return ZxRctOpac(rect, buffer, stride, bits, format, colour, a);
  ByFormat(rect, buffer, stride, bits, format, colour, OpacPlusKernel{a});
}

void ZxRctAlpha(ZX_RCT_ARGS) { ByFormat(rect, buffer, stride, bits, format, colour, AddKernel{}); }
void ZxRctSub(ZX_RCT_ARGS) { ByFormat(rect, buffer, stride, bits, format, colour, SubKernel{}); }
