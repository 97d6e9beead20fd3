// Per-frame update of the particle pool and the parallel copies that thicken a spark.
#pragma once

#include <cstdint>

struct particle;

// One step of every live particle with tick_step: delay, growing head, moving line,
// colour fade; a particle whose life ran out in the previous step is freed.
void update_particles();
// 2n copies of p, offset along the normal of its velocity (each skipped when the pool
// is full); the copies start as points and carry no glow.
void add_parallel_particles(particle* p, int32_t n, int32_t spacing);
// The fade of a type-1 particle: takes `amount` from blue first, then green, then red.
uint16_t fade_colour(uint16_t colour, int32_t amount);
