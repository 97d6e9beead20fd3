#include "engine/core/zmod_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

TEST(Math, SineAndCosineTable) {
  ClassZMath m;
  EXPECT_EQ(m.Sin(1024), 0);  // no table yet
  EXPECT_EQ(m.Cos(0), 0);
  m.Init();
  const struct {
    uint32_t angle;
    int32_t sin;
  } cases[] = {{0, 0},         {1, 100},        {2, 200},     {3, 301},    {1022, 65535},
               {1023, 65536},  {1024, 65536},   {1025, 65535}, {2047, 0},   {2048, 0},
               {2049, -100},   {3071, -65536},  {3072, -65536}, {4095, 0}};
  for (const auto& c : cases) EXPECT_EQ(m.Sin(c.angle), c.sin) << c.angle;
  EXPECT_EQ(m.Cos(0), 65536);
  EXPECT_EQ(m.Cos(4095), 65536);
  EXPECT_EQ(m.Cos(1024), 0);
  for (uint32_t k = 0; k < 4096; k += 37) {
    EXPECT_EQ(m.Sin(4096 + k), m.Sin(k));
    EXPECT_EQ(m.Cos(k), m.Sin((k + 1024) & 0xFFF)) << k;
  }
  m.Init();  // rebuilding replaces the table
  EXPECT_EQ(m.Sin(1), 100);
}

// The whole table against its rule: the first quarter trunc(65536 sin(i x 3.14 / 2048))
// with the last entry 65536, mirrored for the second and negated for the second half.
TEST(Math, EverySineAndCosineFollowsTheTableRule) {
  auto quarter = [](uint32_t i) {
    return i == 1023 ? 65536 : int32_t(std::trunc(65536.0 * std::sin(i * 3.14 / 2048.0)));
  };
  for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(zmathtable[i], quarter(i)) << i;
  ClassZMath m;
  m.Init();
  for (uint32_t k = 0; k < 4096; ++k) {
    const uint32_t q = k & 2047;
    const int32_t half = q < 1024 ? quarter(q) : quarter(2047 - q);
    ASSERT_EQ(m.Sin(k), k < 2048 ? half : -half) << k;
    ASSERT_EQ(m.Cos(k), m.Sin((k + 1024) & 0xFFF)) << k;
  }
}

TEST(Math, IntSqrtIsTheFloorForEveryPositiveInput) {
  const struct {
    int32_t x, root;
  } cases[] = {{0, 0},           {-5, 0},           {1, 1},         {15, 3},   {16, 4},
               {1 << 30, 32768}, {(1 << 30) + 1, 32768}, {2147395600, 46340},
               {2147395599, 46339}, {std::numeric_limits<int32_t>::max(), 46340}};
  for (const auto& c : cases) EXPECT_EQ(ClassZMath::IntSqrt(c.x), c.root) << c.x;
  for (int64_t x = 1; x <= std::numeric_limits<int32_t>::max(); x += 999983) {
    int64_t r = ClassZMath::IntSqrt(static_cast<int32_t>(x));
    ASSERT_LE(r * r, x);
    ASSERT_GT((r + 1) * (r + 1), x);
  }
}

TEST(Math, FloatToFixed) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    uint32_t bits;
    int f;
    int32_t want;
  } cases[] = {
      {Bits(1.5f), 8, 384},
      {Bits(-2.0f), 16, -131072},
      {Bits(0.0f), 8, 0},
      {Bits(-0.75f), 0, 0},             // truncation toward zero
      {Bits(-1.75f), 0, -1},
      {Bits(123.5f), 1, 247},
      {Bits(inf), 8, 0x7FFFFFFF},
      {Bits(-inf), 8, -0x7FFFFFFF},
      {0x7FC00000u, 8, 0},              // NaN
      {Bits(16777216.0f), 16, 0x7FFFFFFF},  // overflows 32 bits: saturates, not 0
      {Bits(-40000.0f), 16, -0x7FFFFFFF},
      {Bits(32767.0f), 16, 32767 << 16},
      {Bits(1e-12f), 16, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassZMath::FloatToFixed(c.bits, c.f), c.want) << std::hex << c.bits << " f" << c.f;
}

TEST(Math, FixedToFloat) {
  const struct {
    int32_t value;
    int f;
    float want;
  } cases[] = {{0, 16, 0.0f},      {384, 8, 1.5f},          {-131072, 16, -2.0f},
               {1, 0, 1.0f},       {-1, 0, -1.0f},           {65536, 16, 1.0f},
               {std::numeric_limits<int32_t>::min(), 0, -2147483648.0f},
               {0x7FFFFFFF, 0, 2147483520.0f}};  // truncated to 24 bits
  for (const auto& c : cases)
    EXPECT_EQ(ClassZMath::FixedToFloat(c.value, c.f), Bits(c.want)) << c.value;
  // +0.0, not -0.0 or garbage
  EXPECT_EQ(ClassZMath::FixedToFloat(0, 0), 0u);
  for (int32_t v = -100000; v <= 100000; v += 77)
    EXPECT_EQ(ClassZMath::FloatToFixed(ClassZMath::FixedToFloat(v, 8), 8), v);
}

}  // namespace
