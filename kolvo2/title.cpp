// The title screen: the main menu, its fades, the options, the key assignment, the
// credits and the closing screen. The high-score view is in title_highscores.cpp.
#include "kolvo2/title.h"

#include <cstdio>
#include <cstring>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"

namespace {

constexpr uint32_t kFadeMs = ClassGraphics::FADE_MS;
constexpr int32_t kItemX = 84, kItemPitch = 20, kKeysTop = 46;
constexpr uint32_t kGrey = 0x808080, kHeading = 0x2060FF;

// The top of a menu of n items (the key assignment starts higher).
int32_t MenuTop(uint32_t n) { return 136 - 10 * static_cast<int32_t>(n); }

const char* const kMainItems[] = {"Classic game", "Maniac game", "Options", "Customize controls",
                                  "View highscores", "Credits", "Quit"};
// The main menu's items in the order of kMainItems. The two games come first, in the order
// of GAMECONFIG::mode, so the item taken is the mode.
enum : int32_t {
  kMainClassic = 0,
  kMainManiac = 1,
  kMainOptions = 2,
  kMainControls = 3,
  kMainHighscores = 4,
  kMainCredits = 5,
  kMainQuit = 6,
};
const char* const kKeyItems[] = {"Move left", "Move right", "Move down", "Turn", "Turn left",
                                 "Turn right", "Fast drop", "Pause", "Done"};
// The key assignment lists the game actions, then "Done".
constexpr int32_t kKeysDone = int32_t(GAME_ACTIONS);
const char* const kToolItems[] = {"Submit online Classic", "Submit online Maniac",
                                  "Erase highscores", "Exit"};

enum : uint32_t {
  kMusic = 0,
  kSound = 1,
  kStartLevel = 2,
  kShadow = 3,
  kGrid = 4,
  kFps = 5,
  kDefaultKeys = 6,
  kDone = 7,
  kOptionCount = 8,
};

template <size_t N>
void SetMenu(ClassTitle::MENU& menu, const char* const (&items)[N]) {
  menu.count = static_cast<uint8_t>(N);
  for (size_t i = 0; i < N; ++i) std::snprintf(menu.text[i], ClassTitle::ITEM_TEXT, "%s", items[i]);
}

}  // namespace

const char* const ClassTitle::kCredits[CREDIT_LINES] = {
    "KOLVO 2 CREDITS",
    "",
    "Programming",
    "The kolvo2 team",
    "",
    "Graphics",
    "Drawn by our own code",
    "",
    "Music",
    "Unknown Artist",
    "",
    "Testing",
    "The kolvo2 team",
    "",
    "Used engines",
    "Qorra Sound System",
    "Zolt",
    "",
    "@",  // the game's logo, over this line and the two below
    "",
    "",
    "",
    "Thanks for playing!",
    "",
    "",
    "",
    "All rights reserved",
    "The kolvo2 team",
    "www.kolvo2.example",
};

ClassTitle::ClassTitle() {
  SetMenu(menus[MAIN], kMainItems);
  menus[OPTIONS].count = kOptionCount;
  SetMenu(menus[KEYS], kKeyItems);
  SetMenu(menus[TOOLS], kToolItems);
}

ClassZInput* ClassTitle::Input() const { return InputOf(maindata); }

void ClassTitle::PlaySfx() {
  if (maindata && maindata->sound) maindata->sound->PlaySfx(1);
}

bool ClassTitle::PressedKey(uint8_t action, bool withRepeat) {
  return TakePress(Input(), action, withRepeat);
}

int32_t ClassTitle::LastMovedV() {
  if (PressedKey(MENU_UP, true)) return -1;
  if (PressedKey(MENU_DOWN, true)) return 1;
  if (wheellatch != 0) return 0;
  ClassZInput* input = Input();
  const int32_t wheel = input ? input->GetWheelScroll() : 0;
  wheellatch = wheel ? wheel : -1;
  return wheel > 0 ? -1 : wheel < 0 ? 1 : 0;
}

