// The game's side of the audio path, step by step without threads: the start sequence and
// the block it leaves, the commands, the loop sound's ramp, the thread's passes against a
// captured device, music loading (also landing at each point of a core's pass) and the log
// printer.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "pellax/audio940/core.h"
#include "pellax/audio940/program_image.h"
#include "pellax/base/random.h"
#include "tests/pellax/audio940/ogg_oracle.h"
#include "tests/pellax/platform/audio_fixture.h"
#include "tests/support/fifo_guard.h"

using namespace audio940;

namespace {

TEST_F(AudioStepTest, TheStartWritesTheRegistersInOrderAndUploadsImageAndEffects) {
  struct write {
    uint32_t offset;
    uint16_t value;
  };
  // The start's writes are the last eight (opening the screen enabled other clocks first).
  const auto all = gp2x::host::second_core_writes();
  ASSERT_GE(all.size(), 8u);
  const std::vector<gp2x::host::RegisterWrite> writes(all.end() - 8, all.end());
  const uint16_t clocks_off = writes[1].value;
  EXPECT_EQ(clocks_off & 1, 0);
  EXPECT_NE(clocks_off & 0x400, 0);  // the 2D engine's clock is kept
  const write expect[] = {{0x3B48, 0x83}, {0x0904, clocks_off}, {0x3B46, 0xFFFF}, {0x3B40, 0}, {0x3B42, 0},
                          {0x3B44, 0xFFFF}, {0x3B48, 0x03}, {0x0904, uint16_t(clocks_off | 1)}};
  for (size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].offset, expect[i].offset) << i;
    EXPECT_EQ(writes[i].value, expect[i].value) << i;
  }
  EXPECT_EQ(std::memcmp(arm940_mem, arm940_program, arm940_program_length), 0);
  EXPECT_TRUE(gp2x::host::second_core_running());

  const auto effects = embedded_effects();
  ASSERT_EQ(effects.size(), size_t(kEffects));
  uint32_t at = kStreamsAddress;
  for (int i = 0; i < kEffects; ++i) {
    EXPECT_EQ(b().sfx_offset[i], at) << i;
    EXPECT_EQ(b().sfx_length[i], effects[size_t(i)].size()) << i;
    EXPECT_EQ(std::memcmp(arm940_mem + at, effects[size_t(i)].data(), effects[size_t(i)].size()), 0) << i;
    if (i > 0) {
      EXPECT_EQ(b().sfx_volume[i], kEffectVolume[i]) << i;
    }
    at += uint32_t(effects[size_t(i)].size());
  }
  EXPECT_LE(at, kMusicScratch);
  EXPECT_EQ(b().master_volume, 144u);
  EXPECT_EQ(b().sfx_enable, 1u);
  EXPECT_EQ(b().music_level, 250u);
  EXPECT_EQ(b().music_offset, 0x700000u);
  EXPECT_EQ(b().effects_to_decode, 7u);
  EXPECT_EQ(b().music_data_ready + b().music_enable + b().loop_enable + b().pcm_a_full + b().pcm_b_full, 0u);
}

TEST_F(AudioStepTest, VolumeStepsByEightBetweenZeroAndTwoHundred) {
  struct volume_case {
    uint32_t before;
    bool up;
    uint32_t after;
    int32_t copy;  // master_volume_copy after (-1: unchanged)
  };
  const volume_case cases[] = {{144, true, 152, -1}, {192, true, 200, -1}, {200, true, 200, -1},
                               {144, false, 136, 136}, {4, false, 0, 0},   {0, false, 0, 0}};
  for (const volume_case& c : cases) {
    b().master_volume = c.before;
    master_volume_copy = -1;
    if (c.up) volume_up();
    else EXPECT_EQ(volume_down(), 0);
    EXPECT_EQ(b().master_volume, c.after) << c.before;
    EXPECT_EQ(master_volume_copy, c.copy) << c.before;
  }
}

