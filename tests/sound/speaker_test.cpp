// The speaker: mixer arithmetic, channel choice, sound end and loop, lifecycle.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"

namespace {

// A loaded sound of constant frames (mono: l only).
struct ConstSound {
  std::vector<uint8_t> image;
  qssSound sound;
  ConstSound(uint16_t bits, uint16_t channels, int l, int r, uint32_t frames = 64,
             uint32_t rate = 44100) {
    WavBuilder w;
    w.bits = bits;
    w.channels = channels;
    w.rate = rate;
    for (uint32_t f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) {
        int v = c == 0 ? l : r;
        if (bits == 8) {
          w.data.push_back(static_cast<uint8_t>(v));
        } else {
          w.data.push_back(static_cast<uint8_t>(v & 0xFF));
          w.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
      }
    image = w.build();
    EXPECT_EQ(sound.load(image.data(), image.size(), false), 0);
  }
};

struct MixCase {
  const char* name;
  uint32_t outBits;
  bool outStereo;
  uint16_t dataBits;
  uint16_t dataChannels;
  int l, r;  // raw data values (8-bit: unsigned byte)
  uint32_t pan, volume;
  int expectLeft, expectRight;  // output values as stored (8-bit: unsigned byte)
};

void PrintTo(const MixCase& c, std::ostream* os) { *os << c.name; }

class MixTable : public ::testing::TestWithParam<MixCase> {};

TEST_P(MixTable, FirstFrame) {
  const MixCase& c = GetParam();
  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, c.outBits, c.outStereo, 1, 8), 0);
  ConstSound snd(c.dataBits, c.dataChannels, c.l, c.r);
  snd.sound.pan(c.pan);
  snd.sound.volume(c.volume);
  ASSERT_EQ(s.playSound(&snd.sound, QSS_ANY_CHANNEL), 1);
  auto out = s.pump(16);
  int left, right;
  if (c.outBits == 16) {
    int16_t v[2];
    memcpy(v, out.data(), 4);
    left = v[0];
    right = c.outStereo ? v[1] : v[0];
  } else {
    left = out[0];
    right = c.outStereo ? out[1] : out[0];
  }
  EXPECT_EQ(left, c.expectLeft);
  EXPECT_EQ(right, c.expectRight);
}

INSTANTIATE_TEST_SUITE_P(
    Speaker, MixTable,
    ::testing::Values(
        // 16-bit full scale at volume 64 and centre pan: (32767 x 64) >> 7 per side.
        MixCase{"s16_centre", 16, true, 16, 1, 32767, 0, 128, 64, 16383, 16383},
        MixCase{"s16_pan0", 16, true, 16, 1, 32767, 0, 0, 64, 32767, 0},
        MixCase{"s16_pan255", 16, true, 16, 1, 32767, 0, 255, 64, 255, 32511},
        MixCase{"s16_pan127", 16, true, 16, 1, 32767, 0, 127, 64, 16639, 16127},
        MixCase{"s16_vol32", 16, true, 16, 1, -32768, 0, 128, 32, -8192, -8192},
        MixCase{"stereo_data_centre", 16, true, 16, 2, 1000, -2000, 128, 64, 500, -1000},
        MixCase{"stereo_data_pan0_sums", 16, true, 16, 2, 1000, -2000, 0, 64, -1000, 0},
        MixCase{"mono_out_sums_channels", 16, false, 16, 2, 1000, -2000, 128, 64, -500, -500},
        MixCase{"u8_data", 16, true, 8, 1, 0xFF, 0, 128, 64, 16256, 16256},
        MixCase{"u8_data_silence", 16, true, 8, 1, 0x80, 0, 128, 64, 0, 0},
        MixCase{"u8_out", 8, true, 16, 1, 32767, 0, 128, 64, 191, 191},
        MixCase{"u8_out_negative", 8, true, 16, 1, -32768, 0, 128, 64, 64, 64},
        MixCase{"u8_out_clamps_first", 8, true, 16, 1, -32768, 0, 0, 64, 0, 128},
        MixCase{"u8_out_mono", 8, false, 8, 1, 0x00, 0, 128, 64, 64, 64}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Speaker, SilenceAndClamping) {
  FakeSpeaker s8;
  ASSERT_EQ(s8.open(44100, 8, false, 0, 0), 0);
  EXPECT_EQ(s8.fake->spec.format, 0x21u);
  EXPECT_EQ(s8.fake->spec.channels, 1u);
  EXPECT_EQ(s8.maxChannelMusics(), 1u);
  EXPECT_EQ(s8.maxChannelSounds(), 8u);
  for (unsigned char b : s8.pump(64)) EXPECT_EQ(b, 0x80);

  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, 16, true, 1, 8), 0);
  EXPECT_EQ(s.fake->spec.format, 0x12u);
  for (unsigned char b : s.pump(64)) EXPECT_EQ(b, 0);
  // Two full-scale sounds hard left add to twice full scale: clamped.
  ConstSound a(16, 1, 32767, 0), b(16, 1, 32767, 0);
  a.sound.pan(0);
  b.sound.pan(0);
  s.playSound(&a.sound, QSS_ANY_CHANNEL);
  s.playSound(&b.sound, QSS_ANY_CHANNEL);
  auto v = s.pump16(4);
  EXPECT_EQ(v[0], 32767);
  EXPECT_EQ(v[1], 0);
}

