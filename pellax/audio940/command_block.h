// The memory the main core shares with the second core, as both see it: the second core's
// address map and the 17,612-byte command block at 0x200000 through which the game, its
// audio thread and the second core's audio program talk.
//
// Every address here is the second core's own: an offset from the start of its memory
// (physical 0x3000000), which the main core maps whole. Words are little-endian 32-bit; the
// three agents share them without locks, so each access goes through word_get/word_set
// (relaxed) or their acquire/release or fenced forms, which keep the layout byte-exact.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio940 {

constexpr uint32_t kMemorySize = 0xF80000;
constexpr uint32_t kMemoryPhys = 0x3000000;

// The second core's address map.
constexpr uint32_t kImageAddress = 0x000000;
constexpr uint32_t kStateAddress = 0x040000;   // the program's own variables
constexpr uint32_t kStackTop = 0x100000;
constexpr uint32_t kArenaAddress = 0x14C000;   // the decoder's memory, up to the block
constexpr uint32_t kArenaEnd = 0x200000;
constexpr uint32_t kBlockAddress = 0x200000;
constexpr uint32_t kStreamsAddress = 0x300000;  // the effect streams, back to back
constexpr uint32_t kMusicScratch = 0x3CC000;    // one decoded music chunk
constexpr uint32_t kMusicAddress = 0x700000;    // the music file
constexpr uint32_t kMusicLimit = 7340032;       // bytes, up to the ring
constexpr uint32_t kRingAddress = 0xE00000;
constexpr uint32_t kRingSamples = 50000;

constexpr int kEffects = 9;       // effect streams; effect 0 is the loop sound
constexpr int kTriggers = 10;     // trigger words in the block (the tenth has no effect)
constexpr int kVoices = 5;
// Where each effect's decoded PCM goes.
constexpr uint32_t kEffectPcm[kEffects] = {0x400000, 0x4DF250, 0x530330, 0x57E530, 0x5AF270,
                                           0x5CC730, 0x5D9A20, 0x5E5D70, 0x603230};
constexpr uint32_t kEffectPcmEnd = kMusicAddress;

constexpr int kBlockSamples = 4096;  // 2,048 interleaved stereo frames, 46.4 ms
constexpr int kBlockBytes = kBlockSamples * 2;
constexpr int kLogBytes = 1000;

// Initial values the audio thread writes.
constexpr uint32_t kInitialVolume = 144;
constexpr uint32_t kMaxVolume = 200;
// The master volume after one of the game's volume steps: up by 8 while at most
// kMaxVolume - 1, down by 8 to no less than 0.
constexpr uint32_t volume_raised(uint32_t v) { return v <= kMaxVolume - 1 ? v + 8 : v; }
constexpr uint32_t volume_lowered(uint32_t v) { return v > 7 ? v - 8 : 0; }
constexpr uint32_t kInitialMusicLevel = 250;
constexpr uint32_t kInitialEffectsToDecode = 7;
constexpr uint32_t kEffectVolume[kEffects] = {0, 50, 70, 150, 70, 100, 50, 50, 50};

struct CommandBlock {
  uint32_t stop_940;           // the program runs while 0
  uint32_t music_enable;
  uint32_t music_rewind;       // set by the game, cleared by the program
  uint32_t music_data_ready;   // music is opened and decoded only while 1
  uint32_t sfx_enable;
  uint32_t master_volume;      // 0..200
  uint32_t effects_ready;
  uint32_t sfx_trigger[kTriggers];  // set by the game, cleared by the program
  uint32_t loop_enable;
  uint32_t loop_level;         // written by the audio thread alone
  uint32_t music_offset;
  uint32_t music_length;
  uint32_t music_level;
  uint32_t effects_to_decode;
  uint32_t sfx_offset[kTriggers];
  uint32_t sfx_length[kTriggers];
  uint32_t sfx_volume[kEffects];
  // 1 while the program reads the music file (opens or decodes it); the game replaces the
  // file only while it reads 0 here after clearing music_data_ready. Written by the
  // program alone (the audio thread clears it once at the start).
  uint32_t music_busy;
  uint32_t pcm_a_full;         // 1: the program mixed block A; 0: the thread wrote it
  int16_t pcm_a[kBlockSamples];
  uint32_t pcm_b_full;
  int16_t pcm_b[kBlockSamples];
  uint8_t log_ring[kLogBytes];
  uint32_t log_write;          // written by the program
  uint32_t log_read;           // written by the audio thread
};

static_assert(offsetof(CommandBlock, sfx_enable) == 0x10);
static_assert(offsetof(CommandBlock, sfx_trigger) == 0x1C);
static_assert(offsetof(CommandBlock, loop_enable) == 0x44);
static_assert(offsetof(CommandBlock, music_offset) == 0x4C);
static_assert(offsetof(CommandBlock, effects_to_decode) == 0x58);
static_assert(offsetof(CommandBlock, sfx_offset) == 0x5C);
static_assert(offsetof(CommandBlock, sfx_length) == 0x84);
static_assert(offsetof(CommandBlock, sfx_volume) == 0xAC);
static_assert(offsetof(CommandBlock, music_busy) == 0xD0);
static_assert(offsetof(CommandBlock, pcm_a_full) == 0xD4);
static_assert(offsetof(CommandBlock, pcm_a) == 0xD8);
static_assert(offsetof(CommandBlock, pcm_b_full) == 0x20D8);
static_assert(offsetof(CommandBlock, pcm_b) == 0x20DC);
static_assert(offsetof(CommandBlock, log_ring) == 0x40DC);
static_assert(offsetof(CommandBlock, log_write) == 0x44C4);
static_assert(offsetof(CommandBlock, log_read) == 0x44C8);
static_assert(sizeof(CommandBlock) == 17612);

// Shared words. Command words are relaxed; the full flags and log_write hand data over and
// use the acquire/release forms; music_data_ready and music_busy the fenced ones.
inline uint32_t word_get(const uint32_t& w) { return __atomic_load_n(&w, __ATOMIC_RELAXED); }
inline void word_set(uint32_t& w, uint32_t v) { __atomic_store_n(&w, v, __ATOMIC_RELAXED); }
inline uint32_t word_acquire(const uint32_t& w) { return __atomic_load_n(&w, __ATOMIC_ACQUIRE); }
inline void word_release(uint32_t& w, uint32_t v) { __atomic_store_n(&w, v, __ATOMIC_RELEASE); }
// The music file's hand-over: each side writes its own word (the game music_data_ready, the
// program music_busy) and then reads the other's, so both are fully ordered.
inline uint32_t word_fenced_get(const uint32_t& w) { return __atomic_load_n(&w, __ATOMIC_SEQ_CST); }
inline void word_fenced_set(uint32_t& w, uint32_t v) { __atomic_store_n(&w, v, __ATOMIC_SEQ_CST); }

inline CommandBlock* block_at(uint8_t* memory, uint32_t address = kBlockAddress) {
  return reinterpret_cast<CommandBlock*>(memory + address);
}

// Log records in log_ring: text [0, n, n characters] (n at most 255), value [1, 4, four
// bytes most significant first]; the ring wraps from 999 to 0 inside a record.
constexpr uint8_t kLogText = 0, kLogValue = 1;

}  // namespace audio940
