// The system's request to quit (SIGTERM, SIGINT, the PC's window closed) ends the
// framework's loop at the next frame through the game's own quit path.
#include <csignal>

#include "tests/engine/app/zolt_fixture.h"

using Calls = std::vector<std::string>;

namespace {

void ConsoleScreen(ZOLTCONFIG& c) {
  c.width = 320;
  c.height = 240;
}

class ZoltQuitRequest : public ZoltHostTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    gp2x::host::Settings s = QuietSettings();
    s.quit_guard_ms = 0;  // the test process goes on after the request
    Reconfigure(s);
  }
};

TEST_P(ZoltQuitRequest, EndsTheLoopAtTheNextFrameThroughOnExit) {
  RecordingApp app;
  app.setup = ConsoleScreen;
  app.logButtons = false;
  const int signal = GetParam();
  app.frame = [signal](RecordingApp& a, uint32_t) {
    if (a.frames == 3) std::raise(signal);
  };
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_EQ(app.frames, 3) << "no frame after the one that saw the request";
  EXPECT_EQ(app.calls.back(), "exit");
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_ENDED);
  EXPECT_EQ(app.display.backbufferformat, 0) << "the display closes as after the game's own quit";
}

TEST_P(ZoltQuitRequest, APausedApplicationQuitsToo) {
  RecordingApp app;
  app.setup = [](ZOLTCONFIG& c) {
    ConsoleScreen(c);
    c.pauseidles = 1;  // a paused application runs no frames
  };
  app.logButtons = false;
  const int signal = GetParam();
  app.frame = [signal](RecordingApp& a, uint32_t) {
    if (a.frames == 1) {
      a.ChangeAppStatus(ZSTATUS_PAUSED);
      std::raise(signal);
    }
  };
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_EQ(app.frames, 1);
  EXPECT_EQ(app.calls.back(), "exit");
}

INSTANTIATE_TEST_SUITE_P(Signals, ZoltQuitRequest, ::testing::Values(SIGTERM, SIGINT));

}  // namespace
