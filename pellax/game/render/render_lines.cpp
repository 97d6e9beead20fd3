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
inline uint16_t unspread(uint32_t v) { return uint16_t(v | v >> 16); }

// Spread sums held at their fields' maxima, without a branch (the sums saturate or not at
// random along a line): a field that went past its maximum has its carry set and is filled
// with ones (the carry shifted down by 5 fills blue and red, by 6 green's lowest bit; what
// lands outside a field is masked off). Two sums side by side in 64 bits are held the same
// way, each in its half.
template <typename Word>
inline Word saturated(Word sum) {
  constexpr Word twice = sizeof(Word) == 8 ? 0x100000001u : 1u;
  const Word over = sum & Word(kSpreadCarries * twice);
  return (sum | (over - (over >> 5)) | (over >> 6)) & Word(kSpreadFields * twice);
}

// (channel x w) >> 8 per channel of one colour, w in 0..256, as spread fields, worked out
// with two 32-bit multiplies: blue and red 16 bits apart (their products stay below 2^13),
// green alone, already placed so that its product's top bits fall in its field.
struct product_weigher {
  uint32_t blue_red, green;
  static product_weigher of(uint32_t r, uint32_t g, uint32_t b) { return {b | r << 16, g << 13}; }
  static product_weigher of(uint16_t c) { return of(c >> 11, (c >> 5) & 63, c & 31); }
  uint32_t operator()(uint32_t w) const {
    const uint32_t p = blue_red * w;
    return ((p >> 8) & 0x1Fu) | ((p >> 13) & 0xF800u) | ((green * w) & 0x07E00000u);
  }
};

// The same products for every weight of one colour, looked up: a frame draws most of its
// lines in a handful of colours, and a lookup costs a load where the products cost a dozen
// instructions.
struct table_weigher {
  const uint32_t* by_weight;
  uint32_t operator()(uint32_t w) const { return by_weight[w]; }
};

// Tables are kept in sets of two, the set picked by the colour. A table costs about as
// much to build as the products save over 150 steps, so a colour gets one only once its
// lines have run that far since it last missed (a frame draws hundreds of one-off
// colours, the particles as they fade, whose lines are short).
struct weight_table {
  uint32_t colour = 0x10000;  // no colour yet
  uint32_t by_weight[257];
};
constexpr int32_t kTableSets = 8;
weight_table weight_tables[kTableSets][2];
uint8_t older_way[kTableSets];
uint32_t missed_colour[kTableSets];
int32_t missed_run[kTableSets];

// The table for colour c, or null while its lines are still too short to pay for one;
// run is the length of the line about to be drawn, in pixels.
const uint32_t* weight_table_for(uint16_t c, int32_t run) {
  const uint32_t set = (uint32_t(c) * 0x4F1Bu >> 12) & (kTableSets - 1);
  weight_table* ways = weight_tables[set];
  if (ways[0].colour == c) {
    older_way[set] = 1;
    return ways[0].by_weight;
  }
  if (ways[1].colour == c) {
    older_way[set] = 0;
    return ways[1].by_weight;
  }
  if (missed_colour[set] != c) {
    missed_colour[set] = c;
    missed_run[set] = 0;
  }
  missed_run[set] += run;
  if (missed_run[set] < 150) return nullptr;
  const uint8_t way = older_way[set];
  older_way[set] = uint8_t(way ^ 1);
  weight_table& t = ways[way];
  t.colour = c;
  const product_weigher weigh = product_weigher::of(c);
  for (uint32_t w = 0; w <= 256; ++w) t.by_weight[w] = weigh(w);
  return t.by_weight;
}

// Adds a spread weighted colour to one pixel, saturating (so a white pixel stays white).
inline void add_spread(uint16_t* p, uint32_t weighted) {
  *p = unspread(saturated(spread(*p) + weighted));
}

struct clip_tracker {
  bool clipped = false;
  ~clip_tracker() {
    if (clipped) ++clipped_draws;
  }
};

