// Triangles and transformed blits on a Z2DSurface: flat (FillPoly), gouraud (GradientPoly,
// GradientRect) and texture-mapped (TexturePoly) triangles, and a source rectangle drawn
// rotated, scaled and flipped about a centre (BltFx, Blt).
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

// Flat triangle through the rectangle fill: every blit effect of FillRect applies.
void Z2DSurface_FillPoly(Z2DSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                         int32_t y3, uint32_t colour, int32_t flags, uint32_t property);
void Z2DSurface_FillPolyV(Z2DSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          int32_t x3, int32_t y3, uint32_t colour, int32_t flags, uint32_t property);

// Gouraud triangle; flags 0x40 dithers into 16-bit formats, nothing else has an effect.
void Z2DSurface_GradientPoly(Z2DSurface* s, int32_t x1, int32_t y1, uint32_t c1, int32_t x2,
                             int32_t y2, uint32_t c2, int32_t x3, int32_t y3, uint32_t c3,
                             int32_t flags);
void Z2DSurface_GradientPolyV(Z2DSurface* s, int32_t x1, int32_t y1, uint32_t c1, int32_t x2,
                              int32_t y2, uint32_t c2, int32_t x3, int32_t y3, uint32_t c3,
                              int32_t flags);

// Affine texture mapping of src ((sx, sy) is each corner's logical source position); the
// source repeats beyond its size. 0 drawn (or nothing visible), 4 null source, 10 opacity
// quantised to 0, 11 src in another pixel format, 12 a pixel buffer missing.
int Z2DSurface_TexturePoly(Z2DSurface* s, int32_t x1, int32_t y1, int32_t sx1, int32_t sy1,
                           int32_t x2, int32_t y2, int32_t sx2, int32_t sy2, int32_t x3,
                           int32_t y3, int32_t sx3, int32_t sy3, Z2DSurface* src, int32_t flags,
                           uint32_t property);
int Z2DSurface_TexturePolyV(Z2DSurface* s, int32_t x1, int32_t y1, int32_t sx1, int32_t sy1,
                            int32_t x2, int32_t y2, int32_t sx2, int32_t sy2, int32_t x3,
                            int32_t y3, int32_t sx3, int32_t sy3, Z2DSurface* src, int32_t flags,
                            uint32_t property);

// srcrect of src (null: all of it) centred on (x, y), scaled, rotated and flipped as fx
// says (null: untransformed, which is BltFast at the centred position). The normalised
// flags are written back into fx. 0, 4 nothing visible or null source, 10, 11, 12.
int Z2DSurface_BltFx(Z2DSurface* s, int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect,
                     Z2DBLTFX* fx);
int Z2DSurface_Blt(Z2DSurface* s, int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect,
                   uint16_t rotation, uint32_t scale, uint8_t flip, int32_t flags,
                   uint32_t property);

// Rectangle (null: the whole surface) shaded between four corner colours, as two gouraud
// triangles; flags 0x40 dithers.
void Z2DSurface_GradientRect(Z2DSurface* s, const tagRECT* rect, uint32_t topleft,
                             uint32_t topright, uint32_t bottomleft, uint32_t bottomright,
                             int32_t flags);
void Z2DSurface_GradientRectV(Z2DSurface* s, const tagRECT* rect, uint32_t top, uint32_t bottom,
                              int32_t flags);
void Z2DSurface_GradientRectH(Z2DSurface* s, const tagRECT* rect, uint32_t left, uint32_t right,
                              int32_t flags);

// Side walks into the span tables (buffer coordinates, 22.10), with none, two (source x,
// y) or three (red, green, blue) interpolated values. Rows outside the clip are skipped.
void Z2DSurface_ScanPolyLine(Z2DSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void Z2DSurface_ScanPolyLine(Z2DSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2);
void Z2DSurface_ScanPolyLine(Z2DSurface* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                             int32_t b2);

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
