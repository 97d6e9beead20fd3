// Start-up, the frame loop and the game step: the spine of the game.
#pragma once

#include <cstdint>

// The program: start-up, then frames until the player quits; then the hand-over to the
// console's menu. Returns only when that hand-over fails (0) or the hardware cannot be
// opened (1).
int pellax_main();
// Its parts: the start-up (0, or 1 when the hardware cannot be opened), one pass of the
// frame loop (false once the player has quit) and the shutdown before the hand-over.
int pellax_start();
bool pellax_frame();
void shut_down_for_hand_over();
// The system asks the program to end (SIGTERM, or the PC's window closed; the frame loop
// and the pause screen look each frame): the loop ends after this frame, keeping what the
// zone-complete screen's own quit keeps, the zone's unlocks there and a score that made
// the table.
void take_quit_request();
// One-time set-up of the game; returns 0, or -1 when the pools cannot be allocated.
int game_init();
void game_shutdown();
// One step: measures the frame's time, then runs the current state's step.
void game_step(uint32_t buttons);
// SELECT advances the audio setting once per press.
void cycle_audio_setting(uint32_t buttons);
// The pause screen of the playing state (entered with START held).
void run_pause_screen();
// VOL+ raises the volume, else VOL- lowers it (both held: only up).
void handle_volume_buttons(uint32_t buttons);
// One life for every 30,000 points, at most one a frame, none while the ship is dead.
void award_extra_life();
// Waits out the frame: at least 30 ms, then the vertical blank within 35.5 / 53.3 ms.
void pace_frame();
// The frame-time step as an 8.8 tick count, from tenths of a millisecond.
int32_t tick_step_for(uint32_t dt);
// Puts the frame loop's globals back to their start values (a fresh run in one process).
void reset_frame_loop_state();
