// pellax_wave LEVEL: pellax from its start-up straight into a level with the level's
// formation in place (warp-ins over), then its usual frames until the host layer ends the
// run: the heaviest waves of the later zones (25, 27, 31), which no button script reaches
// from the title, for bench/frame_cost.sh (bench/README.md). The level's world is built as
// at its start; level 25's picture is loaded into its slot as its zone does.
#include <cstdio>
#include <cstdlib>

#include "bench/pellax/heavy_wave.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/game/render/world_image.h"
#include "pellax/game/flow/data_files.h"

int main(int argc, char** argv) {
  const int level = argc == 2 ? std::atoi(argv[1]) : -1;
  if (level < 0 || level > 35) {
    std::fprintf(stderr, "usage: pellax_wave LEVEL   (0..35; run in pellax's data folder)\n");
    return 2;
  }
  if (pellax_start() != 0) return 1;
  if (level == 25) load_image_file("skullboss.lvl", 4);
  build_world_image(2, level);
  fill_wave(level);
  game_state = kStatePlaying;
  screen_phase = 8;
  while (pellax_frame()) {
  }
  shut_down_for_hand_over();
  return 0;
}
