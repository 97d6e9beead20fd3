// Helpers every object kind uses: the segment transform with its bounding box, parallel
// segment copies, collision response, the motion step, the update dispatch, neighbour
// searches and the choice of a spawn point near the player.
#pragma once

#include <cstdint>

struct game_object;

// World segments and bounding box from the model segments (angle, then scale).
void transform_object(game_object* obj);
// 2n copies of model segment seg offset along its normal; stops at 150 segments.
void add_parallel_segments(game_object* obj, int32_t seg, int32_t n, int32_t spacing);
// Velocity response of two touching objects closing on each other; an object with a mass
// of 0 or less is immovable.
void collide_objects(game_object* a, game_object* b);
// Moves an object by its velocity over frame_time.
void step_object_motion(uint16_t index);
// First other used object of that kind within r (24.8) on both axes: 1 and its position.
int find_object_of_kind_near(const game_object* self, uint16_t kind, int32_t r, int32_t* x,
                             int32_t* y);
// The same for objects with flag 0x20.
int find_object_near(const game_object* self, int32_t r, int32_t* x, int32_t* y);
// A spawn point near the player, inside the view and the arena (24.8).
void pick_spawn_position(int32_t* x, int32_t* y);
