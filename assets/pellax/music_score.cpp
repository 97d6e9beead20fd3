// The music: a small sequencer (sections of bars over a chord progression, drum, bass and
// arpeggio patterns, melodies in scale degrees) and the scores of the eleven tracks.
//
// A track is rendered twice in a row and the second pass kept, so the echoes and the
// reverb of its end run on into its start and the loop from end to start has no seam.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "assets/pellax/sound_scores.h"

namespace pxsynth {
namespace {

// Parts a section plays.
enum : uint32_t {
  kKick = 1u << 0, kSnare = 1u << 1, kHat = 1u << 2, kBass = 1u << 3, kArp = 1u << 4,
  kPad = 1u << 5, kLead = 1u << 6, kCounter = 1u << 7, kRiser = 1u << 8, kFill = 1u << 9,
  kCrash = 1u << 10, kHalfKick = 1u << 11,
};
constexpr uint32_t kDrums = kKick | kSnare | kHat;
constexpr uint32_t kFull = kDrums | kBass | kArp | kPad | kLead | kFill;

const int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
const int kDorian[7] = {0, 2, 3, 5, 7, 9, 10};
const int kPhrygian[7] = {0, 1, 3, 5, 7, 8, 10};
const int kHarmonic[7] = {0, 2, 3, 5, 7, 8, 11};

struct Section {
  int bars;
  const char* chords;   // scale degree of each bar's chord, repeating: "0 5 2 6"
  uint32_t parts;
  const char* lead;     // melody tokens, repeating: degree[:16ths] or r[:16ths]; | ignored
  const char* counter;
};

struct Song {
  double bpm;
  int tonic;            // MIDI note of the melody's tonic
  const int* scale;
  const char* kick;     // 16 steps: x hit, X accent, . none
  const char* snare;    // x snare, c clap
  const char* hat;      // x closed, o open
  const char* bass;     // x root, o octave up, 5 fifth, 7 seventh, - hold, . rest
  const char* arp;      // indices into the chord's tones (0-7), . rest
  int lead_patch;       // 0 wide saw, 1 square, 2 bright pluck
  float gains[7];       // drums, bass, arp, pad, lead, counter, fx
  std::vector<Section> sections;
};

int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Semitones of a scale degree above the tonic (degrees beyond 0..6 change octave).
int semis(const Song& s, int degree) {
  const int octave = floor_div(degree, 7);
  return s.scale[degree - octave * 7] + 12 * octave;
}

std::vector<int> parse_chords(const char* text) {
  std::vector<int> out;
  for (const char* p = text; *p;) {
    char* end;
    const long v = std::strtol(p, &end, 10);
    if (end == p) {
      ++p;
      continue;
    }
    out.push_back(int(v));
    p = end;
  }
  return out;
}

struct MelodyNote {
  bool rest;
  int degree;
  int sharp;
  int steps;
};

std::vector<MelodyNote> parse_melody(const char* text) {
  std::vector<MelodyNote> out;
  if (!text) return out;
  for (const char* p = text; *p;) {
    while (*p == ' ' || *p == '|') ++p;
    if (!*p) break;
    MelodyNote n{false, 0, 0, 2};
    if (*p == 'r') {
      n.rest = true;
      ++p;
    } else {
      char* end;
      n.degree = int(std::strtol(p, &end, 10));
      p = end;
      if (*p == '#') {
        n.sharp = 1;
        ++p;
      }
    }
    if (*p == ':') {
      char* end;
      n.steps = int(std::strtol(p + 1, &end, 10));
      p = end;
    }
    while (*p && *p != ' ' && *p != '|') ++p;
    out.push_back(n);
  }
  return out;
}

// Instruments: each adds one note into a stem.

void lead_note(Stereo& out, size_t at, double held, double hz, float vel, int patch, float pan) {
  const double release = patch == 2 ? 0.25 : 0.14;
  const size_t n = size_t((held + release) * kRate);
  Osc a(0.1), b(0.37), c(0.71), sub;
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double vib = t > 0.15 ? 1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, (t - 0.15) * 4) : 1.0;
    const double h = hz * vib;
    float v;
    if (patch == 0) {
      f.set(900 + 3200 * std::exp(-t * 5.0), 0.25);
      v = f.low(a.saw(h * 0.9954) + b.saw(h) + c.saw(h * 1.0046)) * 0.5f + sub.sine(h * 0.5) * 0.25f;
    } else if (patch == 1) {
      f.set(1800 + 2200 * std::exp(-t * 6.0), 0.3);
      v = f.low(a.pulse(h, 0.25) * 0.7f + b.pulse(h * 1.003, 0.5) * 0.4f) + sub.sine(h * 0.5) * 0.2f;
    } else {
      f.set(700 + 5200 * std::exp(-t * 14.0), 0.4);
      v = f.low(a.saw(h) + c.pulse(h * 2.0, 0.5) * 0.3f) * 0.8f;
    }
    const float env = patch == 2 ? adsr(t, held, 0.004, 0.3, 0.35, release) : adsr(t, held, 0.01, 0.25, 0.75, release);
    out.add(at + i, v * env * vel, pan);
  }
}