TEST_F(AudioStepTest, EachPlayRaisesItsTriggerAndHitsDrawFromTheGamesGenerator) {
  struct play_case {
    int32_t n;
    int trigger;  // -1: none
  };
  const play_case cases[] = {{0, -1}, {1, 5}, {2, 4}, {4, 6}, {5, 7}, {6, 8}, {7, -1}, {-1, -1}};
  for (const play_case& c : cases) {
    for (uint32_t& t : b().sfx_trigger) t = 0;
    sfx_play(c.n);
    for (int i = 0; i < kTriggers; ++i) EXPECT_EQ(b().sfx_trigger[i], i == c.trigger ? 1u : 0u) << c.n << " " << i;
  }
  for (uint32_t seed : {1u, 2u, 3u, 99u}) {
    mt_seed(seed);
    const int expect = 1 + random_range(0, 1000) % 3;
    const uint32_t next = mt_next();
    mt_seed(seed);
    for (uint32_t& t : b().sfx_trigger) t = 0;
    sfx_play(3);
    EXPECT_EQ(b().sfx_trigger[expect], 1u) << seed;
    EXPECT_EQ(mt_next(), next) << seed;  // exactly one draw
  }
  // A trigger is a flag: two plays before the core's pass give one voice.
  for (uint32_t& t : b().sfx_trigger) t = 0;
  sfx_play(1);
  sfx_play(1);
  EXPECT_EQ(b().sfx_trigger[5], 1u);
}

TEST_F(AudioStepTest, TheThreadMovesTheLoopLevelBySixteenAPassAndOwnsIt) {
  struct ramp_case {
    int32_t from, target;
    std::vector<uint32_t> levels;
  };
  const ramp_case cases[] = {{0, 40, {16, 32, 40}}, {0, 10, {10, 10}}, {40, 0, {24, 8, 0}}, {100, 90, {90}}};
  for (const ramp_case& c : cases) {
    loop_level_target = c.from;
    for (int i = 0; i < 20; ++i) audio_thread_pass();
    ASSERT_EQ(b().loop_level, uint32_t(c.from));
    loop_sound_level(c.target);
    for (uint32_t level : c.levels) {
      audio_thread_pass();
      EXPECT_EQ(b().loop_level, level) << c.from << " -> " << c.target;
    }
  }
  // Starting the loop sound: enabled at once, its level back to 0 at the thread's next pass.
  loop_sound_stop();
  EXPECT_EQ(b().loop_enable, 0u);
  loop_sound_start();
  EXPECT_EQ(b().loop_enable, 1u);
  audio_thread_pass();
  EXPECT_EQ(b().loop_level, 0u);
}

TEST_F(AudioStepTest, EachPassWritesTheBlockDueOrSilenceAndBlocksGoInTurn) {
  captured();  // what the start wrote, nothing
  auto fill = [](int16_t* block, int16_t base) {
    for (int i = 0; i < kBlockSamples; ++i) block[i] = int16_t(base + i % 100);
  };
  std::vector<int16_t> expect;
  auto expect_block = [&](int16_t base) {
    for (int i = 0; i < kBlockSamples; ++i) expect.push_back(base == 0 ? 0 : int16_t(base + i % 100));
  };
  audio_thread_pass();  // nothing mixed yet: silence
  expect_block(0);
  fill(b().pcm_b, 2000);
  b().pcm_b_full = 1;  // B ready but A is due: silence again, B waits
  audio_thread_pass();
  expect_block(0);
  fill(b().pcm_a, 1000);
  b().pcm_a_full = 1;
  audio_thread_pass();  // A
  expect_block(1000);
  EXPECT_EQ(b().pcm_a_full, 0u);
  audio_thread_pass();  // then B
  expect_block(2000);
  EXPECT_EQ(b().pcm_b_full, 0u);
  audio_thread_pass();  // A again is due, not ready: silence
  expect_block(0);
  EXPECT_EQ(captured(), expect);
  // The end: device closed, core held and clocked off, the thread no longer running.
  audio_thread_running = 1;
  audio_thread_close();
  const auto writes = gp2x::host::second_core_writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[writes.size() - 2].offset, 0x3B48u);
  EXPECT_EQ(writes[writes.size() - 2].value, 0x83);
  EXPECT_EQ(writes.back().offset, 0x0904u);
  EXPECT_EQ(writes.back().value & 1, 0);
  EXPECT_EQ(audio_thread_running.load(), 0);
  EXPECT_FALSE(gp2x::host::second_core_running());
  EXPECT_EQ(audio_thread_open(), 0);  // the device can be opened again: it was closed
}

