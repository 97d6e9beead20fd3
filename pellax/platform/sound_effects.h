// Which of the second core's effects a sound number plays. The audio commands and the
// game tests' recording of them both ask here, so the two make the same random draws.
#pragma once

#include <cstdint>

// The effect slot for sound n: 1 shot and menu moves (5), 2 (4), 3 a hit (1, 2 or 3, by
// one draw from the game's generator, made whether or not sound is on, so the game's
// random sequence does not depend on the audio), 4 pick-ups and lives (6), 5 (7), 6 (8);
// -1 for any other n, which plays nothing and draws nothing.
int32_t sound_effect_for(int32_t n);
