#include "pellax/game/stroke_font.h"

#include <cstring>

#include "pellax/game/render_lines.h"

namespace {

// Walks the strokes of a text, calling stroke(x1, y1, x2, y2) in 24.8 for each.
template <typename Stroke>
void for_each_stroke(const char* text, int32_t x, int32_t y, int32_t scale, Stroke stroke) {
  for (const char* p = text; *p; ++p) {
    const int code = static_cast<unsigned char>(*p);
    const int32_t* g = (code >= 32 && code <= 90) ? glyph_table[code - 32] : nullptr;
    for (; g && g[0] >= 0; g += 4) {
      stroke(x + ((g[0] * scale) >> 8), y + ((g[1] * scale) >> 8), x + ((g[2] * scale) >> 8),
             y + ((g[3] * scale) >> 8));
    }
    x += 3 * scale;
  }
}

}  // namespace

void draw_text_fx(uint16_t* s, const char* text, int32_t x, int32_t y, int32_t scale,
                  uint16_t colour) {
  for_each_stroke(text, x * 256, y * 256, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) {
    draw_line_additive_fx(s, a, b, c, d, colour);
  });
}

void draw_text(uint16_t* s, const char* text, int32_t x, int32_t y, int32_t scale,
               uint16_t colour) {
  for_each_stroke(text, x, y, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) {
    draw_line(s, a, b, c, d, colour);
  });
}

void draw_text_glow(uint16_t* s, const char* text, int32_t x, int32_t y, int32_t scale,
                    int32_t count, int32_t spacing, uint16_t colour) {
  for_each_stroke(text, x * 256, y * 256, scale, [&](int32_t a, int32_t b, int32_t c, int32_t d) {
    draw_line(s, a, b, c, d, colour);
    draw_glow_line(s, a, b, c, d, count, spacing, colour);
  });
}

void text_extent_fx(const char* text, int32_t scale, int32_t* width, int32_t* height) {
  *width = (int32_t(std::strlen(text)) * 3 * scale) >> 8;
  *height = (4 * scale) >> 8;
}

void text_extent(const char* text, int32_t scale, int32_t* width, int32_t* height) {
  *width = int32_t(std::strlen(text)) * 3 * scale;
  *height = 4 * scale;
}
