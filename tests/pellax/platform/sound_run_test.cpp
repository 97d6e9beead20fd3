// The program itself, headless, recording its sound to a WAV file: the title music from the
// first second, silence once the audio setting turns the music off, an effect at each move
// on the level select, and the same recording on every run. The music files it plays each
// carry an Ogg serial number of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

struct Wav {
  uint32_t rate = 0;
  uint16_t channels = 0, bits = 0;
  std::vector<int16_t> samples;
};

Wav parse_wav(const std::string& bytes) {
  Wav w;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  auto u16 = [&](size_t at) {
    uint16_t v;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
  };
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) return w;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t n = u32(at + 4);
    if (id == "fmt ") {
      w.channels = u16(at + 10);
      w.rate = u32(at + 12);
      w.bits = u16(at + 22);
    } else if (id == "data") {
      const size_t count = std::min<size_t>(n, bytes.size() - at - 8) / 2;
      w.samples.resize(count);
      if (count) std::memcpy(w.samples.data(), bytes.data() + at + 8, count * 2);
    }
    at += 8 + n + (n & 1);
  }
  return w;
}

class SoundRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(std::system(("cp -a " + std::string(PELLAX_DATA) + "/. " + folder_).c_str()), 0);
    std::ofstream script(folder_ + "/script.txt");
    // Select turns the music off (effects stay on) and leaves the title for the level
    // select, where each move of the stick plays the move effect.
    script << "2000 select\n2100 none\n4000 right\n4100 none\n5000 right\n5100 none\n6000 left\n6100 none\n";
  }

  Wav run(const std::string& name) {
    const std::string command = "cd " + folder_ +
                                " && GP2X_HEADLESS=1 GP2X_TIMER_START=0x4321 GP2X_SCRIPT=script.txt"
                                " GP2X_WAV=" + name + " GP2X_UNTIL=7000 " + PELLAX_PROGRAM +
                                " > /dev/null 2> " + name + ".err";
    EXPECT_EQ(std::system(command.c_str()), 0) << read_file(folder_ + "/" + name + ".err");
    return parse_wav(read_file(folder_ + "/" + name));
  }
  // RMS of the samples between two times (seconds), both channels.
  static double rms(const Wav& w, double from, double to) {
    const size_t a = size_t(from * w.rate) * 2, b = std::min(w.samples.size(), size_t(to * w.rate) * 2);
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(w.samples[i]) * w.samples[i];
    return b > a ? std::sqrt(sum / double(b - a)) : 0.0;
  }

  TempDir temp_;

  std::string folder_;
};

TEST_F(SoundRunTest, TitleMusicThenEffectsAtEachMoveTheSameEveryRun) {
  const Wav w = run("one.wav");
  ASSERT_EQ(w.rate, 44100u);
  ASSERT_EQ(w.channels, 2);
  ASSERT_EQ(w.bits, 16);
  ASSERT_GE(w.samples.size(), size_t(44100 * 2 * 6.9));
  // Music in every tenth of a second from 0.2 s until the music goes off, without a
  // dropout (the title loads its music again at 0.7 s).
  for (double t = 0.2; t < 1.9; t += 0.1) EXPECT_GT(rms(w, t, t + 0.1), 200.0) << t;
  size_t zeros = 0, longest = 0;
  for (size_t i = size_t(0.2 * 44100) * 2; i < size_t(1.9 * 44100) * 2; ++i) {
    zeros = w.samples[i] == 0 ? zeros + 1 : 0;
    longest = std::max(longest, zeros);
  }
  EXPECT_LT(longest, 200u);
  EXPECT_LT(rms(w, 2.4, 3.9), 1.0);
  // Each move: the effect, then silence again.
  for (double t : {4.0, 5.0, 6.0}) {
    EXPECT_GT(rms(w, t, t + 0.3), 500.0) << t;
    EXPECT_LT(rms(w, t + 0.45, t + 0.9), 1.0) << t;
  }
  EXPECT_EQ(read_file(folder_ + "/one.wav"), (run("two.wav"), read_file(folder_ + "/two.wav")));
}

TEST(MusicFiles, EachTrackHasAnOggSerialNumberOfItsOwn) {
  std::set<uint32_t> serials;
  int tracks = 0;
  for (const auto& entry : std::filesystem::directory_iterator(PELLAX_DATA)) {
    const std::string bytes = read_file(entry.path().string());
    if (bytes.size() < 18 || bytes.compare(0, 4, "OggS") != 0) continue;
    uint32_t serial;  // the first page's header, bytes 14-17
    std::memcpy(&serial, bytes.data() + 14, 4);
    serials.insert(serial);
    ++tracks;
  }
  EXPECT_EQ(tracks, 11);
  EXPECT_EQ(serials.size(), size_t(tracks));
}

}  // namespace
