// A record of the game's audio commands for the game's tests, in place of the platform's
// audio path: each call of audio.h is kept with its argument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct audio_event {
  std::string name;
  int32_t arg;
  std::string path;
};

std::vector<audio_event>& audio_events();
// The names of the calls in order, and the count of one name (with an argument when >= 0).
std::vector<std::string> audio_event_names();
int audio_event_count(const std::string& name, int32_t arg = -1);
