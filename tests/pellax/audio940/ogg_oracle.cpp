#include "tests/pellax/audio940/ogg_oracle.h"

#include <cmath>
#include <string>

#include "assets/pellax/ogg_encode.h"
#include "pellax/audio940/direct_decode.h"

namespace ogg_oracle {

namespace {

pxsynth::Stereo tones(double seconds, double left_hz, double right_hz, float amplitude) {
  pxsynth::Stereo s(size_t(seconds * pxsynth::kRate));
  for (size_t i = 0; i < s.frames(); ++i) {
    const double t = double(i) / pxsynth::kRate;
    s.l[i] = amplitude * float(std::sin(2 * pxsynth::kPi * left_hz * t));
    s.r[i] = amplitude * float(std::sin(2 * pxsynth::kPi * right_hz * t));
  }
  return s;
}

}  // namespace

std::vector<uint8_t> tone_stream(double seconds, double left_hz, double right_hz, float amplitude,
                                 uint32_t serial) {
  return pxsynth::encode_ogg(tones(seconds, left_hz, right_hz, amplitude), 0.3f, serial);
}

std::vector<uint8_t> tagged_stream(double seconds, uint32_t tag_bytes, uint32_t serial) {
  std::string tag(tag_bytes, 'x');
  for (uint32_t i = 0; i < tag_bytes; ++i) tag[i] = char('A' + (i * 7 + i / 26) % 26);
  return pxsynth::encode_ogg(tones(seconds, 330, 440, 0.5f), 0.3f, serial, tag);
}

std::vector<uint8_t> chained_stream(int links, double seconds_each) {
  std::vector<uint8_t> out;
  for (int i = 0; i < links; ++i) {
    const std::vector<uint8_t> link =
        tone_stream(seconds_each, 200 + 20 * i, 300 + 20 * i, 0.4f, uint32_t(50 + i));
    out.insert(out.end(), link.begin(), link.end());
  }
  return out;
}

std::vector<int16_t> decode(const std::vector<uint8_t>& stream, bool* opened) {
  return audio940::direct_decode(stream, opened);
}

}  // namespace ogg_oracle
