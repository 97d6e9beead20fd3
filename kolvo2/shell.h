// ClassMain: the puzzle game's application object on the Zolt framework, and the program
// entry. It holds every object of the game, fills the framework's configuration (60
// frames a second, 320 x 240), registers the image loaders, wires the objects together
// through one MAINDATA record, and each frame runs the current screen module (intro,
// title, level), the console overlay, the key timers, the music fader and the frame-rate
// text; it opens, sends and cleans up an online submission while the console shows it.
//
// "Kolvo2.cfg" is loaded when the display is up, saved whenever a screen asks for it, and
// saved when the game ends: by its own quit (a module index above 9) or by a request of
// the system to quit, which the framework takes at the next frame.
#pragma once

#include <cstdint>

#include "engine/app/zolt.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_random.h"
#include "kolvo2/game_records.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/intro.h"
#include "kolvo2/level.h"
#include "kolvo2/net_highscore.h"
#include "kolvo2/title.h"

class ClassMain : public ClassZolt {
 public:
  explicit ClassMain(const ZOLTDATA* data);
  ~ClassMain() override = default;

  int OnCreate(ZOLTCONFIG* config, ZOLTDATA* data) override;
  int OnInit(int startvalue) override;
  int OnMinimize() override;
  int OnRestore() override;
  int OnPluginLoad(ClassZDisplay* display) override;
  int OnDisplayInit(int startvalue, ClassZDisplay* display) override;
  int OnNextFrame(ClassZDisplay* display, uint32_t elapsed) override;
  void OnExit(int startvalue) override;
  void OnButtonDown(uint32_t code, ZBUTTONLIST* list) override;
  void OnButtonUp(uint32_t code, ZBUTTONLIST* list) override;
  void OnWheel(int32_t steps) override;
  void OnStylusUp(tagPOINT point) override;
  void OnStylusDown(tagPOINT point) override;
  void OnStylusDouble(tagPOINT point) override;
  void OnStylusMove(tagPOINT point) override;

  // Fills the module table and attaches the modules and the console overlay.
  void AttachModules();
  // The key timers' step of a frame.
  void CheckInputRates(int32_t* words, uint32_t elapsed);
  // "Kolvo2.cfg" in the working folder. A file there that cannot be used (or a folder or
  // FIFO of that name) is set aside as "Kolvo2.cfg.bad", or "Kolvo2.cfg.bad.1" and on when
  // that is taken, before the defaults are saved over it; where the file system lets it go
  // nowhere, no save of the run writes over it (SaveCfg returns 0). That, and a save that
  // fails, is said on standard error.
  int LoadCfg();
  int SaveCfg();
  // The calls that read, set aside and write "Kolvo2.cfg": the system's unless a test gives
  // others before the start.
  const CFGFILECALLS* cfgcalls = &CfgSystemCalls();

  // The module functions of the table: the application object comes as main.
  static void WManageIntro(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                           int32_t* keys, uint32_t elapsed);
  static void WManageTitle(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                           int32_t* keys, uint32_t elapsed);
  static void WManageLevel(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                           int32_t* keys, uint32_t elapsed);

  CaptureNetHighscore net;
  ClassGraphics gfx;
  ClassSound sound;
  ClassConsole console;
  GAMESTATS stats{};
  GAMECONFIG cfg{};
  MAINDATA maindata{};
  ClassIntro intro;
  ClassTitle title;
  ClassLevel level;
  int32_t keys[KEYWORD_COUNT] = {};
  GameModules modules;
  GameRandom random;

 private:
  bool cfgloaded = false;     // only a configuration that was read is ever written back
  bool cfgleftalone = false;  // an unusable file that could not be set aside: never saved over
  bool cfgsaved = false;      // saved on the way out
};

// Creates the application object from the start data and runs it to its end (Start).
// Returns the object, ended, for the caller to delete: its status, configuration and
// error text stay readable until then.
ClassZolt* ZoltMain(ZOLTDATA* data);

// The hand-over to the console's menu program.
using HANDOVER = void (*)();
// The program: opens the devices, runs the game (ZoltMain), closes the devices and hands
// over to the menu program (also when the devices could not be opened). Returns only when
// the hand-over fails: 0.
int Kolvo2Main(HANDOVER handover);
// chdir("/usr/gp2x"), then execl "gp2xmenu".
void HandOverToMenu();
