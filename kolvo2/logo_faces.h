// The engine logo mesh's colour table: the game paints faces 0-119 of "zoltlogo.3ds" red
// or white from it, and the game's data generator puts the mesh's red parts (the bolt and
// the rim) on the faces it paints red.
#pragma once

#include <cstdint>

constexpr uint32_t LOGO_FACES = 120;

// Whether the table paints face `face` (0-119) red; every other face is white.
inline bool LogoFaceIsRed(uint32_t face) {
  static constexpr uint8_t kRed[][2] = {{0, 1},   {4, 5},   {10, 11}, {22, 23},  {28, 33},
                                        {40, 41}, {44, 85}, {90, 91}, {96, 97},  {100, 103},
                                        {112, 115}};
  for (const auto& run : kRed)
    if (face >= run[0] && face <= run[1]) return true;
  return false;
}
