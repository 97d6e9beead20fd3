// Fuzz targets of the sound library's loaders: a MOD module loaded and played through the
// mixer, a WAV file loaded and played, and MS-ADPCM blocks behind a valid header.
#include <cstring>
#include <string>
#include <vector>

#include "sound/qssData.h"
#include "tests/fuzz/fuzz_target.h"
#include "tests/sound/fake_driver.h"

namespace {

int Start(FakeSpeaker& speaker, qssMusic& music) {
  return speaker.playMusic(&music, QSS_ANY_CHANNEL);
}
int Start(FakeSpeaker& speaker, qssSound& sound) {
  return speaker.playSound(&sound, QSS_ANY_CHANNEL);
}

// Plays what loaded for a while in the output format the choice byte picks, at a speed
// and volume from it too. A low rate and up to 15 times the tempo take the tracker over
// many rows in few frames.
template <class Playable>
void Play(Playable& p, uint8_t choice) {
  FakeSpeaker speaker;
  const uint32_t bits = choice & 1 ? 8 : 16;
  const bool stereo = choice & 2;
  FUZZ_CHECK(speaker.open(8000, bits, stereo, 1, 1) == 0);
  p.speed(128 + (choice >> 2) * 28u);
  p.volume(choice % 65);
  p.loop(choice & 0x80);
  FUZZ_CHECK(Start(speaker, p) >= 0);
  for (int i = 0; i < 4; i++) speaker.pump(2048);
}

}  // namespace

// The first byte chooses the playing; the rest is the module.
int FuzzMod(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  qssMusic music;
  const int r = music.load(data + 1, size - 1, true);
  FUZZ_CHECK(r == 0 || r == -10 || r == -100 || r == -300);
  if (r != 0) return 0;
  FUZZ_CHECK(music.songLength() >= 1 && music.songLength() <= 128 && music.tracks() >= 1);
  Play(music, data[0]);
  return 0;
}

// The first byte chooses the playing; the rest is the WAV file.
int FuzzWav(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  qssSound sound;
  const int r = sound.load(data + 1, size - 1, true);
  FUZZ_CHECK(r == 0 || r == -10 || r == -100 || r == -300);
  if (r != 0) return 0;
  FUZZ_CHECK(sound.frames() < QSS_MAX_SOUND_FRAMES);
  Play(sound, data[0]);
  return 0;
}

// MS-ADPCM blocks: the first bytes choose the channels, the block size and the samples a
// block claims; the standard coefficients follow in a valid header; the rest is the data.
int FuzzAdpcm(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint8_t choice = in.Byte();
  const uint16_t channels = uint16_t(1 + (choice & 1));
  const uint16_t block = uint16_t((in.Byte() | in.Byte() << 8) & 0x7FF);
  const uint16_t perblock = uint16_t(in.Byte() | in.Byte() << 8);
  const std::string body = in.Rest();
  static const int16_t coefficients[7][2] = {{256, 0},   {512, -256}, {0, 0},    {192, 64},
                                             {240, 0},   {460, -208}, {392, -232}};
  std::vector<uint8_t> wav;
  auto put16 = [&](uint32_t v) {
    wav.push_back(uint8_t(v));
    wav.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  auto tag = [&](const char* t) { wav.insert(wav.end(), t, t + 4); };
  const uint32_t fmtsize = 16 + 2 + 2 + 2 + 7 * 4;
  tag("RIFF");
  put32(uint32_t(4 + 8 + fmtsize + 8 + body.size()));
  tag("WAVE");
  tag("fmt ");
  put32(fmtsize);
  put16(2);
  put16(channels);
  put32(22050);
  put32(22050u * block / (perblock ? perblock : 1));
  put16(block);
  put16(4);
  put16(32);  // the extra bytes: samples a block, coefficient count, coefficients
  put16(perblock);
  put16(7);
  for (const auto& c : coefficients) {
    put16(uint16_t(c[0]));
    put16(uint16_t(c[1]));
  }
  tag("data");
  put32(uint32_t(body.size()));
  wav.insert(wav.end(), body.begin(), body.end());
  qssSound sound;
  const int r = sound.load(wav.data(), wav.size(), true);
  FUZZ_CHECK(r == 0 || r == -10 || r == -100 || r == -300);
  if (r != 0) return 0;
  FUZZ_CHECK(sound.frames() < QSS_MAX_SOUND_FRAMES);
  Play(sound, choice);
  return 0;
}
