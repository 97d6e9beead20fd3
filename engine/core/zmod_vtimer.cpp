#include "engine/core/zmod_vtimer.h"

#include "engine/core/zmod_platform.h"

uint32_t ClassZRTimer::Count() {
  // Truncating the millisecond count to 32 bits is the intended wrap.
  return static_cast<uint32_t>(ZPlatform_NowMicros() / 1000u);
}

uint32_t ClassZRTimer::Delta(uint32_t a, uint32_t b) { return a - b; }

void ClassZRTimer::Update() {
  previous_ = now_;
  now_ = Count();
}

uint32_t ClassZRTimer::RetrieveDelta() const { return now_ - previous_; }

void ClassZVTimer::Reset() { Reset(ClassZRTimer::Count()); }

void ClassZVTimer::Reset(uint32_t ms) {
  suspended_ = 0;
  start_ = ms;
  lastreal_ = ms;
  virtual_ = 0;
  previousvirtual_ = 0;  // so the first delta after a reset is never negative
  remainder_ = 0;
}

void ClassZVTimer::SetSpeed(uint32_t speed) { speed_ = speed; }

void ClassZVTimer::Update() {
  uint32_t now = ClassZRTimer::Count();
  UpdateTo(now, now);
}

void ClassZVTimer::Update(uint32_t ms) { UpdateTo(ms, ClassZRTimer::Count()); }

void ClassZVTimer::UpdateTo(uint32_t ms, uint32_t realnow) {
  realprevious_ = realnow_;
  realnow_ = realnow;
  if (suspended_) {
    previousvirtual_ = virtual_;
    return;
  }
  uint32_t elapsed = ms - lastreal_;
  lastreal_ = ms;
  Advance(elapsed);
}

void ClassZVTimer::Increase(uint32_t ms) {
  if (suspended_) {
    previousvirtual_ = virtual_;
    return;
  }
  Advance(ms);
}

void ClassZVTimer::Advance(uint32_t elapsed) {
  // 64 bits: a long stall at a high speed must not wrap into a small or garbage delta.
  uint64_t x = remainder_ + static_cast<uint64_t>(speed_) * elapsed;
  previousvirtual_ = virtual_;
  virtual_ += static_cast<uint32_t>(x / 1000u);
  remainder_ = static_cast<uint32_t>(x % 1000u);
}

uint32_t ClassZVTimer::RetrieveTime() const { return virtual_; }

uint32_t ClassZVTimer::RetrieveDelta() const { return virtual_ - previousvirtual_; }

void ClassZVTimer::Suspend() { suspended_ = 1; }

void ClassZVTimer::Resume() { Resume(ClassZRTimer::Count()); }

void ClassZVTimer::Resume(uint32_t ms) {
  if (!suspended_) return;
  suspended_ = 0;
  lastreal_ = ms;
}
