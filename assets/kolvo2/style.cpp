#include "assets/kolvo2/style.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace k2art {

// The colours the game tints its tiles with (its colour words are 0x00BBGGRR).
const Colour kPieceColours[7] = {Rgb(0, 192, 255), Rgb(255, 0, 0),   Rgb(0, 160, 64), Rgb(255, 255, 0),
                                 Rgb(160, 0, 255), Rgb(0, 255, 0), Rgb(255, 255, 255)};

void NightGround(Canvas& c, float glowX, float glowY, uint32_t seed) {
  const float w = static_cast<float>(c.width()), h = static_cast<float>(c.height());
  c.Flood([&](float x, float y) {
    Colour col = Mix(palette::kNightTop, palette::kNightBottom, y / h);
    // A wide soft glow, and a slow cloudy variation so the ground is not flat.
    const float dx = (x - glowX) / (0.7f * w), dy = (y - glowY) / (0.55f * h);
    const float glow = std::exp(-(dx * dx + dy * dy) * 2.2f);
    col = Mix(col, Rgb(70, 96, 170), 0.45f * glow);
    const float cloud = ValueNoise(x, y, 48, seed) * 0.6f + ValueNoise(x, y, 19, seed + 1) * 0.4f;
    col = Mix(col, Rgb(40, 60, 120), 0.18f * cloud);
    col.a = 1;
    return col;
  });
  // The cell grid of the well, very faint, offset so that it never lines up with text.
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const int gx = (x + 5) % 14, gy = (y + 3) % 14;
      if (gx == 0 || gy == 0) c.Blend(x, y, Rgb(150, 180, 255), 0.045f);
      else if (gx == 1 || gy == 1) c.Blend(x, y, palette::kInk, 0.08f);
    }
}

void Panel(Canvas& c, float x0, float y0, float x1, float y1, float radius) {
  using namespace palette;
  const int bx0 = static_cast<int>(x0) - 6, by0 = static_cast<int>(y0) - 6;
  const int bx1 = static_cast<int>(x1) + 8, by1 = static_cast<int>(y1) + 8;
  Canvas shadow(bx1 - bx0, by1 - by0);
  shadow.Fill(RoundBox(x0 - bx0 + 2, y0 - by0 + 3, x1 - bx0 + 2, y1 - by0 + 3, radius), Solid(Fade(kInk, 0.6f)));
  c.Draw(shadow.Blurred(2), bx0, by0);
  const Shape outer = RoundBox(x0, y0, x1, y1, radius);
  c.Fill(outer, Solid(kInk), bx0, by0, bx1, by1);
  c.Fill(Grow(outer, -1), Vertical(y0, kGoldLight, y1, kGoldDark), bx0, by0, bx1, by1);
  c.Fill(Grow(outer, -2.5f), Solid(kInk), bx0, by0, bx1, by1);
  c.Fill(Grow(outer, -3.5f), Vertical(y0, Fade(Rgb(24, 36, 80), 0.88f), y1, Fade(kPanel, 0.92f)), bx0, by0, bx1, by1);
  // A faint sheen along the top inside edge.
  c.Fill(Border(Grow(outer, -3.5f), 1), Vertical(y0, Fade(Rgb(160, 190, 255), 0.22f), y0 + 12, Fade(Rgb(160, 190, 255), 0)),
         bx0, by0, bx1, by1);
}

void Inset(Canvas& c, float x0, float y0, float x1, float y1, const Colour& inside) {
  const Shape box = RoundBox(x0, y0, x1, y1, 2);
  const int bx0 = static_cast<int>(x0) - 2, by0 = static_cast<int>(y0) - 2;
  const int bx1 = static_cast<int>(x1) + 2, by1 = static_cast<int>(y1) + 2;
  c.Fill(Grow(box, 1), Solid(Fade(Rgb(150, 170, 220), 0.35f)), bx0, by0, bx1, by1);
  c.Fill(box, Solid(palette::kInk), bx0, by0, bx1, by1);
  c.Fill(Grow(box, -1), Solid(inside), bx0, by0, bx1, by1);
  // Shade under the top and left edges, as if the inside lay lower.
  c.Fill(Grow(box, -1), [&](float x, float y) {
    const float d = std::min(x - x0, y - y0);
    return Fade(palette::kInk, 0.45f * std::max(0.f, 1 - d / 4));
  }, bx0, by0, bx1, by1);
}