void counter_note(Stereo& out, size_t at, double held, double hz, float vel) {
  const size_t n = size_t((held + 0.2) * kRate);
  Osc a, b;
  Svf f;
  f.set(2200, 0.1);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const float v = f.low(a.tri(hz) * 0.8f + b.pulse(hz * 1.002, 0.5) * 0.25f);
    out.add(at + i, v * adsr(t, held, 0.02, 0.3, 0.7, 0.2) * vel, 0.3f);
  }
}

void bass_note(Stereo& out, size_t at, double held, double hz, float vel, double accent) {
  const size_t n = size_t((held + 0.05) * kRate);
  Osc a, b, sub;
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    f.set(160 + 1500 * accent * std::exp(-t * 14.0), 0.55);
    const float v = f.low(a.saw(hz) * 0.7f + b.pulse(hz * 1.005, 0.5) * 0.5f) + sub.sine(hz) * 0.4f;
    out.add(at + i, v * adsr(t, held, 0.003, 0.12, 0.65, 0.05) * vel);
  }
}

void arp_note(Stereo& out, size_t at, double length, double hz, float vel, float pan) {
  const size_t n = size_t(length * kRate);
  Osc a;
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    f.set(700 + 4500 * std::exp(-t * 22.0), 0.3);
    const float env = float(std::exp(-t * 11.0)) * std::min(1.0f, float(t * 500.0)) *
                      std::min(1.0f, float((length - t) * 200.0));
    out.add(at + i, f.low(a.pulse(hz, 0.5)) * env * vel, pan);
  }
}

void pad_chord(Stereo& out, size_t at, double held, const std::vector<double>& hz, float vel) {
  const size_t n = size_t((held + 0.6) * kRate);
  for (size_t k = 0; k < hz.size(); ++k) {
    Osc a(0.13 * double(k)), b(0.5 + 0.07 * double(k)), c(0.29 * double(k));
    Svf fl, fr;
    for (size_t i = 0; i < n; ++i) {
      const double t = double(i) / kRate;
      const double cut = 800 + 500 * std::sin(2 * kPi * 0.25 * t + double(k));
      fl.set(cut, 0.15);
      fr.set(cut * 1.05, 0.15);
      const float env = adsr(t, held, 0.35, 0.6, 0.8, 0.6) * vel;
      const float x = a.saw(hz[k] * 0.996), y = b.saw(hz[k] * 1.004), z = c.saw(hz[k]);
      const size_t j = at + i;
      if (j >= out.frames()) break;
      out.l[j] += fl.low(x + z * 0.5f) * env * 0.6f;
      out.r[j] += fr.low(y + z * 0.5f) * env * 0.6f;
    }
  }
}

void riser(Stereo& out, size_t at, double length, uint32_t seed) {
  const size_t n = size_t(length * kRate);
  Noise noise(seed);
  Svf f;
  for (size_t i = 0; i < n; ++i) {
    const double u = double(i) / double(n);
    f.set(300 + 7000 * u * u, 0.5);
    const float end = float(std::min(1.0, (1.0 - u) * length * 200.0));
    out.add(at + i, f.band(noise.next()) * float(u * u) * 1.5f * end, float(std::sin(u * 20.0) * 0.5));
  }
}

void crash(Stereo& out, size_t at, uint32_t seed) {
  hat(out, at, 0.5f, seed, 1.2, -0.3f);
  hat(out, at, 0.4f, seed + 1, 1.0, 0.3f);
}

