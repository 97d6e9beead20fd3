// MOD modules and the tracker engine: loader, sequencing, effects per tick, rendered output
// and malformed modules.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <cstring>
#include <random>

#include "sound/qssTables.h"
#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<int8_t> ramp(size_t n) {
  std::vector<int8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int8_t>((i * 7) & 0x7F);
  return v;
}

// A speaker with one module playing, stepped a frame at a time.
struct Player {
  FakeSpeaker speaker;
  qssMusic music;
  std::vector<uint8_t> image;
  qssMusicChannel* c = nullptr;

  Player(const ModBuilder& m, uint32_t rate = 8000, bool loop = false, bool stereo = true,
         uint32_t bits = 16) {
    image = m.build();
    EXPECT_EQ(speaker.open(rate, bits, stereo, 1, 8), 0);
    EXPECT_EQ(music.load(image.data(), image.size(), false), 0);
    music.loop(loop);
    EXPECT_EQ(speaker.playMusic(&music, QSS_ANY_CHANNEL), 0);
    c = &speaker.musics[0];
  }
  int frameBytes() const { return (speaker.bits16 ? 2 : 1) * (speaker.stereo ? 2 : 1); }
  void frames(int n) { speaker.pump(n * frameBytes()); }
  // States of a track at each tick that reads a row or runs tick effects.
  std::vector<qssTrack> ticks(int count, int trackIndex = 0) {
    std::vector<qssTrack> out;
    for (int guard = 0; (int)out.size() < count && guard < 1000000; ++guard) {
      uint32_t before = c->tick;
      frames(1);
      if (c->tick != before && c->tick != c->ticksPerRow) out.push_back(c->track[trackIndex]);
      if (c->stopped()) break;
    }
    return out;
  }
  // Rows read, in order, until the song stops or `limit` rows.
  std::vector<uint32_t> rowsRead(int limit) {
    std::vector<uint32_t> rows;
    for (int guard = 0; (int)rows.size() < limit && guard < 10000000; ++guard) {
      bool rowFrame = c->tick == c->ticksPerRow && c->patternDelay == 0;
      uint32_t at = c->position();
      frames(1);
      if (c->stopped()) break;
      if (rowFrame) rows.push_back(at);
    }
    return rows;
  }
};

ModBuilder oneSample(uint32_t tracks = 4, const char* sig = "M.K.") {
  ModBuilder m(tracks, sig);
  m.samples[0].data = ramp(2000);
  return m;
}

// ---- loader ----

struct SigCase {
  const char* sig;
  uint32_t tracks;
};

TEST(ModLoader, Signatures) {
  const SigCase cases[] = {{"M.K.", 4}, {"M!K!", 4}, {"8CHN", 8}, {"6CHN", 6}, {"16CH", 16},
                           {"32CH", 32}, {"m.k.", 0}, {"FLT4", 0}, {"xxCH", 0}};
  for (const SigCase& c : cases) {
    SCOPED_TRACE(c.sig);
    EXPECT_EQ(qssMusic::translatePTSign(reinterpret_cast<const signed char*>(c.sig)), c.tracks);
    ModBuilder m(c.tracks ? c.tracks : 4, c.sig);
    auto image = m.build();
    qssMusic music;
    EXPECT_EQ(music.load(image.data(), image.size(), true), c.tracks ? 0 : -100);
    EXPECT_EQ(music.load(image.data(), true), c.tracks ? 0 : -100);
    EXPECT_EQ(music.tracks(), c.tracks);
  }
}

TEST(ModLoader, PatternCountAndSampleOffsets) {
  ModBuilder m = oneSample();
  m.samples[1].data = ramp(100);
  m.songLength = 3;
  m.orders[0] = 0;
  m.orders[1] = 5;
  m.orders[2] = 2;
  m.orders[3] = 9;  // past the song length: not looked at
  auto image = m.build();
  EXPECT_EQ(qssMusic::getNumPattern(image.data(), 3), 6u);
  qssMusic music;
  ASSERT_EQ(music.load(image.data(), image.size(), true), 0);
  EXPECT_EQ(music.patterns(), 6u);
  EXPECT_EQ(music.size(), 1084u + 6 * 4 * 256 + 2000 + 100);
  EXPECT_EQ(qssMusic::moduleSize(image.data()), image.size());
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
  const qssMusicChannel& c = s.musics[0];
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(c.samples[1].data), music.image() + 1084 + 6 * 1024);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(c.samples[2].data),
            music.image() + 1084 + 6 * 1024 + 2000);
  EXPECT_EQ(c.samples[1].length, 2000u << 12);
  EXPECT_EQ(c.samples[3].data, nullptr);
}

