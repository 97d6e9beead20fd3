// The buttons held: set by the window's keys and game controllers (or a test), and, in a
// headless run, by a script of button changes over time.
#pragma once

#include <cstdint>
#include <mutex>
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

// What the program reads of the buttons. Each change of a button is shown to the program
// until it has read it, on the port that carries that button, and then for the rest of the
// frame it read it in: a key tapped between two reads (a quick tap, a tool sending keys, a
// frame that came late) still reaches a game that looks once a frame, or one that reads
// the port several times a frame and acts on a later read; a quick second press is a press
// of its own. A button held across reads reads as it is. A program that reads the port
// without completing frames (a loop waiting for a button to be let go, a program or test
// that shows no frames) sees each change at one read and the next change at its next.
// Headless, all of it follows from the script's times, the reads' times on the virtual
// clock and the frames, so a run repeats exactly.
class Input {
 public:
  // The script's lines from now on (a test may give a new one while the program runs).
  void set_script(std::vector<ScriptEvent> events);
  // The buttons the window or a test holds now (in addition to the script's); each call is
  // a change the program is to see.
  void set_held(uint32_t buttons);
  uint32_t held() const;
  // A read, at time now, of the port that carries the buttons `bits`: those of them the
  // program sees pressed.
  uint32_t read(uint32_t bits, uint64_t now_ns);
  // The program completed a frame at time now.
  void frame_done(uint64_t now_ns);

 private:
  void change(uint32_t level);
  void end_holds(uint32_t ended);
  void take_script(uint64_t now_ns);

  mutable std::mutex mutex_;
  std::vector<ScriptEvent> script_;  // fixed before the program runs
  size_t script_taken_ = 0;          // the script's lines taken in so far
  uint32_t scripted_ = 0, held_ = 0;
  uint32_t level_ = 0;    // what is pressed now: scripted_ | held_
  uint32_t shown_ = 0;    // what reads deliver
  uint32_t unread_ = 0;   // changed in shown_, and no read of its port has delivered it yet
  uint32_t holding_ = 0;  // delivered, and kept for the rest of the frame it was read in
  uint64_t frames_ = 0;
  uint64_t last_frame_ns_ = 0;
  uint64_t last_read_ns_ = 0;
  uint64_t read_in_frame_[32] = {};
  uint32_t reads_since_[32] = {};
  uint8_t waiting_[32] = {};  // changes of each button not yet shown
};

}  // namespace gp2x::host
