#include "assets/kolvo2/letters.h"

#include "assets/kolvo2/canvas.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace k2art {

namespace {

// clang-format off
const char* const kLetters[95] = {
  "W 3",                                                               // space
  "M 1 1 L 1 6 D 1 9",                                                // !
  "M 1 1 L 1 3.5 M 4 1 L 4 3.5",                                      // "
  "M 2 2 L 2 9 M 5 2 L 5 9 M 0 4 L 7 4 M 0 7 L 7 7",                  // #
  "A 3.5 3.5 2.5 1.5 -20 -270 A 3.5 6.5 2.5 1.5 -90 160 M 3.5 1 L 3.5 10",  // $
  "M 6 1 L 1 9 O 1.5 2.5 0.9 0.9 O 5.5 7.5 0.9 0.9",                  // %
  "M 6.5 9 L 2.4 3.9 A 3.6 2.6 1.5 1.5 140 400 L 1.8 6 A 3.3 7.3 2 1.7 200 400 L 6.5 5",  // &
  "M 1 1 L 1 3.5",                                                    // '
  "A 4.5 5.5 3 5.5 -120 -240",                                        // (
  "A 0 5.5 3 5.5 -60 60",                                             // )
  "M 3 2 L 3 6 M 1 3 L 5 5 M 5 3 L 1 5",                              // *
  "M 3 3 L 3 9 M 0 6 L 6 6",                                          // +
  "D 2 9 M 2.5 9.5 L 1 11.5",                                         // ,
  "M 1 6 L 5 6",                                                      // -
  "D 1 9",                                                            // .
  "M 5 1 L 1 10",                                                     // /
  "W 7 R 1 1 6 9 2.5",                                                 // 0
  "W 7 M 1 3 L 4 1 L 4 9",                                             // 1
  "W 7 A 3.5 3.5 2.5 2.5 195 395 L 1 9 L 6 9",                         // 2
  "W 7 M 1 1 L 6 1 L 3 4.5 A 3.5 6.75 2.5 2.25 -90 160",               // 3
  "W 7 M 5 9 L 5 1 L 1 6 L 6 6",                                       // 4
  "W 7 M 6 1 L 1 1 L 1 4.5 L 3.5 4 A 3.5 6.5 2.5 2.5 -90 150",         // 5
  "W 7 O 3.5 6.5 2.5 2.5 M 1 6.5 L 1 3.5 A 3.5 3.5 2.5 2.5 180 300",   // 6
  "W 7 M 1 1 L 6 1 L 2.5 9",                                           // 7
  "W 7 O 3.5 3 2 2 O 3.5 7 2.5 2",                                     // 8
  "W 7 O 3.5 3.5 2.5 2.5 M 6 3.5 L 6 6.5 A 3.5 6.5 2.5 2.5 0 120",     // 9
  "D 1 5 D 1 9",                                                      // :
  "D 2 5 D 2 9 M 2.5 9.5 L 1 11.5",                                   // ;
  "M 5 3 L 1 6 L 5 9",                                                // <
  "M 1 4 L 6 4 M 1 8 L 6 8",                                          // =
  "M 1 3 L 5 6 L 1 9",                                                // >
  "A 3.5 3.2 2.5 2.2 190 400 L 4 6 L 4 6.5 D 4 9",                    // ?
  "R 3 4 6 8 1.5 M 6 4 L 6 7.5 A 7 7.5 1 1 180 30 A 4.5 5.5 4 4.5 15 -280",  // @
  "M 1 9 L 1 4 A 3.5 3.5 2.5 2.5 180 360 L 6 9 M 1 6 L 6 6",          // A
  "M 1 1 L 1 9 M 1 1 L 4 1 A 4 3 2 2 -90 90 L 1 5 M 1 5 L 4 5 A 4 7 2 2 -90 90 L 1 9",  // B
  "A 3.5 3.5 2.5 2.5 -30 -180 L 1 6.5 A 3.5 6.5 2.5 2.5 180 30",      // C
  "M 1 1 L 1 9 L 3.5 9 A 3.5 6.5 2.5 2.5 90 0 L 6 3.5 A 3.5 3.5 2.5 2.5 0 -90 L 1 1",  // D
  "M 6 1 L 1 1 L 1 9 L 6 9 M 1 5 L 5 5",                              // E
  "M 6 1 L 1 1 L 1 9 M 1 5 L 5 5",                                    // F
  "A 3.5 3.5 2.5 2.5 -30 -180 L 1 6.5 A 3.5 6.5 2.5 2.5 180 0 L 6 5 L 4 5",  // G
  "M 1 1 L 1 9 M 6 1 L 6 9 M 1 5 L 6 5",                              // H
  "M 1 1 L 5 1 M 3 1 L 3 9 M 1 9 L 5 9",                              // I
  "M 6 1 L 6 6.5 A 3.5 6.5 2.5 2.5 0 180",                            // J
  "M 1 1 L 1 9 M 6 1 L 1 6 M 3 4 L 6 9",                              // K
  "M 1 1 L 1 9 L 6 9",                                                // L
  "M 1 9 L 1 1 L 4 5 L 7 1 L 7 9",                                    // M
  "M 1 9 L 1 1 L 6 9 L 6 1",                                          // N
  "R 1 1 7 9 3",                                                      // O
  "M 1 9 L 1 1 L 4 1 A 4 3.5 2 2.5 -90 90 L 1 6",                     // P
  "R 1 1 7 9 3 M 5 7 L 7 9",                                          // Q
  "M 1 9 L 1 1 L 4 1 A 4 3.5 2 2.5 -90 90 L 1 6 M 3.5 6 L 6 9",       // R
  "A 3.5 3 2.5 2 -20 -270 A 3.5 7 2.5 2 -90 160",                     // S
  "M 1 1 L 7 1 M 4 1 L 4 9",                                          // T
  "M 1 1 L 1 6.5 A 3.5 6.5 2.5 2.5 180 0 L 6 1",                      // U
  "M 1 1 L 4 9 L 7 1",                                                // V
  "M 1 1 L 2.5 9 L 4.5 4 L 6.5 9 L 8 1",                              // W
  "M 1 1 L 6 9 M 6 1 L 1 9",                                          // X
  "M 1 1 L 4 5 L 7 1 M 4 5 L 4 9",                                    // Y
  "M 1 1 L 6 1 L 1 9 L 6 9",                                          // Z
  "M 4 1 L 1 1 L 1 11 L 4 11",                                        // [
  "M 1 1 L 5 10",                                                     // backslash
  "M 1 1 L 4 1 L 4 11 L 1 11",                                        // ]
  "M 1 4 L 3.5 1.5 L 6 4",                                            // ^
  "M 0 11 L 6 11",                                                    // _
  "M 1 1 L 2.5 2.5",                                                  // `
  "R 1 4 6 9 2.5 M 6 4 L 6 9",                                        // a
  "M 1 1 L 1 9 R 1 4 6 9 2.5",                                        // b
  "A 3.5 6.5 2.5 2.5 -40 -320",                                       // c
  "M 6 1 L 6 9 R 1 4 6 9 2.5",                                        // d
  "M 1 7 L 6 7 L 6 6.5 A 3.5 6.5 2.5 2.5 0 -180 A 3.5 6.5 2.5 2.5 180 60",  // e
  "M 5.5 1 L 4 1 A 4 3 2 2 -90 -180 L 2 9 M 0 4 L 5 4",               // f
  "R 1 4 6 9 2.5 M 6 4 L 6 10 A 3.5 10 2.5 2 0 160",                  // g
  "M 1 1 L 1 9 M 1 6.5 A 3.5 6.5 2.5 2.5 180 360 L 6 9",              // h
  "M 1 4 L 1 9 D 1 1",                                                // i
  "M 3 4 L 3 10.5 A 1 10.5 2 1.5 0 150 D 3 1",                        // j
  "M 1 1 L 1 9 M 5.5 4 L 1 7.5 M 2.5 6.3 L 6 9",                      // k
  "M 1 1 L 1 7.5 A 2.5 7.5 1.5 1.5 180 90 L 3 9",                     // l
  "M 1 4 L 1 9 M 1 5.5 A 2.5 5.5 1.5 1.5 180 360 L 4 9 M 4 5.5 A 5.5 5.5 1.5 1.5 180 360 L 7 9",  // m
  "M 1 4 L 1 9 M 1 6.5 A 3.5 6.5 2.5 2.5 180 360 L 6 9",              // n
  "R 1 4 6 9 2.5",                                                    // o
  "M 1 4 L 1 12 R 1 4 6 9 2.5",                                       // p
  "M 6 4 L 6 12 R 1 4 6 9 2.5",                                       // q
  "M 1 4 L 1 9 M 1 6.5 A 3.5 6.5 2.5 2.5 180 300",                    // r
  "M 6 4 L 2.5 4 A 2.5 5.25 1.5 1.25 -90 -270 L 4.5 6.5 A 4.5 7.75 1.5 1.25 -90 90 L 1 9",  // s
  "M 2 2 L 2 7.5 A 3.5 7.5 1.5 1.5 180 90 L 5 9 M 0 4 L 5 4",         // t
  "M 1 4 L 1 6.5 A 3.5 6.5 2.5 2.5 180 0 M 6 4 L 6 9",                // u
  "M 1 4 L 3.5 9 L 6 4",                                              // v
  "M 1 4 L 2.5 9 L 4 5.5 L 5.5 9 L 7 4",                              // w
  "M 1 4 L 6 9 M 6 4 L 1 9",                                          // x
  "M 1 4 L 1 6.5 A 3.5 6.5 2.5 2.5 180 0 M 6 4 L 6 10 A 3.5 10 2.5 2 0 160",  // y
  "M 1 4 L 6 4 L 1 9 L 6 9",                                          // z
  "M 4 1 A 4 3 1.5 2 -90 -180 L 2.5 4.5 L 1 6 L 2.5 7.5 L 2.5 9 A 4 9 1.5 2 180 90",  // {
  "M 1 1 L 1 12",                                                     // |
  "M 1 1 A 1 3 1.5 2 -90 0 L 2.5 4.5 L 4 6 L 2.5 7.5 L 2.5 9 A 1 9 1.5 2 0 90",   // }
  "M 0.5 6.5 L 2 5 L 4 7 L 5.5 5.5",                                  // ~
};

// Key-label signs: shift, shift held, caps lock, caps lock on, cancel, enter, tab, backspace.
const char* const kSigns[8] = {
  "M 5 1 L 9 5 L 7 5 L 7 9 L 3 9 L 3 5 L 1 5 Z",
  "P 5 0.5 9.5 5 7 5 7 9 3 9 3 5 0.5 5",
  "M 5 1 L 9 5 L 7 5 L 7 7 L 3 7 L 3 5 L 1 5 Z M 3 10 L 7 10",
  "P 5 0.5 9.5 5 7 5 7 7.5 3 7.5 3 5 0.5 5 M 3 10 L 7 10",
  "M 2 2 L 8 8 M 8 2 L 2 8",
  "M 9 1 L 9 6 L 2 6 M 4.5 3.5 L 2 6 L 4.5 8.5",
  "M 1 5 L 9 5 M 6.5 2.5 L 9 5 L 6.5 7.5 M 11 1.5 L 11 8.5",
  "M 1 5 L 4 1.5 L 12 1.5 L 12 8.5 L 4 8.5 Z M 6 3.5 L 9 6.5 M 9 3.5 L 6 6.5",
};
// clang-format on

constexpr float kPi = 3.14159265358979f;

struct Builder {
  float scale, pen;
  bool snap;
  Glyph g;
  std::vector<float> line;  // the open stroke, x, y pairs in skeleton units

