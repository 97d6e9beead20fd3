// The table of per-state steps that game_step dispatches to, indexed by game_state. Each
// state's step lives with the level flow; states without an entry do nothing.
#pragma once

#include <cstdint>

using state_step_fn = void (*)(uint32_t buttons);

constexpr int kStateTableSize = 11;
extern const state_step_fn state_steps[kStateTableSize];

void step_title(uint32_t buttons);
void step_level_select(uint32_t buttons);
void step_get_ready(uint32_t buttons);
void step_playing(uint32_t buttons);
void step_end_of_run(uint32_t buttons);
void step_high_scores(uint32_t buttons);
void step_wave_popups(uint32_t buttons);
void step_zone_complete(uint32_t buttons);
void step_quit_screen(uint32_t buttons);

// Runs the step of `state` (nothing for 5, 11 and any value outside the table).
void run_state_step(int32_t state, uint32_t buttons);
