// The stage director: per level, which enemies enter the arena while it is played and when
// the level is done; the kill quota and the difficulty. The counts of each kind and the
// per-level state the kinds read are the census (kind_census.h), which the director sets.
#pragma once

#include <cstdint>

extern int32_t kill_quota;
extern int32_t director_timer;     // 8.8 ticks
extern int32_t level_end_timer;    // 8.8 ticks

// Start of a run: level 0, counters of kinds 0..29 cleared, quota 50, speed 1.0.
void stage_reset();
// Start of a level: all counters cleared, scale 160, the level's quota and extra state.
void stage_begin();
// One director step with the frame step dt (8.8 ticks).
void stage_director_update(int32_t dt);
int32_t alive_total();
int32_t killed_total();
int32_t alive_chasers();
// The fixed formation that some levels start with.
void stage_spawn_formation(int32_t level);
