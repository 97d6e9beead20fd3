// The puzzle game's frames on a 320 x 240 5:6:5 back buffer with the game's own pictures:
// a frame of play (the rules and the play picture) with the well nearly full, the shadow,
// the grid, a row clearing, a drop trail and a lock flash, both as most frames draw it
// (the well only) and with the side panel redrawn; the title's menu; the intro's loading
// screen and its logo; the credits. Beside them the plain copy of a frame that presenting
// it costs anyway. After the usual table each is given as a share of the console's budget:
// 3.33 million cycles (200 MHz) per 60-fps frame, taking this machine's cycles for the
// console's (see bench/README.md for the instruction counts of the whole program).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "bench/frame_budget.h"
#include "engine/core/zmod_input.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_random.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/intro.h"
#include "kolvo2/level.h"
#include "kolvo2/net_highscore.h"
#include "kolvo2/title.h"

namespace {

// The game's objects on a display without framebuffer, its pictures loaded as the intro
// loads them.
struct Game {
  ZStandaloneDisplay engine{0, ZFMT_RGB565};
  ClassZInput input;
  ClassSound sound;  // silent: the mixer is not part of a frame's drawing
  ClassGraphics gfx;
  ClassConsole console;
  CaptureNetHighscore net;
  GAMESTATS stats{};
  GAMECONFIG cfg{};
  ZBUTTONLIST buttons{};
  GameRandom random{7};
  MAINDATA data{};
  Z2DSurface screen;
  bool ready = false;

  Game() {
    engine.display.SetRenderSize(240);
    engine.display.RegisterLoader(new ZLoader_BMP);
    engine.display.RegisterLoader(new ZLoader_PNG);
    engine.display.RegisterLoader(new ZLoader_3DS);
    engine.zcd.input = &input;
    ZRecord_ButtonDefaults(&buttons);
    input.SetDefaultMappings();
    ResetCfg(cfg, &buttons);
    data = MAINDATA{&net, &gfx, &sound, &console, &stats, &buttons, &cfg, &engine.zcd, &random, 0, 0, 0};
    gfx.Init(&engine.display, &data);
    engine.display.CreateSurface(&screen, 320, 240, 0);
    uint32_t attach = MODULE_ATTACH;
    console.Manage(nullptr, nullptr, &attach, reinterpret_cast<int32_t*>(&data), 0);
    char* here = getcwd(nullptr, 0);
    if (chdir(KOLVO2_DATA_DIR) != 0) return;
    ready = true;
    for (uint32_t step = 0; step < 16 && ready; ++step) ready = gfx.ScriptLoad(step) != 0;
    gfx.LoadBackDrop("title.bmp");
    if (here && chdir(here) != 0) ready = false;
    free(here);
  }
  void Backdrop(const char* name) {
    char* here = getcwd(nullptr, 0);
    if (chdir(KOLVO2_DATA_DIR) == 0) gfx.LoadBackDrop(name);
    if (here && chdir(here) != 0) ready = false;
    free(here);
  }
};

Game& TheGame() {
  static Game game;
  return game;
}

// A game deep in: the well filled to row 9 with one hole a row, row 20 full and clearing
// 100 ms into its 250, a T piece in play above the stack, the next piece shown, a trail
// of a hard drop and a lock flash.
ClassLevel PlayScene(Game& g) {
  ClassLevel level;
  uint32_t attach = MODULE_ATTACH;
  level.Manage(g.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&g.data), 0);
  level.NewGame();
  level.state = LEVEL_PLAY;
  for (uint32_t r = 10; r < ClassLevel::PLAY_ROWS; ++r)
    for (uint32_t c = 0; c < ClassLevel::PLAY_WIDTH; ++c)
      level.field[r][ClassLevel::PLAY_LEFT + c] = c == (r * 3) % 10 && r != 20 ? 0 : 1 + (r + c) % 7;
  level.rowclear[20] = 100;
  level.piece = 1;
  level.TurnBlock(1, 0);
  level.column = 7;
  level.row = 6;
  level.nextpiece = 2;
  level.effects[0] = LEVELEFFECT{200, 5, 8, 0, 0, LEVELFX_TRAIL};
  level.effects[1] = LEVELEFFECT{200, 9, 7, 3, 1, LEVELFX_FLASH};
  g.stats = GAMESTATS{7, 123, 456789};
  return level;
}

