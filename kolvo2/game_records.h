// The records that tie the puzzle game's screens to its application object, and the
// calling protocol of its screen modules.
//
// - GAMESTATS: the running game's level, score and lines.
// - MAINDATA: what every module, the console overlay and the graphics object reach the
//   game's objects through; the application owns one and hands it over when attaching.
// - The 32 input words the application keeps from the framework's button hooks
//   (KEYWORD_*), with KeyWordsButton for a press or release and KeyWordsStep for the
//   once-a-frame count-down of the key timers.
// - The module function and its status values, and GameModules: the table of up to ten
//   modules with the current index and status, which runs one module a frame.
#pragma once

#include <cstdint>

struct ZCD;
struct ZBUTTONLIST;
struct GAMECONFIG;
class Z2DSurface;
class ClassSound;
class GameRandom;
class CaptureNetHighscore;
class ClassGraphics;
class ClassConsole;
class ClassZInput;

struct GAMESTATS {
  uint32_t level;
  uint32_t score;
  uint32_t lines;
};

struct MAINDATA {
  CaptureNetHighscore* net;
  ClassGraphics* gfx;
  ClassSound* sound;
  ClassConsole* console;
  GAMESTATS* stats;
  ZBUTTONLIST* buttons;  // the framework's button list
  GAMECONFIG* cfg;
  ZCD* zcd;              // the engine's context: input object, connection slot 0
  GameRandom* random;    // every random choice of the game draws from it
  uint8_t skipnextelapsed;  // the next frame runs with elapsed 0 (set after long work)
  uint8_t hidefps;          // no frame-rate text
  uint8_t saverequest;      // the shell saves the configuration at the next frame
};

// The game's actions registered with the input object, and the menu actions of the
// input object's default mappings that the screens read.
enum : uint8_t {
  ACTION_MOVELEFT = 0,
  ACTION_MOVERIGHT = 1,
  ACTION_MOVEDOWN = 2,
  ACTION_TURN = 3,
  ACTION_TURNLEFT = 4,
  ACTION_TURNRIGHT = 5,
  ACTION_FASTDROP = 6,
  ACTION_PAUSE = 7,
  GAME_ACTIONS = 8,
  MENU_UP = 192,
  MENU_DOWN = 193,
  MENU_LEFT = 194,
  MENU_RIGHT = 195,
  MENU_SELECT = 196,
  MENU_SELECT2 = 197,
};

// The input object of the engine's context (null when there is none).
ClassZInput* InputOf(const MAINDATA* data);
// Takes the action's queued events until one is a press (down, or repeat when asked):
// true; false when none is left. Events of other kinds are dropped.
bool TakePress(ClassZInput* input, uint8_t action, bool withRepeat);
// A menu's change of the music or the effect volume (0-64 in steps of 16): direction -1
// or 1 one step down or up, stopping at the ends; 0 one step up, above 64 back to 0. The
// sound wrapper takes the new volume, and all sound is off while both volumes are 0.
void ChangeVolume(MAINDATA& data, bool music, int32_t direction);

// ---------------------------------------------------------------------------------------
// Input words. Words 0-11 are key timers: 0 while released, 1 on the first frame after
// the press, then the elapsed time counts down from 200 to 2; the frame that sees 2 is a
// repeat, after which it counts down from 100 to 2 again.

enum : uint32_t {
  KEYWORD_UP = 0,  // the button list's four directions
  KEYWORD_DOWN = 1,
  KEYWORD_LEFT = 2,
  KEYWORD_RIGHT = 3,
  KEYWORD_TURNLEFT = 4,  // the configured keys of the eight actions
  KEYWORD_TURNRIGHT = 5,
  KEYWORD_FASTDROP = 6,
  KEYWORD_PAUSE = 7,
  KEYWORD_TURN = 8,
  KEYWORD_MOVEDOWN = 9,
  KEYWORD_MOVELEFT = 10,
  KEYWORD_MOVERIGHT = 11,
  KEYWORD_TIMERS = 12,
  KEYWORD_STYLUS = 16,  // 0 up, 1 just pressed, 2 held
  KEYWORD_STYLUSX = 18,
  KEYWORD_STYLUSY = 19,
  KEYWORD_WHEEL = 20,
  KEYWORD_Y = 21,         // button Y: 1 pressed, 2 released
  KEYWORD_LASTCODE = 31,  // the last button pressed during the frame, 0 when none
  KEYWORD_COUNT = 32,
};

// A button press (down) or release of `code`: starts or stops every key timer the code
// stands for (the list's directions 4-7 and extra directions 8-9 as the configuration's
// direction routing says, the eight configured action keys), sets the Y word, and on a
// press remembers the code as the last one.
void KeyWordsButton(int32_t* words, const GAMECONFIG& cfg, const ZBUTTONLIST& buttons,
                    uint32_t code, bool down);
// Once a frame, after the module ran: 1 becomes 200, 2 becomes 100, a value above 2 loses
// the elapsed time but stops at 2; 0 and negative values stay. The stylus word's 1
// becomes 2.
void KeyWordsStep(int32_t* words, uint32_t elapsed);

// ---------------------------------------------------------------------------------------
// Modules. A module is called once a frame with the status it last left; it switches to
// another screen by writing the new index through next and 1 through status, and ends the
// program by writing an index above 9 (MODULE_QUIT).

enum : uint32_t {
  MODULE_RUN = 0,
  MODULE_ENTER = 1,     // reset the screen, then set the status to 0
  MODULE_RESTORE = 2,   // after a minimise; given through a separate status variable
  MODULE_MINIMIZE = 3,  // a module asks the shell to minimise
  MODULE_ATTACH = 0x7FFF,  // keys carries the MAINDATA*, next is null, elapsed 0
  MODULE_SLOTS = 10,
  MODULE_QUIT = 0xFFFF,
};

// (application object, back buffer, next module, status, input words, elapsed ms)
using MODULEFUNCTION = void (*)(void* main, Z2DSurface& backbuffer, uint32_t* next,
                                uint32_t* status, int32_t* keys, uint32_t elapsed);

class GameModules {
 public:
  // Calls every filled entry in table order with status attach; the one status variable
  // given serves every call (the console overlay is attached with it afterwards).
  void Attach(void* main, Z2DSurface& empty, MAINDATA* data, uint32_t* status);
  // True once the index is above 9: the shell saves the configuration and quits instead
  // of running a module.
  bool Ended() const { return index >= MODULE_SLOTS; }
  // Runs the current module with the shell's status. An empty entry sets the index to
  // MODULE_QUIT instead (the program ends the frame after).
  void Run(void* main, Z2DSurface& backbuffer, int32_t* keys, uint32_t elapsed);
  // Calls the current module (when its entry is filled) with status restore through a
  // variable of its own, so the shell's status stays as it was; elapsed 0.
  void Restore(void* main, Z2DSurface& backbuffer, int32_t* keys);
  // True when the module asked to minimise; the status is back at 0 then.
  bool TakeMinimizeRequest();

  MODULEFUNCTION table[MODULE_SLOTS] = {};
  uint32_t index = 0;
  uint32_t status = MODULE_ENTER;
};
