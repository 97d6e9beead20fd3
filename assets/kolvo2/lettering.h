// Text set in the game's letter family (letters.h) and painted into pictures with a fill,
// an outline and a drop shadow: the labels of the side panel, the loading and closing
// screens and the banner use it, so they match the game font.
#pragma once

#include <string>

#include "assets/kolvo2/canvas.h"

namespace k2art {

struct TextStyle {
  float scale = 1;     // 1: 10-pixel capitals
  float pen = 1;       // pen radius in pixels
  float tracking = 2;  // pixels between the inks of two glyphs
  Paint fill = Solid(Colour{1, 1, 1, 1});
  float outline = 0;   // width of the outline around the ink
  Colour outlineColour{0, 0, 0, 1};
  float shadowX = 0, shadowY = 0;  // offset of the shadow (of ink and outline)
  int shadowBlur = 0;
  Colour shadowColour{0, 0, 0, 0};
};

// Width of the ink of a one-line text.
float TextWidth(const std::string& text, const TextStyle& style);
// Paints one line of text; (x, y) is the left end of its ink and the top of its capitals.
void DrawText(Canvas& canvas, float x, float y, const std::string& text, const TextStyle& style);
// The same centred on x.
void DrawTextCentred(Canvas& canvas, float x, float y, const std::string& text, const TextStyle& style);
// The distance field of a text's ink (negative inside), placed as DrawText places it.
Shape TextShape(float x, float y, const std::string& text, const TextStyle& style);

}  // namespace k2art
