#include "host/host_settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace gp2x::host {
namespace {

const char* env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

bool parse_u64(const char* text, uint64_t max, uint64_t* out) {
  if (!text || !*text || *text == '-' || *text == '+') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 0);
  if (errno || *end || v > max) return false;
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

bool settings_from_env(Settings* out, std::string* error) {
  Settings s;
  auto bad = [&](const char* name, const char* value, const char* expected) {
    *error = std::string(name) + "=\"" + value + "\": expected " + expected;
    return false;
  };
  auto number = [&](const char* name, uint64_t max, uint64_t* v) {
    const char* t = env(name);
    if (!t) return true;
    if (!parse_u64(t, max, v)) return bad(name, t, ("a number from 0 to " + std::to_string(max)).c_str());
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
  uint64_t v = 0;
  if (const char* t = env("GP2X_SCALE")) {
    if (!parse_u64(t, 8, &v) || v < 1) return bad("GP2X_SCALE", t, "a whole number from 1 to 8");
    s.scale = static_cast<int>(v);
  }
  v = s.timer_start;
  if (!number("GP2X_TIMER_START", UINT32_MAX, &v)) return false;
  s.timer_start = static_cast<uint32_t>(v);
  v = static_cast<uint64_t>(s.epoch_seconds);
  if (!number("GP2X_EPOCH", INT32_MAX, &v)) return false;
  s.epoch_seconds = static_cast<int64_t>(v);
  v = s.poll_ns;
  if (!number("GP2X_POLL_NS", 1000000, &v)) return false;
  s.poll_ns = static_cast<uint32_t>(v);
  if (const char* t = env("GP2X_BATTERY")) {
    if (!std::strcmp(t, "full")) s.battery = 1000;
    else if (!parse_u64(t, UINT16_MAX, &v)) return bad("GP2X_BATTERY", t, "full or a number from 0 to 65535");
    else s.battery = static_cast<uint16_t>(v);
  }
  if (const char* t = env("GP2X_AUDIO")) {
    if (std::strcmp(t, "sdl") && std::strcmp(t, "wav") && std::strcmp(t, "null"))
      return bad("GP2X_AUDIO", t, "sdl, wav or null");
    s.audio = t;
  }
  if (const char* t = env("GP2X_WAV")) s.wav_path = t;
  if (s.audio == "wav" && s.wav_path.empty()) {
    *error = "GP2X_AUDIO=wav needs GP2X_WAV, the file to record to";
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
        return bad("GP2X_SHOT_AT", t, "times in milliseconds separated by commas");
      s.shot_at_ms.push_back(static_cast<uint32_t>(v));
      if (comma == std::string::npos) break;
      pos = comma + 1;
    }
  }
  v = 0;
  if (!number("GP2X_SHOT_EVERY", UINT32_MAX, &v)) return false;
  s.shot_every_ms = static_cast<uint32_t>(v);
  if (!s.shots_dir.empty() && s.shot_at_ms.empty() && s.shot_every_ms == 0) s.shot_every_ms = 1000;
  if ((!s.shot_at_ms.empty() || s.shot_every_ms) && s.shots_dir.empty()) {
    *error = "GP2X_SHOT_AT and GP2X_SHOT_EVERY need GP2X_SHOTS, the folder for the pictures";
    return false;
  }
  if (const char* t = env("GP2X_UNTIL")) {
    if (!parse_u64(t, INT64_MAX / 1000000, &v)) return bad("GP2X_UNTIL", t, "a time in milliseconds");
    s.until_ms = static_cast<int64_t>(v);
  }
  if (const char* t = env("GP2X_EXEC")) s.exec_program = t;
  *out = s;
  return true;
}

}  // namespace gp2x::host
