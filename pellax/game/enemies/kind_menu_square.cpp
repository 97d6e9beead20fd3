// The turning diamond that decorates the menus: no warp-in, never counted, never killed.
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/menu_square.h"

namespace {

const int32_t kDiamond[][4] = {{-2559, 0, 0, -5120}, {0, -5120, 2560, 0}, {2560, 0, 0, 5119}, {0, 5119, -2559, 0}};

uint16_t square_colour = 0;
uint32_t argument_colour(int32_t, int32_t) { return both_colours(square_colour); }

void turn(game_object* o, int32_t dt) {
  o->angle += o->spin * float(dt) / 256.0f;
  transform_object(o);
}

}  // namespace

void spawn_kind20(int32_t x, int32_t y, uint16_t colour, float spin) {
  game_object* o = new_enemy(20, x, y);
  if (!o) return;
  o->flags = kObjDrawn | kObjActive;
  o->timer = 0;
  o->scale = 0;
  o->spin = spin;
  o->angle = random_angle();
  square_colour = colour;
  load_shape(o, kDiamond, 4, 4, argument_colour);
}

void register_menu_square() { register_kind(kMenuSquare, nullptr, turn, nullptr); }
