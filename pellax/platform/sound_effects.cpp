#include "pellax/platform/sound_effects.h"

#include "pellax/base/random.h"

int32_t sound_effect_for(int32_t n) {
  switch (n) {
    case 1: return 5;
    case 2: return 4;
    case 3: return 1 + random_range(0, 1000) % 3;
    case 4: return 6;
    case 5: return 7;
    case 6: return 8;
    default: return -1;
  }
}
