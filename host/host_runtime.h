// The state of the host layer, one per program, created from the environment on the first
// call into the seam (or by gp2x::host::configure in tests).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/gp2x_host.h"
#include "host/host_device.h"
#include "host/host_clock.h"
#include "host/host_framebuffer.h"
#include "host/host_input.h"
#include "host/host_settings.h"

namespace gp2x::host {

class Frontend;
class AudioSink;

class Runtime {
 public:
  explicit Runtime(const Settings& settings);
  ~Runtime();

  Settings settings;
  FbFormat fb_format;
  Clock clock;
  Input input;

  std::atomic<uint16_t> battery{1000};
  std::atomic<int64_t> timer_offset{0};     // timer count minus the clock's counts
  std::atomic<int> shown_fb{-1};             // latched by the display registers; -1: fb0
  std::atomic<int> blit_busy{0};             // reads of the 2D engine status still busy

  // Second-core control writes (0x0904 and 0x3B40-0x3B48), kept for tests and for the
  // second core's emulation.
  std::mutex control_mutex;
  std::vector<RegisterWrite> control_writes;
  RegisterObserver control_observer;

  std::mutex handover_mutex;
  std::string chdir_recorded;

  // The main thread after time moved: ends the run when due, takes due screenshots and
  // serves the window.
  void tick();
  // A read that programs spin on: costs a little virtual time on the main thread.
  void poll();
  // A frame is complete in the framebuffer shown (a flip or the per-frame screen query).
  void frame_done();
  int shown_framebuffer() const;

  // Sleeps of the program (all threads).
  void sleep_ns(uint64_t ns);

  // Ends the run: the audio is finished, the window closed, stdio flushed. Code 0 is a
  // clean end (run-end time, window closed, hand-over to another program).
  [[noreturn]] void end_run(int code);
  // Finishes the audio file and closes the window, as at the end of a run.
  void finish();
  // The screen as a PNG file.
  bool save_screenshot(const std::string& path, std::string* error);

  DeviceTable devices;
  std::atomic<bool> dsp_open{false};
  // Where "/dev/dsp" output goes (chosen by the settings at the start).
  AudioSink* audio_sink();
  bool sound_card() const { return sound_card_; }

 private:
  void take_due_shots(uint64_t now);
  void schedule_next_shot(uint64_t after_ns);
  std::unique_ptr<Frontend> frontend_;
  std::unique_ptr<AudioSink> sink_;
  bool sound_card_ = false;
  uint64_t next_shot_ns_ = UINT64_MAX;
  size_t next_shot_at_ = 0;
  std::atomic<bool> finished_{false};
};

Runtime& runtime();

// The request to quit (SIGINT, SIGTERM, the window closed): the program is to leave through
// its own quit path; one that has not ended Settings::quit_guard_ms (real time) after the
// first request is ended with a message and exit code 1. Starting the layer again clears it.
bool quit_requested();
void request_quit();
// From now on SIGINT and SIGTERM ask the program to quit. Taken when a program opens one of
// the console's devices (a console program) and by configure (tests); a tool that only
// reads and writes files keeps the system's own Ctrl+C.
void take_quit_signals();

// Prints a message about the host layer once per key (unknown registers, odd requests).
void log_once(const std::string& key, const std::string& message);
// Prints a message and ends the run with code 2 (bad settings, script or folder).
[[noreturn]] void fail(const std::string& message);

}  // namespace gp2x::host
