#include "tests/pellax/game/audio_double.h"

#include "pellax/audio940/command_block.h"
#include "pellax/platform/audio.h"

int32_t master_volume_copy = 0;

namespace {
uint32_t master_volume = audio940::kInitialVolume;
}  // namespace

std::vector<audio_event>& audio_events() {
  static std::vector<audio_event> events;
  return events;
}

std::vector<std::string> audio_event_names() {
  std::vector<std::string> names;
  for (const audio_event& e : audio_events()) names.push_back(e.name);
  return names;
}

int audio_event_count(const std::string& name, int32_t arg) {
  int n = 0;
  for (const audio_event& e : audio_events()) n += e.name == name && (arg < 0 || e.arg == arg);
  return n;
}

namespace {
void note(const char* name, int32_t arg = 0, const char* path = "") { audio_events().push_back({name, arg, path}); }
}  // namespace

void audio_init() { note("audio_init"); }
void audio_shutdown() { note("audio_shutdown"); }
void music_load(const char* path) { note("music_load", 0, path); }
void music_on() { note("music_on"); }
void music_off() { note("music_off"); }
void music_restart() { note("music_restart"); }
void sfx_on() { note("sfx_on"); }
void sfx_off() { note("sfx_off"); }
void sfx_play(int32_t n) { note("sfx_play", n); }
void loop_sound_start() { note("loop_sound_start"); }
void loop_sound_stop() { note("loop_sound_stop"); }
void loop_sound_level(int32_t level) { note("loop_sound_level", level); }
void volume_up() {
  master_volume = audio940::volume_raised(master_volume);
  note("volume_up");
}
int32_t volume_down() {
  master_volume = audio940::volume_lowered(master_volume);
  master_volume_copy = int32_t(master_volume);
  note("volume_down");
  return 0;
}
int32_t volume_level() { return int32_t(master_volume); }
