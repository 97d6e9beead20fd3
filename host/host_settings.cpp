#include "host/host_settings.h"

#include <cstdlib>
#include <cstring>

namespace gp2x::host {
namespace {

const char* env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

// Decimal digits, or hexadecimal after "0x": a leading 0 is no octal prefix, since a
// person writing 0100 means a hundred.
bool parse_u64(const char* text, uint64_t max, uint64_t* out) {
  if (!text || !*text) return false;
  unsigned base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
    if (!*text) return false;
  }
  uint64_t v = 0;
  for (const char* c = text; *c; ++c) {
    unsigned digit;
    if (*c >= '0' && *c <= '9') digit = static_cast<unsigned>(*c - '0');
    else if (base == 16 && *c >= 'a' && *c <= 'f') digit = static_cast<unsigned>(*c - 'a' + 10);
    else if (base == 16 && *c >= 'A' && *c <= 'F') digit = static_cast<unsigned>(*c - 'A' + 10);
    else return false;
    if (digit > max || v > (max - digit) / base) return false;
    v = v * base + digit;
  }
  *out = v;
  return true;
}

bool parse_bool(const char* text, bool* out) {
  if (!std::strcmp(text, "1") || !std::strcmp(text, "yes") || !std::strcmp(text, "true")) {
    *out = true;
    return true;
  }
  if (!std::strcmp(text, "0") || !std::strcmp(text, "no") || !std::strcmp(text, "false")) {
    *out = false;
    return true;
  }
  return false;
}

}  // namespace

std::string setting_name(const std::string& variable) {
  // "GP2X_SCALE=--scale GP2X_UNTIL=--until ...", as play.sh's option reader writes it.
  const char* names = env("GP2X_OPTION_NAMES");
  if (!names) return variable;
  const std::string list = names, key = variable + "=";
  for (size_t pos = 0; pos < list.size();) {
    size_t end = list.find(' ', pos);
    if (end == std::string::npos) end = list.size();
    if (list.compare(pos, key.size(), key) == 0 && pos + key.size() < end)
      return list.substr(pos + key.size(), end - pos - key.size());
    pos = end + 1;
  }
  return variable;
}

bool settings_from_env(Settings* out, std::string* error) {
  Settings s;
  auto bad = [&](const char* name, const char* value, const std::string& expected) {
    const std::string shown = setting_name(name);
    *error = shown + (shown == name ? "=\"" : " \"") + value + "\": expected " + expected;
    return false;
  };
  auto range = [](uint64_t min, uint64_t max) {
    return "from " + std::to_string(min) + " to " + std::to_string(max);
  };
  auto number = [&](const char* name, uint64_t min, uint64_t max, const char* what, uint64_t* v) {
    const char* t = env(name);
    if (!t) return true;
    if (!parse_u64(t, max, v) || *v < min) return bad(name, t, std::string(what) + " " + range(min, max));
    return true;
  };

  if (const char* t = env("GP2X_HEADLESS"); t && !parse_bool(t, &s.headless))
    return bad("GP2X_HEADLESS", t, "1 or 0");
  s.virtual_clock = s.headless;
  if (const char* t = env("GP2X_CLOCK")) {
    if (!std::strcmp(t, "virtual")) s.virtual_clock = true;
    else if (!std::strcmp(t, "real")) s.virtual_clock = false;
    else return bad("GP2X_CLOCK", t, "virtual or real");
  }
  uint64_t v = static_cast<uint64_t>(s.scale);
  if (!number("GP2X_SCALE", 1, kMaxScale, "a whole number", &v)) return false;
  s.scale = static_cast<int>(v);
  v = s.timer_start;
  if (!number("GP2X_TIMER_START", 0, UINT32_MAX, "a count", &v)) return false;
  s.timer_start = static_cast<uint32_t>(v);
  v = static_cast<uint64_t>(s.epoch_seconds);
  if (!number("GP2X_EPOCH", 0, INT32_MAX, "seconds", &v)) return false;
  s.epoch_seconds = static_cast<int64_t>(v);
  // A read that costs no time never lets a program that waits on the clock go on.
  v = s.poll_ns;
  if (!number("GP2X_POLL_NS", 1, 1000000, "nanoseconds", &v)) return false;
  s.poll_ns = static_cast<uint32_t>(v);
  if (const char* t = env("GP2X_BATTERY")) {
    if (!std::strcmp(t, "full")) s.battery = 1000;
    else if (!parse_u64(t, UINT16_MAX, &v)) return bad("GP2X_BATTERY", t, "full or a number " + range(0, UINT16_MAX));
    else s.battery = static_cast<uint16_t>(v);
  }
  if (const char* t = env("GP2X_AUDIO")) {
    if (std::strcmp(t, "sdl") && std::strcmp(t, "wav") && std::strcmp(t, "null"))
      return bad("GP2X_AUDIO", t, "sdl, wav or null");
    s.audio = t;
  }
  if (const char* t = env("GP2X_WAV")) s.wav_path = t;
  if (s.audio == "wav" && s.wav_path.empty()) {
    *error = setting_name("GP2X_AUDIO") + " wav needs " + setting_name("GP2X_WAV") + ", the file to record to";
    return false;
  }
  if (const char* t = env("GP2X_SCRIPT")) s.script_path = t;
  if (const char* t = env("GP2X_SHOTS")) s.shots_dir = t;
  if (const char* t = env("GP2X_SHOT_AT")) {
    std::string list = t;
    size_t pos = 0;
    while (pos <= list.size()) {
      size_t comma = list.find(',', pos);
      std::string item = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      if (!parse_u64(item.c_str(), UINT32_MAX, &v))
        return bad("GP2X_SHOT_AT", t, "times in milliseconds " + range(0, UINT32_MAX) + ", separated by commas");
      s.shot_at_ms.push_back(static_cast<uint32_t>(v));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }
  v = 0;
  if (!number("GP2X_SHOT_EVERY", 0, UINT32_MAX, "milliseconds", &v)) return false;
  s.shot_every_ms = static_cast<uint32_t>(v);
  if (!s.shots_dir.empty() && s.shot_at_ms.empty() && s.shot_every_ms == 0) s.shot_every_ms = 1000;
  if ((!s.shot_at_ms.empty() || s.shot_every_ms) && s.shots_dir.empty()) {
    *error = setting_name("GP2X_SHOT_AT") + " and " + setting_name("GP2X_SHOT_EVERY") + " need " +
             setting_name("GP2X_SHOTS") + ", the folder for the pictures";
    return false;
  }
  if (env("GP2X_UNTIL")) {
    v = 0;
    if (!number("GP2X_UNTIL", 0, INT64_MAX / 1000000, "a time in milliseconds", &v)) return false;
    s.until_ms = static_cast<int64_t>(v);
  }
  if (const char* t = env("GP2X_EXEC")) s.exec_program = t;
  *out = s;
  return true;
}

}  // namespace gp2x::host
