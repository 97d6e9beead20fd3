#include "host/host_second_core.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "host/host_registers.h"
#include "host/host_runtime.h"

namespace gp2x::host {
namespace {

constexpr uint16_t kResetBit = 0x80, kBankMask = 3, kOurBank = 3, kClockBit = 1;
// A catch-up that never comes to an idle pass is cut off here rather than hanging the run.
constexpr int kCatchUpPasses = 200000;

struct Registry {
  std::mutex mutex;
  std::vector<SecondCoreProgram> programs;
};
Registry& registry() {
  static Registry r;  // installed from other files' static initialisers
  return r;
}

// One release of the core: the program's thread and what it is asked to do.
struct Run {
  SecondCoreProgram program;
  bool lock_step = false;
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false, park = false, parked = false, ended = false;
  uint64_t asked = 0, done = 0;  // catch-ups asked for and served
  std::thread thread;

  void passes_until_idle() {
    for (int i = 0; i < kCatchUpPasses; ++i) {
      if (!program.pass() || program.stopped()) return;
    }
    log_once("second core busy", "the second core never came to an idle pass; the sound device goes on");
  }

  void body(uint8_t* memory) {
    program.start(memory);
    std::unique_lock<std::mutex> lock(mutex);
    while (!stop && !program.stopped()) {
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
      lock.unlock();
      const bool worked = program.pass();
      lock.lock();
      if (!worked) changed.wait_for(lock, std::chrono::milliseconds(1), [this] { return stop || park; });
    }
    ended = true;
    changed.notify_all();
  }
};

struct SecondCore {
  std::mutex control;  // register changes, one at a time
  bool stepping = false;
  bool told = false;   // a bad image was reported since the last reset
  std::unique_ptr<Run> run;
  std::unique_ptr<SecondCoreProgram> stepped;  // step mode: the program entered
  bool step_parked = false;

  void stop_run() {
    if (run) {
      {
        std::lock_guard<std::mutex> lock(run->mutex);
        run->stop = true;
      }
      run->changed.notify_all();
      run->thread.join();
      run.reset();
    }
    stepped.reset();
    step_parked = false;
  }

  void park_run() {
    step_parked = true;
    if (!run) return;
    std::unique_lock<std::mutex> lock(run->mutex);
    run->park = true;
    run->changed.notify_all();
    run->changed.wait(lock, [this] { return run->parked || run->ended; });
  }

  // The program the image at address 0 names, or null.
  std::unique_ptr<SecondCoreProgram> program_at(const uint8_t* memory) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const SecondCoreProgram& p : r.programs)
      if (!p.image.empty() && std::memcmp(memory, p.image.data(), p.image.size()) == 0)
        return std::make_unique<SecondCoreProgram>(p);
    return nullptr;
  }

  void release() {
    step_parked = false;
    if (run) {
      std::unique_lock<std::mutex> lock(run->mutex);
      run->park = false;
      run->changed.notify_all();
      run->changed.wait(lock, [this] { return !run->parked || run->ended; });
      return;
    }
    if (stepped || told) return;
    uint8_t* memory = second_core_memory_base();
    std::unique_ptr<SecondCoreProgram> program = program_at(memory);
    if (!program) {
      told = true;
      std::fprintf(stderr,
                   "gp2x host: the second core was started without a program it knows at address 0 "
                   "(the image is missing or wrong): it runs nothing\n");
      return;
    }
    if (stepping) {
      program->start(memory);
      stepped = std::move(program);
      return;
    }
    run = std::make_unique<Run>();
    run->program = std::move(*program);
    run->lock_step = runtime().clock.is_virtual();
    Run* r = run.get();
    r->thread = std::thread([r, memory] { r->body(memory); });
  }
};

SecondCore& core() {
  static SecondCore* c = new SecondCore;  // its thread may outlive static destruction
  return *c;
}

}  // namespace

void install_second_core_program(SecondCoreProgram program) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (SecondCoreProgram& p : r.programs) {
    if (p.image == program.image) {
      p = std::move(program);
      return;
    }
  }
  r.programs.push_back(std::move(program));
}

void second_core_control(uint16_t reset_register, uint16_t clock_register) {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  if ((reset_register & kResetBit) || (reset_register & kBankMask) != kOurBank) {
    c.stop_run();
    c.told = false;
    return;
  }
  if (!(clock_register & kClockBit)) return c.park_run();
  c.release();
}

void second_core_catch_up() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  Run* r = c.run.get();
  if (!r || !r->lock_step) return;
  std::unique_lock<std::mutex> run_lock(r->mutex);
  if (r->ended || r->park) return;
  const uint64_t ticket = ++r->asked;
  r->changed.notify_all();
  r->changed.wait(run_lock, [r, ticket] { return r->done >= ticket || r->ended || r->stop || r->parked; });
}

void second_core_power_off() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  c.stop_run();
  c.told = false;
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
  if (c.stepped) return !c.step_parked && !c.stepped->stopped();
  if (!c.run) return false;
  std::lock_guard<std::mutex> run_lock(c.run->mutex);
  return !c.run->park && !c.run->ended;
}

bool second_core_step() {
  SecondCore& c = core();
  std::lock_guard<std::mutex> lock(c.control);
  if (!c.stepped || c.step_parked || c.stepped->stopped()) return false;
  return c.stepped->pass();
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