  float Place(float v) const { return snap ? std::floor(v * scale) + 0.5f : v * scale; }
  void Segment(float ax, float ay, float bx, float by) {
    ax = Place(ax), ay = Place(ay), bx = Place(bx), by = Place(by);
    if (ax == bx || ay == by) {
      // Along an axis (or a dot): a box, so that its ends stay square and sharp.
      g.ink.push_back(Ink{Ink::kBox, std::min(ax, bx) - pen, std::min(ay, by) - pen,
                          std::max(ax, bx) + pen, std::max(ay, by) + pen, 0, {}});
    } else {
      g.ink.push_back(Ink{Ink::kCapsule, ax, ay, bx, by, pen, {}});
    }
  }
  void Flush() {
    if (line.size() == 2) Segment(line[0], line[1], line[0], line[1]);
    for (size_t i = 2; i + 1 < line.size(); i += 2) Segment(line[i - 2], line[i - 1], line[i], line[i + 1]);
    line.clear();
  }
  void To(float x, float y) {
    if (line.size() >= 2 && line[line.size() - 2] == x && line.back() == y) return;
    line.push_back(x);
    line.push_back(y);
  }
  void Arc(float cx, float cy, float rx, float ry, float a0, float a1) {
    const int steps = std::max(2, static_cast<int>(std::ceil(std::fabs(a1 - a0) / 15.f)));
    for (int i = 0; i <= steps; ++i) {
      const float a = (a0 + (a1 - a0) * i / steps) * kPi / 180.f;
      // Rounded to 1/64 so that the ends of arcs meet the lines drawn to them exactly.
      To(std::round((cx + rx * std::cos(a)) * 64) / 64, std::round((cy + ry * std::sin(a)) * 64) / 64);
    }
  }
};

}  // namespace

