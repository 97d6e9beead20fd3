#include "pellax/game/flow/button_latch.h"

#include "pellax/game/core/run_state.h"
#include "pellax/platform/input.h"

uint32_t read_new_buttons() {
  const uint32_t raw = read_buttons();
  const uint32_t pressed = raw & ~previous_buttons;
  previous_buttons = raw;
  return pressed;
}
