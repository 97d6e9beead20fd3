// The puzzle game's music and effects, from the built packs, played through the sound
// library's mixer on a stand-in driver: the modules load, use only the effects the
// tracker plays, run a minute or more without a silent stretch or clipping, and loop
// without a gap; the effects load, and the one stored as MS-ADPCM decodes close to the
// sound it was made from.
#include <cmath>

#include "assets/kolvo2/effects.h"
#include "sound/qssTables.h"
#include "tests/assets/kolvo2_packs.h"
#include "tests/sound/fake_driver.h"

namespace {

constexpr int kRate = 22050;

struct Render {
  std::vector<double> rms;  // of each 100-ms window, 16-bit scale
  int32_t peak = 0;
  double seconds = 0;       // until the music channel stopped
  double mean[2] = {0, 0};  // of the left and the right side
};

// Plays a module (loop off: to its end; loop on: for `limit` seconds).
Render Play(const std::vector<uint8_t>& module, bool loop, double limit, int rate = kRate) {
  qssMusic music;
  EXPECT_EQ(music.load(module.data(), module.size(), false), 0);
  music.loop(loop);
  FakeSpeaker speaker;
  EXPECT_EQ(speaker.open(rate, 16, true, 2, 8), 0);
  const int channel = speaker.playMusic(&music, QSS_ANY_CHANNEL);
  EXPECT_GE(channel, 0);
  Render r;
  double sides[2] = {0, 0};
  size_t frames = 0;
  for (int w = 0; w < limit * 10; ++w) {
    if (speaker.channel(channel)->stopped()) break;
    const std::vector<int16_t> v = speaker.pump16(rate / 10);
    double sum = 0;
    for (size_t i = 0; i < v.size(); ++i) {
      const int16_t s = v[i];
      sum += double(s) * s;
      sides[i % 2] += s;
      r.peak = std::max<int32_t>(r.peak, std::abs(int32_t{s}));
    }
    frames += v.size() / 2;
    r.rms.push_back(std::sqrt(sum / v.size()));
    r.seconds += 0.1;
  }
  for (int side = 0; side < 2; ++side) r.mean[side] = frames ? sides[side] / frames : 0;
  return r;
}

TEST(Kolvo2Music, ModulesUseOnlyWhatTheTrackerPlays) {
  const std::vector<std::string> names = PackNames("bgm.zpk");
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> m = PackEntry("bgm.zpk", name);
    qssMusic music;
    ASSERT_EQ(music.load(m.data(), m.size(), false), 0);
    EXPECT_EQ(std::string(m.begin() + 1080, m.begin() + 1084), music.tracks() == 4 ? "M.K." : std::to_string(music.tracks()) + "CHN");
    EXPECT_EQ(m.size(), qssMusic::moduleSize(m.data()));
    const uint8_t* cells = m.data() + QSS_MOD_HEADER;
    for (uint32_t i = 0; i < music.patterns() * 64 * music.tracks(); ++i) {
      const uint8_t* c = cells + 4 * i;
      const int sample = (c[0] & 0xF0) | c[2] >> 4, period = (c[0] & 0x0F) << 8 | c[1];
      const int effect = c[2] & 0x0F, x = c[3] >> 4;
      EXPECT_NE(effect, 7) << "cell " << i;
      EXPECT_NE(effect, 8) << "cell " << i;
      if (effect == 0xE) {
        EXPECT_TRUE(x == 6 || (x >= 0xA && x <= 0xE)) << "cell " << i;
      }
      EXPECT_LE(sample, 31);
      if (period) {
        // A note of the classic range, exactly as the period table has it.
        const uint16_t* row = amiganote[0];
        EXPECT_TRUE(std::find(row + 12, row + 48, period) != row + 48) << "period " << period;
      }
    }
  }
}

TEST(Kolvo2Music, TunesRunAMinuteWithoutSilenceOrClipping) {
  for (const std::string& name : PackNames("bgm.zpk")) {
    SCOPED_TRACE(name);
    const Render r = Play(PackEntry("bgm.zpk", name), false, 200);
    EXPECT_GE(r.seconds, 60.0);
    EXPECT_LE(r.seconds, 120.0);
    // Every 100 ms carries sound (above -50 dBFS), the last window aside, where it ends.
    for (size_t w = 0; w + 1 < r.rms.size(); ++w) ASSERT_GE(r.rms[w], 100.0) << "silent at " << w / 10.0 << " s";
    EXPECT_LT(r.peak, 32767);
    // Loud enough to carry, with room for the effects on top.
    double sum = 0;
    for (double v : r.rms) sum += v * v;
    const double dbfs = 20 * std::log10(std::sqrt(sum / r.rms.size()) / 32768);
    EXPECT_GE(dbfs, -24.0);
    EXPECT_LE(dbfs, -10.0);
  }
}

