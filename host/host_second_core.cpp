#include "host/host_second_core.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "host/host_emulated_arm.h"
#include "host/host_registers.h"
#include "host/host_runtime.h"

namespace gp2x::host {
namespace {

constexpr uint16_t kResetBit = 0x80, kBankMask = 3, kOurBank = 3, kClockBit = 1;
// A pass (one block mixed, one chunk decoded) takes milliseconds; one still running after
// this long is a program that lost its way, and the core is stopped for good rather than
// hanging the run. Generous, since an emulator emulated in turn (the ARM build's tests)
// runs the core a hundred times slower.
constexpr uint64_t kPassLimitMicroseconds = 60'000'000;
// Lock-step: a catch-up that never comes to an idle pass ends after this many passes, at a
// pass end, and the core goes on from there at the next one. Counted, not timed, so that a
// headless run comes out the same on a slow machine.
constexpr int kPassesPerCatchUp = 20'000;

using Pass = EmulatedArm::Pass;

// One release of the core: the emulated CPU and, unless stepped, its thread.
struct Run {
  EmulatedArm arm;
  bool lock_step = false;
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false, park = false, parked = false, ended = false, faulted = false;
  uint64_t asked = 0, done = 0;  // catch-ups asked for and served
  // On a real clock a core whose pass was idle sleeps until something may have given it
  // work: a write to the sound device (its writer hands back the block it took just
  // before), a frame the program completed (the frame's commands are in), or a park or
  // stop. A program that gives it work some other way is served after idle_look at most.
  uint64_t nudges = 0;
  std::chrono::milliseconds idle_look{0};  // 0: only when nudged
  std::thread thread;

  // Under the mutex.
  void nudge() {
    ++nudges;
    changed.notify_all();
  }

  // One pass; notes a fault or an end. Called without the mutex by whoever owns the core
  // at the time.
  Pass pass(uint64_t timeout_us) {
    const Pass p = arm.run_pass(timeout_us);
    if (p == Pass::kFault || p == Pass::kEnded) {
      std::lock_guard<std::mutex> lock(mutex);
      if (p == Pass::kFault && !faulted && !stop)
        std::fprintf(stderr, "gp2x host: the second core stopped on %s; the sound is silent from here on\n",
                     arm.fault().c_str());
      (p == Pass::kFault ? faulted : ended) = true;
      changed.notify_all();
    }
    return p;
  }

  // Lock-step: passes until an idle one, at most kPassesPerCatchUp.
  void passes_until_idle() {
    for (int n = 1; pass(kPassLimitMicroseconds) == Pass::kWorked; ++n) {
      if (n == kPassesPerCatchUp) {
        log_once("second core busy", "the second core never came to an idle pass; the sound device goes on");
        return;
      }
    }
  }

  void body() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop && !faulted && !ended) {
      if (park) {
        parked = true;
        changed.notify_all();
        changed.wait(lock, [this] { return stop || !park; });
        parked = false;
        changed.notify_all();
        continue;
      }
      if (lock_step) {
        if (asked == done) {
          changed.wait(lock, [this] { return stop || park || asked != done; });
          continue;
        }
        const uint64_t target = asked;
        lock.unlock();
        passes_until_idle();
        lock.lock();
        done = target;
        changed.notify_all();
        continue;
      }
      const uint64_t seen = nudges;
      lock.unlock();
      const Pass p = pass(kPassLimitMicroseconds);
      lock.lock();
      if (p != Pass::kIdle) continue;
      const auto nudged = [this, seen] { return stop || park || nudges != seen; };
      if (idle_look.count()) changed.wait_for(lock, idle_look, nudged);
      else changed.wait(lock, nudged);
    }
    ended = true;
    changed.notify_all();
  }
};

struct SecondCore {
  std::mutex control;  // register changes, one at a time
  bool stepping = false;
  bool step_parked = false;
  std::unique_ptr<Run> run;

  void stop_run() {
    if (run && run->thread.joinable()) {
      {
        std::lock_guard<std::mutex> lock(run->mutex);
        run->stop = true;
      }
      run->arm.abandon();  // a reset stops the core wherever it is
      run->changed.notify_all();
      run->thread.join();
    }
    run.reset();
    step_parked = false;
  }

  void park_run() {
    step_parked = true;
    if (!run || !run->thread.joinable()) return;
    std::unique_lock<std::mutex> lock(run->mutex);
    run->park = true;
    run->changed.notify_all();
    run->changed.wait(lock, [this] { return run->parked || run->ended; });
  }

  void release() {
    step_parked = false;
    if (run) {
      if (!run->thread.joinable()) return;
      std::unique_lock<std::mutex> lock(run->mutex);
      run->park = false;
      run->changed.notify_all();
      run->changed.wait(lock, [this] { return !run->parked || run->ended; });
      return;
    }
    run = std::make_unique<Run>();
    if (!run->arm.open(second_core_memory_base(), kSecondCoreSize)) {
      std::fprintf(stderr, "gp2x host: %s; the second core does not run\n", run->arm.fault().c_str());
      run->faulted = run->ended = true;
      return;
    }
    if (stepping) return;
    run->lock_step = runtime().clock.is_virtual();
    run->idle_look = std::chrono::milliseconds(runtime().settings.core_idle_ms);
    Run* r = run.get();
    r->thread = std::thread([r] { r->body(); });
  }
};

SecondCore& core() {
  static SecondCore* c = new SecondCore;  // its thread may outlive static destruction
  return *c;
}

}  // namespace

void second_core_control(uint16_t reset_register, uint16_t clock_register) {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  if ((reset_register & kResetBit) || (reset_register & kBankMask) != kOurBank) return c.stop_run();
  if (!(clock_register & kClockBit)) return c.park_run();
  c.release();
}

bool second_core_catch_up() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  Run* r = c.run.get();
  if (!r) return true;
  std::unique_lock<std::mutex> run_lock(r->mutex);
  if (r->faulted) return false;
  if (!r->lock_step) {
    r->nudge();
    return true;
  }
  if (r->ended || r->park) return true;
  const uint64_t ticket = ++r->asked;
  r->changed.notify_all();
  runtime().clock.hold(true);
  r->changed.wait(run_lock, [r, ticket] { return r->done >= ticket || r->ended || r->stop || r->parked; });
  runtime().clock.hold(false);
  return !r->faulted;
}

void second_core_nudge() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  Run* r = c.run.get();
  if (!r || !r->thread.joinable()) return;
  std::lock_guard<std::mutex> run_lock(r->mutex);
  if (!r->lock_step) r->nudge();
}

void second_core_power_off() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  c.stop_run();
  c.stepping = false;
}

void set_second_core_stepping(bool on) {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  c.stepping = on;
}

bool second_core_running() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  if (!c.run) return false;
  std::lock_guard<std::mutex> run_lock(c.run->mutex);
  if (!c.run->thread.joinable()) return !c.step_parked && !c.run->ended && !c.run->faulted;
  return !c.run->park && !c.run->ended;
}

bool second_core_faulted() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  if (!c.run) return false;
  std::lock_guard<std::mutex> run_lock(c.run->mutex);
  return c.run->faulted;
}

bool second_core_step() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  Run* r = c.run.get();
  if (!r || r->thread.joinable() || c.step_parked || r->ended || r->faulted) return false;
  return r->pass(kPassLimitMicroseconds) == Pass::kWorked;
}

int second_core_step_until_idle(int limit) {
  int passes = 0;
  while (passes < limit) {
    ++passes;
    if (!second_core_step()) break;
  }
  return passes;
}

}  // namespace gp2x::host
