// The game's audio path on a fresh headless host layer (virtual clock, "/dev/dsp" captured)
// with the hardware opened, in a temporary folder for music files.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "host/host_second_core.h"
#include "host/host_settings.h"
#include "pellax/audio940/command_block.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/audio_driver.h"
#include "pellax/platform/video.h"
#include "tests/support/temp_dir.h"

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    settings_.audio = "capture";
    settings_.poll_ns = 0;
  }
  void TearDown() override {
    audio_shutdown();
    video_close();
    ASSERT_EQ(chdir(previous_), 0);
  }
  // The layer started with settings_ and the screen and register window opened.
  void start_host() {
    gp2x::host::configure(settings_);
    ASSERT_EQ(video_open(), 0);
  }
  void write_file(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_TRUE(f);
    if (!bytes.empty()) {
      ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
  }
  audio940::CommandBlock& b() { return *audio_cmd_block; }
  // The 16-bit samples "/dev/dsp" received since the last call.
  static std::vector<int16_t> captured() {
    const gp2x::host::CapturedAudio a = gp2x::host::take_captured_audio();
    std::vector<int16_t> s(a.bytes.size() / 2);
    if (!s.empty()) std::memcpy(s.data(), a.bytes.data(), s.size() * 2);
    return s;
  }

  gp2x::host::Settings settings_;
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

// The game's side started step by step: the audio thread's start made on the test's thread,
// the core entered there too and run only by second_core_step (or by a thread of the
// test's own), no audio thread.
class AudioStepTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    start_host();
    gp2x::host::set_second_core_stepping(true);
    ASSERT_EQ(audio_map(), 0);
    ASSERT_EQ(audio_thread_open(), 0);
    ASSERT_TRUE(audio_block_ready());
  }
  void TearDown() override {
    audio_thread_retract_block();
    audio_thread_close();
    audio_unmap();
    AudioTest::TearDown();
  }
};

// The effect streams built into the program, one by one.
inline std::vector<std::vector<uint8_t>> embedded_effects() {
  std::vector<std::vector<uint8_t>> out;
  uint32_t at = 0;
  while (at + 4 <= sfx_streams_size) {
    const uint32_t n = uint32_t(sfx_streams[at]) | uint32_t(sfx_streams[at + 1]) << 8 |
                       uint32_t(sfx_streams[at + 2]) << 16 | uint32_t(sfx_streams[at + 3]) << 24;
    at += 4;
    out.emplace_back(sfx_streams + at, sfx_streams + at + n);
    at += n;
  }
  return out;
}

// What the core's mixer makes of one source sample at a level, with the master volume.
inline int16_t mixed(int16_t s, int32_t level, int32_t master) {
  int64_t v = (int64_t(s) * level) >> 8;
  v = (v * master) >> 8;
  return int16_t(v > 32767 ? 32767 : v < -32767 ? -32767 : v);
}
