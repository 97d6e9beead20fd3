// Runs kolvo2sheet on the built puzzle-game data: it draws its sheet into the kind of file
// the name asks for, and says what is wrong when the packs are missing or damaged or the
// sheet cannot be written.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/tools/tool_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kWidth = 1000, kHeight = 1066;

uint32_t Be32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
uint32_t Le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

ToolRun Sheet(const std::string& data, const std::string& out) {
  return RunTool(KOLVO2SHEET_PROGRAM, "'" + data + "' '" + out + "'");
}

// The pixels (R, G, B a pixel, top row first) of the sheet as a PNG: 8-bit RGB rows, each
// with its filter byte (none).
Bytes PngPixels(const Bytes& png) {
  EXPECT_GE(png.size(), 33u);
  if (png.size() < 33) return {};
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(Be32(png, 16), kWidth);
  EXPECT_EQ(Be32(png, 20), kHeight);
  Bytes packed;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t size = Be32(png, at);
    if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT")
      packed.insert(packed.end(), png.begin() + at + 8, png.begin() + at + 8 + size);
    at += 12 + size;
  }
  Bytes rows((3 * kWidth + 1) * kHeight);
  uLongf size = rows.size();
  EXPECT_EQ(uncompress(rows.data(), &size, packed.data(), packed.size()), Z_OK);
  Bytes rgb;
  for (uint32_t y = 0; y < kHeight; ++y) {
    EXPECT_EQ(rows[y * (3 * kWidth + 1)], 0) << "row " << y;
    rgb.insert(rgb.end(), rows.begin() + y * (3 * kWidth + 1) + 1, rows.begin() + (y + 1) * (3 * kWidth + 1));
  }
  return rgb;
}

// The same from a 24-bit BMP: bottom row first, B, G, R a pixel (rows of 3000 bytes need no
// padding).
Bytes BmpPixels(const Bytes& bmp) {
  EXPECT_GE(bmp.size(), 54u);
  if (bmp.size() < 54) return {};
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 18), kWidth);
  EXPECT_EQ(Le32(bmp, 22), kHeight);
  EXPECT_EQ(bmp[28], 24);
  const size_t start = Le32(bmp, 10);
  EXPECT_EQ(bmp.size(), start + size_t(3) * kWidth * kHeight);
  if (bmp.size() != start + size_t(3) * kWidth * kHeight) return {};
  Bytes rgb;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) {
      const size_t at = start + (size_t(kHeight - 1 - y) * kWidth + x) * 3;
      rgb.insert(rgb.end(), {bmp[at + 2], bmp[at + 1], bmp[at]});
    }
  return rgb;
}

// A .bmp name gets a BMP with the very pixels the PNG holds; other names are refused.
TEST(Kolvo2Sheet, WritesTheKindOfFileTheNameAsksFor) {
  TempDir dir;
  const ToolRun png = Sheet(KOLVO2_DATA_DIR, dir / "sheet.png");
  ASSERT_EQ(png.status, 0) << png.output;
  const ToolRun bmp = Sheet(KOLVO2_DATA_DIR, dir / "sheet.BMP");
  ASSERT_EQ(bmp.status, 0) << bmp.output;
  const Bytes from_png = PngPixels(ReadWholeFile(dir / "sheet.png"));
  const Bytes from_bmp = BmpPixels(ReadWholeFile(dir / "sheet.BMP"));
  ASSERT_EQ(from_png.size(), size_t(3) * kWidth * kHeight);
  EXPECT_TRUE(from_png == from_bmp) << "the BMP holds other colours than the PNG";

  for (const char* name : {"sheet.gif", "sheet", "png"}) {
    const ToolRun refused = Sheet(KOLVO2_DATA_DIR, dir / name);
    EXPECT_EQ(refused.status, 2) << name;
    EXPECT_EQ(refused.output.rfind("kolvo2sheet: \"" + (dir / name) + "\": the sheet is written as .png or .bmp\n", 0),
              0u)
        << refused.output;
    EXPECT_NE(RunTool("test -e", dir / name).status, 0) << name;
  }
}

TEST(Kolvo2Sheet, SaysWhatIsWrongWithTheDataOrTheOutput) {
  TempDir dir;
  const Bytes gfx = ReadWholeFile(std::string(KOLVO2_DATA_DIR) + "/res/gfx.zpk");
  ASSERT_GT(gfx.size(), 1000u);
  const Bytes junk(600, 0x5A);
  struct Case {
    const char* folder;
    const char* gfx;    // "pack", "junk", "half", "folder" or "" (none)
    const char* games;  // the same
    const char* out;
    const char* message;  // after "kolvo2sheet: " and the data folder's path
  } cases[] = {
      {"none", "", "", "sheet.png", ": no data folder: No such file or directory"},
      {"empty", "", "", "sheet.png", "/res/gfx.zpk"},  // "no pack" before the path
      {"junk", "junk", "", "sheet.png", "/res/gfx.zpk: the pack is damaged (cut short, or not a pack at all)"},
      {"half", "half", "", "sheet.png", "/res/gfx.zpk: the pack is damaged (cut short, or not a pack at all)"},
      {"folder", "folder", "", "sheet.png", "/res/gfx.zpk: a folder, not a pack"},
      {"games", "pack", "junk", "sheet.png", "/res/games.zpk: the pack is damaged (cut short, or not a pack at all)"},
      {"nogames", "pack", "", "sheet.png", "/res/games.zpk"},
  };
  auto lay = [&](const std::string& path, const std::string& what) {
    if (what == "pack") return WriteWholeFile(path, gfx);
    if (what == "junk") return WriteWholeFile(path, junk);
    if (what == "half") return WriteWholeFile(path, Bytes(gfx.begin(), gfx.begin() + gfx.size() / 2));
    if (what == "folder") return RunTool("mkdir", path).status == 0;
    return true;
  };
  for (const Case& c : cases) {
    const std::string data = dir / c.folder;
    if (std::string(c.folder) != "none") {
      ASSERT_EQ(RunTool("mkdir -p", data + "/res").status, 0);
      ASSERT_TRUE(lay(data + "/res/gfx.zpk", c.gfx) && lay(data + "/res/games.zpk", c.games)) << c.folder;
    }
    const ToolRun run = Sheet(data, dir / c.out);
    EXPECT_EQ(run.status, 1) << c.folder << ": " << run.output;
    const bool missing = std::string(c.folder) == "empty" || std::string(c.folder) == "nogames";
    EXPECT_EQ(run.output, "kolvo2sheet: " + std::string(missing ? "no pack " : "") + data + c.message + "\n")
        << c.folder;
  }

  // The sheet is called what it is when it cannot be written, whichever kind.
  for (const char* out : {"no/sheet.png", "no/sheet.bmp"}) {
    const ToolRun run = Sheet(KOLVO2_DATA_DIR, dir / out);
    EXPECT_EQ(run.status, 1) << out;
    EXPECT_EQ(run.output, "kolvo2sheet: cannot write the sheet \"" + (dir / out) + "\": No such file or directory\n")
        << out;
  }
  EXPECT_EQ(RunTool(KOLVO2SHEET_PROGRAM, "").status, 2);
}

}  // namespace
