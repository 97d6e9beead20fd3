#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/game/flow/data_files.h"
#include "pellax/game/render/world_image.h"
#include "tests/support/pellax_audio_double.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs each test in a fresh temporary folder.
class DataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    audio_standin_reset();
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_), 0);
  }
  static void write_file(const char* name, const std::vector<uint16_t>& pixels) {
    std::FILE* f = std::fopen(name, "wb");
    ASSERT_TRUE(f);
    std::fwrite(pixels.data(), 2, pixels.size(), f);
    std::fclose(f);
  }
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

TEST_F(DataFilesTest, PicturesFillTheirSlotAndShortFilesKeepTheRest) {
  std::vector<uint16_t> full(kCanvasPixels, 0x1234);
  write_file("full.lvl", full);
  write_file("short.lvl", std::vector<uint16_t>(1000, 0x4321));
  std::fill(image_slot(2), image_slot(2) + kCanvasPixels, uint16_t(0x0F0F));
  EXPECT_EQ(load_image_file("full.lvl", 2), 0);
  EXPECT_EQ(image_slot(2)[kCanvasPixels - 1], 0x1234);
  EXPECT_EQ(load_image_file("short.lvl", 2), -1);
  EXPECT_EQ(image_slot(2)[999], 0x4321);
  EXPECT_EQ(image_slot(2)[1000], 0x1234);  // the rest as it was
  EXPECT_EQ(load_image_file("full.lvl", 0), -1);  // no such slot: nothing read
  EXPECT_EQ(load_image_file("full.lvl", 7), -1);
}

TEST_F(DataFilesTest, AMissingPictureLeavesItsSlotBlackAndIsReportedOnce) {
  std::fill(image_slot(3), image_slot(3) + kCanvasPixels, uint16_t(0x0F0F));
  std::fill(image_slot(4), image_slot(4) + kCanvasPixels, uint16_t(0x0F0F));
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_image_file("gone.lvl", 3), -1);
  EXPECT_EQ(load_image_file("gone.lvl", 3), -1);  // a later zone asks again
  EXPECT_EQ(load_image_file("gone.lvl", 4), -1);
  EXPECT_EQ(load_image_file("lost.lvl", 4), -1);
  const std::string said = testing::internal::GetCapturedStderr();
  for (int slot : {3, 4})
    EXPECT_EQ(std::count(image_slot(slot), image_slot(slot) + kCanvasPixels, 0), kCanvasPixels);
  EXPECT_EQ(said,
            "pellax: cannot open picture gone.lvl: No such file or directory\n"
            "pellax: cannot open picture lost.lvl: No such file or directory\n");
}

TEST_F(DataFilesTest, MarkerFilesAreCreatedEmpty) {
  write_file("spangels", std::vector<uint16_t>(10, 1));
  EXPECT_EQ(create_marker_file("spangels"), 0);
  EXPECT_EQ(create_marker_file("miner"), 0);
  struct stat st;
  ASSERT_EQ(stat("spangels", &st), 0);
  EXPECT_EQ(st.st_size, 0);
  ASSERT_EQ(stat("miner", &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(create_marker_file("no_such_folder/miner"), -1);
}

TEST_F(DataFilesTest, CustomMusicPicksAnExistingTrackOrGivesUp) {
  mt_seed_array(3);
  EXPECT_EQ(play_random_custom_music(), 0);  // none at all: bounded, no load
  EXPECT_TRUE(audio_events().empty());
  ASSERT_EQ(mkdir("custommusic", 0755), 0);
  write_file("custommusic/7.ogg", {1});
  EXPECT_EQ(play_random_custom_music(), 1);
  ASSERT_EQ(audio_events().size(), 1u);
  EXPECT_EQ(audio_events()[0].name, "music_load");
  EXPECT_EQ(audio_events()[0].path, "custommusic/7.ogg");
}

// What is not a regular file is read and written by none of the helpers, and none waits
// on a FIFO: the custom music gives up, a picture stays black, a marker is not made.
TEST_F(DataFilesTest, NoHelperTakesOrWaitsOnAFifoOrAFolder) {
  const struct Case {
    const char* what;
    bool fifo;
    const char* error;
  } cases[] = {
      {"FIFO", true, "Not a regular file (a FIFO, a device or a socket)"},
      {"folder", false, "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(std::system("rm -rf custommusic *.lvl trophy"), 0);
    ASSERT_EQ(mkdir("custommusic", 0755), 0);
    const std::string picture = std::string(c.what) + ".lvl", marker = std::string(c.what) + "-marker";
    std::vector<std::string> names = {picture, marker};
    for (int i = 1; i <= 10; ++i) names.push_back("custommusic/" + std::to_string(i) + ".ogg");
    std::vector<std::unique_ptr<FifoGuard>> fifos;
    for (const std::string& name : names) {
      if (c.fifo)
        fifos.push_back(std::make_unique<FifoGuard>(name));
      else
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    }
    audio_standin_reset();
    std::fill(image_slot(5), image_slot(5) + kCanvasPixels, uint16_t(0x0F0F));
    testing::internal::CaptureStderr();
    EXPECT_EQ(play_random_custom_music(), 0);
    EXPECT_EQ(load_image_file(picture.c_str(), 5), -1);
    EXPECT_EQ(create_marker_file(marker.c_str()), -1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(audio_events().empty());
    EXPECT_EQ(std::count(image_slot(5), image_slot(5) + kCanvasPixels, 0), kCanvasPixels);
    for (const auto& f : fifos) EXPECT_FALSE(f->Rescued()) << "a helper waited on a FIFO";
    EXPECT_NE(said.find("pellax: cannot open picture " + picture + ": " + c.error + "\n"), std::string::npos) << said;
    EXPECT_NE(said.find("pellax: cannot create " + marker + ": " + c.error + "\n"), std::string::npos) << said;
    EXPECT_NE(said.find("pellax: custommusic/3.ogg: " + std::string(c.error) + ": not used\n"), std::string::npos)
        << said;
  }
}

TEST_F(DataFilesTest, MusicSizeProbeKeepsTheOldValueWithoutAFile) {
  music_file_size_bytes = 5;
  music_file_size();
  EXPECT_EQ(music_file_size_bytes, 5);
  write_file("music.dat", std::vector<uint16_t>(21, 0));
  music_file_size();
  EXPECT_EQ(music_file_size_bytes, 42);
}

}  // namespace