TEST(ModLoader, Errors) {
  qssMusic music;
  EXPECT_EQ(music.load(static_cast<const void*>(nullptr), 10, true), -10);
  EXPECT_EQ(music.load(static_cast<const void*>(nullptr), true), -10);
  EXPECT_EQ(music.load("/nonexistent/dir/song.mod"), -200);

  auto image = oneSample().build();
  EXPECT_EQ(music.load(image.data(), 1083, true), -300);  // shorter than the header
  EXPECT_EQ(music.load(image.data(), 1084 + 1023, true), -300);  // shorter than its pattern
  ModBuilder empty = oneSample();
  empty.songLength = 0;
  auto noSong = empty.build();
  EXPECT_EQ(music.load(noSong.data(), noSong.size(), true), -300);

  // A song length past 128 is clamped.
  ModBuilder longSong = oneSample();
  longSong.songLength = 200;
  auto l = longSong.build();
  ASSERT_EQ(music.load(l.data(), l.size(), true), 0);
  EXPECT_EQ(music.songLength(), 128u);

  // Path form: the same result as memory; an empty file is -300.
  const TempDir dir;
  const TempPath path = dir / "song.mod";
  ASSERT_TRUE(WriteWholeFile(path, {}));
  EXPECT_EQ(music.load(path), -300);
  FILE* f = fopen(path, "wb");
  fwrite(image.data(), 1, image.size(), f);
  fclose(f);
  EXPECT_EQ(music.load(path), 0);
  EXPECT_EQ(music.size(), image.size());
  EXPECT_EQ(memcmp(music.image(), image.data(), image.size()), 0);
  auto bad = image;
  memcpy(&bad[1080], "FLT4", 4);
  f = fopen(path, "wb");
  fwrite(bad.data(), 1, bad.size(), f);
  fclose(f);
  EXPECT_EQ(music.load(path), -100);
}

TEST(ModLoader, TruncatedSamplesAreClamped) {
  ModBuilder m = oneSample();
  m.samples[1].data = ramp(500);
  auto image = m.build();
  qssMusic music;
  // Cut 300 bytes off the second sample.
  ASSERT_EQ(music.load(image.data(), image.size() - 300, true), 0);
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
  EXPECT_EQ(s.musics[0].samples[1].length, 2000u << 12);
  EXPECT_EQ(s.musics[0].samples[2].length, 200u << 12);
  // Cut into the first sample: the second has no bytes at all.
  ASSERT_EQ(music.load(image.data(), image.size() - 1000, true), 0);
  s.stopMusics();
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
  EXPECT_EQ(s.musics[0].samples[1].length, 1500u << 12);
  EXPECT_EQ(s.musics[0].samples[2].data, nullptr);
}

TEST(ModLoader, PlayRefusals) {
  FakeSpeaker s;
  qssMusic none;
  EXPECT_EQ(s.playMusic(&none, QSS_ANY_CHANNEL), -1000);  // closed
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  EXPECT_EQ(s.playMusic(&none, QSS_ANY_CHANNEL), -1000);  // not loaded
  ModBuilder wide(33, "33CH");
  auto image = wide.build();
  qssMusic tooWide;
  ASSERT_EQ(tooWide.load(image.data(), image.size(), false), 0);
  EXPECT_EQ(s.playMusic(&tooWide, QSS_ANY_CHANNEL), -1000);
  auto ok = oneSample().build();
  qssMusic music;
  ASSERT_EQ(music.load(ok.data(), ok.size(), false), 0);
  EXPECT_EQ(s.playMusic(&music, 1), -1000);  // one music channel only
  EXPECT_EQ(s.playMusic(&music, 0), 0);
  EXPECT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), -1000);  // busy
}

// ---- sequencing ----

