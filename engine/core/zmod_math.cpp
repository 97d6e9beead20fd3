#include "engine/core/zmod_math.h"

#include <new>

namespace {
enum : uint32_t { TABLE_SIZE = 5120, QUARTER = 1024, ANGLE_MASK = 0xFFF };
constexpr int32_t kSaturated = 0x7FFFFFFF;
}  // namespace

ClassZMath::~ClassZMath() { delete[] sintable_; }

void ClassZMath::Init() {
  delete[] sintable_;
  sintable_ = new (std::nothrow) int32_t[TABLE_SIZE];
  costable_ = nullptr;
  if (sintable_ == nullptr) return;
  // One period from the rising quarter, its mirror and both negated; then the first
  // quarter once more so that Cos reads up to entry 1024 + 4095 without wrapping.
  for (uint32_t i = 0; i < QUARTER; i++) {
    sintable_[i] = zmathtable[i];
    sintable_[QUARTER + i] = zmathtable[QUARTER - 1 - i];
    sintable_[4 * QUARTER + i] = zmathtable[i];
  }
  for (uint32_t j = 0; j < 2 * QUARTER; j++) sintable_[2 * QUARTER + j] = -sintable_[j];
  costable_ = sintable_ + QUARTER;
}

int32_t ClassZMath::Sin(uint32_t angle) const {
  return sintable_ != nullptr ? sintable_[angle & ANGLE_MASK] : 0;
}

int32_t ClassZMath::Cos(uint32_t angle) const {
  return costable_ != nullptr ? costable_[angle & ANGLE_MASK] : 0;
}

int32_t ClassZMath::IntSqrt(int32_t x) {
  if (x <= 0) return 0;
  // The square in 64 bits: a 32-bit one overflows for roots above 46340 and turned every
  // input above 2^30 into 65535.
  int64_t r = 32768, step = 32768;
  while (step != 0) {
    int64_t square = r * r;
    if (x < square) r = r - step + step / 2;
    else if (x > square) r = r + step / 2;
    step /= 2;
  }
  return static_cast<int32_t>(r);
}

int32_t ClassZMath::FloatToFixed(uint32_t bits, int fractionbits) {
  bool negative = (bits >> 31) != 0;
  int32_t exponent = static_cast<int32_t>((bits >> 23) & 0xFF);
  uint32_t mantissa = bits & 0x7FFFFF;
  int32_t saturated = negative ? -kSaturated : kSaturated;
  if (exponent == 255) return mantissa != 0 ? 0 : saturated;
  int32_t shift = exponent + fractionbits - 150;
  if (shift < -31) return 0;
  if (shift > 31) return saturated;
  uint64_t magnitude = mantissa | 0x800000u;
  if (shift > 0) magnitude <<= shift;
  else if (shift < 0) magnitude >>= -shift;
  // Saturate on any overflow, not only for huge shifts: dropping the high bits would
  // turn a large value into a small or zero one.
  if (magnitude > static_cast<uint64_t>(kSaturated)) return saturated;
  int32_t value = static_cast<int32_t>(magnitude);
  return negative ? -value : value;
}

uint32_t ClassZMath::FixedToFloat(int32_t value, int fractionbits) {
  if (value == 0) return 0;  // +0.0: there is no highest bit to normalise on
  uint32_t sign = value < 0 ? 0x80000000u : 0;
  uint32_t a = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  int p = 31 - __builtin_clz(a);
  int exponent = p - fractionbits;
  int d = p - 23;
  uint32_t mantissa = d < 0 ? a << -d : a >> d;
  return sign | (static_cast<uint32_t>(exponent + 127) << 23) | (mantissa - 0x800000u);
}
