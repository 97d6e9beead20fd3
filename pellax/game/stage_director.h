// The stage director: per level, which enemies enter the arena while it is played and when
// the level is done; the per-kind counters of live and killed objects, the kill quota, the
// shape scale of spawns and the game speed factor.
#pragma once

#include <cstdint>

constexpr int kKindCounters = 129;

extern int32_t kind_alive[kKindCounters];
extern int32_t kind_killed[kKindCounters];
extern int32_t kill_quota;
extern int32_t difficulty_level;   // L
extern int32_t director_timer;     // 8.8 ticks
extern int32_t level_end_timer;    // 8.8 ticks
extern int32_t shape_scale;        // 8.8
extern float game_speed;
extern float game_speed_base;
extern int32_t pickup108_count;
extern int32_t pickup103_count;
extern int32_t mine_walk_x, mine_walk_y, mine_walk_dir, mine_walk_count;

// Start of a run: level 0, counters of kinds 0..29 cleared, quota 50, speed 1.0.
void stage_reset();
// Start of a level: all counters cleared, scale 160, the level's quota and extra state.
void stage_begin();
void set_game_speed(float f);
// One director step with the frame step dt (8.8 ticks).
void stage_director_update(int32_t dt);
int32_t alive_total();
int32_t killed_total();
int32_t alive_chasers();
// The fixed formation that some levels start with.
void stage_spawn_formation(int32_t level);
