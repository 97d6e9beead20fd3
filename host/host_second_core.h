// The second core on a PC. When the game releases the core (register 0x3B48 bit 7 cleared
// with bank 3 in its low bits, and the clock, 0x0904 bit 0, on), the bytes the game copied
// to the core's address 0 run on an emulated ARM core (host_emulated_arm.h) over the
// second core's memory. A fault of the core stops it with a message on stderr naming the
// address; from then on the sound device plays silence in place of what it is given, and
// everything else goes on.
//
// Asserting reset stops the core and forgets it, clearing the clock parks it; both writes
// return only once it has stopped or parked (between two passes of its program). Releasing
// it after a reset starts it afresh at address 0; turning the clock on again resumes it.
//
// With a real clock the core runs freely on a thread of its own; after an idle pass it
// sleeps until the sound device is written or the program completes a frame (its commands
// come then), or for Settings::core_idle_ms at most. With a virtual clock a core's speed
// cannot be known, so it runs in lock-step with the sound device instead: whenever
// "/dev/dsp" is written, the writer first waits until the core has run passes up to one
// that did nothing. What the core mixes then depends only on the order of the program's own
// actions, and a headless run sounds the same every time.
//
// In step mode (tests) no thread runs: second_core_step runs the passes on the caller's
// thread, one at a time.
#pragma once

#include <cstdint>

namespace gp2x::host {

// Step mode on or off; the layer starts (and configure starts it again) with it off.
void set_second_core_stepping(bool on);
// True while the core runs or can be stepped (released, clock on, not faulted or ended).
bool second_core_running();
// True once the core has faulted (until it is reset).
bool second_core_faulted();
// Step mode: one pass of the program on the calling thread; true when it did work, false
// for an idle pass or when no core is running.
bool second_core_step();
// Step mode: passes until one does nothing, at most `limit`; returns the passes made.
int second_core_step_until_idle(int limit = 100000);

// The layer's own hooks: a write to 0x0904 or 0x3B40-0x3B48 with the two registers' values
// after it; a write to the sound device about to happen (false when the core has faulted:
// the device then plays silence); a frame the program completed; the power going off
// (configure).
void second_core_control(uint16_t reset_register, uint16_t clock_register);
bool second_core_catch_up();
void second_core_nudge();
void second_core_power_off();

}  // namespace gp2x::host
