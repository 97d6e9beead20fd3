// The button latch: which buttons went down since the last look. One latch serves the frame
// loop and every screen of the level flow, so a press is seen once, by whichever asks first.
#pragma once

#include <cstdint>

// Buttons pressed since the previous call (the latch is previous_buttons, in run_state.h).
uint32_t read_new_buttons();
