#include "tests/pellax/platform/audio_recorder.h"

#include <cstdio>
#include <cstring>

#include "pellax/audio940/command_block.h"
#include "pellax/game/random.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/video.h"

int32_t master_volume_copy = 0;

namespace {

audio_call audio_log[kAudioLogCapacity];
int audio_log_start = 0;
int audio_log_size = 0;
int32_t master_volume = 144;
bool echo = false;

void record(const char* name, int32_t arg = 0, int32_t detail = 0, const char* path = "") {
  const int slot = (audio_log_start + audio_log_size) % kAudioLogCapacity;
  if (audio_log_size == kAudioLogCapacity) audio_log_start = (audio_log_start + 1) % kAudioLogCapacity;
  else ++audio_log_size;
  audio_call& c = audio_log[slot];
  std::strncpy(c.name, name, sizeof c.name - 1);
  c.name[sizeof c.name - 1] = '\0';
  c.arg = arg;
  c.detail = detail;
  std::strncpy(c.path, path ? path : "", sizeof c.path - 1);
  c.path[sizeof c.path - 1] = '\0';
  if (echo) std::fprintf(stderr, "audio: %s %d %d %s\n", c.name, int(arg), int(detail), c.path);
}

}  // namespace

int audio_call_count() { return audio_log_size; }
const audio_call& audio_call_at(int i) {
  return audio_log[(audio_log_start + i) % kAudioLogCapacity];
}
void audio_log_clear() { audio_log_start = audio_log_size = 0; }
void audio_standin_reset() {
  audio_log_clear();
  master_volume = 144;
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

void sfx_play(int32_t n) {
  int32_t effect = 0;
  switch (n) {
    case 1: effect = 5; break;
    case 2: effect = 4; break;
    // The hit sound is one of three, and the choice draws from the game's generator.
    case 3: effect = 1 + random_range(0, 1000) % 3; break;
    case 4: effect = 6; break;
    case 5: effect = 7; break;
    case 6: effect = 8; break;
    default: break;
  }
  record("sfx_play", n, effect);
}

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
