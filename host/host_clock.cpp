#include "host/host_clock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/syscall.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace gp2x::host {
namespace {

uint64_t steady_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * kNsPerSecond + static_cast<uint64_t>(ts.tv_nsec);
}

void real_sleep(uint64_t ns) {
  timespec ts{static_cast<time_t>(ns / kNsPerSecond), static_cast<long>(ns % kNsPerSecond)};
  while (::nanosleep(&ts, &ts) != 0) {
  }
}

constexpr uint64_t kRealSlice = 5000000;  // ns between cancel checks of a real wait

}  // namespace

// A program spinning on the timer reads it thousands of times a frame, and a 64-bit
// division is a long library call on a 32-bit CPU (the ARM build's tests under an
// emulator). So each thread carries its last count forward when the time has moved on a
// little since, which takes one 32-bit division: the count and the part of a count left
// over (in billionths) are exact either way.
uint64_t counts_in(uint64_t ns, uint64_t rate) {
  struct Last {
    uint64_t ns = 0, rate = 0, counts = 0;
    uint64_t rest = 0;  // counts * kNsPerSecond + rest == ns * rate, rest < kNsPerSecond
  };
  thread_local Last last;
  if (rate == last.rate && ns >= last.ns && ns - last.ns < (1ull << 32) && rate < (1ull << 32)) {
    const uint64_t step = (ns - last.ns) * rate;
    if (step < (1ull << 40)) {
      const uint64_t x = step + last.rest;  // below 2^41, so x >> 9 fits 32 bits
      // kNsPerSecond is 2^9 * 1953125, and whole divisions nest.
      const uint64_t q = static_cast<uint32_t>(x >> 9) / 1953125u;
      last.counts += q;
      last.rest = x - q * kNsPerSecond;
      last.ns = ns;
      return last.counts;
    }
  }
  const uint64_t part = ns % kNsPerSecond * rate;
  last = {ns, rate, ns / kNsPerSecond * rate + part / kNsPerSecond, part % kNsPerSecond};
  return last.counts;
}

uint64_t ns_for_counts(uint64_t counts, uint64_t rate) {
  uint64_t whole = counts / rate, part = counts % rate;
  return whole * kNsPerSecond + (part * kNsPerSecond + rate - 1) / rate;
}

// The rendezvous of the threads that wait on a virtual clock. It outlives the clock for a
// thread that still runs after the layer started again.
struct ClockSync {
  std::mutex mutex;
  std::condition_variable changed;   // time moved, or a cancel condition may hold now
  std::condition_variable settled;   // a thread that time woke waits again, or ended
  // The times the waiting threads wait for, earliest first: each thread's entry lives on
  // its own stack for the length of its wait, so that a wait allocates nothing.
  struct Due {
    uint64_t t;
    Due* next;
  };
  Due* due = nullptr;
  std::atomic<uint64_t> next{UINT64_MAX};  // the earliest of them
  std::atomic<int> waiting{0};
  std::atomic<int> running{0};       // threads a wait let go that have not waited again
  // Their ids (under the mutex), as far as there is room: the main thread looks whether
  // they are still at work before it goes on without them.
  static constexpr int kRunnerRoom = 32;
  int runner_ids[kRunnerRoom] = {};
  int runner_count = 0;
  uint64_t generation = 0;           // moves on when the main thread stops counting them
  std::atomic<bool> expecting{false};  // a thread is to arrive before time moves (set locked)
  // The program's threads at that open, but its opener; shared, so that a waiting main
  // thread keeps its own reference without a copy.
  std::shared_ptr<const std::vector<int>> threads_before;
  std::atomic<int> held{0};            // the emulated second core is catching up (hold())

  void update_next() { next.store(due ? due->t : UINT64_MAX); }
  // Under the mutex.
  void add_due(Due& d) {
    Due** at = &due;
    while (*at && (*at)->t <= d.t) at = &(*at)->next;
    d.next = *at;
    *at = &d;
    update_next();
  }
  void remove_due(Due& d) {
    for (Due** at = &due; *at; at = &(*at)->next) {
      if (*at == &d) {
        *at = d.next;
        break;
      }
    }
    update_next();
  }
  // Under the mutex.
  void add_runner(int id) {
    if (runner_count < kRunnerRoom) runner_ids[runner_count++] = id;
  }
  void remove_runner(int id) {
    for (int i = 0; i < runner_count; ++i)
      if (runner_ids[i] == id) {
        runner_ids[i] = runner_ids[--runner_count];
        return;
      }
  }
  // Under the mutex.
  void end_expectation() {
    expecting.store(false);
    settled.notify_all();
  }
};

