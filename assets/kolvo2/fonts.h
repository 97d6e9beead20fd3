// The game's three font strips: 128 glyphs side by side for the codes 0 to 127, each
// glyph's columns marked on the top row (the gaps keyed), row 1 unused, the pictures
// from row 2. Codes without a letter get a blank glyph one pixel wide, so that every
// code keeps its marker run and no later glyph shifts.
//
// The game font is two strips of the same geometry, drawn one over the other: "gfont"
// holds the outline and shadow in greys (subtracted, so white darkens fully), "gmask" the
// glyph bodies (copied, or coloured by their brightness). The key font holds white key
// labels on the key colour, with the signs of the special keys at 24 to 31.
#pragma once

#include "assets/kolvo2/canvas.h"

namespace k2art {

constexpr int kGlyphCount = 128;
constexpr int kGameFontHeight = 18;  // 16-pixel glyphs: lines 14 pixels apart
constexpr int kKeyFontHeight = 12;   // 10-pixel glyphs

struct GameFont {
  Canvas outline;  // "gfont.bmp"
  Canvas body;     // "gmask.bmp"
};

GameFont MakeGameFont();
Canvas MakeKeyFont();  // "keyfont.bmp"

// The colour of the game font's bodies at a row of its glyph pictures (0..15).
Colour GameFontBody(int row);

}  // namespace k2art
