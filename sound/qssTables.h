// Constant tables of the tracker engine.
#pragma once

#include <cstdint>

// Highest Amiga period the step and note tables cover.
constexpr int QSS_MAX_PERIOD = 1712;

extern const uint16_t amiganote[16][84];
// Half-wave vibrato shape.
extern const uint8_t sine[32];
// MS-ADPCM delta adaptation, indexed by the unsigned nibble.
extern const int16_t qssAdpcmAdaptive[16];
