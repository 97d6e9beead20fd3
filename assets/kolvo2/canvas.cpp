#include "assets/kolvo2/canvas.h"

#include <algorithm>
#include <cmath>

namespace k2art {

Colour Rgb(int r, int g, int b, float a) { return Colour{r / 255.f, g / 255.f, b / 255.f, a}; }

Colour Mix(const Colour& a, const Colour& b, float t) {
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}

Colour Fade(const Colour& c, float alpha) { return Colour{c.r, c.g, c.b, c.a * alpha}; }

namespace {

float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

}  // namespace

Shape RoundBox(float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  return [=](float x, float y) {
    const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const float outside = Length(std::max(qx, 0.f), std::max(qy, 0.f));
    return outside + std::min(std::max(qx, qy), 0.f) - radius;
  };
}

Shape Circle(float cx, float cy, float radius) {
  return [=](float x, float y) { return Length(x - cx, y - cy) - radius; };
}

Shape Ellipse(float cx, float cy, float rx, float ry) {
  // Distance scaled by the gradient: close to the true distance near the edge, which is
  // all the anti-aliasing needs.
  return [=](float x, float y) {
    const float u = (x - cx) / rx, v = (y - cy) / ry;
    const float k = Length(u, v);
    const float g = Length(u / rx, v / ry);
    return g > 0 ? k * (k - 1) / g : -std::min(rx, ry);
  };
}

float SegmentDistance(float ax, float ay, float bx, float by, float x, float y) {
  const float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
  const float t = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
  return Length(wx - ex * t, wy - ey * t);
}

float PolygonDistance(const std::vector<float>& xy, float x, float y) {
  const size_t n = xy.size() / 2;
  float best = 1e30f;
  bool in = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
    best = std::min(best, SegmentDistance(ax, ay, bx, by, x, y));
    if ((ay > y) != (by > y) && x < ax + (y - ay) * (bx - ax) / (by - ay)) in = !in;
  }
  return in ? -best : best;
}

Shape Polygon(std::vector<float> xy) {
  return [xy = std::move(xy)](float x, float y) { return PolygonDistance(xy, x, y); };
}

Shape Union(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Border(Shape s, float width) {
  return [s = std::move(s), width](float x, float y) {
    const float d = s(x, y);
    return std::max(d, -d - width);
  };
}

Shape Grow(Shape s, float amount) {
  return [s = std::move(s), amount](float x, float y) { return s(x, y) - amount; };
}

Shape Move(Shape s, float dx, float dy) {
  return [s = std::move(s), dx, dy](float x, float y) { return s(x - dx, y - dy); };
}

Paint Solid(Colour c) {
  return [c](float, float) { return c; };
}

Paint Vertical(float y0, Colour top, float y1, Colour bottom) {
  return [=](float, float y) { return Mix(top, bottom, Clamp01((y - y0) / (y1 - y0))); };
}

Paint Horizontal(float x0, Colour left, float x1, Colour right) {
  return [=](float x, float) { return Mix(left, right, Clamp01((x - x0) / (x1 - x0))); };
}

Canvas::Canvas(int width, int height, Colour fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Blend(int x, int y, const Colour& c, float coverage) {
  if (!inside(x, y)) return;
  const float a = c.a * Clamp01(coverage);
  if (a <= 0) return;
  Colour& d = at(x, y);
  const float out = a + d.a * (1 - a);
  if (out <= 0) return;
  const float keep = d.a * (1 - a);
  d.r = (c.r * a + d.r * keep) / out;
  d.g = (c.g * a + d.g * keep) / out;
  d.b = (c.b * a + d.b * keep) / out;
  d.a = out;
}

void Canvas::Fill(const Shape& shape, const Paint& paint, int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width_);
  y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float coverage = Clamp01(0.5f - shape(px, py));
      if (coverage > 0) Blend(x, y, paint(px, py), coverage);
    }
}

void Canvas::Fill(const Shape& shape, const Paint& paint) { Fill(shape, paint, 0, 0, width_, height_); }

void Canvas::Flood(const Paint& paint) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) at(x, y) = paint(x + 0.5f, y + 0.5f);
}

void Canvas::Draw(const Canvas& src, int x, int y, float opacity) {
  for (int sy = 0; sy < src.height(); ++sy)
    for (int sx = 0; sx < src.width(); ++sx) Blend(x + sx, y + sy, src.at(sx, sy), opacity);
}