// Renders the song's sections `passes` times over, of all but the last pass only what rings
// on into it: the notes of its last seconds (none lasts a quarter of this, and their echoes
// and reverb die away below 16 bits long before the last pass starts). The notes that start
// earlier are not synthesised at all, and the sound returned starts with the first one that
// is; the last pass starts at *last_pass_at in it.
Stereo render_song(const Song& song, int passes, size_t* pass_frames, size_t* last_pass_at) {
  const double step = 60.0 / song.bpm / 4.0;  // a 16th note
  int bars = 0;
  for (const Section& s : song.sections) bars += s.bars;
  const size_t per_pass = size_t(std::llround(bars * 16 * step * kRate));
  *pass_frames = per_pass;
  const size_t last_pass = per_pass * size_t(passes - 1), ring_on = size_t(8.0 * kRate);
  const size_t origin = last_pass > ring_on ? last_pass - ring_on : 0;
  *last_pass_at = last_pass - origin;
  const size_t total = per_pass * size_t(passes) + size_t(3.0 * kRate) - origin;
  Stereo drums(total), bass(total), arp(total), pad(total), lead(total), counter(total), fx(total);
  Noise humanise(1234);
  // The frame of a time (in 16ths) in the sound returned, and whether it is in it at all.
  auto frame_at = [&](double steps, size_t* frame) {
    const size_t f = size_t(std::llround(steps * step * kRate));
    *frame = f >= origin ? f - origin : 0;
    return f >= origin;
  };
  auto bar_chord = [&](const std::vector<int>& chords, int bar) { return chords[size_t(bar) % chords.size()]; };

  double at_step = 0;
  uint32_t seed = 1;
  for (int pass = 0; pass < passes; ++pass) {
    // Every pass plays the same notes with the same noise: what rings on from the end of one
    // into the next is then exactly what rings into the loop's start.
    seed = 1;
    humanise = Noise(1234);
    for (const Section& sec : song.sections) {
      const std::vector<int> chords = parse_chords(sec.chords);
      for (int bar = 0; bar < sec.bars; ++bar) {
        const double bar_step = at_step + bar * 16;
        const int chord = bar_chord(chords, bar);
        const bool last_bar = bar == sec.bars - 1;
        size_t bar_frame;
        const bool bar_heard = frame_at(bar_step, &bar_frame);
        if (bar == 0 && (sec.parts & kCrash) && bar_heard) crash(drums, bar_frame, seed);
        if (bar == 0 && (sec.parts & kCrash)) ++seed;
        for (int s = 0; s < 16; ++s) {
          size_t f;
          const bool now = frame_at(bar_step + s, &f);
          const float hum = 0.9f + 0.1f * humanise.next();
          const bool fill = (sec.parts & kFill) && last_bar && s >= 12;
          const char k = song.kick[s];
          if (now && (sec.parts & kKick) && (k == 'x' || k == 'X') && !(fill && s > 12))
            kick(drums, f, k == 'X' ? 1.0f : 0.9f);
          if (now && (sec.parts & kHalfKick) && s % 8 == 0) kick(drums, f, 0.9f);
          const char sn = song.snare[s];
          if ((sec.parts & kSnare) && !fill) {
            if (sn == 'x' && now) snare(drums, f, 0.55f * hum, seed);
            if (sn == 'c' && now) clap(drums, f, 0.6f * hum, seed);
            if (sn == 'x' || sn == 'c') ++seed;
          }
          if (fill && now) snare(drums, f, 0.25f + 0.1f * float(s - 12), seed, 0.1);
          if (fill) ++seed;
          const char h = song.hat[s];
          if ((sec.parts & kHat) && h != '.') {
            if (now)
              hat(drums, f, (h == 'o' ? 0.28f : s % 4 == 2 ? 0.24f : 0.15f) * hum, seed, h == 'o' ? 0.3 : 0.05,
                  s % 2 ? 0.25f : -0.15f);
            ++seed;
          }
          const char b = song.bass[s];
          if (now && (sec.parts & kBass) && b != '.' && b != '-') {
            int held = 1;
            while (s + held < 16 && song.bass[s + held] == '-') ++held;
            int deg = chord;
            int octave = 0;
            if (b == 'o') octave = 12;
            if (b == '5') deg += 4;
            if (b == '7') deg += 6;
            int midi = song.tonic + semis(song, deg);
            midi = 28 + ((midi - 28) % 12 + 12) % 12 + octave;
            bass_note(bass, f, held * step * 0.9, note_hz(midi), 0.9f * hum, s % 4 == 0 ? 1.0 : 0.6);
          }
          const char a = song.arp[s];
          if (now && (sec.parts & kArp) && a != '.') {
            const int idx = a - '0';
            static const int kArpTones[4] = {0, 2, 4, 7};  // root, third, fifth, octave
            const int deg = chord + kArpTones[idx % 4] + 7 * (idx / 4);
            const double hz = note_hz(song.tonic - 12 + semis(song, deg));
            arp_note(arp, f, step * 1.8, hz, 0.8f * hum, s % 2 ? 0.55f : -0.55f);
          }
        }
        if ((sec.parts & kPad) && bar_heard) {
          std::vector<double> tones;
          for (int t = 0; t < 4; ++t) tones.push_back(note_hz(song.tonic - 12 + semis(song, chord + 2 * t)));
          pad_chord(pad, bar_frame, 16 * step * 0.98, tones, 0.5f);
        }
        if ((sec.parts & kRiser) && last_bar) {
          if (bar_heard) riser(fx, bar_frame, 16 * step, seed);
          ++seed;
        }
      }
      auto play_melody = [&](const char* text, Stereo& stem, bool is_lead) {
        const std::vector<MelodyNote> notes = parse_melody(text);
        if (notes.empty()) return;
        double s = 0;
        size_t i = 0;
        while (s < sec.bars * 16) {
          const MelodyNote& n = notes[i++ % notes.size()];
          if (!n.rest) {
            const double hz = note_hz(song.tonic + semis(song, n.degree) + n.sharp - (is_lead ? 0 : 12));
            const double held = n.steps * step * 0.92;
            const float vel = 0.85f + 0.15f * humanise.next();
            size_t f;
            const bool heard = frame_at(at_step + s, &f);
            if (heard && is_lead) lead_note(stem, f, held, hz, vel, song.lead_patch, -0.1f);
            if (heard && !is_lead) counter_note(stem, f, held, hz, vel);
          }
          s += n.steps;
        }
      };
      if (sec.parts & kLead) play_melody(sec.lead, lead, true);
      if (sec.parts & kCounter) play_melody(sec.counter, counter, false);
      at_step += sec.bars * 16;
    }
  }

  const double beat = 60.0 / song.bpm;
  ping_pong(lead, beat * 0.75, 0.35f, 0.3f);
  ping_pong(arp, beat * 0.5, 0.3f, 0.25f);
  chorus(pad, 3.0f, 0.5f, origin);
  Stereo out(total);
  const Stereo* stems[7] = {&drums, &bass, &arp, &pad, &lead, &counter, &fx};
  for (int i = 0; i < 7; ++i) mix_into(out, *stems[i], song.gains[i]);
  Stereo wet(total);
  mix_into(wet, lead, song.gains[4]);
  mix_into(wet, pad, song.gains[3]);
  mix_into(wet, arp, song.gains[2]);
  mix_into(wet, counter, song.gains[5]);
  reverb(wet, 1.0f, 0.8f);
  for (size_t i = 0; i < total; ++i) {
    out.l[i] += (wet.l[i] - (lead.l[i] * song.gains[4] + pad.l[i] * song.gains[3] + arp.l[i] * song.gains[2] +
                             counter.l[i] * song.gains[5])) * 0.25f;
    out.r[i] += (wet.r[i] - (lead.r[i] * song.gains[4] + pad.r[i] * song.gains[3] + arp.r[i] * song.gains[2] +
                             counter.r[i] * song.gains[5])) * 0.25f;
  }
  return out;
}