float BlockShade(int size, int x, int y) {
  if (size < 6) {
    // Too small for a rim and a bevel: light top and left, dark bottom and right.
    if (y == 0 || x == 0) return x == size - 1 || y == size - 1 ? 0.7f : 0.96f;
    if (y == size - 1 || x == size - 1) return 0.42f;
    return 0.74f;
  }
  const int bevel = std::max(1, size / 7);
  const int left = x, top = y, right = size - 1 - x, bottom = size - 1 - y;
  const int nearest = std::min(std::min(left, top), std::min(right, bottom));
  if (nearest < 1) return 0.30f;
  if (nearest < 1 + bevel) {
    if (top == nearest) return 0.96f;
    if (left == nearest) return 0.84f;
    if (bottom == nearest) return 0.40f;
    return 0.52f;
  }
  const int inner = size - 2 - 2 * bevel;
  const float u = static_cast<float>(x - 1 - bevel), v = static_cast<float>(y - 1 - bevel);
  float shade = 0.76f - 0.18f * (u + v) / std::max(1.f, 2.f * (inner - 1));
  // A glint in the top left of the face.
  if (inner >= 6 && u + v <= 1) shade = 0.88f;
  return shade;
}

void Block(Canvas& c, int x, int y, int size, const Colour& colour) {
  // The game's recolouring: colour x brightness, plus the template darkened to 96/256.
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i) {
      const float t = BlockShade(size, i, j);
      const float extra = t * 96.f / 256.f;
      const Colour p{std::min(1.f, colour.r * t + extra), std::min(1.f, colour.g * t + extra),
                     std::min(1.f, colour.b * t + extra), 1};
      c.Blend(x + i, y + j, p, 1);
    }
}

namespace {

// Block letters, five rows of five cells.
struct BlockLetter {
  char ch;
  const char* rows[5];
};
const BlockLetter kBlockLetters[] = {
    {'K', {"#...#", "#..#.", "###..", "#..#.", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#####"}},
    {'V', {"#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'2', {".###.", "#...#", "..##.", ".#...", "#####"}},
};

const BlockLetter* FindLetter(char ch) {
  for (const BlockLetter& l : kBlockLetters)
    if (l.ch == ch) return &l;
  return nullptr;
}

}  // namespace

int BlockTitleWidth(int block, const std::string& text) {
  int cells = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    cells += text[i] == ' ' ? 2 : 5;
    if (i + 1 < text.size()) cells += 1;
  }
  return cells * block;
}

void BlockTitle(Canvas& c, float cx, int y, int block, const std::string& text) {
  const int width = BlockTitleWidth(block, text);
  const int x0 = static_cast<int>(std::lround(cx - width / 2.f));
  // The shadow first, soft and a little below, then the blocks in the piece colours.
  const int pad = 3 * block;
  Canvas shadow(width + 2 * pad, 5 * block + 2 * pad);
  int x = 0, letter = 0;
  for (char ch : text) {
    if (const BlockLetter* l = FindLetter(ch)) {
      for (int r = 0; r < 5; ++r)
        for (int k = 0; k < 5; ++k)
          if (l->rows[r][k] == '#')
            shadow.Fill(RoundBox(pad + x + k * block + block / 3.f, pad + r * block + block / 2.f,
                                 pad + x + (k + 1) * block + block / 3.f, pad + (r + 1) * block + block / 2.f, 1),
                        Solid(Fade(palette::kInk, 0.8f)));
      x += 6 * block;
    } else {
      x += 3 * block;
    }
  }
  c.Draw(shadow.Blurred(std::max(1, block / 3)), x0 - pad, y - pad);
  x = 0;
  for (char ch : text) {
    if (const BlockLetter* l = FindLetter(ch)) {
      const Colour& colour = kPieceColours[letter++ % 6];
      for (int r = 0; r < 5; ++r)
        for (int k = 0; k < 5; ++k)
          if (l->rows[r][k] == '#') Block(c, x0 + x + k * block, y + r * block, block, colour);
      x += 6 * block;
    } else {
      x += 3 * block;
    }
  }
}

}  // namespace k2art
