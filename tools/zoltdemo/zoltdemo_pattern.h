// The demo's moving test pattern, drawn with the engine's surfaces and built-in font. Frame
// n shows a background whose red rises with n, a white bar that steps 4 pixels to the right
// each frame and wraps, and the text "ZOLT 60"; a row of boxes, one per button, shows the
// buttons held. Shared by the zoltdemo program and the framework's end-to-end test, which
// checks what the framework presents against these rules.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"
#include "engine/graphics/zsurf_2d.h"

namespace zoltdemo {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kBarTop = 40, kBarWidth = 16;
constexpr int kTextX = 8, kTextY = 8;
constexpr tagRECT kTextArea{kTextX, kTextY, kTextX + 120, kTextY + 14};
constexpr const char* kText = "ZOLT 60";

// Frame n's background as a colour word (0x00BBGGRR); every channel is a multiple of 8 (green
// of 4), so it is stored exactly in a 5:6:5 buffer.
inline uint32_t Background(int n) { return 0x00804000u | uint32_t((n * 8) & 0xF8); }
inline int BarLeft(int n) { return (n * 4) % (kWidth - kBarWidth); }

// The buttons in the order of their boxes, left to right.
constexpr uint32_t kButtons[] = {
    ZBUTTON_UP, ZBUTTON_UPLEFT, ZBUTTON_LEFT, ZBUTTON_DOWNLEFT, ZBUTTON_DOWN,
    ZBUTTON_DOWNRIGHT, ZBUTTON_RIGHT, ZBUTTON_UPRIGHT, ZBUTTON_START, ZBUTTON_SELECT,
    ZBUTTON_L, ZBUTTON_R, ZBUTTON_A, ZBUTTON_B, ZBUTTON_X,
    ZBUTTON_Y, ZBUTTON_VOLDOWN, ZBUTTON_VOLUP, ZBUTTON_STICK};
constexpr int kButtonCount = int(sizeof kButtons / sizeof kButtons[0]);
constexpr int kBoxTop = 26, kBoxSize = 12, kBoxStep = 16;

// The box of the i-th button of kButtons (between the text and the bar).
inline tagRECT ButtonBox(int i) {
  const int left = kTextX + i * kBoxStep;
  return {left, kBoxTop, left + kBoxSize, kBoxTop + kBoxSize};
}

// The bit of a button code in a held-buttons word.
inline uint32_t ButtonBit(uint32_t code) { return code >= 1 && code <= 32 ? 1u << (code - 1) : 0; }

// Frame n of the pattern into the surface (320x240), with the font to write in.
inline void DrawPattern(Z2DSurface& surface, Z2DSurface* font, int n) {
  surface.Clear(Background(n));
  const tagRECT bar{BarLeft(n), kBarTop, BarLeft(n) + kBarWidth, kHeight};
  surface.FillRect(&bar, 0xFFFFFF, 0, 0);
  surface.DrawFont(kTextX, kTextY, font, kText, 0x01, 0);
}

// A box for every button: an outline, filled white while the button is held.
inline void DrawButtons(Z2DSurface& surface, uint32_t held) {
  for (int i = 0; i < kButtonCount; ++i) {
    tagRECT box = ButtonBox(i);
    if (held & ButtonBit(kButtons[i]))
      surface.FillRect(&box, 0xFFFFFF, 0, 0);
    else
      surface.DrawRect(&box, 0x000000, 0, 0);
  }
}

}  // namespace zoltdemo
