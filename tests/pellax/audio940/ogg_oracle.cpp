#include "tests/pellax/audio940/ogg_oracle.h"

#include <cmath>

#include "assets/pellax/ogg_encode.h"
#include "pellax/audio940/direct_decode.h"

namespace ogg_oracle {

std::vector<uint8_t> tone_stream(double seconds, double left_hz, double right_hz, float amplitude,
                                 uint32_t serial) {
  pxsynth::Stereo s(size_t(seconds * pxsynth::kRate));
  for (size_t i = 0; i < s.frames(); ++i) {
    const double t = double(i) / pxsynth::kRate;
    s.l[i] = amplitude * float(std::sin(2 * pxsynth::kPi * left_hz * t));
    s.r[i] = amplitude * float(std::sin(2 * pxsynth::kPi * right_hz * t));
  }
  return pxsynth::encode_ogg(s, 0.3f, serial);
}

std::vector<int16_t> decode(const std::vector<uint8_t>& stream, bool* opened) {
  return audio940::direct_decode(stream, opened);
}

}  // namespace ogg_oracle