void PlayFrame(benchmark::State& state, bool redraw) {
  Game& g = TheGame();
  if (!g.ready) {
    state.SkipWithError("the game's data did not load");
    return;
  }
  g.Backdrop("hud.bmp");
  const ClassLevel scene = PlayScene(g);
  ClassLevel level = scene;
  level.redraw = 1;
  level.RenderAll(g.screen);
  for (auto _ : state) {
    level = scene;
    level.redraw = redraw ? 1 : 0;
    level.ProcessAI(16);
    level.RenderAll(g.screen);
    benchmark::ClobberMemory();
  }
  g.Backdrop("title.bmp");
}

void BM_PlayFrame(benchmark::State& state) { PlayFrame(state, false); }
void BM_PlayFrameFullRedraw(benchmark::State& state) { PlayFrame(state, true); }

void BM_TitleFrame(benchmark::State& state) {
  Game& g = TheGame();
  ClassTitle title;
  uint32_t attach = MODULE_ATTACH, status = MODULE_RUN, next = 1;
  title.Manage(g.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&g.data), 0);
  title.state = TITLE_MENU;
  int32_t keys[KEYWORD_COUNT] = {};
  for (auto _ : state) {
    title.Manage(g.screen, &next, &status, keys, 16);
    g.console.Manage(&g.screen, &next, &status, keys, 16);
    benchmark::ClobberMemory();
  }
}

void BM_CreditsFrame(benchmark::State& state) {
  Game& g = TheGame();
  ClassTitle title;
  uint32_t attach = MODULE_ATTACH, status = MODULE_RUN, next = 1;
  title.Manage(g.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&g.data), 0);
  title.state = TITLE_CREDITS;
  int32_t keys[KEYWORD_COUNT] = {};
  for (auto _ : state) {
    title.statetimer = 6000;  // the text fills the window
    title.Manage(g.screen, &next, &status, keys, 16);
    benchmark::ClobberMemory();
  }
}

// The logo's frame at the middle of its flight (largest on the screen) and the loading
// screen with its bar while the splash fades in.
void BM_IntroLogoFrame(benchmark::State& state) {
  Game& g = TheGame();
  ClassIntro intro;
  uint32_t attach = MODULE_ATTACH, status = MODULE_RUN, next = 0;
  int32_t keys[KEYWORD_COUNT] = {};
  intro.Manage(g.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&g.data), 0);
  intro.phase = INTRO_LOGO;
  intro.step = ClassIntro::STEPS;
  for (auto _ : state) {
    intro.introtime = 2000;
    intro.Manage(g.screen, &next, &status, keys, 16);
    benchmark::ClobberMemory();
  }
}

void BM_IntroLoadingFrame(benchmark::State& state) {
  Game& g = TheGame();
  ClassIntro intro;
  uint32_t attach = MODULE_ATTACH;
  intro.Manage(g.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&g.data), 0);
  intro.step = 3;
  intro.splashwait = 250;
  for (auto _ : state) {
    intro.RenderAll(g.screen);
    benchmark::ClobberMemory();
  }
}

// What presenting a frame costs at least: its 153,600 bytes copied once.
void BM_FrameCopyMemcpy(benchmark::State& state) {
  std::vector<uint8_t> from(320 * 240 * 2, 0x5A), to(320 * 240 * 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

BUDGET_BENCHMARK(BM_PlayFrame);
BUDGET_BENCHMARK(BM_PlayFrameFullRedraw);
BUDGET_BENCHMARK(BM_TitleFrame);
BUDGET_BENCHMARK(BM_CreditsFrame);
BUDGET_BENCHMARK(BM_IntroLogoFrame);
BUDGET_BENCHMARK(BM_IntroLoadingFrame);
BUDGET_BENCHMARK(BM_FrameCopyMemcpy);

}  // namespace

int main(int argc, char** argv) { return budget::Main(argc, argv, {1.0 / 60, "16.7 ms", "3.33 M"}); }
