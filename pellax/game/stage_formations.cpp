#include "pellax/game/stage_director.h"

// The fixed formations arrive with the kinds that make them up (barriers, turrets,
// spinners, bosses); until then a level starts empty and the director fills it.
void stage_spawn_formation(int32_t) {}
