// The application object's frame: the order of save, module and overlay, the end of the
// program through the module index, the frame-rate text, minimising, and the save on a
// quit the system asks for. Modules of the test stand in for the screens.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/zmod_devptr.h"
#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_runtime.h"
#include "host/host_settings.h"
#include "kolvo2/shell.h"
#include "tests/kolvo2/refusing_cfg_calls.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

// What the stand-in module saw, and what it does next.
struct Recorder {
  std::vector<uint32_t> elapsed;
  uint32_t write_next = 0xFFFFFFFF;  // written through next once, unless this
  uint32_t write_status = MODULE_RUN;
};
Recorder* recorder = nullptr;

void Module(void*, Z2DSurface& bb, uint32_t* next, uint32_t* status, int32_t*, uint32_t elapsed) {
  recorder->elapsed.push_back(elapsed);
  bb.FillRect(nullptr, 0, 0, 0);
  if (recorder->write_next != 0xFFFFFFFF) {
    *next = recorder->write_next;
    *status = recorder->write_status;
    recorder->write_next = 0xFFFFFFFF;
  }
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = &record;
    GAMECONFIG cfg;
    ResetCfg(cfg, nullptr);
    cfg.musicvolume = cfg.sfxvolume = 0;  // a silent game: no sound device in these tests
    cfg.alloff = 1;
    ASSERT_EQ(SaveCfg(cfg, (dir / "Kolvo2.cfg").c_str()), 1);
    app.display.zcd = &app.zcd;
    app.display.backbufferformat = ZFMT_RGB565;
    app.display.SetRenderSize(240);
    app.display.RegisterLoader(new ZLoader_BMP);
    app.display.RegisterLoader(new ZLoader_PNG);
    app.display.RegisterLoader(new ZLoader_3DS);
    ASSERT_EQ(app.display.CreateSurface(&app.display.backbuffer, 320, 240, 0), 0);
    app.SetButtonList();
    app.input.SetDefaultMappings();
    ASSERT_EQ(app.OnInit(0), 0);
    {
      WorkingDir in(dir.path());
      ASSERT_EQ(app.OnDisplayInit(0, &app.display), 0);
    }
    for (MODULEFUNCTION& f : app.modules.table) f = nullptr;
    app.modules.table[0] = Module;
    app.modules.table[1] = Module;
  }
  void TearDown() override { recorder = nullptr; }
  void Frame(uint32_t ms = 16) {
    WorkingDir in(dir.path());
    app.OnNextFrame(&app.display, ms);
  }
  std::vector<uint8_t> SavedFile() { return ReadWholeFile(dir / "Kolvo2.cfg"); }
  uint32_t Score() {
    const std::vector<uint8_t> bytes = SavedFile();
    return bytes.size() == CFG_SIZE ? bytes[384] | bytes[385] << 8 | bytes[386] << 16 | bytes[387] << 24 : 0;
  }
  uint32_t CornerBrightness() {
    uint32_t sum = 0;
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 32; ++x) sum += app.display.backbuffer.GetPixel(x, y) ? 1 : 0;
    return sum;
  }

  TempDir dir;
  Recorder record;
  ClassMain app{nullptr};
};

TEST_F(Shell, AFrameThatSavesRunsItsModuleWithNoElapsedTime) {
  Frame(16);
  app.cfg.scores[0][0] = 777;
  app.maindata.saverequest = 1;
  Frame(16);
  Frame(16);
  EXPECT_EQ(record.elapsed, (std::vector<uint32_t>{16, 0, 16}));
  EXPECT_EQ(Score(), 777u);
  EXPECT_EQ(app.maindata.saverequest, 0);
  // A module asking to skip (after long work) makes the next frame count 0 as well.
  app.maindata.skipnextelapsed = 1;
  Frame(16);
  EXPECT_EQ(record.elapsed.back(), 0u);
}

