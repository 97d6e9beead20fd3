#include "pellax/game/render/render_lines.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <cstdlib>
#include <utility>

#include "pellax/base/canvas.h"
#include "pellax/base/fixed_math.h"

int32_t lines_drawn = 0;
int32_t sprites_drawn = 0;
int32_t clipped_draws = 0;

namespace {

// Lines with an end further than this from the canvas (24.8, 65,536 pixels) are dropped
// whole: no object ever gets there, and the fixed-point steps would overflow.
constexpr int32_t kFarLimit = 1 << 24;

bool far_away(int32_t v) { return v > kFarLimit || v < -kFarLimit; }

// A 5:6:5 colour with its fields spread over 32 bits, a free bit above each: blue 0-4,
// red 11-15, green 21-26; their carries land in bits 5, 16 and 27.
constexpr uint32_t kSpreadFields = 0x07E0F81Fu, kSpreadCarries = 0x08010020u;
inline uint32_t spread(uint32_t v) { return (v | v << 16) & kSpreadFields; }

// The channels of c side by side 21 bits apart, so that one multiply by a weight of up to
// 256 scales all three without their products meeting.
inline uint64_t channel_lanes(uint16_t c) {
  return uint64_t(c & 31) | uint64_t((c >> 5) & 63) << 21 | uint64_t(c >> 11) << 42;
}

// (channel x w) >> 8 per channel, w in 0..256, as spread fields.
inline uint32_t weighted(uint64_t lanes, uint32_t w) {
  const uint64_t scaled = lanes * w;
  return (uint32_t(scaled >> 8) & 0x07E0001Fu) | (uint32_t(scaled >> 39) & 0xF800u);
}

// Spread sums held at their fields' maxima, without a branch (the sums saturate or not at
// random along a line): a field that went past its maximum has its carry set and is filled
// with ones. Two sums side by side in 64 bits are held the same way, each in its half.
template <typename Word>
inline Word saturated(Word sum) {
  constexpr Word twice = sizeof(Word) == 8 ? 0x100000001u : 1u;
  const Word over = sum & Word(kSpreadCarries * twice);
  const Word fill = (over - (over >> 5)) | ((over >> 6) & Word(0x00200000u * twice));
  return (sum | fill) & Word(kSpreadFields * twice);
}

inline uint16_t unspread(uint32_t v) { return uint16_t(v | v >> 16); }

// Adds (channel x w) >> 8 per channel of the colour in lanes, w in 0..256, saturating (so a
// white pixel stays white).
inline void add_weighted(uint16_t* p, uint64_t lanes, int32_t w) {
  *p = unspread(saturated(spread(*p) + weighted(lanes, w)));
}

struct clip_tracker {
  bool clipped = false;
  ~clip_tracker() {
    if (clipped) ++clipped_draws;
  }
};

// One colour for every pixel of the line.
struct solid_colour {
  static constexpr bool kSolid = true;
  uint16_t c;
  void swap_ends() {}
  uint16_t first_end() const { return c; }
  uint16_t second_end() const { return c; }
  void begin_interior(int32_t) {}
  uint16_t next_interior() { return c; }
};

// Colour running from one end to the other, channels held as 16.16.
struct gradient_colour {
  static constexpr bool kSolid = false;
  uint16_t c1, c2;
  int32_t r = 0, g = 0, b = 0, dr = 0, dg = 0, db = 0;
  void swap_ends() { std::swap(c1, c2); }
  uint16_t first_end() const { return c1; }
  uint16_t second_end() const { return c2; }
  void begin_interior(int32_t n) {
    r = (c1 >> 11) * 65536;
    g = ((c1 >> 5) & 63) * 65536;
    b = (c1 & 31) * 65536;
    if (n > 0) {
      dr = ((c2 >> 11) * 65536 - r) / n;
      dg = (((c2 >> 5) & 63) * 65536 - g) / n;
      db = ((c2 & 31) * 65536 - b) / n;
    }
  }
  static int32_t channel(int32_t& v, int32_t step, int32_t max) {
    v += step;
    if (v < 0) v = 0;
    if (v > max * 65536) v = max * 65536;
    return (v + 0x7FFF) >> 16;
  }
  uint16_t next_interior() {
    const int32_t rr = channel(r, dr, 31), gg = channel(g, dg, 63), bb = channel(b, db, 31);
    return uint16_t((rr << 11) | (gg << 5) | bb);
  }
};

// The two minor pixels of a step side by side in 64 bits, spread, the first in the low half:
// one pass of the adding and holding serves both.
constexpr uint64_t kTwice = 0x100000001u;
inline uint64_t spread_pair(uint16_t first, uint16_t second) {
  const uint64_t v = first | uint64_t(second) << 32;
  return (v | v << 16) & (kSpreadFields * kTwice);
}

// (channel x w) >> 8 for the first pixel and for the second, as a spread pair.
inline uint64_t weighted_pair(uint64_t lanes, uint32_t w_first, uint32_t w_second) {
  return uint64_t(weighted(lanes, w_first)) | uint64_t(weighted(lanes, w_second)) << 32;
}

// What an interior step adds to its two pixels, fr being the position's fraction (unsigned:
// the weights then need no widening before the multiply).
inline uint64_t step_weights(uint64_t lanes, uint32_t fr) {
  return weighted_pair(lanes, (1024 - fr) >> 2, fr >> 2);
}

inline void add_pair(uint16_t* first, uint16_t* second, uint64_t weights) {
  const uint64_t held = saturated(spread_pair(*first, *second) + weights);
  const uint64_t v = held | held >> 16;
  *first = uint16_t(v);
  *second = uint16_t(v >> 32);
}

// n interior steps wholly on the canvas from `major` (the pixel at minor 0 of the first
// step): the two minor pixels of each step, weighted by the position's fraction. Returns the
// position after them.
template <int32_t MajorStride, int32_t MinorStride, typename Colour>
int32_t interior_on_canvas(uint16_t* major, int32_t n, int32_t pos, int32_t gradient,
                           Colour& colour) {
  if (Colour::kSolid && gradient == 0) {
    // A line along a row or column (most strokes of the font): the same two pixels of each
    // step and the same weights, worked out once.
    const uint64_t weights =
        step_weights(channel_lanes(colour.next_interior()), uint32_t(pos) & 1023);
    uint16_t* pixel = major + (pos >> 10) * MinorStride;
    for (int32_t k = 0; k < n; ++k, pixel += MajorStride)
      add_pair(pixel, pixel + MinorStride, weights);
    return pos;
  }
  for (int32_t k = 0; k < n; ++k, major += MajorStride) {
    const uint64_t lanes = channel_lanes(colour.next_interior());
    uint16_t* pixel = major + (pos >> 10) * MinorStride;
    add_pair(pixel, pixel + MinorStride, step_weights(lanes, uint32_t(pos) & 1023));
    pos += gradient;
  }
  return pos;
}

template <typename Colour>
void wu_line(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Colour colour) {
  if (x1 == x2 && y1 == y2) return;
  ++lines_drawn;
  if (far_away(x1) || far_away(y1) || far_away(x2) || far_away(y2)) {
    ++clipped_draws;
    return;
  }
  clip_tracker clip;
  // 22.10 fixed point.
  int32_t ax = x1 * 4, ay = y1 * 4, bx = x2 * 4, by = y2 * 4;
  const bool x_major = std::abs(bx - ax) > std::abs(by - ay);
  int32_t major1 = x_major ? ax : ay, minor1 = x_major ? ay : ax;
  int32_t major2 = x_major ? bx : by, minor2 = x_major ? by : bx;
  if (major1 > major2) {
    std::swap(major1, major2);
    std::swap(minor1, minor2);
    colour.swap_ends();
  }
  const int32_t gradient =
      int32_t((int64_t(minor2 - minor1) * 1024) / int64_t(major2 - major1));

  auto plot = [&](int32_t major, int32_t minor, uint64_t lanes, int32_t w) {
    const int32_t x = x_major ? major : minor, y = x_major ? minor : major;
    if (!on_canvas(x, y)) {
      clip.clipped = true;
      return;
    }
    add_weighted(s + y * kCanvasSize + x, lanes, w);
  };
  // The two minor pixels at an end, weighted by the minor fraction f and the end's coverage
  // gap; tested one by one only when they are not both on the canvas (short lines, such as
  // sparks, spend much of their time here).
  auto plot_end = [&](int32_t major, int32_t minor, uint64_t lanes, int32_t f, int32_t gap) {
    const int32_t w_first = ((1024 - f) * gap) >> 12, w_second = (f * gap) >> 12;
    if (major >= 0 && major < kCanvasSize && minor >= 0 && minor < kCanvasSize - 1) {
      uint16_t* first = x_major ? s + minor * kCanvasSize + major : s + major * kCanvasSize + minor;
      uint16_t* second = first + (x_major ? kCanvasSize : 1);
      add_pair(first, second, weighted_pair(lanes, w_first, w_second));
    } else {
      plot(major, minor, lanes, w_first);
      plot(major, minor + 1, lanes, w_second);
    }
  };

  // First end.
  const int32_t mend = (major1 + 512) & ~1023;
  const int32_t nend = minor1 + int32_t((int64_t(gradient) * (mend - major1)) >> 10);
  const int32_t gap = (mend - major1 + 512) & 1023;
  const int32_t f = nend & 1023;
  plot_end(mend >> 10, nend >> 10, channel_lanes(colour.first_end()), f, gap);

  // Second end.
  const int32_t mend2 = (major2 + 512) & ~1023;
  const int32_t nend2 = minor2 + int32_t((int64_t(gradient) * (mend2 - major2)) >> 10);
  const int32_t gap2 = (major2 + 512) & 1023;
  const int32_t f2 = nend2 & 1023;
  plot_end(mend2 >> 10, nend2 >> 10, channel_lanes(colour.second_end()), f2, gap2);

  // Interior: the major pixels strictly between the two end pixels.
  int32_t first = (mend >> 10) + 1;
  int32_t last = mend2 >> 10;  // exclusive
  colour.begin_interior(last - first);
  int32_t pos = nend + gradient;
  if (first < 0 && last > first) {
    // Off the canvas before pixel 0: skip those steps (the colour steps too).
    const int32_t skip = (last < 0 ? last : 0) - first;
    for (int32_t k = 0; k < skip; ++k) colour.next_interior();
    pos += int32_t(int64_t(gradient) * skip);
    first += skip;
    clip.clipped = true;
  }
  if (last > kCanvasSize) {
    last = kCanvasSize;
    clip.clipped = true;
  }
  const int64_t count = last > first ? last - first : 0;
  // The line is clipped once: both minor pixels of a step lie on the canvas while
  // 0 <= pos < (size - 1) x 1024, one stretch of steps. The steps before and after it test
  // each pixel; the stretch does not.
  const int64_t top = int64_t(kCanvasSize - 1) * 1024;
  int64_t head = 0, inside = 0;
  const int64_t final_pos = pos + (count - 1) * int64_t(gradient);
  if (count == 0 || (pos >= 0 && pos < top && final_pos >= 0 && final_pos < top)) {
    inside = count;  // the usual case: no division needed
  } else if (gradient > 0) {
    if (pos < 0) head = (-int64_t(pos) + gradient - 1) / gradient;
    const int64_t at = pos + head * gradient;
    if (at < top) inside = (top - at + gradient - 1) / gradient;
  } else if (gradient < 0) {
    const int64_t down = -int64_t(gradient);
    if (pos >= top) head = (pos - top) / down + 1;
    const int64_t at = pos - head * down;
    if (at >= 0) inside = at / down + 1;
  } else if (pos >= 0 && pos < top) {
    inside = count;
  } else {
    head = count;
  }
  head = std::min(head, count);
  inside = std::min(inside, count - head);
  auto tested_step = [&](int32_t p) {
    const uint64_t lanes = channel_lanes(colour.next_interior());
    const int32_t fr = pos & 1023;
    plot(p, pos >> 10, lanes, (1024 - fr) >> 2);
    plot(p, (pos >> 10) + 1, lanes, fr >> 2);
    pos += gradient;
  };
  int32_t p = first;
  for (const int32_t end = p + int32_t(head); p < end; ++p) tested_step(p);
  const int32_t n = int32_t(inside);
  if (x_major)
    pos = interior_on_canvas<1, kCanvasSize>(s + p, n, pos, gradient, colour);
  else
    pos = interior_on_canvas<kCanvasSize, 1>(s + p * kCanvasSize, n, pos, gradient, colour);
  p += int32_t(inside);
  for (; p < last; ++p) tested_step(p);
}

}  // namespace

