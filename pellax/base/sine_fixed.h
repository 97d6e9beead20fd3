// Sine and cosine of an angle in radians as the game's 8.8 fixed point.
#pragma once

#include <cstdint>

// round_to_int(std::sin(double(angle)) * 256.0) and the same of the cosine, exactly; on the
// console, without its software double arithmetic for all but a rare few angles.
void sine_cosine_fixed(float angle, int32_t* sine, int32_t* cosine);
