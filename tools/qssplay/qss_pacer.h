// Sleeping on the host layer's clock without starving the sound writer. A headless host
// clock is virtual: it jumps when the main thread sleeps, and the device drains at once,
// while the writer thread runs in real time. After each short step this waits (a bounded
// real time) until the writer is a fragment ahead of what the device has played, so a
// recording has no gaps. On a real clock the writer is ahead already and nothing waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <sys/time.h>
#include <thread>

#include "host/gp2x_seam.h"
#include "sound/qssGP2X.h"

class qssWriterPacer {
 public:
  // Right after the driver's open or resume (the device has nothing queued then).
  explicit qssWriterPacer(const qssGP2X* driver)
      : driver_(driver), start_us_(nowUs()), start_written_(driver ? driver->fragmentsWritten() : 0) {}

  void sleep(uint64_t us) {
    while (us > 0) {
      uint32_t step = static_cast<uint32_t>(us < kStepUs ? us : kStepUs);
      gp2x::usleep(step);
      us -= step;
      waitForWriter();
    }
  }

 private:
  static constexpr uint32_t kStepUs = 5000;

  static uint64_t nowUs() {
    struct timeval tv;
    gp2x::gettimeofday(&tv);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000 + static_cast<uint64_t>(tv.tv_usec);
  }

  void waitForWriter() {
    if (!driver_ || !driver_->opened() || driver_->suspended()) return;
    const uint64_t bytesPerSecond =
        static_cast<uint64_t>(driver_->bytesPerFrame()) * driver_->frequency();
    const uint64_t played = (nowUs() - start_us_) * bytesPerSecond / 1000000;
    const uint64_t wanted = played + static_cast<uint64_t>(driver_->fragmentBytes());
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while ((driver_->fragmentsWritten() - start_written_) * static_cast<uint64_t>(driver_->fragmentBytes()) <
               wanted &&
           std::chrono::steady_clock::now() < give_up)
      std::this_thread::yield();
  }

  const qssGP2X* driver_;
  uint64_t start_us_;
  uint64_t start_written_;
};
