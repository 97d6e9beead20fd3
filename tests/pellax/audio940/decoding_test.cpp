// Effects and music decoded by the program against the plain decoder's output of the same
// streams; priming, rewinds, looping, bad streams and the bounds taken from the block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pellax/audio940/mixer.h"
#include "pellax/audio940/ogg_mem.h"
#include "tests/pellax/audio940/core_fixture.h"
#include "tests/pellax/audio940/ogg_oracle.h"

using namespace audio940;

namespace {

class DecodingTest : public EitherCoreTest {
 protected:
  // Streams placed back to back from 0x300000 as the audio thread places them.
  void place_effects(const std::vector<std::vector<uint8_t>>& streams) {
    uint32_t at = kStreamsAddress;
    for (size_t i = 0; i < streams.size(); ++i) {
      place(at, streams[i]);
      b().sfx_offset[i] = at;
      b().sfx_length[i] = uint32_t(streams[i].size());
      at += uint32_t(streams[i].size());
    }
    b().effects_to_decode = uint32_t(streams.size());
  }
  std::vector<int16_t> area(uint32_t k, uint32_t samples) {
    const int16_t* p = samples_at(kEffectPcm[k]);
    return std::vector<int16_t>(p, p + samples);
  }
  std::vector<int16_t> ring(uint32_t from, uint32_t n) {
    std::vector<int16_t> out;
    const int16_t* r = samples_at(kRingAddress);
    for (uint32_t i = 0; i < n; ++i) out.push_back(r[(from + i) % kRingSamples]);
    return out;
  }
  uint32_t buffered() {
    return (st().ring_write + kRingSamples - st().ring_read) % kRingSamples;
  }
};

TEST_P(DecodingTest, EffectsDecodeInOrderToWhatThePlainDecoderGives) {
  const std::vector<std::vector<uint8_t>> streams = {ogg_oracle::tone_stream(0.8, 110, 220, 0.5f, 1),
                                                     ogg_oracle::tone_stream(0.5, 440, 660, 0.4f, 2),
                                                     ogg_oracle::tone_stream(0.2, 880, 990, 0.6f, 3)};
  place_effects(streams);
  hold_blocks();
  run_until_idle();
  ASSERT_EQ(st().effects_decoded, 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    const std::vector<int16_t> expect = ogg_oracle::decode(streams[k]);
    ASSERT_FALSE(expect.empty());
    EXPECT_EQ(st().sfx_pcm_samples[k], expect.size()) << k;
    EXPECT_TRUE(same_samples(area(k, uint32_t(expect.size())), expect)) << k;
  }
  EXPECT_EQ(st().loop_voice.length, st().sfx_pcm_samples[0]);
  // Effects beyond the count are never decoded: their length stays 0.
  EXPECT_EQ(st().sfx_pcm_samples[3], 0u);
  EXPECT_EQ(b().effects_ready, 0u);  // no music data yet
}

TEST_P(DecodingTest, ABrokenEffectKeepsWhatItDecodedAndTheNextOneFollows) {
  // A stream cut off at a page boundary: it opens, and decoding ends early.
  std::vector<uint8_t> cut = ogg_oracle::tone_stream(4.0, 300, 500, 0.5f, 4);
  size_t page = cut.size() * 6 / 10;
  while (page + 4 < cut.size() && std::memcmp(&cut[page], "OggS", 4) != 0) ++page;
  cut.resize(page);
  const std::vector<uint8_t> garbage(3000, 0x5A);
  const std::vector<uint8_t> good = ogg_oracle::tone_stream(0.3, 700, 900, 0.5f, 5);
  place_effects({cut, garbage, good});
  hold_blocks();
  run_until_idle();
  const std::vector<int16_t> partial = ogg_oracle::decode(cut);
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), ogg_oracle::decode(ogg_oracle::tone_stream(4.0, 300, 500, 0.5f, 4)).size());
  EXPECT_EQ(st().sfx_pcm_samples[0], partial.size());
  EXPECT_TRUE(same_samples(area(0, uint32_t(partial.size())), partial));
  EXPECT_EQ(st().sfx_pcm_samples[1], 0u);  // does not open: reads as empty
  EXPECT_EQ(st().sfx_pcm_samples[2], ogg_oracle::decode(good).size());
}

