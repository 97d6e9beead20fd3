#include "sound/qssGP2X.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <new>

#include "seam/gp2x_seam.h"
#include "sound/qssUtility.h"

qssGP2X::qssGP2X() {}

qssGP2X::~qssGP2X() {
  if (opened_) close();
}

int qssGP2X::open(AudioSpec* spec, uint32_t samples, qssAudioCallback callback, void* user) {
  if (opened_) return QSS_ERR_ALREADY_OPEN;
  if (!spec || !callback) return QSS_ERR_NULL_ARGUMENT;
  callback_ = callback;
  user_ = user;
  freq_ = spec->freq;
  format_ = spec->format;
  channels_ = spec->channels;
  if (format_ == 0 || (format_ & 0x11) == 0x11 || (format_ & 0x22) == 0x22) return QSS_ERR_FORMAT;
  if (channels_ != 1 && channels_ != 2) return QSS_ERR_FORMAT;
  if (freq_ == 0) return QSS_ERR_FORMAT;

  const bool wide = (format_ & QSS_FORMAT_16BIT) != 0;
  current_ = 0;
  uint64_t ms = static_cast<uint64_t>(samples) * 1000 / freq_;
  fragments_ = static_cast<uint32_t>(std::clamp<uint64_t>(ms / 20, 3, 16));
  bytesPerFrame_ = static_cast<int32_t>(channels_ * (wide ? 2 : 1));
  fragmentBytes_ =
      static_cast<int32_t>((static_cast<uint64_t>(bytesPerFrame_) * freq_ * 20 / 1000 + 7) & ~7ull);
  ringBytes_ = static_cast<uint32_t>(fragmentBytes_) * fragments_;

  ring_ = new (std::nothrow) uint8_t[ringBytes_];
  if (!ring_) return QSS_ERR_NO_MEMORY;
  memset(ring_, wide ? 0 : 0x80, ringBytes_);

  fd_ = qssUtility::opendev("/dev/dsp", O_WRONLY);
  if (fd_ < 0) {
    release();
    return QSS_ERR_FORMAT;
  }
  // The device reports what it took; the driver goes on regardless, as on the console.
  int value = static_cast<int>(freq_);
  gp2x::ioctl(fd_, QSS_SNDCTL_DSP_SPEED, &value);
  value = wide ? 16 : 8;
  gp2x::ioctl(fd_, QSS_SNDCTL_DSP_SETFMT, &value);
  value = channels_ > 1 ? 1 : 0;
  gp2x::ioctl(fd_, QSS_SNDCTL_DSP_STEREO, &value);

  quit_ = false;
  writerDone_ = false;
  written_ = 0;
  suspended_ = false;
  opened_ = true;
  thread_ = std::thread(&qssGP2X::writer, this);
  return 0;
}

void qssGP2X::writer() {
  const struct timespec nap = {0, 50000};
  struct Done {
    qssGP2X& d;
    ~Done() {
      std::lock_guard<std::mutex> hold(d.doneLock_);
      d.writerDone_ = true;
      d.doneSignal_.notify_all();
    }
  } done{*this};
  while (!quit_.load()) {
    gp2x::nanosleep(&nap, nullptr);
    if (suspended_.load() || quit_.load()) continue;
    uint8_t* fragment = ring_ + static_cast<size_t>(current_) * fragmentBytes_;
    {
      std::lock_guard<std::recursive_mutex> hold(lock_);
      callback_(user_, fragment, fragmentBytes_);
    }
    // A failed write drops this fragment; the next one follows as usual.
    (void)gp2x::write(fd_, fragment, static_cast<size_t>(fragmentBytes_));
    written_.fetch_add(1);
    current_ = (current_ + 1) % static_cast<int32_t>(fragments_);
  }
}

void qssGP2X::release() {
  if (fd_ >= 0) qssUtility::devclose(fd_);
  fd_ = -1;
  delete[] ring_;
  ring_ = nullptr;
}

int qssGP2X::close() {
  if (!opened_) return QSS_ERR_NOT_OPEN;
  // The writer must be gone before its descriptor and ring are: a descriptor number can be
  // reused by the next file the program opens.
  quit_ = true;
  // A writer blocked in a paced write or in its nap goes on only as the device's clock
  // moves, and on some clocks only our own sleeps move it: nap as briefly as the writer,
  // then give it a moment to finish before moving the clock again.
  const struct timespec nap = {0, 50000};
  {
    std::unique_lock<std::mutex> hold(doneLock_);
    while (!writerDone_) {
      hold.unlock();
      gp2x::nanosleep(&nap, nullptr);
      hold.lock();
      doneSignal_.wait_for(hold, std::chrono::milliseconds(5), [this] { return writerDone_.load(); });
    }
  }
  if (thread_.joinable()) thread_.join();
  opened_ = false;
  suspended_ = true;
  release();
  return 0;
}
