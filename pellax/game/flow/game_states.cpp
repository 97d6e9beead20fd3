#include "pellax/game/flow/game_states.h"

const state_step_fn state_steps[kStateTableSize] = {
    nullptr,             // 0
    step_title,          // 1
    step_level_select,   // 2
    step_get_ready,      // 3
    step_playing,        // 4
    nullptr,             // 5: never entered
    step_end_of_run,     // 6
    step_high_scores,    // 7
    step_wave_popups,    // 8
    step_zone_complete,  // 9
    step_quit_screen,    // 10
};

void run_state_step(int32_t state, uint32_t buttons) {
  if (state < 0 || state >= kStateTableSize || !state_steps[state]) return;
  state_steps[state](buttons);
}
