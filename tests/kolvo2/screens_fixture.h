// What the screen tests share: the game's objects wired through one MAINDATA over a
// display without a framebuffer, the game's own graphics loaded from the packs the build
// made, and frames run the way the framework runs them (the screen, the console overlay,
// then the input events are gone; a press made between two frames shows in the next).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_records.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/net_highscore.h"
#include "tests/support/temp_dir.h"
#include "tests/kolvo2/kolvo2_fixtures.h"

#ifndef KOLVO2_DATA_DIR
#error "KOLVO2_DATA_DIR: the folder holding the game's res/*.zpk"
#endif

// The game's objects without the framework.
struct GameWorld {
  ZStandaloneDisplay engine{0, ZFMT_RGB565};
  ClassZInput input;
  ClassSound sound;  // never opened: a silent game
  ClassGraphics gfx;
  ClassConsole console;
  CaptureNetHighscore net;
  GAMESTATS stats{};
  GAMECONFIG cfg{};
  ZBUTTONLIST buttons{};
  ScriptedRandom random;
  MAINDATA data{};
  Z2DSurface screen;

  GameWorld() {
    engine.display.SetRenderSize(240);  // as the display opened on the 320 x 240 screen
    engine.display.RegisterLoader(new ZLoader_BMP);
    engine.display.RegisterLoader(new ZLoader_PNG);
    engine.display.RegisterLoader(new ZLoader_3DS);
    engine.zcd.input = &input;
    ZRecord_ButtonDefaults(&buttons);
    input.SetDefaultMappings();
    ResetCfg(cfg, &buttons);
    for (uint8_t a = 0; a < GAME_ACTIONS; ++a) input.AddKeyMapping(a, CfgKey(cfg, a));
    data = MAINDATA{&net, &gfx, &sound, &console, &stats, &buttons, &cfg, &engine.zcd, &random, 0, 0, 0};
    gfx.Init(&engine.display, &data);
    engine.display.CreateSurface(&screen, 320, 240, 0);
    uint32_t attach = MODULE_ATTACH;
    console.Manage(nullptr, nullptr, &attach, reinterpret_cast<int32_t*>(&data), 0);
  }

  // Every loading step of the intro, from the packs the build made.
  ::testing::AssertionResult LoadGraphics(const std::string& folder = KOLVO2_DATA_DIR) {
    WorkingDir in(folder);
    for (uint32_t step = 0; step < 16; ++step)
      if (!gfx.ScriptLoad(step))
        return ::testing::AssertionFailure() << "step " << step << ": " << gfx.FailedName();
    return ::testing::AssertionSuccess();
  }

  // A press and release between two frames (both events wait for the next frame).
  void Tap(uint32_t code) {
    input.OnKeyDown(code);
    input.OnKeyUp(code);
  }
  // The end of a frame as the framework has it: key repeat for the next one, events gone.
  void EndFrame(uint32_t elapsed) {
    input.ResetEvents();
    input.CheckRepeat(elapsed);
  }
  // The overlay as the shell runs it after the screen.
  void Console(uint32_t elapsed, uint32_t status = MODULE_RUN) {
    uint32_t next = 0;
    console.Manage(&screen, &next, &status, nullptr, elapsed);
  }

  uint32_t Pixel(int32_t x, int32_t y) const { return screen.GetPixel(x, y); }
  // Mean brightness (0-255) of a rectangle of the screen.
  uint32_t Brightness(int32_t l, int32_t t, int32_t r, int32_t b) const {
    uint64_t sum = 0, n = 0;
    for (int32_t y = t; y < b; ++y)
      for (int32_t x = l; x < r; ++x, ++n) {
        const uint32_t c = screen.GetPixel(x, y);
        sum += ((c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF)) / 3;
      }
    return n ? static_cast<uint32_t>(sum / n) : 0;
  }
};
