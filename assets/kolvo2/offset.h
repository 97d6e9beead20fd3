// Taking the mean out of a synthesised sound: a mean is no sound, only headroom lost in the
// mix and a click where the sound stops.
//
//   RemoveOffset(v, v.size());   // played once: loses a smooth bump, zero at both ends
//   RemoveOffset(v, loopStart);  // looped from loopStart: loses the loop's mean everywhere,
//                                // a constant, so the loop's seam stays as it was
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace k2audio {

inline void RemoveOffset(std::vector<double>& v, size_t loopStart) {
  if (v.empty()) return;
  const bool once = loopStart >= v.size();
  const size_t from = once ? 0 : loopStart;
  double sum = 0;
  for (size_t i = from; i < v.size(); ++i) sum += v[i];
  const double mean = sum / static_cast<double>(v.size() - from);
  const double n = static_cast<double>(v.size());
  // 1 - cos over the whole sound averages exactly 1.
  for (size_t i = 0; i < v.size(); ++i)
    v[i] -= once ? mean * (1 - std::cos(2 * 3.14159265358979323846 * static_cast<double>(i) / n)) : mean;
}

}  // namespace k2audio
