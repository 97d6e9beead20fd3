// Line primitives of the vector renderer: every one adds its colour with per-channel
// saturation (the outline stores), and every one clips to the 768x768 canvas.
// Coordinates marked fx are 24.8 fixed point (256 = one pixel).
#pragma once

#include <cstdint>

extern int32_t lines_drawn;    // anti-aliased lines of non-zero length since the last reset
extern int32_t sprites_drawn;  // blend_sprite_additive calls since the last reset
extern int32_t clipped_draws;  // primitives that had to drop pixels outside the canvas

// dminor x 1024 / dmajor rounded towards zero, for 0 < dmajor < 2^21 and |dminor| <= dmajor
// (a line's gradient along its major axis). The quotient has at most eleven bits, so eleven
// steps of long division find it: the console has no divide instruction, and its library's
// general division takes several times as many.
inline int32_t line_gradient(int32_t dminor, int32_t dmajor) {
  uint32_t rest = uint32_t(dminor < 0 ? -dminor : dminor) << 10;
  const uint32_t d = uint32_t(dmajor);
  uint32_t q = 0;
#pragma GCC unroll 11
  for (int32_t step = 10; step >= 0; --step) {
    if (rest >= d << step) {
      rest -= d << step;
      q |= 1u << step;
    }
  }
  return dminor < 0 ? -int32_t(q) : int32_t(q);
}

// Additive saturating add of a colour to one pixel.
void add_pixel(uint16_t* pixel, uint16_t colour);
// Aliased line, pixel coordinates, both ends drawn.
void draw_line_additive(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint16_t colour);
void draw_line_additive_fx(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           uint16_t colour);
// Stored (not added) outline of a width x height rectangle.
void draw_rect_outline(uint16_t* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint16_t colour);
// Anti-aliased additive line (Wu, 10 fraction bits); a zero-length line draws nothing.
void draw_line(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               uint16_t colour);
// The same with the colour running from colour1 at (x1, y1) to colour2 at (x2, y2).
void draw_line_gradient(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint16_t colour1, uint16_t colour2);
// count pairs of copies of the segment offset along its normal by i x spacing (24.8).
void draw_glow_line(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    int32_t count, int32_t spacing, uint16_t colour);
// White line with a two-stroke head at (x2, y2).
void draw_arrow(uint16_t* surface, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
