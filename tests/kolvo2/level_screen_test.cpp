// The level screen: its fade-in, the pause menu, the end of a game, the entry of a new
// high score through the console's keyboard queue, and the way back to the title.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kolvo2/level.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

class LevelScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(w.LoadGraphics());
    uint32_t attach = MODULE_ATTACH;
    level.Manage(w.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&w.data), 0);
    w.random.script = {1, 2, 3, 4, 5, 6};
    Enter();
  }
  void Enter() {
    WorkingDir in(KOLVO2_DATA_DIR);  // the side panel comes from the pack
    status = MODULE_ENTER;
    next = 2;
    level.Manage(w.screen, &next, &status, keys, 0);
  }
  // One frame of the shell: the screen, the overlay, then the events are gone.
  void Frame(uint32_t ms = 16) {
    level.Manage(w.screen, &next, &status, keys, ms);
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
  void Play() {
    Frames(30);
    ASSERT_EQ(level.state, LEVEL_PLAY);
  }
  // A well filled up to the spawn place: the next piece cannot come in.
  void Block() {
    for (uint32_t r = 5; r < ClassLevel::PLAY_ROWS; ++r)
      for (uint32_t c = 4; c < 14; ++c) level.field[r][c] = (r + c) % 2 ? 3 : 0;
    level.row = ClassLevel::NO_PIECE;
  }
  // A finished game with this score, at the start of the game-over picture.
  void GameOver(uint32_t score) {
    level.state = LEVEL_GAMEOVER;
    level.statetimer = 0;
    w.stats.score = score;
  }
  std::string Name(uint32_t table, uint32_t row) const { return std::string(w.cfg.names[table][row], 9).c_str(); }

  GameWorld w;
  ClassLevel level;
  uint32_t next = 2, status = MODULE_RUN;
  int32_t keys[KEYWORD_COUNT] = {};
};

TEST_F(LevelScreen, FadesInFromBlackThenPlays) {
  EXPECT_EQ(status, MODULE_RUN);
  EXPECT_EQ(level.state, LEVEL_FADEIN);
  EXPECT_EQ(w.stats.level, w.cfg.startlevel);
  Frame(0);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), 0u);
  Frames(1, 200);
  const uint32_t half = w.Brightness(0, 0, 320, 240);
  EXPECT_GT(half, 5u);
  Frames(1, 199);
  EXPECT_EQ(level.state, LEVEL_FADEIN);
  Frames(1, 1);
  EXPECT_EQ(level.state, LEVEL_PLAY);
  EXPECT_GT(w.Brightness(0, 0, 320, 240), half);
}

