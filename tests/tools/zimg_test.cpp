// Runs the zimg program as a person would: a PNG and a BMP decoded and written as BMP
// files whose bytes are checked (with the alpha of a picture with transparency), and the
// failures it must report in words.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/graphics/zsurf_format.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/tool_run.h"
#include "tests/engine/graphics/ldr_test_images.h"

namespace {

using ldrtest::Bytes;

ToolRun Zimg(const std::string& arguments) { return RunTool(ZIMG_PROGRAM, arguments); }

uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

// Colour 0x00BBGGRR of pixel (x, y) (top-left origin) of a 24-bit bottom-up BMP.
uint32_t BmpPixel(const Bytes& b, uint32_t x, uint32_t y) {
  const uint32_t w = Get32(b, 18), h = Get32(b, 22), stride = (3 * w + 3) / 4 * 4;
  const size_t at = Get32(b, 10) + size_t(h - 1 - y) * stride + 3 * x;
  return uint32_t(b[at]) << 16 | uint32_t(b[at + 1]) << 8 | b[at + 2];
}

// A PNG of w x h words 0xAABBGGRR, row by row: RGB (colour type 2) or RGBA (6).
Bytes MakePicture(const uint32_t* words, uint32_t w, uint32_t h, uint8_t colourtype) {
  ldrtest::PngPicture s;
  s.width = w;
  s.height = h;
  s.colourtype = colourtype;
  const int channels = colourtype == 6 ? 4 : 3;
  for (uint32_t i = 0; i < w * h; ++i)
    for (int c = 0; c < channels; ++c) s.samples.push_back(uint16_t(words[i] >> (8 * c) & 0xFF));
  return ldrtest::MakePng(s);
}

// 3 x 2 RGB picture, black included (opaque black is not the transparent key).
const uint32_t kColours[2][3] = {{0x563412, 0x000000, 0xFFFFFF}, {0x0000FF, 0x00FF00, 0xC08040}};

Bytes SamplePng() { return MakePicture(&kColours[0][0], 3, 2, 2); }

class ZimgTool : public ::testing::Test {
 protected:
  TempDir dir;
  std::string out = dir / "out.bmp";
};

TEST_F(ZimgTool, WritesWhatItDecodesAsA24BitBmp) {
  ASSERT_TRUE(WriteWholeFile(dir / "in.png", SamplePng()));
  const ToolRun run = Zimg(dir / "in.png" + " " + out);
  ASSERT_EQ(run.status, 0) << run.output;
  const Bytes bmp = ReadWholeFile(out);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);  // rows of 9 bytes padded to 12
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Get32(bmp, 2), bmp.size());
  EXPECT_EQ(Get32(bmp, 18), 3u);
  EXPECT_EQ(Get32(bmp, 22), 2u);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x) {
      // 32-bit keeps every colour; black is stored as the replacement 0x010101.
      const uint32_t want = kColours[y][x] ? kColours[y][x] : 0x010101u;
      EXPECT_EQ(BmpPixel(bmp, x, y), want) << x << "," << y;
    }

  // Its own output read back through the BMP loader gives the same pixels.
  const std::string again = dir / "again.bmp";
  ASSERT_EQ(Zimg(out + " " + again).status, 0);
  EXPECT_EQ(ReadWholeFile(again), bmp);
}

TEST_F(ZimgTool, FormatOptionDecodesIntoThatFormat) {
  ASSERT_TRUE(WriteWholeFile(dir / "in.png", SamplePng()));
  const ToolRun run = Zimg(dir / "in.png" + " " + out + " --format 4");
  ASSERT_EQ(run.status, 0) << run.output;
  const Bytes bmp = ReadWholeFile(out);
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 3; ++x) {
      const uint32_t c = kColours[y][x] ? kColours[y][x] : 0x080808u;
      EXPECT_EQ(BmpPixel(bmp, x, y), ZSurf_Expand(ZFMT_RGB565, ZSurf_Pack(ZFMT_RGB565, c)))
          << x << "," << y;
    }
}

// 2 x 2 RGBA picture: opaque, half, a quarter and fully transparent.
const uint32_t kRgba[2][2] = {{0xFF563412, 0x80C08040}, {0x400000FF, 0x0000FF00}};

Bytes AlphaPng() { return MakePicture(&kRgba[0][0], 2, 2, 6); }