TEST_P(DecodingTest, ADamagedPageIsSkippedAndDecodingGoesOnAfterIt) {
  const std::vector<uint8_t> whole = ogg_oracle::tone_stream(6.0, 300, 450, 0.5f, 6);
  const std::vector<int16_t> clean = ogg_oracle::decode(whole);
  // One page in the middle with a byte of its body changed: its checksum fails, and the
  // decoder reports the gap it leaves.
  std::vector<uint8_t> damaged = whole;
  size_t page = damaged.size() / 3;
  while (page + 27 < damaged.size() && std::memcmp(&damaged[page], "OggS", 4) != 0) ++page;
  ASSERT_LT(page + 27, damaged.size());
  damaged[page + 27 + damaged[page + 26] + 10] ^= 0xFF;
  const std::vector<int16_t> before = ogg_oracle::decode(std::vector<uint8_t>(whole.begin(), whole.begin() + page));
  place_effects({damaged});
  hold_blocks();
  run_until_idle();
  // Decoding went on past the hole to the stream's end: the last half second exactly as
  // the undamaged stream ends.
  const uint32_t n = st().sfx_pcm_samples[0];
  ASSERT_GT(n, before.size() + 44100);
  ASSERT_LT(n, clean.size());
  const std::vector<int16_t> got = area(0, n);
  const size_t tail = 44100;
  EXPECT_TRUE(same_samples(std::vector<int16_t>(got.end() - tail, got.end()), std::vector<int16_t>(clean.end() - tail, clean.end())));
}

TEST_P(DecodingTest, AnEffectStopsAtTheNextAreaTheLastOneAtTheMusic) {
  // Effect 4's area holds 120,000 bytes: 0.8 s of stereo needs 141,120.
  std::vector<std::vector<uint8_t>> streams(6, ogg_oracle::tone_stream(0.05, 200, 300, 0.3f, 9));
  streams[4] = ogg_oracle::tone_stream(0.8, 250, 350, 0.5f, 10);
  streams[5] = ogg_oracle::tone_stream(0.8, 260, 360, 0.5f, 11);  // the last: room up to the music
  place_effects(streams);
  hold_blocks();
  run_until_idle();
  const std::vector<int16_t> four = ogg_oracle::decode(streams[4]), five = ogg_oracle::decode(streams[5]);
  const uint32_t room = (kEffectPcm[5] - kEffectPcm[4]) / 2;
  ASSERT_GT(four.size(), room);
  EXPECT_EQ(st().sfx_pcm_samples[4], room);
  EXPECT_TRUE(same_samples(area(4, room), std::vector<int16_t>(four.begin(), four.begin() + room)));
  EXPECT_EQ(st().sfx_pcm_samples[5], five.size());
  EXPECT_TRUE(same_samples(area(5, uint32_t(five.size())), five));  // effect 4 did not run into it
}

TEST_P(DecodingTest, EffectCountAndStreamBoundsFromTheBlockAreKept) {
  b().effects_to_decode = 1000;
  for (int i = 0; i < kTriggers; ++i) {
    b().sfx_offset[i] = 0xF7FFF0;  // runs off the end of the memory
    b().sfx_length[i] = 0x100000;
  }
  b().music_offset = 0xFFFFFFF0u;
  b().music_length = 0xFFFFFFFFu;
  b().music_data_ready = 1;
  hold_blocks();
  run_until_idle();
  EXPECT_EQ(st().effects_decoded, uint32_t(kEffects));
  for (int k = 0; k < kEffects; ++k) EXPECT_EQ(st().sfx_pcm_samples[k], 0u);
  EXPECT_EQ(buffered(), 0u);
}

