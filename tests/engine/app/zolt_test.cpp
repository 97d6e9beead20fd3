// The framework: configuration check, start-up order and failures, status machine, quit,
// connections, and the log file.
#include <fstream>
#include <iterator>

#include "engine/core/zmod_devptr.h"
#include "engine/net/zmod_connect.h"
#include "tests/engine/app/zolt_fixture.h"
#include "tests/support/temp_dir.h"

using Calls = std::vector<std::string>;

namespace {

// The game's settings: 60 frames a second, 320 x 240, its own short-sleep choice.
void GameConfig(ZOLTCONFIG& c) {
  c.width = 320;
  c.height = 240;
  c.shortsleep = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Check

struct CheckCase {
  uint8_t rotation;
  uint32_t width, height, fps;
  const char* error;  // null: accepted
};

class ZoltCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ZoltCheck, RefusesInOrder) {
  const CheckCase& k = GetParam();
  RecordingApp app;
  app.config.rotation = k.rotation;
  app.config.width = k.width;
  app.config.height = k.height;
  app.config.fps = k.fps;
  app.config.fullscreen = 0;
  const int result = app.Check();
  if (k.error) {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(app.Error(), k.error);
    EXPECT_EQ(app.config.fullscreen, 0);
  } else {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(app.Error(), "");
    EXPECT_EQ(app.config.fullscreen, 1);  // always on this device
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZoltCheck,
    ::testing::Values(
        CheckCase{0, 320, 240, 60, nullptr},
        CheckCase{0, 242, 240, 60, "Wrong display size: width not divisible by 4"},
        CheckCase{0, 320, 242, 60, "Wrong display size: height not divisible by 4"},
        CheckCase{0, 8, 240, 60, "Obscure display sizes not supported"},
        CheckCase{0, 320, 8, 60, "Obscure display sizes not supported"},
        CheckCase{0, 2000, 240, 60, nullptr},
        CheckCase{0, 2004, 240, 60, "Obscure display sizes not supported"},
        CheckCase{0, 320, 240, 4, "Locking FPS below 5 is disabled"},
        CheckCase{0, 320, 240, 1, "Locking FPS below 5 is disabled"},
        CheckCase{0, 320, 240, 5, nullptr},
        CheckCase{0, 320, 240, 0, nullptr},
        CheckCase{3, 240, 320, 60, nullptr},
        CheckCase{4, 320, 240, 60, nullptr},  // the system's rotation: 0 here
        CheckCase{5, 320, 240, 60, "Unknown display rotation"},
        // The first failing test wins.
        CheckCase{5, 242, 8, 4, "Unknown display rotation"},
        CheckCase{0, 242, 242, 4, "Wrong display size: width not divisible by 4"},
        CheckCase{0, 320, 242, 4, "Wrong display size: height not divisible by 4"},
        CheckCase{0, 2004, 240, 4, "Obscure display sizes not supported"}));

TEST(ZoltCheckRotation, SystemRotationIsStoredBack) {
  RecordingApp app;
  app.config.rotation = 4;
  app.config.width = 320;
  app.config.height = 240;
  EXPECT_EQ(app.Check(), 0);
  EXPECT_EQ(app.config.rotation, 0);
}

TEST(ZoltErrorText, CutTo255Characters) {
  RecordingApp app;
  const std::string longer(300, 'x');
  app.SetErrorMsg(longer.c_str());
  EXPECT_EQ(app.Error(), std::string(255, 'x'));
}

// ---------------------------------------------------------------------------------------
// Start-up and shut-down

using ZoltStart = ZoltHostTest;

TEST_F(ZoltStart, HooksRunInOrderAndQuitEndsTheLoop) {
  RecordingApp app;
  app.setup = GameConfig;
  app.logButtons = false;
  app.frame = [](RecordingApp& a, uint32_t) {
    if (a.frames == 2) a.Quit();
  };
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_EQ(app.calls, (Calls{"create", "plugin", "init", "displayinit", "frame", "frame", "exit"}));
  EXPECT_TRUE(app.displayOpenAtDisplayInit);
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_ENDED);
  EXPECT_EQ(app.display.backbufferformat, 0) << "the display closes at the end";
  EXPECT_EQ(app.config.fullscreen, 1);
  // The framework's button list after start-up.
  const uint32_t list[12] = {13, 14, 15, 9, 1, 5, 3, 7, 0, 0, 11, 12};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(app.buttonlist.button[i], list[i]) << i;
}

// What each start-up hook may rely on: the services the framework has readied before it,
// and none that come after it.
TEST_F(ZoltStart, EachHookFindsTheServicesOfTheStepsBeforeIt) {
  struct App : RecordingApp {
    bool pluginSawClosedDisplay = false, pluginSawButtonList = false, pluginSawConnections = false;
    bool initSawOpenDisplay = false, initSawMath = false, initSawMappings = false;
    int OnPluginLoad(ClassZDisplay* d) override {
      pluginSawClosedDisplay = d == &display && d->backbufferformat == 0;
      pluginSawButtonList = buttonlist.button[0] == 13;
      pluginSawConnections = connect[0] != nullptr && connect[1] != nullptr;
      return RecordingApp::OnPluginLoad(d);
    }
    int OnInit(int value) override {
      initSawOpenDisplay = display.backbufferformat != 0;
      initSawMath = math.Sin(1024) == 65536;
      initSawMappings = input.RemoveActionMapping(196) == 1;
      return RecordingApp::OnInit(value);
    }
    int OnDisplayInit(int value, ClassZDisplay* d) override {
      gp2x::host::advance_ns(2000 * 1000000ull);  // a slow load: two seconds
      return RecordingApp::OnDisplayInit(value, d);
    }
  } app;
  app.setup = [](ZOLTCONFIG& c) {
    GameConfig(c);
    c.connections = 2;
  };
  app.logButtons = false;
  uint32_t first = ~0u;
  app.frame = [&first](RecordingApp& a, uint32_t ms) {
    if (a.frames == 1) first = ms;
    a.Quit();
  };
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_TRUE(app.pluginSawClosedDisplay);
  EXPECT_TRUE(app.pluginSawButtonList);
  EXPECT_TRUE(app.pluginSawConnections);
  EXPECT_TRUE(app.initSawOpenDisplay);
  EXPECT_TRUE(app.initSawMath);
  EXPECT_TRUE(app.initSawMappings);
  EXPECT_LT(first, 100u) << "the virtual clock starts after the last start-up hook";
}

TEST_F(ZoltStart, QuitMidFrameFinishesThatFrame) {
  RecordingApp app;
  app.setup = GameConfig;
  // Quit from a button: the poll of the frame that asked still runs, and so does its flip.
  app.frame = [](RecordingApp& a, uint32_t) {
    if (a.frames == 3) {
      a.Quit();
      gp2x::host::set_buttons(gp2x::buttons::kB);
      a.display.backbuffer.Clear(0xFFFFFF);
    }
  };
  app.StartFramework(0);
  const Calls calls = app.Take();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[calls.size() - 2], "down 14") << "the button poll after Quit";
  EXPECT_EQ(calls.back(), "exit");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "exit"), 1);
  EXPECT_EQ(app.frames, 3);
  const uint16_t* fb = reinterpret_cast<const uint16_t*>(Framebuffer());
  EXPECT_EQ(fb[0], 0xFFFF) << "the last frame was flipped";
  EXPECT_EQ(fb[320 * 240 - 1], 0xFFFF);
  EXPECT_EQ(app.display.backbufferformat, 0);
  EXPECT_EQ(app.display.framebuffer, nullptr);
}

