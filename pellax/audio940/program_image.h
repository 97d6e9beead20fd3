// The second core's program as the game uploads it to the core's address 0: the flat bytes
// of the freestanding ARMv4T image (vectors, start-up, code, the decoder's tables and
// initialised data; built from image/ by the build) and their length in bytes.
#pragma once

#include <cstdint>

extern "C" {
extern const uint32_t arm940_program_length;
extern const uint8_t arm940_program[];
}
