// The one clock of the host layer. Real: steady time since the layer started. Virtual:
// time stands still until the program's main thread sleeps or spins on a hardware
// register; other threads that sleep or block on a device wait for it to get there.
// That keeps a headless run deterministic and lets it go faster than real time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace gp2x::host {

constexpr uint64_t kNsPerSecond = 1000000000ull;

class Clock {
 public:
  // Starts again at time 0. Only when no other thread uses the clock. When the main thread
  // of a virtual clock keeps time still for stall_ms of real time while another thread
  // waits, it is blocked outside the seam (joining that very thread, say): the waiting
  // thread then moves time itself, as real time would flow, so the program cannot hang.
  void reset(bool is_virtual, uint32_t stall_ms = 1000);

  bool is_virtual() const { return virtual_; }
  uint64_t now_ns() const;

  // Virtual time moves forward (the main thread's sleeps and polls, tests). Real: nothing.
  void advance(uint64_t ns);
  // Virtual: moves time to t when it is behind.
  void advance_to(uint64_t t);

  // The calling thread waits until time t: the main thread of a virtual clock takes time
  // there itself, any other thread waits for it. Returns early once cancelled() is true
  // (checked whenever wake_all() is called, and a few times a second).
  void wait_until(uint64_t t, const std::function<bool()>& cancelled = nullptr);
  // Wakes every waiting thread to check its cancel condition.
  void wake_all();

  // True on the thread that drives virtual time: the program's main thread.
  static bool on_main_thread();

 private:
  bool virtual_ = true;
  std::atomic<uint64_t> virtual_ns_{0};
  std::atomic<int> waiters_{0};
  uint64_t real_start_ns_ = 0;
  uint32_t stall_ms_ = 1000;
  std::mutex mutex_;
  std::condition_variable changed_;
};

// Whole counts of a rate (per second) in ns nanoseconds, without overflow.
uint64_t counts_in(uint64_t ns, uint64_t rate);
// The first time (ns) at which `counts` counts of the rate have passed.
uint64_t ns_for_counts(uint64_t counts, uint64_t rate);

}  // namespace gp2x::host