TEST(Speaker, MasterVolumes) {
  FakeSpeaker s;
  EXPECT_EQ(s.volumeSounds(), 0u);
  ASSERT_EQ(s.open(44100, 16, true, 1, 8), 0);
  EXPECT_EQ(s.volumeSounds(), 64u);
  ConstSound a(16, 1, 32767, 0);
  int ch = s.playSound(&a.sound, QSS_ANY_CHANNEL);
  s.volumeMusics(100);
  EXPECT_EQ(s.volumeMusics(), 64u);
  s.volumeSounds(32);
  EXPECT_EQ(s.channel(ch)->volume(), 32u);
  EXPECT_EQ(s.pump16(1)[0], 32767 * 32 >> 7);
  s.volumeSounds(0);
  EXPECT_EQ(s.pump16(1)[0], 0);
  EXPECT_EQ(s.channel(ch)->volumeSet, 64u);  // the channel's own volume is kept
  s.volumeSounds(64);
  EXPECT_EQ(s.pump16(1)[0], 16383);
}

TEST(Speaker, ChannelNumbering) {
  FakeSpeaker s;
  EXPECT_EQ(s.channel(0), nullptr);
  ASSERT_EQ(s.open(44100, 16, true, 200, 500), 0);
  EXPECT_EQ(s.maxChannelMusics(), 64u);
  EXPECT_EQ(s.maxChannelSounds(), 128u);
  EXPECT_EQ(s.channel(-1), nullptr);
  EXPECT_EQ(s.channel(64), &s.sounds[0]);
  EXPECT_EQ(s.channel(63), &s.musics[63]);
  EXPECT_EQ(s.channel(64 + 127), &s.sounds[127]);
  EXPECT_EQ(s.channel(64 + 128), nullptr);
}

TEST(Speaker, ChannelChoice) {
  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, 16, true, 2, 8), 0);
  ConstSound a(16, 1, 100, 0), b(16, 1, 200, 0);
  // No cap: first free channels in order.
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), 2);
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), 3);
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), 4);
  s.stopSounds();

  // Cap 2: the last free channel; a third start while both play fails.
  a.sound.maxplaybacks(2);
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), 2 + 7);
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), 2 + 6);
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), -1000);
  // Another sound is not held back by a's cap.
  b.sound.maxplaybacks(1);
  EXPECT_EQ(s.playSound(&b.sound, QSS_ANY_CHANNEL), 2 + 5);
  EXPECT_EQ(s.playSound(&b.sound, QSS_ANY_CHANNEL), -1000);

  // Explicit index: free index plays; busy index, out of range, or a's own cap fail.
  EXPECT_EQ(s.playSound(&a.sound, 7), -1000);       // busy
  EXPECT_EQ(s.playSound(&a.sound, 8), -1000);       // beyond 8 sound channels
  EXPECT_EQ(s.playSound(&a.sound, 0), -1000);       // a already plays twice
  EXPECT_EQ(s.playSound(&b.sound, 0), -1000);       // b once, cap 1
  ConstSound c(16, 1, 300, 0);
  c.sound.maxplaybacks(1);
  // Only channels playing c count against c's cap, not the three busy others.
  EXPECT_EQ(s.playSound(&c.sound, 0), 2);
  EXPECT_EQ(s.playSound(&c.sound, 1), -1000);

  // Paused start: busy but not playing.
  a.sound.maxplaybacks(-1);
  int p = s.playSound(&a.sound, QSS_ANY_CHANNEL | QSS_START_PAUSED);
  ASSERT_GE(p, 0);
  EXPECT_TRUE(s.channel(p)->paused());
  EXPECT_EQ(s.playingChannelSounds(), 4u);

  qssSound empty;
  EXPECT_EQ(s.playSound(&empty, QSS_ANY_CHANNEL), -1000);
  EXPECT_EQ(s.playSound(nullptr, QSS_ANY_CHANNEL), -1000);
  FakeSpeaker closed;
  EXPECT_EQ(closed.playSound(&a.sound, QSS_ANY_CHANNEL), -1000);
}