TEST(ModSequencing, FramesPerRowAtDefaultTempo) {
  Player p(oneSample(), 44100);
  EXPECT_EQ(p.c->samplesPerTick, 882u);
  p.frames(1);
  EXPECT_EQ(p.c->position(), 1u);
  p.frames(5298);
  EXPECT_EQ(p.c->position(), 1u);
  p.frames(1);
  EXPECT_EQ(p.c->position(), 2u);  // 1 + 6 x 883 = 5299 frames a row
}

TEST(ModSequencing, SpeedAndTempo) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 0, 0, 0xF, 0x20);  // 32 ticks a row
  m.cell(0, 1, 0, 0, 0, 0xF, 0x21);  // tempo 33: 13 ticks a second
  Player p(m, 44100);
  p.frames(1);
  EXPECT_EQ(p.c->ticksPerRow, 32u);
  p.frames(32 * 883);
  EXPECT_EQ(p.c->position(), 1u);
  p.frames(1);
  EXPECT_EQ(p.c->position(), 2u);
  EXPECT_EQ(p.c->ticksPerSecond, 13u);
  EXPECT_EQ(p.c->samplesPerTick, 3392u);
}

TEST(ModSequencing, JumpsAndSongEnd) {
  struct Case {
    const char* name;
    uint8_t songLength, restart;
    bool loop;
    std::vector<std::array<uint32_t, 5>> cells;  // order (= pattern), row, track, effect, parameter
    std::vector<uint32_t> rows;                   // positions read, order x 64 + row
    bool stops;
  };
  const Case cases[] = {
      {"B backwards without loop ends the song", 2, 127, false, {{0, 1, 0, 0xB, 0}}, {0, 1}, true},
      {"B backwards with loop jumps", 2, 127, true, {{0, 1, 0, 0xB, 0}}, {0, 1, 0, 1, 0}, false},
      {"B forward without loop jumps", 2, 127, false, {{0, 1, 0, 0xB, 1}}, {0, 1, 64, 65}, false},
      {"B past the song ends it even with loop", 2, 127, true, {{0, 1, 0, 0xB, 9}}, {0, 1}, true},
      {"D goes to the next order's row", 2, 127, false, {{0, 0, 0, 0xD, 0x12}},
       {0, 64 + 12, 64 + 13}, false},
      {"D row above 63 is row 0", 2, 127, false, {{0, 0, 0, 0xD, 0x70}}, {0, 64, 65}, false},
      {"D at the last order with loop goes to restart", 2, 1, true,
       {{0, 1, 0, 0xD, 0x00}, {1, 0, 0, 0xD, 0x10}}, {0, 1, 64, 64 + 10, 64 + 11}, false},
      {"D at the last order without loop ends", 2, 127, false,
       {{0, 1, 0, 0xD, 0x00}, {1, 0, 0, 0xD, 0x10}}, {0, 1, 64}, true},
      {"E6 loops twice", 1, 127, false, {{0, 1, 0, 0xE, 0x60}, {0, 2, 0, 0xE, 0x62}},
       {0, 1, 2, 1, 2, 1, 2, 3}, false},
      {"E6 loop start is per track", 1, 127, false, {{0, 1, 0, 0xE, 0x60}, {0, 2, 1, 0xE, 0x61}},
       {0, 1, 2, 0, 1, 2, 3}, false},
      {"the later track's jump wins", 3, 127, false, {{0, 0, 0, 0xD, 0x05}, {0, 0, 1, 0xB, 2}},
       {0, 128, 129}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModBuilder m = oneSample();
    m.songLength = c.songLength;
    m.restart = c.restart;
    for (int i = 0; i < c.songLength; ++i) {
      m.orders[i] = static_cast<uint8_t>(i);
      m.cell(i, 0, 3, 0, 0, 0xF, 1);  // one tick a row keeps the test quick
    }
    for (const auto& cell : c.cells) m.cell(cell[0], cell[1], cell[2], 0, 0, cell[3], cell[4]);
    Player p(m, 8000, c.loop);
    std::vector<uint32_t> rows = p.rowsRead(static_cast<int>(c.rows.size()));
    EXPECT_EQ(rows, c.rows);
    if (c.stops) {
      p.frames(200);
      EXPECT_TRUE(p.c->stopped());
    } else {
      EXPECT_FALSE(p.c->stopped());
    }
  }
}

TEST(ModSequencing, SongEndsAfterLastOrderOrLoopsToRestart) {
  ModBuilder m = oneSample();
  m.songLength = 2;
  m.restart = 1;
  m.orders[1] = 1;
  m.cell(0, 0, 0, 0, 0, 0xF, 1);
  {
    Player p(m, 8000, false);
    auto rows = p.rowsRead(1000);
    EXPECT_EQ(rows.size(), 128u);
    EXPECT_TRUE(p.c->stopped());
    EXPECT_TRUE(p.c->isFree());
  }
  {
    Player p(m, 8000, true);
    auto rows = p.rowsRead(129);
    EXPECT_EQ(rows.back(), 64u);  // restart order 1
  }
  m.restart = 127;
  Player p(m, 8000, true);
  EXPECT_EQ(p.rowsRead(129).back(), 0u);
}

TEST(ModSequencing, RenderedLengthIsTheSongsLength) {
  // Two patterns of notes and effects without tempo changes: 128 rows of 967 frames at
  // 8000 Hz, the last one played whole; the song stops on the frame that would read row 129.
  std::vector<uint8_t> image = demoModule(4, 2);
  qssMusic music;
  ASSERT_EQ(music.load(image.data(), image.size(), false), 0);
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, false, 1, 8), 0);
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
  uint32_t frames = 0;
  while (!s.channel(0)->stopped() && frames < 200000) {
    s.pump(2);
    ++frames;
  }
  EXPECT_EQ(frames, 128u * 967 + 1);
}

