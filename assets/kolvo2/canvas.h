// The puzzle game's pictures are drawn by code on this canvas: straight RGBA in floats,
// shapes given as signed distances (negative inside) so that every edge is anti-aliased
// the same way, and a final conversion to bytes that dithers towards the console's 5:6:5
// screen. Only float arithmetic in a fixed order: a build draws the same bytes every time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace k2art {

// Straight (not premultiplied) colour, channels 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
};

// A colour from 8-bit channels.
Colour Rgb(int r, int g, int b, float a = 1);
// Linear blend, t = 0 gives a.
Colour Mix(const Colour& a, const Colour& b, float t);
// The same colour with its alpha multiplied.
Colour Fade(const Colour& c, float alpha);

// Signed distance of a point to a shape, negative inside.
using Shape = std::function<float(float x, float y)>;
// Colour of a shape at a point.
using Paint = std::function<Colour(float x, float y)>;

// Signed distance to a closed polygon of n points (x, y pairs), negative inside.
float PolygonDistance(const std::vector<float>& xy, float x, float y);
// Distance to the segment a-b.
float SegmentDistance(float ax, float ay, float bx, float by, float x, float y);

Shape RoundBox(float x0, float y0, float x1, float y1, float radius);
Shape Circle(float cx, float cy, float radius);
Shape Ellipse(float cx, float cy, float rx, float ry);
// A closed polygon (points in order, either winding).
Shape Polygon(std::vector<float> xy);
Shape Union(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
// The band of width `width` along the shape's edge, inside it.
Shape Border(Shape s, float width);
// The shape grown (positive) or shrunk (negative) by `amount`.
Shape Grow(Shape s, float amount);
Shape Move(Shape s, float dx, float dy);

Paint Solid(Colour c);
// Top to bottom between y0 and y1 (clamped outside).
Paint Vertical(float y0, Colour top, float y1, Colour bottom);
// Left to right between x0 and x1.
Paint Horizontal(float x0, Colour left, float x1, Colour right);

class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height, Colour fill = Colour{});

  int width() const { return width_; }
  int height() const { return height_; }
  Colour& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Colour& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // Paints `c` over one pixel with the given coverage (0..1).
  void Blend(int x, int y, const Colour& c, float coverage);
  // Paints a shape with one pixel of anti-aliasing, inside the box x0..x1, y0..y1.
  void Fill(const Shape& shape, const Paint& paint, int x0, int y0, int x1, int y1);
  // The same over the whole canvas.
  void Fill(const Shape& shape, const Paint& paint);
  // Every pixel's colour replaced by paint(x, y) (alpha included).
  void Flood(const Paint& paint);
  // Another canvas composited over this one with its top-left corner at (x, y).
  void Draw(const Canvas& src, int x, int y, float opacity = 1);
  // A copy blurred by two box passes of the given radius in each direction.
  Canvas Blurred(int radius) const;
  // A copy with every pixel's colour set to `c` and its alpha scaled by c.a: a silhouette.
  Canvas Silhouette(const Colour& c) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Colour> pixels_;
};

// 8-bit channels in the order R, G, B (and A with alpha) per pixel, top row first.
// `dither` spreads gradients over the levels a 5:6:5 screen shows (a fixed 4 x 4 pattern)
// so that they do not band there; otherwise each channel is rounded.
std::vector<uint8_t> ToRgb(const Canvas& c, bool dither);
std::vector<uint8_t> ToRgba(const Canvas& c, bool dither);

// Noise in 0..1 from integer coordinates and a seed, the same everywhere.
float Hash(int x, int y, uint32_t seed);
// Smooth value noise (bilinear over a lattice of `cell` pixels).
float ValueNoise(float x, float y, float cell, uint32_t seed);

}  // namespace k2art
