#include "assets/kolvo2/effects.h"

#include "assets/kolvo2/bytes_out.h"
#include "assets/kolvo2/noise.h"
#include "assets/kolvo2/offset.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "sound/qssData.h"
#include "sound/qssTables.h"

namespace k2audio {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kEffectRate;
// -6 dBFS. The mixer adds the effects to the music at full volume; the loudest moment of
// play (a lock's sound and two turns over the music's peak) stays below full scale.
constexpr double kEffectPeak = 16500;

// A state-variable filter; its band-pass output follows a moving centre frequency.
struct Svf {
  double low = 0, band = 0;
  double BandPass(double x, double hz, double q) {
    const double f = 2 * std::sin(kPi * std::min(hz, kRate / 6) / kRate);
    const double high = x - low - band / q;
    band += f * high;
    low += f * band;
    return band;
  }
};

// Renders `seconds` of f(t, n), ends with a short fade, takes out the mean (a one-sided
// thump or a saturated wave leaves one: no sound, only lost headroom) as a smooth bump
// that is zero at both ends, and scales to the peak `kEffectPeak`.
std::vector<int16_t> Render(double seconds, const std::function<double(double t, int n)>& f) {
  const int n = static_cast<int>(seconds * kRate);
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(f(i / kRate, i));
  for (int i = 0; i < 96 && i < n; ++i) v[n - 1 - i] *= i / 96.0;
  RemoveOffset(v, v.size());
  double peak = 1e-9;
  for (double x : v) peak = std::max(peak, std::fabs(x));
  std::vector<int16_t> out;
  for (double x : v) out.push_back(static_cast<int16_t>(std::lround(x / peak * kEffectPeak)));
  return out;
}

double Env(double t, double attack, double decay) { return std::min(1.0, t / attack) * std::exp(-t / decay); }

// A bell-like tone: a sine modulated at 3.5 times its pitch, the modulation dying first.
double Bell(double t, double hz, double decay) {
  if (t < 0) return 0;
  const double index = 1.8 * std::exp(-t / (decay * 0.4));
  return Env(t, 0.002, decay) * std::sin(2 * kPi * hz * t + index * std::sin(2 * kPi * 3.5 * hz * t));
}

std::vector<int16_t> MenuBlip() {
  // A short soft blip that glides up a little: heard at every menu step and turn.
  return Render(0.09, [](double t, int) {
    const double phase = 2 * kPi * (1318 * t - 220 * 0.008 * (1 - std::exp(-t / 0.008)));
    return Env(t, 0.002, 0.028) * (std::sin(phase) + 0.25 * std::sin(2 * phase));
  });
}

std::vector<int16_t> HardDrop() {
  // A falling whoosh into a low thump.
  Svf whoosh;
  return Render(0.28, [whoosh](double t, int n) mutable {
    const double air = whoosh.BandPass(Noise(n, 21), 3200 * std::exp(-t / 0.04) + 300, 2.5) * Env(t, 0.004, 0.05);
    const double tb = t - 0.035;
    double thump = 0;
    if (tb > 0) {
      const double phase = 2 * kPi * (55 * tb + 70 * 0.03 * (1 - std::exp(-tb / 0.03)));
      thump = std::sin(phase) * Env(tb, 0.001, 0.09) * 1.2 + Noise(n, 22) * std::exp(-tb / 0.004) * 0.4;
    }
    return std::tanh(1.4 * (0.8 * air + thump));
  });
}

std::vector<int16_t> RowsCleared() {
  // A rising arpeggio of bells (C, E, G, C) over a little sparkle.
  const double notes[4] = {1046.5, 1318.5, 1568.0, 2093.0};
  Svf sparkle;
  return Render(0.75, [notes, sparkle](double t, int n) mutable {
    double s = 0;
    for (int k = 0; k < 4; ++k) s += Bell(t - 0.055 * k, notes[k], 0.22) * (k == 3 ? 0.9 : 0.7);
    const double glitter = sparkle.BandPass(Noise(n, 31), 6000, 4) * Env(t, 0.02, 0.2) *
                           (0.5 + 0.5 * std::sin(2 * kPi * 38 * t));
    return s + 0.5 * glitter;
  });
}

std::vector<int16_t> PieceLocked() {
  // A short wooden tock.
  Svf click;
  return Render(0.1, [click](double t, int n) mutable {
    const double tone = std::sin(2 * kPi * (400 * t - 40 * t * t * 50)) * Env(t, 0.0008, 0.022);
    const double knock = click.BandPass(Noise(n, 41), 1800, 1.5) * std::exp(-t / 0.005);
    return tone + 0.6 * knock;
  });
}

std::vector<int16_t> IntroLogo() {
  // A rising whoosh that opens into a shimmering major chord (A, C sharp, E, A).
  const double chord[4] = {440.0, 554.37, 659.26, 880.0};
  Svf whoosh;
  return Render(1.9, [chord, whoosh](double t, int n) mutable {
    const double rise = whoosh.BandPass(Noise(n, 51), 400 + 5200 * std::min(1.0, t / 0.55), 3) *
                        std::min(1.0, t / 0.4) * std::exp(-std::max(0.0, t - 0.5) / 0.12);
    double pad = 0;
    const double tc = t - 0.45;
    if (tc > 0) {
      for (int k = 0; k < 4; ++k)
        for (int d = -1; d <= 1; d += 2) {
          const double hz = chord[k] * (1 + d * 0.003);
          pad += std::sin(2 * kPi * hz * tc) + 0.3 * std::sin(4 * kPi * hz * tc);
        }
      pad *= Env(tc, 0.06, 0.55) * 0.16;
      pad += 0.5 * Bell(tc, 1760, 0.4);
    }
    return 0.9 * rise + pad;
  });
}

std::vector<int16_t> Fanfare() {
  // Two quick rising notes and a held third: a level gained.
  return Render(0.6, [](double t, int) {
    auto note = [&](double start, double hz, double decay) {
      const double u = t - start;
      if (u < 0) return 0.0;
      const double p = 2 * kPi * hz * u;
      return Env(u, 0.004, decay) * (std::sin(p) + 0.35 * std::sin(3 * p) + 0.15 * std::sin(5 * p));
    };
    return note(0, 784, 0.06) + note(0.08, 1046.5, 0.06) + note(0.16, 1318.5, 0.2);
  });
}

std::vector<int16_t> GameOverTones() {
  // Three falling soft tones.
  return Render(1.1, [](double t, int) {
    auto note = [&](double start, double hz) {
      const double u = t - start;
      if (u < 0) return 0.0;
      const double p = 2 * kPi * hz * u;
      return Env(u, 0.01, 0.3) * (std::sin(p) + 0.2 * std::sin(2 * p));
    };
    return note(0, 659.3) + note(0.22, 523.3) + note(0.44, 440.0);
  });
}

std::vector<int16_t> HighScoreChime() {
  // Bells high up in a pentatonic run.
  const double notes[6] = {1568.0, 1760.0, 2093.0, 2349.3, 2637.0, 3136.0};
  return Render(0.9, [notes](double t, int) {
    double s = 0;
    for (int k = 0; k < 6; ++k) s += Bell(t - 0.07 * k, notes[k], 0.18);
    return s;
  });
}

void Put16(std::vector<uint8_t>& out, uint32_t v) { k2data::PutLe(out, v, 2); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { k2data::PutLe(out, v, 4); }
void PutId(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// RIFF, "WAVE", the fmt chunk first, optional chunks, then the data.
std::vector<uint8_t> Riff(const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& fact,
                          const std::vector<uint8_t>& data) {
  std::vector<uint8_t> body;
  PutId(body, "WAVE");
  PutId(body, "fmt ");
  Put32(body, static_cast<uint32_t>(fmt.size()));
  body.insert(body.end(), fmt.begin(), fmt.end());
  if (!fact.empty()) {
    PutId(body, "fact");
    Put32(body, static_cast<uint32_t>(fact.size()));
    body.insert(body.end(), fact.begin(), fact.end());
  }
  PutId(body, "data");
  Put32(body, static_cast<uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  if (data.size() % 2) body.push_back(0);
  std::vector<uint8_t> out;
  PutId(out, "RIFF");
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// The standard MS-ADPCM coefficient pairs.
const int16_t kCoef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};

// Encodes one block's nibbles after its two header samples, each nibble the one whose
// decoded value lies nearest; returns the squared error. Each step is the decoder's own,
// so what is chosen here is exactly what plays.
uint64_t EncodeBlock(const int16_t* pcm, uint32_t count, int predictor, int16_t delta,
                     std::vector<uint8_t>* nibbles) {
  struct_decodestate_MSADPCM s{static_cast<uint8_t>(predictor), delta, pcm[1], pcm[0]};
  uint64_t error = 0;
  for (uint32_t i = 2; i < count; ++i) {
    int best = -1;
    int64_t bestError = 0;
    struct_decodestate_MSADPCM bestState = s;
    for (int nibble = 0; nibble < 16; ++nibble) {
      // A step that would leave 16 bits is never taken.
      if (int64_t{s.delta} * qssAdpcmAdaptive[nibble] / 256 > 32767) continue;
      struct_decodestate_MSADPCM t = s;
      const int16_t v = qssSound::nibble_MSADPCM(&t, static_cast<uint8_t>(nibble), kCoef[predictor]);
      const int64_t e = int64_t{v} - pcm[i];
      if (best < 0 || e * e < bestError) {
        bestError = e * e;
        best = nibble;
        bestState = t;
      }
    }
    s = bestState;
    error += static_cast<uint64_t>(bestError);
    if (nibbles) nibbles->push_back(static_cast<uint8_t>(best));
  }
  return error;
}

}  // namespace

std::vector<Effect> MakeEffects() {
  return {
      {"menu.wav", MenuBlip(), false},         {"drop.wav", HardDrop(), false},
      {"lines.wav", RowsCleared(), false},     {"lock.wav", PieceLocked(), false},
      {"logo.wav", IntroLogo(), true},         {"levelup.wav", Fanfare(), false},
      {"gameover.wav", GameOverTones(), false}, {"highscore.wav", HighScoreChime(), false},
  };
}

std::vector<uint8_t> EncodePcmWav(const std::vector<int16_t>& pcm, uint32_t rate) {
  std::vector<uint8_t> fmt, data;
  Put16(fmt, 1);         // PCM
  Put16(fmt, 1);         // mono
  Put32(fmt, rate);
  Put32(fmt, rate * 2);  // bytes a second
  Put16(fmt, 2);         // block align
  Put16(fmt, 16);        // bits
  for (int16_t v : pcm) Put16(data, static_cast<uint16_t>(v));
  return Riff(fmt, {}, data);
}

std::vector<uint8_t> EncodeAdpcmWav(const std::vector<int16_t>& pcm, uint32_t rate, uint16_t blockAlign) {
  const uint32_t perBlock = (blockAlign - 7u) * 2 + 2;
  const size_t blocks = (pcm.size() + perBlock - 1) / perBlock;
  std::vector<int16_t> padded(pcm);
  padded.resize(blocks * perBlock, 0);
  std::vector<uint8_t> data;
  for (size_t b = 0; b < blocks; ++b) {
    const int16_t* in = padded.data() + b * perBlock;
    // Each predictor with a few starting steps around the size of the first differences.
    int64_t firstStep = 0;
    for (uint32_t i = 2; i < 10; ++i) firstStep += std::abs(in[i] - in[i - 1]);
    int bestPredictor = 0;
    int16_t bestDelta = 16;
    uint64_t bestError = UINT64_MAX;
    for (int p = 0; p < 7; ++p)
      for (int64_t scale : {1, 2, 4, 8}) {
        const int16_t delta = static_cast<int16_t>(std::clamp<int64_t>(firstStep * scale / 32, 16, 8192));
        const uint64_t e = EncodeBlock(in, perBlock, p, delta, nullptr);
        if (e < bestError) {
          bestError = e;
          bestPredictor = p;
          bestDelta = delta;
        }
      }
    std::vector<uint8_t> nibbles;
    EncodeBlock(in, perBlock, bestPredictor, bestDelta, &nibbles);
    data.push_back(static_cast<uint8_t>(bestPredictor));
    Put16(data, static_cast<uint16_t>(bestDelta));
    Put16(data, static_cast<uint16_t>(in[1]));  // sample 1 comes first in the header ...
    Put16(data, static_cast<uint16_t>(in[0]));  // ... and sample 2 plays first
    for (size_t i = 0; i < nibbles.size(); i += 2) data.push_back(static_cast<uint8_t>(nibbles[i] << 4 | nibbles[i + 1]));
  }
  std::vector<uint8_t> fmt, fact;
  Put16(fmt, 2);  // MS-ADPCM
  Put16(fmt, 1);
  Put32(fmt, rate);
  Put32(fmt, static_cast<uint32_t>(uint64_t{rate} * blockAlign / perBlock));
  Put16(fmt, blockAlign);
  Put16(fmt, 4);
  Put16(fmt, 32);  // extra bytes: samples a block, count, seven pairs
  Put16(fmt, perBlock);
  Put16(fmt, 7);
  for (const auto& c : kCoef) {
    Put16(fmt, static_cast<uint16_t>(c[0]));
    Put16(fmt, static_cast<uint16_t>(c[1]));
  }
  Put32(fact, static_cast<uint32_t>(pcm.size()));
  return Riff(fmt, fact, data);
}

std::vector<uint8_t> EffectFile(const Effect& e) {
  return e.adpcm ? EncodeAdpcmWav(e.pcm, kEffectRate) : EncodePcmWav(e.pcm, kEffectRate);
}

}  // namespace k2audio
