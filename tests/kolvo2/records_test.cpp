// The input words the shell keeps from the buttons, and the module protocol.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/zolt_records.h"
#include "engine/graphics/zsurf_2d.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_records.h"

namespace {

struct StepCase {
  int32_t value;
  uint32_t elapsed;
  int32_t after;
};

TEST(KeyWords, TimerStepTable) {
  const StepCase cases[] = {
      {1, 16, 200},  {2, 16, 100},   {200, 16, 184}, {18, 16, 2}, {17, 16, 2},
      {3, 16, 2},    {3, 1, 2},      {100, 0, 100},  {0, 16, 0},  {-5, 16, -5},
      // A long frame (or a clock that jumped) never wraps a timer below 2.
      {1000, 0xFFFFFFFFu, 2},       {0x7FFFFFFF, 0x80000000u, 2},
  };
  for (const StepCase& c : cases) {
    int32_t words[KEYWORD_COUNT] = {};
    for (uint32_t w = 0; w < KEYWORD_TIMERS; ++w) words[w] = c.value;
    KeyWordsStep(words, c.elapsed);
    for (uint32_t w = 0; w < KEYWORD_TIMERS; ++w)
      EXPECT_EQ(words[w], c.after) << c.value << " after " << c.elapsed << " ms, word " << w;
    EXPECT_EQ(words[KEYWORD_TIMERS], 0) << "only the twelve timers count";
  }
}

TEST(KeyWords, AHeldKeyRepeatsAfter200ThenEvery100Ms) {
  int32_t words[KEYWORD_COUNT] = {};
  words[KEYWORD_UP] = 1;  // pressed before frame 0
  std::vector<int> presses, repeats;
  for (int frame = 0; frame < 40; ++frame) {
    if (words[KEYWORD_UP] == 1) presses.push_back(frame);
    if (words[KEYWORD_UP] == 2) repeats.push_back(frame);
    KeyWordsStep(words, 16);
  }
  EXPECT_EQ(presses, std::vector<int>({0}));
  // 200 ms down to 2 in 16 ms frames, then 100 ms, each plus the frame that reads 2.
  EXPECT_EQ(repeats, std::vector<int>({14, 22, 30, 38}));
}

TEST(KeyWords, TheStylusWordGoesFromPressedToHeld) {
  int32_t words[KEYWORD_COUNT] = {};
  words[KEYWORD_STYLUS] = 1;
  KeyWordsStep(words, 16);
  EXPECT_EQ(words[KEYWORD_STYLUS], 2);
  KeyWordsStep(words, 16);
  EXPECT_EQ(words[KEYWORD_STYLUS], 2);
}

class KeyWordsButtons : public ::testing::Test {
 protected:
  void SetUp() override {
    ZRecord_ButtonDefaults(&buttons);
    ResetCfg(cfg, &buttons);
  }
  void Press(uint32_t code) { KeyWordsButton(words, cfg, buttons, code, true); }
  void Release(uint32_t code) { KeyWordsButton(words, cfg, buttons, code, false); }
  std::vector<uint32_t> Set() const {
    std::vector<uint32_t> set;
    for (uint32_t w = 0; w < KEYWORD_LASTCODE; ++w)
      if (words[w]) set.push_back(w);
    return set;
  }

  ZBUTTONLIST buttons;
  GAMECONFIG cfg;
  int32_t words[KEYWORD_COUNT] = {};
};

TEST_F(KeyWordsButtons, EachCodeStartsEveryTimerItStandsFor) {
  struct Case {
    uint32_t code;
    std::vector<uint32_t> words;
  };
  const Case cases[] = {
      {ZBUTTON_LEFT, {KEYWORD_LEFT, KEYWORD_MOVELEFT}},
      {ZBUTTON_RIGHT, {KEYWORD_RIGHT, KEYWORD_MOVERIGHT}},
      {ZBUTTON_DOWN, {KEYWORD_DOWN, KEYWORD_MOVEDOWN}},
      {ZBUTTON_UP, {KEYWORD_UP}},
      {ZBUTTON_Y, {KEYWORD_TURN, KEYWORD_Y}},
      {ZBUTTON_B, {KEYWORD_TURNLEFT}},
      {ZBUTTON_A, {KEYWORD_TURNRIGHT}},
      {ZBUTTON_X, {KEYWORD_FASTDROP}},
      {ZBUTTON_START, {KEYWORD_PAUSE}},
      {ZBUTTON_SELECT, {}},
  };
  for (const Case& c : cases) {
    std::fill(std::begin(words), std::end(words), 0);
    Press(c.code);
    EXPECT_EQ(Set(), c.words) << "code " << c.code;
    EXPECT_EQ(words[KEYWORD_LASTCODE], static_cast<int32_t>(c.code));
  }
}

TEST_F(KeyWordsButtons, ReleaseStopsTimersAtOnceAndYReadsReleased) {
  Press(ZBUTTON_LEFT);
  for (int i = 0; i < 5; ++i) KeyWordsStep(words, 16);
  ASSERT_GT(words[KEYWORD_LEFT], 2);
  Press(ZBUTTON_Y);
  words[KEYWORD_LASTCODE] = 0;  // the shell clears it at the end of each frame
  Release(ZBUTTON_LEFT);
  Release(ZBUTTON_Y);
  EXPECT_EQ(words[KEYWORD_LEFT], 0);
  EXPECT_EQ(words[KEYWORD_MOVELEFT], 0);
  EXPECT_EQ(words[KEYWORD_TURN], 0);
  EXPECT_EQ(words[KEYWORD_Y], 2);
  EXPECT_EQ(words[KEYWORD_LASTCODE], 0) << "a release is not a last code";
}

TEST_F(KeyWordsButtons, RemappedKeysAndTheExtraDirectionsFollowTheRecord) {
  cfg.keyleft = ZBUTTON_L;
  Press(ZBUTTON_L);
  EXPECT_EQ(Set(), std::vector<uint32_t>({KEYWORD_MOVELEFT}));

  buttons.button[ZBUTTONLIST_EXTRA1] = 20;
  buttons.button[ZBUTTONLIST_EXTRA2] = 21;
  for (uint8_t routing : {1, 0}) {
    cfg.directions = routing;
    std::fill(std::begin(words), std::end(words), 0);
    Press(20);
    Press(21);
    EXPECT_EQ(Set(), routing ? std::vector<uint32_t>({KEYWORD_LEFT, KEYWORD_RIGHT})
                             : std::vector<uint32_t>({KEYWORD_UP, KEYWORD_DOWN}));
  }
}

// ---- modules ----

struct Call {
  int module;
  uint32_t status;
  bool nextnull;
  int32_t* keys;
  uint32_t elapsed;
};

struct Recorder {
  static inline std::vector<Call> calls;
  static inline uint32_t writenext = 0;  // written through next when not 0
  static inline uint32_t writestatus = 0xFFFFFFFF;