int32_t ClassTitle::LastMovedH() {
  if (PressedKey(MENU_LEFT, true)) return -1;
  if (PressedKey(MENU_RIGHT, true)) return 1;
  return 0;
}

void ClassTitle::UpdateMappings() {
  ClassZInput* input = Input();
  if (!input || !maindata->cfg) return;
  input->ResetState();
  input->ResetEvents();
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) input->RemoveActionMapping(a);
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) input->AddKeyMapping(a, CfgKey(*maindata->cfg, a));
}

void ClassTitle::Navigate(uint32_t count) {
  for (int32_t d; (d = LastMovedV()) != 0;) {
    selection = (selection + d + static_cast<int32_t>(count)) % static_cast<int32_t>(count);
    PlaySfx();
  }
}

int32_t ClassTitle::MenuStylus(int32_t top, uint32_t count) {
  ClassZInput* input = Input();
  if (!input) return -1;
  auto item = [&](int32_t y) {
    return y >= top && y < top + kItemPitch * static_cast<int32_t>(count) ? (y - top) / kItemPitch : -1;
  };
  int32_t x, y;
  input->GetClickPosition(x, y);
  if (input->ClickHold(0) && item(y) >= 0 && item(y) != selection) {
    selection = item(y);
    PlaySfx();
  }
  Z_INPUTEVENT e;
  while (input->GetClickEvent(&e)) {
    if (e.type < ZINPUT_DOWN || e.type > ZINPUT_REPEAT || item(e.y) < 0) continue;
    if (item(e.y) != selection) PlaySfx();
    selection = item(e.y);
    if (e.type == ZINPUT_DOWN) {
      PlaySfx();
      return selection;
    }
  }
  return -1;
}

void ClassTitle::DrawItem(Z2DSurface& bb, int32_t x, int32_t y, const char* text, bool selected) {
  ClassGraphics& gfx = *maindata->gfx;
  if (selected)
    gfx.DrawGameFont(bb, x, y, text);
  else
    gfx.DrawGameFontColor(bb, x, y, text, kGrey);
}

void ClassTitle::DrawMenu(Z2DSurface& bb, const MENU& menu, int32_t top) {
  ClassGraphics& gfx = *maindata->gfx;
  const int32_t half = static_cast<int32_t>(gfx.GetFontHeight()) / 2;
  for (int32_t i = 0; i < menu.count; ++i) {
    const int32_t y = top + kItemPitch * i;
    DrawItem(bb, kItemX, y, menu.text[i], i == selection);
    if (i == selection) gfx.DrawCube(bb, -96, y + half - 120, static_cast<int32_t>(statetimer / 16));
  }
}

// ---------------------------------------------------------------------------------------

