#include "host/host_input.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "host/gp2x_buttons.h"

namespace gp2x::host {

uint32_t Input::pressed(uint64_t now_ns) const {
  uint32_t scripted = 0;
  const uint64_t now_ms = now_ns / 1000000;
  auto after = std::upper_bound(script_.begin(), script_.end(), now_ms,
                                [](uint64_t t, const ScriptEvent& e) { return t < e.ms; });
  if (after != script_.begin()) scripted = std::prev(after)->buttons;
  return scripted | held();
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
