#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/host_audio_sink.h"
#include "host/host_runtime.h"

namespace gp2x::host {
namespace {

// While it lives, standard error goes nowhere: the audio library under SDL prints its own
// lines for every device it probes and misses, before SDL reports the failure that this
// layer then puts in one line of its own.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    saved_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (saved_ >= 0) ::dup2(null, 2);
    ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

class SdlSink : public AudioSink {
 public:
  ~SdlSink() override { finish(); }

  void start(const AudioFormat& format) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_ || (device_ && format == format_)) return;
    if (device_) SDL_CloseAudioDevice(device_);
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.rate);
    want.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (!device_) {
      log_once("sdl audio", std::string("cannot open the sound card: ") + SDL_GetError());
      return;
    }
    format_ = format;
    part_.clear();
    SDL_PauseAudioDevice(device_, 0);
  }

  // The card takes from the queue whenever it needs a buffer, and what the queue lacks it
  // plays as silence: a piece of a frame queued alone would shift every later sample by
  // its bytes. So only whole frames are queued; a piece waits here for the rest.
  void put(const void* bytes, size_t count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_) return;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    const size_t frame = format_.frame_bytes();
    if (!part_.empty()) {
      const size_t n = std::min(count, frame - part_.size());
      part_.insert(part_.end(), p, p + n);
      p += n;
      count -= n;
      if (part_.size() < frame) return;
      SDL_QueueAudio(device_, part_.data(), static_cast<Uint32>(frame));
      part_.clear();
    }
    const size_t whole = count / frame * frame;
    if (whole) SDL_QueueAudio(device_, p, static_cast<Uint32>(whole));
    part_.assign(p + whole, p + count);
  }

  void gap(size_t) override {}  // the sound card plays silence by itself

  void finish() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (device_) SDL_CloseAudioDevice(device_);
    device_ = 0;
    finished_ = true;
  }

 private:
  std::mutex mutex_;
  SDL_AudioDeviceID device_ = 0;
  AudioFormat format_;
  std::vector<uint8_t> part_;  // the start of a frame whose rest is yet to come
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<AudioSink> make_sdl_sink(std::string* error) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the host layer takes SIGINT and SIGTERM
  int started;
  {
    QuietStderr quiet;
    started = SDL_InitSubSystem(SDL_INIT_AUDIO);
  }
  if (started != 0) {
    *error = std::string("cannot start SDL audio: ") + SDL_GetError();
    return nullptr;
  }
  // A machine without a sound card is told at the start, not at the program's first sound.
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 1024;
  SDL_AudioDeviceID probe;
  {
    QuietStderr quiet;
    probe = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  }
  if (!probe) {
    *error = std::string("cannot open the sound card: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  SDL_CloseAudioDevice(probe);
  return std::make_unique<SdlSink>();
}

}  // namespace gp2x::host
