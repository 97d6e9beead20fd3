// qssplay renders a module or a sample headless into a WAV file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "tests/sound/qss_fixtures.h"

namespace {

struct Wav {
  uint32_t rate = 0;
  int channels = 0, bits = 0;
  std::vector<uint8_t> data;
};

Wav readWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> v((std::istreambuf_iterator<char>(in)), {});
  Wav w;
  if (v.size() < 44) return w;
  w.rate = v[24] | (v[25] << 8) | (v[26] << 16);
  w.channels = v[22];
  w.bits = v[34];
  w.data.assign(v.begin() + 44, v.end());
  return w;
}

class QssPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qssplay_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = dir_ + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
  }
  int run(const std::string& args) {
    std::string cmd = std::string("env -u GP2X_AUDIO -u GP2X_WAV GP2X_HEADLESS=1 ") + QSSPLAY_PATH +
                      " " + args + " > " + dir_ + "/log.txt 2>&1";
    return std::system(cmd.c_str());
  }
  std::string dir_;
};

TEST_F(QssPlay, RendersAModuleToItsEnd) {
  std::string mod = write("song.mod", demoModule(4, 2));
  std::string out = dir_ + "/song.wav";
  ASSERT_EQ(run("--out " + out + " " + mod), 0);
  Wav w = readWav(out);
  EXPECT_EQ(w.rate, 44100u);
  EXPECT_EQ(w.channels, 2);
  EXPECT_EQ(w.bits, 16);
  // 128 rows of 5299 frames, then a short tail of silence.
  const size_t song = 128u * 5299 * 4;
  ASSERT_GE(w.data.size(), song);
  EXPECT_LE(w.data.size(), song + 44100 * 4 / 2);
  size_t loud = 0;
  for (size_t i = 0; i < song; i += 2) loud += (w.data[i] | w.data[i + 1]) != 0;
  EXPECT_GT(loud, song / 4);
}

TEST_F(QssPlay, LoopsForTheSecondsAsked) {
  std::string mod = write("song.mod", demoModule(8, 1));
  // The recording holds exactly the time asked, not what the device had queued beyond it.
  const struct {
    const char* seconds;
    size_t frames;
  } cases[] = {{"1", 22050}, {"3", 3 * 22050}, {"2.5", 55125}, {"0.3", 6615}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    std::string out = dir_ + "/loop.wav";
    ASSERT_EQ(run(std::string("--loop --seconds ") + c.seconds + " --rate 22050 --bits 8 --mono --out " +
                  out + " " + mod),
              0);
    Wav w = readWav(out);
    EXPECT_EQ(w.rate, 22050u);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.bits, 8);
    EXPECT_EQ(w.data.size(), c.frames);
  }
}

TEST_F(QssPlay, StopsAtTheSongsEndBeforeTheSecondsAsked) {
  std::string mod = write("song.mod", demoModule(4, 2));
  std::string out = dir_ + "/song.wav";
  ASSERT_EQ(run("--seconds 60 --out " + out + " " + mod), 0);
  // 128 rows of 5299 frames, then a short tail of silence.
  const size_t song = 128u * 5299 * 4;
  Wav w = readWav(out);
  EXPECT_GE(w.data.size(), song);
  EXPECT_LE(w.data.size(), song + 44100 * 4 / 2);
}

TEST_F(QssPlay, PlaysAWavSample) {
  std::string wav = write("fx.wav", encodeAdpcmWav(testSignal(22050, 1, 5), 1, 22050, 256));
  std::string out = dir_ + "/fx_out.wav";
  ASSERT_EQ(run("--out " + out + " " + wav), 0);
  Wav w = readWav(out);
  EXPECT_GE(w.data.size(), 44100u * 4);
}

TEST_F(QssPlay, RefusesWhatItCannotPlay) {
  std::string junk = write("junk.bin", std::vector<uint8_t>(2000, 7));
  EXPECT_NE(run(junk), 0);
  EXPECT_NE(run("--bits 12 " + junk), 0);
  EXPECT_NE(run(""), 0);
}

}  // namespace
