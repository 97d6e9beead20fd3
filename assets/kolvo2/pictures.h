// The puzzle game's pictures, each at the size and with the layout the game's code
// assumes. Keyed pictures use exactly magenta (k2art::kKey) for what is not drawn.
#pragma once

#include <vector>

#include "assets/kolvo2/canvas.h"

namespace k2art {

// 320 x 240 loading screen; the progress bar's frame (35, 200)-(285, 216) stays light.
Canvas Splash();
// 320 x 240 title: the name above y 46, the menus' panel below.
Canvas Title();
// 320 x 240 side panel and well: the well (30, 0)-(170, 238) medium-dark, the labels
// "Level", "Lines", "Score" and "Next" painted in, the numbers' places left clear.
Canvas Hud();
// 320 x 240 closing screen with frames for the two pictures at (51, 8) and (173, 8).
Canvas Upcoming();
// 224 x 28 sheet of 14-pixel cells, keyed; cell 16, at (0, 14), the grey block the game
// colours into its seven tiles.
Canvas StdSprite();
// The game's name in blocks, RGBA, 160 pixels wide.
Canvas GameLogo();
// The engine's banner, RGBA, at most 320 x 40.
Canvas EngineBanner();
// The on-screen keyboard's key cap, RGBA, 24 x 27: 8-pixel corners, an 8-pixel middle
// and 3 rows of the cap's side at the bottom.
Canvas KeyCap();
// Pictures for the closing screen, taken in pairs, each 96 pixels wide.
std::vector<Canvas> GamesPictures();

constexpr int kGamesPictureWidth = 96;
constexpr int kGamesPictureHeight = 80;

}  // namespace k2art
