// The game's one random number generator: a 32-bit Mersenne Twister (the reference
// MT19937) and two range helpers. Every random choice of the game draws from it, so the
// order of draws within a frame is part of the game's behaviour.
#pragma once

#include <cstdint>

// Reference seeding by one word.
void mt_seed(uint32_t s);
// Reference seeding by key array, with the key {seed & 0xFFFF, 0x234, 0x345, 0x456}.
void mt_seed_array(uint32_t seed);
// Next 32-bit output; seeds itself with 5489 when never seeded.
uint32_t mt_next();
// lo .. hi - 1. With hi <= lo it returns lo without drawing.
int32_t random_range(int32_t lo, int32_t hi);
// 0 .. n - 1. With n == 0 it returns 0 without drawing.
uint16_t random_below(uint16_t n);
// Back to the state at load (never seeded); for tests and a fresh start.
void mt_reset();
