// The census of the enemy kinds: how many of each kind are alive and how many were killed,
// and the per-level state that the kinds read and the stage director sets (the shape scale
// of spawns, the game speed, the mine walk, the pick-up counts). It sits below both, so
// the kinds count themselves here and the director reads the counts, without either
// including the other.
#pragma once

#include <cstdint>

// Kind codes run from 0 to kKindCount - 1; the dispatch table and the counters both have
// this many entries.
constexpr int kKindCount = 129;

extern int32_t kind_alive[kKindCount];
extern int32_t kind_killed[kKindCount];
extern int32_t difficulty_level;   // L, which the kinds scale their speed and fire by
extern int32_t shape_scale;        // 8.8
extern float game_speed;
extern float game_speed_base;
extern int32_t pickup108_count;
extern int32_t pickup103_count;
extern int32_t mine_walk_x, mine_walk_y, mine_walk_dir, mine_walk_count;

// The game speed is the base speed times f.
void set_game_speed(float f);
