// Conversions between the game's floats and its fixed-point integers.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

// (int)(v + 0.5) as the game rounds (towards zero after the half is added), but defined
// for every input: NaN gives 0 and values beyond +-2^30 are held there.
// The arithmetic stays in the argument's own type (float or double).
template <class Real, class = std::enable_if_t<std::is_floating_point_v<Real>>>
inline int32_t round_to_int(Real v) {
  if (!(v == v)) return 0;
  const Real r = v + Real(0.5);
  if (r >= Real(1073741824)) return 1073741824;
  if (r <= Real(-1073741824)) return -1073741824;
  return int32_t(r);
}

// A wide result held at the 32-bit range. Coordinates that far out are off every canvas
// and outside the arena, so holding them there keeps their side without wrapping round.
inline int32_t clamp_int32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}
