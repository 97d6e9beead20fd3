// The game's eight sound effects, synthesised, and the WAV files they are stored in:
// "fmt " the first chunk (at byte 12), 16-bit PCM or MS-ADPCM with the seven standard
// coefficient pairs, mono at 22,050 Hz. The game takes the effects by position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k2audio {

constexpr uint32_t kEffectRate = 22050;

struct Effect {
  std::string name;         // the entry's name in the pack
  std::vector<int16_t> pcm;  // the synthesised sound
  bool adpcm = false;        // stored as MS-ADPCM
};

// In the order the game numbers them: menu and turn, hard drop, rows cleared, piece
// locked, intro logo, then three the game loads but does not play.
std::vector<Effect> MakeEffects();

// A RIFF WAVE file of 16-bit mono PCM.
std::vector<uint8_t> EncodePcmWav(const std::vector<int16_t>& pcm, uint32_t rate);
// A RIFF WAVE file of mono MS-ADPCM in blocks of `blockAlign` bytes; the last block is
// filled up with silence. Each block takes the predictor and starting step that follow
// its samples best.
std::vector<uint8_t> EncodeAdpcmWav(const std::vector<int16_t>& pcm, uint32_t rate, uint16_t blockAlign = 512);
// The file of an effect as it is stored.
std::vector<uint8_t> EffectFile(const Effect& e);

}  // namespace k2audio