// The pause menu after Start: each case a list of presses and what it leaves.
TEST_F(LevelScreen, ThePauseMenuMovesChangesVolumesResumesAndQuits) {
  struct Case {
    const char* what;
    uint8_t music, sfx;
    std::vector<uint32_t> buttons;
    uint8_t selection, music_after, sfx_after, alloff;
    uint32_t state;
  } cases[] = {
      {"up from Resume wraps to Quit", 32, 32, {ZBUTTON_UP}, 3, 32, 32, 0, LEVEL_PAUSE},
      {"down from Quit wraps to Resume", 32, 32, {ZBUTTON_UP, ZBUTTON_DOWN}, 0, 32, 32, 0, LEVEL_PAUSE},
      {"right at 64 stays", 64, 32, {ZBUTTON_DOWN, ZBUTTON_RIGHT}, 1, 64, 32, 0, LEVEL_PAUSE},
      {"left at 0 stays", 0, 32, {ZBUTTON_DOWN, ZBUTTON_LEFT}, 1, 0, 32, 0, LEVEL_PAUSE},
      {"select on 64 gives off", 64, 32, {ZBUTTON_DOWN, ZBUTTON_B}, 1, 0, 32, 0, LEVEL_PAUSE},
      {"select on sound adds 16", 32, 48, {ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_B}, 2, 32, 64, 0, LEVEL_PAUSE},
      {"sound left", 32, 48, {ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_LEFT}, 2, 32, 32, 0, LEVEL_PAUSE},
      {"both off is all off", 16, 0, {ZBUTTON_DOWN, ZBUTTON_LEFT}, 1, 0, 0, 1, LEVEL_PAUSE},
      {"and back on", 0, 0, {ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_RIGHT}, 2, 0, 16, 0, LEVEL_PAUSE},
      {"resume", 32, 32, {ZBUTTON_B}, 0, 32, 32, 0, LEVEL_PLAY},
      {"quit ends the game", 32, 32, {ZBUTTON_UP, ZBUTTON_B}, 3, 32, 32, 0, LEVEL_GAMEOVER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Enter();
    Play();
    w.cfg.musicvolume = c.music;
    w.cfg.sfxvolume = c.sfx;
    w.cfg.alloff = 0;
    Press(ZBUTTON_START);
    ASSERT_EQ(level.state, LEVEL_PAUSE);
    EXPECT_EQ(level.pauseselection, 0);
    for (uint32_t b : c.buttons) Press(b);
    EXPECT_EQ(level.pauseselection, c.selection);
    EXPECT_EQ(w.cfg.musicvolume, c.music_after);
    EXPECT_EQ(w.cfg.sfxvolume, c.sfx_after);
    EXPECT_EQ(w.cfg.alloff, c.alloff);
    EXPECT_EQ(level.state, c.state);
    if (c.state == LEVEL_GAMEOVER) { EXPECT_EQ(level.statetimer, 0u); }
  }
}

TEST_F(LevelScreen, PauseDarkensThePlayPicture) {
  Play();
  const uint32_t playing = w.Brightness(30, 0, 170, 238);
  Press(ZBUTTON_START);
  Frame();
  EXPECT_LT(w.Brightness(30, 0, 170, 238), playing);
}

// The pause picture is the play picture darkened, whatever was moving on it: a row that
// is sliding out at that moment leaves no second copy of itself anywhere else.
TEST_F(LevelScreen, PausingWhileARowSlidesOutDarkensExactlyThePlayPicture) {
  Play();
  for (uint32_t c = 4; c < 14; ++c) level.field[23][c] = 1 + c % 7;
  level.rowclear[23] = 100;
  level.row = ClassLevel::NO_PIECE;
  level.redraw = 1;
  level.RenderAll(w.screen);
  Z2DSurface expected;
  w.engine.display.CreateSurface(&expected, 320, 240, 0);
  expected.BltFast(0, 0, &w.screen, nullptr, 0, 0);
  w.gfx.ScreenAlpha(expected, 0x400000, 128);

  level.Pause(w.screen);
  Z2DSurface* back = nullptr;
  w.gfx.GetBackSurface(back);
  uint32_t differ = 0;
  for (int32_t y = 0; y < 240; ++y)
    for (int32_t x = 0; x < 320; ++x) differ += back->GetPixel(x, y) != expected.GetPixel(x, y);
  EXPECT_EQ(differ, 0u);
}

// A Start press that waits in the very frame the game ends does not bring it back.
TEST_F(LevelScreen, APausePressInTheFrameAGameEndsIsNotTaken) {
  Play();
  Block();
  Press(ZBUTTON_START);
  EXPECT_EQ(level.state, LEVEL_GAMEOVER);
  Frames(5);
  EXPECT_EQ(level.state, LEVEL_GAMEOVER);
}

TEST_F(LevelScreen, RestoringAfterAMinimisePausesAGameInPlayOnly) {
  Play();
  uint32_t restore = MODULE_RESTORE;
  level.Manage(w.screen, &next, &restore, keys, 0);
  EXPECT_EQ(level.state, LEVEL_PAUSE);
  EXPECT_EQ(status, MODULE_RUN);
  GameOver(0);
  level.Manage(w.screen, &next, &restore, keys, 0);
  EXPECT_EQ(level.state, LEVEL_GAMEOVER);
}

// The game-over picture for a second, the name (if the score enters the table), then
// 400 ms to black and back to the title with the configuration saved.
TEST_F(LevelScreen, AGameEndsInTheTableAndGoesBackToTheTitleWithASave) {
  Play();
  Block();
  w.stats.score = 0;
  Frame();
  ASSERT_EQ(level.state, LEVEL_GAMEOVER);
  Frames(1, 998);  // the picture's first frame counts 1 ms
  EXPECT_EQ(level.state, LEVEL_GAMEOVER);
  Frames(1, 1);
  EXPECT_EQ(level.state, LEVEL_NAMEENTRY);
  Frame();  // 0 is below every default score: no entry
  EXPECT_EQ(level.state, LEVEL_FADEOUT);
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  Frames(1, 399);
  EXPECT_EQ(next, 2u);
  EXPECT_EQ(w.data.saverequest, 0);
  Frames(1, 1);
  EXPECT_EQ(next, 1u);
  EXPECT_EQ(status, MODULE_ENTER);
  EXPECT_EQ(w.data.saverequest, 1);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), 0u);
}

