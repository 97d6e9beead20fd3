// Reading little- and big-endian numbers from byte images, whatever their alignment.
#pragma once

#include <cstdint>

inline uint16_t qssLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t qssLe32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t qssBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