namespace {

// This thread's place among a clock's running threads, from the end of one wait to the
// start of the next, or to the thread's end.
struct Running {
  std::shared_ptr<ClockSync> sync;
  uint64_t generation = 0;

  // Under the new sync's mutex.
  void start_locked(const std::shared_ptr<ClockSync>& with) {
    with->running.fetch_add(1);
    with->add_runner(static_cast<int>(syscall(SYS_gettid)));
    sync = with;
    generation = with->generation;
  }
  // Under sync->mutex.
  void stop_locked() {
    if (sync->generation == generation && sync->running.load() > 0) {
      sync->running.fetch_sub(1);
      sync->remove_runner(static_cast<int>(syscall(SYS_gettid)));
    }
    sync->settled.notify_all();
    sync.reset();
  }
  ~Running() {
    if (!sync) return;
    const std::shared_ptr<ClockSync> keep = sync;
    std::lock_guard<std::mutex> lock(keep->mutex);
    stop_locked();
  }
};
thread_local Running t_running;

void say_once(std::atomic<bool>& told, const char* message) {
  if (!told.exchange(true)) std::fprintf(stderr, "gp2x host: %s\n", message);
}
std::atomic<bool> g_told_stall{false}, g_told_lost{false}, g_told_absent{false};

// The scheduling state of one of the program's threads: 'R' running or waiting for a
// processor, 'S' asleep in the kernel (a lock, a condition, a join, a system call), 'D',
// 'T', ... as the kernel tells them; 0 when it cannot be known (the thread has ended).
char thread_state(int id) {
  // Plain descriptor calls into a buffer on the stack: a stream would allocate on every
  // look, and the sound thread looks while it waits.
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", id);
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[512];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return 0;
  text[n] = '\0';
  const char* end = std::strrchr(text, ')');  // the state follows the command's name
  return end && end[1] == ' ' ? end[2] : 0;
}

// True when the program's main thread sleeps in the kernel, rather than running or waiting
// for a processor.
bool main_thread_asleep() { return thread_state(static_cast<int>(getpid())) == 'S'; }

constexpr auto kBlockedCheck = std::chrono::milliseconds(2);

// True when any_runnable() holds at one of a few looks kBlockedCheck apart. A thread at work
// may be caught in a short sleep (a page brought in, a lock taken by another thread): a
// thread that time is to go on without is one seen asleep at every look.
template <typename AnyRunnable>
bool seen_at_work(AnyRunnable any_runnable) {
  constexpr int kLooks = 10;
  for (int look = 0; look < kLooks; ++look) {
    if (look) std::this_thread::sleep_for(kBlockedCheck);
    if (any_runnable()) return true;
  }
  return false;
}

// Calls see(id) for each of the program's threads now, until it returns true; true when
// one did. The folder is read with plain calls into a buffer on the stack: the main thread
// looks many times while it waits for a thread, and a directory stream would allocate.
template <typename See>
bool any_thread(See see) {
  const int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  alignas(8) char buffer[4096];
  bool found = false;
  for (long n; !found && (n = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0;) {
    for (long at = 0; at < n && !found;) {
      // struct linux_dirent64: inode (8 bytes), offset (8), record length (2), type (1), name.
      uint16_t length;
      std::memcpy(&length, buffer + at + 16, sizeof length);
      const char* name = buffer + at + 19;
      if (name[0] != '.') found = see(std::atoi(name));
      at += length;
    }
  }
  ::close(fd);
  return found;
}

// The program's threads now (their ids, sorted); none when that cannot be known.
std::vector<int> thread_ids() {
  std::vector<int> ids;
  any_thread([&](int id) {
    ids.push_back(id);
    return false;
  });
  std::sort(ids.begin(), ids.end());
  return ids;
}

// True while a thread that is not one of `before` (sorted) runs, the main one aside.
bool new_thread_alive(const std::vector<int>& before) {
  return any_thread([&](int id) {
    return id != getpid() && !std::binary_search(before.begin(), before.end(), id);
  });
}

// True when such a thread is at work or waits for a processor.
bool new_thread_runnable(const std::vector<int>& before) {
  return any_thread([&](int id) {
    return id != getpid() && !std::binary_search(before.begin(), before.end(), id) && thread_state(id) == 'R';
  });
}

}  // namespace

Clock::Clock() : sync_(std::make_shared<ClockSync>()) {}
Clock::~Clock() = default;

void Clock::reset(bool is_virtual, uint32_t stall_ms) {
  virtual_ = is_virtual;
  stall_ms_ = stall_ms ? stall_ms : 1;
  virtual_ns_.store(0);
  real_start_ns_ = steady_ns();
  sync_ = std::make_shared<ClockSync>();
}

uint64_t Clock::now_ns() const {
  return virtual_ ? virtual_ns_.load() : steady_ns() - real_start_ns_;
}

bool Clock::on_main_thread() {
  static thread_local const bool main = syscall(SYS_gettid) == getpid();
  return main;
}

void Clock::hold(bool on) {
  std::atomic<int>& held = sync_->held;
  if (on) {
    held.fetch_add(1);
    return;
  }
  // A reset between the two leaves a new count at 0, to stay there.
  int v = held.load();
  while (v > 0 && !held.compare_exchange_weak(v, v - 1)) {
  }
}

void Clock::advance(uint64_t ns) {
  if (!virtual_ || ns == 0) return;
  advance_to(virtual_ns_.load() + ns);
}

void Clock::yield_real(uint64_t ns) {
  // Most reads of a live register yield nothing; a system call for no time at each of
  // them cost an idle window more than drawing its frames.
  if (!virtual_ && ns != 0) real_sleep(ns);
}

void Clock::move_to(uint64_t t) {
  uint64_t now = virtual_ns_.load();
  while (now < t && !virtual_ns_.compare_exchange_weak(now, t)) {
  }
  // Only a thread whose time has come needs waking (the others look again every few
  // milliseconds): a main thread that polls a register costs nobody a wake-up.
  if (sync_->next.load() <= t) wake_all();
}

void Clock::advance_to(uint64_t t) {
  if (!virtual_) return;
  ClockSync& s = *sync_;
  // Nobody due by then and nobody running: the usual case, a register poll, costs no lock.
  if (!on_main_thread() || (s.running.load() == 0 && s.next.load() > t && !s.expecting.load()))
    return move_to(t);
  main_in_step_.store(true);  // asleep in here is not asleep outside the seam
  std::unique_lock<std::mutex> lock(s.mutex);
  // Before anything moves, so the thread expected starts at the time of the open however
  // late it gets a processor. Only a thread started since the open (or the one that opened)
  // can be the one: with none of them left there is nobody to wait for.
  if (t > virtual_ns_.load() && s.expecting.load()) {
    const std::shared_ptr<const std::vector<int>> before = s.threads_before;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(stall_ms_);
    for (;;) {
      lock.unlock();
      const bool may_come = before && new_thread_alive(*before);
      lock.lock();
      if (!s.expecting.load()) break;
      if (!may_come) {
        s.expecting.store(false);
        break;
      }
      if (std::chrono::steady_clock::now() >= give_up && !s.held.load()) {
        // One that is still at work, or only waits for a processor on a loaded machine,
        // may yet come, and is waited for: only one blocked elsewhere is given up.
        lock.unlock();
        const bool at_work = before && seen_at_work([&] { return new_thread_runnable(*before); });
        lock.lock();
        if (!s.expecting.load()) break;
        if (at_work) {
          give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(stall_ms_);
          continue;
        }
        say_once(g_told_absent,
                 "no thread came to the device just opened; time goes on without it");
        s.expecting.store(false);
        break;
      }
      s.settled.wait_for(lock, kBlockedCheck, [&] { return !s.expecting.load(); });
    }
  }
  for (;;) {
    const auto still = [&] { return s.running.load() == 0 && s.next.load() > virtual_ns_.load(); };
    if (!s.settled.wait_for(lock, std::chrono::milliseconds(stall_ms_), still)) {
      // A thread that time woke and that is still at work (the emulated core's pass, say),
      // or only waits for a processor on a loaded machine, is waited for however long that
      // takes, so a run comes out the same whatever the load.
      if (s.held.load() || runner_at_work(s, lock)) continue;
      if (!still()) {
        // It blocks on something else: time goes on without it, rather than the program
        // hanging.
        say_once(g_told_lost, "a thread woken by the virtual clock does not wait again; time goes on without it");
        ++s.generation;
        s.running.store(0);
        s.runner_count = 0;
        break;
      }
    }
    const uint64_t next = s.next.load();
    if (next > t) break;
    // Time stops where the first waiting thread is due; it runs before time moves on.
    lock.unlock();
    move_to(next);
    lock.lock();
  }
  main_in_step_.store(false);
  lock.unlock();
  move_to(t);
}

bool Clock::runner_at_work(ClockSync& s, std::unique_lock<std::mutex>& lock) {
  // Those beyond the room kept cannot be looked at: they count as blocked, as before.
  int ids[ClockSync::kRunnerRoom];
  const int n = s.runner_count;
  std::copy(s.runner_ids, s.runner_ids + n, ids);
  lock.unlock();
  const bool at_work = seen_at_work([&] {
    return std::any_of(ids, ids + n, [](int id) { return thread_state(id) == 'R'; });
  });
  lock.lock();
  return at_work;
}

void Clock::polled() {
  if (!virtual_ || !t_running.sync || t_running.sync != sync_) return;
  const std::shared_ptr<ClockSync> keep = sync_;
  std::lock_guard<std::mutex> lock(keep->mutex);
  t_running.stop_locked();
}

void Clock::expect_thread() {
  if (!virtual_) return;
  std::vector<int> before = thread_ids();
  const std::shared_ptr<ClockSync> keep = sync_;
  ClockSync& s = *keep;
  std::lock_guard<std::mutex> lock(s.mutex);
  // A thread other than the main one that opens the device, and does not take part in the
  // lock-step yet, may well be the one to serve it.
  if (!on_main_thread() && !(t_running.sync == keep && t_running.generation == s.generation)) {
    const int self = static_cast<int>(syscall(SYS_gettid));
    before.erase(std::remove(before.begin(), before.end(), self), before.end());
  }
  s.threads_before = std::make_shared<const std::vector<int>>(std::move(before));
  s.expecting.store(true);
}

void Clock::expect_nobody() {
  ClockSync& s = *sync_;
  if (!s.expecting.load()) return;
  std::lock_guard<std::mutex> lock(s.mutex);
  s.end_expectation();
}

void Clock::arrived() {
  if (!virtual_) return;
  const std::shared_ptr<ClockSync> keep = sync_;
  ClockSync& s = *keep;
  const bool main = on_main_thread();
  if (!s.expecting.load() && (main || t_running.sync == keep)) return;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!main && !(t_running.sync == keep && t_running.generation == s.generation)) t_running.start_locked(keep);
  s.end_expectation();
}

