// What the game's tests share: a clock the test moves, packs of tiny effects and modules
// built here with the engine's pack writer, a speaker over the fake output driver, and a
// random source that hands out the numbers a test scripts.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_platform.h"
#include "kolvo2/game_random.h"
#include "tests/support/temp_dir.h"
#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"

// The engine's millisecond clock, moved only by the test. It starts shortly before the
// 32-bit millisecond count wraps, so every time difference is taken across the wrap.
class FakeClock {
 public:
  static constexpr uint64_t kStartMs = (1ull << 32) - 300;

  FakeClock() {
    micros_ = kStartMs * 1000;
    ZPlatform_SetClock(&Now, &Sleep);
  }
  ~FakeClock() { ZPlatform_SetClock(nullptr, nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void Advance(uint32_t ms) { micros_ += static_cast<uint64_t>(ms) * 1000; }

 private:
  static uint64_t Now() { return micros_; }
  static void Sleep(uint32_t us) { micros_ += us; }
  static inline uint64_t micros_ = 0;
};

// Numbers handed out in the order given; past the end the seeded generator takes over.
class ScriptedRandom : public GameRandom {
 public:
  uint32_t Next() override {
    ++draws;
    if (script.empty()) return GameRandom::Next();
    uint32_t v = script.front();
    script.pop_front();
    return v;
  }
  std::deque<uint32_t> script;
  uint32_t draws = 0;
};

// A WAV image of 16-bit mono frames that all hold `marker`: a channel playing it shows
// which effect it is by its first frame.
inline std::vector<uint8_t> MarkedWav(int16_t marker, uint32_t frames = 64) {
  WavBuilder w;
  w.appendPcm(std::vector<int16_t>(frames, marker));
  return w.build();
}

// The marker of the effect a sound channel plays (its first 16-bit frame).
inline int16_t ChannelMarker(const qssChannel& c) {
  int16_t v = 0;
  std::memcpy(&v, c.data, sizeof(v));
  return v;
}

// Writes a pack whose entries are the given images, in order.
inline void WritePack(const std::string& path, const std::vector<std::vector<uint8_t>>& entries) {
  ClassZFile pack;
  ASSERT_EQ(pack.PackNew(path.c_str()), ZPK_OK) << path;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string name = "entry" + std::to_string(i);
    ASSERT_EQ(pack.PackAddFileData(name.c_str(), entries[i].data(),
                                   static_cast<uint32_t>(entries[i].size()), false,
                                   i % 2 ? ZPK_STORE_ZLIB : ZPK_STORE_RAW, 0),
              ZPK_OK);
  }
  pack.Close();
}

// A data folder "<dir>/res/" with the effect and music packs, the way the game finds
// them from its working folder: effect n marked 1000 n.
struct SoundPacks {
  TempDir dir;
  std::string folder;  // ends in "/"

  explicit SoundPacks(uint32_t effects = 8, uint32_t musics = 2) {
    folder = dir.path() + "/";
    EXPECT_EQ(mkdir((folder + "res").c_str(), 0755), 0);
    std::vector<std::vector<uint8_t>> sfx, bgm;
    for (uint32_t n = 1; n <= effects; ++n) sfx.push_back(MarkedWav(static_cast<int16_t>(1000 * n)));
    for (uint32_t n = 1; n <= musics; ++n) bgm.push_back(demoModule(4, n));
    WritePack(folder + "res/sfx.zpk", sfx);
    WritePack(folder + "res/bgm.zpk", bgm);
  }
};
