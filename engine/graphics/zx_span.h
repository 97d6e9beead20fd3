// The scan converter's steps over a surface's span tables, shared by the triangle fills
// and the transformed blit. Internal to the polygon code.
#pragma once

#include <cstdint>

#include "engine/graphics/zx_polygon.h"

// n / d truncated toward zero; 32-bit division when both fit (the common case, and many
// times cheaper than a 64-bit one).
inline int64_t ZxSpan_Div(int64_t n, int64_t d) {
  if (n == int32_t(n) && d == int32_t(d) && !(n == INT32_MIN && d == -1)) return int32_t(n) / int32_t(d);
  return n / d;
}

// First and last row a polygon with these corner rows (22.10) can touch inside the clip;
// false when none.
bool ZxSpan_Rows(const Z2DSurface* s, int64_t miny, int64_t maxy, int32_t& top, int32_t& end);
// Empty spans for rows top..end.
void ZxSpan_Reset(Z2DSurface* s, int32_t top, int32_t end);
// One side, with n (0, 2 or 3) interpolated values at each end.
void ZxSpan_Walk(Z2DSurface* s, int64_t xa, int64_t ya, int64_t xb, int64_t yb, const int64_t* va,
                 const int64_t* vb, int n);
// Limits the spans of rows top..end to the clip; rows outside get right bound -1.
void ZxSpan_Clip(Z2DSurface* s, int32_t top, int32_t end);
// Worker arguments with the destination part filled in.
ZX_RS_ARGS ZxSpan_Args(Z2DSurface* s, int32_t top, int32_t end);
// Logical 22.10 position to buffer 22.10 position.
void ZxSpan_MapCorner(const Z2DSurface* s, int64_t& x, int64_t& y);
// A triangle's corners (logical, mapped here) walked with n values per corner (v[i]:
// corner i's values; null for none) and its spans clipped: false when nothing can show.
bool ZxSpan_Triangle(Z2DSurface* s, int64_t (&x)[3], int64_t (&y)[3], const int64_t (*v)[3], int n,
                     int32_t& top, int32_t& end);
// Start values and steps (22.10) of n interpolated values on row r, advanced to the clip.
void ZxSpan_RowStart(const ZX_RS_ARGS& a, int32_t r, int n, int64_t* v, int64_t* dv);

// Blit flags and property normalised for a destination format: add with subtract drops
// both; an opacity above 254 is dropped, else quantised (with colorize or tint it then
// replaces the property's top byte; 0 when dropped). False when it quantises to 0.
bool ZxBlt_NormaliseFlags(uint8_t format, int32_t flags, uint32_t& f, uint32_t& property);

inline int32_t ZxClamp32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}
