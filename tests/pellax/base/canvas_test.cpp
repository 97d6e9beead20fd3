#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "pellax/base/canvas.h"

namespace {

uint32_t pair(uint16_t first, uint16_t second) { return uint32_t(first) | uint32_t(second) << 16; }

// The two-pixel add against the one-pixel add: fields at and around their limits (where a
// carry could leak into the next field or the next pixel), then random words.
TEST(CanvasTest, PairAddEqualsTwoPixelAdds) {
  const uint16_t edges[] = {0x0000, 0x0001, 0x001F, 0x0010, 0x0020, 0x07E0, 0x0400, 0x0800,
                            0xF800, 0x8000, 0xFFFF, 0x8410, 0x7BEF, 0x841F, 0xF81F, 0x07FF};
  for (uint16_t a0 : edges)
    for (uint16_t a1 : edges)
      for (uint16_t b0 : edges)
        for (uint16_t b1 : edges) {
          const uint32_t got = add_saturate_pair(pair(a0, a1), pair(b0, b1));
          ASSERT_EQ(got, pair(add_saturate(a0, b0), add_saturate(a1, b1)))
              << std::hex << a0 << " " << a1 << " + " << b0 << " " << b1;
        }
  std::mt19937 rng(5);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t a = rng(), b = rng();
    ASSERT_EQ(add_saturate_pair(a, b),
              pair(add_saturate(uint16_t(a), uint16_t(b)), add_saturate(uint16_t(a >> 16), uint16_t(b >> 16))))
        << std::hex << a << " + " << b;
  }
}

}  // namespace
