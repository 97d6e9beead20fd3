// The pixel shaders that come with the engine, for Z2DSurface::BltPixelShader. Each takes
// the destination and source pixels as 0x00RRGGBB values, the pixel's position in the
// blitted rectangle and the caller's value, and returns the new destination pixel.
#pragma once

#include <cstdint>

// dst AND src, dst OR src, dst XOR src (XOR twice with the same source restores dst).
uint32_t ZPShader_AND(uint32_t dst, uint32_t src, uint32_t x, uint32_t y, int32_t user);
uint32_t ZPShader_OR(uint32_t dst, uint32_t src, uint32_t x, uint32_t y, int32_t user);
uint32_t ZPShader_XOR(uint32_t dst, uint32_t src, uint32_t x, uint32_t y, int32_t user);
// The source in grey: the mean of its three channels (rounded down) in each of them; dst
// is ignored.
uint32_t ZPShader_Grayscale(uint32_t dst, uint32_t src, uint32_t x, uint32_t y, int32_t user);
