#include "pellax/audio940/mixer.h"

namespace audio940 {
namespace {

int32_t level(const uint32_t& word) { return static_cast<int32_t>(word_get(word)); }

int16_t sample_at(const Core& core, uint32_t data, uint32_t position) {
  return *core.at<const int16_t>(data + 2 * position);
}

// ((acc >> 8) x volume) >> 8, saturated. Bounding both factors first keeps the product in
// 64 bits without changing any result that is not saturated anyway.
int16_t scale_out(int64_t acc, int32_t volume) {
  constexpr int64_t kBound = int64_t(1) << 32;
  int64_t v = acc >> 8;
  v = v > kBound ? kBound : v < -kBound ? -kBound : v;
  int64_t m = volume;
  m = m > (int64_t(1) << 30) ? int64_t(1) << 30 : m < -(int64_t(1) << 30) ? -(int64_t(1) << 30) : m;
  const int64_t out = (v * m) >> 8;
  return static_cast<int16_t>(out > 32767 ? 32767 : out < -32767 ? -32767 : out);
}

}  // namespace

void remove_voice(CoreState& st, uint32_t v) {
  for (uint32_t i = v; i + 1 < st.voice_count; ++i) st.voices[i] = st.voices[i + 1];
  --st.voice_count;
}

void arm940_mix(int16_t* out) {
  Core& core = current_core();
  CoreState& st = *core.state;
  CommandBlock& b = *core.block;
  const bool music_on = word_get(b.music_enable) != 0;
  const bool effects_on = word_get(b.sfx_enable) != 0;
  const int16_t* ring = core.at<const int16_t>(st.ring_address);
  if (!music_on) st.music_stopped = 1;
  for (int j = 0; j < kBlockSamples; ++j) {
    int64_t acc = 0;
    if (music_on && st.music_primed && st.ring_read != st.ring_write) {
      acc = int64_t(ring[st.ring_read]) * level(b.music_level);
      if (++st.ring_read == kRingSamples) st.ring_read = 0;
      st.music_stopped = 0;
    }
    LoopVoice& loop = st.loop_voice;
    if (word_get(b.loop_enable) && effects_on && loop.length) {
      if (loop.position >= loop.length) loop.position = 0;
      acc += int64_t(sample_at(core, loop.data, loop.position)) * level(b.loop_level);
      ++loop.position;
    }
    for (uint32_t v = 0; v < st.voice_count;) {
      Voice& voice = st.voices[v];
      if (voice.position >= voice.length) {
        remove_voice(st, v);
        continue;
      }
      const int16_t s = sample_at(core, voice.data, voice.position++);
      if (effects_on) acc += int64_t(s) * static_cast<int32_t>(voice.volume);
      ++v;
    }
    out[j] = scale_out(acc, level(b.master_volume));
  }
}

int arm940_fill_buffers() {
  Core& core = current_core();
  CoreState& st = *core.state;
  CommandBlock& b = *core.block;
  int mixed = 0;
  for (int turn = 0; turn < 2; ++turn) {
    uint32_t& full = st.next_block ? b.pcm_b_full : b.pcm_a_full;
    if (word_acquire(full)) break;
    arm940_mix(st.next_block ? b.pcm_b : b.pcm_a);
    word_release(full, 1);
    st.next_block ^= 1;
    ++mixed;
  }
  return mixed;
}

}  // namespace audio940
