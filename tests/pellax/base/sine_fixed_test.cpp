#include "pellax/base/sine_fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "pellax/base/fixed_math.h"

namespace {

void expect_as_double(float angle) {
  int32_t sine = 0, cosine = 0;
  sine_cosine_fixed(angle, &sine, &cosine);
  ASSERT_EQ(sine, round_to_int(std::sin(double(angle)) * 256.0)) << "sine of " << angle;
  ASSERT_EQ(cosine, round_to_int(std::cos(double(angle)) * 256.0)) << "cosine of " << angle;
}

float from_bits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Every 997th float of either sign below 2048 (past the fixed-point path's 1024), from the
// smallest subnormals up: 2.3 million angles.
TEST(SineFixed, EqualsTheDoubleResultForAFineSweepOfAngles) {
  for (uint32_t sign : {0u, 0x80000000u})
    for (uint32_t bits = 0; bits < 0x45000000u; bits += 997) expect_as_double(from_bits(sign | bits));
}

// Angles a result of which lies on or right beside a rounding boundary (sin x = k.5 / 256),
// and the values a turn goes through: the slow path gives them the same answer.
TEST(SineFixed, EqualsTheDoubleResultAtBoundariesAndSpecialValues) {
  for (int32_t k = -256; k < 256; ++k) {
    const float at = float(std::asin((k + 0.5) / 256.0));
    for (float a : {at, std::nextafter(at, 10.0f), std::nextafter(at, -10.0f), at + 3.14159265f,
                    at + 6.28318531f, 1.57079633f - at})
      expect_as_double(a);
  }
  const float inf = std::numeric_limits<float>::infinity();
  for (float a : {0.0f, -0.0f, 1.5707964f, 3.1415927f, -3.1415927f, 4.712389f, 6.2831855f,
                  1023.99994f, 1024.0f, -1024.0f, 1.0e6f, 1.0e30f, -1.0e30f,
                  std::numeric_limits<float>::denorm_min(), inf, -inf,
                  std::numeric_limits<float>::quiet_NaN()})
    expect_as_double(a);
}

}  // namespace
