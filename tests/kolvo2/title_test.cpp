// The title screen: the main menu's navigation and choices, the options, the key
// assignment, the credits, the high-score view's tools and the closing screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kolvo2/highscore_code.h"
#include "kolvo2/title.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

class Title : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(w.LoadGraphics());
    uint32_t attach = MODULE_ATTACH;
    title.Manage(w.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&w.data), 0);
    Enter();
  }
  void Enter() {
    WorkingDir in(KOLVO2_DATA_DIR);
    status = MODULE_ENTER;
    next = 1;
    title.Manage(w.screen, &next, &status, keys, 0);
    Frames(30);
    ASSERT_EQ(title.state, TITLE_MENU);
  }
  void Frame(uint32_t ms = 16) {
    WorkingDir in(KOLVO2_DATA_DIR);  // the closing screen loads its pictures
    title.Manage(w.screen, &next, &status, keys, ms);
    uint32_t s = status;
    w.console.Manage(&w.screen, &next, &s, keys, ms);
    w.EndFrame(ms);
  }
  void Frames(uint32_t n, uint32_t ms = 16) {
    for (uint32_t i = 0; i < n; ++i) Frame(ms);
  }
  void Press(uint32_t button) {
    w.Tap(button);
    Frame();
  }
  void Presses(const std::vector<uint32_t>& buttons) {
    for (uint32_t b : buttons) Press(b);
  }
  // Held for ms, in frames of 16 ms, then released.
  void Hold(uint32_t button, uint32_t ms) {
    w.input.OnKeyDown(button);
    for (uint32_t t = 0; t < ms; t += 16) Frame();
    w.input.OnKeyUp(button);
    Frame();
  }
  // From the main menu to an item and into it.
  void Open(int32_t item) {
    title.selection = item;
    Press(ZBUTTON_B);
  }

  GameWorld w;
  ClassTitle title;
  uint32_t next = 1, status = MODULE_RUN;
  int32_t keys[KEYWORD_COUNT] = {};
};

TEST_F(Title, TheMainMenuWrapsAtBothEnds) {
  struct Case {
    int32_t from;
    uint32_t button;
    int32_t to;
  } cases[] = {{0, ZBUTTON_UP, 6}, {6, ZBUTTON_DOWN, 0}, {3, ZBUTTON_DOWN, 4}, {3, ZBUTTON_UP, 2}};
  for (const Case& c : cases) {
    title.selection = c.from;
    Press(c.button);
    EXPECT_EQ(title.selection, c.to) << c.from;
    EXPECT_EQ(title.state, TITLE_MENU);
  }
}

// The main menu is drawn from a kept copy of the backdrop and its items while neither
// changes: every selection, over a whole turn of the cube and after moves both ways, gives
// the pixels of the backdrop with the items drawn in order and the cube after its own.
TEST_F(Title, TheKeptMainMenuGivesThePixelsOfTheMenuDrawnInOrder) {
  ClassGraphics& gfx = w.gfx;
  Z2DSurface expected;
  ASSERT_EQ(w.engine.display.CreateSurface(&expected, 320, 240, 0), Z2D_OK);
  const ClassTitle::MENU& menu = title.menus[0];
  const int32_t top = 136 - 10 * menu.count, half = int32_t(gfx.GetFontHeight()) / 2;
  int compared = 0;
  for (int32_t sel = 0; sel < menu.count; ++sel) {
    title.selection = sel;
    for (int step = 0; step < 40; ++step) {
      const uint32_t ms = step % 7 == 0 ? 600 : 16;  // long frames too: the cube turns round
      title.Manage(w.screen, &next, &status, keys, ms);
      ASSERT_EQ(title.state, TITLE_MENU);
      gfx.DrawBackDrop(expected);
      for (int32_t i = 0; i < menu.count; ++i) {
        const int32_t y = top + 20 * i;
        if (i == sel) gfx.DrawGameFont(expected, 84, y, menu.text[i]);
        else gfx.DrawGameFontColor(expected, 84, y, menu.text[i], 0x808080);
        if (i == sel) gfx.DrawCube(expected, -96, y + half - 120, int32_t(title.statetimer / 16));
      }
      for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
          ASSERT_EQ(w.Pixel(x, y), expected.GetPixel(x, y)) << sel << " " << step << " at " << x << "," << y;
          ++compared;
        }
      w.EndFrame(ms);
    }
  }
  EXPECT_GT(compared, 0);
}

