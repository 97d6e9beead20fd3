#include "host/gp2x_buttons.h"

#include <cctype>
#include <string>

namespace gp2x::buttons {
namespace {

struct Named {
  const char* name;
  uint32_t bit;
};
constexpr Named kNames[] = {
    {"up", kUp},       {"upleft", kUpLeft},     {"left", kLeft},   {"downleft", kDownLeft},
    {"down", kDown},   {"downright", kDownRight}, {"right", kRight}, {"upright", kUpRight},
    {"start", kStart}, {"select", kSelect},     {"l", kL},         {"r", kR},
    {"a", kA},         {"b", kB},               {"x", kX},         {"y", kY},
    {"voldown", kVolDown}, {"volup", kVolUp},   {"push", kPush},
};

}  // namespace

uint32_t stick_from_arrows(bool up, bool down, bool left, bool right) {
  if (up && down) up = down = false;
  if (left && right) left = right = false;
  if (up) return left ? kUpLeft : right ? kUpRight : kUp;
  if (down) return left ? kDownLeft : right ? kDownRight : kDown;
  return left ? kLeft : right ? kRight : 0;
}

uint32_t button_from_name(const char* name) {
  std::string s;
  for (const char* p = name; *p; ++p) {
    if (*p == '-' && p[1] != '\0') continue;  // "up-left", but keep a trailing "vol-"
    s += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  }
  if (s == "vol-") s = "voldown";
  if (s == "vol+") s = "volup";
  for (const Named& n : kNames)
    if (s == n.name) return n.bit;
  return 0;
}

}  // namespace gp2x::buttons
