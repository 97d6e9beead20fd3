#include "assets/kolvo2/instruments.h"

#include "assets/kolvo2/noise.h"
#include "assets/kolvo2/offset.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace k2audio {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Playback rates of the tracker notes 24 (period 428) and 36 (period 214).
constexpr double kRate24 = 7159090.0 / (2 * 428);
constexpr double kRate36 = 7159090.0 / (2 * 214);

// Scales to a peak of `peak` (of 127) and rounds to signed 8 bits, to an even length.
std::vector<int8_t> Quantise(const std::vector<double>& v, double peak) {
  double most = 1e-9;
  for (double x : v) most = std::max(most, std::fabs(x));
  std::vector<int8_t> out;
  for (double x : v) out.push_back(static_cast<int8_t>(std::lround(std::clamp(x / most * peak, -127.0, 127.0))));
  if (out.size() % 2) out.push_back(0);
  return out;
}

// A pitched voice: `attack` samples whose timbre and level move towards the loop's, then
// a loop of `cycles` whole periods of `period` samples. wave(phase, t) gives the sound at
// a phase in cycles (the second oscillator's phase runs one cycle more per loop, for a
// slow chorus) and a time t in samples from the start.
Instrument Voice(const std::string& name, int period, int cycles, int attack, int rootMidi,
                 const std::function<double(double p1, double p2, double t)>& wave, double peak) {
  Instrument in;
  in.preset = name;
  const int loop = period * cycles;
  std::vector<double> v;
  // Notes are often cut before they end. A wave that starts at a zero crossing going up
  // keeps a one-sided running sum (a low note cut anywhere leaves a positive offset in
  // the music); starting a quarter cycle on, at its crest under the rising envelope, the
  // sum swings about zero wherever the note is cut.
  for (int n = 0; n < attack + loop; ++n) {
    const double p1 = static_cast<double>(n) / period + 0.25;
    const double p2 = static_cast<double>(n) * (cycles + 1) / loop;
    v.push_back(wave(p1, p2, std::min(n, attack)));
  }
  RemoveOffset(v, static_cast<size_t>(attack));
  in.data = Quantise(v, peak);
  in.loopStart = static_cast<uint32_t>(attack);
  in.loopLength = static_cast<uint32_t>(loop);
  in.rootIndex = 24;
  in.rootMidi = rootMidi;
  return in;
}

// A sum of harmonics 1..count with amplitude amp(k) at a phase in cycles.
double Harmonics(double phase, int count, const std::function<double(int)>& amp) {
  double s = 0;
  for (int k = 1; k <= count; ++k) s += amp(k) * std::sin(2 * kPi * k * phase);
  return s;
}

// A sound played once at the rate of tracker note 36, from sample(t) with t in seconds.
Instrument OneShot(const std::string& name, double seconds, int rootMidi, const std::function<double(double t, int n)>& sample,
                   double peak) {
  Instrument in;
  in.preset = name;
  std::vector<double> v;
  const int n = static_cast<int>(seconds * kRate36);
  for (int i = 0; i < n; ++i) v.push_back(sample(i / kRate36, i));
  // A short fade at the end, so nothing clicks when the sample runs out.
  for (int i = 0; i < 64 && i < n; ++i) v[n - 1 - i] *= i / 64.0;
  RemoveOffset(v, v.size());
  in.data = Quantise(v, peak);
  in.rootIndex = 36;
  in.rootMidi = rootMidi;
  return in;
}

// Noise through a one-pole high-pass (coefficient a) and low-pass (b), kept per sound.
struct Filtered {
  double hpIn = 0, hpOut = 0, lp = 0;
  double Next(double x, double a, double b) {
    hpOut = a * (hpOut + x - hpIn);
    hpIn = x;
    lp += b * (hpOut - lp);
    return lp;
  }
};

}  // namespace

