// The whole audio path with its threads: audio_init starts the audio thread, which starts
// the second core's program on its host thread; on the virtual clock the core runs in
// lock-step with the device, so what "/dev/dsp" receives is exact: the music as the plain
// decoder gives it, scaled as the mixer scales it, an effect where it was played, the same
// on every run. Music loads from the game's thread while the core decodes on another never
// touch the file the core reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <thread>

#include "pellax/audio940/core.h"

#include "tests/pellax/audio940/ogg_oracle.h"
#include "tests/pellax/platform/audio_fixture.h"
#include <cstring>

using namespace audio940;

namespace {

class AudioThreadsTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    // Virtual time waits for the audio thread and the core however long a starved machine
    // keeps them (a second by default, after which time would run on without them and
    // the device would drain with nothing written): what arrives is then the same on any
    // machine. A main thread that joins them is still seen asleep and time moves on.
    settings_.stall_ms = 600000;
  }
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

// The second core's image decodes with the decoder's ARM build, which may differ from the
// plain decoder by a few steps in the lowest bits.
constexpr int kDecoderRounding = 8;

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
    ASSERT_NEAR(got[start + i], mixed(once[i % once.size()], 250, 144), kDecoderRounding) << i;
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
  for (size_t i = 0; i < shot.size(); ++i) ASSERT_NEAR(first[at + i], mixed(shot[i], 100, 144), kDecoderRounding) << i;
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

// The core or the game played by threads of the test's own.
class AudioSharingTest : public AudioStepTest {};

TEST_F(AudioSharingTest, AMusicLoadCopiesOnlyOnceTheCoreIsOutOfTheMusicFile) {
  const std::vector<uint8_t> first = ogg_oracle::tone_stream(0.1, 300, 400, 0.5f, 1);
  const std::vector<uint8_t> second = ogg_oracle::tone_stream(0.15, 500, 600, 0.5f, 2);
  write_file("first.ogg", first);
  write_file("second.ogg", second);
  music_load("first.ogg");
  b().music_rewind = 0;
  word_fenced_set(b().music_busy, 1);  // the core in the middle of a read of the file
  std::atomic<bool> returned{false};
  std::thread game([&returned] {
    music_load("second.ogg");
    returned.store(true);
  });
  while (word_fenced_get(b().music_data_ready) && !returned.load()) std::this_thread::yield();
  // The game has taken the data back and waits: the load does not finish, and the file, its
  // length and the rewind are as they were.
  for (int i = 0; i < 2000 && !returned.load(); ++i) std::this_thread::yield();
  EXPECT_FALSE(returned.load());
  EXPECT_EQ(std::memcmp(arm940_mem + kMusicAddress, first.data(), first.size()), 0);
  EXPECT_EQ(word_get(b().music_length), first.size());
  EXPECT_EQ(word_get(b().music_rewind), 0u);
  word_fenced_set(b().music_busy, 0);
  game.join();
  EXPECT_EQ(std::memcmp(arm940_mem + kMusicAddress, second.data(), second.size()), 0);
  EXPECT_EQ(b().music_length, second.size());
  EXPECT_EQ(b().music_rewind, 1u);
  EXPECT_EQ(b().music_data_ready, 1u);
}

TEST_F(AudioSharingTest, LoadsWhileTheCoreDecodesOnItsOwnThreadGiveWholeChunksOfEitherTrack) {
  // One Ogg serial number for both tracks: only the load tells them apart.
  const std::vector<uint8_t> a = ogg_oracle::tone_stream(0.5, 220, 330, 0.5f, 1);
  const std::vector<uint8_t> c = ogg_oracle::tone_stream(0.5, 587, 880, 0.5f, 1);
  const std::vector<int16_t> tracks[2] = {ogg_oracle::decode(a), ogg_oracle::decode(c)};
  write_file("a.ogg", a);
  write_file("c.ogg", c);
  b().effects_to_decode = 0;
  b().music_enable = 1;
  std::atomic<bool> stop{false};
  std::atomic<int> passes{0};
  std::vector<std::vector<int16_t>> chunks;  // what each pass put in the ring
  std::thread core([&] {
    arm940_start(kBlockAddress, arm940_mem);
    const int16_t* ring = reinterpret_cast<const int16_t*>(arm940_mem + kRingAddress);
    uint32_t seen = 0;
    while (!stop.load()) {
      arm940_service();
      std::vector<int16_t> chunk;
      for (const uint32_t end = arm940_state().ring_write; seen != end; seen = (seen + 1) % kRingSamples)
        chunk.push_back(ring[seen]);
      if (!chunk.empty()) chunks.push_back(std::move(chunk));
      // Both blocks taken at once: the ring drains and the core decodes on every pass.
      word_release(b().pcm_a_full, 0);
      word_release(b().pcm_b_full, 0);
      passes.fetch_add(1);
    }
  });
  for (int i = 0; i < 40; ++i) {
    // Each load a few passes after the one before, while the core is reading the file: in
    // the middle of opening it or of decoding a chunk.
    for (const int until = passes.load() + i % 5; passes.load() < until;) std::this_thread::yield();
    for (const int until = passes.load() + 100; !word_fenced_get(b().music_busy) && passes.load() < until;)
      std::this_thread::yield();
    music_load(i % 2 ? "c.ogg" : "a.ogg");
  }
  stop.store(true);
  core.join();

  // Each chunk goes on from the one before in the same track, or starts a track afresh.
  ASSERT_GT(chunks.size(), 40u);
  int track = -1;
  size_t next = 0;
  auto is_at = [&](int t, size_t from, const std::vector<int16_t>& chunk) {
    return from + chunk.size() <= tracks[t].size() &&
           std::equal(chunk.begin(), chunk.end(), tracks[t].begin() + long(from));
  };
  for (size_t k = 0; k < chunks.size(); ++k) {
    const std::vector<int16_t>& chunk = chunks[k];
    if (track >= 0 && is_at(track, next, chunk)) {
      next += chunk.size();
      continue;
    }
    track = is_at(0, 0, chunk) ? 0 : is_at(1, 0, chunk) ? 1 : -1;
    ASSERT_GE(track, 0) << "chunk " << k << " is from neither track";
    next = chunk.size();
  }
}

TEST_F(AudioThreadsTest, AStartAfterAnEarlierOneTakesNoCommandsUntilItsBlockIsReady) {
  start_host();
  gp2x::host::set_second_core_stepping(true);
  ASSERT_EQ(audio_map(), 0);
  ASSERT_EQ(audio_thread_open(), 0);  // an earlier start published its block...
  audio_thread_close();               // ...and ended without a shutdown taking it back
  audio_unmap();
  gp2x::host::set_second_core_stepping(false);
  // This start's thread finds the sound device taken and gives up.
  const int held = gp2x::open("/dev/dsp", O_WRONLY);
  ASSERT_GT(held, 0);
  audio_init();
  EXPECT_FALSE(audio_block_ready());
  ASSERT_TRUE(audio_cmd_block);
  const uint32_t volume = b().master_volume;
  volume_up();
  music_on();
  sfx_play(1);
  EXPECT_EQ(b().master_volume, volume);
  EXPECT_EQ(b().music_enable, 0u);
  EXPECT_EQ(b().sfx_trigger[5], 0u);
  gp2x::close(held);
  audio_shutdown();
}

}  // namespace