void add_pixel(uint16_t* pixel, uint16_t colour) { *pixel = add_saturate(*pixel, colour); }

void draw_line_additive(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint16_t colour) {
  auto far_px = [](int32_t v) { return v > (kFarLimit >> 8) || v < -(kFarLimit >> 8); };
  if (far_px(x1) || far_px(y1) || far_px(x2) || far_px(y2)) {
    ++clipped_draws;
    return;
  }
  clip_tracker clip;
  const int32_t dx = std::abs(x2 - x1), dy = std::abs(y2 - y1);
  const int32_t sx = x2 >= x1 ? 1 : -1, sy = y2 >= y1 ? 1 : -1;
  int32_t x = x1, y = y1;
  auto plot = [&]() {
    if (on_canvas(x, y)) add_pixel(s + y * kCanvasSize + x, colour);
    else clip.clipped = true;
  };
  if (dx > dy) {
    int32_t error = 2 * dy - dx;
    for (int32_t i = 0; i <= dx; ++i) {
      plot();
      if (error >= 0) {
        error -= 2 * dx;
        y += sy;
      }
      error += 2 * dy;
      x += sx;
    }
  } else {
    int32_t error = 2 * dx - dy;
    for (int32_t i = 0; i <= dy; ++i) {
      plot();
      if (error >= 0) {
        error -= 2 * dy;
        x += sx;
      }
      error += 2 * dx;
      y += sy;
    }
  }
}