// Name entry: where the score goes, and what the typed characters make of the name.
TEST_F(LevelScreen, ANewScoreTakesTheFirstRowItBeatsAndTheNameTyped) {
  struct Case {
    const char* what;
    uint32_t score;
    std::string typed;
    std::vector<uint32_t> scores;
    std::vector<std::string> names;
  } cases[] = {
      {"above all", 500, "Ann\r", {500, 300, 200}, {"Ann", "Player 1", "Player 2"}},
      {"equal goes below", 200, "Bo\r", {300, 200, 200}, {"Player 1", "Player 2", "Bo"}},
      {"equal to the last is out", 100, "Cy\r", {300, 200, 100}, {"Player 1", "Player 2", "Player 3"}},
      {"a ninth character is ignored", 250, "ABCDEFGHI\r", {300, 250, 200}, {"Player 1", "ABCDEFGH", "Player 2"}},
      {"backspace on nothing does nothing", 250, "\b\bAB\bC\r", {300, 250, 200}, {"Player 1", "AC", "Player 2"}},
      {"cancel", 250, "AB\a", {300, 250, 200}, {"Player 1", "...", "Player 2"}},
      {"enter on nothing", 150, "\r", {300, 200, 150}, {"Player 1", "Player 2", "..."}},
      {"other controls are ignored", 150, "\tD\r", {300, 200, 150}, {"Player 1", "Player 2", "D"}},
  };
  for (const uint8_t mode : {0, 1})
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << ", mode " << int(mode));
      ResetCfg(w.cfg, &w.buttons);
      w.cfg.mode = mode;
      w.console.SetIdle();
      Enter();
      GameOver(c.score);
      Frames(1, 1000);
      ASSERT_EQ(level.state, LEVEL_NAMEENTRY);
      Frame();
      const bool entered = c.scores != std::vector<uint32_t>{300, 200, 100};
      EXPECT_EQ(w.console.Busy(), entered ? CONSOLE_INPUT : CONSOLE_IDLE);
      for (char ch : c.typed) w.console.PutC(ch, false);
      for (int i = 0; i < 20 && level.state == LEVEL_NAMEENTRY; ++i) Frame();
      EXPECT_EQ(level.state, LEVEL_FADEOUT);
      if (entered) { EXPECT_EQ(w.console.Busy(), CONSOLE_HIDING); }
      for (uint32_t r = 0; r < 3; ++r) {
        EXPECT_EQ(w.cfg.scores[mode][r], c.scores[r]) << r;
        EXPECT_EQ(Name(mode, r), c.names[r]) << r;
        EXPECT_EQ(w.cfg.names[mode][r][8], 0) << r;
        EXPECT_EQ(w.cfg.scores[1 - mode][r], 300u - 100u * r) << "the other table";
      }
    }
}

TEST_F(LevelScreen, QuittingFromThePauseMenuStillOffersTheTable) {
  Play();
  w.stats.score = 1000;
  Press(ZBUTTON_START);
  Press(ZBUTTON_UP);
  Press(ZBUTTON_B);
  ASSERT_EQ(level.state, LEVEL_GAMEOVER);
  Frames(1, 1000);
  Frame();
  EXPECT_EQ(level.state, LEVEL_NAMEENTRY);
  EXPECT_EQ(level.hsposition, 0u);
  EXPECT_EQ(w.console.Busy(), CONSOLE_INPUT);
}

}  // namespace
