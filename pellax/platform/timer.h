// Time from the free-running 7,372,800 Hz hardware timer, in tenths of a millisecond,
// with two independent marks; the vertical blank; sleeping.
#pragma once

#include <cstdint>

extern uint32_t timer_start_a;
extern uint32_t timer_start_b;

void timer_mark();
void timer_mark_b();
// Tenths of a millisecond since the matching mark.
uint32_t timer_elapsed();
uint32_t timer_elapsed_b();
uint32_t timer_read_elapsed();
// The raw count (0 while the register window is closed).
uint32_t timer_raw();
// Tenths of a millisecond from count `mark` to count `now`: rounded to nearest, 0 when
// they are equal, and across the counter's wrap when now is below mark.
uint32_t timer_units_between(uint32_t mark, uint32_t now);

// Spins until the vertical blank.
void wait_vsync();
// 1 during the vertical blank, else 0.
int32_t in_vblank();
void sleep_us(uint32_t microseconds);