Instrument MakeInstrument(const std::string& preset) {
  if (preset == "lead") {
    // A soft pulse, 30 % duty, with a chorus voice; brighter for the first 40 ms.
    return Voice(preset, 32, 216, 320, 60, [](double p1, double p2, double t) {
      const double bright = 1 + 2.0 * std::exp(-t / 110.0);
      auto amp = [&](int k) {
        const double pulse = std::sin(kPi * k * 0.3) / k;
        return pulse / (1 + std::pow(k / (4.5 * bright), 2));
      };
      const double level = std::min(1.0, t / 24.0 + 0.05);
      return level * (Harmonics(p1, 15, amp) + 0.55 * Harmonics(p2, 15, amp));
    }, 118);
  }
  if (preset == "pad") {
    // Mellow: odd harmonics falling fast, two voices; fades in over 60 ms.
    return Voice(preset, 32, 216, 500, 60, [](double p1, double p2, double t) {
      auto amp = [](int k) { return k % 2 ? 1.0 / (k * k) : 0.08 / k; };
      const double level = std::min(1.0, t / 500.0);
      return level * (Harmonics(p1, 15, amp) + 0.8 * Harmonics(p2, 15, amp));
    }, 110);
  }
  if (preset == "bass") {
    // A rounded saw with a plucked start.
    return Voice(preset, 128, 8, 900, 36, [](double p1, double, double t) {
      const double bright = 1 + 3.0 * std::exp(-t / 220.0);
      auto amp = [&](int k) { return 1.0 / k / (1 + std::pow(k / (3.0 * bright), 2)); };
      const double level = std::min(1.0, t / 16.0 + 0.1) * (1 + 0.25 * std::exp(-t / 300.0));
      return level * (Harmonics(p1, 40, amp) + 0.35 * std::sin(2 * kPi * p1));
    }, 120);
  }
  if (preset == "bell") {
    // Two-operator FM, the modulator at 3.5 times the carrier, its depth dying away.
    const double f = 523.25;
    return OneShot(preset, 0.9, 72, [f](double t, int) {
      const double index = 2.2 * std::exp(-t / 0.18) + 0.3;
      const double env = std::exp(-t / 0.32) * std::min(1.0, t / 0.002);
      return env * std::sin(2 * kPi * f * t + index * std::sin(2 * kPi * 3.5 * f * t));
    }, 120);
  }
  if (preset == "pluck") {
    // A plucked string: bright harmonics that die faster the higher they are.
    const double f = 523.25;
    return OneShot(preset, 0.6, 72, [f](double t, int) {
      double s = 0;
      for (int k = 1; k <= 12; ++k)
        s += std::sin(2 * kPi * k * f * t) / k * std::exp(-t * (4.0 + 2.2 * k * k)) * (k % 2 ? 1.0 : 0.6);
      return s * std::min(1.0, t / 0.001);
    }, 118);
  }
  if (preset == "kick") {
    return OneShot(preset, 0.34, 60, [](double t, int n) {
      const double phase = 2 * kPi * (46 * t + 110 * 0.032 * (1 - std::exp(-t / 0.032)));
      const double body = std::sin(phase) * std::exp(-t / 0.17);
      const double click = Noise(n, 1) * std::exp(-t / 0.0025) * 0.5;
      return std::tanh(1.7 * (body + click));
    }, 124);
  }
  if (preset == "snare") {
    Filtered noise;
    return OneShot(preset, 0.28, 60, [noise](double t, int n) mutable {
      const double tone = 0.55 * std::sin(2 * kPi * 186 * t) * std::exp(-t / 0.045);
      const double hiss = noise.Next(Noise(n, 2), 0.86, 0.55) * std::exp(-t / 0.09) * 1.6;
      return std::tanh(1.3 * (tone + hiss) * std::min(1.0, t / 0.0008));
    }, 122);
  }
  if (preset == "hat") {
    Filtered noise;
    return OneShot(preset, 0.09, 60, [noise](double t, int n) mutable {
      return noise.Next(Noise(n, 3), 0.55, 0.9) * std::exp(-t / 0.022);
    }, 110);
  }
  if (preset == "openhat") {
    Filtered noise;
    return OneShot(preset, 0.4, 60, [noise](double t, int n) mutable {
      return noise.Next(Noise(n, 4), 0.6, 0.85) * std::exp(-t / 0.12);
    }, 110);
  }
  if (preset == "crash") {
    Filtered noise;
    return OneShot(preset, 1.4, 60, [noise](double t, int n) mutable {
      const double shimmer = 1 + 0.3 * std::sin(2 * kPi * 5.3 * t);
      return noise.Next(Noise(n, 5), 0.7, 0.7) * std::exp(-t / 0.45) * shimmer * std::min(1.0, t / 0.001);
    }, 112);
  }
  if (preset == "tom") {
    return OneShot(preset, 0.4, 60, [](double t, int n) {
      const double phase = 2 * kPi * (92 * t + 70 * 0.05 * (1 - std::exp(-t / 0.05)));
      return std::sin(phase) * std::exp(-t / 0.16) + Noise(n, 6) * 0.15 * std::exp(-t / 0.01);
    }, 120);
  }
  throw std::runtime_error("no instrument preset \"" + preset + "\"");
}

}  // namespace k2audio
