// Where the sound written to "/dev/dsp" goes: nowhere, a WAV file, or the PC's sound card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gp2x::host {

struct AudioFormat {
  uint32_t rate = 8000;  // frames a second
  int bits = 8;          // 8: unsigned, 16: signed little-endian
  int channels = 1;
  uint32_t frame_bytes() const { return static_cast<uint32_t>(channels * bits / 8); }
  uint32_t bytes_per_second() const { return rate * frame_bytes(); }
  bool operator==(const AudioFormat& o) const {
    return rate == o.rate && bits == o.bits && channels == o.channels;
  }
  bool operator!=(const AudioFormat& o) const { return !(*this == o); }
};

// Sinks are called from the thread that writes to the device and, at the end of a run,
// from the main thread: each guards itself.
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // The format of the bytes that follow.
  virtual void start(const AudioFormat& format) = 0;
  virtual void put(const void* bytes, size_t count) = 0;
  // The device ran dry for this many bytes' time: a recording keeps its timing with silence.
  virtual void gap(size_t count) = 0;
  // End of the run: nothing more is accepted.
  virtual void finish() = 0;
};

std::unique_ptr<AudioSink> make_null_sink();
// Keeps everything in memory for tests (gaps as silence); take() hands it over.
class CaptureSink : public AudioSink {
 public:
  void start(const AudioFormat& format) override;
  void put(const void* bytes, size_t count) override;
  void gap(size_t count) override;
  void finish() override {}
  void take(AudioFormat* format, std::vector<uint8_t>* bytes);

 private:
  std::mutex mutex_;
  AudioFormat format_;
  std::vector<uint8_t> bytes_;
};
// Creates (truncates) the file now, so that a bad path is reported at once; null with a
// message on failure. The file is a valid WAV file after every write.
std::unique_ptr<AudioSink> make_wav_sink(const std::string& path, std::string* error);
// The PC's sound card through SDL; null with a message when there is none to open.
std::unique_ptr<AudioSink> make_sdl_sink(std::string* error);

}  // namespace gp2x::host
