// Fuzz target of the second core's music path: the input is a music file, placed and
// announced as music_load hands one over, then decoded into the ring and mixed pass by pass
// by the core's program compiled for this machine (its decoder and arena as on the core).
// Its corpus is replayed on the core's image too (tests/pellax/audio940).
#include <sys/mman.h>

#include <cstring>

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"
#include "tests/fuzz/fuzz_target.h"

int FuzzMusic(const uint8_t* data, size_t size) {
  using namespace audio940;
  // One memory for every run: mapping 15.5 MB a run would cost more than the run.
  static uint8_t* const memory = static_cast<uint8_t*>(
      ::mmap(nullptr, kMemorySize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  FUZZ_CHECK(memory != MAP_FAILED);
  if (size > kMusicLimit) size = kMusicLimit;
  std::memset(memory + kBlockAddress, 0, sizeof(CommandBlock));
  arm940_start(kBlockAddress, memory);
  CommandBlock& b = *block_at(memory);
  b.master_volume = kInitialVolume;
  b.sfx_enable = 1;
  b.music_enable = 1;
  b.music_level = kInitialMusicLevel;
  b.music_offset = kMusicAddress;
  if (size) std::memcpy(memory + kMusicAddress, data, size);
  b.music_length = uint32_t(size);
  b.music_rewind = 1;
  b.music_data_ready = 1;
  const CoreState& st = arm940_state();
  // Enough passes for a short stream to loop a few times.
  for (int pass = 0; pass < 80; ++pass) {
    arm940_service();
    FUZZ_CHECK(b.pcm_a_full == 1 && b.pcm_b_full == 1);  // every block is mixed
    b.pcm_a_full = b.pcm_b_full = 0;
    FUZZ_CHECK(st.ring_read < kRingSamples && st.ring_write < kRingSamples);
    FUZZ_CHECK(st.arena.top <= kArenaEnd && st.arena.top >= st.arena.base);
    FUZZ_CHECK(b.log_write < kLogBytes);
    FUZZ_CHECK(b.music_busy == 0);
  }
  return 0;
}