TEST_P(DecodingTest, MusicPrimesAtTwentyFiveThousandSamplesAsThePlainDecoderGivesThem) {
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(2.0, 220, 330, 0.5f);
  const std::vector<int16_t> expect = ogg_oracle::decode(stream);
  load_music(stream);
  hold_blocks();
  EXPECT_TRUE(service());  // the rewind, and the open
  EXPECT_EQ(st().stream_open, 1u);
  EXPECT_EQ(buffered(), 0u);
  run_until_idle();
  EXPECT_EQ(st().music_primed, 1u);
  EXPECT_EQ(b().effects_ready, 1u);
  EXPECT_GE(buffered(), 25000u);
  EXPECT_LT(buffered(), 25000u + 1024u);  // one chunk past the mark at most
  EXPECT_TRUE(same_samples(ring(0, buffered()), std::vector<int16_t>(expect.begin(), expect.begin() + buffered())));
  // Mixing takes from the ring only while music is on.
  b().pcm_a_full = 0;
  service();
  EXPECT_EQ(st().ring_read, 0u);
  b().music_enable = 1;
  b().pcm_b_full = 0;
  service();
  EXPECT_EQ(st().ring_read, uint32_t(kBlockSamples));
}

TEST_P(DecodingTest, TheMusicLoopsFromItsEndToItsStartAndTheRingWraps) {
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(0.25, 500, 600, 0.5f);
  const std::vector<int16_t> once = ogg_oracle::decode(stream);
  ASSERT_LT(once.size(), 25000u);
  st().ring_read = st().ring_write = kRingSamples - 1000;  // the ring wraps early
  const uint32_t start = st().ring_write;
  load_music(stream);
  hold_blocks();
  run_until_idle();
  ASSERT_GE(buffered(), 25000u);
  // The whole stream, then the stream again from its start, across the ring's end.
  std::vector<int16_t> expect;
  while (expect.size() < buffered()) expect.insert(expect.end(), once.begin(), once.end());
  expect.resize(buffered());
  EXPECT_TRUE(same_samples(ring(start, buffered()), expect));
  EXPECT_LT(st().ring_write, start);
}

TEST_P(DecodingTest, ARewindPlaysTheBufferedSamplesFirstAndPrimesAtOnce) {
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(3.0, 150, 250, 0.5f);
  const std::vector<int16_t> expect = ogg_oracle::decode(stream);
  load_music(stream);
  hold_blocks();
  run_until_idle();
  const uint32_t held = buffered();
  ASSERT_GE(held, 25000u);
  b().music_rewind = 1;
  EXPECT_TRUE(service());  // the rewind; the stream opens again
  EXPECT_EQ(st().music_primed, 1u);  // the ring holds enough: it plays on
  EXPECT_EQ(b().music_rewind, 0u);
  service();
  EXPECT_EQ(st().music_primed, 1u);
  EXPECT_EQ(buffered(), held);  // nothing new decoded while the ring is full enough
  // What was buffered plays first (levels of 256 pass samples through unchanged)...
  b().music_enable = 1;
  b().music_level = 256;
  b().master_volume = 256;
  b().pcm_a_full = 0;
  service();
  EXPECT_TRUE(same_samples(std::vector<int16_t>(b().pcm_a, b().pcm_a + kBlockSamples),
            std::vector<int16_t>(expect.begin(), expect.begin() + kBlockSamples)));
  // ...and the stream follows it from its start.
  run_until_idle();
  EXPECT_TRUE(same_samples(ring(held, 2000), std::vector<int16_t>(expect.begin(), expect.begin() + 2000)));
}

// Music heard, then stopped (the game turns it off, later loads the next track and turns
// it on): the new track starts at its first sample, not with what the ring held of the old.
TEST_P(DecodingTest, ATrackLoadedAfterTheMusicWasStoppedStartsWithoutTheOldOnesTail) {
  const std::vector<uint8_t> old_track = ogg_oracle::tone_stream(3.0, 150, 250, 0.5f, 1);
  const std::vector<uint8_t> new_track = ogg_oracle::tone_stream(3.0, 400, 500, 0.5f, 2);
  const std::vector<int16_t> expect = ogg_oracle::decode(new_track);
  load_music(old_track);
  hold_blocks();
  run_until_idle();
  b().music_level = 256;
  b().master_volume = 256;
  b().music_enable = 1;
  b().pcm_a_full = 0;
  service();  // block A: the old track is heard
  b().music_enable = 0;
  b().pcm_b_full = 0;
  service();  // block B: silence
  ASSERT_GT(buffered(), 0u) << "the ring still holds the old track";
  load_music(new_track);
  b().music_enable = 1;
  run_until_idle();
  b().pcm_a_full = 0;
  service();
  EXPECT_TRUE(same_samples(std::vector<int16_t>(b().pcm_a, b().pcm_a + kBlockSamples),
            std::vector<int16_t>(expect.begin(), expect.begin() + kBlockSamples)));
}

