#include "assets/pellax/synth.h"

#include <algorithm>
#include <cmath>

namespace pxsynth {

void Stereo::add(size_t i, float v, float pan) {
  if (i >= l.size()) return;
  if (pan != pan_) {
    const double angle = (pan + 1.0) * kPi / 4.0;
    pan_ = pan;
    gain_l_ = float(std::cos(angle) * 1.41421356);
    gain_r_ = float(std::sin(angle) * 1.41421356);
  }
  l[i] += v * gain_l_;
  r[i] += v * gain_r_;
}

double note_hz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

float Noise::next() {
  s_ ^= s_ << 13;
  s_ ^= s_ >> 17;
  s_ ^= s_ << 5;
  return float(s_ / 2147483648.0 - 1.0);
}

namespace {

// 1 until the last 8 ms of an n-frame sound, then down to 0: a sound never stops on a step.
float tail(size_t i, size_t n) {
  const size_t fade = kRate / 125;
  return i + fade < n ? 1.0f : float(n - i) / float(fade);
}

// The polyBLEP correction near a discontinuity at phase 0.
double blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

double Osc::step(double hz) {
  const double p = phase_;
  phase_ += hz / kRate;
  phase_ -= std::floor(phase_);
  return p;
}

float Osc::saw(double hz) {
  const double dt = hz / kRate;
  const double p = step(hz);
  return float(2.0 * p - 1.0 - blep(p, dt));
}

float Osc::pulse(double hz, double width) {
  const double dt = hz / kRate;
  const double p = step(hz);
  double v = p < width ? 1.0 : -1.0;
  v += blep(p, dt);
  double q = p - width;
  q -= std::floor(q);
  v -= blep(q, dt);
  // Centred on zero: a pulse of width w has the mean 2w - 1, which is no sound.
  return float(v - (2 * width - 1));
}

float Osc::tri(double hz) {
  const double p = step(hz);
  return float(p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p);
}

float Osc::sine(double hz) { return float(std::sin(2.0 * kPi * step(hz))); }

float adsr(double t, double held, double a, double d, double s, double r) {
  if (t < 0) return 0.0f;
  auto before_release = [&](double u) {
    if (u < a) return u / a;
    if (u < a + d) return 1.0 - (1.0 - s) * (u - a) / d;
    return s;
  };
  if (t < held) return float(before_release(t));
  const double at_release = before_release(held);
  const double u = t - held;
  return u >= r ? 0.0f : float(at_release * (1.0 - u / r));
}

void Svf::set(double hz, double resonance) {
  hz = std::clamp(hz, 20.0, kRate * 0.2);
  // sin(x) for x up to 0.2 pi by its series (the next term is below 1e-12): a filter swept
  // every sample would otherwise spend most of a track's synthesis in the library's sine.
  const double x = kPi * hz / kRate, x2 = x * x;
  const double sine =
      x * (1 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040 + x2 * (1.0 / 362880 + x2 * (-1.0 / 39916800))))));
  f_ = float(2.0 * sine);
  damp_ = float(2.0 * (1.0 - std::clamp(resonance, 0.0, 0.95)));
}

void Svf::run(float x) {
  // Two passes of the Chamberlin filter keep it stable at high cutoffs.
  for (int i = 0; i < 2; ++i) {
    lo_ += f_ * 0.5f * bp_;
    hp_ = x - lo_ - damp_ * bp_;
    bp_ += f_ * 0.5f * hp_;
  }
}

float Svf::low(float x) {
  run(x);
  return lo_;
}
float Svf::band(float x) {
  run(x);
  return bp_;
}
float Svf::high(float x) {
  run(x);
  return hp_;
}

void kick(Stereo& out, size_t at, float gain, double punch) {
  const size_t n = size_t(0.42 * kRate);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double hz = 44.0 + 110.0 * punch * std::exp(-t * 28.0) + 40.0 * std::exp(-t * 160.0);
    phase += hz / kRate;
    const double env = std::exp(-t * 7.5) * std::min(1.0, t * 2000.0);
    const double click = std::exp(-t * 900.0) * 0.35 * std::min(1.0, t * 2000.0);
    out.add(at + i, gain * float(std::sin(2 * kPi * phase) * env + click) * tail(i, n));
  }
}