Stereo loop_of(const Song& song) {
  size_t per_pass = 0, at = 0;
  Stereo two = render_song(song, 2, &per_pass, &at);
  Stereo out(per_pass);
  for (size_t i = 0; i < per_pass; ++i) {
    out.l[i] = two.l[at + i];
    out.r[i] = two.r[at + i];
  }
  // Mastered well below full scale: the second core mixes the music at 250/256 and the
  // effects at 50-150/256, and the effects must still be heard over it.
  saturate(out, 1.15f);
  remove_offset(out, true);
  normalize_loudness(out, 0.12, 0.85f);
  return out;
}


const float kMix[7] = {0.75f, 0.38f, 0.22f, 0.22f, 0.42f, 0.24f, 0.18f};

Song with_mix(Song s, const float (&gains)[7]) {
  for (int i = 0; i < 7; ++i) s.gains[i] = gains[i];
  return s;
}

const std::map<std::string, Song>& all_songs() {
  static const std::map<std::string, Song> songs = [] {
    std::map<std::string, Song> m;
    // The title: A minor, an anthem over Am F C G.
    m["title.ogg"] = with_mix({128, 69, kMinor, "X...x...X...x...", "....c.......c...", "x.o.x.o.x.o.x.o.",
        "x.xox.xox.xox.xo", "0123210301232103", 0, {}, {
        {4, "0 5 2 6", kPad | kArp | kRiser, nullptr, nullptr},
        {8, "0 5 2 6", kFull | kCrash,
         "4:4 2:2 4:2 7:4 6:2 4:2 | 5:6 4:2 2:4 0:4 | 2:4 4:4 6:2 7:2 9:4 | 8:8 6:4 r:4 |"
         "4:4 2:2 4:2 7:4 9:2 7:2 | 7:4 5:2 4:2 5:8 | 4:4 6:4 7:4 9:4 | 6:4 8:4 11:8", nullptr},
        {8, "3 0 5 6", kFull | kCounter | kCrash,
         "3:6 5:2 7:4 5:4 | 4:6 2:2 0:8 | 5:4 7:4 9:4 7:4 | 6:12 4:2 5:2 |"
         "10:6 9:2 7:4 5:4 | 7:6 4:2 2:8 | 5:4 4:4 2:4 0:4 | 1:8 -1:8",
         "5:16 | 2:16 | 0:16 | 1:16"},
        {4, "5 6 0 0", kPad | kBass | kHalfKick | kRiser | kArp, nullptr, nullptr},
        {8, "0 5 2 6", kFull | kCounter | kCrash,
         "4:4 2:2 4:2 7:4 6:2 4:2 | 5:6 4:2 2:4 0:4 | 2:4 4:4 6:2 7:2 9:4 | 8:8 6:4 r:4 |"
         "4:4 2:2 4:2 7:4 9:2 7:2 | 7:4 5:2 4:2 5:8 | 4:4 6:4 7:4 9:4 | 6:4 8:4 11:8",
         "2:16 | 0:16 | 4:16 | 1:16"}}}, kMix);
    // VESTA: E minor, driving, a square lead.
    m["level1.ogg"] = with_mix({140, 64, kMinor, "X...x...X...x..x", "....x.......x...", "x.xxx.xxx.xxx.xo",
        "x.xxo.x.x.xxo.x.", "0132013201320132", 1, {}, {
        {4, "0 2 5 6", kDrums | kBass | kRiser, nullptr, nullptr},
        {8, "0 2 5 6", kFull | kCrash,
         "0:2 0:2 4:2 0:2 7:4 6:2 4:2 | 2:2 2:2 6:2 2:2 9:4 7:2 6:2 | 5:2 5:2 9:2 5:2 11:4 9:2 7:2 |"
         "6:4 8:4 10:4 8:2 6:2 | 0:2 0:2 4:2 0:2 7:4 9:2 7:2 | 2:2 2:2 6:2 2:2 9:4 11:2 9:2 |"
         "12:6 11:2 9:4 7:4 | 8:8 6:4 8:4", nullptr},
        {8, "5 6 4 0", kFull | kCounter | kCrash,
         "9:6 7:2 5:8 | 10:6 8:2 6:8 | 11:4 9:4 8:4 6:4 | 7:16 |"
         "9:6 11:2 12:8 | 13:6 12:2 10:8 | 11:4 8:4 6:4 4:4 | 7:12 r:4",
         "0:16 | 1:16 | -1:16 | 2:16"},
        {4, "0 0 5 6", kPad | kArp | kHalfKick | kRiser, nullptr, nullptr},
        {8, "0 2 5 6", kFull | kCounter | kCrash,
         "0:2 0:2 4:2 0:2 7:4 6:2 4:2 | 2:2 2:2 6:2 2:2 9:4 7:2 6:2 | 5:2 5:2 9:2 5:2 11:4 9:2 7:2 |"
         "6:4 8:4 10:4 8:2 6:2 | 0:2 0:2 4:2 0:2 7:4 9:2 7:2 | 2:2 2:2 6:2 2:2 9:4 11:2 9:2 |"
         "12:6 11:2 9:4 7:4 | 8:8 6:4 8:4",
         "4:8 2:8 | 6:16 | 5:16 | 4:16"}}}, kMix);
    // ARES: D phrygian electro, syncopated.
    m["level2.ogg"] = with_mix({150, 62, kPhrygian, "X..x..x...X..x..", "....c.......c..x", "x.xxx.xxx.xxx.xx",
        "x..x..x.x.ox..x.", "0210021002100210", 0, {}, {
        {4, "0 1 0 6", kPad | kArp | kRiser, nullptr, nullptr},
        {8, "0 1 0 6", kFull | kCrash,
         "7:3 7:3 9:2 7:2 4:2 6:2 7:2 | 8:3 8:3 10:2 8:2 5:2 6:2 5:2 | 7:3 7:3 11:2 9:4 7:4 | 6:6 5:2 3:4 1:4",
         nullptr},
        {8, "5 6 0 0", kFull | kCounter | kCrash,
         "5:4 7:4 9:4 12:4 | 13:8 12:4 10:4 | 11:6 9:2 7:8 | 4:4 5:4 7:8 |"
         "12:4 9:4 7:4 5:4 | 6:4 8:4 10:8 | 7:4 9:4 11:4 14:4 | 14:12 r:4",
         "0:16 | 1:16 | 2:16 | 4:16"},
        {4, "0 1 0 6", kDrums | kBass | kRiser, nullptr, nullptr},
        {8, "0 1 0 6", kFull | kCounter | kCrash,
         "7:3 7:3 9:2 7:2 4:2 6:2 7:2 | 8:3 8:3 10:2 8:2 5:2 6:2 5:2 | 7:3 7:3 11:2 9:4 7:4 | 6:6 5:2 3:4 1:4",
         "2:16 | 3:16 | 2:16 | 1:16"}}}, kMix);
    // KRONOS: G harmonic minor, dark, a plucked lead over running arpeggios.
    m["level3.ogg"] = with_mix({132, 67, kHarmonic, "X.......X.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.",
        "x..x..x.x..x.o..", "0123456765432101", 2, {}, {
        {4, "0 5 3 4", kPad | kArp | kRiser, nullptr, nullptr},
        {8, "0 5 3 4", kFull | kCrash,
         "4:4 7:4 9:2 7:2 4:4 | 5:4 7:4 9:2 7:2 5:4 | 3:4 5:4 7:4 10:4 | 6:6 8:2 11:8 |"
         "11:4 9:4 7:4 4:4 | 12:6 11:2 9:8 | 10:4 9:4 7:4 5:4 | 6:8 4:8", nullptr},
        {8, "3 0 5 4", kFull | kCounter | kCrash,
         "10:8 12:4 10:4 | 9:8 7:8 | 9:4 11:4 12:4 14:4 | 13:12 r:4 |"
         "10:4 12:4 14:4 12:4 | 11:8 9:8 | 12:6 11:2 9:4 7:4 | 6:4 8:4 11:8",
         "5:16 | 2:16 | 0:16 | -1:16"},
        {4, "0 5 3 4", kPad | kArp | kHalfKick | kRiser, nullptr, nullptr},
        {8, "0 5 3 4", kFull | kCounter | kCrash,
         "4:4 7:4 9:2 7:2 4:4 | 5:4 7:4 9:2 7:2 5:4 | 3:4 5:4 7:4 10:4 | 6:6 8:2 11:8 |"
         "11:4 9:4 7:4 4:4 | 12:6 11:2 9:8 | 10:4 9:4 7:4 5:4 | 6:8 4:8",
         "2:16 | 0:16 | 5:16 | -1:16"}}}, kMix);
    // TITAN: F# dorian, fast, pumping octaves.
    m["level4.ogg"] = with_mix({145, 66, kDorian, "X...x...X...x.x.", "....x.......x...", "x.xox.xox.xox.xo",
        "xoxoxoxoxoxoxoxo", "0123012301230123", 0, {}, {
        {2, "0 3", kDrums | kRiser, nullptr, nullptr},
        {8, "0 3 0 6", kFull | kCrash,
         "7:2 r:2 7:2 9:2 11:4 9:2 7:2 | 10:2 r:2 10:2 12:2 14:4 12:2 10:2 | 7:2 r:2 7:2 9:2 11:2 12:2 14:4 |"
         "13:8 10:4 8:4", nullptr},
        {8, "2 3 6 0", kFull | kCounter | kCrash,
         "9:4 11:4 13:4 11:4 | 10:4 12:4 14:4 12:4 | 13:6 10:2 8:8 | 7:12 r:4",
         "4:16 | 5:16 | 1:16 | 2:16"},
        {4, "0 3 0 6", kPad | kArp | kBass | kRiser, nullptr, nullptr},
        {8, "0 3 0 6", kFull | kCounter | kCrash,
         "7:2 r:2 7:2 9:2 11:4 9:2 7:2 | 10:2 r:2 10:2 12:2 14:4 12:2 10:2 | 7:2 r:2 7:2 9:2 11:2 12:2 14:4 |"
         "13:8 10:4 8:4",
         "2:16 | 3:16 | 4:16 | 1:16"}}}, kMix);
    // HADES: B harmonic minor, the fastest and darkest.
    m["level5.ogg"] = with_mix({155, 59, kHarmonic, "X...x...X...x...", "....x.......x..x", "xxx.xxx.xxx.xxxo",
        "x.oxx.oxx.oxx.ox", "0123321001233210", 0, {}, {
        {4, "0 5 3 4", kPad | kHalfKick | kRiser, nullptr, nullptr},
        {8, "0 5 3 4", kFull | kCrash,
         "7:2 9:2 11:2 9:2 7:2 9:2 11:2 14:2 | 12:4 11:2 9:2 7:4 12:4 | 10:2 12:2 14:2 12:2 10:2 9:2 7:2 9:2 |"
         "11:4 13:4 15:8", nullptr},
        {8, "3 0 5 4", kFull | kCounter | kCrash,
         "10:6 12:2 14:8 | 14:4 13:2 11:2 9:8 | 12:4 14:4 16:4 14:4 | 13:12 r:4",
         "5:16 | 2:16 | 0:16 | -1:16"},
        {4, "0 5 3 4", kDrums | kBass | kArp | kRiser, nullptr, nullptr},
        {8, "0 5 3 4", kFull | kCounter | kCrash,
         "7:2 9:2 11:2 9:2 7:2 9:2 11:2 14:2 | 12:4 11:2 9:2 7:4 12:4 | 10:2 12:2 14:2 12:2 10:2 9:2 7:2 9:2 |"
         "11:4 13:4 15:8",
         "2:16 | 0:16 | 5:16 | -1:16"},
        {8, "3 0 5 4", kFull | kCounter | kCrash | kRiser,
         "10:6 12:2 14:8 | 14:4 13:2 11:2 9:8 | 12:4 14:4 16:4 14:4 | 13:12 r:4",
         "5:8 7:8 | 2:8 4:8 | 0:8 2:8 | -1:16"}}}, kMix);
    // The zone is complete: C major, a fanfare.
    m["zonecomplete.ogg"] = with_mix({120, 60, kMajor, "X...x...X...x...", "....c.......c...", "..x...x...x...x.",
        "x.x.o.x.x.x.o.x.", "0123012301230123", 0, {}, {
        {8, "0 5 3 4", kFull | kCrash,
         "7:2 9:2 11:2 14:6 11:2 14:2 | 12:4 14:4 16:8 | 17:4 16:4 14:4 12:4 | 11:8 13:4 15:4 |"
         "14:4 11:4 9:4 7:4 | 9:4 12:4 14:8 | 12:4 14:4 17:8 | 15:16", nullptr},
        {8, "3 4 5 4", kFull | kCounter | kCrash,
         "12:6 14:2 17:8 | 15:6 13:2 11:8 | 12:4 14:4 16:4 14:4 | 13:8 11:8", "5:16 | 6:16 | 7:16 | 6:16"}}},
        kMix);
    // The high-score entry: F major, bouncy.
    m["qss.lvl"] = with_mix({125, 65, kMajor, "X.....x.X.......", "....x.......x...", "x.x.x.x.x.x.x.x.",
        "x..ox..ox..ox.o.", "0123210001232100", 1, {}, {
        {8, "0 5 3 4", kFull | kCrash,
         "7:2 9:2 11:2 9:2 7:2 9:2 11:4 | 12:2 11:2 9:2 7:2 5:4 r:4 | 10:2 12:2 14:2 12:2 10:4 9:2 7:2 |"
         "8:4 11:4 8:4 r:4", nullptr},
        {8, "3 4 5 4", kFull | kCounter | kCrash,
         "10:4 14:4 12:4 10:4 | 11:4 13:4 15:8 | 12:2 14:2 16:2 14:2 12:4 9:4 | 11:16",
         "5:16 | 6:16 | 7:16 | 6:16"}}}, kMix);
    // A boss fades: D phrygian, slow and sparse.
    m["lft.lvl"] = with_mix({90, 62, kPhrygian, "X.........x.....", "........x.......", "....x.......x...",
        "x-------x---o---", "0.2.1.3.0.2.1.3.", 2, {}, {
        {8, "0 1 0 6", kPad | kArp | kBass | kHalfKick | kLead,
         "7:6 8:2 7:8 | 8:6 10:2 8:8 | 11:4 9:4 7:8 | 6:8 r:8", nullptr},
        {8, "0 1 0 6", kPad | kArp | kBass | kKick | kSnare | kHat | kLead | kCounter | kRiser,
         "7:6 8:2 7:8 | 8:6 10:2 8:8 | 11:4 9:4 7:8 | 6:8 r:8", "2:16 | 3:16 | 2:16 | 1:16"}}}, kMix);
    // A boss is down: A dorian, a funky groove.
    m["shs.lvl"] = with_mix({136, 57, kDorian, "X..x....X.x.....", "....x..x....x...", "x.xxx.xxx.xxx.xx",
        "x..x.ox.x.xx.o.x", "0.1.2.1.0.1.2.3.", 1, {}, {
        {8, "0 3 0 3", kFull | kCrash,
         "7:3 9:3 11:2 12:4 11:2 9:2 | 10:3 12:3 13:2 12:4 10:4 | 7:3 9:3 11:2 14:4 12:2 11:2 | 10:6 12:2 10:8",
         nullptr},
        {8, "2 6 3 0", kFull | kCounter | kCrash,
         "9:4 11:4 13:4 11:4 | 13:4 15:4 17:8 | 12:4 14:4 10:8 | 11:6 9:2 7:8", "4:16 | 1:16 | 5:16 | 2:16"},
        {8, "0 3 0 3", kFull | kCounter | kCrash,
         "7:3 9:3 11:2 12:4 11:2 9:2 | 10:3 12:3 13:2 12:4 10:4 | 7:3 9:3 11:2 14:4 12:2 11:2 | 10:6 12:2 10:8",
         "2:16 | 5:16 | 2:16 | 5:16"}}}, kMix);
    // The last boss is down: D major, an anthem.
    m["bety.lvl"] = with_mix({118, 62, kMajor, "X.......X.......", "....x.......x...", "..x...x...x...x.",
        "x-x-x-x-o-x-x-x-", "0123012301230123", 0, {}, {
        {4, "0 4 5 3", kPad | kArp | kRiser, nullptr, nullptr},
        {8, "0 4 5 3", kFull | kCrash,
         "9:4 11:4 9:2 7:2 4:4 | 8:4 6:4 4:8 | 7:4 9:4 11:4 12:4 | 10:12 r:4", nullptr},
        {8, "3 0 4 4", kFull | kCounter | kCrash,
         "10:6 12:2 14:8 | 14:4 13:4 11:4 9:4 | 11:6 13:2 15:8 | 15:12 r:4", "5:16 | 2:16 | 6:16 | 6:16"},
        {4, "0 4 5 3", kPad | kLead | kHalfKick | kBass | kRiser,
         "9:4 11:4 9:2 7:2 4:4 | 8:4 6:4 4:8 | 7:4 9:4 11:4 12:4 | 10:12 r:4", nullptr}}}, kMix);
    return m;
  }();
  return songs;
}

}  // namespace

bool render_track(const std::string& name, Stereo* out) {
  const std::map<std::string, Song>& songs = all_songs();
  auto it = songs.find(name);
  if (it == songs.end()) return false;
  *out = loop_of(it->second);
  return true;
}

std::vector<std::string> track_names() {
  std::vector<std::string> names;
  for (const auto& entry : all_songs()) names.push_back(entry.first);
  return names;
}

}  // namespace pxsynth
