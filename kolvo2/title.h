// ClassTitle: the title screen (module 1). The main menu ("Classic game" ... "Quit")
// starts a game in the chosen mode, and leads to the options, the key assignment of the
// eight game actions, the high-score view with its submission codes, the scrolling
// credits and the closing screen before the program ends. It also registers the game's
// key mapping with the input object (UpdateMappings).
//
// Menus share one behaviour: up and down presses (repeats too) and the wheel move the
// selection with wrap-around, a fresh press of select (action 196) takes the item, the
// turning cube marks the selected item. Options and the key assignment ask for a save
// of "Kolvo2.cfg" when left with "Done".
#pragma once

#include <cstdint>

#include "kolvo2/game_records.h"

class ClassZInput;

enum : uint32_t {
  TITLE_MENU = 0,
  TITLE_FADEIN = 1,
  TITLE_KEYS = 2,
  TITLE_TOGAME = 3,
  TITLE_TOCLOSING = 4,
  TITLE_CLOSING = 5,
  TITLE_HIGHSCORES = 6,
  TITLE_OPTIONS = 7,
  TITLE_CREDITS = 8,
};

// What ProcessHighscores asks the title screen to do.
enum : uint32_t {
  HS_STAY = 0,
  HS_BACK = 1,
  HS_SUBMIT_CLASSIC = 2,
  HS_SUBMIT_MANIAC = 3,
  HS_ERASE = 4,
  HS_EXIT = 5,
};

class ClassTitle {
 public:
  static constexpr uint32_t MENU_NONE = 9;
  static constexpr uint32_t MENU_ITEMS = 9;
  static constexpr uint32_t ITEM_TEXT = 32;
  static constexpr uint32_t CODE_SIZE = 32;
  static constexpr uint32_t CREDIT_LINES = 29;
  enum : uint32_t { MAIN = 0, OPTIONS = 1, KEYS = 2, TOOLS = 3 };

  struct MENU {
    uint8_t count;
    char text[MENU_ITEMS][ITEM_TEXT];
  };

  ClassTitle();

  void Manage(Z2DSurface& backbuffer, uint32_t* next, uint32_t* status, int32_t* keys,
              uint32_t elapsed);
  bool ProcessFadeIn(Z2DSurface& backbuffer, uint32_t elapsed);
  bool ProcessFadeOut(Z2DSurface& backbuffer, uint32_t elapsed);
  // The main menu: the item taken, or MENU_NONE.
  uint32_t ProcessOptionSelect(Z2DSurface& backbuffer);
  // The options: the item for Manage to act on (2-7), or MENU_NONE.
  uint32_t ProcessSettings(Z2DSurface& backbuffer);
  // The key assignment: 1 once "Done" was taken.
  uint32_t ProcessKeyAssign(Z2DSurface& backbuffer);
  void ProcessCredits(Z2DSurface& backbuffer);
  // The high-score view: HS_*.
  uint32_t ProcessHighscores(Z2DSurface& backbuffer);
  // Clears the input, then maps each game action to its key of the configuration.
  void UpdateMappings();
  // -1 for a queued up press, 1 for down, else the wheel's direction once a frame.
  int32_t LastMovedV();
  int32_t LastMovedH();
  bool PressedKey(uint8_t action, bool withRepeat);
  // The submission codes of the four tables from their best scores; a code that cannot
  // be made is left empty.
  void EncodeCodes();

  static const char* const kCredits[CREDIT_LINES];
  static constexpr const char* kScoreSite = "www.kolvo2.example/scores";

  MAINDATA* maindata = nullptr;
  MENU menus[4] = {};
  int32_t selection = 0;
  uint32_t hstab = 0;  // 0 Classic, 1 Maniac, 2 Tools
  uint32_t state = TITLE_FADEIN;
  uint32_t statetimer = 0;
  int32_t wheellatch = 0;
  char codes[4][CODE_SIZE] = {};

 private:
  ClassZInput* Input() const;
  void PlaySfx();
  // Moves the selection of a menu of count items; true when it moved.
  void Navigate(uint32_t count);
  // The item under the stylus (menu rows of 20 pixels from top): held or tapped. Returns
  // the item taken by a tap, or -1.
  int32_t MenuStylus(int32_t top, uint32_t count);
  void DrawMenu(Z2DSurface& backbuffer, const MENU& menu, int32_t top);
  // The backdrop, then DrawMenu's pixels, the items kept from an earlier frame when alike.
  void DrawMenuOverBackDrop(Z2DSurface& backbuffer, const MENU& menu, int32_t top);
  void DrawItem(Z2DSurface& backbuffer, int32_t x, int32_t y, const char* text, bool selected);
  void SettingsTexts();
  void DrawHighscores(Z2DSurface& backbuffer);
  void EraseTables();
};
