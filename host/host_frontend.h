// What shows the screen and gathers the buttons: the window, or nothing in a headless run.
#pragma once

#include <cstdint>

#include "host/host_framebuffer.h"

namespace gp2x::host {

class Frontend {
 public:
  virtual ~Frontend() = default;
  // A complete frame to show.
  virtual void present(const uint8_t* fb, const FbFormat& format) = 0;
  // Called often on the main thread: handle input and window events. Returns false when
  // the user closed the window.
  virtual bool pump() = 0;
};

}  // namespace gp2x::host