TEST_F(ZimgTool, APictureWithTransparencyKeepsItsAlphaInA32BitBmp) {
  ASSERT_TRUE(WriteWholeFile(dir / "in.png", AlphaPng()));
  for (const int format : {6, 4}) {
    SCOPED_TRACE(format);
    const ToolRun run = Zimg(dir / "in.png" + " " + out + " --format " + std::to_string(format));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("with alpha"), std::string::npos) << run.output;
    const Bytes bmp = ReadWholeFile(out);
    ASSERT_EQ(bmp.size(), 14u + 108 + 2 * 2 * 4);
    EXPECT_EQ(Get32(bmp, 10), 122u);  // pixels after the version 4 header
    EXPECT_EQ(Get32(bmp, 14), 108u);
    EXPECT_EQ(bmp[28] | bmp[29] << 8, 32);
    EXPECT_EQ(Get32(bmp, 30), 3u);  // bit fields: red, green, blue, alpha
    EXPECT_EQ(Get32(bmp, 54), 0x00FF0000u);
    EXPECT_EQ(Get32(bmp, 58), 0x0000FF00u);
    EXPECT_EQ(Get32(bmp, 62), 0x000000FFu);
    EXPECT_EQ(Get32(bmp, 66), 0xFF000000u);
    for (uint32_t y = 0; y < 2; ++y)
      for (uint32_t x = 0; x < 2; ++x) {
        const uint32_t rgba = kRgba[y][x], colour = rgba & 0xFFFFFF;
        const uint32_t want = format == 6 ? colour : ZSurf_Expand(ZFMT_RGB565, ZSurf_Pack(ZFMT_RGB565, colour));
        const uint32_t word = Get32(bmp, 122 + ((1 - y) * 2 + x) * 4);  // 0xAARRGGBB, bottom-up
        EXPECT_EQ(word >> 24, rgba >> 24) << x << "," << y;
        if (rgba >> 24) {  // a partly transparent pixel keeps its colour, not black
          EXPECT_EQ((word & 0xFF) << 16 | (word & 0xFF00) | (word >> 16 & 0xFF), want) << x << "," << y;
        }
      }
  }
}

TEST_F(ZimgTool, FailuresSayWhatWentWrongAndLeaveNoFile) {
  const Bytes png = SamplePng();
  Bytes cut(png.begin(), png.begin() + 40);  // inside IDAT: the chunk runs past the data
  ASSERT_TRUE(WriteWholeFile(dir / "cut.png", cut));
  ASSERT_TRUE(WriteWholeFile(dir / "text.txt", Bytes{'h', 'e', 'l', 'l', 'o'}));
  ASSERT_TRUE(WriteWholeFile(dir / "fine.png", png));
  const std::string pngout = dir / "out.png";
  const struct {
    std::string arguments;
    int status;
    std::string text;  // 2: the start of what is said, before the usage
  } cases[] = {
      {dir / "cut.png" + " " + out, 1, "zimg: " + dir / "cut.png" + ": the picture is damaged, cut short"},
      {dir / "text.txt" + " " + out, 1, "zimg: " + dir / "text.txt" + ": not a picture zimg can read (it reads PNG and BMP)"},
      {dir / "missing.png" + " " + out, 1, "cannot open " + dir / "missing.png" + ": No such file or directory"},
      {dir / "cut.png", 2, "zimg: needs IN and OUT.bmp, 1 names given\nusage: zimg"},
      {dir / "cut.png" + " " + out + " --format 9", 2, "zimg: --format 9: the format is a number from 1 to 6\nusage"},
      {dir / "cut.png" + " " + out + " --size 4", 2, "zimg: unknown option \"--size\"\nusage"},
      // A name asking for another kind of file is refused rather than given BMP bytes.
      {dir / "fine.png" + " " + pngout, 2, "zimg: " + pngout + ": zimg writes BMP files only"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Zimg(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.output;
    if (c.status == 2) {
      EXPECT_EQ(run.output.rfind(c.text, 0), 0u) << c.arguments << ": " << run.output;
    } else {
      EXPECT_NE(run.output.find(c.text), std::string::npos) << c.arguments << ": " << run.output;
    }
    EXPECT_TRUE(ReadWholeFile(out).empty()) << c.arguments;
    EXPECT_TRUE(ReadWholeFile(pngout).empty()) << c.arguments;
  }
  // A write that fails says why, for either kind of BMP.
  ASSERT_TRUE(WriteWholeFile(dir / "in.png", SamplePng()));
  ASSERT_TRUE(WriteWholeFile(dir / "alpha.png", AlphaPng()));
  for (const char* in : {"in.png", "alpha.png"}) {
    const ToolRun run = Zimg(dir / in + " " + dir / "no/such/folder/out.bmp");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot write " + dir / "no/such/folder/out.bmp"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("No such file or directory"), std::string::npos) << run.output;
  }
}

// A FIFO or a folder named as the picture to read or the BMP to write: zimg says which and
// fails at once rather than wait for the FIFO's other end, and leaves the name as it was.
TEST_F(ZimgTool, RefusesAFifoOrAFolderAtEitherName) {
  ASSERT_TRUE(WriteWholeFile(dir / "in.png", SamplePng()));
  const struct Case {
    const char* what;
    bool fifo;
    bool input;  // else the output
  } cases[] = {
      {"a FIFO to read", true, true},
      {"a folder to read", false, true},
      {"a FIFO to write", true, false},
      {"a folder to write", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = dir / (c.input ? "other.png" : "other.bmp");
    std::unique_ptr<FifoGuard> fifo;
    if (c.fifo)
      fifo = std::make_unique<FifoGuard>(name);
    else
      ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    const ToolRun run = Zimg(c.input ? name + " " + out : dir / "in.png" + " " + name);
    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(name), std::string::npos) << run.output;
    if (fifo) {
      EXPECT_FALSE(fifo->Rescued()) << "zimg waited on the FIFO";
    }
    struct stat st;
    ASSERT_EQ(lstat(name.c_str(), &st), 0);
    EXPECT_TRUE(c.fifo ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
    fifo.reset();
    dir.Clear();
    ASSERT_TRUE(WriteWholeFile(dir / "in.png", SamplePng()));
  }
}

}  // namespace
