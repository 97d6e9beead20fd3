// The one test double of the shoot-em-up's audio commands (pellax/platform/audio.h): each
// call is recorded rather than written to the second core's command block, so that tests
// see which music and effects the game asked for, in which order, without a sound device or
// a second core. It behaves as the real commands do where the game can tell: sfx_play
// chooses its effect through the platform's own mapping (and so makes the same random draw
// for a hit), and the volume steps as the block's volume does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct audio_event {
  std::string name;  // the function called, e.g. "music_load"
  int32_t arg;       // its number argument (sfx_play: n; loop_sound_level: the level), else 0
  int32_t detail;    // sfx_play: the effect triggered (-1: none); volume calls: the volume
                     // after; audio_shutdown: 1 when the register window was still open
  std::string path;  // music_load: the path
};

// The calls recorded since the last reset (tests may clear it).
std::vector<audio_event>& audio_events();
// The names of the calls in order, and the count of one name (with that argument when
// arg >= 0).
std::vector<std::string> audio_event_names();
int audio_event_count(const std::string& name, int32_t arg = -1);
// Starts over: no calls recorded, volume 144, master_volume_copy 0 (as at start-up).
void audio_standin_reset();
// The volume the block would hold now, and a volume to start from (the buttons only make
// multiples of 8).
int32_t audio_master_volume();
void audio_standin_set_volume(int32_t volume);
// Also prints each call on stderr ("audio: name arg detail path").
void audio_standin_echo(bool on);
