// The buttons held: set by the window's keys and game controllers (or a test), and, in a
// headless run, by a script of button changes over time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace gp2x::host {

struct ScriptEvent {
  uint64_t ms;       // from this time on...
  uint32_t buttons;  // ...exactly these buttons are held (gp2x_buttons.h bits)
};

// Reads a button script. Each line: a time in milliseconds and the buttons held from then
// on, separated by spaces or '+' ("none" for none); '#' starts a comment. Times must not go
// back. A bad line gives false and a message naming the line.
bool parse_button_script(const std::string& text, std::vector<ScriptEvent>* events,
                         std::string* error);

class Input {
 public:
  void set_script(std::vector<ScriptEvent> events) { script_ = std::move(events); }
  void set_held(uint32_t buttons) { held_.store(buttons, std::memory_order_relaxed); }
  uint32_t held() const { return held_.load(std::memory_order_relaxed); }
  // Everything pressed at time now: the held buttons and the script's.
  uint32_t pressed(uint64_t now_ns) const;

 private:
  std::vector<ScriptEvent> script_;  // fixed before the program runs
  std::atomic<uint32_t> held_{0};
};

}  // namespace gp2x::host