const char* LetterSkeleton(int code) {
  if (code >= 32 && code <= 126) return kLetters[code - 32];
  if (code >= 24 && code <= 31) return kSigns[code - 24];
  return nullptr;
}

Glyph BuildGlyph(const std::string& skeleton, float scale, float pen, bool snap) {
  Builder b{scale, pen, snap, {}, {}};
  std::istringstream in(skeleton);
  std::string command;
  auto numbers = [&](int n) {
    std::vector<float> v(n);
    for (float& x : v)
      if (!(in >> x)) throw std::runtime_error("skeleton \"" + skeleton + "\": " + command + " needs " + std::to_string(n) + " numbers");
    return v;
  };
  while (in >> command) {
    if (command == "M") {
      b.Flush();
      auto v = numbers(2);
      b.To(v[0], v[1]);
    } else if (command == "L") {
      auto v = numbers(2);
      if (b.line.empty()) throw std::runtime_error("skeleton \"" + skeleton + "\": L without a start");
      b.To(v[0], v[1]);
    } else if (command == "A") {
      auto v = numbers(6);
      b.Arc(v[0], v[1], v[2], v[3], v[4], v[5]);
    } else if (command == "O") {
      b.Flush();
      auto v = numbers(4);
      b.Arc(v[0], v[1], v[2], v[3], 0, 360);
      b.Flush();
    } else if (command == "Z") {
      if (b.line.size() < 4) throw std::runtime_error("skeleton \"" + skeleton + "\": Z without a stroke");
      b.To(b.line[0], b.line[1]);
      b.Flush();
    } else if (command == "D") {
      b.Flush();
      auto v = numbers(2);
      b.Segment(v[0], v[1], v[0], v[1]);
    } else if (command == "R") {
      b.Flush();
      auto v = numbers(5);
      const float x0 = v[0], y0 = v[1], x1 = v[2], y1 = v[3], r = v[4];
      b.Arc(x0 + r, y0 + r, r, r, 180, 270);
      b.Arc(x1 - r, y0 + r, r, r, 270, 360);
      b.Arc(x1 - r, y1 - r, r, r, 0, 90);
      b.Arc(x0 + r, y1 - r, r, r, 90, 180);
      b.To(b.line[0], b.line[1]);
      b.Flush();
    } else if (command == "P") {
      b.Flush();
      std::vector<float> pts;
      float x;
      while (in >> x) pts.push_back(b.Place(x));
      in.clear();
      if (pts.size() < 6 || pts.size() % 2) throw std::runtime_error("skeleton \"" + skeleton + "\": P needs three points or more");
      b.g.ink.push_back(Ink{Ink::kPolygon, 0, 0, 0, 0, 0, pts});
    } else if (command == "W") {
      b.Flush();
      b.g.fixedWidth = numbers(1)[0] * scale;
    } else {
      throw std::runtime_error("skeleton \"" + skeleton + "\": unknown command " + command);
    }
  }
  b.Flush();
  Glyph& g = b.g;
  bool first = true;
  auto extend = [&](float x0, float y0, float x1, float y1) {
    if (first) {
      g.left = x0, g.top = y0, g.right = x1, g.bottom = y1;
      first = false;
      return;
    }
    g.left = std::min(g.left, x0), g.top = std::min(g.top, y0);
    g.right = std::max(g.right, x1), g.bottom = std::max(g.bottom, y1);
  };
  for (const Ink& k : g.ink) {
    if (k.kind == Ink::kBox) {
      extend(k.x0, k.y0, k.x1, k.y1);
    } else if (k.kind == Ink::kCapsule) {
      extend(std::min(k.x0, k.x1) - k.radius, std::min(k.y0, k.y1) - k.radius,
             std::max(k.x0, k.x1) + k.radius, std::max(k.y0, k.y1) + k.radius);
    } else {
      for (size_t i = 0; i < k.points.size(); i += 2) extend(k.points[i], k.points[i + 1], k.points[i], k.points[i + 1]);
    }
  }
  return g;
}

float InkDistance(const Glyph& g, float x, float y, float dx, float dy) {
  x -= dx;
  y -= dy;
  float best = 1e30f;
  for (const Ink& k : g.ink) {
    float d;
    if (k.kind == Ink::kBox) {
      const float qx = std::max(k.x0 - x, x - k.x1), qy = std::max(k.y0 - y, y - k.y1);
      d = qx > 0 && qy > 0 ? std::sqrt(qx * qx + qy * qy) : std::max(qx, qy);
    } else if (k.kind == Ink::kCapsule) {
      d = SegmentDistance(k.x0, k.y0, k.x1, k.y1, x, y) - k.radius;
    } else {
      d = PolygonDistance(k.points, x, y);
    }
    best = std::min(best, d);
  }
  return best;
}

}  // namespace k2art
