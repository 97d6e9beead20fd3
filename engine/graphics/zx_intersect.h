// The collision mask comparison behind Z2DSurface::Intersect. A mask holds one bit per
// buffer pixel, rows of (row length + 31) / 32 words, the leftmost pixel in bit 31.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"

// rects[0] of the first mask placed at (x1, y1) and rects[1] of the second at (x2, y2)
// (each rectangle inside its mask's rows and row length): 1 when they share a set bit,
// else 0. Both rectangles are cut to the overlap first; the one further left (or up) loses
// the difference on its left (top). point (may be null) receives (x1 + the first
// rectangle's left after the cut + the hit's offset in the overlap, likewise y), or
// (-1, -1). A missing mask counts as all set: the overlap's first pixel is the hit.
int ZxMiscIntersect(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const tagRECT* rects,
                    const uint32_t* mask1, const uint32_t* mask2, uint32_t rowlength1,
                    uint32_t rowlength2, tagPOINT* point);
