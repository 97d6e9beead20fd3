// Real modules from a Debian game data package, fetched on first use by fetch_modules.sh
// (never committed; the test is skipped when they cannot be fetched). Each loads, renders
// without error, and plays as long as its song: libxmp walks the same song tick by tick,
// and its ticks and rows, timed the way this engine times them, give the expected length.
#include <gtest/gtest.h>

#include <xmp.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/sound/fake_driver.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kChunkFrames = 441;  // 10 ms of output a call
// Modules whose length is checked; the rest only load and render briefly.
constexpr size_t kLengthChecks = 6;

std::vector<std::string> fetchModules() {
  const std::string dir = QSS_MODULE_CACHE;
  const std::string command = std::string("sh '") + QSS_FETCH_SCRIPT + "' '" + dir + "'";
  if (std::system(command.c_str()) != 0) return {};
  const std::string musics = dir + "/usr/share/games/tecnoballz/musics";
  std::vector<std::string> files;
  if (DIR* d = opendir(musics.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mod") == 0)
        files.push_back(musics + "/" + name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Frames of one tick at a tempo (tempos from 33 up), and of the song as libxmp plays it.
uint64_t tickFrames(int bpm) {
  const uint64_t ticksPerSecond = static_cast<uint64_t>(bpm) * 2 / 5;
  return (((uint64_t{kRate} << 16) / (256 * ticksPerSecond)) >> 8) + 1;
}

uint64_t referenceFrames(const std::vector<uint8_t>& image, uint64_t* lastTick) {
  xmp_context x = xmp_create_context();
  uint64_t frames = 0;
  if (xmp_load_module_from_memory(x, const_cast<uint8_t*>(image.data()),
                                  static_cast<long>(image.size())) == 0) {
    xmp_start_player(x, kRate, 0);
    xmp_frame_info fi;
    while (xmp_play_frame(x) == 0) {
      xmp_get_frame_info(x, &fi);
      if (fi.loop_count > 0) break;
      // A row takes one frame of its own before its ticks.
      if (fi.frame == 0) ++frames;
      *lastTick = tickFrames(fi.bpm);
      frames += *lastTick;
    }
    xmp_end_player(x);
    xmp_release_module(x);
  }
  xmp_free_context(x);
  return frames;
}

bool hasSignature(const std::vector<uint8_t>& image) {
  return image.size() >= 1084 &&
         qssMusic::translatePTSign(reinterpret_cast<const signed char*>(&image[1080])) != 0;
}

TEST(RealModules, LoadRenderAndPlayTheirSongsLength) {
  const std::vector<std::string> files = fetchModules();
  if (files.empty()) GTEST_SKIP() << "no modules could be fetched";
  size_t checked = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> image = readAll(path);
    qssMusic music;
    if (!hasSignature(image)) {
      // 15-sample modules carry no signature and are not played.
      EXPECT_EQ(music.load(image.data(), image.size(), false), -100);
      continue;
    }
    ASSERT_EQ(music.load(image.data(), image.size(), false), 0);
    FakeSpeaker s;
    ASSERT_EQ(s.open(kRate, 16, true, 1, 8), 0);
    ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
    bool sound = false;
    uint64_t rendered = 0;
    const bool checkLength = checked < kLengthChecks;
    const uint64_t limit = checkLength ? uint64_t{kRate} * 900 : kRate * 2;
    while (!s.channel(0)->stopped() && rendered < limit) {
      for (int16_t v : s.pump16(kChunkFrames)) sound = sound || v != 0;
      rendered += kChunkFrames;
    }
    EXPECT_TRUE(sound);
    if (!checkLength) continue;
    ++checked;
    ASSERT_TRUE(s.channel(0)->stopped());
    // The song stopped inside the last call.
    uint64_t tick = 0;
    const uint64_t expect = referenceFrames(image, &tick);
    EXPECT_GT(expect + tick, rendered - kChunkFrames);
    EXPECT_LT(expect, rendered + tick);
  }
  EXPECT_EQ(checked, kLengthChecks);
}

}  // namespace
