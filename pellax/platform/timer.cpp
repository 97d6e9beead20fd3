#include "pellax/platform/timer.h"

#include "pellax/platform/mmsp2_regs.h"
#include "pellax/platform/video.h"

uint32_t timer_start_a = 0;
uint32_t timer_start_b = 0;

uint32_t timer_raw() { return io_regs ? mmsp2::read32(io_regs, mmsp2::kTimerCount) : 0; }

uint32_t timer_units_between(uint32_t mark, uint32_t now) {
  if (now > mark) return (now - mark + 368) / 737;
  // Equal counts are no time at all; reading them as a full wrap (about 583 s) would end
  // every pacing wait at once.
  if (now == mark) return 0;
  return ((now >> 2) - (mark >> 2) + 0x40000000u) / 184;
}

void timer_mark() { timer_start_a = timer_raw(); }
void timer_mark_b() { timer_start_b = timer_raw(); }
uint32_t timer_elapsed() { return timer_units_between(timer_start_a, timer_raw()); }
uint32_t timer_elapsed_b() { return timer_units_between(timer_start_b, timer_raw()); }
uint32_t timer_read_elapsed() { return timer_elapsed(); }

int32_t in_vblank() {
  if (!io_regs) return 1;
  return ((mmsp2::read16(io_regs, mmsp2::kGpioB) >> 4) & 1) ^ 1;
}

void wait_vsync() {
  if (!io_regs) return;
  while (mmsp2::read16(io_regs, mmsp2::kGpioB) & 0x10) {
  }
}

void sleep_us(uint32_t microseconds) { gp2x::usleep(microseconds); }