TEST_F(Title, AHeldKeyRepeatsTheMovesButNeverTheChoice) {
  title.selection = 0;
  Hold(ZBUTTON_DOWN, 1000);
  EXPECT_EQ(title.selection, (1 + 7) % 7) << "one move and seven repeats in a second";
  // B held on "Options" opens them once; its repeats do not take "Music".
  title.selection = 2;
  Hold(ZBUTTON_B, 1000);
  EXPECT_EQ(title.state, TITLE_OPTIONS);
  EXPECT_EQ(title.selection, 0);
  EXPECT_EQ(w.cfg.musicvolume, 32);
}

TEST_F(Title, ClassicAndManiacSetTheModeAndFadeToTheGame) {
  for (const int32_t item : {1, 0}) {
    Enter();
    Open(item);
    EXPECT_EQ(title.state, TITLE_TOGAME);
    EXPECT_EQ(w.cfg.mode, item);
    Frames(1, 399);
    EXPECT_EQ(next, 1u);
    Frames(1, 1);
    EXPECT_EQ(next, 2u);
    EXPECT_EQ(status, MODULE_ENTER);
  }
}

TEST_F(Title, OptionsKeepTheStartLevelWithinOneToNine) {
  struct Case {
    uint8_t start;
    uint32_t button;
    uint8_t after;
  } cases[] = {{1, ZBUTTON_LEFT, 1}, {9, ZBUTTON_RIGHT, 9}, {9, ZBUTTON_B, 1},
               {5, ZBUTTON_RIGHT, 6}, {5, ZBUTTON_LEFT, 4},  {1, ZBUTTON_B, 2}};
  Open(2);
  for (const Case& c : cases) {
    w.cfg.startlevel = c.start;
    title.selection = 2;
    Press(c.button);
    EXPECT_EQ(w.cfg.startlevel, c.after) << int(c.start);
  }
}

TEST_F(Title, OptionsToggleTheirSettingsAndDoneAsksForASave) {
  Open(2);
  struct Case {
    int32_t item;
    uint8_t GAMECONFIG::*field;
  } cases[] = {{3, &GAMECONFIG::shadow}, {4, &GAMECONFIG::gridoff}, {5, &GAMECONFIG::showfps}};
  for (const Case& c : cases) {
    title.selection = c.item;
    const uint8_t before = w.cfg.*c.field;
    Press(ZBUTTON_B);
    EXPECT_EQ(w.cfg.*c.field, before ? 0 : 1) << c.item;
    Press(ZBUTTON_B);
    EXPECT_EQ(w.cfg.*c.field, before) << c.item;
  }
  EXPECT_EQ(w.data.saverequest, 0);
  Presses({ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_B});  // from "FPS" past "Default keys" to "Done"
  EXPECT_EQ(title.state, TITLE_MENU);
  EXPECT_EQ(title.selection, 2);
  EXPECT_EQ(w.data.saverequest, 1);
}

TEST_F(Title, DefaultKeysAskFirstAndNoChangesNothing) {
  const uint32_t custom[GAME_ACTIONS] = {ZBUTTON_L, ZBUTTON_R, ZBUTTON_SELECT, ZBUTTON_A,
                                         ZBUTTON_X, ZBUTTON_Y, ZBUTTON_B,      ZBUTTON_UP};
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) CfgKey(w.cfg, a) = custom[a];
  title.UpdateMappings();
  Open(2);
  title.selection = 6;
  Press(ZBUTTON_B);
  EXPECT_EQ(w.console.Busy(), CONSOLE_CONFIRM);
  Press(ZBUTTON_B);  // "No" is chosen first
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) EXPECT_EQ(CfgKey(w.cfg, a), custom[a]);

  Press(ZBUTTON_B);
  Press(ZBUTTON_LEFT);
  Press(ZBUTTON_B);  // yes
  Frame();
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  GAMECONFIG defaults;
  ResetCfg(defaults, &w.buttons);
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) EXPECT_EQ(CfgKey(w.cfg, a), CfgKey(defaults, a)) << int(a);
  // Registered at once: Start pauses again.
  w.Tap(ZBUTTON_START);
  EXPECT_EQ(w.input.GetKeyEvent(ACTION_PAUSE), ZINPUT_DOWN);
}

