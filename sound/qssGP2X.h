// The console's output driver: OSS "/dev/dsp" fed by one writer thread that asks the
// callback for each ~20 ms fragment and writes it with a blocking write, so the device's
// drain paces the thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "sound/qssDriver.h"
#include "sound/qssResult.h"

// OSS requests the driver issues.
constexpr unsigned long QSS_SNDCTL_DSP_SPEED = 0xC0045002;
constexpr unsigned long QSS_SNDCTL_DSP_STEREO = 0xC0045003;
constexpr unsigned long QSS_SNDCTL_DSP_SETFMT = 0xC0045005;

class qssGP2X : public qssDriver {
 public:
  qssGP2X();
  ~qssGP2X() override;

  // QSS_ERR_ALREADY_OPEN, QSS_ERR_NULL_ARGUMENT for a null spec or callback, QSS_ERR_FORMAT
  // for an unsupported format, channel count or rate or a device that cannot be opened,
  // QSS_ERR_NO_MEMORY.
  int open(AudioSpec* spec, uint32_t samples, qssAudioCallback callback, void* user) override;
  // Stops and joins the writer, then closes the device. 0, or QSS_ERR_NOT_OPEN.
  int close() override;
  // A lock the writer holds around every callback.
  void enterCriticalSection() override { lock_.lock(); }
  void leaveCriticalSection() override { lock_.unlock(); }
  void suspend() override { suspended_ = true; }
  void resume() override { suspended_ = false; }

  bool opened() const { return opened_; }
  bool suspended() const { return suspended_; }
  uint32_t fragments() const { return fragments_; }
  int32_t fragmentBytes() const { return fragmentBytes_; }
  uint32_t ringBytes() const { return ringBytes_; }
  int32_t bytesPerFrame() const { return bytesPerFrame_; }
  uint32_t frequency() const { return freq_; }
  const uint8_t* ring() const { return ring_; }
  // Fragments handed to the device since open (32 bits: more than two years of sound, and
  // an atomic the console's CPU has without a library).
  uint32_t fragmentsWritten() const { return written_.load(); }

 private:
  void writer();
  void release();

  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> writerDone_{true};
  std::mutex doneLock_;
  std::condition_variable doneSignal_;
  std::atomic<uint32_t> written_{0};
  int fd_ = -1;
  uint32_t fragments_ = 0;
  int32_t current_ = 0;
  uint32_t freq_ = 0, format_ = 0, channels_ = 0;
  uint8_t* ring_ = nullptr;
  int32_t bytesPerFrame_ = 0;
  int32_t fragmentBytes_ = 0;
  uint32_t ringBytes_ = 0;
  qssAudioCallback callback_ = nullptr;
  void* user_ = nullptr;
  bool opened_ = false;
  std::atomic<bool> suspended_{true};
  std::recursive_mutex lock_;
};
