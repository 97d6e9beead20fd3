// ClassGraphics: the on-screen keyboard. Its two layouts, the two keyboard pictures built
// at loading time from one key cap, and the labels drawn over them on the screen.
#include "engine/graphics/zdsp_base.h"
#include "kolvo2/graphics.h"

namespace {

// A row of `lead` cells of one byte, two-cell keys for each character of `keys`, then
// `tail` cells of another byte.
struct RowSpec {
  uint8_t leadbyte, lead;
  const char* keys;
  uint8_t tailbyte, tail;
};

constexpr RowSpec kRows[KB_LAYOUTS][KB_ROWS - 1] = {
    {{KB_CANCEL, 2, "1234567890-", KB_BACKSPACE, 3},
     {KB_TAB, 3, "qwertyuiop='", 0, 0},
     {KB_CAPS, 4, "asdfghjkl", KB_ENTER, 5},
     {KB_SHIFT, 5, "zxcvbnm,.;/", 0, 0}},
    {{KB_CANCEL, 2, "!@#$%^&*()_", KB_BACKSPACE, 3},
     {KB_TAB, 3, "QWERTYUIOP+~", 0, 0},
     {KB_CAPS, 4, "ASDFGHJKL", KB_ENTER, 5},
     {KB_SHIFT, 5, "ZXCVBNM<>:?", 0, 0}},
};

struct Layouts {
  uint8_t cells[KB_LAYOUTS][KB_ROWS][KB_CELLS] = {};
  constexpr Layouts() {
    for (uint32_t l = 0; l < KB_LAYOUTS; ++l) {
      for (uint32_t r = 0; r + 1 < KB_ROWS; ++r) {
        const RowSpec& spec = kRows[l][r];
        uint32_t c = 0;
        for (uint32_t i = 0; i < spec.lead; ++i) cells[l][r][c++] = spec.leadbyte;
        for (const char* k = spec.keys; *k; ++k) {
          cells[l][r][c++] = static_cast<uint8_t>(*k);
          cells[l][r][c++] = static_cast<uint8_t>(*k);
        }
        for (uint32_t i = 0; i < spec.tail; ++i) cells[l][r][c++] = spec.tailbyte;
      }
      // The space bar: 16 cells after 6 empty ones.
      for (uint32_t c = 6; c < 22; ++c) cells[l][KB_ROWS - 1][c] = ' ';
    }
  }
};

constexpr Layouts kLayouts;

// A key spanning cells a..b (b exclusive) of row r lies at left 52 + 8a, top 16r + 5.
constexpr int32_t kKeysLeft = 52, kCellW = 8, kRowH = 16, kKeysTop = 5;
constexpr uint32_t kKeyDepth = 3;  // rows of the cap's side below its face in the image

// The glyph of a key's label in the key font.
uint8_t LabelGlyph(uint8_t cell, uint8_t layout) {
  switch (cell) {
    case KB_CANCEL: return 28;
    case KB_BACKSPACE: return 31;
    case KB_TAB: return 30;
    case KB_ENTER: return 29;
    case KB_SHIFT: return static_cast<uint8_t>(24 + layout);
    case KB_CAPS: return static_cast<uint8_t>(26 + layout);
    default: return cell;
  }
}

}  // namespace

const uint8_t (&kblayout)[KB_LAYOUTS][KB_ROWS][KB_CELLS] = kLayouts.cells;

int ClassGraphics::LoadKeyboards() {
  for (uint8_t k = 0; k < KB_LAYOUTS; ++k) {
    Z2DSurface& kb = keyboard[k];
    if (!display || display->CreateSurface(&kb, SCREEN_W, KB_HEIGHT, 0) != Z2D_OK)
      return Fail("the keyboard (no memory)");
    kb.GradientRect(nullptr, 0x808080, 0xE0E0E0, 0xA0A0A0, 0xFFFFFF, 0x40);
    // A bevel of four lines a side: light top and left, dark bottom and right.
    const int32_t bottom = static_cast<int32_t>(KB_HEIGHT) - 1;
    for (int32_t i = 0; i < 4; ++i) {
      const uint32_t p = static_cast<uint32_t>((765 - 255 * i) / 4);
      const int32_t x2 = static_cast<int32_t>(SCREEN_W) - 1 - i;
      kb.DrawLine(i, i, x2, i, 0x404040, 0x18, p);
      kb.DrawLine(i, i + 1, i, bottom - i, 0x404040, 0x18, p);
      kb.DrawLine(i + 1, bottom - i, x2, bottom - i, 0x404040, 0x28, p);
      kb.DrawLine(x2, i + 1, x2, bottom - 1 - i, 0x404040, 0x28, p);
    }
  }
  Z2DSurfaceRGBA cap;
  if (!QuickLoadFileSurface(&pack, "kbkey.png", cap)) return Fail("kbkey.png");
  for (uint8_t k = 0; k < KB_LAYOUTS; ++k)
    for (uint8_t r = 0; r < KB_ROWS; ++r)
      for (uint8_t a = 0; a < KB_CELLS;) {
        const uint8_t cell = kblayout[k][r][a];
        uint8_t b = a + 1;
        while (b < KB_CELLS && kblayout[k][r][b] == cell) ++b;
        if (cell) {
          const tagRECT rect = MakeRect(kKeysLeft + kCellW * a, kRowH * r + kKeysTop,
                                    kKeysLeft + kCellW * b, kRowH * r + kKeysTop + kRowH);
          DrawKBKey(keyboard[k], cap, rect);
          DrawKBChar(keyboard[k], a, r, k, 0, true, false);
        }
        a = b;
      }
  return 1;
}

