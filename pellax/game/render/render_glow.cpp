#include "pellax/game/render/render_glow.h"

#include <cmath>
#include <cstring>

#include "pellax/base/canvas.h"
#include "pellax/game/render/render_lines.h"

float glow_falloff[kGlowSpriteSize * kGlowSpriteSize];
uint16_t glow_sprites[kGlowSpriteCount][kGlowSpriteSize * kGlowSpriteSize];

namespace {

const float glow_colour_table[kGlowSpriteCount][3] = {
    {1.0f, 1.0f, 1.0f}, {1.0f, 0.1f, 0.1f}, {0.1f, 1.0f, 0.1f}, {0.1f, 0.1f, 1.0f},
    {1.0f, 1.0f, 0.1f}, {1.0f, 0.1f, 1.0f}, {0.1f, 1.0f, 1.0f}, {1.0f, 0.7f, 0.3f},
};
const float glow_intensity_table[kGlowSpriteCount] = {1.0f, 2.0f, 2.0f, 2.0f,
                                                      1.5f, 1.5f, 1.5f, 1.5f};

// Saturating add of one field of two packed pixels: `bits` wide at `shift`.
inline uint32_t add_fields(uint32_t a, uint32_t b, int shift, int bits) {
  const uint32_t mask = ((1u << bits) - 1u) * 0x00010001u;
  const uint32_t carry = (1u << bits) * 0x00010001u;
  uint32_t s = ((a >> shift) & mask) + ((b >> shift) & mask);
  const uint32_t over = (s & carry) >> bits;  // 1 in each lane that overflowed
  s = (s | over * ((1u << bits) - 1u)) & mask;
  return s << shift;
}

bool rect_on_canvas(int64_t left, int64_t top, int32_t size) {
  return left >= 0 && top >= 0 && left + size <= kCanvasSize && top + size <= kCanvasSize;
}

}  // namespace

void build_glow_sprites() {
  for (int row = 0; row < kGlowSpriteSize; ++row) {
    for (int col = 0; col < kGlowSpriteSize; ++col) {
      const float dr = float(10 - row), dc = float(10 - col);
      const float d = std::sqrt(dr * dr + dc * dc);
      const float v = (12.0f - d) * 0.12f / 12.0f;
      glow_falloff[row * kGlowSpriteSize + col] = v > 0.0f ? v : 0.0f;
    }
  }
  for (int s = 0; s < kGlowSpriteCount; ++s) {
    const float* c = glow_colour_table[s];
    const float k = glow_intensity_table[s];
    for (int i = 0; i < kGlowSpriteSize * kGlowSpriteSize; ++i) {
      const float v = glow_falloff[i];
      const int r = int(double(v * c[0] * k) * 32.0 + 0.5);
      const int g = int(double(v * c[1] * k) * 64.0 + 0.5);
      const int b = int(double(v * c[2] * k) * 32.0 + 0.5);
      glow_sprites[s][i] = uint16_t((r << 11) + (g << 5) + b);
    }
  }
}

void blend_add_block(uint16_t* destination, const uint16_t* block) {
  for (int row = 0; row < kGlowSpriteSize; ++row) {
    uint16_t* d = destination + row * kCanvasSize;
    const uint16_t* s = block + row * kGlowSpriteSize;
    for (int col = 0; col < kGlowSpriteSize; col += 2) {
      uint32_t a, b;
      std::memcpy(&a, d + col, 4);
      std::memcpy(&b, s + col, 4);
      const uint32_t sum = add_fields(a, b, 11, 5) | add_fields(a, b, 5, 6) | add_fields(a, b, 0, 5);
      std::memcpy(d + col, &sum, 4);
    }
  }
}

void draw_glow_sprite(uint16_t* surface, int32_t x, int32_t y, const uint16_t* sprite) {
  // In 64 bits: a position at the very bottom of the range must not wrap onto the canvas.
  int64_t left = int64_t(x) - 10;
  if (left & 1) left -= 1;  // keeps the destination word-aligned
  const int64_t top = int64_t(y) - 10;
  if (!rect_on_canvas(left, top, kGlowSpriteSize)) {
    ++clipped_draws;
    return;
  }
  blend_add_block(surface + top * kCanvasSize + left, sprite);
}

void draw_glow(uint16_t* surface, int32_t x, int32_t y) {
  // In 64 bits: the rounding of a position at the very top of the range must not wrap.
  const int64_t yr = int64_t(y) + 128;
  const int32_t frame = 4 * int32_t((yr >> 6) & 3) + ((x & 255) >> 6);
  const int32_t top = int32_t(yr >> 8) - 18, left = (x >> 8) - 18;
  if (!rect_on_canvas(left, top, kRingFrameSize)) {
    ++clipped_draws;
    return;
  }
  const uint16_t* f = glow_frames[frame];
  for (int32_t r = 0; r < kRingFrameSize; ++r) {
    uint16_t* d = surface + (top + r) * kCanvasSize + left;
    for (int32_t c = 0; c < kRingFrameSize; ++c) {
      const uint16_t v = f[r * kRingFrameSize + c];
      if (v == 0) continue;
      // v >> 2 reaches 63 and v >> 3 reaches 31: saturate each channel on its own.
      int32_t rr = (d[c] >> 11) + (v >> 3), gg = ((d[c] >> 5) & 63) + (v >> 2),
              bb = (d[c] & 31) + (v >> 3);
      if (rr > 31) rr = 31;
      if (gg > 63) gg = 63;
      if (bb > 31) bb = 31;
      d[c] = uint16_t((rr << 11) | (gg << 5) | bb);
    }
  }
}

void blend_sprite_additive(uint16_t* surface, int32_t x, int32_t y, const uint16_t* sprite,
                           int32_t width, int32_t height) {
  ++sprites_drawn;
  if (height <= 0 || width <= 0) return;
  const int64_t left = int64_t(x) - width / 2, top = int64_t(y) - height / 2;
  bool clipped = false;
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t c = 0; c < width; ++c) {
      const uint16_t v = sprite[r * width + c];
      if (v == 0) continue;
      const int64_t px = left + c, py = top + r;
      if (px < 0 || py < 0 || px >= kCanvasSize || py >= kCanvasSize) {
        clipped = true;
        continue;
      }
      uint16_t* d = surface + py * kCanvasSize + px;
      if (*d != 0xFFFF) *d = add_saturate(*d, v);
    }
  }
  if (clipped) ++clipped_draws;
}
