#include "pellax/game/core/run_state.h"

int32_t game_state = 0;
int32_t frame_counter = 0;
float frame_time = 0.0f;
int32_t tick_step = 0;
uint8_t quit_requested = 0;
int32_t game_paused = 0;
uint32_t previous_buttons = 0;
uint8_t select_latch = 0;
int32_t audio_setting = 0;
int32_t screen_phase = 0;
int32_t world_image_mode = 0;
int32_t transition_timer = 0;

int32_t lives = 0;
int32_t next_life_score = 0;
int32_t game_score = 0;
int32_t player_dead = 0;
int32_t respawn_pause = 0;
int32_t respawn_timer = 0;
int32_t shield_energy = 0;
int32_t shield_on = 0;
int32_t lives_cheat_used = 0;
int32_t level_cleared = 0;
// -1 from the start: 0 would make the loading screen's score table edit row 0 and ask
// for music before the audio runs.
int32_t new_score_slot = -1;
int32_t level_number = 0;
int32_t game_mode = 0;
int32_t popup_bonus_state = 0;
int32_t selected_zone = 0;
int32_t zone_trophy[kZoneCount];
game_object* player_object = nullptr;

int32_t camera_x = 0;
int32_t camera_y = 0;
