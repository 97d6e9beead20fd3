// The frame loop's timing on the host's virtual clock (frame-rate lock, frame-rate sample)
// and the button poll through the host's button registers.
#include "engine/core/zmod_devptr.h"
#include "tests/engine/app/zolt_fixture.h"

namespace bt = gp2x::buttons;
using Calls = std::vector<std::string>;

namespace {

// An application past start-up (display closed: nothing here presents), running.
struct RunningApp : RecordingApp {
  RunningApp(uint32_t fps, uint8_t shortsleep) {
    config.fps = fps;
    config.shortsleep = shortsleep;
    config.flags = ZCONFIG_NOFLIP;
    SetButtonList();
    vtimer.Reset();
    ChangeAppStatus(ZSTATUS_RUNNING);
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Frame-rate lock

using ZoltLock = ZoltHostTest;

TEST_F(ZoltLock, SixtyFramesASecondInWholeMilliseconds) {
  RunningApp app(60, 0);
  std::vector<uint32_t> targets, periods;
  uint64_t last = NowMicros();
  for (int i = 0; i < 61; ++i) {
    const uint32_t before = app.locktarget;
    app.MainLoop(false);
    targets.push_back(app.locktarget - before);
    periods.push_back(uint32_t(NowMicros() - last));
    last = NowMicros();
  }
  // The carried remainder keeps the average period at exactly 1000000 / 60.
  for (size_t i = 0; i + 3 <= targets.size(); i += 3) {
    EXPECT_EQ(targets[i], 16666u) << i;
    EXPECT_EQ(targets[i + 1], 16667u) << i;
    EXPECT_EQ(targets[i + 2], 16667u) << i;
  }
  // Whole-millisecond sleeps: 16 and 17 ms, one second for sixty frames.
  uint64_t total = 0;
  for (size_t i = 1; i < periods.size(); ++i) {
    EXPECT_TRUE(periods[i] == 16000 || periods[i] == 17000) << i << ": " << periods[i];
    total += periods[i];
  }
  EXPECT_EQ(total, 1000000u);
}

TEST_F(ZoltLock, ALateFrameIsNeverMadeUp) {
  RunningApp app(60, 0);
  app.frame = [](RecordingApp& a, uint32_t) {
    if (a.frames == 10) gp2x::host::advance_ns(100 * 1000000ull);  // a 100 ms frame
  };
  std::vector<uint64_t> starts;
  for (int i = 0; i < 20; ++i) {
    app.MainLoop(false);
    starts.push_back(NowMicros());
  }
  // The frame after the late one starts at once (no wait is due); the ones after it keep
  // the normal pace instead of catching up with short frames.
  EXPECT_GE(starts[9] - starts[8], 116000u);
  EXPECT_EQ(starts[10] - starts[9], 0u);
  for (size_t i = 11; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], 16000u) << i;
    EXPECT_LE(starts[i] - starts[i - 1], 17000u) << i;
  }
}

TEST_F(ZoltLock, NoLockSleepsOnlyTheShortSleep) {
  for (uint8_t shortsleep : {uint8_t(0), uint8_t(1)}) {
    Reconfigure(QuietSettings());
    RunningApp app(0, shortsleep);
    const uint64_t start = NowMicros();
    for (int i = 0; i < 10; ++i) app.MainLoop(false);
    EXPECT_EQ(NowMicros() - start, shortsleep ? 10000u : 0u);
    EXPECT_EQ(app.locktarget, app.lockelapsed);
  }
}

TEST_F(ZoltLock, ShortSleepWhenOnTimeOrBehind) {
  RunningApp app(60, 1);
  app.lockelapsed = 50000;
  app.locktarget = 30000;  // behind even after this frame's 16666: no wait but the short sleep
  const uint64_t start = NowMicros();
  app.LockFPS();
  EXPECT_EQ(NowMicros() - start, 1000u);
  EXPECT_EQ(app.locktarget, app.lockelapsed) << "a late frame restarts the pace from now";
}

TEST_F(ZoltLock, ClocksWrapBelowTenSeconds) {
  RunningApp app(60, 0);
  app.lockelapsed = 9999990;
  app.locktarget = 9999995;
  app.LockFPS();  // only the target passes ten seconds: nothing wraps yet
  EXPECT_EQ(app.lockelapsed, 9999990u);
  EXPECT_EQ(app.locktarget, 9999995u + 16666u);
  app.lockelapsed = 10000500;
  app.locktarget = 10016000;
  app.LockFPS();
  EXPECT_LT(app.lockelapsed, 10000000u);
  EXPECT_LT(app.locktarget, 10000000u);
  EXPECT_EQ(app.locktarget - app.lockelapsed, 10016000u + 16667u - 10000500u);
}

// ---------------------------------------------------------------------------------------
// Frame-rate sample

TEST_F(ZoltLock, ThirtyFramesOver501MsGive59Point88) {
  RunningApp app(60, 0);
  app.CalculateFPS();  // the first sample sets the mark
  for (int i = 1; i < 30; ++i) app.CalculateFPS();
  EXPECT_EQ(app.framecount, 30u);
  gp2x::host::advance_ns(501 * 1000000ull);
  app.CalculateFPS();
  uint32_t whole = 0, hundredths = 0;
  app.GetFPS(whole, hundredths);
  EXPECT_EQ(app.fps100, 5988u);
  EXPECT_EQ(whole, 59u);
  EXPECT_EQ(hundredths, 88u);
  EXPECT_EQ(app.GetFPS(), 59u);
  EXPECT_EQ(app.framecount, 1u);
  // Exactly 500 ms is not yet a sample.
  gp2x::host::advance_ns(500 * 1000000ull);
  app.CalculateFPS();
  EXPECT_EQ(app.fps100, 5988u);
}

TEST_F(ZoltLock, AnUnlockedLoopCountsPast32Bits) {
  RunningApp app(0, 0);
  app.CalculateFPS();
  app.framecount = 100000;  // a very fast unlocked loop: * 100000 leaves 32 bits
  gp2x::host::advance_ns(1000 * 1000000ull);
  app.CalculateFPS();
  EXPECT_EQ(app.fps100, 10000000u);
}

// ---------------------------------------------------------------------------------------
// Button poll

using ZoltButtons = ZoltHostTest;

namespace {

Calls AllUpExcept(std::initializer_list<uint32_t> held) {
  Calls calls;
  for (uint32_t code = 1; code <= 32; ++code)
    if (std::find(held.begin(), held.end(), code) == held.end())
      calls.push_back("up " + std::to_string(code));
  return calls;
}

}  // namespace

TEST_F(ZoltButtons, FirstPollReleasesEveryUnheldButton) {
  RunningApp app(60, 0);
  gp2x::host::set_buttons(bt::kA | bt::kVolDown);
  app.CheckInput();
  EXPECT_EQ(app.Take(), AllUpExcept({13, 23}));
  app.CheckInput();
  EXPECT_EQ(app.Take(), Calls{}) << "nothing changed";
}

TEST_F(ZoltButtons, AButtonHeldThroughStartUpWaitsForTheNextPress) {
  RunningApp app(60, 0);
  gp2x::host::set_buttons(bt::kA);
  app.CheckInput();
  app.Take();
  gp2x::host::set_buttons(0);
  app.CheckInput();
  EXPECT_EQ(app.Take(), Calls{"up 13"});
  gp2x::host::set_buttons(bt::kA);
  app.CheckInput();
  EXPECT_EQ(app.Take(), Calls{"down 13"});
  EXPECT_EQ(app.input.GetLastKey(), 13u);
}

TEST_F(ZoltButtons, ButtonCodesAndDiagonals) {
  struct Case {
    uint32_t held;
    Calls downs;
  } cases[] = {
      {bt::kUpLeft, {"down 1", "down 3"}},      // a lone diagonal: both directions
      {bt::kDownLeft, {"down 3", "down 5"}},
      {bt::kDownRight, {"down 5", "down 7"}},
      {bt::kUpRight, {"down 1", "down 7"}},
      {bt::kUpLeft | bt::kDownRight, {"down 2", "down 6"}},  // two stay as read
      {bt::kUp, {"down 1"}},
      {bt::kStart | bt::kY, {"down 9", "down 16"}},
      {bt::kVolUp | bt::kPush, {"down 24", "down 28"}},
  };
  for (const Case& k : cases) {
    RunningApp app(60, 0);
    app.CheckInput();
    app.Take();
    gp2x::host::set_buttons(k.held);
    app.CheckInput();
    EXPECT_EQ(app.Take(), k.downs) << std::hex << k.held;
    gp2x::host::set_buttons(0);
  }
}

TEST_F(ZoltButtons, DirectionsTurnWithTheDisplay) {
  RunningApp app(60, 0);
  app.display.SetRotation(1);
  app.CheckInput();
  app.Take();
  gp2x::host::set_buttons(bt::kUp | bt::kA);
  app.CheckInput();
  EXPECT_EQ(app.Take(), (Calls{"down 7", "down 13"}));
  gp2x::host::set_buttons(0);
  app.CheckInput();
  EXPECT_EQ(app.Take(), (Calls{"up 7", "up 13"})) << "releases turn the same way";
}

TEST_F(ZoltButtons, NoRegisterWindowReadsAsNothingPressed) {
  HandleDevicePtr(true);
  ASSERT_EQ(zdevicereg_ptr16, nullptr);
  RunningApp app(60, 0);
  app.CheckInput();
  EXPECT_EQ(app.Take(), AllUpExcept({}));
  app.CheckInput();
  EXPECT_EQ(app.Take(), Calls{});
  // A whole frame runs too.
  app.MainLoop(false);
  EXPECT_EQ(app.frames, 1);
}

TEST_F(ZoltButtons, TheFramePollsAfterTheHookAndClearsEventsBefore) {
  RunningApp app(60, 0);
  app.input.SetDefaultMappings();
  app.CheckInput();
  app.input.ResetEvents();
  app.Take();
  std::vector<int> seen;
  app.frame = [&seen](RecordingApp& a, uint32_t) {
    Z_INPUTEVENT event{};
    int n = 0;
    while (a.input.GetKeyEvent(&event)) ++n;
    seen.push_back(n);
  };
  gp2x::host::set_buttons(bt::kB);
  app.MainLoop(false);  // the press is polled after this frame's hook
  app.MainLoop(false);  // ...and seen by the next one
  app.MainLoop(false);  // events live one frame
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_EQ(seen[2], 0);
}
