#include "pellax/game/render/stroke_font.h"

#include <cstring>

#include "pellax/base/fixed_math.h"
#include "pellax/game/render/render_lines.h"

namespace {

// Walks the strokes of a text, calling stroke(x1, y1, x2, y2) in 24.8 for each. The pen
// runs in 64 bits and strokes beyond the 32-bit range are held at it, where the line
// primitives drop them.
template <typename Stroke>
void for_each_stroke(const char* text, int64_t x, int64_t y, int32_t scale, Stroke stroke) {
  auto at = [scale](int64_t pen, int32_t v) {
    return clamp_int32(pen + ((v * int64_t(scale)) >> 8));
  };
  for (const char* p = text; *p; ++p) {
    const int code = static_cast<unsigned char>(*p);
    const int32_t* g = (code >= 32 && code <= 90) ? glyph_table[code - 32] : nullptr;
    for (; g && g[0] >= 0; g += 4) stroke(at(x, g[0]), at(y, g[1]), at(x, g[2]), at(y, g[3]));
    x += 3 * int64_t(scale);
  }
}

}  // namespace

void draw_text_fx(uint16_t* s, const char* text, int32_t x, int32_t y, int32_t scale,
                  uint16_t colour) {
  for_each_stroke(text, x * int64_t(256), y * int64_t(256), scale,
                  [&](int32_t a, int32_t b, int32_t c, int32_t d) {
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
  for_each_stroke(text, x * int64_t(256), y * int64_t(256), scale,
                  [&](int32_t a, int32_t b, int32_t c, int32_t d) {
    draw_line(s, a, b, c, d, colour);
    draw_glow_line(s, a, b, c, d, count, spacing, colour);
  });
}

void text_extent_fx(const char* text, int32_t scale, int32_t* width, int32_t* height) {
  *width = clamp_int32((int64_t(std::strlen(text)) * 3 * scale) >> 8);
  *height = clamp_int32((4 * int64_t(scale)) >> 8);
}

void text_extent(const char* text, int32_t scale, int32_t* width, int32_t* height) {
  *width = clamp_int32(int64_t(std::strlen(text)) * 3 * scale);
  *height = clamp_int32(4 * int64_t(scale));
}
