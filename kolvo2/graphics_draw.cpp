// ClassGraphics: the drawing helpers the screens share.
#include <cstdio>

#include "kolvo2/graphics.h"

namespace {

enum : int32_t {
  kKey = 0x01,
  kColorize = 0x02,
  kTint = 0x04,
  kOpacity = 0x08,
  kAdd = 0x10,
  kSubtract = 0x20,
};

// The credits' window and its two fade bands of 32 rows.
constexpr int32_t kCreditTop = 64, kCreditBottom = 224, kBand = 32;

constexpr uint32_t kTransitionHalf = 512;

}  // namespace

void VolumeText(char* out, uint32_t size, const char* label, uint8_t volume) {
  if (volume == 0)
    std::snprintf(out, size, "%sOff", label);
  else
    std::snprintf(out, size, "%s%u%%", label, volume * 25u / 16u);
}

uint32_t ClassGraphics::GetFontHeight() const {
  const uint32_t h = font.GetFontHeight(static_cast<const char*>(nullptr));
  return h > 2 ? h - 2 : 0;
}

uint32_t ClassGraphics::GetFontWidth(const char* text) const {
  return text ? font.GetFontWidth(text) : 0;
}

uint32_t ClassGraphics::GetFontWidth(int32_t n) const {
  char text[16];
  std::snprintf(text, sizeof text, "%d", n);
  return font.GetFontWidth(text);
}

void ClassGraphics::Clear(Z2DSurface& s, uint32_t colour) { s.FillRect(nullptr, colour, 0, 0); }

void ClassGraphics::DrawBar(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b,
                            uint32_t colour) {
  const tagRECT rect = MakeRect(l, t, r, b);
  s.FillRect(&rect, colour, 0, 0);
}

void ClassGraphics::DrawRectangle(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b,
                                  uint32_t colour) {
  const tagRECT rect = MakeRect(l, t, r, b);
  s.DrawRect(&rect, colour, 0, 0);
}

void ClassGraphics::DrawLine(Z2DSurface& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             uint32_t colour, uint8_t flags, uint32_t property) {
  s.DrawLine(x1, y1, x2, y2, colour, flags, property);
}

void ClassGraphics::DrawAlphaBar(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b,
                                 uint32_t colour, uint8_t opacity) {
  const tagRECT rect = MakeRect(l, t, r, b);
  s.FillRect(&rect, colour, kOpacity, opacity);
}

void ClassGraphics::ScreenAlpha(Z2DSurface& s, uint32_t colour, uint8_t opacity) {
  s.FillRect(nullptr, colour, kOpacity, opacity);
}

void ClassGraphics::CaptureBackDrop(Z2DSurface& s) {
  backdropistitle = false;
  backdrop.BltFast(0, 0, &s, nullptr, 0, 0);
}
void ClassGraphics::DrawBackDrop(Z2DSurface& s) { s.BltFast(0, 0, &backdrop, nullptr, 0, 0); }
void ClassGraphics::DrawBackSurface(Z2DSurface& s) { s.BltFast(0, 0, &backsurface, nullptr, 0, 0); }

void ClassGraphics::DrawBackSurface(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b) {
  const tagRECT rect = MakeRect(l, t, r, b);
  s.BltFast(l, t, &backsurface, &rect, 0, 0);
}

void ClassGraphics::DrawGameFont(Z2DSurface& s, int32_t x, int32_t y, const char* text) {
  s.DrawFont(x, y, &font, text, kKey | kSubtract, 0);
  s.DrawFont(x, y, &fontmask, text, kKey, 0);
}

void ClassGraphics::DrawGameFontColor(Z2DSurface& s, int32_t x, int32_t y, const char* text,
                                      uint32_t colour) {
  s.DrawFont(x, y, &font, text, kKey | kSubtract, 0);
  s.DrawFont(x, y, &fontmask, text, kKey | kColorize | kTint, colour);
}

void ClassGraphics::DrawFontNumber(Z2DSurface& s, int32_t x, int32_t y, int32_t n,
                                   int32_t maskflags, uint32_t colour) {
  s.DrawFont(x, y, &font, n, kKey | kSubtract, 0);
  s.DrawFont(x, y, &fontmask, n, maskflags, colour);
}

void ClassGraphics::DrawGameFont(Z2DSurface& s, int32_t x, int32_t y, int32_t n) {
  DrawFontNumber(s, x, y, n, kKey, 0);
}

void ClassGraphics::DrawGameFontColor(Z2DSurface& s, int32_t x, int32_t y, int32_t n,
                                      uint32_t colour) {
  DrawFontNumber(s, x, y, n, kKey | kColorize | kTint, colour);
}

void ClassGraphics::Flip(Z2DSurface& s, uint32_t n) {
  DrawGameFont(s, 4, 0, static_cast<int32_t>(n));
}

void ClassGraphics::DrawStdSprite(Z2DSurface& s, int32_t x, int32_t y, uint32_t w, uint32_t h,
                                  uint16_t index) {
  const int32_t l = TILE * (index % 16), t = TILE * (index / 16);
  const tagRECT rect = MakeRect(l, t, l + TILE * w / 4, t + TILE * h / 4);
  s.BltFast(x, y, &sprites, &rect, 0, 0);
}

