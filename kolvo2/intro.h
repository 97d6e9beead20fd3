// ClassIntro: the first screen (module 0). It loads the game's pictures, effects and
// music one step a frame behind the splash picture with its progress bar (at least 3.5 s,
// the splash at least 500 ms), fades over to the engine's turning logo above its banner
// on a gradient, fades that to black and hands over to the title screen. A picture that
// cannot be loaded ends the program (its name goes to standard error); missing sound only
// leaves the game silent.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_2d.h"
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
  // One loading step of the graphics (ClassGraphics::ScriptLoad), with the effects after
  // step 10 and the music after step 11; step 0 starts the intro time and the splash wait
  // again, and step 3 (the splash) is done only once elapsed ms have added up to
  // SPLASH_MS there. 1 when the step went or waits on the splash, and after the last step;
  // 0 when a picture or the pack cannot be loaded (said on standard error): the program
  // has to end. Missing sound is left to the sound wrapper.
  int ScriptLoad(uint32_t elapsed);
  // The logo screen: the backdrop, the engine's logo at the intro time (gone once it
  // reaches LOGO_MS) and the banner over it.
  void RenderZoltLogo(Z2DSurface& backbuffer);
  // Does every loading step's work before the first frame: unpacking and decoding a step's
  // pictures and sounds costs several frames' time. The frames then count the steps and
  // show them as before; a step that failed here fails in its own frame, with its message.
  // After a whole load the logo screen's first picture is drawn into the back surface, and
  // the gradient the backdrop takes after the fade is kept in a surface of its own until
  // then (150 KB at 16 bits a pixel).
  void LoadAhead();

  MAINDATA* maindata = nullptr;
  uint32_t introtime = 0;
  uint32_t splashwait = 0;
  uint8_t step = 0;
  uint8_t phase = INTRO_LOADING;

 private:
  void Gradient(Z2DSurface& surface);
  // A loading step's sounds: the effects at step 10, the music at step 11.
  void LoadStepSounds(uint32_t step);

  bool ahead = false;      // LoadAhead ran: aheadsteps steps went, the next one failed
  uint8_t aheadsteps = 0;
  bool backready = false;  // the back surface holds the logo screen's first picture
  Z2DSurface gradient;     // the backdrop's gradient, drawn ahead
};
