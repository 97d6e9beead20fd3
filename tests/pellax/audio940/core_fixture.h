// The audio program over a second core's memory of its own, with the command block set up
// as the audio thread leaves it; passes are run directly, without a host or threads.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memory_.assign(audio940::kMemorySize, 0);
    b().master_volume = audio940::kInitialVolume;
    b().sfx_enable = 1;
    b().music_level = audio940::kInitialMusicLevel;
    b().music_offset = audio940::kMusicAddress;
    b().effects_to_decode = 0;
    for (int i = 1; i < audio940::kEffects; ++i) b().sfx_volume[i] = audio940::kEffectVolume[i];
    audio940::arm940_start(audio940::kBlockAddress, mem());
  }

  uint8_t* mem() { return memory_.data(); }
  audio940::CommandBlock& b() { return *audio940::block_at(mem()); }
  audio940::CoreState& st() { return audio940::arm940_state(); }
  int16_t* samples_at(uint32_t address) { return reinterpret_cast<int16_t*>(mem() + address); }

  // Both PCM blocks taken by the thread already: a pass mixes nothing.
  void hold_blocks() { b().pcm_a_full = b().pcm_b_full = 1; }
  // Places a stream at an address of the core's memory.
  void place(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::memcpy(mem() + address, bytes.data(), bytes.size());
  }
  // Passes until one does nothing (at most `limit`); returns how many ran.
  int run_until_idle(int limit = 100000) {
    int n = 0;
    while (n < limit) {
      ++n;
      if (!audio940::arm940_service()) break;
    }
    return n;
  }

  std::vector<uint8_t> memory_;
};
