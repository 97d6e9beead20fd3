// The menus' turning diamond (kind 20), with its colour and spin.
#pragma once

#include <cstdint>

void spawn_kind20(int32_t x, int32_t y, uint16_t colour, float spin);
