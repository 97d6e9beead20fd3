#include "pellax/base/sine_fixed.h"

#include <cmath>
#include <cstring>

#include "pellax/base/fixed_math.h"

namespace {

// Worked out in 2.30 fixed point: the angle reduced to [-pi/4, pi/4] about the nearest
// multiple of pi/2, then Taylor series to the 9th and 10th powers. Everything together is
// off by under 1e-8 (the series' next terms 2.2e-9 and 1.4e-10, the multiplies' truncations
// about 1e-9 each, pi/2's rounding under 1e-9 below the angles taken); a result within 2^-12
// of a rounding boundary (of the value times 256) is worked out in double instead, which
// keeps the result exactly the double one's.
constexpr int32_t kOne = 1 << 30;
constexpr int64_t kHalfPi40 = 1727108826179;  // pi/2 as 24.40
constexpr int32_t kTwoOverPi20 = 667544;      // 2/pi as 12.20
constexpr int32_t kNear = 1 << 10;            // 2^-12 of the 8.8 value, as 10.22

int32_t mul30(int32_t a, int32_t b) { return int32_t((int64_t(a) * b) >> 30); }

// round_to_int of a 2.30 value times 256, or false when it lies too near a boundary.
bool round_8_8(int32_t v, int32_t* out) {
  const int32_t u = v + (1 << 21);  // plus one half, 10.22
  const int32_t fraction = u & ((1 << 22) - 1);
  if (fraction < kNear || fraction > (1 << 22) - kNear) return false;
  *out = u >= 0 ? u >> 22 : -((-u) >> 22);  // towards zero, as round_to_int
  return true;
}

bool fast(float angle, int32_t* sine, int32_t* cosine) {
  uint32_t bits;
  std::memcpy(&bits, &angle, sizeof bits);
  const int32_t exponent = int32_t(bits >> 23) & 255;
  if (exponent >= 127 + 10) return false;  // 1024 and over, infinities and NaN
  // The angle as 24.40 (exactly down to 2^-40).
  const int64_t mantissa = int64_t(bits & 0x7FFFFFu) | (exponent ? 0x800000 : 0);
  const int32_t shift = exponent - 110 + (exponent ? 0 : 1);
  int64_t a = shift >= 0 ? mantissa << shift : shift > -63 ? mantissa >> -shift : 0;
  if (bits >> 31) a = -a;
  // The nearest quarter turn, estimated (off by one at most, near an octant's edge).
  const int64_t quarters = int64_t(int32_t(a >> 20)) * kTwoOverPi20;
  const int32_t k = int32_t((quarters + (int64_t(1) << 39)) >> 40);
  const int32_t r = int32_t((a - int64_t(k) * kHalfPi40) >> 10);
  if (r > 858993459 || r < -858993459) return false;  // beyond 0.8: not expected
  const int32_t r2 = mul30(r, r);
  int32_t p = 2959;  // 1/9!
  p = -213044 + mul30(r2, p);
  p = 8947849 + mul30(r2, p);
  p = -178956971 + mul30(r2, p);
  const int32_t s = r + mul30(mul30(r2, p), r);
  int32_t q = -296;  // -1/10!
  q = 26631 + mul30(r2, q);
  q = -1491308 + mul30(r2, q);
  q = 44739243 + mul30(r2, q);
  q = -536870912 + mul30(r2, q);
  const int32_t c = kOne + mul30(r2, q);
  int32_t sin_v = s, cos_v = c;
  switch (k & 3) {
    case 1: sin_v = c, cos_v = -s; break;
    case 2: sin_v = -s, cos_v = -c; break;
    case 3: sin_v = -c, cos_v = s; break;
    default: break;
  }
  return round_8_8(sin_v, sine) && round_8_8(cos_v, cosine);
}

}  // namespace

void sine_cosine_fixed(float angle, int32_t* sine, int32_t* cosine) {
  if (fast(angle, sine, cosine)) return;
  *sine = round_to_int(std::sin(double(angle)) * 256.0);
  *cosine = round_to_int(std::cos(double(angle)) * 256.0);
}