int Clock::waiting_threads() const { return sync_->waiting.load(); }

void Clock::wake_all() {
  ClockSync& s = *sync_;
  { std::lock_guard<std::mutex> lock(s.mutex); }
  s.changed.notify_all();
}

void Clock::wait_until(uint64_t t, const std::function<bool()>& cancelled) {
  if (!virtual_) {
    for (uint64_t now = now_ns(); now < t; now = now_ns()) {
      if (cancelled && cancelled()) return;
      real_sleep(std::min(t - now, kRealSlice));
    }
    return;
  }
  if (on_main_thread()) {
    advance_to(t);
    return;
  }
  wait_virtual(t, cancelled);
}

void Clock::wait_virtual(uint64_t t, const std::function<bool()>& cancelled) {
  const std::shared_ptr<ClockSync> keep = sync_;
  ClockSync& s = *keep;
  std::unique_lock<std::mutex> lock(s.mutex);
  if (virtual_ns_.load() >= t) return;
  // Waiting from now on. The time it waits for is in place before it stops counting as
  // running, so a main thread that sees neither never moves past it.
  ClockSync::Due mine{t, nullptr};
  s.add_due(mine);
  s.waiting.fetch_add(1);
  // A thread the main thread did not count as running joins the lock-step now.
  if (!(t_running.sync == keep && t_running.generation == s.generation)) s.end_expectation();
  if (t_running.sync == keep) t_running.stop_locked();
  else t_running.sync.reset();
  // Time that stands still while the main thread sleeps outside the seam (it waits for
  // this very thread, say) would stay still for good: this thread then moves it, as real
  // time would flow. A main thread that computes, or waits for a processor, is left alone:
  // its time is the program's own.
  uint64_t seen = virtual_ns_.load();
  auto last_move = std::chrono::steady_clock::now();
  int asleep = 0;
  while (virtual_ns_.load() < t && !(cancelled && cancelled())) {
    s.changed.wait_for(lock, kBlockedCheck);
    const uint64_t now = virtual_ns_.load();
    if (now != seen) {
      seen = now;
      last_move = std::chrono::steady_clock::now();
      asleep = 0;
      continue;
    }
    // Not under the lock: a main thread that waits for it is not asleep outside the seam.
    lock.unlock();
    const bool main_asleep = !main_in_step_.load() && main_thread_asleep();
    lock.lock();
    if (virtual_ns_.load() != seen) continue;
    asleep = main_asleep ? asleep + 1 : 0;
    const bool stalled = std::chrono::steady_clock::now() - last_move > std::chrono::milliseconds(stall_ms_);
    if (asleep >= 2 || stalled) {
      if (stalled) say_once(g_told_stall, "the main thread keeps virtual time still; a waiting thread moves it");
      lock.unlock();
      move_to(t);
      lock.lock();
      asleep = 0;
    }
  }
  // Running again until its next wait: counted before its time leaves the list, for the
  // same reason.
  t_running.start_locked(keep);
  s.remove_due(mine);
  s.waiting.fetch_sub(1);
}

}  // namespace gp2x::host
