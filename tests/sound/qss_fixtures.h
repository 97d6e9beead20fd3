// Builders of MOD and WAV images for the sound library's tests and benchmarks, and an
// MS-ADPCM encoder of our own, so no sample file comes from outside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A MOD image: 31 sample headers, order table, signature, patterns, sample data.
struct ModBuilder {
  struct Sample {
    std::vector<int8_t> data;  // even length
    uint8_t finetune = 0;
    uint8_t volume = 64;
    uint16_t repeatStart = 0;   // words
    uint16_t repeatLength = 0;  // words
  };
  std::string signature = "M.K.";
  uint32_t tracks = 4;
  uint8_t songLength = 1;
  uint8_t restart = 127;
  uint8_t orders[128] = {};
  Sample samples[31];
  std::vector<uint8_t> patternBytes;  // grown by cell()

  ModBuilder(uint32_t trackCount = 4, const char* sig = "M.K.");
  static uint32_t patternCount(const uint8_t* orders, uint32_t songLength);
  // One cell: sample 0..255, period 0..4095, effect 0..15, parameter.
  void cell(uint32_t pattern, uint32_t row, uint32_t track, uint32_t sample, uint32_t period,
            uint32_t effect = 0, uint32_t parameter = 0);
  std::vector<uint8_t> build() const;
};

// A RIFF WAVE image with a PCM or MS-ADPCM fmt chunk and optional chunks before "data".
struct WavBuilder {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 22050;
  uint16_t bits = 16;
  uint16_t blockAlign = 0;  // 0: channels x bits / 8
  std::vector<uint8_t> fmtExtra;  // after the 16 standard bytes
  std::vector<std::pair<std::string, std::vector<uint8_t>>> before;  // chunks before data
  std::vector<uint8_t> data;
  bool withData = true;

  // Appends 16-bit samples to data in the builder's bits (8-bit: the high byte, unsigned).
  void appendPcm(const std::vector<int16_t>& pcm);
  std::vector<uint8_t> build() const;
};

// Standard MS-ADPCM coefficient pairs.
extern const int16_t kAdpcmCoef[7][2];

// Encodes interleaved 16-bit PCM into MS-ADPCM blocks (whole blocks only; the tail is
// padded with its last frame). Returns a complete WAV image.
std::vector<uint8_t> encodeAdpcmWav(const std::vector<int16_t>& pcm, uint16_t channels,
                                    uint32_t rate, uint16_t blockAlign);
// Samples per block that fill a block exactly.
uint16_t adpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels);

// A test tone: `frames` frames of a sine sweep with some noise, interleaved.
std::vector<int16_t> testSignal(uint32_t frames, uint16_t channels, uint32_t seed);

// A playable module of `tracks` tracks with a few notes and effects in every track,
// `patterns` patterns in order.
std::vector<uint8_t> demoModule(uint32_t tracks, uint32_t patterns);
