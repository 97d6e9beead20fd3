// The machinery behind the triangles and transformed blits of Z2DSurface: flat (FillPoly),
// gouraud (GradientPoly, GradientRect) and texture-mapped (TexturePoly) triangles, and a
// source rectangle drawn rotated, scaled and flipped about a centre (BltFx, Blt).
//
// One scan converter serves them all: each polygon side is walked into the destination's
// per-row span tables (ScanPolyLine) and a row worker fills each row's span. A span covers
// the leftmost side crossing up to one pixel before the rightmost, each crossing taken at
// the row's lower boundary, so two triangles that share a side neither overlap nor leave a
// gap. Corners, texture coordinates and interpolated channels of the V forms are 22.10
// fixed point (1024 = one pixel); the plain forms take whole pixels. Scale factors are
// 16.16, angles 4096 steps a turn. Intermediate sums are 64-bit: corners far off the
// surface draw only their visible rows, never outside the clip rectangle.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_2d.h"

// ---- row workers -------------------------------------------------------------------------

// What a row worker needs: the destination's buffer and span tables (left and right
// bounds, and per row four values x, then up to three interpolated values), the rows to
// fill, and for texture workers the source.
struct ZX_RS_ARGS {
  uint8_t* dst;
  int32_t dstride;
  const int16_t* left;
  const int16_t* right;
  const int32_t* leftrec;
  const int32_t* rightrec;
  int32_t top, end;  // rows, inclusive
  int32_t clipleft;
  uint8_t bits, format;
  const uint8_t* src;
  int32_t sstride, srows, srowlength;
  uint32_t key;     // packed source colour key
  uint32_t flags;   // blit flags (Generic)
  uint32_t opacity;
  uint32_t colour;  // packed effect colour (Generic)
};

// Texture rows: copy; copy of pixels other than the key; every effect per pixel on packed
// values (8-bit destinations: copy of every pixel). Square power-of-two sources of side 64
// to 1024 go to the Plus members, which wrap with a mask instead of a division.
void ZxRsBlt(const ZX_RS_ARGS& a);
void ZxRsBltPlus(const ZX_RS_ARGS& a);
void ZxRsBltCk(const ZX_RS_ARGS& a);
void ZxRsBltCkPlus(const ZX_RS_ARGS& a);
void ZxRsBltGeneric(const ZX_RS_ARGS& a);
void ZxRsBltGenericPlus(const ZX_RS_ARGS& a);
// Gouraud rows from three 22.10 channel values; the Dith member dithers 16-bit formats.
void ZxRsBltGradient(const ZX_RS_ARGS& a);
void ZxRsBltGradientDith(const ZX_RS_ARGS& a);
// The same rows one pixel at a time in 64-bit arithmetic: the rule the two above keep to
// (rows of 16-bit formats whose channels stay in range go through tables there).
void ZxRsBltGradientPlain(const ZX_RS_ARGS& a, bool dither);
