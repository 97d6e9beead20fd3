// Steps that several enemy families share (steering toward the ship, keeping apart, the
// muzzle point of a shot, headings), and the spawns one family makes of another's kinds
// with arguments beyond (x, y): the enemy shot and the sliding barrier.
#pragma once

#include <cstdint>

struct game_object;

// The enemy shot (kind 18) from (x, y) in 24.8 along an angle (0 up, clockwise) at a speed
// in pixels per tick. No warp-in, not counted.
void spawn_kind18(int32_t x, int32_t y, float angle, float speed);
// The sliding barrier (kind 109) with its travel limits (24.8; a zero pair: no travel on
// that axis).
void spawn_kind109(int32_t x, int32_t y, int32_t y_top, int32_t y_bottom, int32_t x_right,
                   int32_t x_left);
// Shared by every chain head; never reset by a run (only a fresh start clears it).
extern int32_t chain_fire_counter;

// angle += spin x rate over dt, the world segments from it, then the drift by the velocity.
void turn_and_drift(game_object* o, int32_t dt, float rate = 1.0f);
// A random start along the object's angle: vx = speed x sin(angle) x f / 256 and vy = speed x
// cos(angle) x f' / 256, with f and f' drawn in that order from lo .. hi - 1.
void random_drift(game_object* o, float speed, int32_t lo, int32_t hi);
// An angle brought into 0 .. 6.284 by one turn either way.
float wrap_angle(float a);
// The heading from the object to the player's ship (0 up, clockwise), wrapped.
float heading_to_player(const game_object* o);
// The point 19.5 px ahead of the object along an angle, where its shots and mines start.
void muzzle_point(const game_object* o, float angle, int32_t* x, int32_t* y);
// A shot from the muzzle along the object's angle.
void fire_ahead(const game_object* o, float speed);
// (x, y) scaled to length 1; false (and nothing written) for a zero vector, whose
// direction is undefined: the caller skips its step.
bool unit_vector(float x, float y, float* ux, float* uy);
// Per axis, accel toward the ship (away when the ship's coordinate is not greater); then
// when either component lies beyond +-limit, both are multiplied by friction.
void steer_toward_player(game_object* o, float accel, float limit, float friction);
// When an object with flag 0x20 lies within r (24.8, both axes), strength along the unit
// vector from it to this object is added to the velocity.
void push_apart(game_object* o, int32_t r, float strength);