TEST(ModSequencing, PatternDelayHoldsRows) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 0, 0, 0xE, 0xE2);
  Player p(m, 8000);
  // 8000 Hz, 50 ticks: 160 frames a tick, a row is 1 + 6 x 161 = 967 frames.
  p.frames(1);
  EXPECT_EQ(p.c->position(), 1u);
  p.frames(3 * 967 - 1);
  EXPECT_EQ(p.c->position(), 1u);
  p.frames(1);
  EXPECT_EQ(p.c->position(), 2u);
}

TEST(ModSequencing, PositionSetter) {
  ModBuilder m = oneSample();
  m.songLength = 2;
  m.orders[1] = 0;
  Player p(m);
  EXPECT_EQ(p.c->length(), 128u);
  p.c->position(64 + 5);
  EXPECT_EQ(p.c->position(), 69u);
  p.c->position(128);  // past the song: ignored
  EXPECT_EQ(p.c->position(), 69u);
}

// ---- effects, per tick ----

uint32_t stepOf(const Player& p, int period) {
  return static_cast<uint32_t>(p.speaker.stepTable[period]);
}

TEST(ModEffects, Arpeggio) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0x0, 0x37);
  Player p(m);
  auto t = p.ticks(6);
  ASSERT_EQ(t.size(), 6u);
  uint32_t base = stepOf(p, 428), up3 = stepOf(p, amiganote[0][27]), up7 = stepOf(p, amiganote[0][31]);
  std::vector<uint32_t> steps;
  for (auto& s : t) steps.push_back(s.step);
  EXPECT_EQ(steps, (std::vector<uint32_t>{base, up3, up7, base, up3, up7}));
}

TEST(ModEffects, ArpeggioStaysInsideTheRow) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 14, 0x0, 0xFF);  // column 82 + 15
  Player p(m);
  auto t = p.ticks(2);
  EXPECT_EQ(t[1].step, stepOf(p, amiganote[0][83]));
}

TEST(ModEffects, Slides) {
  struct Case {
    int period, effect, parameter;
    std::vector<int> periods;  // ticks 1..3
  };
  const Case cases[] = {
      {428, 1, 0x10, {412, 396, 380}},
      {113, 1, 0x40, {49, 13, 13}},      // not below 13
      {1616, 2, 0x40, {1680, 1712, 1712}},  // not above 1712
  };
  for (const Case& c : cases) {
    ModBuilder m = oneSample();
    m.cell(0, 0, 0, 1, c.period, c.effect, c.parameter);
    Player p(m);
    auto t = p.ticks(4);
    std::vector<int> periods;
    for (int i = 1; i < 4; ++i) {
      periods.push_back(t[i].period);
      EXPECT_EQ(t[i].step, stepOf(p, t[i].period));
    }
    EXPECT_EQ(periods, c.periods);
  }
}

