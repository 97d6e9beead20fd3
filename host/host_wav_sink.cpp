#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "host/host_audio_sink.h"
#include "host/host_runtime.h"

namespace gp2x::host {
namespace {

void put_le(uint8_t* p, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool write_all(int fd, const void* data, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    ssize_t r = ::write(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

class NullSink : public AudioSink {
 public:
  void start(const AudioFormat&) override {}
  void put(const void*, size_t) override {}
  void gap(size_t) override {}
  void finish() override {}
};

class WavSink : public AudioSink {
 public:
  WavSink(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~WavSink() override { finish(); }

  void start(const AudioFormat& format) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0) return;
    if (started_) {
      if (format != format_) log_once("wav format", "the program changed the sound format: the recording keeps the first one");
      return;
    }
    started_ = true;
    format_ = format;
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    put_le(h + 16, 16, 4);
    put_le(h + 20, 1, 2);  // PCM
    put_le(h + 22, static_cast<uint32_t>(format.channels), 2);
    put_le(h + 24, format.rate, 4);
    put_le(h + 28, format.bytes_per_second(), 4);
    put_le(h + 32, format.frame_bytes(), 2);
    put_le(h + 34, static_cast<uint32_t>(format.bits), 2);
    std::memcpy(h + 36, "data", 4);
    put_le(h + 4, 36, 4);
    check(write_all(fd_, h, sizeof h));
  }

  void put(const void* bytes, size_t count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    append(bytes, count);
  }

  void gap(size_t count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) return;
    // A long gap (a writer that stopped for minutes) is written a piece at a time.
    std::vector<uint8_t> silence(std::min<size_t>(count, 1u << 16), format_.bits == 8 ? 0x80 : 0);
    for (size_t n = 0; count > 0 && fd_ >= 0; count -= n) {
      n = std::min(count, silence.size());
      append(silence.data(), n);
    }
  }

  void finish() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  void append(const void* bytes, size_t count) {
    if (fd_ < 0 || !started_ || count == 0) return;
    // RIFF sizes are 32 bits: a recording stops short of 4 GB.
    if (data_bytes_ + count > 0xFFFFFF00u - 36) {
      log_once("wav full", "the audio recording reached the largest WAV size: later sound is not recorded");
      return;
    }
    if (!check(write_all(fd_, bytes, count))) return;
    data_bytes_ += static_cast<uint32_t>(count);
    // The sizes are brought up to date after every write, so the file is always complete.
    uint8_t size[4];
    put_le(size, 36 + data_bytes_, 4);
    check(::pwrite(fd_, size, 4, 4) == 4);
    put_le(size, data_bytes_, 4);
    check(::pwrite(fd_, size, 4, 40) == 4);
  }
  bool check(bool ok) {
    if (!ok) {
      log_once("wav write", "cannot write the audio recording \"" + path_ + "\": " + std::strerror(errno));
      ::close(fd_);
      fd_ = -1;
    }
    return ok;
  }

  std::mutex mutex_;
  int fd_;
  std::string path_;
  bool started_ = false;
  AudioFormat format_;
  uint32_t data_bytes_ = 0;
};

}  // namespace

std::unique_ptr<AudioSink> make_null_sink() { return std::make_unique<NullSink>(); }

void CaptureSink::start(const AudioFormat& format) {
  std::lock_guard<std::mutex> lock(mutex_);
  format_ = format;
}
void CaptureSink::put(const void* bytes, size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  bytes_.insert(bytes_.end(), p, p + count);
}
void CaptureSink::gap(size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  bytes_.insert(bytes_.end(), count, format_.bits == 8 ? 0x80 : 0);
}
void CaptureSink::take(AudioFormat* format, std::vector<uint8_t>* bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  *format = format_;
  bytes->swap(bytes_);
  bytes_.clear();
}

std::unique_ptr<AudioSink> make_wav_sink(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot write the audio recording \"" + path + "\": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<WavSink>(fd, path);
}

}  // namespace gp2x::host
