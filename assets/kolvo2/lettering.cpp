#include "assets/kolvo2/lettering.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assets/kolvo2/letters.h"

namespace k2art {

namespace {

struct Placed {
  Glyph glyph;
  float dx, dy;
};

// Glyphs of a line, each with its offset; returns the width of the ink.
float Layout(const std::string& text, const TextStyle& s, float x, float y, std::vector<Placed>* out) {
  float pen = x;
  bool first = true;
  float width = 0;
  for (char ch : text) {
    const char* skeleton = LetterSkeleton(static_cast<unsigned char>(ch));
    if (!skeleton) continue;
    Glyph g = BuildGlyph(skeleton, s.scale, s.pen);
    const float ink = g.ink.empty() ? 0 : g.right - g.left;
    const float w = g.fixedWidth > 0 ? g.fixedWidth : ink;
    if (!first) pen += s.tracking;
    first = false;
    const float dx = std::round(pen - g.left + (w - ink) / 2);
    const float dy = y - (s.scale - s.pen);
    if (out) out->push_back(Placed{std::move(g), dx, dy});
    pen += w;
    width = pen - x;
  }
  return width;
}

}  // namespace

float TextWidth(const std::string& text, const TextStyle& style) { return Layout(text, style, 0, 0, nullptr); }

Shape TextShape(float x, float y, const std::string& text, const TextStyle& style) {
  auto glyphs = std::make_shared<std::vector<Placed>>();
  Layout(text, style, x, y, glyphs.get());
  return [glyphs](float px, float py) {
    float best = 1e30f;
    for (const Placed& p : *glyphs) {
      if (p.glyph.ink.empty()) continue;
      // Far from a glyph's box the distance to the box is close enough and much cheaper.
      const float qx = std::max(p.glyph.left + p.dx - px, px - p.glyph.right - p.dx);
      const float qy = std::max(p.glyph.top + p.dy - py, py - p.glyph.bottom - p.dy);
      const float box = std::max(std::max(qx, qy), 0.f);
      if (box > 6) {
        best = std::min(best, box);
        continue;
      }
      best = std::min(best, InkDistance(p.glyph, px, py, p.dx, p.dy));
    }
    return best;
  };
}

void DrawText(Canvas& canvas, float x, float y, const std::string& text, const TextStyle& s) {
  const Shape ink = TextShape(x, y, text, s);
  const float width = TextWidth(text, s);
  const float margin = s.outline + std::fabs(s.shadowX) + std::fabs(s.shadowY) + 3.f * s.shadowBlur + 2;
  const int x0 = static_cast<int>(std::floor(x - margin));
  const int y0 = static_cast<int>(std::floor(y - s.pen - margin));
  const int x1 = static_cast<int>(std::ceil(x + width + margin));
  const int y1 = static_cast<int>(std::ceil(y + 13 * s.scale + margin));
  const Shape outer = s.outline > 0 ? Grow(ink, s.outline) : ink;
  if (s.shadowColour.a > 0) {
    if (s.shadowBlur > 0) {
      Canvas shadow(x1 - x0, y1 - y0);
      shadow.Fill(Move(outer, s.shadowX - x0, s.shadowY - y0), Solid(s.shadowColour));
      canvas.Draw(shadow.Blurred(s.shadowBlur), x0, y0);
    } else {
      canvas.Fill(Move(outer, s.shadowX, s.shadowY), Solid(s.shadowColour), x0, y0, x1, y1);
    }
  }
  if (s.outline > 0) canvas.Fill(outer, Solid(s.outlineColour), x0, y0, x1, y1);
  canvas.Fill(ink, s.fill, x0, y0, x1, y1);
}

void DrawTextCentred(Canvas& canvas, float x, float y, const std::string& text, const TextStyle& style) {
  DrawText(canvas, std::round(x - TextWidth(text, style) / 2), y, text, style);
}

}  // namespace k2art
