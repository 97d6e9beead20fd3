#include "pellax/game/core/kind_census.h"

int32_t kind_alive[kKindCount];
int32_t kind_killed[kKindCount];
int32_t difficulty_level = 0;
int32_t shape_scale = 160;
float game_speed = 1.0f;
float game_speed_base = 0.8f;
int32_t pickup108_count = 0;
int32_t pickup103_count = 0;
int32_t mine_walk_x = 0, mine_walk_y = 0, mine_walk_dir = 0, mine_walk_count = 0;

void set_game_speed(float f) { game_speed = game_speed_base * f; }
