// The tracker instruments of the game's music, synthesised: signed 8-bit samples with an
// attack part and a loop (pitched voices) or played once (drums). Each says at which
// tracker note (index into the period table, 24 = period 428) it sounds which pitch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k2audio {

struct Instrument {
  std::string preset;
  std::vector<int8_t> data;  // even length
  uint32_t loopStart = 0;    // bytes; a loop only when loopLength > 0
  uint32_t loopLength = 0;
  int rootIndex = 24;        // tracker note index that plays the root
  int rootMidi = 60;         // the root's pitch (MIDI note number)
};

// One of: "lead", "bell", "bass", "pad", "pluck", "kick", "snare", "hat", "openhat",
// "crash", "tom". Throws std::runtime_error for another name.
Instrument MakeInstrument(const std::string& preset);

}  // namespace k2audio