void draw_line_additive_fx(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                           uint16_t colour) {
  auto pixel = [](int32_t v) { return int32_t((int64_t(v) + 128) >> 8); };
  draw_line_additive(s, pixel(x1), pixel(y1), pixel(x2), pixel(y2), colour);
}

void draw_rect_outline(uint16_t* s, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint16_t colour) {
  clip_tracker clip;
  // Edges in 64 bits: a rectangle may reach past the 32-bit range.
  auto store = [&](int64_t px, int64_t py) {
    if (px >= 0 && px < kCanvasSize && py >= 0 && py < kCanvasSize)
      s[py * kCanvasSize + px] = colour;
    else
      clip.clipped = true;
  };
  const int64_t right = int64_t(x) + width, bottom = int64_t(y) + height;
  // Only the part of each edge that can be on the canvas is visited.
  auto lo = [](int64_t a) { return a < -1 ? -1 : a; };
  auto hi = [](int64_t b) { return b > kCanvasSize ? kCanvasSize : b; };
  if (width > 0) {
    for (int64_t c = lo(x); c < hi(right); ++c) {
      store(c, y);
      store(c, bottom - 1);
    }
  }
  if (height > 0) {
    for (int64_t r = lo(y); r < hi(bottom); ++r) {
      store(x, r);
      store(right - 1, r);
    }
  }
}

