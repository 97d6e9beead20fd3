// The program's entry and its pass: commands, triggers under the voice policy, the PCM
// blocks and one decoding step.
#include <cstring>
#ifndef PX940_FREESTANDING
#include <utility>
#endif

#include "pellax/audio940/arena.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/mixer.h"
#include "pellax/audio940/ogg_mem.h"

namespace audio940 {
namespace {

PX940_PER_CORE Core t_core;

constexpr uint32_t kPrimedSamples = 25000;
// A music stream that fails (does not open, or ends without a sample) is tried again only
// after a block for every kWorkPerBlock units of work its attempt took, so that a file that
// keeps failing takes at most about a tenth of the core's time and the effects play on.
// The costliest failing streams measured on the image (chained ones, whose every link sets
// a decoder up) take about 10 instructions a unit: their retries then cost about 2 % of the
// 9.29 M cycles a block has, which leaves room for streams dearer per unit.
constexpr uint32_t kWorkPerBlock = 20000;
// Opening a music stream (the open, and the first read, where the decoder builds its
// tables) costs 10 to 21 instructions a unit of work on the image: large tags the least, the
// few KB of headers of a plain stream the most. A stream whose sound came to less than a
// block for every kOpenWorkPerBlock units its opening took (a fraction of a second behind
// tags as large as cover art) is opened again only once that many blocks were mixed since
// it last opened: it plays with gaps, its openings take about 1.3 M of a block's 9.29 M
// cycles at the dearest, and the effects play on. A quarter of a second of plain sound pays
// for its opening already, and every built-in track a hundred times over, so all of them
// loop without a gap.
constexpr uint32_t kOpenWorkPerBlock = 60000;
// A new effect never cuts off one of the three hit sounds this early in its playing.
constexpr uint32_t kHitGuardSamples = 12000;

uint32_t ring_buffered(const CoreState& st) {
  return st.ring_write >= st.ring_read ? st.ring_write - st.ring_read
                                       : kRingSamples - (st.ring_read - st.ring_write);
}

bool is_hit(uint32_t effect) { return effect >= 1 && effect <= 3; }

// Adds effect i as a voice under the policy: a free voice if any; effect 4 is never worth
// a voice taken; a hit sound still young keeps every voice; otherwise the oldest effect-4
// voice, else the oldest voice, gives way.
void start_voice(CoreState& st, const CommandBlock& b, uint32_t i) {
  if (st.voice_count == kVoices) {
    if (i == 4) return;
    for (uint32_t v = 0; v < st.voice_count; ++v)
      if (is_hit(st.voices[v].effect) && st.voices[v].position < kHitGuardSamples) return;
    uint32_t give_way = 0;
    for (uint32_t v = 0; v < st.voice_count; ++v) {
      if (st.voices[v].effect == 4) {
        give_way = v;
        break;
      }
    }
    remove_voice(st, give_way);
  }
  st.voices[st.voice_count++] = {st.sfx_pcm_addr[i], st.sfx_pcm_samples[i], 0, word_get(b.sfx_volume[i]), i};
}

// Where the effect being decoded may write: up to the area of the next effect to be
// decoded, the last one up to the music file.
uint32_t effect_limit(uint32_t k, uint32_t to_decode) {
  const uint32_t end = k + 1 < to_decode ? kEffectPcm[k + 1] : kEffectPcmEnd;
  return end - kEffectPcm[k];
}

uint32_t effects_to_decode(const CommandBlock& b) {
  const uint32_t n = word_get(b.effects_to_decode);
  return n > kEffects ? kEffects : n;
}

// Decodes the next chunk of effect k; returns true (work done) always.
void decode_effect(CoreState& st, const CommandBlock& b, uint32_t k, uint32_t to_decode) {
  if (!st.stream_open) {
    st.stream_open = 1;
    st.decoded_bytes = 0;
    const uint32_t offset = word_get(b.sfx_offset[k]);
    if (ogg_mem_open(offset, ogg_pages_end(offset, word_get(b.sfx_length[k])), st.sfx_pcm_addr[k],
                     effect_limit(k, to_decode), st.arena_address) != 0) {
      arm940_log_text("effect stream does not open");
      arm940_log_value(k);
    }
  }
  const uint32_t n = ogg_mem_decode();
  if (n > 0) {
    st.decoded_bytes += n;
    return;
  }
  const uint32_t samples = st.decoded_bytes / 2;
  st.sfx_pcm_samples[k] = samples;
  if (k == 0) st.loop_voice.length = samples;
  st.stream_open = 0;
  st.effects_decoded = k + 1;
  ogg_mem_close();
}

// A rewind: samples already in the ring still play first, so that music heard goes on
// without a gap; the stream opens again from its start. A ring holding enough stays primed,
// so a block mixed in this very pass is not left silent. Music that was stopped is not
// heard again, though: the new stream starts after the silence, not with the old one's
// last fraction of a second.
void rewind_music(CoreState& st, CommandBlock& b) {
  word_set(b.music_rewind, 0);
  if (st.music_stopped) st.ring_read = st.ring_write;
  st.music_primed = ring_buffered(st) >= kPrimedSamples;
  st.music_failure_told = 0;
  st.music_gaps_told = 0;
  st.music_waiting = 0;
  st.music_end_known = 0;
  if (st.stream_open) ogg_mem_close();
  st.stream_open = 0;
}

// Open, prime, or one chunk into the ring. Returns true when it did work that a further
// pass should follow.
bool read_music(CoreState& st, CommandBlock& b) {
  word_set(b.effects_ready, 1);
  if (!st.stream_open) {
    if (st.music_waiting && static_cast<int32_t>(st.blocks_mixed - st.music_retry_block) < 0) return false;
    st.music_waiting = 0;
    st.stream_open = 1;
    st.music_samples = 0;
    st.music_work_from = st.work;
    st.music_open_block = st.blocks_mixed;
    const uint32_t offset = word_get(b.music_offset);
    if (!st.music_end_known) {
      st.music_end = ogg_pages_end(offset, word_get(b.music_length));
      st.music_end_known = 1;
    }
    if (ogg_mem_open(offset, st.music_end, st.music_output, kDecodeChunk, st.arena_address) != 0) {
      if (!st.music_failure_told) arm940_log_text("music does not open");
      st.music_failure_told = 1;
      return false;
    }
    return true;
  }
  if (ring_buffered(st) >= kPrimedSamples) {
    const bool was = st.music_primed;
    st.music_primed = 1;
    return !was;
  }
  const uint32_t n = ogg_mem_decode();
  if (n == 0) {
    // The end (or a decoder error): the next pass opens the file from its start again, or,
    // when not a sample came of it, the pass after the wait its attempt earned; a stream
    // whose sound did not pay for its opening waits until the blocks mixed since have.
    st.stream_open = 0;
    ogg_mem_close();
    uint32_t retry;
    if (st.music_samples > 0) {
      const uint32_t charge = st.music_open_work / kOpenWorkPerBlock;
      retry = st.music_open_block + 1 + charge;
      if (st.music_samples / uint32_t(kBlockSamples) >= charge || static_cast<int32_t>(st.blocks_mixed - retry) >= 0)
        return true;
      // What the ring holds is all the music there is before the wait: it plays now, not
      // once the ring holds a priming's worth, which such a stream may never give it.
      st.music_primed = 1;
      if (!st.music_gaps_told) arm940_log_text("music is shorter than its opening: it plays with gaps");
      st.music_gaps_told = 1;
    } else {
      retry = st.blocks_mixed + 1 + (st.work - st.music_work_from) / kWorkPerBlock;
    }
    st.music_waiting = 1;
    st.music_retry_block = retry;
    return false;
  }
  const int16_t* chunk = t_core.at<const int16_t>(st.music_output);
  int16_t* ring = t_core.at<int16_t>(st.ring_address);
  for (uint32_t i = 0; i < n / 2; ++i) {
    ring[st.ring_write] = chunk[i];
    if (++st.ring_write == kRingSamples) st.ring_write = 0;
  }
  if (st.music_samples == 0) st.music_open_work = st.work - st.music_work_from;
  st.music_samples += n / 2;
  ogg_mem_set_output(st.music_output, kDecodeChunk);
  return true;
}

// One step of the music while its data is ready. The game may load a new file at any
// moment of a pass: it clears music_data_ready, waits until music_busy is 0, copies, then
// sets the length, the rewind and the flag again. Taking music_busy before looking at the
// flag keeps the copy away from every read of the file here, and a rewind that came with a
// load since the pass began is acted on before the old stream's decoder reads the new bytes.
bool step_music(CoreState& st, CommandBlock& b) {
  word_fenced_set(b.music_busy, 1);
  bool worked = false;
  if (word_fenced_get(b.music_data_ready)) {
    if (word_get(b.music_rewind)) {
      rewind_music(st, b);
      worked = true;
    }
    worked = read_music(st, b) || worked;
  }
  word_release(b.music_busy, 0);
  return worked;
}

void log_bytes(const uint8_t* bytes, uint32_t n) {
  CommandBlock& b = *t_core.block;
  uint32_t w = word_get(b.log_write);
  const uint32_t r = word_acquire(b.log_read);
  if (w >= kLogBytes || r >= kLogBytes) return;
  const uint32_t free = (r + kLogBytes - w - 1) % kLogBytes;
  if (n > free) return;
  for (uint32_t i = 0; i < n; ++i) {
    b.log_ring[w] = bytes[i];
    w = (w + 1) % kLogBytes;
  }
  word_release(b.log_write, w);
}

}  // namespace

Core& current_core() { return t_core; }
CoreState& arm940_state() { return *t_core.state; }

void arm940_start(uint32_t block, uint8_t* memory) {
  t_core.base = memory;
  t_core.state = reinterpret_cast<CoreState*>(memory + kStateAddress);
  t_core.block = block_at(memory, block);
  CoreState& st = *t_core.state;
  std::memset(&st, 0, sizeof st);
  st.block = block;
  st.loop_voice = {kEffectPcm[0], 1000, 0};
  for (int i = 0; i < kEffects; ++i) st.sfx_pcm_addr[i] = kEffectPcm[i];
  st.arena_address = kArenaAddress;
  arena_reset(st.arena, kArenaAddress, kArenaEnd);
  st.ring_address = kRingAddress;
  st.music_output = kMusicScratch;
}

void arm940_main(uint32_t block, uint8_t* memory) {
  arm940_start(block, memory);
  while (!arm940_stop_requested()) arm940_service();
}

bool arm940_stop_requested() { return word_get(t_core.block->stop_940) != 0; }

bool arm940_service() {
  CoreState& st = *t_core.state;
  CommandBlock& b = *t_core.block;
  bool worked = false;

  if (word_get(b.music_rewind)) {
    rewind_music(st, b);
    worked = true;
  }
  t_core.probe_at(PassPoint::kAfterRewind);

  for (uint32_t i = 0; i < kTriggers; ++i) {
    if (!word_get(b.sfx_trigger[i])) continue;
    if (i < kEffects) start_voice(st, b, i);
    word_set(b.sfx_trigger[i], 0);
    worked = true;
  }

  if (const int mixed = arm940_fill_buffers()) {
    st.blocks_mixed += static_cast<uint32_t>(mixed);
    worked = true;
  }
  t_core.probe_at(PassPoint::kBeforeDecoding);

  const uint32_t to_decode = effects_to_decode(b);
  if (st.effects_decoded < to_decode) {
    decode_effect(st, b, st.effects_decoded, to_decode);
    return true;
  }
  return step_music(st, b) || worked;
}

#ifndef PX940_FREESTANDING
void arm940_set_probe(std::function<void(PassPoint)> probe) { t_core.probe = std::move(probe); }
#endif

void arm940_log_text(const char* text) {
  uint8_t record[2 + 255];
  const size_t n = std::strlen(text);
  record[0] = kLogText;
  record[1] = static_cast<uint8_t>(n > 255 ? 255 : n);
  std::memcpy(record + 2, text, record[1]);
  log_bytes(record, 2u + record[1]);
}

void arm940_log_value(uint32_t value) {
  const uint8_t record[6] = {kLogValue, 4, uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                             uint8_t(value)};
  log_bytes(record, sizeof record);
}

}  // namespace audio940