TEST_F(Shell, AnIndexAboveNineSavesAndQuitsInTheNextFrame) {
  record.write_next = MODULE_QUIT;
  Frame();
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_STOPPED);
  app.cfg.scores[0][0] = 4242;
  Frame();
  EXPECT_EQ(record.elapsed.size(), 1u) << "no module runs in the frame that quits";
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_QUIT);
  EXPECT_EQ(Score(), 4242u);
}

TEST_F(Shell, AnEmptyEntryEndsTheProgramAfterTheOverlayRanOnce) {
  record.write_next = 5;
  record.write_status = MODULE_ENTER;
  Frame();
  app.console.SendMessage("still here");
  app.modules.status = MODULE_RUN;
  Frame(100);
  EXPECT_EQ(app.modules.index, MODULE_QUIT);
  EXPECT_EQ(app.console.Counter(), 100u) << "the overlay ran in the frame that found no module";
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_STOPPED);
  Frame();
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_QUIT);
}

TEST_F(Shell, TheFrameRateShowsOutsideTheIntroUnlessHidden) {
  {
    WorkingDir in(KOLVO2_DATA_DIR);
    for (uint32_t step = 0; step < 16; ++step) ASSERT_EQ(app.gfx.ScriptLoad(step), 1);
  }
  app.cfg.showfps = 1;
  Frame();
  EXPECT_EQ(CornerBrightness(), 0u) << "the intro is module 0";
  app.modules.index = 1;
  Frame();
  EXPECT_GT(CornerBrightness(), 0u);
  app.maindata.hidefps = 1;
  Frame();
  EXPECT_EQ(CornerBrightness(), 0u);
  app.maindata.hidefps = 0;
  app.cfg.showfps = 0;
  Frame();
  EXPECT_EQ(CornerBrightness(), 0u);
}

TEST_F(Shell, MinimisingDuringTheIntroQuits) {
  app.modules.index = 1;
  app.OnMinimize();
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_STOPPED);
  app.modules.index = 0;
  app.OnMinimize();
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_QUIT);
}

// A quit the system asks for reaches OnExit without the game's own quit: it saves there.
TEST_F(Shell, TheEndOfTheProgramSavesWhatTheGameDidNotSaveYet) {
  app.cfg.scores[0][0] = 555;
  {
    WorkingDir in(dir.path());
    app.OnExit(0);
  }
  EXPECT_EQ(Score(), 555u);
  // Saved once on the way out: a later change is not written by a second exit.
  app.cfg.scores[0][0] = 556;
  {
    WorkingDir in(dir.path());
    app.OnExit(0);
  }
  EXPECT_EQ(Score(), 555u);
}

TEST_F(Shell, ButtonsStartTheirKeyTimersAndTheTimersCountDown) {
  app.OnButtonDown(ZBUTTON_LEFT, &app.buttonlist);  // a direction and "Move left"
  EXPECT_EQ(app.keys[KEYWORD_LEFT], 1);
  EXPECT_EQ(app.keys[KEYWORD_MOVELEFT], 1);
  EXPECT_EQ(app.keys[KEYWORD_LASTCODE], ZBUTTON_LEFT);
  Frame(16);
  EXPECT_EQ(app.keys[KEYWORD_LEFT], 200);
  EXPECT_EQ(app.keys[KEYWORD_LASTCODE], 0);
  Frame(190);
  EXPECT_EQ(app.keys[KEYWORD_LEFT], 10);
  Frame(16);
  EXPECT_EQ(app.keys[KEYWORD_LEFT], 2);
  app.OnButtonUp(ZBUTTON_LEFT, &app.buttonlist);
  EXPECT_EQ(app.keys[KEYWORD_LEFT], 0);
  app.OnButtonDown(ZBUTTON_Y, &app.buttonlist);
  EXPECT_EQ(app.keys[KEYWORD_Y], 1);
  app.OnButtonUp(ZBUTTON_Y, &app.buttonlist);
  EXPECT_EQ(app.keys[KEYWORD_Y], 2);
}

