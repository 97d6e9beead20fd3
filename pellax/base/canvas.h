// The drawing target of the game: RGB565 buffers 768 pixels wide and 768 high (the play
// surface and the world image), pixel (x, y) at element y x 768 + x.
#pragma once

#include <cstdint>

constexpr int32_t kCanvasSize = 768;
constexpr int32_t kCanvasPixels = kCanvasSize * kCanvasSize;

inline bool on_canvas(int32_t x, int32_t y) {
  return uint32_t(x) < uint32_t(kCanvasSize) && uint32_t(y) < uint32_t(kCanvasSize);
}

// Per-channel saturating sum of two RGB565 colours.
inline uint16_t add_saturate(uint16_t a, uint16_t b) {
  int32_t r = (a >> 11) + (b >> 11);
  int32_t g = ((a >> 5) & 63) + ((b >> 5) & 63);
  int32_t bl = (a & 31) + (b & 31);
  if (r > 31) r = 31;
  if (g > 63) g = 63;
  if (bl > 31) bl = 31;
  return uint16_t((r << 11) | (g << 5) | bl);
}
