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

// add_saturate on two colours at once, each 32-bit word holding two pixels (the first in
// its low half). The fields add without their top bits, so that no carry leaves a field;
// each field's top bit and its carry out come back from those of the two addends, and a
// field that carried out is filled with ones.
inline uint32_t add_saturate_pair(uint32_t a, uint32_t b) {
  constexpr uint32_t kTop = 0x84108410u;       // top bit of each of the six fields
  constexpr uint32_t kGreenTop = 0x04000400u;  // the six-bit fields among them
  // Fields below half their range cannot overflow: the usual case of a dim glow or grid on
  // a dark picture.
  if (((a | b) & kTop) == 0) return a + b;
  const uint32_t low = (a & ~kTop) + (b & ~kTop);
  const uint32_t differ = a ^ b;
  const uint32_t sum = low ^ (differ & kTop);
  const uint32_t carry = ((a & b) | (low & differ)) & kTop;
  // One bit above each overflowed field less its lowest bit: the field's mask (the top
  // field's bit above falls out of the word, which leaves the same mask modulo 2^32).
  const uint32_t full = (carry << 1) - ((carry & ~kGreenTop) >> 4) - ((carry & kGreenTop) >> 5);
  return sum | full;
}
