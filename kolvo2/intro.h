// ClassIntro: the first screen (module 0). It loads the game's pictures, effects and
// music one step a frame behind the splash picture with its progress bar (at least 3.5 s,
// the splash at least 500 ms), fades over to the engine's turning logo above its banner
// on a gradient, fades that to black and hands over to the title screen. A picture that
// cannot be loaded ends the program (its name goes to standard error); missing sound only
// leaves the game silent.
#pragma once

#include <cstdint>

#include "kolvo2/game_records.h"

enum : uint8_t { INTRO_LOADING = 0, INTRO_LOGO = 1, INTRO_FADEIN = 2, INTRO_FADEOUT = 3 };

class ClassIntro {
 public:
  static constexpr uint8_t STEPS = 16;
  static constexpr uint32_t LOADING_MS = 3500;
  static constexpr uint32_t SPLASH_MS = 500;
  static constexpr uint32_t LOGO_MS = 4096;

  void Manage(Z2DSurface& backbuffer, uint32_t* next, uint32_t* status, int32_t* keys,
              uint32_t elapsed);
  // The loading screen: black before the splash is loaded, then the splash fading in with
  // the progress bar.
  void RenderAll(Z2DSurface& backbuffer);

  MAINDATA* maindata = nullptr;
  uint32_t introtime = 0;
  uint32_t splashwait = 0;
  uint8_t step = 0;
  uint8_t phase = INTRO_LOADING;

 private:
  void Gradient(Z2DSurface& surface);
  bool Load(uint32_t elapsed);
};
