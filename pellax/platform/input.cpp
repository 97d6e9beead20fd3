#include "pellax/platform/input.h"

#include "pellax/platform/mmsp2_regs.h"
#include "pellax/platform/video.h"

uint32_t read_buttons() {
  if (!io_regs) return 0;
  const uint32_t c = mmsp2::read16(io_regs, mmsp2::kGpioC);
  const uint32_t d = mmsp2::read16(io_regs, mmsp2::kGpioD);
  return ~((c & 0xFF00) | (d << 16)) & 0x08C0FF00u;
}

int32_t stick_code_from_port(uint8_t port_m) {
  const uint32_t s = uint8_t(~port_m);
  auto has = [s](int bit) { return (s >> bit) & 1u; };
  // A diagonal contact pair wins over a single contact, in this order.
  if (has(0) && has(1)) return 2;
  if (has(0) && has(7)) return 16;
  if (has(0)) return 1;
  if (has(2) && has(1)) return 4;
  if (has(2) && has(3)) return 6;
  if (has(2)) return 5;
  if (has(4) && has(3)) return 8;
  if (has(4) && has(5)) return 10;
  if (has(4)) return 9;
  if (has(6) && has(7)) return 14;
  if (has(6) && has(5)) return 12;
  if (has(6)) return 13;
  if (has(1)) return 3;
  if (has(7)) return 15;
  if (has(3)) return 7;
  if (has(5)) return 11;
  return 0;
}

int32_t read_stick_direction() {
  if (!io_regs) return 0;
  return stick_code_from_port(uint8_t(mmsp2::read16(io_regs, mmsp2::kGpioM) & 0xFF));
}