void ClassGraphics::DrawStdSprite(Z2DSurface& s, int32_t x, int32_t y, uint32_t w, uint32_t h,
                                  uint16_t index, uint8_t opacity) {
  const int32_t l = TILE * (index % 16), t = TILE * (index / 16);
  const tagRECT rect = MakeRect(l, t, l + TILE * w / 4, t + TILE * h / 4);
  s.BltFast(x, y, &sprites, &rect, kOpacity, opacity);
}

void ClassGraphics::DrawCube(Z2DSurface& s, int32_t x, int32_t y, int32_t angle) {
  cube.Reset();
  cube.Scale(0x3000, 0x3000, 0x3000);
  cube.Rotate(0, 1024, 3072);
  cube.Rotate(512, angle * 32, 0);
  s.Render(x, y, &cube, RENDER_FLAT, 0);
}

void ClassGraphics::DrawLogo(Z2DSurface& s, int32_t x, int32_t y) {
  s.BltFast(x, y, &logo, nullptr, 0, 0);
}

void ClassGraphics::DrawLogo(Z2DSurface& s, uint32_t t) {
  if (t == 0) return;
  // Sweeps in from one side for 1.5 s, turns slowly in the middle second, sweeps out.
  const int32_t a = static_cast<int32_t>(t) - 2048;
  int32_t b = 0, c = 0;
  if (t < 1536) {
    b = 1536 - static_cast<int32_t>(t);
    c = (static_cast<int32_t>(t) - 1536) * 80;
  } else if (t >= 2560) {
    b = static_cast<int32_t>(t) - 2560;
    c = b * 80;
  }
  const int32_t scale = 65536 - 42 * b;
  logomesh.Reset();
  logomesh.Scale(scale, scale, scale);
  logomesh.Rotate(2488, 1536 - a * (b + 512) / 512, 0);
  logomesh.Translate(c, 16 * b, 0);
  s.Render(0, -20, &logomesh, 0x80000000u | RENDER_FLAT, 0);
}

void ClassGraphics::DrawZoltBanner(Z2DSurface& s) {
  s.BltFast(160 - static_cast<int32_t>(banner.GetWidth()) / 2, 200, &banner, nullptr, 0, 0);
}

void ClassGraphics::PrepareCreditMask(Z2DSurface& s) {
  const tagRECT top = MakeRect(0, kCreditTop, SCREEN_W, kCreditTop + kBand);
  const tagRECT bottom = MakeRect(0, kCreditBottom - kBand, SCREEN_W, kCreditBottom);
  creditmask.BltFast(0, 0, &s, &top, 0, 0);
  creditmask.BltFast(0, kBand, &s, &bottom, 0, 0);
}

void ClassGraphics::BlendCreditMask(Z2DSurface& s) {
  // The clean picture goes back over the text more and more towards the window's edges.
  for (int32_t i = 0; i < kBand; ++i) {
    const uint32_t opacity = static_cast<uint32_t>((7905 - 255 * i) / 32) % 256;
    const tagRECT upper = MakeRect(0, i, SCREEN_W, i + 1);
    const tagRECT lower = MakeRect(0, 2 * kBand - 1 - i, SCREEN_W, 2 * kBand - i);
    s.BltFast(0, kCreditTop + i, &creditmask, &upper, kOpacity, opacity);
    s.BltFast(0, kCreditBottom - 1 - i, &creditmask, &lower, kOpacity, opacity);
  }
}

bool ClassGraphics::FadeInBackDrop(Z2DSurface& s, uint32_t& timer, uint32_t elapsed) {
  timer += elapsed;
  if (timer >= FADE_MS) {
    timer = FADE_MS;
    DrawBackDrop(s);
    return true;
  }
  if (timer == 0) {
    Clear(s, 0);
    return false;
  }
  DrawBackDrop(s);
  ScreenAlpha(s, 0, static_cast<uint8_t>(255 - timer * 255 / FADE_MS));
  return false;
}

bool ClassGraphics::FadeOutBackDrop(Z2DSurface& s, uint32_t& timer, uint32_t elapsed) {
  timer += elapsed;
  if (timer < FADE_MS) {
    DrawBackDrop(s);
    ScreenAlpha(s, 0, static_cast<uint8_t>(timer * 255 / FADE_MS));
    return false;
  }
  timer = FADE_MS;
  Clear(s, 0);
  return true;
}

int ClassGraphics::Transition(Z2DSurface& s, uint32_t elapsed, bool toBlackOnly) {
  if (elapsed == TRANSITION_RESET) {
    transitiontime = 0;
    return 0;
  }
  transitiontime += elapsed;
  if (transitiontime < kTransitionHalf) {
    DrawBackDrop(s);
    ScreenAlpha(s, 0, static_cast<uint8_t>(transitiontime / 2));
    return 0;
  }
  if (toBlackOnly) return 1;
  DrawBackSurface(s);
  if (transitiontime < 2 * kTransitionHalf) {
    ScreenAlpha(s, 0, static_cast<uint8_t>((2 * kTransitionHalf - 1 - transitiontime) / 2));
    return 0;
  }
  return 1;
}