// One colour for every pixel of the line.
template <typename Weigher>
struct solid_colour {
  static constexpr bool kSolid = true;
  Weigher weigh;
  void swap_ends() {}
  Weigher first_end() const { return weigh; }
  Weigher second_end() const { return weigh; }
  void begin_interior(int32_t) {}
  Weigher next_interior() { return weigh; }
};

// Colour running from one end to the other, channels held as 16.16.
struct gradient_colour {
  static constexpr bool kSolid = false;
  uint16_t c1, c2;
  int32_t r = 0, g = 0, b = 0, dr = 0, dg = 0, db = 0;
  gradient_colour(uint16_t first, uint16_t second) : c1(first), c2(second) {}
  void swap_ends() { std::swap(c1, c2); }
  product_weigher first_end() const { return product_weigher::of(c1); }
  product_weigher second_end() const { return product_weigher::of(c2); }
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
  // A channel never leaves the span between its two ends: its step is the difference
  // divided by the count rounded towards zero, and no line takes more steps than that count.
  static uint32_t channel(int32_t& v, int32_t step) {
    v += step;
    return uint32_t(v + 0x7FFF) >> 16;
  }
  product_weigher next_interior() {
    const uint32_t rr = channel(r, dr), gg = channel(g, dg), bb = channel(b, db);
    return product_weigher::of(rr, gg, bb);
  }
};

// On a 64-bit processor the two pixels go side by side in one word, one pass of the
// adding and holding serving both; on a 32-bit one (the console) a 64-bit shift or sum
// costs two or three instructions, so each pixel has a word of its own. The halves never
// meet: both ways give the same pixels.
inline void add_pair(uint16_t* first, uint16_t* second, uint32_t w_first, uint32_t w_second) {
  if constexpr (sizeof(uintptr_t) >= 8) {
    constexpr uint64_t kTwice = 0x100000001u;
    const uint64_t v = *first | uint64_t(*second) << 32;
    const uint64_t held = saturated(((v | v << 16) & (kSpreadFields * kTwice)) +
                                    (w_first | uint64_t(w_second) << 32));
    const uint64_t out = held | held >> 16;
    *first = uint16_t(out);
    *second = uint16_t(out >> 32);
  } else {
    add_spread(first, w_first);
    add_spread(second, w_second);
  }
}

// n interior steps wholly on the canvas from `major` (the pixel at minor 0 of the first
// step): the two minor pixels of each step, weighted by the position's fraction fr, by
// (1024 - fr) / 4 and fr / 4. Returns the position after them.
template <int32_t MajorStride, int32_t MinorStride, typename Colour>
int32_t interior_on_canvas(uint16_t* major, int32_t n, int32_t pos, int32_t gradient,
                           Colour& colour) {
  if (Colour::kSolid && gradient == 0) {
    // A line along a row or column (most strokes of the font): the same two pixels of each
    // step and the same weights, worked out once.
    const auto weigh = colour.next_interior();
    const uint32_t fr = uint32_t(pos) & 1023;
    const uint32_t w_first = weigh((1024 - fr) >> 2), w_second = weigh(fr >> 2);
    uint16_t* pixel = major + (pos >> 10) * MinorStride;
    for (int32_t k = 0; k < n; ++k, pixel += MajorStride)
      add_pair(pixel, pixel + MinorStride, w_first, w_second);
    return pos;
  }
  for (int32_t k = 0; k < n; ++k, major += MajorStride) {
    const auto weigh = colour.next_interior();
    uint16_t* pixel = major + (pos >> 10) * MinorStride;
    const uint32_t fr = uint32_t(pos) & 1023;
    add_pair(pixel, pixel + MinorStride, weigh((1024 - fr) >> 2), weigh(fr >> 2));
    pos += gradient;
  }
  return pos;
}

// The two minor pixels at an end (22.10 position), both on the canvas, weighted by the
// minor fraction and the end's coverage gap.
template <int32_t MajorStride, int32_t MinorStride, typename Weigher>
inline void end_on_canvas(uint16_t* s, int32_t major, int32_t minor, Weigher weigh, int32_t gap) {
  const int32_t f = minor & 1023;
  uint16_t* first = s + (major >> 10) * MajorStride + (minor >> 10) * MinorStride;
  add_pair(first, first + MinorStride, weigh(uint32_t((1024 - f) * gap) >> 12),
           weigh(uint32_t(f * gap) >> 12));
}

