// What shows the screen and gathers the buttons: the window, or nothing in a headless run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/host_framebuffer.h"

namespace gp2x::host {

class Frontend {
 public:
  virtual ~Frontend() = default;
  // A complete frame to show.
  virtual void present(const uint8_t* fb, const FbFormat& format) = 0;
  enum class Event { kNone, kQuit, kScreenshot };
  // Called often on the main thread: takes in keys, controllers and window events and sets
  // the buttons held (through set_buttons). kQuit: the user closed the window; kScreenshot:
  // the user asked for a picture of the screen.
  virtual Event pump() = 0;
};

// The SDL2 window: the 320x240 picture scaled by `scale`, or by the largest whole scale
// that fits the display when `scale` is 0 or too large (the latter with a note). Null with
// a message on failure.
std::unique_ptr<Frontend> make_sdl_window(int scale, std::string* error);

}  // namespace gp2x::host