// A stream's identification header with its channels and rate changed (the page's
// checksum no longer holds, which the load does not look at).
std::vector<uint8_t> with_format(std::vector<uint8_t> stream, uint8_t channels, uint32_t rate) {
  const size_t body = 27 + stream[26];
  stream[body + 11] = channels;
  for (int i = 0; i < 4; ++i) stream[body + 12 + size_t(i)] = uint8_t(rate >> (8 * i));
  return stream;
}

TEST_F(AudioStepTest, MusicLoadCopiesAWholeFileAndPublishesItOrChangesNothing) {
  // A stream's first pages, then bytes of a pattern up to an odd length.
  std::vector<uint8_t> bytes = ogg_oracle::tone_stream(0.2, 300, 400, 0.5f);
  const size_t header = bytes.size();
  bytes.resize(250001);
  for (size_t i = header; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 13 + 5);
  write_file("a.ogg", bytes);
  music_load("a.ogg");
  EXPECT_EQ(std::memcmp(arm940_mem + kMusicAddress, bytes.data(), bytes.size()), 0);
  EXPECT_EQ(b().music_length, bytes.size());
  EXPECT_EQ(b().music_rewind, 1u);
  EXPECT_EQ(b().music_data_ready, 1u);

  // Refused: a missing file, an empty one and one past the bound; the music there stays as
  // it was.
  b().music_rewind = 0;
  write_file("empty.ogg", {});
  {
    std::FILE* f = std::fopen("big.ogg", "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(ftruncate(fileno(f), off_t(kMusicLimit) + 1), 0);
    std::fclose(f);
  }
  // ...and streams the core would play at the wrong speed, or that are not Ogg Vorbis.
  const std::vector<uint8_t> tone = ogg_oracle::tone_stream(0.2, 300, 400, 0.5f);
  write_file("fast.ogg", with_format(tone, 2, 96000));
  write_file("mono.ogg", with_format(tone, 1, 48000));
  write_file("text.ogg", std::vector<uint8_t>(5000, 'x'));
  // ...and what is not a file at all: the open of a FIFO would wait for a writer for ever.
  ASSERT_EQ(mkdir("folder.ogg", 0755), 0);
  FifoGuard fifo("fifo.ogg");
  ASSERT_TRUE(fifo.Made());
  struct refusal {
    const char* name;
    const char* says;
  };
  for (const refusal& r : {refusal{"missing.ogg", "cannot open"}, refusal{"empty.ogg", "empty"},
                           refusal{"big.ogg", "larger"}, refusal{"fast.ogg", "96000 Hz with 2 channels"},
                           refusal{"mono.ogg", "48000 Hz with 1 channel,"}, refusal{"text.ogg", "not an Ogg Vorbis"},
                           refusal{"fifo.ogg", "Not a regular file"}, refusal{"folder.ogg", "Is a directory"}}) {
    const char* name = r.name;
    testing::internal::CaptureStderr();
    music_load(name);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(name), std::string::npos) << "the message names the file: " << err;
    EXPECT_NE(err.find(r.says), std::string::npos) << "and says what it is: " << err;
    EXPECT_EQ(b().music_length, bytes.size()) << name;
    EXPECT_EQ(b().music_rewind, 0u) << name;
    EXPECT_EQ(b().music_data_ready, 1u) << name;
    EXPECT_EQ(std::memcmp(arm940_mem + kMusicAddress, bytes.data(), bytes.size()), 0) << name;
  }
  EXPECT_FALSE(fifo.Rescued()) << "the load waited on the FIFO";
  // A file of exactly the bound fits, and nothing beyond the music area is touched.
  const uint8_t ring_before = arm940_mem[kRingAddress];
  {
    write_file("full.ogg", tone);
    std::FILE* f = std::fopen("full.ogg", "r+b");
    ASSERT_TRUE(f);
    ASSERT_EQ(ftruncate(fileno(f), off_t(kMusicLimit)), 0);
    std::fclose(f);
  }
  music_load("full.ogg");
  EXPECT_EQ(b().music_length, kMusicLimit);
  EXPECT_EQ(arm940_mem[kRingAddress], ring_before);
}

