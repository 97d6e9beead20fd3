// The nine effects. They are mixed quietly against the music by the second core (volumes
// 50-150 of 256), so each is made dense and loud, its peak just under full scale.
#include <cmath>

#include "assets/pellax/sound_scores.h"

namespace pxsynth {
namespace {

size_t frames_of(double seconds) { return size_t(seconds * kRate); }

// The engine hum: a low detuned drone with a slow filter sweep and a rumble. Every
// periodic part completes whole cycles in the loop's length; the rumble's end is
// cross-faded into its start, so the loop has no seam.
Stereo engine_hum() {
  const double seconds = 3.0, fade = 0.25;
  const size_t n = frames_of(seconds), extra = frames_of(fade);
  Stereo out(n + extra);
  Osc a, b, c, sub;
  Svf filter_l, filter_r, rumble_filter;
  Noise noise(77);
  for (size_t i = 0; i < n + extra; ++i) {
    const double t = double(i) / kRate;
    const double sweep = 0.5 + 0.5 * std::sin(2 * kPi * t * 2.0 / seconds);
    const double wobble = std::sin(2 * kPi * t * 12.0 / seconds);
    filter_l.set(260 + 420 * sweep + 60 * wobble, 0.55);
    filter_r.set(280 + 400 * sweep - 60 * wobble, 0.55);
    const float drone_l = a.saw(55.0) * 0.5f + b.saw(55.0 * 1.0 + 1.0 / seconds) * 0.5f;
    const float drone_r = c.saw(110.0 - 1.0 / seconds) * 0.35f + drone_l * 0.6f;
    rumble_filter.set(140, 0.3);
    const float rumble = rumble_filter.low(noise.next()) * 2.5f;
    const float low = sub.sine(55.0) * 0.6f;
    out.l[i] = filter_l.low(drone_l) + rumble + low;
    out.r[i] = filter_r.low(drone_r) + rumble * 0.9f + low;
  }
  for (size_t i = 0; i < extra; ++i) {
    const float w = float(i) / float(extra);
    out.l[i] = out.l[i] * w + out.l[n + i] * (1 - w);
    out.r[i] = out.r[i] * w + out.r[n + i] * (1 - w);
  }
  out.l.resize(n);
  out.r.resize(n);
  saturate(out, 1.6f);
  normalize(out, 0.85f);
  return out;
}

// A blast: a thump, a noise burst through a falling low-pass, crackle, and a tail.
Stereo blast(double seconds, double thump_hz, double bright, double crackle, uint32_t seed, double metal) {
  const size_t n = frames_of(seconds);
  Stereo out(n);
  Noise noise(seed), grit(seed * 7 + 1);
  Svf low_l, low_r, ring;
  Osc thump, clang_a, clang_b;
  float crack = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double env = std::exp(-t * 4.2 / seconds) * std::min(1.0, t * 400.0);
    low_l.set(200 + bright * 5000 * std::exp(-t * 9.0 / seconds), 0.35);
    low_r.set(220 + bright * 4600 * std::exp(-t * 8.0 / seconds), 0.35);
    const float nz = noise.next();
    float l = low_l.low(nz) * 2.0f, r = low_r.low(nz * 0.8f + grit.next() * 0.2f) * 2.0f;
    const double thump_env = std::exp(-t * 14.0);
    const float body = thump.sine(thump_hz * (1.0 + 1.5 * std::exp(-t * 30.0))) * float(thump_env) * 1.4f;
    if (grit.next() > 1.0f - float(crackle * std::exp(-t * 3.0))) crack = grit.next();
    crack *= 0.9f;
    float clang = 0;
    if (metal > 0) {
      ring.set(1800, 0.9);
      clang = ring.band(clang_a.pulse(313.0, 0.3) + clang_b.pulse(447.0, 0.4)) * float(metal * std::exp(-t * 7.0));
    }
    l = (l + clang) * float(env) + body + crack * 0.6f;
    r = (r + clang * 0.8f) * float(env) + body - crack * 0.6f;
    out.l[i] = l;
    out.r[i] = r;
  }
  saturate(out, 3.0f);
  normalize(out, 0.62f);
  return out;
}

// A descending zap: two detuned pulses whose pitch falls fast, a click and a short echo.
Stereo shot() {
  const double seconds = 0.28;
  const size_t n = frames_of(seconds);
  Stereo out(n);
  Osc a, b;
  Svf f;
  Noise noise(5);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double hz = 260.0 + 1900.0 * std::exp(-t * 26.0);
    const double env = std::exp(-t * 16.0) * std::min(1.0, t * 3000.0);
    f.set(1800 + 5000 * std::exp(-t * 20.0), 0.4);
    const float v = f.low(a.pulse(hz, 0.3) + b.pulse(hz * 1.01, 0.45)) * float(env);
    const float click = noise.next() * float(std::exp(-t * 400.0)) * 0.5f * std::min(1.0f, float(t * 2000.0));
    out.add(i, v + click);
  }
  ping_pong(out, 0.055, 0.35f, 0.35f);
  saturate(out, 2.2f);
  normalize(out, 0.7f);
  return out;
}

