// The level flow: what each game state does in a frame, from the title through the level
// select into a zone, wave after wave, to the zone-complete screen; the marker files that
// record progress and the ending programs.
#pragma once

#include <cstdint>

#include "pellax/game/core/run_state.h"

extern int32_t zone_first_level;
extern int32_t mode_cursor;
extern int32_t stick_latch;
extern int32_t transition_step;
extern int32_t transition_active;
extern int32_t attract_timer;
extern int32_t select_blink;
extern int32_t reveal_index;
extern int32_t saved_volume;
extern int32_t get_ready_timer;
extern int32_t bonus_points;
extern int32_t cheat_latch;
extern int32_t cheat_wait;         // the cheat's buttons are still held: play waits
extern int32_t custom_music;
extern int32_t image_set;
extern int32_t timed_trophy[kZoneCount];
// The audio and the screen were closed for an ending program that did not start: the quit
// path then only frees the game.
extern int32_t ending_devices_closed;

struct zone_info {
  const char* name;
  int32_t first_level, time_limit;
  const char* pictures[6];  // slots 1..6, null: not loaded
  const char* music;
};
extern const zone_info kZones[kZoneCount];

// Whether a file (a marker, a trophy, a custom track) opens for reading: data_file_present.
bool file_exists(const char* name);
void camera_home();
void start_title_decorations();
// The wave name shown after level `level` is cleared ("" for levels without one).
const char* wave_name(int32_t level);
// The marker files of a zone end (level_number 5, 11, 18, 26 or 35); null when none.
struct zone_markers {
  int32_t level;
  const char* zone;
  const char* trophy;
  const char* timed;
};
const zone_markers* markers_for(int32_t level);
void write_zone_markers(int32_t level);
// The wave end after a level's goal (level_cleared).
void wave_end();
// Back to the state at load; for a fresh start in one process.
void reset_game_flow_state();
