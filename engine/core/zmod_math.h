// Fixed-point math without floating-point hardware: a 16.16 sine table with 4096 steps a
// turn (only the low 12 bits of an angle count), an integer square root, and conversions
// between IEEE single bit patterns and fixed point.
#pragma once

#include <cstdint>

// First quarter of a sine in 16.16: entry i = trunc(65536 * sin(i * 3.14 / 2048)) for
// i < 1023, entry 1023 = 65536.
extern const int32_t zmathtable[1024];

class ClassZMath {
 public:
  ClassZMath() = default;
  ~ClassZMath();
  ClassZMath(const ClassZMath&) = delete;
  ClassZMath& operator=(const ClassZMath&) = delete;

  // (Re)builds the 5120-entry table; on allocation failure there is no table.
  void Init();
  // 16.16 sine and cosine of angle & 0xFFF; 0 when there is no table.
  int32_t Sin(uint32_t angle) const;
  int32_t Cos(uint32_t angle) const;

  // floor(sqrt(x)) for x > 0, else 0.
  static int32_t IntSqrt(int32_t x);
  // Fixed point with fractionbits fraction bits from a single's bit pattern; truncates
  // toward zero, saturates to +-0x7FFFFFFF, NaN gives 0.
  static int32_t FloatToFixed(uint32_t bits, int fractionbits);
  // The single's bit pattern of a fixed-point value (0 gives +0.0).
  static uint32_t FixedToFloat(int32_t value, int fractionbits);

 private:
  int32_t* sintable_ = nullptr;
  int32_t* costable_ = nullptr;  // sintable_ + 1024
};
