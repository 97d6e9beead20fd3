// Picture files as the engine's loaders read them: BMP with the 40-byte information header,
// 24 bits, bottom-up rows; PNG with 8-bit samples, RGBA (colour type 6) or RGB (2).
#pragma once

#include <cstdint>
#include <vector>

#include "assets/kolvo2/canvas.h"

namespace k2art {

// The colour key of the game's keyed pictures, exactly magenta.
constexpr Colour kKey{1, 0, 1, 1};

// A BMP file of `rgb` (3 bytes a pixel, top row first).
std::vector<uint8_t> EncodeBmp(const std::vector<uint8_t>& rgb, int width, int height);
// The canvas as a BMP file, dithered for the console's screen or not.
std::vector<uint8_t> BmpOf(const Canvas& c, bool dither);
// The canvas as an RGBA PNG file (colour type 6), dithered or not.
std::vector<uint8_t> PngOf(const Canvas& c, bool dither);
// The canvas as an RGB PNG file (colour type 2), dithered or not.
std::vector<uint8_t> RgbPngOf(const Canvas& c, bool dither);

}  // namespace k2art
