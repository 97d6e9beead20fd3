// The program's entry on the second core: its state, then passes until stop_940 is set.
// Before each pass it calls arm940_pass_end (a return at a fixed address, where a host that
// emulates the core can stop between passes) with whether the pass before did work (the
// start-up counts as work): a host stopped there has the program's state ready and no pass
// under way.
#include "pellax/audio940/core.h"

extern "C" void arm940_pass_end(uint32_t worked);

extern "C" void arm940_image_main(uint32_t block, uint8_t* base) {
  audio940::arm940_start(block, base);
  uint32_t worked = 1;
  for (;;) {
    arm940_pass_end(worked);
    if (audio940::arm940_stop_requested()) return;
    worked = audio940::arm940_service() ? 1 : 0;
  }
}
