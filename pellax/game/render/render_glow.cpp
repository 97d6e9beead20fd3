#include "pellax/game/render/render_glow.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "pellax/base/canvas.h"
#include "pellax/game/render/render_lines.h"

float glow_falloff[kGlowSpriteSize * kGlowSpriteSize];
alignas(4) uint16_t glow_sprites[kGlowSpriteCount][kGlowSpriteSize * kGlowSpriteSize];

namespace {

const float glow_colour_table[kGlowSpriteCount][3] = {
    {1.0f, 1.0f, 1.0f}, {1.0f, 0.1f, 0.1f}, {0.1f, 1.0f, 0.1f}, {0.1f, 0.1f, 1.0f},
    {1.0f, 1.0f, 0.1f}, {1.0f, 0.1f, 1.0f}, {0.1f, 1.0f, 1.0f}, {1.0f, 0.7f, 0.3f},
};
const float glow_intensity_table[kGlowSpriteCount] = {1.0f, 2.0f, 2.0f, 2.0f,
                                                      1.5f, 1.5f, 1.5f, 1.5f};

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

namespace {

// One block's rows; the source's alignment is a template argument so that the test for it
// stays out of the loop.
template <bool kBlockAligned>
void blend_add_rows(uint16_t* destination, const uint16_t* block) {
  for (int row = 0; row < kGlowSpriteSize; ++row) {
    uint16_t* d = static_cast<uint16_t*>(__builtin_assume_aligned(destination + row * kCanvasSize, 4));
    const uint16_t* s = block + row * kGlowSpriteSize;
#pragma GCC unroll 10
    for (int col = 0; col < kGlowSpriteSize; col += 2) {
      uint32_t a, b;
      if (kBlockAligned) std::memcpy(&b, __builtin_assume_aligned(s + col, 4), 4);
      else b = uint32_t(s[col]) | uint32_t(s[col + 1]) << 16;
      // The glow's rim is black: a pair that adds nothing keeps its pixels.
      if (b == 0) continue;
      std::memcpy(&a, d + col, 4);
      const uint32_t sum = add_saturate_pair(a, b);
      std::memcpy(d + col, &sum, 4);
    }
  }
}

}  // namespace

void blend_add_block(uint16_t* destination, const uint16_t* block) {
  // The destination is word-aligned (its callers keep it so) and so, as a rule, is the
  // block: said to the compiler, each pair is one load and one store; left to it, the
  // console's build calls the C library's copy three times a pair.
  if ((reinterpret_cast<uintptr_t>(block) & 3) == 0) blend_add_rows<true>(destination, block);
  else blend_add_rows<false>(destination, block);
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
