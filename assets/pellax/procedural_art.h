// Our own backdrop art for the shoot-em-up, drawn by code: nebulae, grids, planets and the
// wall blocks some levels collide with. Used by the game for its built-in pictures and
// by the generator of the ".lvl" picture files. Deterministic: the same call gives the
// same picture on every machine.
#pragma once

#include <cstdint>

namespace pellax_art {

constexpr int kPictureSize = 768;        // RGB565 pictures, 768 x 768
constexpr int kIntensitySize = 384;      // 4-bit pictures, 384 x 384 bytes of 0..15

// Built-in colour pictures 1..3 (P1, P2, P3); other numbers give black.
void built_in_picture(int which, uint16_t* out);
// Built-in intensity pictures 0 (A) and 1 (B).
void built_in_intensity(int which, uint8_t* out);

// Names of the ".lvl" picture files, without folder.
extern const char* const kLvlPictureNames[];
extern const int kLvlPictureCount;
// The picture of a ".lvl" file by name; false (and black) for a name not in the list.
bool lvl_picture(const char* name, uint16_t* out);

}  // namespace pellax_art