// Devices that cannot be opened (here no descriptor is left for them) leave nothing to
// run: the program neither starts nor writes its record, says why and hands over to the
// menu all the same.
TEST(Program, DevicesThatCannotBeOpenedGoStraightToTheHandOver) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers' runtime checks an object's type through a pipe of its own: with no
  // descriptor left it cannot, and reports the object as bad. The plain build runs this.
  GTEST_SKIP() << "the sanitizers' runtime needs spare descriptors";
#endif
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) {
    static bool handedover = false;
    const rlimit onlythree = {3, 3};
    if (chdir(dir.path().c_str()) != 0 || !std::freopen("said.txt", "w", stderr) ||
        setrlimit(RLIMIT_NOFILE, &onlythree) != 0)
      _exit(2);
    Kolvo2Main([] { handedover = true; });
    std::fflush(stderr);
    _exit(handedover ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no hand-over";
  EXPECT_FALSE(std::ifstream(dir / "Kolvo2.cfg").good()) << "the game ran";
  std::ifstream said(dir / "said.txt");
  const std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "kolvo2: cannot open the console's devices\n");
}

// ZoltMain runs the game from the start data on the host layer's devices and hands the
// object back ended: with the game's packs it passes the intro and leaves from the title's
// "Quit" and its closing screen; with none the intro's first step ends it.
TEST(Program, ZoltMainRunsTheGameFromItsStartDataAndReturnsIt) {
  namespace b = gp2x::buttons;
  struct Case {
    const char* name;
    bool packs;
    uint64_t atleastms;  // the virtual time the run has taken by its end
    uint32_t screen;     // the module the run ended in (0 intro, 1 title)
    const char* said;
  };
  const Case cases[] = {
      {"packs", true, 11600, 1, ""},
      {"no packs", false, 0, 0, "kolvo2: cannot open res/gfx.zpk: missing, or not a pack\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.packs) {
      ASSERT_EQ(symlink((std::string(KOLVO2_DATA_DIR) + "/res").c_str(), (dir / "res").c_str()), 0);
    }
    GAMECONFIG cfg;
    ResetCfg(cfg, nullptr);
    cfg.musicvolume = cfg.sfxvolume = 0;  // a silent game: no sound thread in this test
    cfg.alloff = 1;
    ASSERT_EQ(SaveCfg(cfg, (dir / "Kolvo2.cfg").c_str()), 1);
    gp2x::host::configure(gp2x::host::Settings());
    // The intro ends near 9.6 s; then "Quit" (up from the first entry) and A on the
    // closing screen.
    gp2x::host::runtime().input.set_script(
        {{10000, b::kUp}, {10050, 0}, {10300, b::kB}, {10350, 0}, {11600, b::kA}, {11650, 0}});
    ASSERT_EQ(HandleDevicePtr(false), 1);
    WorkingDir in(dir.path());
    ZOLTDATA data;
    ZRecord_StartData(&data, "Untitled", "-fullscreen");
    ::testing::internal::CaptureStderr();
    ClassZolt* app = ZoltMain(&data);
    const std::string said = ::testing::internal::GetCapturedStderr();
    HandleDevicePtr(true);
    ClassMain* game = dynamic_cast<ClassMain*>(app);
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(std::memcmp(&game->data, &data, sizeof data), 0) << "the start data, copied";
    EXPECT_EQ(game->config.fullscreen, 1) << "the command line reached OnCreate";
    EXPECT_EQ(game->GetAppStatus(), ZSTATUS_ENDED);
    EXPECT_EQ(game->modules.index, MODULE_QUIT) << "the game's own quit";
    EXPECT_EQ(game->title.state, c.screen == 1 ? uint32_t(TITLE_CLOSING) : uint32_t(TITLE_FADEIN));
    EXPECT_EQ(game->intro.phase, c.screen == 1 ? INTRO_FADEOUT : INTRO_LOADING);
    EXPECT_GE(gp2x::host::now_ns() / 1000000, c.atleastms);
    EXPECT_EQ(said, c.said);
    delete app;
  }
}