void ClassTitle::Manage(Z2DSurface& bb, uint32_t* next, uint32_t* status, int32_t* keys,
                        uint32_t elapsed) {
  switch (*status) {
    case MODULE_ATTACH:
      maindata = reinterpret_cast<MAINDATA*>(keys);
      return;
    case MODULE_ENTER:
      statetimer = 0;
      state = TITLE_FADEIN;
      selection = 0;
      UpdateMappings();
      maindata->gfx->LoadBackDrop("title.bmp");
      maindata->sound->PlayBgm(1);
      *status = MODULE_RUN;
      return;
    case MODULE_RUN:
      break;
    default:
      return;
  }
  wheellatch = 0;
  if (state != TITLE_FADEIN && state != TITLE_TOGAME && state != TITLE_TOCLOSING)
    statetimer += elapsed;
  ClassZInput* input = Input();
  GAMECONFIG& cfg = *maindata->cfg;
  switch (state) {
    case TITLE_FADEIN:
      if (ProcessFadeIn(bb, elapsed)) state = TITLE_MENU;
      break;
    case TITLE_MENU:
      switch (const uint32_t item = ProcessOptionSelect(bb)) {
        case kMainClassic:
        case kMainManiac:
          cfg.mode = static_cast<uint8_t>(item);
          state = TITLE_TOGAME;
          statetimer = 0;
          break;
        case kMainControls:
          if (input) input->ResetState();
          selection = kKeysDone;
          state = TITLE_KEYS;
          break;
        case kMainHighscores:
          if (input) input->ResetState();
          EncodeCodes();
          hstab = 0;
          selection = 0;
          state = TITLE_HIGHSCORES;
          break;
        case kMainCredits:
          state = TITLE_CREDITS;
          statetimer = 0;
          break;
        case kMainQuit:
          state = TITLE_TOCLOSING;
          statetimer = 0;
          maindata->sound->StopBgm();
          break;
        default:
          break;
      }
      break;
    case TITLE_TOGAME:
      if (ProcessFadeOut(bb, elapsed)) {
        *next = 2;
        *status = MODULE_ENTER;
      }
      break;
    case TITLE_TOCLOSING:
      if (ProcessFadeOut(bb, elapsed)) {
        maindata->gfx->LoadBackDrop("upcoming.bmp");
        maindata->hidefps = 1;
        statetimer = 0;
        state = TITLE_CLOSING;
      }
      break;
    case TITLE_CLOSING: {
      ClassGraphics& gfx = *maindata->gfx;
      gfx.DrawBackDrop(bb);
      if (statetimer < kFadeMs) {
        gfx.ScreenAlpha(bb, 0, static_cast<uint8_t>(255 - statetimer * 255 / kFadeMs));
        break;
      }
      bool leave = PressedKey(MENU_SELECT, false) || PressedKey(MENU_SELECT2, false);
      Z_INPUTEVENT e;
      while (input && !leave && input->GetClickEvent(&e)) leave = e.type == ZINPUT_DOWN;
      if (leave) *next = MODULE_QUIT;
      break;
    }
    case TITLE_OPTIONS:
      switch (const uint32_t item = ProcessSettings(bb)) {
        case kStartLevel:
          cfg.startlevel = static_cast<uint8_t>(cfg.startlevel >= CFG_START_LEVEL_MAX ? 1 : cfg.startlevel + 1);
          break;
        case kShadow:
        case kGrid:
        case kFps: {
          uint8_t& flag = item == kShadow ? cfg.shadow : item == kGrid ? cfg.gridoff : cfg.showfps;
          flag = flag ? 0 : 1;
          break;
        }
        case kDefaultKeys:
          if (input) input->ResetState();
          maindata->console->AskConfirm("Reset key mappings?");
          break;
        case kDone:
          if (input) input->ResetState();
          selection = kMainOptions;
          state = TITLE_MENU;
          maindata->saverequest = 1;
          break;
        default:
          break;
      }
      break;
    case TITLE_KEYS:
      if (ProcessKeyAssign(bb) == 1) {
        selection = kMainControls;
        state = TITLE_MENU;
      }
      break;
    case TITLE_HIGHSCORES:
      switch (ProcessHighscores(bb)) {
        case HS_BACK:
        case HS_EXIT:
          selection = kMainHighscores;
          state = TITLE_MENU;
          break;
        case HS_SUBMIT_CLASSIC:
        case HS_SUBMIT_MANIAC:
          // A table whose best score has no code has nothing to submit.
          if (codes[selection][0]) maindata->console->AskConfirm("Open internet?");
          break;
        case HS_ERASE:
          maindata->console->AskConfirm("Are you sure?");
          break;
        default:
          break;
      }
      break;
    case TITLE_CREDITS:
      ProcessCredits(bb);
      break;
    default:
      break;
  }
}

bool ClassTitle::ProcessFadeIn(Z2DSurface& bb, uint32_t elapsed) {
  return maindata->gfx->FadeInBackDrop(bb, statetimer, elapsed);
}

bool ClassTitle::ProcessFadeOut(Z2DSurface& bb, uint32_t elapsed) {
  return maindata->gfx->FadeOutBackDrop(bb, statetimer, elapsed);
}

