#include "assets/kolvo2/fonts.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "assets/kolvo2/image_files.h"
#include "assets/kolvo2/letters.h"

namespace k2art {

namespace {

// Below this coverage a pixel is left to the key: too faint to see, and it keeps the
// greys away from black.
constexpr float kFaint = 1.f / 16;

const Colour kMarker = Rgb(128, 128, 128);
const Colour kDarkEdge = Rgb(24, 22, 20);

// A glyph ready for a strip: its ink and the offset that puts it at the cell's origin.
struct Cell {
  Glyph glyph;
  bool blank = true;
  int width = 1;  // pixels of the glyph's body
  float dx = 0;   // added to the ink's x
};

Cell Prepare(int code, float scale, float pen, bool snap, bool withSigns) {
  Cell c;
  const char* skeleton = LetterSkeleton(code);
  if (!skeleton || (code < 32 && !withSigns)) return c;
  c.glyph = BuildGlyph(skeleton, scale, pen, snap);
  c.blank = c.glyph.ink.empty();
  const float left = c.blank ? 0 : std::floor(c.glyph.left);
  const int ink = c.blank ? 0 : static_cast<int>(std::ceil(c.glyph.right) - left);
  c.width = c.glyph.fixedWidth > 0 ? static_cast<int>(std::lround(c.glyph.fixedWidth)) : ink;
  c.width = std::max(c.width, 1);
  c.dx = -left + std::floor((c.width - ink) / 2.f);
  return c;
}

// Lays out `count` cells of the given widths with one keyed column after each; returns
// the strip width and each cell's start.
int Columns(const std::vector<int>& widths, std::vector<int>* starts) {
  int x = 0;
  for (int w : widths) {
    starts->push_back(x);
    x += w + 1;
  }
  return x;
}

}  // namespace

Colour GameFontBody(int row) {
  // White capitals shading to a pale gold at the baseline and below.
  const Colour top = Rgb(255, 255, 255), bottom = Rgb(255, 214, 120);
  return Mix(top, bottom, std::clamp((row - 2) / 9.f, 0.f, 1.f));
}

GameFont MakeGameFont() {
  // Glyph pictures: one column and row of outline around the body, the shadow one pixel
  // right of and below the outline. Body rows are the skeleton's rows plus one.
  std::vector<Cell> cells;
  std::vector<int> widths;
  for (int code = 0; code < kGlyphCount; ++code) {
    cells.push_back(Prepare(code, 1, 1, false, false));
    widths.push_back(cells.back().blank && code != ' ' ? 1 : cells.back().width + 3);
  }
  std::vector<int> starts;
  const int width = Columns(widths, &starts);
  GameFont f{Canvas(width, kGameFontHeight, kKey), Canvas(width, kGameFontHeight, kKey)};
  for (int code = 0; code < kGlyphCount; ++code) {
    const int x0 = starts[code];
    for (int x = x0; x < x0 + widths[code]; ++x) {
      f.outline.at(x, 0) = kMarker;
      f.body.at(x, 0) = kMarker;
    }
    const Cell& c = cells[code];
    if (c.blank) continue;
    for (int y = 0; y < kGameFontHeight - 2; ++y)
      for (int x = 0; x < widths[code]; ++x) {
        // Skeleton coordinates of the pixel's centre.
        const float sx = x - 1 + 0.5f, sy = y - 1 + 0.5f;
        const float d = InkDistance(c.glyph, sx, sy, c.dx, 0);
        const float shadow = InkDistance(c.glyph, sx - 1, sy - 1, c.dx, 0);
        const float body = std::clamp(0.5f - d, 0.f, 1.f);
        const float edge = std::max(std::clamp(1.5f - d, 0.f, 1.f), 0.65f * std::clamp(1.5f - shadow, 0.f, 1.f));
        if (edge >= kFaint) f.outline.at(x0 + x, y + 2) = Colour{edge, edge, edge, 1};
        if (body >= kFaint) f.body.at(x0 + x, y + 2) = Mix(kDarkEdge, GameFontBody(y), body);
      }
  }
  return f;
}

Canvas MakeKeyFont() {
  // Thin pens on pixel centres keep labels of 7-pixel capitals sharp; the pictures sit
  // one row down so that they centre on the key's top face.
  constexpr float kScale = 0.7f, kPen = 0.6f;
  std::vector<Cell> cells;
  std::vector<int> widths;
  for (int code = 0; code < kGlyphCount; ++code) {
    cells.push_back(Prepare(code, kScale, kPen, true, true));
    widths.push_back(cells.back().blank && code != ' ' ? 1 : cells.back().width);
  }
  std::vector<int> starts;
  Canvas strip(Columns(widths, &starts), kKeyFontHeight, kKey);
  for (int code = 0; code < kGlyphCount; ++code) {
    const int x0 = starts[code];
    for (int x = x0; x < x0 + widths[code]; ++x) strip.at(x, 0) = kMarker;
    const Cell& c = cells[code];
    if (c.blank) continue;
    for (int y = 0; y < kKeyFontHeight - 2; ++y)
      for (int x = 0; x < widths[code]; ++x) {
        const float v = std::clamp(0.5f - InkDistance(c.glyph, x + 0.5f, y - 1 + 0.5f, c.dx, 0), 0.f, 1.f);
        if (v >= kFaint) strip.at(x0 + x, y + 2) = Colour{v, v, v, 1};
      }
  }
  return strip;
}

}  // namespace k2art
