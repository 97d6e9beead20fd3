// Runs kolvo2sheet on the built puzzle-game data: it draws its sheet, and says so when the
// packs are not there.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/tools/tool_run.h"

namespace {

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

TEST(Kolvo2Sheet, DrawsTheBuiltDataAndNamesWhatIsMissing) {
  TempDir dir;
  const std::string out = dir / "sheet.png";
  const ToolRun run = RunTool(KOLVO2SHEET_PROGRAM, std::string(KOLVO2_DATA_DIR) + " " + out);
  ASSERT_EQ(run.status, 0) << run.output;
  std::ifstream in(out, std::ios::binary);
  const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(png.size(), 33u);
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(Be32(png, 16), 1000u);
  EXPECT_EQ(Be32(png, 20), 1066u);

  const ToolRun missing = RunTool(KOLVO2SHEET_PROGRAM, dir.path() + " " + out);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("no pack"), std::string::npos) << missing.output;
  EXPECT_EQ(RunTool(KOLVO2SHEET_PROGRAM, "").status, 2);
}

}  // namespace
