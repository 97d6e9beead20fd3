// qssplay renders a module or a sample headless into a WAV file, or plays it in real time
// through the sound card.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/sound/qss_fixtures.h"
#include "tests/support/temp_dir.h"

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
  void SetUp() override { ASSERT_FALSE(temp_.path().empty()); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = dir_ + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
  }
  int run(const std::string& args, const std::string& env = "") {
    std::string cmd = std::string("env -u GP2X_AUDIO -u GP2X_WAV -u GP2X_CLOCK GP2X_HEADLESS=1 ") + env + " " +
                      QSSPLAY_PATH + " " + args + " > " + dir_ + "/log.txt 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string log() {
    std::ifstream in(dir_ + "/log.txt");
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  TempDir temp_;
  const std::string& dir_ = temp_.path();
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

TEST_F(QssPlay, SaysWhyInWords) {
  const std::string junk = write("junk.bin", std::vector<uint8_t>(2000, 7));
  const struct {
    std::string args;
    std::string message;
    int status = 1;  // 2: a mistake on the command line, named before the usage
  } cases[] = {
      {"--out " + dir_ + "/o.wav " + junk, "junk.bin: not a module (unsupported data) nor a WAV sample (bad file structure)\n"},
      {"--out " + dir_ + "/o.wav " + dir_ + "/missing.mod", "missing.mod: cannot open the file: No such file or directory\n"},
      {"--seconds -3 " + junk, "qssplay: --seconds -3: the time is a number of seconds", 2},
      {"--rate 5 " + junk, "qssplay: --rate 5: the rate is a whole number of Hz from 4000", 2},
      {"--bits 12 " + junk, "qssplay: --bits 12: the sample size is 8 or 16 bits\n", 2},
      {junk + " --rate", "qssplay: --rate needs a value\n", 2},
      {junk + " " + junk, "qssplay: one FILE at a time", 2},
      // A recording the host layer could not make: said as qssplay's own, before any work.
      {"--out " + dir_ + " " + junk, "qssplay: " + dir_ + ": cannot record to it: it is a folder\n"},
      {"--out " + dir_ + "/no/o.wav " + junk,
       "qssplay: " + dir_ + "/no/o.wav: cannot record to it: No such file or directory\n"},
      {"--out " + junk + "/o.wav " + junk, "qssplay: " + junk + "/o.wav: cannot record to it: Not a directory\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), c.status) << c.args;
    const std::string said = log();
    if (c.status == 2) {
      EXPECT_EQ(said.find(c.message), 0u) << said;
      EXPECT_NE(said.find("\nusage: qssplay"), std::string::npos) << said;
    } else {
      EXPECT_NE(said.find(c.message), std::string::npos) << said;
    }
    EXPECT_EQ(said.find("gp2x host"), std::string::npos) << said;
  }
}

TEST_F(QssPlay, HelpGivesEveryOptionsDefault) {
  ASSERT_EQ(run("--help"), 0);
  const std::string help = log();
  for (const char* said : {"--rate HZ", "(default 44100)", "--bits 8|16", "(default 16)", "--mono", "(default: stereo)",
                           "--seconds S", "(default 0: at the file's", "--loop, --no-loop", "(default --no-loop)",
                           "--out FILE.wav"})
    EXPECT_NE(help.find(said), std::string::npos) << said << " in\n" << help;
}

TEST_F(QssPlay, TheSummaryGivesTheLengthRecorded) {
  std::string mod = write("song.mod", demoModule(8, 1));
  std::string out = dir_ + "/loop.wav";
  ASSERT_EQ(run("--loop --seconds 2.5 --rate 22050 --out " + out + " " + mod), 0);
  EXPECT_NE(log().find("song.mod: 2.50 s recorded to " + out + " at 22050 Hz, 16-bit stereo"), std::string::npos)
      << log();
  // To the song's end: what the file holds, tail included.
  mod = write("short.mod", demoModule(4, 2));
  ASSERT_EQ(run("--rate 22050 --out " + out + " " + mod), 0);
  char told[32];
  std::snprintf(told, sizeof told, "%.2f s recorded", double(readWav(out).data.size() / 4) / 22050);
  EXPECT_NE(log().find(told), std::string::npos) << told << " in " << log();
}

// Without --out the sound card plays it in real time (SDL's dummy driver stands in for it).
// Only bounds that a busy machine cannot break: it takes no less than the time asked, and
// says it played at least that long and no longer than it ran.
TEST_F(QssPlay, PlaysThroughTheSoundCardInRealTime) {
  std::string mod = write("song.mod", demoModule(8, 1));
#ifdef QSSPLAY_SOUND_CARD  // a host layer built without SDL2 has none
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(run("--seconds 0.3 " + mod, "SDL_AUDIODRIVER=dummy"), 0) << log();
  const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - start;
  EXPECT_GE(ran.count(), 0.3) << "not faster than real time";
  const std::string said = log();
  const size_t at = said.find("song.mod: ");
  ASSERT_NE(at, std::string::npos) << said;
  double played = 0;
  int end = 0;
  ASSERT_EQ(std::sscanf(said.c_str() + at, "song.mod: %lf s played at 44100 Hz, 16-bit stereo%n", &played, &end), 1)
      << said;
  EXPECT_GT(end, 0) << said;
  EXPECT_GE(played, 0.3) << said;
  EXPECT_LE(played, ran.count() + 0.005) << "the summary's time (two decimals) is the time it played";
#endif
  // No sound card: said at once, rather than playing into nothing.
  EXPECT_EQ(run(mod, "SDL_AUDIODRIVER=none-such"), 1);
  EXPECT_NE(log().find("qssplay: no sound card to play"), std::string::npos) << log();
#ifdef QSSPLAY_SOUND_CARD
  // A card the audio library cannot find: two lines of ours, none of the library's own.
  EXPECT_EQ(run(mod, "SDL_AUDIODRIVER=alsa ALSA_CARD=none-such AUDIODEV=none-such"), 1);
  const std::string quiet = log();
  EXPECT_NE(quiet.find("qssplay: no sound card to play"), std::string::npos) << quiet;
  EXPECT_EQ(std::count(quiet.begin(), quiet.end(), '\n'), 2) << quiet;
#endif
}

}  // namespace
