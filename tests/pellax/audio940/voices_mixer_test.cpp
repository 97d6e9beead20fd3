// The voice policy for new effects, the mixer's arithmetic and the strict order in which
// the two PCM blocks are filled.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pellax/audio940/mixer.h"
#include "tests/pellax/audio940/core_fixture.h"

using namespace audio940;

namespace {

struct policy_case {
  const char* name;
  std::vector<Voice> voices;  // playing before the trigger
  uint32_t trigger;
  std::vector<uint32_t> effects_after;  // the voices' effects after the pass, oldest first
};

Voice playing(uint32_t effect, uint32_t position) { return {kEffectPcm[effect], 40000, position, 50, effect}; }

void PrintTo(const policy_case& c, std::ostream* os) { *os << c.name; }

class VoicePolicyTest : public CoreTest, public ::testing::WithParamInterface<policy_case> {};

TEST_P(VoicePolicyTest, NewEffectsFollowThePolicyAndTheTriggerIsCleared) {
  const policy_case& c = GetParam();
  hold_blocks();
  for (const Voice& v : c.voices) st().voices[st().voice_count++] = v;
  st().sfx_pcm_samples[c.trigger < kEffects ? c.trigger : 0] = 777;
  b().sfx_trigger[c.trigger] = 1;
  EXPECT_TRUE(arm940_service());
  EXPECT_EQ(b().sfx_trigger[c.trigger], 0u);
  std::vector<uint32_t> effects;
  for (uint32_t v = 0; v < st().voice_count; ++v) effects.push_back(st().voices[v].effect);
  EXPECT_EQ(effects, c.effects_after);
  // A voice that was added starts at the effect's area, its decoded length and its volume.
  const Voice& last = st().voices[st().voice_count - 1];
  if (last.position == 0) {
    EXPECT_EQ(last.data, kEffectPcm[c.trigger]);
    EXPECT_EQ(last.length, 777u);
    EXPECT_EQ(last.volume, kEffectVolume[c.trigger]);
  }
}

const std::vector<Voice> kFiveQuiet = {playing(5, 20000), playing(6, 20000), playing(5, 20000), playing(6, 20000),
                                       playing(5, 20000)};

INSTANTIATE_TEST_SUITE_P(
    Cases, VoicePolicyTest,
    ::testing::Values(
        policy_case{"free_voice", {playing(5, 10)}, 3, {5, 3}},
        policy_case{"effect4_never_takes_a_voice", kFiveQuiet, 4, {5, 6, 5, 6, 5}},
        policy_case{"young_hit_keeps_all",
                    {playing(5, 20000), playing(2, 11999), playing(4, 30000), playing(6, 20000), playing(5, 20000)},
                    6,
                    {5, 2, 4, 6, 5}},
        policy_case{"old_hit_lets_the_oldest_effect4_go",
                    {playing(5, 20000), playing(2, 12000), playing(4, 30000), playing(4, 30000), playing(5, 20000)},
                    6,
                    {5, 2, 4, 5, 6}},
        policy_case{"without_effect4_the_oldest_goes", kFiveQuiet, 1, {6, 5, 6, 5, 1}},
        policy_case{"trigger9_has_no_effect", {playing(5, 10)}, 9, {5}}),
    [](const ::testing::TestParamInfo<policy_case>& i) { return std::string(i.param.name); });

class CommandTest : public EitherCoreTest {};
PX940_ON_EITHER_CORE(CommandTest);

TEST_P(CommandTest, TwoPlaysBeforeAPassStartOneVoiceAndAllTriggersGoInOrder) {
  hold_blocks();
  b().sfx_trigger[5] = 1;
  b().sfx_trigger[1] = 1;
  service();
  ASSERT_EQ(st().voice_count, 2u);
  EXPECT_EQ(st().voices[0].effect, 1u);
  EXPECT_EQ(st().voices[1].effect, 5u);
  EXPECT_FALSE(service());  // nothing left to do
  EXPECT_EQ(st().voice_count, 2u);
}

// The mixer's own arithmetic, written out apart from it: per sample a 64-bit sum, >> 8,
// x master volume, >> 8 (shifts of negative values round down), saturated. Past 2^31 after
// the first shift any master volume of 1 or more saturates, so the oracle stops there and
// its product stays within 64 bits.
int16_t oracle(int64_t acc, int64_t master) {
  int64_t v = acc >= 0 ? acc / 256 : -((-acc + 255) / 256);
  const int64_t far = int64_t(1) << 31;
  v = v > far ? far : v < -far ? -far : v;
  v *= master;
  v = v >= 0 ? v / 256 : -((-v + 255) / 256);
  return int16_t(v > 32767 ? 32767 : v < -32767 ? -32767 : v);
}

struct mix_case {
  const char* name;
  int16_t music, loop, voice;  // one constant sample value per source
  uint32_t music_level, loop_level, voice_volume, master;
  bool music_on, sfx_on, loop_on;
};

void PrintTo(const mix_case& c, std::ostream* os) { *os << c.name; }

class MixTest : public CoreTest, public ::testing::WithParamInterface<mix_case> {};

TEST_P(MixTest, EachSampleIsTheScaledSumOfItsSources) {
  const mix_case& c = GetParam();
  int16_t* ring = samples_at(kRingAddress);
  std::fill(ring, ring + 10000, c.music);
  st().ring_write = 10000;
  st().music_primed = 1;
  std::fill(samples_at(kEffectPcm[0]), samples_at(kEffectPcm[0]) + 1000, c.loop);
  std::fill(samples_at(kEffectPcm[3]), samples_at(kEffectPcm[3]) + 8000, c.voice);
  st().voices[0] = {kEffectPcm[3], 8000, 0, c.voice_volume, 3};
  st().voice_count = 1;
  b().music_enable = c.music_on;
  b().sfx_enable = c.sfx_on;
  b().loop_enable = c.loop_on;
  b().music_level = c.music_level;
  b().loop_level = c.loop_level;
  b().master_volume = c.master;
  std::vector<int16_t> out(kBlockSamples);
  arm940_mix(out.data());
  int64_t acc = 0;
  if (c.music_on) acc += int64_t(c.music) * int32_t(c.music_level);
  if (c.loop_on && c.sfx_on) acc += int64_t(c.loop) * int32_t(c.loop_level);
  if (c.sfx_on) acc += int64_t(c.voice) * int32_t(c.voice_volume);
  const int16_t expect = oracle(acc, int32_t(c.master));
  for (int j = 0; j < kBlockSamples; ++j) ASSERT_EQ(out[size_t(j)], expect) << j;
  // Sources advance as they are heard; voices advance even unheard, the loop does not.
  EXPECT_EQ(st().ring_read, c.music_on ? uint32_t(kBlockSamples) : 0u);
  EXPECT_EQ(st().voices[0].position, uint32_t(kBlockSamples));
  EXPECT_EQ(st().loop_voice.position, c.loop_on && c.sfx_on ? uint32_t(kBlockSamples % 1000) : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MixTest,
    ::testing::Values(
        mix_case{"music_only", 1000, 0, 0, 250, 0, 0, 144, true, true, false},
        mix_case{"three_sources", 1000, -2000, 3000, 250, 40, 70, 200, true, true, true},
        mix_case{"negative_rounds_down", -1, 0, 0, 1, 0, 0, 144, true, false, false},
        mix_case{"effects_off_silences_voice_and_loop", 500, 9000, 9000, 250, 100, 150, 144, true, false, true},
        mix_case{"loud_sum_saturates_high", 32767, 32767, 32767, 250, 255, 150, 200, true, true, true},
        mix_case{"loud_sum_saturates_low", -32768, -32768, -32768, 250, 255, 150, 200, true, true, true},
        mix_case{"huge_levels_do_not_wrap", 32767, 32767, 0, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0x7FFFFFFF, true, true,
                 true},
        mix_case{"music_off_leaves_the_ring", 1000, 0, 100, 250, 0, 100, 144, false, true, false}),
    [](const ::testing::TestParamInfo<mix_case>& i) { return std::string(i.param.name); });

TEST_F(CoreTest, AVoiceOfLengthZeroGoesAtTheFirstSampleHavingAddedNothing) {
  b().loop_enable = 0;
  st().voices[0] = {kEffectPcm[7], 0, 0, 150, 7};
  st().voices[1] = {kEffectPcm[3], 10, 0, 150, 3};
  st().voice_count = 2;
  std::fill(samples_at(kEffectPcm[7]), samples_at(kEffectPcm[7]) + 100, 20000);
  std::fill(samples_at(kEffectPcm[3]), samples_at(kEffectPcm[3]) + 10, 256);
  std::vector<int16_t> out(kBlockSamples);
  arm940_mix(out.data());
  EXPECT_EQ(st().voice_count, 0u);  // the second ended after its ten samples
  for (int j = 0; j < 10; ++j) EXPECT_EQ(out[size_t(j)], oracle(256 * 150, 144));
  for (int j = 10; j < kBlockSamples; ++j) ASSERT_EQ(out[size_t(j)], 0) << j;
}

TEST_F(CoreTest, BeforeEffectZeroIsDecodedTheLoopCyclesOverItsFirstThousandSamples) {
  int16_t* area = samples_at(kEffectPcm[0]);
  for (int i = 0; i < 2000; ++i) area[i] = int16_t(i < 1000 ? i * 10 : 30000);
  b().loop_enable = 1;
  b().loop_level = 256;
  b().master_volume = 256;
  std::vector<int16_t> out(kBlockSamples);
  arm940_mix(out.data());
  for (int j = 0; j < kBlockSamples; ++j) ASSERT_EQ(out[size_t(j)], int16_t((j % 1000) * 10)) << j;
}

TEST_P(CommandTest, BlocksAreFilledStrictlyInTurn) {
  b().master_volume = 256;
  b().music_enable = 1;
  st().music_primed = 1;
  int16_t* ring = samples_at(kRingAddress);
  for (int i = 0; i < 3 * kBlockSamples; ++i) ring[i] = int16_t(i % 30000);
  st().ring_write = 3 * kBlockSamples;
  b().music_level = 256;
  // A is still the thread's: B is free but must not be mixed before A.
  b().pcm_a_full = 1;
  service();
  EXPECT_EQ(b().pcm_b_full, 0u);
  EXPECT_EQ(st().ring_read, 0u);
  // A comes back: A, then B, in that order, from the ring.
  b().pcm_a_full = 0;
  service();
  EXPECT_EQ(b().pcm_a_full, 1u);
  EXPECT_EQ(b().pcm_b_full, 1u);
  EXPECT_EQ(b().pcm_a[0], 0);
  EXPECT_EQ(b().pcm_b[0], int16_t(kBlockSamples));
  // B comes back first: it is not due (A is), so nothing is mixed until A is free too.
  b().pcm_b_full = 0;
  EXPECT_FALSE(service());
  b().pcm_a_full = 0;
  service();
  EXPECT_EQ(b().pcm_a[0], int16_t(2 * kBlockSamples));
}

TEST_F(CoreTest, TheEntryClearsEveryVariable) {
  std::memset(mem() + kStateAddress, 0xA5, sizeof(CoreState));
  arm940_start(kBlockAddress, mem());
  for (uint32_t k = 0; k < uint32_t(kEffects); ++k) EXPECT_EQ(st().sfx_pcm_samples[k], 0u);
  EXPECT_EQ(st().voice_count, 0u);
  EXPECT_EQ(st().ring_read, 0u);
  EXPECT_EQ(st().loop_voice.length, 1000u);
  // A trigger of an effect never decoded starts nothing audible.
  b().master_volume = 256;
  b().sfx_trigger[7] = 1;
  std::fill(samples_at(kEffectPcm[7]), samples_at(kEffectPcm[7]) + 5000, 12345);
  arm940_service();
  for (int j = 0; j < kBlockSamples; ++j) ASSERT_EQ(b().pcm_a[j], 0) << j;
}

}  // namespace
