#include "engine/core/zdsp_base.h"
const uint8_t zinternalfont[] = {0};
const uint32_t zinternalfont_size = 0;
