// The stroke font: characters 32..90 as line segments in a 512 x 1,024 cell, drawn with
// the line primitives. Other codes (lower case included) draw nothing but still advance
// the pen by 3 x scale. Scales are 24.8 (0x300 = 3.0: 6 x 12 pixels on a 9-pixel pitch).
#pragma once

#include <cstdint>

constexpr int kGlyphCount = 91 - 32;
// Per code 32..90: segments (x1, y1, x2, y2) ended by a negative x1, or null.
extern const int32_t* const glyph_table[kGlyphCount];

// Aliased strokes; x, y in pixels.
void draw_text_fx(uint16_t* surface, const char* text, int32_t x, int32_t y, int32_t scale,
                  uint16_t colour);
// Anti-aliased strokes; x, y in 24.8.
void draw_text(uint16_t* surface, const char* text, int32_t x, int32_t y, int32_t scale,
               uint16_t colour);
// Anti-aliased strokes with count glow copies on each side; x, y in pixels.
void draw_text_glow(uint16_t* surface, const char* text, int32_t x, int32_t y, int32_t scale,
                    int32_t count, int32_t spacing, uint16_t colour);
// Size in pixels: strlen x 3 x scale >> 8 by 4 x scale >> 8.
void text_extent_fx(const char* text, int32_t scale, int32_t* width, int32_t* height);
// Size in 24.8: strlen x 3 x scale by 4 x scale.
void text_extent(const char* text, int32_t scale, int32_t* width, int32_t* height);