Canvas Canvas::Blurred(int radius) const {
  // Premultiplied sums, so that transparent pixels add no colour.
  std::vector<Colour> a(pixels_.size()), b(pixels_.size());
  for (size_t i = 0; i < pixels_.size(); ++i) {
    const Colour& p = pixels_[i];
    a[i] = Colour{p.r * p.a, p.g * p.a, p.b * p.a, p.a};
  }
  auto pass = [&](std::vector<Colour>& from, std::vector<Colour>& to, bool across) {
    const int lines = across ? height_ : width_, length = across ? width_ : height_;
    for (int l = 0; l < lines; ++l)
      for (int i = 0; i < length; ++i) {
        Colour sum;
        for (int k = -radius; k <= radius; ++k) {
          const int j = std::clamp(i + k, 0, length - 1);
          const Colour& p = across ? from[static_cast<size_t>(l) * width_ + j]
                                   : from[static_cast<size_t>(j) * width_ + l];
          sum.r += p.r;
          sum.g += p.g;
          sum.b += p.b;
          sum.a += p.a;
        }
        const float n = 2.f * radius + 1;
        Colour& out = across ? to[static_cast<size_t>(l) * width_ + i] : to[static_cast<size_t>(i) * width_ + l];
        out = Colour{sum.r / n, sum.g / n, sum.b / n, sum.a / n};
      }
  };
  for (int round = 0; round < 2; ++round) {
    pass(a, b, true);
    pass(b, a, false);
  }
  Canvas out(width_, height_);
  for (size_t i = 0; i < a.size(); ++i) {
    const Colour& p = a[i];
    out.pixels_[i] = p.a > 0 ? Colour{p.r / p.a, p.g / p.a, p.b / p.a, p.a} : Colour{};
  }
  return out;
}

Canvas Canvas::Silhouette(const Colour& c) const {
  Canvas out(width_, height_);
  for (size_t i = 0; i < pixels_.size(); ++i) out.pixels_[i] = Colour{c.r, c.g, c.b, pixels_[i].a * c.a};
  return out;
}

namespace {

// The 8-bit value a screen field of `bits` bits shows for level q.
int Level(int q, int bits) { return bits == 5 ? (q << 3) | (q >> 2) : (q << 2) | (q >> 4); }

// A channel rounded, or dithered onto the levels of a field of `bits` bits.
uint8_t Channel(float v, int bits, float threshold, bool dither) {
  const float c = Clamp01(v) * 255.f;
  if (!dither) return static_cast<uint8_t>(std::lround(c));
  const int top = (1 << bits) - 1;
  int q = static_cast<int>(c * top / 255.f);
  if (q >= top) return 255;
  while (q > 0 && Level(q, bits) > c) --q;
  while (q < top && Level(q + 1, bits) <= c) ++q;
  if (q >= top) return 255;
  const float lo = static_cast<float>(Level(q, bits)), hi = static_cast<float>(Level(q + 1, bits));
  return static_cast<uint8_t>(Level((c - lo) / (hi - lo) > threshold ? q + 1 : q, bits));
}

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

std::vector<uint8_t> Convert(const Canvas& c, bool dither, bool alpha) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(c.width()) * c.height() * (alpha ? 4 : 3));
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const Colour& p = c.at(x, y);
      const float t = (kBayer[y & 3][x & 3] + 0.5f) / 16.f;
      // Without alpha the picture stands on black.
      const float k = alpha ? 1.f : Clamp01(p.a);
      out.push_back(Channel(p.r * k, 5, t, dither));
      out.push_back(Channel(p.g * k, 6, t, dither));
      out.push_back(Channel(p.b * k, 5, t, dither));
      if (alpha) out.push_back(static_cast<uint8_t>(std::lround(Clamp01(p.a) * 255.f)));
    }
  return out;
}

}  // namespace

std::vector<uint8_t> ToRgb(const Canvas& c, bool dither) { return Convert(c, dither, false); }
std::vector<uint8_t> ToRgba(const Canvas& c, bool dither) { return Convert(c, dither, true); }

float Hash(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^
               static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return (h >> 8) / 16777216.f;
}

float ValueNoise(float x, float y, float cell, uint32_t seed) {
  const float u = x / cell, v = y / cell;
  const int ix = static_cast<int>(std::floor(u)), iy = static_cast<int>(std::floor(v));
  float fx = u - ix, fy = v - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  const float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  const float c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

}  // namespace k2art
