// Stand-ins for the parts of the game that come later (screens, ship, messages and high
// scores, enemies, stage director, level flow). Each does the least that lets the frame
// loop run and be tested; each is deleted from later_parts.cpp when its real version
// lands, without touching the callers.
#pragma once

#include <cstdint>

struct game_object;

// Enemies.
void enemy_update(game_object* obj, int32_t dt);
void spawn_kind20(int32_t x, int32_t y, uint16_t colour, float spin);
void stage_reset();
// Player ship.
void create_player_ship();
void place_player_ship();
// The shield step of the playing state: Y held with energy left raises the shield.
void shield_step(uint32_t buttons);
// In-game events.
void explode_big();
// Messages and high scores.
void show_message(const char* text);
void load_high_scores();
void run_high_score_screen(uint16_t* surface, int32_t with_prompt);
void draw_pause_menu(uint16_t* surface);
// Screens.
void draw_frame();
