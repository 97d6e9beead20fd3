// A test double of the game's audio commands (audio.h): each call is recorded rather than
// sent to the second core, so that game tests see which music and effects the game asked
// for, in which order, without a sound device or a second core.
#pragma once

#include <cstdint>

struct audio_call {
  char name[20];   // the function called, e.g. "music_load"
  int32_t arg;     // its number argument (sfx_play: n; loop_sound_level: the level), else 0
  int32_t detail;  // sfx_play: the effect triggered; volume calls: the volume after;
                   // audio_shutdown: 1 when the register window was still open
  char path[64];   // music_load: the path (cut to 63 characters)
};

constexpr int kAudioLogCapacity = 16384;

// Calls recorded since the last clear; the oldest are dropped past the capacity.
int audio_call_count();
const audio_call& audio_call_at(int i);
void audio_log_clear();
// Starts over: empty log, volume 144, audio not initialised.
void audio_standin_reset();
// The volume the block would hold now, and a volume to start from (the buttons only make
// multiples of 8).
int32_t audio_master_volume();
void audio_standin_set_volume(int32_t volume);
// Also prints each call on stderr ("audio: name arg detail path").
void audio_standin_echo(bool on);
