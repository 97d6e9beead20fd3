// The start of a level with its formation in place, for the benchmarks of pellax's playing
// frames (bench_play.cpp) and the program that runs the heaviest waves (pellax_wave.cpp).
#pragma once

#include <cstdint>

#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/stage_director.h"

// Empty pools but for a live ship in the middle of the arena, at the start of a level.
inline void start_level(int32_t level) {
  free_objects_with_flags(0xFFFF);
  clear_particles();
  create_player_ship();
  level_number = level;
  difficulty_level = 2;
  stage_begin();
  camera_x = 224 * 256;
  camera_y = 264 * 256;
  place_player_ship_centre();
  respawn_pause = 0;
  player_dead = 0;
  lives = 5;
}

// The heaviest waves of the later zones: a level's formation arrived (warp-ins over) with
// the ship in the middle of the arena. Levels 25 and 31 hold the most objects and segments
// (about 70 and 90 objects, some 1,300 segments); 27 is the densest of rocks and blocks.
inline void fill_wave(int32_t level) {
  start_level(level);
  set_game_speed(2.0f + float(level) / 12.0f);
  stage_spawn_formation(level);
  walk_objects([](uint16_t i) {
    game_object& o = object_at(i);
    if (o.flags & kObjWarping) enemy_update(&o, 12801);
  });
}