TEST(Kolvo2Music, TunesCarryNoOffset) {
  // A constant offset is no sound, only lost headroom and a click where the music stops.
  for (const std::string& name : PackNames("bgm.zpk")) {
    SCOPED_TRACE(name);
    const Render r = Play(PackEntry("bgm.zpk", name), false, 200);
    EXPECT_NEAR(r.mean[0], 0.0, 100.0);
    EXPECT_NEAR(r.mean[1], 0.0, 100.0);
  }
}

TEST(Kolvo2Music, TitleMusicLoopsWithoutAGap) {
  // The game loops the title music through its games.
  const std::vector<uint8_t> m = PackEntry("bgm.zpk", "title.mod");
  const double length = Play(m, false, 200).seconds;
  const Render r = Play(m, true, length + 8);
  EXPECT_NEAR(r.seconds, length + 8, 0.15);
  for (size_t w = 0; w < r.rms.size(); ++w) ASSERT_GE(r.rms[w], 100.0) << "silent at " << w / 10.0 << " s";
}

TEST(Kolvo2Effects, EightEffectsLoadInTheGamesOrder) {
  const std::vector<std::string> names = PackNames("sfx.zpk");
  const std::vector<std::string> expected = {"menu.wav",    "drop.wav",    "lines.wav",    "lock.wav",
                                             "logo.wav",    "levelup.wav", "gameover.wav", "highscore.wav"};
  ASSERT_EQ(names, expected);
  int adpcm = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> w = PackEntry("sfx.zpk", name);
    ASSERT_GE(w.size(), 44u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 12), "WAVE");
    EXPECT_EQ(std::string(w.begin() + 12, w.begin() + 16), "fmt ");
    qssSound sound;
    ASSERT_EQ(sound.load(w.data(), w.size(), false), 0);
    EXPECT_EQ(sound.sampleRate(), k2audio::kEffectRate);
    EXPECT_FALSE(sound.stereo());
    EXPECT_FALSE(sound.bits8());
    EXPECT_GT(sound.frames(), k2audio::kEffectRate / 50);
    if (w[20] == 2) ++adpcm;
  }
  EXPECT_GE(adpcm, 1);
}

TEST(Kolvo2Effects, StoredSoundsAreTheSynthesisedOnes) {
  // PCM ones exactly; the MS-ADPCM one (the intro logo's, played at every start) within
  // the codec's error, which its noisy whoosh keeps near 18 dB below the sound (a fault
  // in the coding leaves none).
  const std::vector<k2audio::Effect> effects = k2audio::MakeEffects();
  const std::vector<std::string> names = PackNames("sfx.zpk");
  ASSERT_EQ(effects.size(), names.size());
  for (size_t i = 0; i < effects.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::vector<uint8_t> w = PackEntry("sfx.zpk", names[i]);
    qssSound sound;
    ASSERT_EQ(sound.load(w.data(), w.size(), false), 0);
    const std::vector<int16_t>& source = effects[i].pcm;
    ASSERT_GE(sound.frames(), source.size());
    const int16_t* played = reinterpret_cast<const int16_t*>(sound.data());
    double signal = 0, noise = 0;
    for (size_t k = 0; k < source.size(); ++k) {
      signal += double(source[k]) * source[k];
      noise += double(played[k] - source[k]) * (played[k] - source[k]);
    }
    if (effects[i].adpcm) {
      EXPECT_EQ(w[20], 2);
      EXPECT_GE(10 * std::log10(signal / std::max(noise, 1.0)), 15.0);
    } else {
      EXPECT_EQ(noise, 0.0);
    }
  }
}

TEST(Kolvo2Effects, GamePlayEffectsStartAtOnceAndStayShort) {
  // Effects 1 to 4 answer a key or a move: sound within 5 ms, over within a second.
  const std::vector<k2audio::Effect> effects = k2audio::MakeEffects();
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(effects[i].name);
    const std::vector<int16_t>& pcm = effects[i].pcm;
    const auto first = std::find_if(pcm.begin(), pcm.end(), [](int16_t v) { return std::abs(v) > 1000; });
    EXPECT_LT(first - pcm.begin(), k2audio::kEffectRate / 200);
    EXPECT_LT(pcm.size(), k2audio::kEffectRate);
  }
}

TEST(Kolvo2Effects, EffectsCarryNoOffset) {
  for (const k2audio::Effect& e : k2audio::MakeEffects()) {
    SCOPED_TRACE(e.name);
    double sum = 0;
    for (int16_t v : e.pcm) sum += v;
    EXPECT_NEAR(sum / double(e.pcm.size()), 0.0, 100.0);
  }
}