TEST(ModEffects, TonePortamentoStopsAtTarget) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0, 0);
  m.cell(0, 1, 0, 0, 381, 0x3, 0x10);
  m.cell(0, 2, 0, 0, 0, 0x3, 0x00);  // continues with the remembered speed and target
  Player p(m);
  auto t = p.ticks(18);
  EXPECT_EQ(t[6].portaTarget, 381);
  std::vector<int> periods;
  for (int i = 6; i < 18; ++i) periods.push_back(t[i].period);
  EXPECT_EQ(periods, (std::vector<int>{428, 412, 396, 381, 381, 381, 381, 381, 381, 381, 381, 381}));
  EXPECT_EQ(t[9].step, stepOf(p, 381));
}

TEST(ModEffects, Vibrato) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0x4, 0x48);
  Player p(m);
  auto t = p.ticks(6);
  // Depth 8: d = 8 x sine[pos] / 128 at positions 0, 4, 8, 12, 16.
  std::vector<uint32_t> expect = {stepOf(p, 428), stepOf(p, 428), stepOf(p, 428 + 6),
                                  stepOf(p, 428 + 11), stepOf(p, 428 + 14), stepOf(p, 428 + 15)};
  std::vector<uint32_t> steps;
  for (auto& s : t) steps.push_back(s.step);
  EXPECT_EQ(steps, expect);
  EXPECT_EQ(t[5].period, 428);  // the period itself does not move
}

TEST(ModEffects, VibratoNearPeriodZeroStaysInTable) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 0, 0x4, 0xFF);  // no period yet, deep vibrato
  Player p(m);
  auto t = p.ticks(40);
  EXPECT_EQ(t.size(), 40u);
}

TEST(ModEffects, VolumeEffects) {
  struct Case {
    const char* name;
    int sampleVolume, effect, parameter;
    std::vector<int> volumes;  // ticks 0..3
  };
  const Case cases[] = {
      {"A up clamps at 64", 60, 0xA, 0x30, {60, 63, 64, 64}},
      {"A down clamps at 0", 5, 0xA, 0x03, {5, 2, 0, 0}},
      {"C80 is louder than 64", 64, 0xC, 0x50, {80, 80, 80, 80}},
      {"EA fine up", 60, 0xE, 0xA8, {64, 64, 64, 64}},
      {"EB fine down", 3, 0xE, 0xB8, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModBuilder m = oneSample();
    m.samples[0].volume = static_cast<uint8_t>(c.sampleVolume);
    m.cell(0, 0, 0, 1, 428, c.effect, c.parameter);
    Player p(m);
    auto t = p.ticks(4);
    std::vector<int> volumes, effs;
    for (auto& s : t) {
      volumes.push_back(s.volume);
      effs.push_back(s.effVolume);
    }
    EXPECT_EQ(volumes, c.volumes);
    EXPECT_EQ(effs, c.volumes);  // channel and master at 64
  }
}

TEST(ModEffects, PortamentoAndVibratoGoOnUnderAVolumeSlide) {
  ModBuilder m = oneSample();
  m.samples[0].volume = 40;
  m.cell(0, 0, 0, 1, 428, 0, 0);
  m.cell(0, 0, 1, 1, 428, 0x4, 0x48);
  m.cell(0, 1, 0, 0, 381, 0x3, 0x10);  // new target, speed 16
  m.cell(0, 2, 0, 0, 0, 0x5, 0x20);    // portamento on, volume up 2 a tick
  m.cell(0, 2, 1, 0, 0, 0x6, 0x03);    // vibrato on, volume down 3 a tick
  Player p(m);
  auto porta = p.ticks(15, 0);
  ASSERT_EQ(porta.size(), 15u);
  // Row 1 slides 428 -> 381 in 16s; row 2 (ticks 12..14) holds the target, volume + 2.
  EXPECT_EQ(porta[12].period, 381);
  EXPECT_EQ(porta[13].volume, 42);
  EXPECT_EQ(porta[14].volume, 44);
  EXPECT_EQ(porta[14].effVolume, 44);
  Player q(m);
  auto vib = q.ticks(15, 1);
  // The vibrato memory (speed 4, depth 8) runs on: positions 20, 24 on row 2's ticks.
  EXPECT_EQ(vib[13].step, static_cast<uint32_t>(q.speaker.stepTable[428 + 8 * sine[20] / 128]));
  EXPECT_EQ(vib[13].volume, 37);
  EXPECT_EQ(vib[14].volume, 34);
}

TEST(ModEffects, NoteCut) {
  for (int y : {0, 3}) {
    ModBuilder m = oneSample();
    m.cell(0, 0, 0, 1, 428, 0xE, 0xC0 | y);
    Player p(m);
    auto t = p.ticks(6);
    int silentFrom = y == 0 ? 1 : y;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i].effVolume, i < silentFrom ? 64 : 0) << y << " " << i;
  }
}