uint32_t ClassTitle::ProcessOptionSelect(Z2DSurface& bb) {
  const MENU& menu = menus[MAIN];
  const int32_t top = MenuTop(menu.count);
  maindata->gfx->DrawBackDrop(bb);
  Navigate(menu.count);
  int32_t taken = -1;
  if (PressedKey(MENU_SELECT, false)) {
    PlaySfx();
    taken = selection;
  }
  const int32_t tapped = MenuStylus(top, menu.count);
  if (taken < 0 && tapped >= 0) taken = tapped;
  DrawMenu(bb, menu, top);
  if (taken == kMainOptions) {
    if (tapped == kMainOptions)
      if (ClassZInput* input = Input()) input->ResetState();
    state = TITLE_OPTIONS;
    selection = 0;
    return MENU_NONE;
  }
  return taken < 0 ? MENU_NONE : static_cast<uint32_t>(taken);
}

void ClassTitle::SettingsTexts() {
  const GAMECONFIG& cfg = *maindata->cfg;
  MENU& menu = menus[OPTIONS];
  auto onoff = [](bool on) { return on ? "enabled" : "disabled"; };
  VolumeText(menu.text[kMusic], ITEM_TEXT, "Music: ", cfg.musicvolume);
  VolumeText(menu.text[kSound], ITEM_TEXT, "Sound: ", cfg.sfxvolume);
  std::snprintf(menu.text[kStartLevel], ITEM_TEXT, "Start level: %u", cfg.startlevel);
  std::snprintf(menu.text[kShadow], ITEM_TEXT, "Shadow: %s", onoff(cfg.shadow));
  std::snprintf(menu.text[kGrid], ITEM_TEXT, "Grid: %s", onoff(!cfg.gridoff));
  std::snprintf(menu.text[kFps], ITEM_TEXT, "FPS: %s", onoff(cfg.showfps));
  std::snprintf(menu.text[kDefaultKeys], ITEM_TEXT, "Default keys");
  std::snprintf(menu.text[kDone], ITEM_TEXT, "Done");
}

uint32_t ClassTitle::ProcessSettings(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  ClassConsole& console = *maindata->console;
  GAMECONFIG& cfg = *maindata->cfg;
  const MENU& menu = menus[OPTIONS];
  const int32_t top = MenuTop(kOptionCount);
  SettingsTexts();
  gfx.DrawBackDrop(bb);
  auto draw = [&] {
    for (int32_t i = 0; i < menu.count; ++i) gfx.DrawGameFont(bb, kItemX, top + kItemPitch * i, menu.text[i]);
    DrawMenu(bb, menu, top);
  };
  if (console.Busy() != CONSOLE_IDLE) {
    if (console.Busy() == CONSOLE_YES) {
      for (uint8_t a = 0; a < GAME_ACTIONS; ++a) CfgKey(cfg, a) = CfgDefaultKey(a, maindata->buttons);
      UpdateMappings();
      console.SetIdle();
    }
    draw();
    return MENU_NONE;
  }
  Navigate(kOptionCount);
  int32_t taken = MenuStylus(top, kOptionCount);
  if (const int32_t d = LastMovedH()) {
    if (selection == kMusic) {
      ChangeVolume(*maindata, true, d);
    } else if (selection == kSound) {
      ChangeVolume(*maindata, false, d);
      PlaySfx();
    } else if (selection == kStartLevel) {
      const int32_t level = cfg.startlevel + d;
      if (level >= 1 && level <= static_cast<int32_t>(CFG_START_LEVEL_MAX)) {
        cfg.startlevel = static_cast<uint8_t>(level);
        PlaySfx();
      }
    }
  }
  if (taken < 0 && PressedKey(MENU_SELECT, false)) {
    PlaySfx();
    taken = selection;
  }
  uint32_t result = MENU_NONE;
  if (taken == kMusic || taken == kSound)
    ChangeVolume(*maindata, taken == kMusic, 0);
  else if (taken >= 0)
    result = static_cast<uint32_t>(taken);
  SettingsTexts();
  draw();
  return result;
}

