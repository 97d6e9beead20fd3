// The rectangle fill workers: free functions over a raw pixel buffer. The rectangle is in
// buffer coordinates and already clipped (right and bottom exclusive); stride is in
// pixels; P is the colour packed into the format and already premultiplied by the
// opacity; a is the opacity (0-254). On 8-bit surfaces every worker fills plainly with P.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"

#define ZX_RCT_ARGS \
  const tagRECT *rect, uint8_t *buffer, int32_t stride, uint8_t bits, uint8_t format, uint32_t colour

// Plain fill of the rectangle with the packed colour.
void ZxRctFill(ZX_RCT_ARGS);
// out = P + (dst * iw >> k) per field; the seven common opacities go to ZxRctOpacPlus.
void ZxRctOpac(ZX_RCT_ARGS, uint32_t a);
// Shift-only forms: a >= 128: out = P + (dst >> s & M); below: dst + P - (dst >> s & M).
void ZxRctOpacPlus(ZX_RCT_ARGS, uint32_t a);
// Per field dst + P saturating at the field's maximum.
void ZxRctAlpha(ZX_RCT_ARGS);
// Per field dst - P stopping at 0.
void ZxRctSub(ZX_RCT_ARGS);