TEST_P(DecodingTest, ARewindWithLittleBufferedWaitsForTheRingToFillAgain) {
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(3.0, 150, 250, 0.5f);
  load_music(stream);
  hold_blocks();
  run_until_idle();
  b().music_enable = 1;
  b().pcm_a_full = b().pcm_b_full = 0;
  service();  // two blocks taken from the ring: below the priming mark now
  ASSERT_LT(buffered(), 25000u);
  b().music_rewind = 1;
  service();
  EXPECT_EQ(st().music_primed, 0u);
  run_until_idle();
  EXPECT_EQ(st().music_primed, 1u);
  EXPECT_GE(buffered(), 25000u);
}

// A stream that does not open is tried again only after blocks have been mixed (the
// program's clock), so a bad file never takes the core's time from the effects.
TEST_P(DecodingTest, ABadMusicStreamIsTriedAgainAfterItsWaitAndSaidOnce) {
  const std::vector<uint8_t> garbage(5000, 0x33);
  load_music(garbage);
  hold_blocks();
  std::vector<uint32_t> open_after;
  for (int i = 0; i < 4; ++i) {
    service();
    open_after.push_back(st().stream_open);
  }
  EXPECT_EQ(open_after, (std::vector<uint32_t>{1, 0, 0, 0}));  // no block mixed: no retry
  EXPECT_LT(run_until_idle(), 3);  // idle passes are reached
  int attempts = 0;
  for (int block = 0; block < 20; ++block) {
    (block % 2 ? b().pcm_b_full : b().pcm_a_full) = 0;
    service();
    attempts += int(st().stream_open);
  }
  EXPECT_GE(attempts, 2);
  EXPECT_EQ(b().log_write, 2u + 19u);  // one text record: "music does not open"
  EXPECT_EQ(buffered(), 0u);
}

// Links of a chained stream each set a decoder up in the arena, and the large blocks come
// back only when the arena is reset: enough links run it out. The stream then ends as on a
// decoder error (said once), the music starts over from its first link, and nothing is
// written through a null pointer.
TEST_P(DecodingTest, AChainedStreamThatRunsTheArenaOutEndsAndStartsOver) {
  std::vector<uint8_t> chained;
  std::vector<int16_t> first;
  for (uint32_t i = 0; i < 40; ++i) {
    const std::vector<uint8_t> link = ogg_oracle::tone_stream(0.1, 200 + 20 * i, 300 + 20 * i, 0.4f, 50 + i);
    if (i == 0) first = ogg_oracle::decode(link);
    chained.insert(chained.end(), link.begin(), link.end());
  }
  load_music(chained);
  b().music_enable = 1;
  std::vector<int16_t> heard;
  for (int pass = 0; pass < 400; ++pass) {
    service();
    if (b().pcm_a_full) heard.insert(heard.end(), b().pcm_a, b().pcm_a + kBlockSamples);
    if (b().pcm_b_full) heard.insert(heard.end(), b().pcm_b, b().pcm_b + kBlockSamples);
    b().pcm_a_full = b().pcm_b_full = 0;
  }
  const std::string log(reinterpret_cast<const char*>(b().log_ring), b().log_write);
  const std::string told = "decoder out of memory: the stream ends";
  ASSERT_NE(log.find(told), std::string::npos) << log;
  EXPECT_EQ(log.find(told), log.rfind(told)) << "said once: " << log;
  EXPECT_EQ(st().out_of_memory_told, 1u);
  EXPECT_GT(heard.size(), 100000u);
}

PX940_ON_EITHER_CORE(DecodingTest);

}  // namespace
