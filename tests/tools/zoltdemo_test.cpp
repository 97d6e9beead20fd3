// Runs the zoltdemo program through the host layer, headless from a button script and in a
// window under SDL's dummy video driver, and reads back the screenshots it left.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/graphics/zldr_png.h"
#include "tests/support/temp_dir.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/tools/tool_run.h"
#include "tools/zoltdemo/zoltdemo_pattern.h"

namespace {

using namespace zoltdemo;

// Frame n is shown from about n / 60 seconds on.
constexpr int FrameAt(int ms) { return ms * 60 / 1000; }

// Channels of a 5:6:5 screen read back as 8-bit RGB: compare the bits the screen keeps.
bool SameOnScreen(uint32_t a, uint32_t b) {
  return ((a ^ b) & 0x00F8FCF8u) == 0;
}

// Checks a screenshot of the demo: the frame it shows is one of first..last (worked out from
// where the bar stands, and confirmed by the background), the text is drawn, and the boxes
// of exactly the held buttons are lit.
void CheckShot(const std::string& path, int first, int last, std::set<uint32_t> held) {
  SCOPED_TRACE(path);
  const std::vector<uint8_t> png = ReadWholeFile(path);
  ASSERT_FALSE(png.empty());
  TestEngine e(0, ZFMT_XRGB8888);
  e.display.RegisterLoader(new ZLoader_PNG);
  Z2DSurface shot;
  shot.LinkZCD(&e.zcd);
  ASSERT_EQ(shot.LoadImage(png.data(), uint32_t(png.size()), ZFMT_XRGB8888, 1), 0);
  ASSERT_EQ(shot.GetWidth(), uint32_t(kWidth));
  ASSERT_EQ(shot.GetHeight(), uint32_t(kHeight));

  const int row = kHeight - 1;
  int left = 0;
  while (left < kWidth && shot.GetPixel(left, row) != 0xFFFFFF) ++left;
  ASSERT_LT(left, kWidth) << "no bar";
  const int n = left / 4;
  ASSERT_TRUE(n >= first && n <= last && BarLeft(n) == left) << "bar at " << left;
  for (int x = 0; x < kWidth; ++x) {
    const bool bar = x >= left && x < left + kBarWidth;
    const uint32_t c = shot.GetPixel(x, row);
    ASSERT_TRUE(bar ? c == 0xFFFFFF : SameOnScreen(c, Background(n))) << x << ": " << std::hex << c;
  }
  int white = 0;
  for (int y = kTextArea.top; y < kTextArea.bottom; ++y)
    for (int x = kTextArea.left; x < kTextArea.right; ++x) white += shot.GetPixel(x, y) == 0xFFFFFF;
  EXPECT_GT(white, 20) << "the text";
  for (int i = 0; i < kButtonCount; ++i) {
    const tagRECT box = ButtonBox(i);
    const bool lit = shot.GetPixel((box.left + box.right) / 2, (box.top + box.bottom) / 2) == 0xFFFFFF;
    EXPECT_EQ(lit, held.count(kButtons[i]) == 1) << "button " << kButtons[i];
  }
}

class ZoltDemoTool : public ::testing::Test {
 protected:
  TempDir dir;
  // Writes the button script "s.txt".
  bool Script(const std::string& text) {
    return WriteWholeFile(dir / "s.txt", std::vector<uint8_t>(text.begin(), text.end()));
  }
  // Runs the demo in the folder with these settings (GP2X_* variables and such).
  ToolRun Demo(const std::string& environment) {
    return RunTool("cd " + dir.path() + " && " + environment, ZOLTDEMO_PROGRAM);
  }
};

TEST_F(ZoltDemoTool, RunsHeadlessFromAScriptAndEndsOnStartAndSelect) {
  ASSERT_TRUE(Script("# hold right and A, let go, then Start + Select\n"
                     "0 none\n300 right a\n800 none\n1200 start+select\n"));
  const ToolRun run = Demo("GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_SHOT_AT=500,1000,2000 GP2X_UNTIL=5000");
  EXPECT_EQ(run.status, 0) << run.output;
  // Ended by the buttons, not by the run's time limit, and before the third picture.
  EXPECT_EQ(run.output.find("run ended"), std::string::npos) << run.output;
  EXPECT_TRUE(ReadWholeFile(dir / "shots/shot-00002000.png").empty());
  CheckShot(dir / "shots/shot-00000500.png", FrameAt(500) - 2, FrameAt(500), {ZBUTTON_RIGHT, ZBUTTON_A});
  CheckShot(dir / "shots/shot-00001000.png", FrameAt(1000) - 2, FrameAt(1000), {});
}

TEST_F(ZoltDemoTool, RunsInAWindow) {
#ifdef GP2X_HOST_NO_WINDOW
  GTEST_SKIP() << "the host layer is built without a window";
#endif
  ASSERT_TRUE(Script("0 none\n100 b\n400 start+select\n"));
  const ToolRun run = Demo(
      "SDL_VIDEODRIVER=dummy GP2X_HEADLESS=0 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_SCRIPT=s.txt "
      "GP2X_SHOTS=shots GP2X_SHOT_AT=300 GP2X_UNTIL=5000");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("run ended"), std::string::npos) << run.output;
  CheckShot(dir / "shots/shot-00000300.png", FrameAt(300) - 2, FrameAt(300), {ZBUTTON_B});
}

// A request to quit in the middle of a run (SIGTERM, sent once its first picture shows it
// is running) ends it through the framework's quit path, with exit code 0.
TEST_F(ZoltDemoTool, EndsOnSigterm) {
  const ToolRun run = RunTool("cd " + dir.path() + " && { GP2X_SHOTS=shots GP2X_SHOT_EVERY=100 " +
                                  ZOLTDEMO_PROGRAM + " & demo=$!; " +
                                  "while [ ! -s shots/shot-00000100.png ] && kill -0 $demo; do sleep 0.01; done; " +
                                  "kill -TERM $demo; wait $demo; }",
                              "");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("gp2x host: SIGTERM: the program is asked to quit"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("did not quit"), std::string::npos) << run.output;
}

TEST_F(ZoltDemoTool, HelpPrintsTheUsage) {
  const ToolRun help = RunTool(ZOLTDEMO_PROGRAM, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("usage: zoltdemo", 0), 0u) << help.output;
  const ToolRun bad = RunTool(ZOLTDEMO_PROGRAM, "--fast");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.output.rfind("zoltdemo: takes no arguments, not \"--fast\"\nusage: zoltdemo", 0), 0u) << bad.output;
}

}  // namespace
