// A small synthesiser for our own game sound: oscillators, envelopes, filters, drums,
// echo and reverb over float stereo buffers at 44,100 Hz. Everything is deterministic
// (the noise is seeded), so a build gives the same sound every time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pxsynth {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(size_t frames = 0) : l(frames), r(frames) {}
  size_t frames() const { return l.size(); }
  // Adds v at frame i with a pan from -1 (left) to 1 (right), equal power.
  void add(size_t i, float v, float pan = 0.0f);

 private:
  // The gains of the last pan used: a note adds every frame at one pan.
  float pan_ = 0.0f, gain_l_ = 1.0f, gain_r_ = 1.0f;
};

// Frequency of a MIDI note number (69 = A 440 Hz).
double note_hz(double midi);

// Deterministic white noise in -1..1.
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed ? seed : 1) {}
  float next();

 private:
  uint32_t s_;
};

// Band-limited oscillators (polyBLEP) on a phase in 0..1.
class Osc {
 public:
  explicit Osc(double phase = 0.0) : phase_(phase) {}
  float saw(double hz);
  float pulse(double hz, double width);  // centred on zero whatever its width
  float tri(double hz);
  float sine(double hz);

 private:
  double step(double hz);
  double phase_;
};

// Attack, decay, sustain level, release (seconds); the note is held for `held` seconds.
float adsr(double t, double held, double a, double d, double s, double r);

// State-variable filter (two poles); cutoff in Hz, resonance 0 (none) .. 0.95.
class Svf {
 public:
  void set(double hz, double resonance);
  float low(float x);
  float band(float x);
  float high(float x);

 private:
  void run(float x);
  float f_ = 0.1f, damp_ = 1.0f;
  float lo_ = 0, bp_ = 0, hp_ = 0;
};

// Drum voices, added into a buffer at frame `at`.
void kick(Stereo& out, size_t at, float gain, double punch = 1.0);
void snare(Stereo& out, size_t at, float gain, uint32_t seed, double length = 0.18);
void clap(Stereo& out, size_t at, float gain, uint32_t seed);
void hat(Stereo& out, size_t at, float gain, uint32_t seed, double length, float pan);
void tom(Stereo& out, size_t at, float gain, double hz);

// Effects over a whole buffer.
void ping_pong(Stereo& buf, double seconds, float feedback, float mix);
void reverb(Stereo& buf, float mix, float size = 0.8f);
// The chorus's slow sweep is timed from `start` frames before the buffer's first one.
void chorus(Stereo& buf, float depth_ms, float mix, size_t start = 0);
// Fades a one-shot sound in and out over the given times, so it starts and ends on 0.
void fade_edges(Stereo& buf, double in_s, double out_s);
// Takes each side's mean out, so the sound swings about zero (a pulse of uneven width, a
// saturated asymmetric wave or a one-sided envelope all leave one). A loop loses a
// constant, which keeps its seam; a one-shot loses a smooth bump that is zero at both
// ends, so it still starts and ends on 0.
void remove_offset(Stereo& buf, bool loops);
// tanh saturation with the given drive, then a gain so that the peak is `peak`.
void saturate(Stereo& buf, float drive);
void normalize(Stereo& buf, float peak);
// Scales to an RMS level, or less where the peak would pass max_peak.
void normalize_loudness(Stereo& buf, double target_rms, float max_peak);
// Adds src into dst (same length or shorter) with a gain.
void mix_into(Stereo& dst, const Stereo& src, float gain);

// Level and safety measures (the generator checks its own output with them).
float peak(const Stereo& buf);
double rms(const Stereo& buf, size_t from, size_t to);

}  // namespace pxsynth