  template <int N>
  static void Module(void*, Z2DSurface&, uint32_t* next, uint32_t* status, int32_t* keys,
                     uint32_t elapsed) {
    calls.push_back({N, *status, next == nullptr, keys, elapsed});
    if (writenext && next) *next = writenext;
    if (writestatus != 0xFFFFFFFF) *status = writestatus;
  }
};

class Modules : public ::testing::Test {
 protected:
  void SetUp() override {
    Recorder::calls.clear();
    Recorder::writenext = 0;
    Recorder::writestatus = 0xFFFFFFFF;
    modules.table[0] = &Recorder::Module<0>;
    modules.table[1] = &Recorder::Module<1>;
    modules.table[2] = &Recorder::Module<2>;
  }
  Z2DSurface& Surface() { return surface; }

  GameModules modules;
  int32_t keys[KEYWORD_COUNT] = {};
  Z2DSurface surface;  // empty, as at attach
};

TEST_F(Modules, AttachHandsTheSharedRecordToEveryFilledEntryInOrder) {
  modules.table[1] = nullptr;
  modules.table[7] = &Recorder::Module<7>;
  MAINDATA data{};
  uint32_t status = MODULE_ATTACH;
  modules.Attach(nullptr, Surface(), &data, &status);
  ASSERT_EQ(Recorder::calls.size(), 3u);
  const int order[] = {0, 2, 7};
  for (size_t i = 0; i < 3; ++i) {
    const Call& c = Recorder::calls[i];
    EXPECT_EQ(c.module, order[i]);
    EXPECT_EQ(c.status, MODULE_ATTACH);
    EXPECT_TRUE(c.nextnull);
    EXPECT_EQ(reinterpret_cast<MAINDATA*>(c.keys), &data);
    EXPECT_EQ(c.elapsed, 0u);
  }
}

TEST_F(Modules, AnIndexAbove9EndsAndAnEmptyEntryLeadsThere) {
  modules.Run(nullptr, Surface(), keys, 16);
  ASSERT_EQ(Recorder::calls.size(), 1u);
  EXPECT_EQ(Recorder::calls[0].status, MODULE_ENTER);
  EXPECT_EQ(Recorder::calls[0].keys, keys);

  // A module switches to entry 5, which is empty: that frame sets the end instead.
  Recorder::writenext = 5;
  Recorder::writestatus = MODULE_ENTER;
  modules.Run(nullptr, Surface(), keys, 16);
  EXPECT_FALSE(modules.Ended());
  modules.Run(nullptr, Surface(), keys, 16);
  EXPECT_EQ(modules.index, static_cast<uint32_t>(MODULE_QUIT));
  EXPECT_TRUE(modules.Ended());
  EXPECT_EQ(Recorder::calls.size(), 2u);
  modules.Run(nullptr, Surface(), keys, 16);
  EXPECT_EQ(Recorder::calls.size(), 2u) << "no module runs once it ended";

  for (uint32_t index : {10u, 0xFFFFu, 0xFFFFFFFFu}) {
    modules.index = index;
    EXPECT_TRUE(modules.Ended()) << index;
  }
}

TEST_F(Modules, RestoreLeavesTheShellsStatusAsItWas) {
  modules.index = 2;
  modules.status = MODULE_ENTER;
  Recorder::writestatus = MODULE_RUN;  // the module takes the restore and clears it
  modules.Restore(nullptr, Surface(), keys);
  ASSERT_EQ(Recorder::calls.size(), 1u);
  EXPECT_EQ(Recorder::calls[0].module, 2);
  EXPECT_EQ(Recorder::calls[0].status, MODULE_RESTORE);
  EXPECT_EQ(Recorder::calls[0].elapsed, 0u);
  EXPECT_EQ(modules.status, static_cast<uint32_t>(MODULE_ENTER));
  // Nothing to restore in an empty entry or after the end.
  modules.index = 4;
  modules.Restore(nullptr, Surface(), keys);
  modules.index = MODULE_QUIT;
  modules.Restore(nullptr, Surface(), keys);
  EXPECT_EQ(Recorder::calls.size(), 1u);
}

TEST_F(Modules, AMinimiseRequestIsTakenOnce) {
  Recorder::writestatus = MODULE_MINIMIZE;
  modules.Run(nullptr, Surface(), keys, 16);
  EXPECT_TRUE(modules.TakeMinimizeRequest());
  EXPECT_EQ(modules.status, static_cast<uint32_t>(MODULE_RUN));
  EXPECT_FALSE(modules.TakeMinimizeRequest());
}

}  // namespace
