// The console overlay: typing into its queue, the on-screen keyboard's cursor, the yes/no
// question, the message's time and the online submission's time limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/engine/graphics/gfx_oracle.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

class Console : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(w.LoadGraphics()); }
  // Frames of the overlay with the screen's status 0.
  void Frames(uint32_t count, uint32_t ms) {
    for (uint32_t i = 0; i < count; ++i) {
      w.Console(ms);
      w.EndFrame(ms);
    }
  }
  // Text input, the keyboard risen.
  void OpenInput() {
    w.console.ShowInput();
    Frames(1, ClassConsole::SLIDE_MS);
  }
  std::string Taken() {
    std::string s;
    while (const char c = w.console.GetC()) s += c;
    return s;
  }
  // The key under the cursor.
  uint8_t Under() const { return kblayout[w.console.Layout()][w.console.CursorRow()][w.console.CursorColumn()]; }
  void Press(uint32_t button) {
    w.Tap(button);
    Frames(1, 16);
  }

  GameWorld w;
};

TEST_F(Console, TypedCharactersQueueWithShiftAndCaps) {
  struct Case {
    const char* what;
    std::vector<std::pair<char, bool>> typed;  // character, from the on-screen keyboard
    std::string queued;
    uint8_t shift;
  } cases[] = {
      {"enter becomes 13", {{10, true}, {10, false}}, "\r\r", 0},
      {"controls pass", {{7, true}, {8, true}, {9, false}}, "\a\b\t", 0},
      {"shift holds for one character", {{11, true}, {'a', true}, {'b', true}}, "Ab", 0},
      {"shift by a typed key stays", {{11, false}, {'a', false}, {'b', false}}, "AB", 1},
      {"shift twice is off", {{11, true}, {11, true}, {'a', true}}, "a", 0},
      {"shift stays over a control", {{11, true}, {8, true}, {'a', true}}, "\bA", 0},
      {"caps lock stays", {{12, true}, {'a', true}, {'b', true}, {'1', true}}, "AB1", 3},
      {"caps twice is off", {{12, true}, {12, true}, {'a', true}}, "a", 0},
      {"caps from a typed key is a character", {{12, false}, {'a', false}}, "\fa", 0},
      {"only letters change", {{12, true}, {'=', true}, {'z', true}}, "=Z", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.console.ShowInput();
    for (const auto& [ch, onscreen] : c.typed) w.console.PutC(ch, onscreen);
    EXPECT_EQ(w.console.Shift(), c.shift);
    EXPECT_EQ(Taken(), c.queued);
  }
}

TEST_F(Console, AFullQueueDropsItsOldestCharacter) {
  w.console.ShowInput();
  EXPECT_EQ(w.console.GetC(), 0);
  std::string typed;
  for (int i = 0; i < 65; ++i) {
    typed += static_cast<char>('!' + i);
    w.console.PutC(typed.back(), false);
  }
  EXPECT_EQ(w.console.Queued(), 64u);
  EXPECT_EQ(Taken(), typed.substr(1));
  EXPECT_EQ(w.console.GetC(), 0);
}

// The cursor on the keyboard, moved by the d-pad: each case starts at a cell and ends
// on the key named.
TEST_F(Console, TheCursorMovesKeyByKeyWithWrapAround) {
  struct Case {
    const char* what;
    uint8_t column, row;
    std::vector<uint32_t> buttons;
    uint8_t column_after, row_after;
  } cases[] = {
      {"right onto the next key", 0, 0, {ZBUTTON_RIGHT}, 2, 0},
      {"right from the second half of a key", 3, 0, {ZBUTTON_RIGHT}, 4, 0},
      {"right from the last key wraps", 24, 0, {ZBUTTON_RIGHT}, 0, 0},
      {"left from the first key wraps to the last cell", 0, 0, {ZBUTTON_LEFT}, 26, 0},
      {"left onto the last cell of the key before", 4, 0, {ZBUTTON_LEFT}, 3, 0},
      {"left on the space bar stays", 10, 4, {ZBUTTON_LEFT}, 10, 4},
      {"right on the space bar stays", 10, 4, {ZBUTTON_RIGHT}, 10, 4},
      {"down from shift stays", 0, 3, {ZBUTTON_DOWN}, 0, 3},
      {"down from shift's last cell stays", 4, 3, {ZBUTTON_DOWN}, 4, 3},
      {"down from z to the space bar", 5, 3, {ZBUTTON_DOWN}, 6, 4},
      {"down in the column", 10, 3, {ZBUTTON_DOWN}, 10, 4},
      {"up from the space bar", 10, 4, {ZBUTTON_UP}, 10, 3},
      {"up from the first row wraps to the space bar", 10, 0, {ZBUTTON_UP}, 10, 4},
      {"down from the space bar wraps", 6, 4, {ZBUTTON_DOWN}, 6, 0},
      {"the play-through's path to enter", 2, 0, {ZBUTTON_DOWN, ZBUTTON_DOWN, ZBUTTON_LEFT}, 26, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.console.HideInput();
    Frames(1, 300);
    OpenInput();
    w.console.SetCursor(c.column, c.row);
    for (uint32_t b : c.buttons) Press(b);
    EXPECT_EQ(w.console.CursorColumn(), c.column_after);
    EXPECT_EQ(w.console.CursorRow(), c.row_after);
  }
}

TEST_F(Console, KeysDuringTheFirstQuarterSecondAreIgnored) {
  w.console.ShowInput();
  Frames(1, 200);
  Press(ZBUTTON_RIGHT);  // at 216 ms
  EXPECT_EQ(w.console.CursorColumn(), 0);
  Press(ZBUTTON_B);  // at 232 ms
  EXPECT_EQ(w.console.Queued(), 0u);
  Frames(1, 16);
  Press(ZBUTTON_RIGHT);
  Press(ZBUTTON_B);
  EXPECT_EQ(Taken(), "1");
}

TEST_F(Console, TheKeyboardTypesWhatIsUnderTheCursor) {
  OpenInput();
  Press(ZBUTTON_RIGHT);                      // "1"
  Press(ZBUTTON_B);                          // types it
  Press(ZBUTTON_DOWN);                       // tab
  Press(ZBUTTON_DOWN);                       // caps lock
  Press(ZBUTTON_B);                          // on
  EXPECT_EQ(w.console.Layout(), 1);
  Press(ZBUTTON_RIGHT);                      // "A"
  EXPECT_EQ(Under(), 'A');
  Press(ZBUTTON_B);
  Press(ZBUTTON_LEFT);
  Press(ZBUTTON_B);                          // caps lock off
  Press(ZBUTTON_LEFT);                       // wraps to enter
  Press(ZBUTTON_B);
  EXPECT_EQ(Taken(), "1A\r");
  w.console.HideInput();
  EXPECT_EQ(w.console.Busy(), CONSOLE_HIDING);
  Frames(1, 249);
  EXPECT_EQ(w.console.Busy(), CONSOLE_HIDING);
  Frames(1, 1);
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
}

TEST_F(Console, AQuestionStartsOnNoAndAYesWaitsForTheCaller) {
  w.console.AskConfirm("Are you sure?");
  EXPECT_EQ(w.console.Busy(), CONSOLE_CONFIRM);
  EXPECT_EQ(w.console.Counter(), 1u);  // "No"
  w.console.AskConfirm("Another?");    // not while asking
  EXPECT_STREQ(w.console.Message(), "Are you sure?");
  Press(ZBUTTON_B);
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);

  w.console.AskConfirm("Are you sure?");
  Press(ZBUTTON_LEFT);
  EXPECT_EQ(w.console.Counter(), 0u);
  Press(ZBUTTON_RIGHT);
  Press(ZBUTTON_RIGHT);
  EXPECT_EQ(w.console.Counter(), 0u);
  Press(ZBUTTON_Y);  // Y selects like B
  EXPECT_EQ(w.console.Busy(), CONSOLE_YES);
  Frames(10, 1000);
  EXPECT_EQ(w.console.Busy(), CONSOLE_YES);
  w.console.SetIdle();
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
}

TEST_F(Console, AMessageLastsTwoSecondsOfRunningFrames) {
  w.console.SendMessage("Hello");
  Frames(1, 1999);
  w.Console(5000, MODULE_ENTER);  // a frame that switches screens does not count
  EXPECT_EQ(w.console.Busy(), CONSOLE_MESSAGE);
  Frames(1, 1);
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  w.console.SendMessage("Hello");
  w.console.HideMessage();
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  w.console.OpenSetkey(3);
  w.console.HideMessage();
  EXPECT_EQ(w.console.Busy(), CONSOLE_SETKEY);
}

// The boxes of the question, the key prompt and the submission: their left edges on the
// middle row, from outside in (on a grey screen): the question's and the submission's
// white with black one pixel further out, the key prompt's black with white one pixel
// further in; then the fill.
TEST_F(Console, TheBoxesHaveTheirOutlinesWhereTheyBelong) {
  const int32_t h = static_cast<int32_t>(w.gfx.GetFontHeight());
  const int32_t question = 152 - static_cast<int32_t>(w.gfx.GetFontWidth("Are you sure?")) / 2;
  const int32_t online = 152 - 3 * static_cast<int32_t>(w.gfx.GetFontWidth("xxx"));
  const uint32_t grey = oracle::Pack(4, 0x808080), black = 0, white = oracle::Pack(4, 0xFFFFFF);
  struct Case {
    const char* what;
    void (*open)(ClassConsole&);
    int32_t left;
    uint32_t edges[3];  // left - 1, left, left + 1
    uint32_t fill;
  } cases[] = {
      {"question", [](ClassConsole& c) { c.AskConfirm("Are you sure?"); }, question, {black, white, 0}, 0x402060},
      {"key prompt", [](ClassConsole& c) { c.OpenSetkey(3); }, 92, {grey, black, white}, 0x404040},
      {"submission", [](ClassConsole& c) { c.OpenInternet(0, "ABCDEF0123"); }, online, {black, white, 0}, 0x402060},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.console.SetIdle();
    c.open(w.console);
    w.screen.FillRect(nullptr, 0x808080, 0, 0);
    w.console.RenderAll(&w.screen);
    const int32_t y = 120 - (c.edges[2] ? 2 * h : 3 * h / 2) + 1;  // just inside the top
    EXPECT_EQ(oracle::Pack(4, w.Pixel(c.left - 2, y)), grey);
    EXPECT_EQ(oracle::Pack(4, w.Pixel(c.left - 1, y)), c.edges[0]);
    EXPECT_EQ(oracle::Pack(4, w.Pixel(c.left, y)), c.edges[1]);
    const uint32_t inner = c.edges[2] ? c.edges[2] : oracle::FillPixel(4, grey, c.fill, 0x08, 192);
    EXPECT_EQ(oracle::Pack(4, w.Pixel(c.left + 1, y)), inner);
  }
}

// A server's answer can be up to 255 characters: the failure's box shows it whole, broken
// into lines, and stays on the screen; a short one keeps the two-line box of above.
TEST_F(Console, AServersLongAnswerIsShownWholeOnTheScreen) {
  std::string words;
  while (words.size() < 240) words += "closed " + std::to_string(words.size()) + " ";
  const std::string solid(255, 'x');  // no blank to break at
  const int32_t h = static_cast<int32_t>(w.gfx.GetFontHeight());
  const int32_t online = 152 - 3 * static_cast<int32_t>(w.gfx.GetFontWidth("xxx"));
  struct Case {
    const char* what;
    std::string answer;
    const char* lines = nullptr;  // the message exactly, where the answer has line ends
  } cases[] = {{"short", "Bad code"}, {"words", words}, {"one long word", solid},
               {"its own line ends", "Bad code\r\nTry again\n\nLater\r\n",
                "Submission failed\nBad code\nTry again\n\nLater"},
               {"a long line before a break",
                "closed 0 closed 9 closed 18 closed 28 closed 38 closed 48\rEnd"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.console.SetIdle();
    w.console.OpenInternet(0, "ABCDEF0123");
    w.net.SetError(c.answer.c_str());
    w.screen.FillRect(nullptr, 0x808080, 0, 0);
    const uint32_t grey = w.Pixel(0, 0);
    w.console.RenderAll(&w.screen);
    // Every pixel drawn lies inside the screen with a margin: the text did not run off it.
    int32_t left = 320, right = -1, top = 240, bottom = -1;
    for (int32_t y = 0; y < 240; ++y)
      for (int32_t x = 0; x < 320; ++x)
        if (w.Pixel(x, y) != grey) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    EXPECT_GE(left, 2);
    EXPECT_LE(right, 317);
    EXPECT_GE(top, 1);
    EXPECT_LE(bottom, 238);
    if (c.lines) {
      EXPECT_STREQ(w.console.Message(), c.lines);
      continue;
    }
    // The answer's text is all there, only its blanks turned into line breaks.
    std::string shown = w.console.Message(), expected = "Submission failed " + c.answer;
    if (c.answer.find('\r') != std::string::npos) {
      EXPECT_EQ(shown.substr(shown.size() - 4), "\nEnd") << "the line end was lost";
    }
    for (char& ch : shown)
      if (ch == '\n') ch = ' ';
    for (char& ch : expected)
      if (ch == '\r') ch = ' ';
    if (c.answer == solid) shown.erase(std::remove(shown.begin(), shown.end(), ' '), shown.end()),
                           expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    EXPECT_EQ(shown, expected);
    if (c.answer.size() < 20) {
      EXPECT_EQ(left, online - 1);  // the black outline one pixel outside the white
      EXPECT_EQ(top, 116 - 3 * h / 2 - 1);
    }
  }
}

// The submission's time limit counts only while no result has come; a result stays on
// screen 4096 ms.
TEST_F(Console, ASubmissionTimesOutOnlyWhileItWaits) {
  struct Case {
    uint8_t state;       // the state the submission reaches
    uint32_t at;         // ms after the start
    uint8_t final;       // after 30 s
  } cases[] = {
      {NET_READY, 0, NET_FAILED},
      {NET_SENT, 100, NET_FAILED},
      {NET_CONNECTED, 29000, NET_FAILED},
      {NET_POSTED, 29990, NET_POSTED},
      {NET_FAILED, 29990, NET_FAILED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.state));
    w.console.SetIdle();
    w.console.OpenInternet(0, "ABCDEF0123");
    ASSERT_EQ(w.console.Busy(), CONSOLE_ONLINE);
    EXPECT_EQ(w.net.netstate, NET_READY);
    EXPECT_STREQ(w.net.code, "ABCDEF0123");
    // Frames of 100 ms, of 10 ms for the last tenth of a second.
    for (uint32_t t = 0; t < 30000;) {
      if (t == c.at) {
        w.net.netstate = c.state;
        if (c.state == NET_FAILED) w.net.SetError("Server says no");
      }
      const uint32_t ms = t < 29900 ? 100 : 10;
      Frames(1, ms);
      t += ms;
    }
    EXPECT_EQ(w.net.netstate, c.final);
    if (c.state == NET_FAILED) { EXPECT_STREQ(w.net.error, "Server says no"); }
    if (c.final == NET_FAILED && c.state != NET_FAILED) { EXPECT_STREQ(w.net.error, "Timeout"); }
    // Shown for 4096 ms after the result.
    // (a time-out comes in the last frame, which counts already)
    const uint32_t shown = c.state == NET_POSTED || c.state == NET_FAILED ? 30000 - c.at : 10;
    Frames(1, 4096 - shown - 1);
    EXPECT_EQ(w.console.Busy(), CONSOLE_ONLINE);
    Frames(1, 1);
    EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
  }
  // A table without a code is not submitted.
  w.console.OpenInternet(1, "");
  EXPECT_EQ(w.console.Busy(), CONSOLE_IDLE);
}

}  // namespace
