// The speaker under a writer thread: channel changes from the game thread while the mixer
// runs. Built under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"

namespace {

std::vector<uint8_t> pcmImage(uint32_t frames, int seed) {
  WavBuilder w;
  w.channels = static_cast<uint16_t>(1 + seed % 2);
  for (uint32_t i = 0; i < frames * w.channels; ++i) {
    w.data.push_back(static_cast<uint8_t>(i * seed));
    w.data.push_back(static_cast<uint8_t>(i >> 3));
  }
  return w.build();
}

// Waits (without sleeping the test for long) until the writer has run a few more callbacks.
void letWriterRun(FakeDriver* d, long more) {
  long target = d->calls + more;
  while (d->calls < target) std::this_thread::yield();
}

TEST(SpeakerThreads, StopReplayAndReloadWhileMixing) {
  FakeSpeaker s;
  s.threaded = true;
  ASSERT_EQ(s.open(44100, 16, true, 2, 8), 0);
  std::vector<uint8_t> images[3] = {pcmImage(3000, 1), pcmImage(50, 2), pcmImage(700, 3)};
  qssSound sounds[3];
  for (int i = 0; i < 3; ++i) ASSERT_EQ(sounds[i].load(images[i].data(), images[i].size(), true), 0);
  sounds[2].loop(true);
  std::vector<uint8_t> module = demoModule(8, 2);
  qssMusic music;
  ASSERT_EQ(music.load(module.data(), module.size(), true), 0);
  music.loop(true);

  for (int round = 0; round < 400; ++round) {
    int which = round % 3;
    int ch = s.playSound(&sounds[which], static_cast<uint32_t>(round % 8));
    if (ch < 0) ch = s.playSound(&sounds[which], QSS_ANY_CHANNEL);
    ASSERT_GE(ch, 0);
    if (round % 5 == 0) letWriterRun(s.fake, 1);
    (void)s.channel(ch)->position();  // read while the writer moves it
    s.channel(ch)->stop();
    // Once stop returns the mixer is done with the data: replace it.
    if (round % 7 == 0) {
      s.stopSounds();
      ASSERT_EQ(sounds[which].load(images[which].data(), images[which].size(), true), 0);
    }
    if (round % 11 == 0) {
      int m = s.playMusic(&music, QSS_ANY_CHANNEL);
      if (m >= 0) {
        s.channel(m)->position(64 + round % 64);
        EXPECT_LT(s.channel(m)->position(), s.channel(m)->length());
        s.channel(m)->volume(round % 70);
        s.channel(m)->pan(round % 300);
      }
      if (round % 22 == 0) s.stopMusics();
    }
    if (round % 13 == 0) s.volumeSounds(round % 65);
    if (round % 17 == 0) s.channel(2 + round % 8)->frequency(11025 + round);
    if (round % 19 == 0) {
      s.pauseSounds();
      s.unpauseSounds();
    }
  }
  letWriterRun(s.fake, 3);
  s.close();
  EXPECT_FALSE(s.isOpen());
}

TEST(SpeakerThreads, CloseStopsTheCallbacks) {
  FakeSpeaker s;
  s.threaded = true;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(s.open(22050, 8, false, 1, 8), 0);
    FakeDriver* d = s.fake;
    letWriterRun(d, 2);
    s.suspend();
    long calls = d->calls;
    // Suspended: no callback, whatever the writer does meanwhile.
    for (int k = 0; k < 1000; ++k) std::this_thread::yield();
    EXPECT_LE(d->calls - calls, 1);
    s.resume();
    letWriterRun(d, 2);
    s.close();
    EXPECT_EQ(s.driver, nullptr);
  }
  EXPECT_EQ(s.driversDeleted, 3);
}

}  // namespace
