// Little-endian numbers appended to a byte vector, for the file writers of the game's data.
#pragma once

#include <cstdint>
#include <vector>

namespace k2data {

// The low `bytes` bytes of v, least significant first.
inline void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace k2data
