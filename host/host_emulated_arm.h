// The second core's CPU on a PC: an emulated ARM core (libunicorn's ARM946, the nearest
// model to the ARM940T, with a protection unit) that runs the bytes in the second core's own
// memory, from address 0, directly over that memory (mapped in, never copied: what the main
// program writes into it the core reads at once, and the other way round).
//
// The program marks the boundary between two of its passes by calling its pass-end routine
// at kPassEndAddress with r0 = 1 when the pass before did work (its start-up counts as one),
// 0 after an idle pass and 2 once it has ended; run_pass stops there, which is what lets
// the host run the core pass by pass. Its start-up's writes
// to the coprocessor (protection unit, caches, control register) are accepted.
//
// A fault stops the core for good: an access outside its memory, an undefined instruction,
// a write into its first 4 KB (its vectors and start-up code), or an exception of any kind
// (the program takes none). fault() then names what happened and where.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct uc_struct;

namespace gp2x::host {

constexpr uint32_t kPassEndAddress = 0x20;

class EmulatedArm {
 public:
  enum class Pass { kWorked, kIdle, kEnded, kFault };

  EmulatedArm() = default;
  ~EmulatedArm();
  EmulatedArm(const EmulatedArm&) = delete;
  EmulatedArm& operator=(const EmulatedArm&) = delete;

  // A core over `size` bytes at `memory` (both 4 KB multiples), reset: its next instruction
  // is the one at address 0. False, with the reason in fault(), when the emulator cannot
  // make one.
  bool open(uint8_t* memory, uint32_t size);
  // Runs until the program's next pass end or a fault. A pass still running after
  // `limit_us` microseconds (0: no limit), or when abandon() is called, stops the core for
  // good as a fault: the emulator cannot stop a core at any moment and let it go on
  // exactly (it may carry out part of a block of instructions that it then runs again), so
  // a core is only ever resumed at a pass end. kFault and kEnded stay the answer from then on.
  Pass run_pass(uint64_t limit_us = 0);
  // From any thread: the pass running now (or the next one) stops, and the core with it.
  void abandon();
  const std::string& fault() const { return fault_; }

  // Instructions executed, counted only after count_instructions(true) (it slows the core),
  // every one from then on: the instruction at the pass end, which the host carries out for
  // the core, is not. Call it between passes.
  void count_instructions(bool on);
  uint64_t instructions() const { return instructions_; }
  // The emulator itself, for tests that read its registers.
  uc_struct* engine() const { return uc_; }

 private:
  void stop_with(std::string what);

  uc_struct* uc_ = nullptr;
  uint32_t pc_ = 0;
  bool over_ = false;  // faulted or ended
  Pass last_ = Pass::kIdle;
  std::string fault_;
  uint64_t instructions_ = 0;
  size_t count_hook_ = 0;
  bool counting_ = false;
  // Filled by the hooks while a pass runs.
  std::string pending_fault_;

  // Stops a pass that runs out of time or is abandoned (the emulator's own timeout starts
  // a thread for every run, which costs more than a short pass).
  void watch();
  std::thread watchdog_;
  std::mutex watch_mutex_;
  std::condition_variable watch_changed_;
  bool watching_ = false, watch_quit_ = false, abandoned_ = false, timed_out_ = false;
  uint64_t limit_us_ = 0;
  bool watch_armed_ = false;  // the watchdog sleeps towards watch_armed_until_, not for a pass
  std::chrono::steady_clock::time_point watch_armed_until_;
  uint64_t watch_generation_ = 0;
  std::chrono::steady_clock::time_point deadline_;

  friend struct EmulatedArmHooks;
};

}  // namespace gp2x::host
