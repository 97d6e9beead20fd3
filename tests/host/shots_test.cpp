#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include "host/host_png.h"
#include "tests/host/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace gp2x;  // host:: controls

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Decodes what our writer produces (8-bit RGB, unfiltered rows), checking every chunk's CRC.
bool decode_png(const std::vector<uint8_t>& png, int* w, int* h, std::vector<uint8_t>* rgb) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return false;
  std::vector<uint8_t> idat;
  bool ended = false;
  for (size_t at = 8; at + 12 <= png.size() && !ended;) {
    const uint32_t size = be32(&png[at]);
    if (at + 12 + size > png.size()) return false;
    const uint8_t* type = &png[at + 4];
    if (crc32(0, type, size + 4) != be32(&png[at + 8 + size])) return false;
    if (!std::memcmp(type, "IHDR", 4)) {
      *w = static_cast<int>(be32(type + 4));
      *h = static_cast<int>(be32(type + 8));
      if (type[12] != 8 || type[13] != 2) return false;
    } else if (!std::memcmp(type, "IDAT", 4)) {
      idat.insert(idat.end(), type + 4, type + 4 + size);
    } else if (!std::memcmp(type, "IEND", 4)) {
      ended = true;
    }
    at += 12 + size;
  }
  const size_t row = static_cast<size_t>(*w) * 3;
  std::vector<uint8_t> raw((row + 1) * static_cast<size_t>(*h));
  uLongf raw_size = raw.size();
  if (!ended || uncompress(raw.data(), &raw_size, idat.data(), idat.size()) != Z_OK || raw_size != raw.size())
    return false;
  rgb->clear();
  for (int y = 0; y < *h; ++y) {
    if (raw[y * (row + 1)] != 0) return false;
    rgb->insert(rgb->end(), raw.begin() + y * (row + 1) + 1, raw.begin() + (y + 1) * (row + 1));
  }
  return true;
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class ShotsTest : public HostTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.empty());
    HostTest::SetUp();
  }
  bool exists(const std::string& name) {
    struct stat st {};
    return ::stat((dir_ + "/" + name).c_str(), &st) == 0;
  }
  TempDir temp_;
  const std::string& dir_ = temp_.path();
};

TEST(Png, EncodesPixelsExactly) {
  std::vector<uint8_t> rgb(7 * 3 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37);
  int w = 0, h = 0;
  std::vector<uint8_t> back;
  ASSERT_TRUE(decode_png(host::encode_png(rgb.data(), 7, 3), &w, &h, &back));
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(back, rgb);
}

TEST_F(ShotsTest, HeadlessScreenshotShowsTheFramebuffer) {
  settings_.shots_dir = dir_;
  settings_.shot_at_ms = {100};
  reconfigure();
  const int fd = gp2x::open("/dev/fb0", O_RDWR);
  uint16_t* fb = static_cast<uint16_t*>(gp2x::mmap(nullptr, 153600, PROT_WRITE, MAP_SHARED, fd, 0));
  ASSERT_NE(fb, MAP_FAILED);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      fb[y * 320 + x] = static_cast<uint16_t>((x / 10) << 11 | (y / 4) << 5 | ((x + y) & 31));
  gp2x::usleep(99000);
  EXPECT_FALSE(exists("shot-00000100.png"));
  gp2x::usleep(2000);
  ASSERT_TRUE(exists("shot-00000100.png"));
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(decode_png(read_file(dir_ + "/shot-00000100.png"), &w, &h, &rgb));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(rgb, host::screen_rgb());
  // Spot-check the colour expansion: (x 319, y 239) is r 31, g 59, b 14.
  const uint8_t* last = &rgb[(239 * 320 + 319) * 3];
  EXPECT_EQ(last[0], 255);
  EXPECT_EQ(last[1], (59 << 2) | (59 >> 4));
  EXPECT_EQ(last[2], (14 << 3) | (14 >> 2));
  gp2x::close(fd);
}

TEST_F(ShotsTest, ScreenshotsEveryIntervalAndAtListedTimes) {
  settings_.shots_dir = dir_;
  settings_.shot_every_ms = 500;
  settings_.shot_at_ms = {1250, 700};
  reconfigure();
  gp2x::usleep(1600000);
  for (const char* name : {"shot-00000500.png", "shot-00000700.png", "shot-00001000.png",
                           "shot-00001250.png", "shot-00001500.png"})
    EXPECT_TRUE(exists(name)) << name;
  EXPECT_FALSE(exists("shot-00000000.png"));
  EXPECT_FALSE(exists("shot-00002000.png"));
}

TEST_F(ShotsTest, FolderIsCreatedWithItsParents) {
  settings_.shots_dir = dir_ + "/run/3/shots";
  settings_.shot_at_ms = {10};
  reconfigure();
  gp2x::usleep(10000);
  EXPECT_TRUE(exists("run/3/shots/shot-00000010.png"));
}

TEST_F(ShotsTest, UnwritableFolderStopsTheRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string file = dir_ + "/plain";
  std::ofstream(file) << "x";
  settings_.shots_dir = file;
  // (The death test runs the test again in a child, with a folder of its own.)
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2),
              "cannot write screenshots to \".*/plain\": not a folder");
  settings_.shots_dir = "/proc/no/such/folder";
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2), "cannot write screenshots");
}

}  // namespace
