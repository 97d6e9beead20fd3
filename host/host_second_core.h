// The second core on a PC. Its program is linked into the host binary and installed here
// under the image the game uploads to the second core's address 0 (on the console that
// image is the program itself; on a PC it is a header naming the program: see the
// program's own image file). When the game releases the core (register 0x3B48 bit 7
// cleared with bank 3 in its low bits, and the clock, 0x0904 bit 0, on), the image at
// address 0 is checked: a program installed under it runs on a host thread of its own,
// one pass after another, over the second core's memory; a missing or unknown image runs
// nothing, as garbage would, and says so on stderr.
//
// Asserting reset stops the program at a pass boundary and joins its thread, clearing the
// clock parks it there; both writes return only once it has stopped or parked. Releasing
// it again after a reset enters the program afresh; turning the clock on again resumes it.
//
// With a real clock the thread runs freely (a pass that did nothing sleeps a millisecond).
// With a virtual clock a program's speed cannot be known, so the core runs in lock-step
// with the sound device instead: whenever "/dev/dsp" is written, the writer first waits
// until the core has run passes up to one that did nothing. What the core mixes then
// depends only on the order of the program's own actions, and a headless run sounds the
// same every time.
//
// In step mode (tests) no thread runs: a release enters the program on the releasing
// thread, and second_core_step runs its passes there one at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gp2x::host {

struct SecondCoreProgram {
  std::string name;
  std::vector<uint8_t> image;  // what the uploaded image at address 0 must begin with
  // Enters the program over the second core's memory (its address 0).
  std::function<void(uint8_t* memory)> start;
  // One pass; true when it did anything.
  std::function<bool()> pass;
  // True once the program has ended by itself.
  std::function<bool()> stopped;
};

// Installs a program (replacing one with the same image).
void install_second_core_program(SecondCoreProgram program);

// Step mode on or off; the layer starts (and configure starts it again) with it off.
void set_second_core_stepping(bool on);
// True while a program runs or can be stepped (released, clock on, image recognised).
bool second_core_running();
// Step mode: one pass of the program on the calling thread; false when no program is
// running.
bool second_core_step();
// Step mode: passes until one does nothing, at most `limit`; returns the passes made.
int second_core_step_until_idle(int limit = 100000);

// The layer's own hooks: a write to 0x0904 or 0x3B40-0x3B48 with the two registers' values
// after it; a write to the sound device about to happen; the power going off (configure).
void second_core_control(uint16_t reset_register, uint16_t clock_register);
void second_core_catch_up();
void second_core_power_off();

}  // namespace gp2x::host
