// The whole audio path with its threads: audio_init starts the audio thread, which starts
// the second core's program on its host thread; on the virtual clock the core runs in
// lock-step with the device, so what "/dev/dsp" receives is exact: the music as the plain
// decoder gives it, scaled as the mixer scales it, an effect where it was played, the same
// on every run.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/pellax/audio940/ogg_oracle.h"
#include "tests/pellax/platform/audio_fixture.h"
#include <cstring>

using namespace audio940;

namespace {

class AudioThreadsTest : public AudioTest {
 protected:
  // Lets virtual time run for ms milliseconds (the audio thread writes in step with it).
  static void play(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10) gp2x::usleep(10000);
  }
  // Index of the first non-zero sample at or after `from`.
  static size_t first_sound(const std::vector<int16_t>& s, size_t from = 0) {
    while (from < s.size() && s[from] == 0) ++from;
    return from;
  }
};

TEST_F(AudioThreadsTest, TheMusicArrivesExactlyAsDecodedScaledAndLooped) {
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(1.0, 220, 330, 0.6f);
  const std::vector<int16_t> once = ogg_oracle::decode(stream);
  write_file("m.ogg", stream);
  start_host();
  audio_init();
  ASSERT_TRUE(audio_block_ready());
  music_load("m.ogg");
  music_on();
  play(2500);
  audio_shutdown();
  EXPECT_EQ(arm940_mem, nullptr);
  EXPECT_EQ(audio_thread_running.load(), 0);
  EXPECT_FALSE(gp2x::host::second_core_running());

  const std::vector<int16_t> got = captured();
  ASSERT_GT(got.size(), size_t(2 * 44100 * 2));
  // Silence until the music is primed (the thread's first block, then the two the core mixed
  // while it decoded its effects), then the music from its start, within 0.2 s.
  const size_t start = first_sound(got);
  EXPECT_EQ(start % kBlockSamples, 0u);
  EXPECT_LE(start, size_t(4 * kBlockSamples));
  const size_t n = std::min<size_t>(got.size() - start, 2 * 44100 * 2);  // two seconds: loops twice
  for (size_t i = 0; i < n; ++i)
    ASSERT_EQ(got[start + i], mixed(once[i % once.size()], 250, 144)) << i;
}

// Runs the path with music off and one shot played after a second; returns the capture.
std::vector<int16_t> shot_run(AudioThreadsTest* t, gp2x::host::Settings s) {
  (void)t;
  gp2x::host::configure(s);
  EXPECT_EQ(video_open(), 0);
  audio_init();
  for (int i = 0; i < 100; ++i) gp2x::usleep(10000);
  sfx_play(1);
  for (int i = 0; i < 100; ++i) gp2x::usleep(10000);
  audio_shutdown();
  video_close();
  const gp2x::host::CapturedAudio a = gp2x::host::take_captured_audio();
  std::vector<int16_t> out(a.bytes.size() / 2);
  if (!out.empty()) std::memcpy(out.data(), a.bytes.data(), out.size() * 2);
  return out;
}

TEST_F(AudioThreadsTest, AShotSoundsAsItsEffectDecodesAndEveryRunIsTheSame) {
  const std::vector<int16_t> shot = ogg_oracle::decode(embedded_effects().at(5));
  ASSERT_GT(shot.size(), 1000u);
  const std::vector<int16_t> first = shot_run(this, settings_);
  const size_t at = first_sound(first);
  ASSERT_LT(at, first.size());
  EXPECT_EQ(at % kBlockSamples, 0u);  // voices start with a block
  EXPECT_GE(at, size_t(44100 * 2 * 0.9));
  ASSERT_LE(at + shot.size(), first.size());
  for (size_t i = 0; i < shot.size(); ++i) ASSERT_EQ(first[at + i], mixed(shot[i], 100, 144)) << i;
  EXPECT_EQ(first_sound(first, at + shot.size()), first.size());  // then silence
  EXPECT_EQ(shot_run(this, settings_), first);
}

TEST_F(AudioThreadsTest, WithoutASoundDeviceTheStartGivesUpAndCommandsDoNothing) {
  settings_.dsp = false;
  start_host();
  audio_init();
  EXPECT_FALSE(audio_block_ready());
  volume_up();
  sfx_play(1);
  music_load("nothing.ogg");
  EXPECT_FALSE(gp2x::host::second_core_running());
  audio_shutdown();
  EXPECT_EQ(arm940_mem, nullptr);
  EXPECT_EQ(audio_thread_running.load(), 0);
}

}  // namespace