// The action a key is registered for comes from its place in the record: action 0 at
// byte 440, 1 at 444, 2 at 436, 3 at 432, 4 at 448, 5 at 452, 6 at 460, 7 at 456.
TEST_F(Title, EachActionTakesTheKeyAtItsPlaceInTheRecord) {
  const uint32_t offsets[GAME_ACTIONS] = {440, 444, 436, 432, 448, 452, 460, 456};
  const uint32_t keys8[GAME_ACTIONS] = {ZBUTTON_L, ZBUTTON_R, ZBUTTON_SELECT, ZBUTTON_A,
                                        ZBUTTON_X, ZBUTTON_Y, ZBUTTON_B,      ZBUTTON_VOLUP};
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a)
    std::memcpy(reinterpret_cast<uint8_t*>(&w.cfg) + offsets[a], &keys8[a], 4);
  title.UpdateMappings();
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a) {
    w.Tap(keys8[a]);
    for (uint8_t other = 0; other < GAME_ACTIONS; ++other)
      EXPECT_EQ(w.input.GetKeyEvent(other), other == a ? ZINPUT_DOWN : 0) << int(a) << " " << int(other);
    w.input.ResetEvents();
  }
  // The old keys no longer act: d-pad left was "Move left".
  w.Tap(ZBUTTON_LEFT);
  EXPECT_EQ(w.input.GetKeyEvent(ACTION_MOVELEFT), 0);
}

// Assigning a key that another action has swaps the two; never do two actions share one.
TEST_F(Title, AnAssignedKeySwapsWithTheActionThatHadIt) {
  const std::vector<uint32_t> buttons = {ZBUTTON_Y, ZBUTTON_DOWN, ZBUTTON_LEFT, ZBUTTON_RIGHT,
                                         ZBUTTON_B, ZBUTTON_A,    ZBUTTON_START, ZBUTTON_X, ZBUTTON_L};
  Open(3);
  ASSERT_EQ(title.state, TITLE_KEYS);
  EXPECT_EQ(title.selection, 8);  // "Done"
  for (uint8_t a = 0; a < GAME_ACTIONS; ++a)
    for (uint32_t key : buttons) {
      SCOPED_TRACE(::testing::Message() << "action " << int(a) << " key " << key);
      GAMECONFIG before = w.cfg;
      title.selection = a;
      Press(ZBUTTON_B);
      ASSERT_EQ(w.console.Busy(), CONSOLE_SETKEY);
      Press(key);
      ASSERT_EQ(w.console.Busy(), CONSOLE_IDLE);
      EXPECT_EQ(CfgKey(w.cfg, a), key);
      std::set<uint32_t> seen;
      for (uint8_t b = 0; b < GAME_ACTIONS; ++b) {
        EXPECT_TRUE(seen.insert(CfgKey(w.cfg, b)).second) << "shared by action " << int(b);
        if (b != a) {
          EXPECT_EQ(CfgKey(w.cfg, b), CfgKey(before, b) == key ? CfgKey(before, a) : CfgKey(before, b)) << int(b);
        }
      }
    }
  // "Done" registers the keys and asks for a save.
  title.selection = 8;
  Press(ZBUTTON_B);
  EXPECT_EQ(title.state, TITLE_MENU);
  EXPECT_EQ(title.selection, 3);
  EXPECT_EQ(w.data.saverequest, 1);
}

TEST_F(Title, TheCreditsStartBelowTheWindowEachTimeAndScrollRound) {
  Open(5);
  ASSERT_EQ(title.state, TITLE_CREDITS);
  Frames(1, 3000);
  Frame();
  const uint32_t window = w.Brightness(0, 64, 320, 224);
  Press(ZBUTTON_A);
  EXPECT_EQ(title.state, TITLE_MENU);
  EXPECT_EQ(title.selection, 5);
  Open(5);
  EXPECT_LT(title.statetimer, 100u);
  Frame();
  EXPECT_NE(w.Brightness(0, 64, 320, 224), window) << "the text starts below again";
  // 29 lines of 14 pixels and the window's 240, at a pixel per 32 ms: then from below.
  const uint32_t round = (29 * 14 + 240) * 32;
  title.statetimer = round - 16;
  Frame();
  EXPECT_LT(title.statetimer, 100u);
}

TEST_F(Title, TheClosingScreenWaitsFourHundredMillisecondsForAKey) {
  Open(6);
  EXPECT_EQ(title.state, TITLE_TOCLOSING);
  Frames(25);
  ASSERT_EQ(title.state, TITLE_CLOSING);
  EXPECT_EQ(w.data.hidefps, 1);
  Frames(1, 300);
  Press(ZBUTTON_A);
  EXPECT_EQ(next, 1u);
  Frames(1, 100);
  Press(ZBUTTON_START);  // not a select key
  EXPECT_EQ(next, 1u);
  Press(ZBUTTON_A);
  EXPECT_EQ(next, MODULE_QUIT);
}