TEST(ModEffects, NoteDelayChangesPitchWithoutRestart) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0, 0);
  m.cell(0, 1, 0, 0, 214, 0xE, 0xD2);
  Player p(m);
  auto t = p.ticks(12);
  for (int i = 6; i < 9; ++i) EXPECT_EQ(t[i].period, 428) << i;
  EXPECT_EQ(t[9].period, 214);
  EXPECT_EQ(t[9].step, stepOf(p, 214));
  // Not restarted: the position went on growing across the change.
  EXPECT_GT(t[9].samplePos, t[8].samplePos);
  // A delay without a note keeps the period.
  ModBuilder n = oneSample();
  n.cell(0, 0, 0, 1, 428, 0, 0);
  n.cell(0, 1, 0, 0, 0, 0xE, 0xD1);
  Player q(n);
  auto u = q.ticks(12);
  EXPECT_EQ(u[8].period, 428);
  EXPECT_EQ(u[8].step, stepOf(q, 428));
}

TEST(ModEffects, SampleOffsetMemory) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0x9, 0x04);
  m.cell(0, 1, 0, 1, 428, 0x9, 0x00);
  Player p(m);
  auto t = p.ticks(7);
  EXPECT_EQ(t[0].sampleOffset, 1024u << 12);
  EXPECT_EQ(t[0].samplePos, (1024u << 12) + t[0].step);  // one frame mixed after the row
  EXPECT_EQ(t[6].samplePos, (1024u << 12) + t[6].step);
}

TEST(ModEffects, OutOfRangeCellsAreKeptInRange) {
  ModBuilder m = oneSample();
  m.samples[0].finetune = 0xF7;  // low 4 bits: 7
  m.samples[0].volume = 200;     // clamped to 64
  m.cell(0, 0, 0, 1, 4095, 0, 0);   // period past the table
  m.cell(0, 0, 1, 200, 428, 0, 0);  // sample number past 31
  Player p(m);
  auto t = p.ticks(1);
  EXPECT_EQ(t[0].volume, 64);
  EXPECT_EQ(t[0].noteIndex, 7 * 84 + 0);
  EXPECT_EQ(t[0].period, amiganote[7][0]);
  EXPECT_EQ(p.c->track[1].sample, 0u);
}

// ---- rendering ----

TEST(ModRender, OneTrackBytes) {
  ModBuilder m(1, "1CHN");
  m.samples[0].data = ramp(64);
  m.samples[0].repeatLength = 1;  // a one-word repeat does not loop
  m.cell(0, 0, 0, 1, 428, 0, 0);
  Player mono(m, 44100, false, false);
  const uint32_t step = ((7159090u / 856) << 12) / 44100;
  ASSERT_EQ(static_cast<uint32_t>(mono.speaker.stepTable[428]), step);
  auto v = mono.speaker.pump16(400);
  const auto& data = m.samples[0].data;
  for (uint32_t f = 0; f < 400; ++f) {
    uint32_t at = (f * step) >> 12;
    int expect = at < data.size() ? data[at] * 64 : 0;
    ASSERT_EQ(v[f], expect) << f;
  }
  // Stereo, pan 255: the even track's right share is 64 of 256.
  Player stereo(m, 44100, false, true);
  auto s = stereo.speaker.pump16(100);
  for (uint32_t f = 0; f < 100; ++f) {
    int x = data[(f * step) >> 12];
    ASSERT_EQ(s[2 * f], 2 * x * (64 - 16)) << f;
    ASSERT_EQ(s[2 * f + 1], 2 * x * 16) << f;
  }
  // 8-bit output of the same.
  Player bytes(m, 44100, false, false, 8);
  auto b = bytes.speaker.pump(50);
  for (uint32_t f = 0; f < 50; ++f) ASSERT_EQ(b[f], (data[(f * step) >> 12] * 64 >> 8) + 128);
}

