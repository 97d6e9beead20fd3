#include "host/host_clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

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

uint64_t counts_in(uint64_t ns, uint64_t rate) {
  return ns / kNsPerSecond * rate + ns % kNsPerSecond * rate / kNsPerSecond;
}

uint64_t ns_for_counts(uint64_t counts, uint64_t rate) {
  uint64_t whole = counts / rate, part = counts % rate;
  return whole * kNsPerSecond + (part * kNsPerSecond + rate - 1) / rate;
}

void Clock::reset(bool is_virtual, uint32_t stall_ms) {
  virtual_ = is_virtual;
  stall_ms_ = stall_ms ? stall_ms : 1;
  virtual_ns_.store(0);
  real_start_ns_ = steady_ns();
}

uint64_t Clock::now_ns() const {
  return virtual_ ? virtual_ns_.load() : steady_ns() - real_start_ns_;
}

bool Clock::on_main_thread() {
  static thread_local const bool main = syscall(SYS_gettid) == getpid();
  return main;
}

void Clock::advance(uint64_t ns) {
  if (!virtual_ || ns == 0) return;
  virtual_ns_.fetch_add(ns);
  if (waiters_.load() > 0) wake_all();
}

void Clock::advance_to(uint64_t t) {
  if (!virtual_) return;
  uint64_t now = virtual_ns_.load();
  while (now < t && !virtual_ns_.compare_exchange_weak(now, t)) {
  }
  if (waiters_.load() > 0) wake_all();
}

void Clock::wake_all() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
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
  std::unique_lock<std::mutex> lock(mutex_);
  waiters_.fetch_add(1);
  uint64_t seen = virtual_ns_.load();
  auto last_move = std::chrono::steady_clock::now();
  while (virtual_ns_.load() < t && !(cancelled && cancelled())) {
    changed_.wait_for(lock, std::chrono::milliseconds(std::min<uint32_t>(200, stall_ms_)));
    uint64_t now = virtual_ns_.load();
    if (now != seen) {
      seen = now;
      last_move = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - last_move > std::chrono::milliseconds(stall_ms_)) {
      static std::atomic<bool> told{false};
      if (!told.exchange(true))
        std::fprintf(stderr, "gp2x host: the main thread keeps virtual time still; a waiting thread moves it\n");
      lock.unlock();
      advance_to(t);
      lock.lock();
    }
  }
  waiters_.fetch_sub(1);
}

}  // namespace gp2x::host