TEST_F(Title, TheHighScoreTabsStopAtTheirEnds) {
  Open(4);
  ASSERT_EQ(title.state, TITLE_HIGHSCORES);
  EXPECT_EQ(title.hstab, 0u);
  Press(ZBUTTON_LEFT);
  EXPECT_EQ(title.hstab, 0u);
  Presses({ZBUTTON_RIGHT, ZBUTTON_RIGHT, ZBUTTON_RIGHT});
  EXPECT_EQ(title.hstab, 2u);
  Presses({ZBUTTON_UP});
  EXPECT_EQ(title.selection, 3) << "the tools wrap";
  Press(ZBUTTON_B);  // "Exit"
  EXPECT_EQ(title.state, TITLE_MENU);
  EXPECT_EQ(title.selection, 4);
  // On a table's tab either select key leaves.
  Open(4);
  Press(ZBUTTON_A);
  EXPECT_EQ(title.state, TITLE_MENU);
}

TEST_F(Title, AScoreOfTwoToThe31OrMoreShowsUnsignedInItsRow) {
  // The row of 3,000,000,000 against the same view with 0 in that row: where they differ
  // is the longer number, whose left end shows whether a sign was drawn.
  const int32_t Hp = static_cast<int32_t>(w.gfx.GetFontHeight()), L = Hp * 4 / 3;
  const int32_t y0 = 240 - 7 * L + L / 2 - Hp / 2;
  const int32_t right = static_cast<int32_t>(w.gfx.GetFontWidth("9999999")) + 40;
  auto row = [&](uint32_t score) {
    w.cfg.scores[0][0] = score;
    title.state = TITLE_MENU;
    Open(4);
    Frames(40);  // past the fade
    std::vector<uint32_t> pixels;
    for (int32_t y = y0; y < y0 + Hp; ++y)
      for (int32_t x = 0; x < right; ++x) pixels.push_back(w.Pixel(x, y));
    return pixels;
  };
  const std::vector<uint32_t> big = row(3000000000u), zero = row(0);
  int32_t left = right;
  for (size_t i = 0; i < big.size(); ++i)
    if (big[i] != zero[i]) left = std::min(left, static_cast<int32_t>(i % right));
  const int32_t start = right - static_cast<int32_t>(w.gfx.GetFontWidth("3000000000"));
  EXPECT_GE(left, start) << "drawn wider than the unsigned number";
  EXPECT_LT(left, start + static_cast<int32_t>(w.gfx.GetFontWidth("3")));
}

TEST_F(Title, ErasingTheTablesNeedsAYes) {
  w.cfg.scores[0][0] = 5000;
  std::strcpy(w.cfg.names[1][2], "Zed");
  Open(4);
  uint32_t t, score;
  ASSERT_TRUE(DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, score, title.codes[0]));
  EXPECT_EQ(t, 44u);
  EXPECT_EQ(score, 5000u);
  Presses({ZBUTTON_RIGHT, ZBUTTON_RIGHT, ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_B});
  EXPECT_EQ(w.console.Busy(), CONSOLE_CONFIRM);
  EXPECT_STREQ(w.console.Message(), "Are you sure?");
  Press(ZBUTTON_B);  // no
  EXPECT_EQ(w.cfg.scores[0][0], 5000u);
  EXPECT_EQ(w.data.saverequest, 0);
  Presses({ZBUTTON_B, ZBUTTON_LEFT, ZBUTTON_B});
  Frame();
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  for (uint32_t table = 0; table < 4; ++table)
    for (uint32_t r = 0; r < 3; ++r) EXPECT_EQ(w.cfg.scores[table][r], 300 - 100 * r);
  EXPECT_STREQ(w.cfg.names[1][2], "Player 3");
  EXPECT_EQ(w.data.saverequest, 1);
  ASSERT_TRUE(DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, score, title.codes[0]));
  EXPECT_EQ(score, 300u);
}

TEST_F(Title, ASubmissionAsksFirstAndStartsWithTheTablesCode) {
  Open(4);
  Presses({ZBUTTON_RIGHT, ZBUTTON_RIGHT, ZBUTTON_DOWN, ZBUTTON_B});  // "Submit online Maniac"
  EXPECT_STREQ(w.console.Message(), "Open internet?");
  Presses({ZBUTTON_LEFT, ZBUTTON_B});
  Frame();
  EXPECT_EQ(w.console.Busy(), CONSOLE_ONLINE);
  EXPECT_EQ(w.net.table, 1);
  EXPECT_STREQ(w.net.code, title.codes[1]);
  EXPECT_NE(std::string(title.codes[0]), title.codes[1]);
  // A best score no code can carry is never submitted.
  w.console.SetIdle();
  w.cfg.scores[0][0] = 0xFFFFFFFF;
  title.state = TITLE_MENU;
  Open(4);
  EXPECT_STREQ(title.codes[0], "");
  Presses({ZBUTTON_RIGHT, ZBUTTON_RIGHT, ZBUTTON_B});  // "Submit online Classic"
  EXPECT_EQ(title.selection, 0);
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
}

}  // namespace