TEST_F(ZoltStart, RotationSwapsTheSizeAfterTheCheck) {
  RecordingApp app;
  app.setup = [](ZOLTCONFIG& c) {
    c.width = 240;
    c.height = 320;
    c.rotation = 1;
  };
  app.results.displayinit = 99;  // stop before the loop: only the opening matters
  EXPECT_EQ(app.StartFramework(0), 99);
  EXPECT_EQ(app.config.width, 320u);
  EXPECT_EQ(app.config.height, 240u);
  EXPECT_EQ(app.display.backbuffer.GetWidth(), 240u);
  EXPECT_EQ(app.display.backbuffer.GetHeight(), 320u);
}

struct FailureCase {
  const char* name;
  int RecordingApp::Results::*hook;  // null: a refused configuration
  int value;
  Calls calls;
  bool displayOpen;
};

class ZoltStartFailure : public ZoltHostTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ZoltStartFailure, StopsWithStatus3AndNoExit) {
  const FailureCase& k = GetParam();
  RecordingApp app;
  if (k.hook) {
    app.setup = GameConfig;
    app.results.*k.hook = k.value;
  } else {
    app.setup = [](ZOLTCONFIG& c) { c.width = 242; };
  }
  EXPECT_EQ(app.StartFramework(0), k.value);
  EXPECT_EQ(app.calls, k.calls);
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_STOPPED);
  EXPECT_EQ(app.display.backbufferformat != 0, k.displayOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZoltStartFailure,
    ::testing::Values(
        FailureCase{"create", &RecordingApp::Results::create, 7, {"create"}, false},
        FailureCase{"check", nullptr, 1, {"create"}, false},
        FailureCase{"plugin", &RecordingApp::Results::plugin, 5, {"create", "plugin"}, false},
        FailureCase{"init", &RecordingApp::Results::init, 9, {"create", "plugin", "init"}, true},
        FailureCase{"displayinit", &RecordingApp::Results::displayinit, 11,
                    {"create", "plugin", "init", "displayinit"}, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(ZoltStart, DisplayFailuresGiveTheirMessages) {
  struct Case {
    int bpp;
    bool devices;
    int result;
    const char* error;
  } cases[] = {
      {12, true, 3, "The requested display mode is not supported by the hardware"},
      {16, false, 1, "Couldn't open the display device"},
  };
  for (const Case& k : cases) {
    gp2x::host::Settings s = QuietSettings();
    s.fb_bpp = k.bpp;
    Reconfigure(s);
    if (!k.devices) HandleDevicePtr(true);
    RecordingApp app;
    app.setup = GameConfig;
    EXPECT_EQ(app.StartFramework(0), k.result) << k.bpp;
    EXPECT_EQ(app.Error(), k.error);
    EXPECT_EQ(app.calls, (Calls{"create", "plugin"}));
    EXPECT_EQ(app.GetAppStatus(), ZSTATUS_STOPPED);
  }
  // A zero size never reaches the display: the check refuses it first.
  RecordingApp zero;
  zero.setup = [](ZOLTCONFIG& c) {
    GameConfig(c);
    c.width = 0;
  };
  EXPECT_EQ(zero.StartFramework(0), 1);
  EXPECT_EQ(zero.Error(), "Obscure display sizes not supported");
}

TEST_F(ZoltStart, ConnectionsAreCappedAt16) {
  for (uint8_t asked : {uint8_t(0), uint8_t(3), uint8_t(20)}) {
    RecordingApp app;
    app.setup = [asked](ZOLTCONFIG& c) {
      GameConfig(c);
      c.connections = asked;
    };
    app.results.displayinit = 1;
    app.StartFramework(0);
    const uint32_t expected = asked > 16 ? 16 : asked;
    EXPECT_EQ(app.config.connections, expected);
    for (uint32_t i = 0; i < ZCD_CONNECTIONS; ++i) {
      EXPECT_EQ(app.connect[i] != nullptr, i < expected) << int(asked) << " slot " << i;
      EXPECT_EQ(app.zcd.connect[i], app.connect[i]);
    }
  }
}

TEST_F(ZoltStart, AConnectionCountRaisedLaterStillPollsOnly16Slots) {
  RecordingApp app;
  app.setup = [](ZOLTCONFIG& c) {
    GameConfig(c);
    c.connections = 16;
  };
  app.frame = [](RecordingApp& a, uint32_t) {
    a.config.connections = 200;  // past the slots: must not be read as slots
    if (a.frames == 2) a.Quit();
  };
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_EQ(app.frames, 2);
}

// ---------------------------------------------------------------------------------------
// Status machine

struct StatusCase {
  uint8_t from, to;
  uint8_t pauseidles;
  uint8_t expected;
  Calls calls;
  bool suspended;  // the display afterwards
};

class ZoltStatus : public ZoltHostTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ZoltStatus, Table) {
  const StatusCase& k = GetParam();
  RecordingApp app;
  app.logButtons = false;
  app.config = ZOLTCONFIG{};
  ZRecord_ConfigDefaults(&app.config);
  GameConfig(app.config);
  ASSERT_EQ(app.display.Open(nullptr, &app.zcd, 32, 320, 240, true), 0);
  app.config.pauseidles = k.pauseidles;
  // Reach the starting status through allowed steps.
  app.ChangeAppStatus(ZSTATUS_STOPPED);
  switch (k.from) {
    case 0: app.ChangeAppStatus(0); break;
    case 1: app.ChangeAppStatus(0); app.ChangeAppStatus(1); break;
    case 2: app.ChangeAppStatus(0); app.ChangeAppStatus(2); break;
    case 3: break;
    case 4: app.ChangeAppStatus(4); break;
    case 255: app.ChangeAppStatus(255); break;
  }
  ASSERT_EQ(app.GetAppStatus(), k.from);
  app.Take();
  app.ChangeAppStatus(k.to);
  EXPECT_EQ(app.GetAppStatus(), k.expected);
  EXPECT_EQ(app.Take(), k.calls);
  if (k.expected == ZSTATUS_ENDED && k.from == ZSTATUS_QUIT)
    EXPECT_EQ(app.display.backbufferformat, 0);
  else
    EXPECT_EQ(app.display.suspended != 0, k.suspended);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZoltStatus,
    ::testing::Values(
        StatusCase{1, 0, 1, 0, {"restore"}, false},
        StatusCase{1, 0, 0, 0, {}, false},  // frames kept running: nothing to restore
        StatusCase{2, 0, 0, 0, {"restore"}, false},
        StatusCase{3, 0, 1, 0, {}, false},
        StatusCase{4, 0, 1, 4, {}, false},
        StatusCase{0, 1, 1, 1, {}, true},
        StatusCase{0, 1, 0, 1, {}, false},
        StatusCase{2, 1, 1, 2, {}, true},
        StatusCase{0, 2, 1, 2, {"minimize"}, true},
        StatusCase{1, 2, 0, 2, {"minimize"}, true},
        StatusCase{3, 2, 1, 3, {}, false},
        StatusCase{0, 3, 1, 3, {}, false},
        StatusCase{255, 3, 1, 3, {}, false},
        StatusCase{0, 4, 1, 4, {}, false},
        StatusCase{3, 4, 1, 4, {}, false},
        StatusCase{255, 4, 1, 255, {}, false},
        StatusCase{0, 255, 1, 0, {}, false},  // ignored while running
        StatusCase{3, 255, 1, 255, {}, false},
        StatusCase{4, 255, 1, 255, {"exit"}, false},
        StatusCase{0, 7, 1, 0, {}, false}));

TEST_F(ZoltStart, APauseIsLeftOutOfVirtualTime) {
  uint32_t longest = 0;
  RecordingApp b;
  b.setup = GameConfig;
  b.results.displayinit = 1;
  b.StartFramework(0);
  b.ChangeAppStatus(ZSTATUS_STOPPED);
  b.ChangeAppStatus(ZSTATUS_RUNNING);
  b.frame = [&longest](RecordingApp&, uint32_t ms) { longest = ms; };
  b.MainLoop(false);
  b.ChangeAppStatus(ZSTATUS_PAUSED);
  for (int i = 0; i < 10; ++i) b.MainLoop(false);  // idles: 1 s
  EXPECT_EQ(b.frames, 1);
  b.ChangeAppStatus(ZSTATUS_RUNNING);
  b.MainLoop(false);
  EXPECT_EQ(b.frames, 2);
  EXPECT_LT(longest, 100u) << "the first frame after a pause must not carry it";
}

// ---------------------------------------------------------------------------------------
// Log file

TEST(ZoltLog, AppendsWithCrLfInTheApplicationFolder) {
  TempDir dir;
  ZOLTDATA data{};
  ZRecord_StartData(&data, nullptr, nullptr);
  const std::string folder = dir.path() + "/";
  for (size_t i = 0; i <= folder.size(); ++i) data.folder[i] = uint16_t(i < folder.size() ? folder[i] : 0);
  struct App : ClassZolt {
    using ClassZolt::ClassZolt;
  } zolt(&data);
  zolt.Log("first", true);
  zolt.Log("second", false);
  const uint16_t wide[] = {'w', 'i', 'd', 'e', 0};
  zolt.Log(wide, true);
  std::string longtext(300, 'L');
  std::vector<uint16_t> longwide(longtext.begin(), longtext.end());
  longwide.push_back(0);
  zolt.Log(longwide.data(), false);
  auto read = [&] {
    std::ifstream in(dir / "log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(), "first\r\nsecondwide\r\n" + longtext);
  zolt.NewLogFile();
  EXPECT_EQ(read(), "");
  zolt.Log("again", true);
  EXPECT_EQ(read(), "again\r\n");
}