// Ends at least two pixels inside every edge (24.8): the line's pixels are then all on
// the canvas, its minor positions staying within half a pixel of its ends' span plus the
// rounding of the gradient (under one pixel over the canvas).
constexpr int32_t kInnerLow = 2 * 256, kInnerHigh = (kCanvasSize - 3) * 256;
inline bool well_inside(int32_t v) { return v >= kInnerLow && v <= kInnerHigh; }

template <typename Colour>
void wu_line(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Colour colour) {
  if (x1 == x2 && y1 == y2) return;
  ++lines_drawn;
  const bool inner = well_inside(x1) && well_inside(y1) && well_inside(x2) && well_inside(y2);
  if (!inner && (far_away(x1) || far_away(y1) || far_away(x2) || far_away(y2))) {
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
  // A 32-bit division where the product fits (every line on the canvas): the console has
  // no divide instruction, and its 64-bit division routine costs several times the 32-bit.
  const int32_t dminor = minor2 - minor1, dmajor = major2 - major1;
  // Lines along a row or column (a quarter of them: the font's strokes) divide nothing.
  const int32_t gradient = dminor == 0 ? 0
                           : dmajor < (1 << 21) ? line_gradient(dminor, dmajor)
                           : dminor > -(1 << 21) && dminor < (1 << 21)
                               ? dminor * 1024 / dmajor
                               : int32_t((int64_t(dminor) * 1024) / int64_t(dmajor));

  if (inner) {
    // The usual line: nothing to test. The products with the gradient fit 32 bits (it is at
    // most 1024, the distance to an end's pixel at most 512).
    const int32_t mend = (major1 + 512) & ~1023, mend2 = (major2 + 512) & ~1023;
    const int32_t nend = minor1 + ((gradient * (mend - major1)) >> 10);
    const int32_t nend2 = minor2 + ((gradient * (mend2 - major2)) >> 10);
    const int32_t gap = (mend - major1 + 512) & 1023, gap2 = (major2 + 512) & 1023;
    const int32_t first = (mend >> 10) + 1, count = (mend2 >> 10) - first;
    const int32_t pos = nend + gradient, final_pos = pos + (count - 1) * gradient;
    constexpr int32_t top = (kCanvasSize - 1) * 1024;
    if (count <= 0 || (pos >= 0 && pos < top && final_pos >= 0 && final_pos < top)) {
      if (x_major) {
        end_on_canvas<1, kCanvasSize>(s, mend, nend, colour.first_end(), gap);
        end_on_canvas<1, kCanvasSize>(s, mend2, nend2, colour.second_end(), gap2);
      } else {
        end_on_canvas<kCanvasSize, 1>(s, mend, nend, colour.first_end(), gap);
        end_on_canvas<kCanvasSize, 1>(s, mend2, nend2, colour.second_end(), gap2);
      }
      if (count <= 0) return;
      colour.begin_interior(count);
      if (x_major)
        interior_on_canvas<1, kCanvasSize>(s + first, count, pos, gradient, colour);
      else
        interior_on_canvas<kCanvasSize, 1>(s + first * kCanvasSize, count, pos, gradient, colour);
      return;
    }
  }

  auto plot = [&](int32_t major, int32_t minor, uint32_t weighted) {
    const int32_t x = x_major ? major : minor, y = x_major ? minor : major;
    if (!on_canvas(x, y)) {
      clip.clipped = true;
      return;
    }
    add_spread(s + y * kCanvasSize + x, weighted);
  };
  // The two minor pixels at an end, weighted by the minor fraction f and the end's coverage
  // gap; tested one by one only when they are not both on the canvas (short lines, such as
  // sparks, spend much of their time here).
  auto plot_end = [&](int32_t major, int32_t minor, auto weigh, int32_t f, int32_t gap) {
    const uint32_t w_first = weigh(uint32_t((1024 - f) * gap) >> 12);
    const uint32_t w_second = weigh(uint32_t(f * gap) >> 12);
    if (major >= 0 && major < kCanvasSize && minor >= 0 && minor < kCanvasSize - 1) {
      uint16_t* first = x_major ? s + minor * kCanvasSize + major : s + major * kCanvasSize + minor;
      uint16_t* second = first + (x_major ? kCanvasSize : 1);
      add_pair(first, second, w_first, w_second);
    } else {
      plot(major, minor, w_first);
      plot(major, minor + 1, w_second);
    }
  };

  // First end.
  const int32_t mend = (major1 + 512) & ~1023;
  const int32_t nend = minor1 + int32_t((int64_t(gradient) * (mend - major1)) >> 10);
  const int32_t gap = (mend - major1 + 512) & 1023;
  const int32_t f = nend & 1023;
  plot_end(mend >> 10, nend >> 10, colour.first_end(), f, gap);

  // Second end.
  const int32_t mend2 = (major2 + 512) & ~1023;
  const int32_t nend2 = minor2 + int32_t((int64_t(gradient) * (mend2 - major2)) >> 10);
  const int32_t gap2 = (major2 + 512) & 1023;
  const int32_t f2 = nend2 & 1023;
  plot_end(mend2 >> 10, nend2 >> 10, colour.second_end(), f2, gap2);

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
    const auto weigh = colour.next_interior();
    const uint32_t fr = uint32_t(pos) & 1023;
    plot(p, pos >> 10, weigh((1024 - fr) >> 2));
    plot(p, (pos >> 10) + 1, weigh(fr >> 2));
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

// The step between a glow line's copies, along the segment's normal: worked out in
// floating point, software on the console (a square root and divisions, some thousand
// instructions), and kept for the last segments seen, as a text's strokes come back every
// frame.
struct glow_offset {
  bool known = false, empty = false;
  int64_t dy = 0, dx = 0;
  int32_t spacing = 0, ox = 0, oy = 0;
};
glow_offset glow_offsets[64];

const glow_offset& glow_offset_for(int64_t dy, int64_t dx, int32_t spacing) {
  const uint64_t key = uint64_t(dy) * 31 + uint64_t(dx) * 17 + uint32_t(spacing);
  glow_offset& g = glow_offsets[(key ^ key >> 6 ^ key >> 12) & 63];
  if (g.known && g.dy == dy && g.dx == dx && g.spacing == spacing) return g;
  g.known = true;
  g.dy = dy;
  g.dx = dx;
  g.spacing = spacing;
  const float nx = float(dy) / 256.0f, ny = float(dx) / 256.0f;
  const float len = std::sqrt(nx * nx + ny * ny);
  g.empty = len == 0.0f;
  if (!g.empty) {
    g.ox = round_to_int(nx / len * float(spacing));
    g.oy = round_to_int(ny / len * float(spacing));
  }
  return g;
}

}  // namespace

void add_pixel(uint16_t* pixel, uint16_t colour) { add_spread(pixel, spread(colour)); }

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
  const uint32_t spread_colour = spread(colour);
  auto plot = [&]() {
    if (on_canvas(x, y)) add_spread(s + y * kCanvasSize + x, spread_colour);
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
  const int64_t dx = std::abs(int64_t(x2) - x1), dy = std::abs(int64_t(y2) - y1);
  const int32_t run = int32_t(std::min<int64_t>(std::max(dx, dy) >> 8, 1024));
  if (const uint32_t* table = weight_table_for(colour, run))
    wu_line(s, x1, y1, x2, y2, solid_colour<table_weigher>{{table}});
  else
    wu_line(s, x1, y1, x2, y2, solid_colour<product_weigher>{product_weigher::of(colour)});
}

void draw_line_gradient(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        uint16_t colour1, uint16_t colour2) {
  wu_line(s, x1, y1, x2, y2, gradient_colour(colour1, colour2));
}

void draw_glow_line(uint16_t* s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t count,
                    int32_t spacing, uint16_t colour) {
  const glow_offset& g = glow_offset_for(int64_t(y1) - y2, int64_t(x2) - x1, spacing);
  if (g.empty) return;
  const int32_t ox = g.ox, oy = g.oy;
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