TEST(ModRender, LoopingSampleWraps) {
  ModBuilder m(1, "1CHN");
  m.samples[0].data = ramp(8);
  m.samples[0].repeatStart = 2;   // bytes 4..7
  m.samples[0].repeatLength = 2;
  m.cell(0, 0, 0, 1, 113, 0, 0);  // a high note: several bytes a frame
  Player p(m, 8000, false, false);
  auto v = p.speaker.pump16(200);
  const auto& data = m.samples[0].data;
  uint32_t pos = 0, step = static_cast<uint32_t>(p.speaker.stepTable[113]);
  for (int f = 0; f < 200; ++f) {
    if (pos >= (8u << 12)) pos = (4u << 12) + (pos - (4u << 12)) % (4u << 12);
    ASSERT_EQ(v[f], data[pos >> 12] * 64) << f;
    pos += step;
  }
}

// ---- malformed modules ----

TEST(ModMalformed, MutatedAndTruncatedModulesNeverReadOutside) {
  std::vector<uint8_t> base = demoModule(4, 3);
  std::mt19937 rng(1234);
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> image = base;
    int edits = 1 + rng() % 40;
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % image.size();
      // Favour the headers, where a byte changes most.
      if (rng() % 2) at = rng() % 1084;
      image[at] = static_cast<uint8_t>(rng());
    }
    if (round % 3 == 0) image.resize(rng() % image.size());
    // An exact-size heap copy lets the sanitizers see any read past the end.
    std::vector<uint8_t> exact(image.begin(), image.end());
    qssMusic music;
    music.loop(round % 2 == 0);
    if (music.load(exact.data(), exact.size(), false) != 0) continue;
    ++loaded;
    s.stopMusics();
    if (s.playMusic(&music, QSS_ANY_CHANNEL) != 0) continue;
    s.pump(8000 * 4);  // two seconds
    s.stopMusics();
  }
  EXPECT_GT(loaded, 50);
}

TEST(ModMalformed, Table) {
  struct Case {
    const char* name;
    std::function<void(ModBuilder&)> edit;
    int result;
  };
  const Case cases[] = {
      {"orders name unstored-looking patterns", [](ModBuilder& m) { m.orders[0] = 200; }, 0},
      {"huge sample lengths", [](ModBuilder& m) { m.samples[5].data.assign(130000, 1); }, 0},
      {"loop past the sample end", [](ModBuilder& m) {
         m.samples[0].repeatStart = 60000;
         m.samples[0].repeatLength = 60000;
       }, 0},
      {"pattern break rows past 63", [](ModBuilder& m) { m.cell(0, 0, 0, 1, 428, 0xD, 0xFF); }, 0},
      {"speed and tempo extremes", [](ModBuilder& m) {
         m.cell(0, 0, 0, 1, 428, 0xF, 0xFF);
         m.cell(0, 1, 0, 1, 428, 0xF, 0x21);
       }, 0},
      {"sample number 255", [](ModBuilder& m) { m.cell(0, 0, 0, 255, 4095, 0x3, 0xFF); }, 0},
  };
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModBuilder m = oneSample();
    c.edit(m);
    auto image = m.build();
    qssMusic music;
    ASSERT_EQ(music.load(image.data(), image.size(), false), c.result);
    s.stopMusics();
    music.loop(true);
    ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
    s.pump(8000 * 4);
  }
}

TEST(ModMalformed, TinyFrequencyDoesNotDivideByZero) {
  ModBuilder m = oneSample();
  m.cell(0, 0, 0, 1, 428, 0, 0);
  auto image = m.build();
  qssMusic music;
  ASSERT_EQ(music.load(image.data(), image.size(), false), 0);
  music.speed(0);
  EXPECT_EQ(music.frequency(), 0u);
  FakeSpeaker s;
  ASSERT_EQ(s.open(8000, 16, true, 1, 8), 0);
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL), 0);
  s.pump(64);
  EXPECT_GT(s.musics[0].samplesPerTick, 0u);
  s.channel(0)->frequency(100);
  s.pump(64);
  EXPECT_GT(s.musics[0].samplesPerTick, 0u);
}

}  // namespace
