#include <SDL.h>

#include "host/host_audio_sink.h"
#include "host/host_runtime.h"

namespace gp2x::host {
namespace {

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
    SDL_PauseAudioDevice(device_, 0);
  }

  void put(const void* bytes, size_t count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (device_) SDL_QueueAudio(device_, bytes, static_cast<Uint32>(count));
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
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<AudioSink> make_sdl_sink(std::string* error) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the host layer takes SIGINT and SIGTERM
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    *error = std::string("cannot start SDL audio: ") + SDL_GetError();
    return nullptr;
  }
  // A machine without a sound card is told at the start, not at the program's first sound.
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 1024;
  const SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (!probe) {
    *error = std::string("cannot open the sound card: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  SDL_CloseAudioDevice(probe);
  return std::make_unique<SdlSink>();
}

}  // namespace gp2x::host
