// Controls of the host layer for tests, tools and the second core's emulation. Programs
// themselves use only the seam (gp2x_seam.h); nothing here exists on the console.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gp2x::host {

struct Settings;

// Starts the layer again with these settings: clock at 0, devices closed, buttons released,
// registers at their power-on values. Only while no other thread uses the layer.
void configure(const Settings& settings);
const Settings& settings();

// The clock (nanoseconds since the start). Advancing is for a virtual clock.
uint64_t now_ns();
void advance_ns(uint64_t ns);
// Sets the hardware timer (register 0x0A00) to this count now; it runs on from there.
void set_timer(uint32_t count);
// Threads other than the main one that wait on the virtual clock now (a test can let a
// thread it started get there before it moves time).
int waiting_threads();

// Buttons held (gp2x_buttons.h bits), in addition to any script.
void set_buttons(uint32_t pressed);
// "/dev/batt" reading.
void set_battery(uint16_t reading);

// The framebuffers: memory, physical address, and the one on the screen now.
uint8_t* framebuffer(int index);
uint32_t framebuffer_phys(int index);
int shown_framebuffer();
// The screen as 320x240 RGB bytes.
std::vector<uint8_t> screen_rgb();

// The second core: its memory (0xF80000 bytes, also what "/dev/mem" maps at 0x3000000) and
// the control writes the main core made (clock enables 0x0904, 0x3B40-0x3B48).
uint8_t* second_core_memory();
struct RegisterWrite {
  uint32_t offset;
  uint16_t value;
  uint64_t ns;
};
std::vector<RegisterWrite> second_core_writes();
// Called (on the writing thread) after each such write; empty to remove.
using RegisterObserver = std::function<void(uint32_t offset, uint16_t value)>;
void set_second_core_observer(RegisterObserver observer);

// True when what "/dev/dsp" receives goes to the PC's sound card (asked for, and there is
// one).
bool sound_card();

// With Settings::audio "capture": what "/dev/dsp" received since the last call (times it
// ran dry as silence), in the format last set.
struct CapturedAudio {
  uint32_t rate = 0;
  int bits = 0;
  int channels = 0;
  std::vector<uint8_t> bytes;
};
CapturedAudio take_captured_audio();

// The last directory change the layer kept from the real file system ("/usr/gp2x").
std::string recorded_chdir();

}  // namespace gp2x::host