// A record the game cannot use is never lost, whatever the file system refuses of the ways
// to set it aside: it goes aside by the one that works, or where none does, the whole run
// (a Classic game played to its end, the save that follows and the one at the quit) leaves
// it as it is, and the player is told so once.
TEST(Program, ADamagedRecordOutlivesAGamePlayedWhereTheWaysAsideAreRefused) {
  namespace b = gp2x::buttons;
  const struct Case {
    const char* what;
    RefusingCfgCalls::Refusals refused;  // the claim by an exclusive create always works
    bool kept;
  } cases[] = {
      {"no one-step rename and no links", {ENOSYS, EPERM, 0, 0}, true},
      {"the one-step rename refused by a filter, and links", {EPERM, EPERM, 0, 0}, true},
      {"every way refused", {EPERM, EPERM, 0, EPERM}, false},
  };
  const std::vector<uint8_t> damaged = {'s', 'c', 'o', 'r', 'e', 's', '?'};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ASSERT_EQ(symlink((std::string(KOLVO2_DATA_DIR) + "/res").c_str(), (dir / "res").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(dir / "Kolvo2.cfg", damaged));
    gp2x::host::Settings settings;
    settings.dsp = false;  // a silent game: no sound thread in this test
    gp2x::host::configure(settings);
    // "Classic game", hard drops to the top, then (back on the title) "Quit" and A on the
    // closing screen. The default tables' scores are out of reach: no name is asked for.
    std::vector<gp2x::host::ScriptEvent> route = {{10000, b::kB}, {10050, 0}};
    for (uint32_t i = 0; i < 10; ++i)
      route.insert(route.end(), {{11000 + 100 * i, b::kX}, {11050 + 100 * i, 0}});
    route.insert(route.end(),
                 {{16500, b::kUp}, {16550, 0}, {16800, b::kB}, {16850, 0}, {18100, b::kA}, {18150, 0}});
    gp2x::host::runtime().input.set_script(route);
    const CFGFILECALLS calls = RefusingCfgCalls::Calls(c.refused);
    ASSERT_EQ(HandleDevicePtr(false), 1);
    std::string said;
    uint32_t index = 0, score = 0;
    {
      WorkingDir in(dir.path());
      ZOLTDATA data;
      ZRecord_StartData(&data, "Untitled", "");
      auto game = std::make_unique<ClassMain>(&data);
      game->cfgcalls = &calls;
      ::testing::internal::CaptureStderr();
      game->Start();
      said = ::testing::internal::GetCapturedStderr();
      index = game->modules.index;
      score = game->stats.score;
    }
    HandleDevicePtr(true);
    EXPECT_EQ(index, MODULE_QUIT) << "the game's own quit";
    EXPECT_GT(score, 0u) << "a game was played";
    // Wherever it went, the damaged file is in the folder, and nothing the ways tried left.
    std::vector<std::string> holding;
    for (const std::string& name : FolderNames(dir.path()))
      if (name != "res" && ReadWholeFile(dir / name) == damaged) holding.push_back(name);
    EXPECT_EQ(holding, std::vector<std::string>{c.kept ? "Kolvo2.cfg.bad" : "Kolvo2.cfg"}) << said;
    const std::string unusable = "kolvo2: Kolvo2.cfg cannot be used (damaged, cut short or unreadable): ";
    if (c.kept) {
      EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"Kolvo2.cfg", "Kolvo2.cfg.bad", "res"}));
      EXPECT_EQ(said, unusable + "the game starts from the defaults; the old file is kept as Kolvo2.cfg.bad\n");
      EXPECT_EQ(RefusingCfgCalls::saves, 2) << "at the game's end and at the quit";
      GAMECONFIG saved;
      EXPECT_EQ(LoadCfg(saved, nullptr, dir / "Kolvo2.cfg"), 1);
    } else {
      EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"Kolvo2.cfg", "res"}));
      EXPECT_EQ(said, unusable + "the game starts from the defaults and saves nothing this run, so as not to "
                                 "write over it (it cannot be set aside: Operation not permitted)\n");
      EXPECT_EQ(RefusingCfgCalls::saves, 0);
    }
  }
}

}  // namespace
