// The frame's picture by game state: the world under the camera, then the title, the level
// select, the play screen with its HUD, the zone-complete screen or the quit screen; and
// the two gauges of the HUD (lives and shield).
#pragma once

#include <cstdint>

// Set from the marker files on every level-select frame.
extern int32_t zone_open[5];
extern int32_t ending_open;
extern int32_t perfect_ending_open;

void draw_frame();
void draw_lives(uint16_t* surface, int32_t lives);
void draw_shield(uint16_t* surface);
// The parting line of the quit screen for a blink count.
const char* parting_line(int32_t blink);
