// OSS "/dev/dsp": the format ioctls, a buffer of fragments, and blocking writes that drain
// at the format's byte rate on the layer's clock, so a writer thread is paced as on the
// console.
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/soundcard.h>
#include <memory>
#include <mutex>
#include <vector>

#include "host/host_audio_sink.h"
#include "host/host_device.h"
#include "host/host_runtime.h"
#include "host/host_second_core.h"

namespace gp2x::host {
namespace {

constexpr uint32_t kMaxBuffer = 1u << 20;

class DspDevice : public Device {
 public:
  explicit DspDevice(Runtime& rt)
      : rt_(rt), fragment_(rt.settings.dsp_fragment_size), fragments_(rt.settings.dsp_fragments) {
    // The program's writer thread is yet to come (see Clock::expect_thread).
    rt_.clock.expect_thread();
  }

  int ioctl(unsigned long request, void* arg) override {
    if (!arg) {
      errno = EFAULT;
      return -1;
    }
    // A program may wait for room by asking again and again: that costs time, as polls do.
    if (request == SNDCTL_DSP_GETOSPACE) rt_.poll();
    int* value = static_cast<int*>(arg);
    std::lock_guard<std::mutex> lock(mutex_);
    AudioFormat format = format_;
    switch (request) {
      case SNDCTL_DSP_SPEED:
        format.rate = static_cast<uint32_t>(std::clamp(*value, 4000, 192000));
        set_format(format);
        *value = static_cast<int>(format_.rate);
        return 0;
      case SNDCTL_DSP_SETFMT:
        if (*value == AFMT_U8) format.bits = 8;
        if (*value == AFMT_S16_LE) format.bits = 16;
        set_format(format);
        *value = format_.bits == 8 ? AFMT_U8 : AFMT_S16_LE;
        return 0;
      case SNDCTL_DSP_STEREO:
        format.channels = *value ? 2 : 1;
        set_format(format);
        *value = format_.channels - 1;
        return 0;
      case SNDCTL_DSP_CHANNELS:
        format.channels = *value >= 2 ? 2 : 1;
        set_format(format);
        *value = format_.channels;
        return 0;
      case SNDCTL_DSP_SETFRAGMENT: {
        const int shift = std::clamp(*value & 0xFFFF, 4, 16);
        const uint32_t count = std::clamp<uint32_t>(static_cast<uint32_t>(*value) >> 16, 2, 256);
        fragment_ = 1u << shift;
        fragments_ = std::min(count, kMaxBuffer / fragment_);
        *value = static_cast<int>(fragments_ << 16 | static_cast<uint32_t>(shift));
        return 0;
      }
      case SNDCTL_DSP_GETOSPACE: {
        audio_buf_info info{};
        const uint32_t free = buffer() - queued(rt_.clock.now_ns());
        info.fragments = static_cast<int>(free / fragment_);
        info.fragstotal = static_cast<int>(fragments_);
        info.fragsize = static_cast<int>(fragment_);
        info.bytes = static_cast<int>(free);
        *static_cast<audio_buf_info*>(arg) = info;
        return 0;
      }
      default:
        log_once("dsp ioctl " + std::to_string(request),
                 "\"/dev/dsp\" request " + std::to_string(request) + " is not emulated");
        errno = EINVAL;
        return -1;
    }
  }

  ssize_t write(const void* data, size_t count) override {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    // A second core that has faulted mixes nothing more: what is left in its buffers would
    // repeat as a buzz, so the device plays silence instead.
    std::vector<uint8_t> silence;
    if (!second_core_catch_up()) {
      silence.assign(count, 0);
      bytes = silence.data();
    }
    rt_.clock.arrived();
    std::unique_lock<std::mutex> lock(mutex_);
    AudioSink* sink = rt_.audio_sink();
    while (done < count) {
      if (closed_) {
        errno = EBADF;
        return done ? static_cast<ssize_t>(done) : -1;
      }
      const uint64_t now = rt_.clock.now_ns();
      catch_up(now, sink);
      const uint32_t free = buffer() - queued(now);
      const size_t want = std::min<size_t>(count - done, std::min(fragment_, buffer()));
      if (free >= want || free >= count - done) {
        const size_t n = std::min<size_t>(free, count - done);
        if (!sink_started_ || sink_format_ != format_) {
          sink->start(format_);
          sink_started_ = true;
          sink_format_ = format_;
        }
        sink->put(bytes + done, n);
        written_ += n;
        done += n;
        continue;
      }
      // Blocks until a fragment's worth (or the rest) fits, as the device's own write does.
      const uint64_t target = written_ + want - buffer();
      const uint64_t wake = base_ns_ + ns_for_counts(target - base_consumed_, format_.bytes_per_second());
      lock.unlock();
      rt_.clock.wait_until(wake, [this] { return closed_flag_.load(); });
      rt_.tick();
      lock.lock();
    }
    return static_cast<ssize_t>(done);
  }

  void closed() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      closed_flag_.store(true);
    }
    rt_.clock.expect_nobody();
    rt_.clock.wake_all();
    rt_.dsp_open.store(false);
  }

 private:
  uint32_t buffer() const { return fragment_ * fragments_; }

  uint64_t consumed(uint64_t now) const {
    const uint64_t played = now > base_ns_ ? counts_in(now - base_ns_, format_.bytes_per_second()) : 0;
    return std::min(written_, base_consumed_ + played);
  }
  uint32_t queued(uint64_t now) const {
    return static_cast<uint32_t>(std::min<uint64_t>(written_ - consumed(now), buffer()));
  }

  // When the buffer ran dry the device played silence; a recording gets that silence too,
  // and the drain starts again from now.
  void catch_up(uint64_t now, AudioSink* sink) {
    if (consumed(now) < written_) return;
    const uint64_t frame = format_.frame_bytes();
    const uint64_t dry_at = base_ns_ + ns_for_counts(written_ - base_consumed_, format_.bytes_per_second());
    if (written_ > 0 && now > dry_at && sink_started_) {
      const uint64_t silence = counts_in(now - dry_at, format_.bytes_per_second()) / frame * frame;
      if (silence) sink->gap(silence);
      written_ += silence;
    }
    base_ns_ = now;
    base_consumed_ = written_;
  }

  // A new format drops what was queued and restarts the drain at the new byte rate.
  void set_format(const AudioFormat& format) {
    if (format == format_) return;
    const uint64_t now = rt_.clock.now_ns();
    format_ = format;
    base_ns_ = now;
    base_consumed_ = written_;
  }

  Runtime& rt_;
  std::mutex mutex_;
  AudioFormat format_;  // OSS opens at 8 kHz, unsigned 8-bit, mono
  uint32_t fragment_, fragments_;
  uint64_t written_ = 0;        // bytes accepted since the open
  uint64_t base_ns_ = 0;        // the drain runs from this time...
  uint64_t base_consumed_ = 0;  // ...at this many bytes played
  bool closed_ = false;
  std::atomic<bool> closed_flag_{false};
  bool sink_started_ = false;
  AudioFormat sink_format_;
};

}  // namespace

std::shared_ptr<Device> make_dsp_device(int flags) {
  Runtime& rt = runtime();
  if ((flags & O_ACCMODE) == O_RDONLY) {
    errno = EINVAL;  // no recording on this device
    return nullptr;
  }
  if (!rt.settings.dsp) {
    errno = ENODEV;
    return nullptr;
  }
  if (rt.dsp_open.exchange(true)) {
    errno = EBUSY;
    return nullptr;
  }
  return std::make_shared<DspDevice>(rt);
}

}  // namespace gp2x::host
