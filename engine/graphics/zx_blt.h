// The 1:1 blit workers: free functions over raw pixel buffers, one specialised loop per
// effect and format.
//
// Common arguments, in order: destination x and y (buffer coordinates, already clipped),
// the first source row, the source rectangle (buffer coordinates, already clipped),
// destination and source buffers, destination and source strides in pixels, bits per
// pixel and format (the same for both surfaces). Destination row y + (r - top) receives
// source row r. Keyed members leave the destination alone wherever the raw source pixel
// equals the packed colour key. On 8-bit surfaces every worker only copies (keyed members
// copy the non-key pixels).
//
// Source and destination must not overlap; the caller copies an overlapping source first.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/zolt_records.h"

// That copy: when same (both on one buffer) and the source rectangle r (buffer coordinates)
// overlaps its destination at (x, y), copies r into copy and points src, sstride and r at
// the copy; otherwise changes nothing.
void ZxBlt_CopyOverlap(bool same, int32_t x, int32_t y, int32_t bytes, const uint8_t*& src,
                       int32_t& sstride, tagRECT& r, std::vector<uint8_t>& copy);

#define ZX_BLT_ARGS                                                                    \
  int32_t x, int32_t y, int32_t top, const tagRECT *rect, uint8_t *dst, const uint8_t *src, \
      int32_t dstride, int32_t sstride, uint8_t bits, uint8_t format

// Plain copy; the keyed copy.
void ZxBltCopy(ZX_BLT_ARGS);
void ZxBltCk(ZX_BLT_ARGS, uint32_t key);
// out = half + (src >> 1 & M), half being the packed tint colour already halved.
void ZxBltTnt(ZX_BLT_ARGS, uint32_t half);
void ZxBltCkTnt(ZX_BLT_ARGS, uint32_t key, uint32_t half);
// Non-key pixels take the packed colour.
void ZxBltCkCol(ZX_BLT_ARGS, uint32_t key, uint32_t colour);
// Colorize and tint together: per field the packed colour times the source's largest
// field / divisor (the masked text of the menus).
void ZxBltColTnt(ZX_BLT_ARGS, uint32_t colour);
void ZxBltCkColTnt(ZX_BLT_ARGS, uint32_t key, uint32_t colour);
// Opacity a (below 255): per field (iw * dst + w * src) / divisor; the seven common
// opacities go to the shift-only Plus forms.
void ZxBltOpac(ZX_BLT_ARGS, uint32_t a);
void ZxBltCkOpac(ZX_BLT_ARGS, uint32_t key, uint32_t a);
void ZxBltOpacPlus(ZX_BLT_ARGS, uint32_t a);
void ZxBltCkOpacPlus(ZX_BLT_ARGS, uint32_t key, uint32_t a);
// Saturating add, per field.
void ZxBltAlpha(ZX_BLT_ARGS);
void ZxBltCkAlpha(ZX_BLT_ARGS, uint32_t key);
// Subtract stopping at 0, per field.
void ZxBltSub(ZX_BLT_ARGS);
void ZxBltCkSub(ZX_BLT_ARGS, uint32_t key);
// Any combination of flags: colour is packed (for tint alone already halved), a is the
// opacity.
void ZxBltGeneric(ZX_BLT_ARGS, uint32_t flags, uint32_t key, uint32_t a, uint32_t colour);

// Format conversion of a width x height block between two different formats. palette is
// the display palette (0x00RRGGBB entries); cache holds it packed into *cacheformat, which
// is rebuilt when it does not match the destination. An 8-bit destination is left alone.
void ZxBltColorConvert(uint8_t* dst, const uint8_t* src, int32_t dstride, int32_t sstride,
                       uint8_t dformat, uint8_t sformat, int32_t width, int32_t height,
                       const uint32_t* palette, uint32_t* cache, uint32_t* cacheformat);