// Notes (MIDI) played one after another with a bright bell tone.
Stereo chime(const std::vector<double>& notes, double step, double ring, float wave_mix) {
  const double seconds = step * double(notes.size()) + ring;
  const size_t n = frames_of(seconds);
  Stereo out(n);
  for (size_t k = 0; k < notes.size(); ++k) {
    Osc a, b, c;
    const double hz = note_hz(notes[k]);
    const size_t at = frames_of(step * double(k));
    const float pan = float(k % 2 ? 0.35 : -0.35);
    for (size_t i = 0; at + i < n; ++i) {
      const double t = double(i) / kRate;
      const double env = std::exp(-t * 6.0) * std::min(1.0, t * 1500.0);
      const float v = a.sine(hz) * 0.6f + b.sine(hz * 2.0) * 0.25f + c.tri(hz * 3.0) * wave_mix;
      out.add(at + i, v * float(env), pan);
    }
  }
  ping_pong(out, 0.09, 0.3f, 0.3f);
  saturate(out, 1.6f);
  normalize(out, 0.85f);
  return out;
}

// A warning blip: two square pulses.
Stereo blip() {
  const double seconds = 0.6;
  const size_t n = frames_of(seconds);
  Stereo out(n);
  Osc a;
  Svf f;
  f.set(3000, 0.2);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const bool on = std::fmod(t, 0.22) < 0.12 && t < 0.44;
    const double hz = t < 0.22 ? 880.0 : 660.0;
    const float v = f.low(a.pulse(hz, 0.5)) * (on ? 1.0f : 0.0f);
    out.add(i, v * float(std::exp(-std::fmod(t, 0.22) * 8.0)));
  }
  reverb(out, 0.25f, 0.5f);
  normalize(out, 0.9f);
  return out;
}

// A power-down: a resonant sweep falling an octave and a half.
Stereo power_down() {
  const double seconds = 0.65;
  const size_t n = frames_of(seconds);
  Stereo out(n);
  Osc a, b;
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double hz = 440.0 * std::pow(0.5, t * 2.2);
    f.set(600 + 2400 * (1.0 - t / seconds), 0.8);
    const float v = f.low(a.saw(hz) + b.saw(hz * 1.5)) * float(std::min(1.0, (seconds - t) * 12.0));
    out.add(i, v, float(std::sin(t * 9.0) * 0.4));
  }
  saturate(out, 1.5f);
  normalize(out, 0.85f);
  return out;
}

Stereo one_shot(int index) {
  switch (index) {
    case 1: return blast(1.6, 52.0, 0.9, 0.02, 11, 0.0);   // the big kill
    case 2: return blast(1.5, 70.0, 1.0, 0.01, 23, 0.7);   // a metallic hit
    case 3: return blast(1.0, 90.0, 1.2, 0.03, 37, 0.0);   // a sharp blast
    case 4: return blip();
    case 5: return shot();
    case 6: return chime({72, 76, 79, 84}, 0.055, 0.2, 0.15f);  // pick-up: C major up
    case 7: return power_down();
    default: return chime({67, 72, 76, 79, 84, 88}, 0.11, 0.7, 0.3f);  // fanfare
  }
}

}  // namespace

Stereo render_effect(int index) {
  Stereo s = index == 0 ? engine_hum() : one_shot(index);
  // At the peak each was made for (taking the offset out moves it), the one-shots 2 dB
  // under it: a shot, a blast and a pick-up started in one frame over the music's loudest
  // moment, at the top master volume, stay below full scale.
  const float made_for = peak(s);
  remove_offset(s, index == 0);
  normalize(s, index == 0 ? made_for : made_for * 0.8f);
  if (index != 0) fade_edges(s, 0.001, 0.01);
  return s;
}

}  // namespace pxsynth
