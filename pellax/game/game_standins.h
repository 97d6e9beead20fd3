// Stand-ins for what the game does not have yet (the screens, the ship, messages and high
// scores, the enemies, the stage director and the level flow's steps). Each does the
// least that lets the frame loop run and be tested, and is deleted from
// game_standins.cpp when its real version lands, without touching the callers.
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