TEST(Speaker, SoundEndsOnTheFrameItsPositionReachesLength) {
  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, 16, false, 1, 8), 0);
  ConstSound a(16, 1, 32767, 0, 3);
  int ch = s.playSound(&a.sound, QSS_ANY_CHANNEL);
  auto v = s.pump16(5);
  EXPECT_EQ(v, (std::vector<int16_t>{16383, 16383, 16383, 0, 0}));
  EXPECT_TRUE(s.channel(ch)->isFree());
  EXPECT_EQ(s.playSound(&a.sound, QSS_ANY_CHANNEL), ch);
}

TEST(Speaker, LoopWrapsAndHalfRateSteps) {
  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, 16, false, 1, 8), 0);
  WavBuilder w;
  w.rate = 22050;
  for (int16_t x : {1000, 2000, 3000}) {
    w.data.push_back(x & 0xFF);
    w.data.push_back(x >> 8);
  }
  auto image = w.build();
  qssSound snd;
  ASSERT_EQ(snd.load(image.data(), image.size(), false), 0);
  snd.loop(true);
  int ch = s.playSound(&snd, QSS_ANY_CHANNEL);
  auto v = s.pump16(8);
  // Half rate: each frame twice; then the loop starts over.
  EXPECT_EQ(v, (std::vector<int16_t>{500, 500, 1000, 1000, 1500, 1500, 500, 500}));
  EXPECT_FALSE(s.channel(ch)->isFree());
  // Position in the channel's unit: frames / bytes per frame.
  qssChannel* c = s.channel(ch);
  EXPECT_EQ(c->length(), 3u * 256 >> 9);
  c->position(0);
  EXPECT_EQ(c->position(), 0u);
}

TEST(Speaker, HighFrequencyStepDoesNotOverflow) {
  FakeSpeaker s;
  ASSERT_EQ(s.open(44100, 16, false, 1, 8), 0);
  ConstSound a(16, 1, 1000, 0, 64, 96000);
  int ch = s.playSound(&a.sound, QSS_ANY_CHANNEL);
  s.pump16(1);
  // 96000 / 44100 frames a frame, as 24.8: about 557.
  EXPECT_EQ(s.sounds[ch - 1].step, (96000ull << 16) / (44100ull << 8));
}

TEST(Speaker, Lifecycle) {
  FakeSpeaker s;
  EXPECT_EQ(s.bufferLength(59), -10000);
  EXPECT_EQ(s.bufferLength(100), 0);
  ASSERT_EQ(s.open(22050, 16, true, 0, 500), 0);
  EXPECT_EQ(s.fake->samples, 100u * 22050 / 1000);
  EXPECT_EQ(s.bufferLength(300), -2);
  EXPECT_EQ(s.open(22050, 16, true, 1, 8), -2);
  s.close();
  EXPECT_FALSE(s.isOpen());
  EXPECT_EQ(s.driver, nullptr);
  EXPECT_EQ(s.maxChannelSounds(), 0u);
  s.close();  // harmless
  ASSERT_EQ(s.open(44100, 8, false, 3, 9), 0);
  EXPECT_EQ(s.maxChannelMusics(), 3u);
  EXPECT_EQ(s.maxChannelSounds(), 9u);
  s.suspend();
  EXPECT_TRUE(s.fake->suspended);
  s.resume();
  EXPECT_FALSE(s.fake->suspended);

  FakeSpeaker none;
  none.noDriver = true;
  EXPECT_EQ(none.open(44100, 16, true, 1, 8), -5);

  // A failed driver open returns its code and leaves no driver behind.
  FakeSpeaker failing;
  failing.openResult = -1;
  EXPECT_EQ(failing.open(44100, 16, true, 1, 8), -1);
  EXPECT_EQ(failing.driver, nullptr);
  EXPECT_EQ(failing.driversDeleted, 1);
  EXPECT_FALSE(failing.isOpen());
}

TEST(Speaker, FindBestNoteIndexAndTables) {
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(1712), 0u);
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(428), 24u);
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(13), 83u);
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(0), 83u);
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(5000), 0u);
  // 1664 lies between 1712 and 1616 at equal distance: the first wins.
  EXPECT_EQ(qssSpeaker::findBestNoteIndex(1664), 0u);
  qssSpeaker s;
  EXPECT_EQ(s.createTables(0), -1);
  ASSERT_EQ(s.createTables(44100), 0);
  EXPECT_EQ(s.noteTable[0], 83);
  EXPECT_EQ(s.stepTable[0], 0);
  EXPECT_EQ(s.stepTable[428], static_cast<int32_t>(((7159090ull / 856) << 12) / 44100));
  EXPECT_EQ(s.noteTable[428], 24);
}

}  // namespace
