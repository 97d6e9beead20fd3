// The one clock of the host layer. Real: steady time since the layer started. Virtual:
// time stands still until the program's main thread sleeps or spins on a hardware
// register; other threads that sleep or block on a device wait for it to get there.
//
// Virtual time moves in lock-step with those other threads: the main thread never takes
// time past the moment a waiting thread is due before that thread has run and waits again
// (or has ended). So a sound writer sees the device at exactly the time it is due, whatever
// the machine's load, and a headless run, its pictures and its recorded sound, come out the
// same every time. That keeps a headless run deterministic and lets it go faster than real
// time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace gp2x::host {

constexpr uint64_t kNsPerSecond = 1000000000ull;

struct ClockSync;  // the waiting threads' rendezvous (host_clock.cpp)

class Clock {
 public:
  Clock();
  ~Clock();

  // Starts again at time 0. Only when no other thread uses the clock.
  //
  // While another thread waits, a main thread of a virtual clock that sleeps outside the
  // seam (joining that very thread, say) would keep time still for good: the waiting
  // thread then moves time itself, as real time would flow, so the program cannot hang.
  // stall_ms bounds what one thread waits for another in real time: the waiting thread
  // moves time after it whatever the main thread does, and when a thread that time woke
  // does not wait again within it, the main thread looks at it: one still at work, or
  // waiting for a processor, is waited for as long as it takes; one blocked on something
  // else is gone on without.
  void reset(bool is_virtual, uint32_t stall_ms = 1000);

  bool is_virtual() const { return virtual_; }
  uint64_t now_ns() const;

  // Virtual time moves forward (the main thread's sleeps and polls, tests). Real: nothing.
  void advance(uint64_t ns);
  // Virtual: moves time to t when it is behind.
  void advance_to(uint64_t t);
  // Real: the calling thread gives the processor up for ns (a spin on a register yields).
  // Virtual: nothing, so a yield never moves the program's time.
  void yield_real(uint64_t ns);

  // The calling thread waits until time t: the main thread of a virtual clock takes time
  // there itself, any other thread waits for it. Returns early once cancelled() is true
  // (checked whenever wake_all() is called, and a few times a second).
  void wait_until(uint64_t t, const std::function<bool()>& cancelled = nullptr);
  // A thread other than the main one spins on a register: it waits for time as surely as
  // a sleeping thread does, so the main thread does not wait for it to sleep again.
  void polled();
  // A device was opened that a thread of the program's own is to serve: a sound driver
  // opens "/dev/dsp", then starts its writer. That thread joins the lock-step only at its
  // first wait or device write, and time that moved before would drain the device with
  // nothing written. So until a thread arrives (one other than the main thread waits for
  // the first time, or any thread calls arrived()), the main thread's time stands still:
  // its advance waits for the arrival while a thread started since this call (or the
  // calling thread, when neither the main one nor in the lock-step yet) runs. After
  // stall_ms of real time nobody is expected any more, unless one of those threads is at
  // work or waits for a processor: that one may still come, and is waited for.
  void expect_thread();
  // The calling thread uses the device: the thread expected is here. One other than the
  // main thread takes part in the lock-step from now on, as a thread that time woke does,
  // so time does not run ahead of the writes it makes before its first wait.
  void arrived();
  // Virtual: the emulated second core runs its passes for the calling thread (in lock-step
  // with the sound device), which takes what real time it takes: while held, time waits for
  // the thread however long that is, rather than giving up on it. One hold(false) per
  // hold(true).
  void hold(bool on);
  // Nobody is expected any more (the device closed).
  void expect_nobody();
  // Wakes every waiting thread to check its cancel condition.
  void wake_all();
  // How many threads wait in wait_until now (the main thread never does).
  int waiting_threads() const;

  // True on the thread that drives virtual time: the program's main thread.
  static bool on_main_thread();

 private:
  // Sets virtual time to t when it is behind and wakes the waiting threads.
  void move_to(uint64_t t);
  void wait_virtual(uint64_t t, const std::function<bool()>& cancelled);
  // True when a thread that time woke and that has not waited again is at work or waits
  // for a processor. Unlocks `lock` (s's mutex) while it looks.
  static bool runner_at_work(ClockSync& s, std::unique_lock<std::mutex>& lock);

  bool virtual_ = true;
  std::atomic<uint64_t> virtual_ns_{0};
  std::atomic<bool> main_in_step_{false};  // the main thread waits for woken threads
  uint64_t real_start_ns_ = 0;
  uint32_t stall_ms_ = 1000;
  std::shared_ptr<ClockSync> sync_;
};

// Whole counts of a rate (per second) in ns nanoseconds, without overflow.
uint64_t counts_in(uint64_t ns, uint64_t rate);
// The first time (ns) at which `counts` counts of the rate have passed.
uint64_t ns_for_counts(uint64_t counts, uint64_t rate);

}  // namespace gp2x::host
