// The player's ship (kind 1) and its shots (kind 2): shapes, placing, the per-frame control
// step with its exhaust, the shield's energy rule and the camera that follows the ship.
#pragma once

#include <cstdint>

constexpr int32_t kShipScale = 120;
constexpr int32_t kFireInterval = 5;

extern int32_t last_shot_frame;
extern float thrust_spray;
extern float turn_step;
extern float brake_step;
extern float exhaust_prev_x, exhaust_prev_y;
// The stick code (0..16) and the held buttons of the playing frame.
extern int32_t stick_direction;
extern uint32_t held_buttons;

// The ship model (14 segments: x1, y1, x2, y2 in model units, y down, nose at (0, -20)).
extern const int32_t kShipModel[14][4];

void create_player_ship();
void place_player_ship();
void place_player_ship_low();
int32_t place_player_ship_centre();
void hide_player_ship();
// idle: only the exhaust, at the idle rate (the title's flying ship).
void update_player_ship(int32_t idle);
void fire_player_shot();
void update_camera();
// The playing state's shield: Y held with energy left raises it and takes the cost.
void shield_step(uint32_t buttons);
