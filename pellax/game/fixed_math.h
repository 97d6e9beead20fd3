// Conversions between the game's floats and its fixed-point integers.
#pragma once

#include <cmath>
#include <cstdint>

// (int)(v + 0.5) as the game rounds (towards zero after the half is added), but defined
// for every input: NaN gives 0 and values beyond +-2^30 are held there.
inline int32_t round_to_int(float v) {
  if (!(v == v)) return 0;
  const float r = v + 0.5f;
  if (r >= 1073741824.0f) return 1073741824;
  if (r <= -1073741824.0f) return -1073741824;
  return int32_t(r);
}

inline int32_t round_to_int(double v) {
  if (!(v == v)) return 0;
  const double r = v + 0.5;
  if (r >= 1073741824.0) return 1073741824;
  if (r <= -1073741824.0) return -1073741824;
  return int32_t(r);
}
