// Runs the zscape demo headless from button scripts and reads back what it showed: the sky
// above the landscape's horizon, the ground below it, the ship drawn through the shader
// the A button picks, and the collision it reports.
#include <gtest/gtest.h>

#include <string>

#include "engine/graphics/zldr_png.h"
#include "tests/support/temp_dir.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/tools/tool_run.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;
// Where the demo draws its ship and its two text lines.
constexpr tagRECT kShip = {144, 192, 176, 216}, kText = {6, 4, 160, 32};

class ZscapeTool : public ::testing::Test {
 protected:
  TempDir dir;
  TestEngine e{0, ZFMT_XRGB8888};
  ZscapeTool() { e.display.RegisterLoader(new ZLoader_PNG); }

  ToolRun Run(const std::string& folder, const std::string& script) {
    const std::string path = dir.path() + "/" + folder;
    RunTool("mkdir -p", path);
    if (!WriteWholeFile(path + "/s.txt", std::vector<uint8_t>(script.begin(), script.end()))) return {-1, ""};
    return RunTool("cd " + path + " && GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_SHOT_AT=1000 GP2X_UNTIL=5000",
                   ZSCAPE_PROGRAM);
  }
  bool Load(const std::string& folder, Z2DSurface& shot) {
    const std::vector<uint8_t> png = ReadWholeFile(dir / (folder + "/shots/shot-00001000.png"));
    shot.LinkZCD(&e.zcd);
    return !png.empty() && shot.LoadImage(png.data(), uint32_t(png.size()), ZFMT_XRGB8888, 1) == 0 &&
           shot.GetWidth() == uint32_t(kWidth) && shot.GetHeight() == uint32_t(kHeight);
  }
};

TEST_F(ZscapeTool, FliesOverTheGroundAndMeetsTheFirstBeacon) {
  const ToolRun plain = Run("plain", "0 none\n1300 start+select\n");
  ASSERT_EQ(plain.status, 0) << plain.output;
  EXPECT_EQ(plain.output.find("run ended"), std::string::npos) << plain.output;
  // Straight ahead stands beacon 0: the flight meets it before the first second is over.
  EXPECT_NE(plain.output.find("zscape: hit beacon 0 at"), std::string::npos) << plain.output;
  Z2DSurface shot;
  ASSERT_TRUE(Load("plain", shot));

  // The sky: rows of one colour each, growing lighter downwards, down to the horizon;
  // below it the ground, whose rows are not of one colour.
  int horizon = 0;
  while (horizon < kHeight && shot.GetPixel(200, horizon) == shot.GetPixel(319, horizon)) ++horizon;
  EXPECT_GT(horizon, 100);
  EXPECT_LT(horizon, 200);
  for (int y = 1; y < horizon; ++y) {
    for (int x = 170; x < kWidth; x += 7) ASSERT_EQ(shot.GetPixel(x, y), shot.GetPixel(319, y)) << x << "," << y;
    EXPECT_GE(shot.GetPixel(319, y) >> 16 & 0xFF, shot.GetPixel(319, y - 1) >> 16 & 0xFF) << y;
  }
  for (int y = horizon + 2; y < kHeight; y += 5) {
    int changes = 0;
    for (int x = 1; x < kWidth; ++x) changes += shot.GetPixel(x, y) != shot.GetPixel(x - 1, y);
    EXPECT_GT(changes, 4) << "ground row " << y;
  }
}

// A picks the next shader: the same flight then differs only where the ship and the text
// are drawn.
TEST_F(ZscapeTool, TheShaderChangesOnlyTheShip) {
  const ToolRun a = Run("or", "0 none\n1300 start+select\n");
  const ToolRun b = Run("xor", "0 none\n100 a\n200 none\n1300 start+select\n");
  ASSERT_EQ(a.status, 0) << a.output;
  ASSERT_EQ(b.status, 0) << b.output;
  Z2DSurface one, two;
  ASSERT_TRUE(Load("or", one));
  ASSERT_TRUE(Load("xor", two));
  int ship = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (one.GetPixel(x, y) == two.GetPixel(x, y)) continue;
      const tagPOINT p = {x, y};
      ASSERT_TRUE(InRect(&kShip, &p) || InRect(&kText, &p)) << x << "," << y;
      ship += InRect(&kShip, &p);
    }
  EXPECT_GT(ship, 100);
}

// Started with no settings it would fly on for good: its usage says how to run it.
TEST_F(ZscapeTool, HelpPrintsTheUsage) {
  const ToolRun help = RunTool(ZSCAPE_PROGRAM, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("usage: zscape", 0), 0u) << help.output;
  EXPECT_NE(help.output.find("GP2X_UNTIL"), std::string::npos) << help.output;
  const ToolRun bad = RunTool(ZSCAPE_PROGRAM, "--fast");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.output.rfind("zscape: takes no arguments, not \"--fast\"\nusage: zscape", 0), 0u) << bad.output;
}

}  // namespace
