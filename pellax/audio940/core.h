// The audio program of the second core: it decodes Ogg Vorbis effects and music with the
// integer decoder, keeps a ring of decoded music, plays up to five effect voices and one
// looping sound, and mixes them into the command block's two PCM blocks. It reads all it
// knows from the command block and never waits: one pass after another.
//
// On the console the start-up code calls arm940_main(kBlockAddress, memory) and it runs
// until stop_940 is set. Elsewhere (tests, the PC's emulation of the second core) the same
// program is entered in its two halves: arm940_start, then arm940_service passes.
#pragma once

#include <cstdint>

#include "pellax/audio940/core_state.h"

namespace audio940 {

// Starts the program over `memory` (the second core's address 0) with its command block at
// `block`: clears all its variables, places them at kStateAddress, and makes this the core
// the calling thread runs. The block itself is not touched.
void arm940_start(uint32_t block, uint8_t* memory);
// arm940_start, then passes while stop_940 is 0.
void arm940_main(uint32_t block, uint8_t* memory);

// One pass: a rewind, the effect triggers, the free PCM blocks, one decoding step. Returns
// true when it did anything; false for a pass that changed nothing (everything decoded,
// both blocks full, the ring primed, no command), after which passes are idle until a
// command or a freed block arrives. A stream that fails to open or decodes to nothing does
// not count as work, so idle passes are reached with such a stream too.
bool arm940_service();
// True once stop_940 is set.
bool arm940_stop_requested();

// The program's state, for tests and measurements.
CoreState& arm940_state();
// Tests: a function the calling thread's passes call at each PassPoint, to land a command
// there; an empty one for none.
#ifndef PX940_FREESTANDING
void arm940_set_probe(std::function<void(PassPoint)> probe);
#endif

// Log records for the audio thread to print: text (cut to 255 characters) and a 32-bit
// value. A record that does not fit in the ring's free space is dropped whole.
void arm940_log_text(const char* text);
void arm940_log_value(uint32_t value);

}  // namespace audio940
