// The game's shared globals: the frame loop's timing and state, and the run variables
// that the frame loop, the level flow, the ship and the in-game update share.
#pragma once

#include <cstdint>

struct game_object;

// Frame loop.
extern int32_t game_state;        // 1 title .. 10 quit screen
extern int32_t frame_counter;
extern float frame_time;          // length of the last step, 10 ms units
extern int32_t tick_step;         // the same in 8.8 ticks
extern uint8_t quit_requested;
extern int32_t game_paused;
extern uint32_t previous_buttons;
extern uint8_t select_latch;
extern int32_t audio_setting;     // 0 all on, 1 music off, 2 effects off, 3 both off
extern int32_t screen_phase;
extern int32_t world_image_mode;  // 0 level, 1 title, 2 zone complete
extern int32_t transition_timer;  // frame counter of the level flow's transitions

// Run variables.
extern int32_t lives;
extern int32_t next_life_score;
extern int32_t game_score;
extern int32_t player_dead;
extern int32_t respawn_pause;
extern int32_t respawn_timer;
extern int32_t shield_energy;
extern int32_t shield_on;
extern int32_t lives_cheat_used;
extern int32_t level_cleared;
extern int32_t new_score_slot;    // -1: no initials being entered
extern int32_t level_number;
extern game_object* player_object;
extern int32_t game_mode;          // 0 normal, 1 mode choice open, 2 timed
extern int32_t popup_bonus_state;  // shot tests counted 0..20

// The zones: the one being played, and the trophies its pick-ups have won.
constexpr int kZoneCount = 5;
extern int32_t selected_zone;      // 0..4 zones, 5 ending, 6 perfect ending
extern int32_t zone_trophy[kZoneCount];

// The camera: top-left corner of the 320x240 view in the world, 24.8.
extern int32_t camera_x;
extern int32_t camera_y;

// Rounds a 24.8 value to its pixel (in 64 bits, so that no value wraps).
inline int32_t px(int32_t v) { return int32_t((int64_t(v) + 128) >> 8); }

// Game states.
enum : int32_t {
  kStateTitle = 1,
  kStateLevelSelect = 2,
  kStateGetReady = 3,
  kStatePlaying = 4,
  kStateEndOfRun = 6,
  kStateHighScores = 7,
  kStateWavePopups = 8,
  kStateZoneComplete = 9,
  kStateQuitScreen = 10,
};
