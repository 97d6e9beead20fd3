#include "assets/kolvo2/pictures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "assets/kolvo2/fonts.h"
#include "assets/kolvo2/image_files.h"
#include "assets/kolvo2/lettering.h"
#include "assets/kolvo2/style.h"

namespace k2art {

namespace {

constexpr int kScreenW = 320, kScreenH = 240;

// The labels' lettering: the game font's design, in gold.
TextStyle GoldLabel() {
  TextStyle s;
  s.fill = Vertical(0, palette::kGoldLight, 0, palette::kGold);
  s.outline = 1;
  s.outlineColour = palette::kInk;
  s.shadowX = 1;
  s.shadowY = 1;
  s.shadowColour = Fade(palette::kInk, 0.7f);
  return s;
}

// A gold label whose gradient runs over its own capitals at (x, y).
void Label(Canvas& c, float x, float y, const std::string& text, bool centred, float scale = 1) {
  TextStyle s = GoldLabel();
  s.scale = scale;
  s.pen = scale;
  s.outline = scale;
  s.shadowX = s.shadowY = std::max(1.f, scale);
  s.fill = Vertical(y, palette::kGoldLight, y + 9 * scale, palette::kGold);
  if (centred)
    DrawTextCentred(c, x, y, text, s);
  else
    DrawText(c, x, y, text, s);
}

// A piece of blocks from rows of '#', drawn at the given opacity.
void Piece(Canvas& c, int x, int y, int block, std::initializer_list<const char*> rows, const Colour& colour,
           float opacity) {
  const int h = static_cast<int>(rows.size());
  int w = 0;
  for (const char* r : rows) w = std::max(w, static_cast<int>(std::string(r).size()));
  Canvas p(w * block, h * block);
  int j = 0;
  for (const char* r : rows) {
    for (int i = 0; r[i]; ++i)
      if (r[i] == '#') Block(p, i * block, j * block, block, colour);
    ++j;
  }
  c.Draw(p, x, y, opacity);
}

// Faint pieces in the margins of a full-screen picture; `lower` moves the right-hand
// ones down, out of the way of a title that spans the screen.
void SidePieces(Canvas& c, float opacity, int lower) {
  Piece(c, 2, 8, 12, {"##", "#.", "#."}, kPieceColours[5], opacity * 0.8f);
  Piece(c, 294, 8, 12, {"#.", "##", ".#"}, kPieceColours[2], opacity * 0.8f);
  Piece(c, 6, 58 + lower, 12, {"#.", "#.", "##"}, kPieceColours[3], opacity);
  Piece(c, 8, 150, 12, {"##", "##"}, kPieceColours[1], opacity);
  Piece(c, 286, 96 + lower / 2, 12, {".#", "##", ".#"}, kPieceColours[4], opacity);
  Piece(c, 290, 190, 12, {"#", "#", "#"}, kPieceColours[0], opacity);
}

// A mini well with a game in progress: a few rows of locked tiles and a falling piece.
void WellScene(Canvas& c, int x0, int y0, int cols, int rows, int block) {
  Canvas well(cols * block, rows * block, palette::kWell);
  // Locked rows from the bottom, each with a gap; the colour follows a fixed pattern.
  const char* stack[] = {"#####.####", "##.#######", "#.####.###", "..###..##.", "...#....#."};
  for (int r = 0; r < 5 && r < rows; ++r)
    for (int k = 0; k < cols && stack[r][k]; ++k)
      if (stack[r][k] == '#') Block(well, k * block, (rows - 1 - r) * block, block, kPieceColours[(r * 3 + k * 5) % 7]);
  // The falling piece, a T, above the gap of the top locked row.
  const int fx = 4, fy = rows - 9;
  for (int k = 0; k < 3; ++k) Block(well, (fx + k) * block, fy * block, block, kPieceColours[4]);
  Block(well, (fx + 1) * block, (fy + 1) * block, block, kPieceColours[4]);
  c.Draw(well, x0, y0);
}

}  // namespace

Canvas Splash() {
  Canvas c(kScreenW, kScreenH);
  NightGround(c, 160, 80, 1);
  SidePieces(c, 0.25f, 40);
  BlockTitle(c, 160, 46, 8, "KOLVO 2");
  TextStyle sub;
  sub.fill = Solid(Rgb(200, 214, 255));
  sub.shadowX = sub.shadowY = 1;
  sub.shadowColour = Fade(palette::kInk, 0.8f);
  DrawTextCentred(c, 160, 106, "a falling-block puzzle", sub);
  Panel(c, 22, 168, 298, 230, 8);
  Label(c, 160, 178, "Loading", true);
  // The light field under the progress bar, which the game draws in black.
  c.Fill(RoundBox(33, 198, 287, 218, 2), Solid(palette::kInk));
  c.Fill(RoundBox(34, 199, 286, 217, 1.5f), Vertical(199, palette::kCream, 217, Rgb(214, 206, 186)));
  return c;
}

Canvas Title() {
  Canvas c(kScreenW, kScreenH);
  NightGround(c, 160, 14, 2);
  SidePieces(c, 0.3f, 0);
  BlockTitle(c, 160, 3, 7, "KOLVO 2");
  // The menus, the high-score view and the credits all stand on this one picture. The
  // view's tab strip and its light band run the screen's whole width and the credits'
  // version line sits on the last rows, so the field is open at the sides and the bottom:
  // its rim shows only along the top, and no text of any screen crosses it.
  Panel(c, -12, 41, 332, 256, 8);
  return c;
}

Canvas Hud() {
  using namespace palette;
  Canvas c(kScreenW, kScreenH);
  NightGround(c, 245, 170, 3);
  // The well: a gold frame open at the top, and inside it a medium-dark ground that the
  // game darkens and grids.
  Panel(c, 25, -12, 175, 241, 6);
  c.Fill(RoundBox(30, -4, 170, 238, 1), Vertical(0, Rgb(62, 72, 106), 238, Rgb(74, 84, 120)), 30, 0, 170, 238);

  // The next piece (x 189 to 231 at most, y 47 to 103).
  Panel(c, 174, 26, 242, 110, 6);
  Label(c, 208, 31, "Next", true);
  Inset(c, 180, 45, 236, 105, Rgb(14, 22, 52));

  // Level, lines and score: labels, and dark fields where the numbers go (they end at
  // x 307 with their tops at y 32, 70 and 108; six digits start at x 253).
  Panel(c, 244, 6, 316, 131, 6);
  const char* labels[] = {"Level", "Lines", "Score"};
  for (int i = 0; i < 3; ++i) {
    Label(c, 251, 14 + 38.5f * i, labels[i], false);
    const float top = 30 + 38 * i;
    Inset(c, 249, top, 311, top + 19, Rgb(8, 12, 32));
  }

  // Below: the name in blocks over a game in progress.
  Panel(c, 174, 137, 316, 236, 6);
  BlockTitle(c, 245, 146, 3, "KOLVO 2");
  Inset(c, 184, 168, 306, 226, Rgb(14, 22, 52));
  WellScene(c, 185, 169, 10, 5, 12);
  return c;
}

Canvas Upcoming() {
  Canvas c(kScreenW, kScreenH);
  NightGround(c, 160, 150, 4);
  // Frames for the two pictures the game copies to (51, 8) and (173, 8).
  for (int x : {51, 173}) {
    Panel(c, x - 6.f, 2, x + kGamesPictureWidth + 6.f, 8 + kGamesPictureHeight + 6.f, 6);
    Inset(c, x - 1.f, 7, x + kGamesPictureWidth + 1.f, 8 + kGamesPictureHeight + 1.f, Rgb(14, 22, 52));
  }
  BlockTitle(c, 160, 106, 6, "KOLVO 2");
  Label(c, 160, 150, "Thanks for playing!", true, 1.6f);
  TextStyle s;
  s.fill = Solid(Rgb(200, 214, 255));
  s.outline = 1;
  s.outlineColour = palette::kInk;
  s.shadowX = s.shadowY = 1;
  s.shadowColour = Fade(palette::kInk, 0.7f);
  DrawTextCentred(c, 160, 180, "See you again soon.", s);
  // The game waits here for a button and draws nothing over the picture: the picture
  // says so.
  TextStyle prompt = s;
  prompt.fill = Solid(Rgb(150, 166, 210));
  DrawTextCentred(c, 160, 202, "Press B to quit", prompt);
  // A full row along the bottom, as if about to clear.
  for (int k = 0; k < 24; ++k) Block(c, k * 14 - 4, 226, 14, kPieceColours[(k * 3) % 7]);
  return c;
}

Canvas StdSprite() {
  Canvas c(224, 28, kKey);
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 14; ++x) {
      const float v = BlockShade(14, x, y);
      c.at(x, 14 + y) = Colour{v, v, v, 1};
    }
  return c;
}