TEST_F(AudioStepTest, CommandsDoNothingOnceTheBlockIsRetracted) {
  audio_thread_retract_block();
  b().master_volume = 144;
  volume_up();
  sfx_play(1);
  music_on();
  loop_sound_start();
  write_file("a.ogg", std::vector<uint8_t>(100, 1));
  music_load("a.ogg");
  EXPECT_EQ(b().master_volume, 144u);
  EXPECT_EQ(b().sfx_trigger[5], 0u);
  EXPECT_EQ(b().music_enable, 0u);
  EXPECT_EQ(b().loop_enable, 0u);
  EXPECT_EQ(b().music_length, 0u);
}

// Two tracks told apart by their tones alone: one Ogg serial number for both, so nothing in
// the bytes keeps the decoder of one from reading the other.
class MusicLoadRaceTest : public AudioStepTest {
 protected:
  void SetUp() override {
    AudioStepTest::SetUp();
    b().effects_to_decode = 0;  // straight to the music
    b().music_enable = 1;
    old_ = ogg_oracle::tone_stream(2.0, 220, 330, 0.5f, 1);
    new_ = ogg_oracle::tone_stream(1.0, 587, 880, 0.5f, 1);
    write_file("old.ogg", old_);
    write_file("new.ogg", new_);
  }
  void TearDown() override {
    arm940_set_probe(nullptr);
    AudioStepTest::TearDown();
  }

  static constexpr int kPointKinds = 3;
  // The core started afresh on the old track. Every pass counts its points by kind.
  void start() {
    arm940_start(kBlockAddress, arm940_mem);
    music_load("old.ogg");
    b().pcm_a_full = b().pcm_b_full = 0;
    decoded_.clear();
    seen_ = 0;
    passes_ = 0;
  }
  // One pass, both blocks taken after every other one (as the audio thread would) so that
  // the ring drains and the decoder goes on reading the file; what the pass put in the ring
  // is collected.
  void pass() {
    arm940_service();
    collect();
    if (++passes_ % 2 == 0) b().pcm_a_full = b().pcm_b_full = 0;
  }
  void collect() {
    const int16_t* ring = reinterpret_cast<const int16_t*>(arm940_mem + kRingAddress);
    for (const uint32_t end = arm940_state().ring_write; seen_ != end; seen_ = (seen_ + 1) % kRingSamples)
      decoded_.push_back(ring[seen_]);
  }
  // The points of kind `kind` in each of the first `passes` passes.
  std::vector<int> points(int passes, PassPoint kind) {
    start();
    std::vector<int> count(size_t(passes), 0);
    arm940_set_probe([&](PassPoint p) { count[size_t(passes_)] += p == kind; });
    for (int i = 0; i < passes; ++i) pass();
    arm940_set_probe(nullptr);
    return count;
  }
  // `passes` passes, then one in which the new track's load lands at its n-th point of kind
  // `kind`, then passes until the ring is primed again. A load that finds the core in the
  // music file waits, as the game's does, until it is out: here, until the pass is over.
  // Returns how many samples the ring had received when the load landed.
  size_t land(int passes, PassPoint kind, int n) {
    start();
    for (int i = 0; i < passes; ++i) pass();
    size_t at = 0;
    int seen = 0;
    bool waiting = false;
    auto load = [&] {
      collect();
      at = decoded_.size();
      music_load("new.ogg");
    };
    arm940_set_probe([&](PassPoint p) {
      if (p != kind || ++seen != n) return;
      if (word_fenced_get(b().music_busy)) waiting = true;
      else load();
    });
    pass();
    arm940_set_probe(nullptr);
    EXPECT_GE(seen, n);
    if (waiting) load();
    while (arm940_service()) {
    }
    collect();
    return at;
  }

  std::vector<uint8_t> old_, new_;
  std::vector<int16_t> decoded_;  // every sample the ring received since start()
  uint32_t seen_ = 0;
  int passes_ = 0;
};

