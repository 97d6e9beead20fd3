// The game's one letter family: every glyph is a skeleton of strokes drawn with a pen, so
// the game font, the key labels and the lettering in the pictures are the same design at
// different sizes. Skeletons are written for a 10-pixel capital height: capitals from y 1
// to 9, the x-height at 4, descenders to 12, with a pen of radius 1; at that size every
// straight stroke falls on whole pixels and stays sharp.
//
// Skeleton language, one glyph a string of commands separated by spaces:
//   M x y            start a stroke          L x y        line to
//   A cx cy rx ry a0 a1   elliptic arc from angle a0 to a1 (degrees, 90 = down)
//   Z                close the stroke        D x y        a square dot 2 x 2 around x, y
//   R x0 y0 x1 y1 r  closed rounded rectangle of corner radius r
//   O cx cy rx ry    closed ellipse
//   P x y x y ...    filled polygon          W n          ink width fixed to n (centred)
#pragma once

#include <string>
#include <vector>

namespace k2art {

// One inked piece: a box (straight strokes along an axis, dots: sharp ends), a capsule
// (any other stroke, round ends) or a filled polygon.
struct Ink {
  enum Kind { kBox, kCapsule, kPolygon } kind;
  float x0, y0, x1, y1, radius;  // box corners, or capsule ends and pen radius
  std::vector<float> points;     // polygon x, y pairs
};

struct Glyph {
  std::vector<Ink> ink;
  float left = 0, right = 0, top = 0, bottom = 0;  // bounds of the ink
  float fixedWidth = 0;                            // > 0: the W command's width
};

// The skeleton of a character: 32..126 the letters, 24..31 the key-label signs (shift,
// shift held, caps lock, caps lock on, cancel, enter, tab, backspace); null for others.
const char* LetterSkeleton(int code);

// Parses a skeleton, scales it by `scale` and draws it with a pen of radius `pen` (in
// pixels after scaling). `snap` puts every scaled point on a pixel centre, which keeps
// thin pens sharp at small sizes. Throws std::runtime_error on a malformed skeleton.
Glyph BuildGlyph(const std::string& skeleton, float scale, float pen, bool snap = false);

// Signed distance (negative inside) from a point to the glyph's ink, shifted by dx, dy.
float InkDistance(const Glyph& g, float x, float y, float dx = 0, float dy = 0);

}  // namespace k2art
