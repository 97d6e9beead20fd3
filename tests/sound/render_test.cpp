// Whole-mix rendering: modules and sounds together in every output format. The bytes must
// not depend on how the writer cuts the output into buffers, and must stay those recorded
// from the frame-by-frame mixer.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"

namespace {

struct Scene {
  std::vector<uint8_t> song4 = demoModule(4, 2);
  std::vector<uint8_t> song8 = demoModule(8, 1);
  qssMusic looped, once;
  std::vector<std::vector<uint8_t>> images;
  std::vector<qssSound> sounds;

  Scene() : images(6), sounds(6) {
    EXPECT_EQ(looped.load(song4.data(), song4.size(), false), 0);
    looped.loop(true);
    EXPECT_EQ(once.load(song8.data(), song8.size(), false), 0);
    once.pan(90);
    once.volume(40);
    once.speed(512);  // four times the tempo: the song ends after about two seconds
    for (int i = 0; i < 6; ++i) {
      WavBuilder w;
      w.channels = static_cast<uint16_t>(1 + i % 2);
      w.bits = i < 2 ? 8 : 16;
      w.rate = i % 3 == 0 ? 22050 : 32000;
      w.appendPcm(testSignal(3000 + 1700 * i, w.channels, static_cast<uint32_t>(i)));
      images[i] = w.build();
      EXPECT_EQ(sounds[i].load(images[i].data(), images[i].size(), false), 0);
      sounds[i].loop(i % 2 == 0);
      sounds[i].pan(static_cast<uint32_t>(i * 51));  // 0 .. 255 with 102 and 153 between
      sounds[i].volume(static_cast<uint32_t>(20 + 9 * i));
    }
    sounds[3].pan(128);
  }
};

// Renders `frames` frames of the scene in calls of `callFrames` frames.
std::vector<unsigned char> render(uint32_t bits, bool stereo, int frames, int callFrames) {
  Scene scene;
  FakeSpeaker s;
  EXPECT_EQ(s.open(22050, bits, stereo, 2, 8), 0);
  EXPECT_EQ(s.playMusic(&scene.looped, QSS_ANY_CHANNEL), 0);
  EXPECT_EQ(s.playMusic(&scene.once, QSS_ANY_CHANNEL), 1);
  for (auto& snd : scene.sounds) EXPECT_GE(s.playSound(&snd, QSS_ANY_CHANNEL), 0);
  s.channel(2 + 1)->frequency(40000);
  const int frameBytes = (bits == 8 ? 1 : 2) * (stereo ? 2 : 1);
  std::vector<unsigned char> out;
  for (int done = 0; done < frames; done += callFrames) {
    auto b = s.pump(std::min(callFrames, frames - done) * frameBytes);
    out.insert(out.end(), b.begin(), b.end());
  }
  EXPECT_TRUE(s.channel(1)->stopped());  // the song without loop ended on the way
  EXPECT_TRUE(s.channel(2 + 1)->stopped());
  return out;
}

uint32_t fnv1a(const std::vector<unsigned char>& v) {
  uint32_t h = 2166136261u;
  for (unsigned char b : v) h = (h ^ b) * 16777619u;
  return h;
}

TEST(Render, SameBytesWhateverTheBufferSize) {
  struct Case {
    uint32_t bits;
    bool stereo;
    uint32_t hash;
  };
  const Case cases[] = {
      {16, true, 0x39C32F9Au}, {16, false, 0x1C746B46u}, {8, true, 0x3929EB91u}, {8, false, 0xCA2AFE14u}};
  // Long enough for the 8-track song to end and some sounds to end or loop.
  const int frames = 22050 * 4;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << (c.stereo ? " stereo" : " mono"));
    auto whole = render(c.bits, c.stereo, frames, 882);
    EXPECT_EQ(render(c.bits, c.stereo, frames, 1), whole);
    EXPECT_EQ(render(c.bits, c.stereo, frames, 1000), whole);
    EXPECT_EQ(render(c.bits, c.stereo, frames, 4096), whole);
    EXPECT_EQ(fnv1a(whole), c.hash);
  }
}

// Samples whose loops and ends sit where the mixer must stop or wrap mid-buffer: a loop
// running past the sample's end, a loop shorter than one output step, a loop starting
// past the end, offsets (9xx) inside and beyond a one-shot sample, low and high pitches
// with effects that change the step every tick. The bytes stay those recorded from the
// mixer that tested every frame.
TEST(Render, LoopAndEndEdgesKeepTheirBytes) {
  ModBuilder m(4);
  auto fill = [](ModBuilder::Sample& s, int n, int seed) {
    for (int i = 0; i < n; ++i)
      s.data.push_back(static_cast<int8_t>((i * (37 + seed)) % 251 - 125));
  };
  fill(m.samples[0], 64, 0);  // loop 20..80 of 64 bytes
  m.samples[0].repeatStart = 10;
  m.samples[0].repeatLength = 30;
  fill(m.samples[1], 40, 1);  // a 4-byte loop at the end
  m.samples[1].repeatStart = 18;
  m.samples[1].repeatLength = 2;
  fill(m.samples[2], 50, 2);  // loop starting past the end
  m.samples[2].repeatStart = 100;
  m.samples[2].repeatLength = 4;
  fill(m.samples[3], 600, 3);  // one-shot
  fill(m.samples[4], 1000, 4);  // a long loop ending exactly at the sample's end
  m.samples[4].repeatStart = 100;
  m.samples[4].repeatLength = 400;
  struct Note {
    uint32_t sample, period, effect, parameter;
  };
  const Note notes[] = {{1, 113, 0, 0},     {2, 113, 0, 0x37}, {3, 856, 4, 0x8F},
                        {4, 214, 9, 1},     {4, 428, 9, 3},    {5, 113, 1, 0x10},
                        {2, 1712, 0, 0},    {1, 160, 2, 0x20}, {5, 300, 9, 2},
                        {3, 120, 0, 0x47}, {4, 113, 0, 0},     {1, 428, 0xA, 0x0F}};
  for (uint32_t r = 0; r < 64; ++r)
    for (uint32_t t = 0; t < 4; ++t) {
      if ((r + t) % 3 != 0) continue;
      const Note& n = notes[(r * 5 + t * 7) % 12];
      m.cell(0, r, t, n.sample, n.period, n.effect, n.parameter);
    }
  const std::vector<uint8_t> image = m.build();
  struct Case {
    uint32_t rate;
    bool stereo;
    uint32_t hash;
  };
  const Case cases[] = {
      {44100, true, 0x1E82F963u}, {11025, true, 0x532D1BF1u}, {22050, false, 0x7FBFFC73u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << (c.stereo ? " stereo" : " mono"));
    qssMusic song;
    ASSERT_EQ(song.load(image.data(), image.size(), false), 0);
    FakeSpeaker s;
    ASSERT_EQ(s.open(c.rate, 16, c.stereo, 1, 1), 0);
    ASSERT_EQ(s.playMusic(&song, QSS_ANY_CHANNEL), 0);
    std::vector<unsigned char> out;
    for (int i = 0; i < 40; ++i) {
      auto b = s.pump(static_cast<int>(c.rate / 10) * (c.stereo ? 4 : 2));
      out.insert(out.end(), b.begin(), b.end());
    }
    const size_t silent = static_cast<size_t>(std::count(out.begin(), out.end(), 0));
    EXPECT_LT(silent, out.size() / 2);  // the notes are heard
    EXPECT_EQ(fnv1a(out), c.hash);
  }
}

}  // namespace