TEST_F(MusicLoadRaceTest, ALoadAnywhereInAPassGivesTheOldSamplesThenTheNewTrackFromItsStart) {
  const std::vector<int16_t> old_pcm = ogg_oracle::decode(old_), new_pcm = ogg_oracle::decode(new_);
  // The pass that opens the old track (its reads scan the file), the first ones decoding it,
  // and the first two later ones in which decoding reads more of the file.
  std::vector<int> stages = {0, 1, 2};
  const std::vector<int> reads = points(400, PassPoint::kStreamRead);
  for (size_t i = 3; i < reads.size() && stages.size() < 5; ++i)
    if (reads[i] > 0) stages.push_back(int(i));
  ASSERT_EQ(stages.size(), 5u);
  int landed_in_reads = 0;
  for (int passes : stages) {
    for (int kind = 0; kind < kPointKinds; ++kind) {
      const int count = points(passes + 1, PassPoint(kind)).back();
      if (PassPoint(kind) == PassPoint::kStreamRead) landed_in_reads += count;
      else EXPECT_EQ(count, 1);
      for (int n = 1; n <= count; ++n) {
        const size_t at = land(passes, PassPoint(kind), n);
        const std::string where = std::to_string(passes) + " passes in, point kind " + std::to_string(kind) +
                                  " #" + std::to_string(n);
        ASSERT_GT(decoded_.size(), at + 1000) << where;
        for (size_t i = 0; i < at; ++i) ASSERT_EQ(decoded_[i], old_pcm[i]) << where << ", sample " << i;
        for (size_t i = at; i < decoded_.size(); ++i)
          ASSERT_EQ(decoded_[i], new_pcm[i - at]) << where << ", sample " << i;
      }
    }
  }
  EXPECT_GT(landed_in_reads, 20);
}

class LogTest : public AudioStepTest {
 protected:
  void put(uint32_t at, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) b().log_ring[(at + i) % kLogBytes] = bytes[i];
  }
  // Prints every record; returns what went to stdout.
  std::string print_all(int* calls = nullptr) {
    testing::internal::CaptureStdout();
    int n = 1;
    while (arm940_print_log() && n < 2000) ++n;
    if (calls) *calls = n;
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(LogTest, RecordsPrintWholeAcrossTheRingsEnd) {
  put(990, {1, 4, 0x12, 0x34, 0x56, 0x78, 0, 5, 'h', 'e', 'l', 'l', 'o', 0, 0, 1, 4, 0xFF, 0xFF, 0xFF, 0xFF});
  b().log_read = 990;
  b().log_write = (990 + 21) % kLogBytes;
  int calls = 0;
  EXPECT_EQ(print_all(&calls), "940: 305419896 0x12345678\n940: hello\n940: \n940: -1 0xffffffff\n");
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(b().log_read, b().log_write);
}

TEST_F(LogTest, ACutRecordIsConsumedSilentlyAndBadIndicesAreNotFollowed) {
  struct log_case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t read, write;
    uint32_t read_after;
  };
  const log_case cases[] = {
      {"text cut short", {0, 10, 'a', 'b', 'c'}, 0, 5, 5},
      {"value cut short", {1, 4, 1, 2}, 998, 2, 2},
      {"only a type", {0}, 7, 8, 8},
      {"write index out of range", {0, 1, 'x'}, 0, 5000, 0},
      {"read index out of range", {0, 1, 'x'}, 70000, 3, 3},
  };
  for (const log_case& c : cases) {
    put(c.read % kLogBytes, c.bytes);
    b().log_read = c.read;
    b().log_write = c.write;
    EXPECT_EQ(print_all(), "") << c.name;
    EXPECT_EQ(b().log_read, c.read_after) << c.name;
  }
}

TEST(AudioUnmapped, CommandsAreSafeBeforeTheStartAndAfterTheEnd) {
  ASSERT_EQ(arm940_mem, nullptr);
  music_load("/etc/hostname");
  music_on();
  sfx_play(3);
  loop_sound_start();
  volume_up();
  EXPECT_EQ(volume_down(), 0);
  EXPECT_EQ(arm940_print_log(), 0);
  audio_shutdown();
  EXPECT_EQ(arm940_mem, nullptr);
}

}  // namespace
