// The host layer built without SDL2 (a machine without it, or a build for another CPU):
// headless runs only. A request for a window or for the sound card is refused here, with
// the way out in the message.
#include "host/host_audio_sink.h"
#include "host/host_frontend.h"

namespace gp2x::host {

std::unique_ptr<Frontend> make_sdl_window(int, std::string* error) {
  *error = "cannot open a window: this build has no SDL2, only headless runs (try --headless)";
  return nullptr;
}

std::unique_ptr<AudioSink> make_sdl_sink(std::string* error) {
  *error = "cannot play on the sound card: this build has no SDL2";
  return nullptr;
}

}  // namespace gp2x::host
