// The audio program's own variables. They live in the second core's memory at
// kStateAddress, below its stack, as on the console; everything in them that points into
// that memory is a 32-bit address of the second core's, never a host pointer (the
// decoder's own record aside). The program's entry clears them all.
#pragma once

#include <cstdint>
#ifndef PX940_FREESTANDING
#include <functional>
#endif

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/decoder.h"

// Variables of which each core has its own: one core per thread on a PC (tests and
// measurements may run several at once), the one core in the image.
#ifdef PX940_FREESTANDING
#define PX940_PER_CORE
#else
#define PX940_PER_CORE thread_local
#endif

namespace audio940 {

struct Voice {
  uint32_t data;      // address of the effect's PCM
  uint32_t length;    // samples (both channels counted)
  uint32_t position;  // next sample, 0..length
  uint32_t volume;    // the effect's volume when it started
  uint32_t effect;
};

struct LoopVoice {
  uint32_t data, length, position;
};

constexpr int kArenaClasses = 5;
constexpr uint32_t kArenaClassBytes[kArenaClasses] = {64, 256, 1024, 4096, 16384};

struct Arena {
  uint32_t base, top, limit;
  uint32_t free_list[kArenaClasses];  // header addresses, 0 for none
  uint32_t large_free;  // freed large blocks in address order, neighbours merged; 0 for none
  uint32_t refused;     // bytes of the last request the arena could not serve
};

struct DataSource {
  uint32_t base, length, position;
};

struct DecodeOutput {
  uint32_t address, count;
  uint32_t limit;  // bytes the output may hold
};

constexpr uint32_t kDecodeChunk = 2048;

struct CoreState {
  uint32_t block;
  Voice voices[kVoices];  // oldest first
  uint32_t voice_count;
  LoopVoice loop_voice;
  uint32_t sfx_pcm_addr[kEffects];
  uint32_t sfx_pcm_samples[kEffects];
  uint32_t effects_decoded;
  uint32_t stream_open;     // a decoder stream (an effect's or the music's) is open
  uint32_t stream_failed;   // ...but did not open: it reads as empty
  uint32_t decoded_bytes;   // of the effect being decoded
  uint32_t music_primed;
  uint32_t music_samples;   // decoded since the music stream opened
  uint32_t music_failure_told;
  uint32_t out_of_memory_told;  // a stream was ended for want of arena (logged once)
  uint32_t escape_armed;        // the arena's escape waits (arena_guarded)
  // 1 once a block was mixed with the music off, until the music is heard again: what the
  // ring still holds then belongs to the music that was stopped.
  uint32_t music_stopped;
  uint32_t ring_read, ring_write;
  uint32_t ring_address, music_output, arena_address;
  uint32_t next_block;      // the block the mixer fills next: 0 A, 1 B, strictly in turn
  uint32_t blocks_mixed;    // since the start, wrapping: the program's only clock
  // The decoder's work in units the program can count alike on every core: stream bytes
  // read and arena bytes handed out (wrapping).
  uint32_t work;
  uint32_t music_work_from;    // `work` when the music stream was last opened
  uint32_t music_open_block;   // blocks_mixed then
  uint32_t music_open_work;    // the work from that open up to its first samples
  uint32_t music_waiting;      // a music stream that failed, or did not pay for its opening,
  uint32_t music_retry_block;  // is not opened again before this many blocks were mixed
  uint32_t music_gaps_told;    // the music was said to play with gaps (once a load)
  uint32_t music_end_known;    // music_end holds for the file loaded (cleared by a rewind)
  uint32_t music_end;          // the music file's bytes up to the end of its last page
  DataSource source;
  DecodeOutput output;
  Arena arena;
  OggVorbis_File decoder_file;
  alignas(16) uint8_t scratch[kDecodeChunk];
};

static_assert(kStateAddress + sizeof(CoreState) < kStackTop - 0x10000, "the state runs into the stack");

// Points of a pass where the game's commands can land between the program's own steps:
// after the rewind, before the decoding step, and at each read of a stream's bytes.
enum class PassPoint { kAfterRewind, kBeforeDecoding, kStreamRead };

// The core this thread runs: its memory, its variables and its command block.
struct Core {
  uint8_t* base = nullptr;
  CoreState* state = nullptr;
  CommandBlock* block = nullptr;
#ifdef PX940_FREESTANDING
  void probe_at(PassPoint) const {}
#else
  std::function<void(PassPoint)> probe;  // tests only: called at each point

  void probe_at(PassPoint point) const {
    if (probe) probe(point);
  }
#endif

  template <typename T>
  T* at(uint32_t address) const { return reinterpret_cast<T*>(base + address); }
  uint32_t address_of(const void* p) const {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - base);
  }
};
Core& current_core();

}  // namespace audio940