Canvas GameLogo() {
  Canvas c(160, 30);
  BlockTitle(c, 80, 3, 4, "KOLVO 2");
  return c;
}

Canvas EngineBanner() {
  using namespace palette;
  Canvas c(196, 40);
  // The emblem: a white disc with a red bolt, as the engine's 3D logo.
  Canvas shadow(40, 40);
  shadow.Fill(Circle(21, 22, 16), Solid(Fade(kInk, 0.5f)));
  c.Draw(shadow.Blurred(2), 0, 0);
  c.Fill(Circle(20, 20, 17), Solid(kInk));
  c.Fill(Circle(20, 20, 16), Vertical(4, Rgb(255, 255, 255), 36, Rgb(196, 206, 226)));
  c.Fill(Circle(20, 20, 12.5f), Solid(Fade(Rgb(190, 200, 220), 0.8f)));
  c.Fill(Circle(20, 20, 11.5f), Vertical(8, Rgb(250, 250, 255), 32, Rgb(226, 232, 244)));
  const Shape bolt = Polygon({23, 6, 11, 22, 19, 22, 16, 34, 29, 17, 21, 17, 25, 6});
  c.Fill(Grow(bolt, 1), Solid(kInk));
  c.Fill(bolt, Vertical(6, Rgb(255, 70, 60), 34, Rgb(190, 10, 20)));
  TextStyle name;
  name.scale = name.pen = 2;
  name.tracking = 3;
  name.fill = Vertical(7, Rgb(255, 80, 70), 25, Rgb(196, 16, 24));
  name.outline = 2;
  name.outlineColour = Rgb(255, 255, 255);
  name.shadowX = 1;
  name.shadowY = 2;
  name.shadowBlur = 1;
  name.shadowColour = Fade(kInk, 0.7f);
  DrawText(c, 44, 6, "ZOLT", name);
  TextStyle engine;
  engine.fill = Solid(Rgb(26, 40, 88));
  engine.outline = 1;
  engine.outlineColour = Rgb(255, 255, 255);
  DrawText(c, 44 + TextWidth("ZOLT", name) + 8, 16, "ENGINE", engine);
  return c;
}

