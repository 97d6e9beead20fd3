// The landscape row workers: free functions over raw pixel buffers that copy texture pixels
// along one row record per destination row (or per buffer column on a display whose axes
// are exchanged). Used by Z2DSurface::Landscape.
//
// A record is four signed 32-bit values in 20.12 fixed point (4096 = one texel): texture x
// and y at the row's first pixel, then the x and y steps per pixel. Record i belongs to
// buffer row i (Side: buffer column i). The texture repeats in both directions: the texel
// is (floor(x / 4096) mod row length, floor(y / 4096) mod rows), never negative.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"

// Arguments, in order: the rectangle to draw (buffer coordinates, inside the destination),
// destination and texture buffers, destination stride (pixels) and rows, texture stride and
// rows, the records, bits per pixel (both surfaces), the texture's row length.
#define ZX_LND_ARGS                                                                          \
  const tagRECT *rect, uint8_t *dst, const uint8_t *tex, int32_t dstride, int32_t drows,     \
      int32_t tstride, int32_t trows, const int32_t *records, uint8_t bits, int32_t trowlength

// One record per buffer row, walked left to right. A square texture with a side of 64,
// 128, 256, 512 or 1024 goes to the Plus member, which wraps with a mask.
void ZxLndNormal(ZX_LND_ARGS);
void ZxLndNormalPlus(ZX_LND_ARGS);
// One record per buffer column, walked top to bottom.
void ZxLndSide(ZX_LND_ARGS);
void ZxLndSidePlus(ZX_LND_ARGS);
