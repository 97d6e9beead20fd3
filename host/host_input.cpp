#include "host/host_input.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "host/gp2x_buttons.h"

namespace gp2x::host {

namespace {

// A program that waits for a button to be let go by reading its port again and again,
// without completing a frame, sees the change held for it after this many reads.
constexpr uint32_t kHoldReads = 16;
// A read this long after the program's last frame (or before its first) is not part of a
// frame: the program steps without showing frames (a tool, a test's own steps) and reads
// each change once.
constexpr uint64_t kNoFrameNs = 100000000;
// Changes of one button that wait to be shown, at most: a press and a release beyond it
// cancel out.
constexpr uint8_t kMostWaiting = 16;

}  // namespace

void Input::set_script(std::vector<ScriptEvent> events) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_ = std::move(events);
  // A script given while the program runs takes over from its last read: of the lines
  // due by then, only the last one is a change still to come.
  script_taken_ = 0;
  const uint64_t read_ms = last_read_ns_ / 1000000;
  while (script_taken_ + 1 < script_.size() && script_[script_taken_ + 1].ms <= read_ms) ++script_taken_;
}

void Input::set_held(uint32_t buttons) {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = buttons;
  change(scripted_ | held_);
}

uint32_t Input::held() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

void Input::frame_done(uint64_t now_ns) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++frames_;
  last_frame_ns_ = now_ns;
}

// Under the mutex. A button whose last change the program has not yet seen through keeps
// what it shows, and the change waits its turn.
void Input::change(uint32_t level) {
  uint32_t over = 0;
  for (uint32_t h = holding_; h; h &= h - 1)
    if (read_in_frame_[__builtin_ctz(h)] != frames_) over |= 1u << __builtin_ctz(h);
  end_holds(over);
  for (uint32_t toggled = level ^ level_; toggled; toggled &= toggled - 1) {
    const int b = __builtin_ctz(toggled);
    const uint32_t bit = 1u << b;
    if (!((unread_ | holding_) & bit) && waiting_[b] == 0) {
      shown_ ^= bit;
      unread_ |= bit;
    } else if (waiting_[b] < kMostWaiting) {
      ++waiting_[b];
    } else {
      --waiting_[b];
    }
  }
  level_ = level;
}

// Under the mutex. The buttons `ended` are seen through: each shows its next change.
void Input::end_holds(uint32_t ended) {
  holding_ &= ~ended;
  for (; ended; ended &= ended - 1) {
    const int b = __builtin_ctz(ended);
    if (waiting_[b] == 0) continue;
    --waiting_[b];
    shown_ ^= 1u << b;
    unread_ |= 1u << b;
  }
}

// Under the mutex. Each line of the script that has come due is a change of its own, even
// when a read sees several at once; lines of the same time are one change, the last.
void Input::take_script(uint64_t now_ns) {
  const uint64_t now_ms = now_ns / 1000000;
  while (script_taken_ < script_.size() && script_[script_taken_].ms <= now_ms) {
    const uint64_t at = script_[script_taken_].ms;
    while (script_taken_ + 1 < script_.size() && script_[script_taken_ + 1].ms == at) ++script_taken_;
    scripted_ = script_[script_taken_++].buttons;
    change(scripted_ | held_);
  }
}

uint32_t Input::read(uint32_t bits, uint64_t now_ns) {
  std::lock_guard<std::mutex> lock(mutex_);
  take_script(now_ns);
  last_read_ns_ = now_ns;
  const bool in_frame = frames_ != 0 && now_ns - last_frame_ns_ < kNoFrameNs;
  uint32_t ended = 0;
  for (uint32_t h = holding_ & bits; h; h &= h - 1) {
    const int b = __builtin_ctz(h);
    if (!in_frame || read_in_frame_[b] != frames_ || ++reads_since_[b] >= kHoldReads) ended |= 1u << b;
  }
  end_holds(ended);
  const uint32_t seen = shown_ & bits;
  const uint32_t delivered = unread_ & bits;
  unread_ &= ~delivered;
  if (!in_frame) {
    // No frame to hold a change through: the next change comes at the next read.
    end_holds(delivered);
    return seen;
  }
  holding_ |= delivered;
  for (uint32_t d = delivered; d; d &= d - 1) {
    const int b = __builtin_ctz(d);
    read_in_frame_[b] = frames_;
    reads_since_[b] = 0;
  }
  return seen;
}

bool parse_button_script(const std::string& text, std::vector<ScriptEvent>* events,
                         std::string* error) {
  std::vector<ScriptEvent> out;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto bad = [&](const std::string& why) {
    *error = "line " + std::to_string(number) + ": " + why + ": \"" + line + "\"";
    return false;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string content = line.substr(0, line.find('#'));
    // '+' joins names ("a+b"), but ends "vol+".
    for (size_t i = 0; i + 1 < content.size(); ++i)
      if (content[i] == '+' && std::isalnum(static_cast<unsigned char>(content[i + 1]))) content[i] = ' ';
    std::replace(content.begin(), content.end(), '\t', ' ');
    std::istringstream words(content);
    std::string word;
    if (!(words >> word)) continue;  // blank or comment only
    if (word.find_first_not_of("0123456789") != std::string::npos || word.size() > 12)
      return bad("expected a time in milliseconds first");
    ScriptEvent e{std::strtoull(word.c_str(), nullptr, 10), 0};
    if (!out.empty() && e.ms < out.back().ms) return bad("time goes back");
    bool up = false, down = false, left = false, right = false, any = false, none = false;
    while (words >> word) {
      any = true;
      uint32_t bit = buttons::button_from_name(word.c_str());
      if (word == "none" || word == "-") none = true;
      else if (bit == buttons::kUp) up = true;
      else if (bit == buttons::kDown) down = true;
      else if (bit == buttons::kLeft) left = true;
      else if (bit == buttons::kRight) right = true;
      else if (bit) e.buttons |= bit;
      else return bad("unknown button \"" + word + "\"");
    }
    if (!any) return bad("no buttons (write \"none\" to release all)");
    e.buttons |= buttons::stick_from_arrows(up, down, left, right);
    if (none && e.buttons) return bad("\"none\" together with buttons");
    out.push_back(e);
  }
  *events = std::move(out);
  return true;
}

}  // namespace gp2x::host