void ClassGraphics::DrawKeyboard(Z2DSurface& s, uint32_t t, uint8_t layout) {
  Z2DSurface& kb = keyboard[layout & 1];
  const uint32_t slid = t < KB_SLIDE_MS ? t : KB_SLIDE_MS;
  const int32_t h = static_cast<int32_t>(slid * kb.GetHeight() / KB_SLIDE_MS);
  if (h <= 0) return;
  const tagRECT rows = MakeRect(0, 0, static_cast<int32_t>(kb.GetWidth()), h);
  s.BltFast(0, static_cast<int32_t>(s.GetHeight()) - h, &kb, &rows, 0, 0);
}

void ClassGraphics::DrawKBChar(Z2DSurface& s, uint8_t column, uint8_t row, uint8_t layout,
                               uint32_t t, bool flat, bool highlighted) {
  if (row >= KB_ROWS || column >= KB_CELLS || layout >= KB_LAYOUTS) return;
  const uint8_t* cells = kblayout[layout][row];
  uint8_t first = column;
  while (first > 0 && cells[first - 1] == cells[first]) --first;
  uint8_t width = 1;
  while (first + width < KB_CELLS && cells[first + width] == cells[first]) ++width;

  const uint32_t slid = t < KB_SLIDE_MS ? t : KB_SLIDE_MS;
  const int32_t offset =
      flat ? 0 : static_cast<int32_t>(SCREEN_H - GetKBHeight() * slid / KB_SLIDE_MS);
  const char label[2] = {static_cast<char>(LabelGlyph(cells[column], layout)), 0};
  const int32_t left = kKeysLeft + kCellW * first;
  const int32_t x = left + 4 * width, y = kRowH * row + offset + 12;
  if (highlighted) {
    const int32_t top = kRowH * row + offset + kKeysTop;
    DrawAlphaBar(s, left, top, left + kCellW * width, top + 15, 0, 192);
    s.DrawFont(x, y, &keyfont, label, 0x200 | 0x800 | 0x11, 0);
  } else {
    s.DrawFont(x, y, &keyfont, label, 0x200 | 0x800 | 0x21, 0);
  }
}

void ClassGraphics::DrawKBKey(Z2DSurface& s, Z2DSurfaceRGBA& key, const tagRECT& rect) {
  const int32_t W = static_cast<int32_t>(key.GetWidth()), H = static_cast<int32_t>(key.GetHeight());
  const int32_t D = H > 24 ? H - 24 : 0;
  const int32_t c = W > 24 ? (W - 24) / 2 : 0;  // the image's margin left and right
  const int32_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom + D;
  const int32_t w = right - left, h = bottom - top;
  if (w < 0 || h < D) return;

  const int32_t lw = w > 15 ? 8 : (w + 1) / 2, rw = w > 15 ? 8 : w / 2;
  const int32_t th = h >= D + 16 ? 8 : (h - D + 1) / 2;
  const int32_t bh = h >= D + 16 ? D + 8 : D + (h - D) / 2;
  auto piece = [&](int32_t x, int32_t y, int32_t sl, int32_t st, int32_t sw, int32_t sh) {
    if (sw <= 0 || sh <= 0) return;
    const tagRECT from = MakeRect(sl, st, sl + sw, st + sh);
    s.BltFast(x, y, &key, &from, 0, 0);
  };
  // Corners, the left ones with the image's margin.
  piece(left - c, top, 0, 0, lw + c, th);
  piece(right - rw, top, W - c - rw, 0, rw + c, th);
  piece(left - c, bottom - bh, 0, H - bh, lw + c, bh);
  piece(right - rw, bottom - bh, W - c - rw, H - bh, rw + c, bh);
  // Borders and the face, tiled with the image's middle column and row.
  const bool across = w > 16, down = h > D + 16;
  const int32_t mid = c + 8;
  if (across)
    for (int32_t x = left + 8; x < right - 8; x += 8) {
      const int32_t tw = right - 8 - x < 8 ? right - 8 - x : 8;
      piece(x, top, mid, 0, tw, 8);
      piece(x, bottom - bh, mid, H - bh, tw, bh);
    }
  if (down)
    for (int32_t y = top + 8; y < bottom - bh; y += 8) {
      const int32_t tile = bottom - bh - y < 8 ? bottom - bh - y : 8;
      piece(left - c, y, 0, 8, c + 8, tile);
      piece(right - 8, y, W - c - 8, 8, c + 8, tile);
      if (across)
        for (int32_t x = left + 8; x < right - 8; x += 8)
          piece(x, y, mid, 8, right - 8 - x < 8 ? right - 8 - x : 8, tile);
    }
}
