// The enemy side of the game: every enemy, enemy shot, block, pick-up and menu decoration
// is a game object whose kind code selects its spawn, update and kill routines. Each family
// of kinds lives in a file of its own and registers its routines in the table here; a kind
// that no family has registered is inert (spawns nothing, never moves, never dies).
#pragma once

#include <cstdint>

#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/kind_codes.h"

struct game_object;

using kind_spawn_fn = void (*)(int32_t x, int32_t y);
using kind_update_fn = void (*)(game_object* obj, int32_t dt);
using kind_kill_fn = void (*)(uint16_t index);
using chain_spawn_fn = void (*)(int32_t x, int32_t y, int32_t links, float speed);

// Registers a kind's routines (any may be null). Called by the families' register
// functions, which the dispatch runs once before its first use.
void register_kind(int32_t kind, kind_spawn_fn spawn, kind_update_fn update, kind_kill_fn kill);
// The chain boss (kind 9) takes its number of links and speed.
void register_chain_spawn(chain_spawn_fn spawn);
// Empties the table and lets every family register again (for tests that replace a kind).
void reregister_kinds();

// Spawns one object of a kind at (x, y) in 24.8; nothing for a kind not registered.
void spawn_kind(int32_t kind, int32_t x, int32_t y);
void spawn_kind9(int32_t x, int32_t y, int32_t links, float speed);
// Whether a kind has a spawn routine.
bool kind_spawns(int32_t kind);

// The object's kind's update with the frame step dt (8.8 ticks).
void enemy_update(game_object* obj, int32_t dt);
// enemy_update for every used object with flag bit 1, with the frame's tick step.
void update_objects();
// Rolls the pick-up drop at the object's place, then runs its kind's kill.
void enemy_kill(uint16_t index);
// A kind's own kill routine on the object in that slot, with no drop (the sweeps of the
// mines and the bosses); nothing for a kind without one.
void kill_kind(int32_t kind, uint16_t index);
// base + game_speed x extra: every speed of the moving kinds.
float speed_scale(float base, float extra);
// The floating score text of a kill.
void spawn_score_popup(int32_t points, int32_t x, int32_t y);

// --- shared steps of the kinds -------------------------------------------------------

// The six enemy colours by variant (entries 0 and 7 are the row's ends).
extern const uint16_t kEnemyColours[8];

// A fresh enemy record of a kind at (x, y): every field cleared, flags 7, timer 12800
// (the warp-in), mass 4. Null when the pool is full.
game_object* new_enemy(uint16_t kind, int32_t x, int32_t y);
// The random variant 1..6 (one draw).
int32_t random_variant();
// The random angle 0 .. 6.283 (one draw).
float random_angle();
// Loads n base segments of a shape table (model units, scaled by shape_scale), with the
// colours of colour(i) (a: high half, b: low half), the first hit_count of them as hit
// segments, and two parallel copies of every base segment; then transforms the object.
using segment_colour_fn = uint32_t (*)(int32_t index, int32_t variant);
void load_shape(game_object* obj, const int32_t (*rows)[4], int32_t n, int32_t hit_count,
                segment_colour_fn colour);
// The same with the table's own scale (8.8; each value becomes (scale x v) >> 8), the copies'
// spacing, and for tables written with y up, each y negated before it is scaled.
struct shape_build {
  int32_t scale;
  int32_t spacing;
  bool y_up;
};
void load_shape(game_object* obj, const int32_t (*rows)[4], int32_t n, int32_t hit_count,
                segment_colour_fn colour, const shape_build& build);
// The spawn of kind Kind in a family whose kinds are rows of one table (each row has a
// `kind`): Build(row, x, y) with that kind's row. A family registers
// spawn_from_table<its table, its build, kind> for each of its kinds.
template <const auto& Table, auto Build, int32_t Kind>
void spawn_from_table(int32_t x, int32_t y) {
  for (const auto& row : Table)
    if (row.kind == Kind) Build(row, x, y);
}
// Both colours of a segment from one value.
constexpr uint32_t both_colours(uint16_t c) { return (uint32_t(c) << 16) | c; }
// The warp-in: grows the object over 50 ticks, then clears flag 4. Returns whether it was
// warping.
bool warp_in_step(game_object* obj, int32_t dt);
// x += v x dt, rounded as the game rounds.
void drift_step(game_object* obj, int32_t dt);
// count sparks at (x, y): flags, glow sprites, colour, delay lo + 0..range-1, speed (px per
// tick), head time, life base + 0..511. The draws of each spark: delay, direction, life.
struct spark_style {
  uint16_t flags, tail_glow, head_glow, colour;
  int32_t delay_base, delay_range;
  float speed;
  int32_t head_time, life_base;
};
void spark_burst(int32_t x, int32_t y, int32_t count, const spark_style& style);
// One spark of a burst. With jitter each velocity component also gains 0..127 (two more
// draws, after the direction and before the life).
void emit_spark(int32_t x, int32_t y, const spark_style& style, bool jitter);
// count sparks with that jitter.
void spark_burst_jittered(int32_t x, int32_t y, int32_t count, const spark_style& style);
// Score, popup, counters and the record freed: the end of every standard kill.
void finish_kill(uint16_t index, int32_t counted_kind);
// The standard kill's 60 sparks in the variant's colour.
void standard_sparks(const game_object& obj);
// The standard kill: those sparks, then finish_kill.
void standard_kill(uint16_t index, int32_t counted_kind);