// The loudest the game can ask for: music and sound at 100 %, and on top of the music's
// loudest moment the most one moment of play starts: a lock's sound (the hard drop, the
// cleared rows or the plain lock: one of them a lock), a turn in the same frame and another
// turn 80 ms later (the least time between two starts of one effect). The mixer saturates
// at full scale, so a sum past it clips.
TEST(Kolvo2Sound, LoudestSettingsWithEffectsPiledUpDoNotClip) {
  constexpr int kGameRate = 44100;
  int32_t music = 0;
  for (const std::string& name : PackNames("bgm.zpk"))
    music = std::max(music, Play(PackEntry("bgm.zpk", name), false, 200, kGameRate).peak);
  const std::vector<std::string> names = PackNames("sfx.zpk");
  std::vector<std::vector<uint8_t>> files;
  std::vector<qssSound> effects(4);
  for (int i = 0; i < 4; ++i) {
    files.push_back(PackEntry("sfx.zpk", names[i]));
    ASSERT_EQ(effects[i].load(files[i].data(), files[i].size(), false), 0);
  }
  int32_t loudest = 0;
  for (int lock = 1; lock < 4; ++lock) {
    SCOPED_TRACE(names[lock]);
    FakeSpeaker speaker;
    ASSERT_EQ(speaker.open(kGameRate, 16, true, 2, 8), 0);
    ASSERT_GE(speaker.playSound(&effects[lock], QSS_ANY_CHANNEL), 0);
    ASSERT_GE(speaker.playSound(&effects[0], QSS_ANY_CHANNEL), 0);
    auto pump = [&](int frames) {
      for (int16_t v : speaker.pump16(frames)) loudest = std::max<int32_t>(loudest, std::abs(int32_t{v}));
    };
    pump(kGameRate * 80 / 1000);
    ASSERT_GE(speaker.playSound(&effects[0], QSS_ANY_CHANNEL), 0);
    pump(kGameRate);
  }
  EXPECT_LE(music + loudest, 32767) << "music " << music << ", effects " << loudest;
}

std::vector<int16_t> Signal(const std::string& kind, size_t n) {
  std::vector<int16_t> v(n);
  uint32_t seed = 1;
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / k2audio::kEffectRate;
    double x = 0;
    if (kind == "sine 440") x = 16000 * std::sin(2 * M_PI * 440 * t);
    if (kind == "sine 5000") x = 12000 * std::sin(2 * M_PI * 5000 * t);
    if (kind == "chirp") x = 20000 * std::sin(2 * M_PI * (100 + 3000 * t) * t) * std::exp(-t);
    if (kind == "full scale") x = 32767 * std::sin(2 * M_PI * 200 * t);
    if (kind == "noise") {
      seed = seed * 1664525u + 1013904223u;
      x = ((seed >> 16) & 0x7FFF) - 16384.0;
    }
    v[i] = static_cast<int16_t>(std::lround(x));
  }
  return v;
}

TEST(Kolvo2Effects, AdpcmEncoderOutputDecodesCloseToItsSource) {
  struct Case {
    const char* kind;
    size_t samples;
    double minSnr;
  };
  // Lengths around the block of 1012 samples: short of one, one exactly, several with a
  // partial last one.
  const Case cases[] = {{"silence", 1000, 0},     {"sine 440", 1012, 30},  {"sine 5000", 3000, 18},
                        {"chirp", 5000, 25},      {"full scale", 2024, 30}, {"noise", 2500, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const std::vector<int16_t> source = Signal(c.kind, c.samples);
    const std::vector<uint8_t> wav = k2audio::EncodeAdpcmWav(source, k2audio::kEffectRate);
    qssSound sound;
    ASSERT_EQ(sound.load(wav.data(), wav.size(), false), 0);
    // Whole blocks: the last one filled up with silence.
    ASSERT_EQ(sound.frames(), (c.samples + 1011) / 1012 * 1012);
    const int16_t* played = reinterpret_cast<const int16_t*>(sound.data());
    double signal = 0, noise = 0;
    for (size_t k = 0; k < source.size(); ++k) {
      signal += double(source[k]) * source[k];
      noise += double(played[k] - source[k]) * (played[k] - source[k]);
    }
    // The filling is quiet once the codec has settled on it.
    for (size_t k = source.size() + 200; k < sound.frames(); ++k) ASSERT_LE(std::abs(played[k]), 64) << k;
    if (signal == 0) {
      EXPECT_EQ(noise, 0.0);
    } else {
      EXPECT_GE(10 * std::log10(signal / std::max(noise, 1.0)), c.minSnr);
    }
  }
}

}  // namespace