uint32_t ClassTitle::ProcessKeyAssign(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  ClassConsole& console = *maindata->console;
  GAMECONFIG& cfg = *maindata->cfg;
  ClassZInput* input = Input();
  uint32_t result = 0;
  gfx.DrawBackDrop(bb);
  if (console.Busy() != CONSOLE_IDLE) {
    const uint32_t key = input ? input->GetLastKey() : 0;
    if (selection >= 0 && selection < static_cast<int32_t>(GAME_ACTIONS) && key != 0) {
      // The key moves to the chosen action; an action that had it takes the old key.
      const uint8_t chosen = static_cast<uint8_t>(selection);
      const uint32_t old = CfgKey(cfg, chosen);
      for (uint8_t a = 0; a < GAME_ACTIONS; ++a)
        if (a != chosen && CfgKey(cfg, a) == key) CfgKey(cfg, a) = old;
      CfgKey(cfg, chosen) = key;
      console.SetIdle();
    }
  } else {
    Navigate(menus[KEYS].count);
    int32_t taken = MenuStylus(kKeysTop, menus[KEYS].count);
    if (taken < 0 && PressedKey(MENU_SELECT, false)) taken = selection;
    if (taken >= 0 && taken < static_cast<int32_t>(GAME_ACTIONS)) {
      console.OpenSetkey(static_cast<uint8_t>(taken));
      PlaySfx();
    } else if (taken == kKeysDone) {
      UpdateMappings();
      maindata->saverequest = 1;
      PlaySfx();
      result = 1;
    }
  }
  DrawMenu(bb, menus[KEYS], kKeysTop);
  const int32_t w = static_cast<int32_t>(gfx.GetFontWidth("Up = Rotate "));
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) {
    char name[32] = "";
    if (input) input->GetKeyName(static_cast<int32_t>(CfgKey(cfg, a)), name, sizeof name);
    const int32_t y = kKeysTop + kItemPitch * a;
    DrawItem(bb, kItemX + w, y, ":", a == selection);
    DrawItem(bb, kItemX + 8 + w, y, name, a == selection);
  }
  return result;
}

void ClassTitle::ProcessCredits(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  ClassZInput* input = Input();
  const int32_t H = static_cast<int32_t>(gfx.GetFontHeight()) + 2;
  const uint32_t length = static_cast<uint32_t>(CREDIT_LINES * (H - 2) + 240);
  if (statetimer / 32 >= length) statetimer = 0;  // from below again
  const int32_t scroll = static_cast<int32_t>(statetimer / 32);

  gfx.DrawBackDrop(bb);
  gfx.PrepareCreditMask(bb);
  tagRECT window, all;
  SetRect(&window, 0, 64, 320, 224);
  bb.GetClipper(&all);
  bb.SetClipper(&window);
  for (uint32_t j = 0; j < CREDIT_LINES; ++j) {
    const int32_t y = 240 + static_cast<int32_t>(j) * (H - 2) - scroll;
    if (y <= 64 - 3 * H || y >= 224) continue;
    const char* line = kCredits[j];
    if (line[0] == '@')
      gfx.DrawLogo(bb, 80, y);
    else if (j == 0 || kCredits[j - 1][0] == 0)
      gfx.DrawGameFontColor(bb, 80, y, line, kHeading);
    else
      gfx.DrawGameFont(bb, 80, y, line);
  }
  bb.SetClipper(&all);
  gfx.BlendCreditMask(bb);
  const int32_t rows = (3 * H - 6) / 2;
  for (int32_t j = 0; j < rows; ++j)
    gfx.DrawAlphaBar(bb, 0, 239 - j, 320, 240 - j, 0,
                     static_cast<uint8_t>(255 - j * 255 / (rows > 1 ? rows - 1 : 1)));
  const char* version = "Version: 1.30";
  gfx.DrawGameFont(bb, 160 - static_cast<int32_t>(gfx.GetFontWidth(version)) / 2, 242 - H, version);

  if (!input) return;
  bool leave = false;
  Z_INPUTEVENT e;
  while (input->GetClickEvent(&e))
    if (e.type == ZINPUT_DOWN) {
      input->ResetState();
      leave = true;
      break;
    }
  while (!leave && input->GetKeyEvent(&e)) leave = e.type == ZINPUT_DOWN;
  if (leave) state = TITLE_MENU;
}
