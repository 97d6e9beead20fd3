// Deterministic white noise for the game's synthesised sounds: the same value for the same
// sample index and seed on every machine.
#pragma once

#include <cstdint>

namespace k2audio {

// Noise in -1..1 for sample n of the stream `seed`.
inline double Noise(uint32_t n, uint32_t seed) {
  uint32_t h = n * 0x9E3779B1u ^ seed * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return (h >> 8) / 8388608.0 - 1.0;
}

}  // namespace k2audio