void draw_line(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour) {
  wu_line(s, x1, y1, x2, y2, solid_colour{colour});
}

void draw_line_gradient(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint16_t colour1, uint16_t colour2) {
  wu_line(s, x1, y1, x2, y2, gradient_colour{colour1, colour2});
}

void draw_glow_line(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t count,
                    int32_t spacing, uint16_t colour) {
  const float nx = float(int64_t(y1) - y2) / 256.0f, ny = float(int64_t(x2) - x1) / 256.0f;
  const float len = std::sqrt(nx * nx + ny * ny);
  if (len == 0.0f) return;
  const int32_t ox = round_to_int(nx / len * float(spacing));
  const int32_t oy = round_to_int(ny / len * float(spacing));
  // Copies far off the canvas are held at the 32-bit range, where the line drops them.
  auto at = [](int32_t v, int64_t offset) { return clamp_int32(v + offset); };
  for (int32_t i = 1; i <= count; ++i) {
    const int64_t dx = int64_t(i) * ox, dy = int64_t(i) * oy;
    draw_line(s, at(x1, dx), at(y1, dy), at(x2, dx), at(y2, dy), colour);
    draw_line(s, at(x1, -dx), at(y1, -dy), at(x2, -dx), at(y2, -dy), colour);
  }
}

void draw_arrow(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  draw_line(s, x1, y1, x2, y2, 0xFFFF);
  const float ux0 = float(int64_t(x1) - x2) / 256.0f, uy0 = float(int64_t(y1) - y2) / 256.0f;
  const float len = std::sqrt(ux0 * ux0 + uy0 * uy0);
  if (len == 0.0f) return;
  const float ux = ux0 / len, uy = uy0 / len;
  for (float turn : {0.348889f, -0.348889f}) {
    const float c = std::cos(turn), sn = std::sin(turn);
    const float rx = ux * c - uy * sn, ry = ux * sn + uy * c;
    draw_line(s, x2, y2, clamp_int32(int64_t(x2) + round_to_int(10.0f * rx * 256.0f)),
              clamp_int32(int64_t(y2) + round_to_int(10.0f * ry * 256.0f)), 0xFFFF);
  }
}