void snare(Stereo& out, size_t at, float gain, uint32_t seed, double length) {
  Noise noise(seed);
  Svf body;
  body.set(3200, 0.2);
  const size_t n = size_t((length + 0.05) * kRate);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    phase += (185.0 + 60.0 * std::exp(-t * 40)) / kRate;
    const float tone = float(std::sin(2 * kPi * phase) * std::exp(-t * 30.0)) * 0.55f;
    const float hiss = body.band(noise.next()) * float(std::exp(-t * 5.0 / length)) * 1.6f;
    out.add(at + i, gain * (tone + hiss) * std::min(1.0f, float(t * 3000.0)) * tail(i, n));
  }
}

void clap(Stereo& out, size_t at, float gain, uint32_t seed) {
  Noise noise(seed);
  Svf f;
  f.set(1500, 0.3);
  const size_t n = size_t(0.25 * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    // Three quick slaps, then the tail.
    double env = std::exp(-std::fmod(t, 0.011) * 300.0) * (t < 0.033 ? 1.0 : 0.0);
    env += t >= 0.033 ? std::exp(-(t - 0.033) * 16.0) : 0.0;
    const float v = f.band(noise.next()) * float(env) * 2.2f * std::min(1.0f, float(t * 2000.0));
    out.add(at + i, gain * v * tail(i, n), float(std::sin(t * 40.0) * 0.25));
  }
}

void hat(Stereo& out, size_t at, float gain, uint32_t seed, double length, float pan) {
  Noise noise(seed);
  Svf f;
  f.set(8000, 0.1);
  const size_t n = size_t((length + 0.02) * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const float v = f.high(noise.next()) * float(std::exp(-t * 4.5 / length));
    out.add(at + i, gain * v * std::min(1.0f, float(t * 3000.0)) * tail(i, n), pan);
  }
}

void tom(Stereo& out, size_t at, float gain, double hz) {
  const size_t n = size_t(0.35 * kRate);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    phase += hz * (1.0 + 0.6 * std::exp(-t * 25.0)) / kRate;
    out.add(at + i, gain * float(std::sin(2 * kPi * phase) * std::exp(-t * 9.0) * std::min(1.0, t * 2000.0)) * tail(i, n));
  }
}

void ping_pong(Stereo& buf, double seconds, float feedback, float mix) {
  const size_t d = size_t(seconds * kRate);
  if (d == 0) return;
  std::vector<float> dl(d, 0.0f), dr(d, 0.0f);
  Svf tone_l, tone_r;
  tone_l.set(4500, 0);
  tone_r.set(4500, 0);
  size_t p = 0;
  for (size_t i = 0; i < buf.frames(); ++i) {
    const float in = (buf.l[i] + buf.r[i]) * 0.5f;
    const float el = dl[p], er = dr[p];
    // Left feeds right and right feeds left: the echoes bounce between the sides.
    dl[p] = tone_l.low(in + er * feedback);
    dr[p] = tone_r.low(el * feedback);
    buf.l[i] += el * mix;
    buf.r[i] += er * mix;
    if (++p == d) p = 0;
  }
}

namespace {

struct Comb {
  std::vector<float> line;
  size_t p = 0;
  float store = 0;
  float run(float x, float feedback, float damp) {
    const float y = line[p];
    store = y * (1 - damp) + store * damp;
    line[p] = x + store * feedback;
    if (++p == line.size()) p = 0;
    return y;
  }
};

struct Allpass {
  std::vector<float> line;
  size_t p = 0;
  float run(float x) {
    const float y = line[p];
    line[p] = x + y * 0.5f;
    if (++p == line.size()) p = 0;
    return y - x;
  }
};

}  // namespace

void reverb(Stereo& buf, float mix, float size) {
  static const int comb_len[4] = {1116, 1188, 1277, 1356};
  static const int ap_len[2] = {556, 441};
  std::vector<float> mono(buf.frames());
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = (buf.l[i] + buf.r[i]) * 0.015f;
  for (int side = 0; side < 2; ++side) {
    std::vector<float>& ch = side ? buf.r : buf.l;
    const int spread = side ? 23 : 0;
    Comb combs[4];
    Allpass aps[2];
    for (int i = 0; i < 4; ++i) combs[i].line.assign(size_t(comb_len[i] + spread), 0.0f);
    for (int i = 0; i < 2; ++i) aps[i].line.assign(size_t(ap_len[i] + spread), 0.0f);
    const float feedback = 0.7f + 0.28f * size;
    for (size_t i = 0; i < ch.size(); ++i) {
      const float in = mono[i];
      float wet = 0;
      for (Comb& c : combs) wet += c.run(in, feedback, 0.3f);
      for (Allpass& a : aps) wet = a.run(wet);
      ch[i] += wet * mix;
    }
  }
}

