// The voice mixer: music from the ring, the loop sound and up to five effect voices, mixed
// into the command block's two PCM blocks.
#pragma once

#include <cstdint>

#include "pellax/audio940/core_state.h"

namespace audio940 {

// Mixes into each free PCM block in turn, strictly alternating A, B, A, ...: the block due
// next is mixed when its full flag is 0 and then flagged full (release); the other one only
// after it. Returns how many blocks it mixed (0..2).
int arm940_fill_buffers();

// Mixes one block of 4,096 samples (interleaved stereo, left first) into out. Per sample:
// music (ring x music_level, while music is on, primed and the ring not empty) + loop sound
// (x loop_level, while on and effects are on) + each voice (x its volume, heard only while
// effects are on; voices advance regardless); the sum, taken >> 8, x master_volume >> 8,
// saturated to -32767..32767. The sum is 64-bit, so no level overflows it.
void arm940_mix(int16_t* out);

// Removes voice v; the voices after it move down one place.
void remove_voice(CoreState& st, uint32_t v);

}  // namespace audio940
