// The look every picture of the puzzle game shares: a night-blue ground with a faint
// grid of cells, panels framed in gold, blocks bevelled like the game's pieces, and the
// title set in such blocks.
#pragma once

#include <string>

#include "assets/kolvo2/canvas.h"

namespace k2art {

namespace palette {
const Colour kNightTop = Rgb(26, 40, 88);
const Colour kNightBottom = Rgb(8, 12, 34);
const Colour kInk = Rgb(6, 8, 20);
const Colour kGoldLight = Rgb(255, 222, 128);
const Colour kGold = Rgb(236, 176, 60);
const Colour kGoldDark = Rgb(150, 92, 24);
const Colour kPanel = Rgb(12, 20, 48);
const Colour kWell = Rgb(64, 74, 108);
const Colour kCream = Rgb(246, 238, 216);
}  // namespace palette

// The seven piece colours the game gives its tiles, in tile order 17 to 23.
extern const Colour kPieceColours[7];

// The ground of the full-screen pictures: the night gradient, a faint cell grid and a glow
// around (glowX, glowY).
void NightGround(Canvas& c, float glowX, float glowY, uint32_t seed);

// A framed panel: soft shadow, dark edge, gold rim and a dark translucent inside.
void Panel(Canvas& c, float x0, float y0, float x1, float y1, float radius);
// A sunken well for pictures or the piece preview: dark edge and an inner shade.
void Inset(Canvas& c, float x0, float y0, float x1, float y1, const Colour& inside);

// The greyscale bevelled block the game colours into its tiles, `size` pixels square:
// brightness 0..1 at each pixel.
float BlockShade(int size, int x, int y);
// A block as the game shows it: colour x shade plus a share of the shade itself, the
// way the game recolours its template.
void Block(Canvas& c, int x, int y, int size, const Colour& colour);

// Text set in blocks of `block` pixels (letters five blocks high), centred on cx, top at
// y, with a soft shadow. Letters: the game's name and the digits.
void BlockTitle(Canvas& c, float cx, int y, int block, const std::string& text);
// Its width in pixels.
int BlockTitleWidth(int block, const std::string& text);

}  // namespace k2art