void chorus(Stereo& buf, float depth_ms, float mix, size_t start) {
  const size_t max_delay = size_t((depth_ms * 2 + 12) * kRate / 1000) + 2;
  std::vector<float> line(max_delay, 0.0f);
  size_t p = 0;
  for (size_t i = 0; i < buf.frames(); ++i) {
    const float in = (buf.l[i] + buf.r[i]) * 0.5f;
    line[p] = in;
    auto tap = [&](double phase) {
      const double t = double(start + i) / kRate;
      const double ms = 10.0 + depth_ms * std::sin(2 * kPi * 0.31 * t + phase);
      const double d = ms * kRate / 1000.0;
      const size_t whole = size_t(d);
      const float frac = float(d - double(whole));
      const float a = line[(p + max_delay - whole) % max_delay];
      const float b = line[(p + max_delay - whole - 1) % max_delay];
      return a + (b - a) * frac;
    };
    buf.l[i] += tap(0.0) * mix;
    buf.r[i] += tap(kPi / 2) * mix;
    if (++p == max_delay) p = 0;
  }
}

void fade_edges(Stereo& buf, double in_s, double out_s) {
  const size_t n = buf.frames();
  const size_t a = std::min(n, size_t(in_s * kRate)), b = std::min(n, size_t(out_s * kRate));
  for (size_t i = 0; i < a; ++i) {
    buf.l[i] *= float(i) / float(a);
    buf.r[i] *= float(i) / float(a);
  }
  for (size_t i = 0; i < b; ++i) {
    buf.l[n - 1 - i] *= float(i) / float(b);
    buf.r[n - 1 - i] *= float(i) / float(b);
  }
}

void remove_offset(Stereo& buf, bool loops) {
  const size_t n = buf.frames();
  if (n == 0) return;
  for (std::vector<float>* side : {&buf.l, &buf.r}) {
    double sum = 0;
    for (float v : *side) sum += v;
    const double mean = sum / double(n);
    // The bump 1 - cos over the whole sound averages exactly 1, so taking mean x bump
    // takes the mean.
    for (size_t i = 0; i < n; ++i) {
      const double bump = loops ? 1.0 : 1.0 - std::cos(2 * kPi * double(i) / double(n));
      (*side)[i] -= float(mean * bump);
    }
  }
}

void saturate(Stereo& buf, float drive) {
  const float norm = 1.0f / std::tanh(drive);
  for (size_t i = 0; i < buf.frames(); ++i) {
    buf.l[i] = std::tanh(buf.l[i] * drive) * norm;
    buf.r[i] = std::tanh(buf.r[i] * drive) * norm;
  }
}

float peak(const Stereo& buf) {
  float p = 0;
  for (size_t i = 0; i < buf.frames(); ++i) p = std::max({p, std::fabs(buf.l[i]), std::fabs(buf.r[i])});
  return p;
}

void normalize_loudness(Stereo& buf, double target_rms, float max_peak) {
  const double level = rms(buf, 0, buf.frames());
  const float p = peak(buf);
  if (level <= 0 || p <= 0) return;
  const float g = float(std::min(target_rms / level, double(max_peak / p)));
  for (size_t i = 0; i < buf.frames(); ++i) {
    buf.l[i] *= g;
    buf.r[i] *= g;
  }
}

void normalize(Stereo& buf, float target) {
  const float p = peak(buf);
  if (p <= 0) return;
  const float g = target / p;
  for (size_t i = 0; i < buf.frames(); ++i) {
    buf.l[i] *= g;
    buf.r[i] *= g;
  }
}

void mix_into(Stereo& dst, const Stereo& src, float gain) {
  const size_t n = std::min(dst.frames(), src.frames());
  for (size_t i = 0; i < n; ++i) {
    dst.l[i] += src.l[i] * gain;
    dst.r[i] += src.r[i] * gain;
  }
}

double rms(const Stereo& buf, size_t from, size_t to) {
  to = std::min(to, buf.frames());
  if (to <= from) return 0;
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(buf.l[i]) * buf.l[i] + double(buf.r[i]) * buf.r[i];
  return std::sqrt(sum / (2.0 * double(to - from)));
}

}  // namespace pxsynth
