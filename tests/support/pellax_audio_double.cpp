#include "tests/support/pellax_audio_double.h"

#include <cstdio>

#include "pellax/audio940/command_block.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/sound_effects.h"
#include "pellax/platform/video.h"

int32_t master_volume_copy = 0;

namespace {

constexpr int32_t kStartVolume = 144;
int32_t master_volume = kStartVolume;
bool echo = false;

void record(const char* name, int32_t arg = 0, int32_t detail = 0, const char* path = "") {
  audio_events().push_back({name, arg, detail, path ? path : ""});
  if (echo) std::fprintf(stderr, "audio: %s %d %d %s\n", name, int(arg), int(detail), path ? path : "");
}

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

void audio_standin_reset() {
  audio_events().clear();
  master_volume = kStartVolume;
  master_volume_copy = 0;
}
int32_t audio_master_volume() { return master_volume; }
void audio_standin_set_volume(int32_t volume) { master_volume = volume; }
void audio_standin_echo(bool on) { echo = on; }

void audio_init() { record("audio_init"); }
// Halting the second core needs the register window: note whether it was still open.
void audio_shutdown() { record("audio_shutdown", 0, io_regs != nullptr); }
void music_load(const char* path) { record("music_load", 0, 0, path); }
void music_on() { record("music_on"); }
void music_off() { record("music_off"); }
void music_restart() { record("music_restart"); }
void sfx_on() { record("sfx_on"); }
void sfx_off() { record("sfx_off"); }
void sfx_play(int32_t n) { record("sfx_play", n, sound_effect_for(n)); }
void loop_sound_start() { record("loop_sound_start"); }
void loop_sound_stop() { record("loop_sound_stop"); }
void loop_sound_level(int32_t level) { record("loop_sound_level", level); }

void volume_up() {
  master_volume = int32_t(audio940::volume_raised(uint32_t(master_volume)));
  record("volume_up", 0, master_volume);
}

int32_t volume_down() {
  master_volume = int32_t(audio940::volume_lowered(uint32_t(master_volume)));
  master_volume_copy = master_volume;
  record("volume_down", 0, master_volume);
  return 0;
}

int32_t volume_level() { return master_volume; }