Canvas KeyCap() {
  Canvas c(24, 27);
  // Face rows 0..23, the cap's side the three rows below; all shading runs downwards
  // only, so the 8-pixel middle tiles across any width.
  const Shape outer = RoundBox(0, 0, 24, 27, 4);
  c.Fill(outer, Solid(Rgb(70, 74, 88)));
  c.Fill(Grow(outer, -1), Vertical(16, Rgb(196, 200, 212), 26, Rgb(150, 154, 170)));
  const Shape face = RoundBox(1, 1, 23, 23.5f, 3);
  c.Fill(face, Vertical(1, Rgb(255, 255, 255), 23, Rgb(226, 230, 238)));
  c.Fill(Border(face, 1), Vertical(1, Fade(Rgb(255, 255, 255), 1), 23, Fade(Rgb(180, 186, 200), 1)));
  return c;
}

std::vector<Canvas> GamesPictures() {
  const int w = kGamesPictureWidth, h = kGamesPictureHeight;
  std::vector<Canvas> out;

  // The puzzle game: its name over tiles, and a game in progress.
  Canvas name(w, h);
  NightGround(name, 48, 30, 5);
  TextStyle title = GoldLabel();
  title.scale = title.pen = 1.5f;
  title.outline = 1.5f;
  title.fill = Vertical(20, palette::kGoldLight, 34, palette::kGold);
  DrawTextCentred(name, 48, 20, "KOLVO 2", title);
  for (int k = 0; k < 7; ++k) Block(name, 6 + k * 12, 50, 12, kPieceColours[k]);
  out.push_back(std::move(name));
  Canvas well(w, h);
  NightGround(well, 48, 40, 6);
  Inset(well, 7, 4, 89, 77, palette::kWell);
  WellScene(well, 8, 5, 10, 9, 8);
  out.push_back(std::move(well));

  // The shooter: glowing vector lines on black.
  auto glow = [](Canvas& c, const Shape& lines, const Colour& colour) {
    Canvas layer(c.width(), c.height());
    layer.Fill(Grow(lines, 1.5f), Solid(colour));
    c.Draw(layer.Blurred(2), 0, 0);
    c.Draw(layer.Blurred(1), 0, 0, 0.6f);
    c.Fill(lines, Solid(Mix(colour, Rgb(255, 255, 255), 0.6f)));
  };
  auto space = [&](uint32_t seed) {
    Canvas c(w, h, Rgb(2, 3, 10));
    for (int i = 0; i < 40; ++i) {
      const float b = 0.3f + 0.7f * Hash(i, 1, seed);
      c.Blend(static_cast<int>(Hash(i, 2, seed) * w), static_cast<int>(Hash(i, 3, seed) * h), Rgb(200, 220, 255), b);
    }
    return c;
  };
  Canvas shooterName = space(11);
  TextStyle neon;
  neon.scale = 1.5f;
  neon.pen = 0.8f;
  glow(shooterName, TextShape(std::round(48 - TextWidth("PELLAX", neon) / 2), 30, "PELLAX", neon), Rgb(40, 200, 255));
  out.push_back(std::move(shooterName));
  Canvas shooter = space(12);
  const Shape ship = Border(Polygon({48, 50, 40, 70, 48, 64, 56, 70}), 1.2f);
  glow(shooter, ship, Rgb(60, 255, 120));
  for (int i = 0; i < 3; ++i) {
    const float x = 22 + 26 * i, y = 20 + 6 * (i % 2);
    glow(shooter, Border(Polygon({x, y - 7, x + 7, y, x, y + 7, x - 7, y}), 1.2f), Rgb(255, 70, 180));
  }
  glow(shooter, RoundBox(47.4f, 30, 48.6f, 44, 0.6f), Rgb(255, 230, 80));
  out.push_back(std::move(shooter));
  return out;
}

}  // namespace k2art
