// The tune notation's compiler: what a small tune turns into, cell by cell, and the
// mistakes it reports with their line.
#include <gtest/gtest.h>

#include <stdexcept>

#include "assets/kolvo2/tune_compiler.h"
#include "sound/qssData.h"
#include "sound/qssTables.h"

namespace {

const char* const kHeader =
    "instrument lead lead 40\n"      // line 1
    "instrument kick kick 50\n"      // 2
    "drum k kick c4 48\n"            // 3
    "channel 0 melody notes @lead o4 l8\n"  // 4
    "channel 1 echo copy melody 2 50\n"     // 5
    "channel 2 beat drums\n"                // 6
    "channel 3 spare notes\n";              // 7

struct Cell {
  int sample, period, effect, param;
};

Cell At(const std::vector<uint8_t>& m, int pattern, int row, int track) {
  const uint8_t* c = m.data() + QSS_MOD_HEADER + ((pattern * 64 + row) * 4 + track) * 4;
  return Cell{(c[0] & 0xF0) | c[2] >> 4, (c[0] & 0x0F) << 8 | c[1], c[2] & 0x0F, c[3]};
}

// Period of a pitch on the lead (its root, middle C, at tracker note 24).
int LeadPeriod(int midi) { return amiganote[0][24 + midi - 60]; }

TEST(TuneCompiler, NotesRestsChordsCopiesAndDrumsLandWhereWritten) {
  const std::string tune = std::string(kHeader) +
                           "speed 5\n"
                           "restart 1\n"
                           "pattern a\n"
                           "  melody: c4 r4 [ceg]8 e16 f16:a01 &4 | g2;401 r2 | r1 | r1\n"
                           "  beat: k.K.............|................|................|...............k\n"
                           "end\n"
                           "pattern b\n"
                           "  melody: v20 c1 | d1 | e1 | f1\n"
                           "end\n"
                           "order a b a\n";
  const std::vector<uint8_t> m = k2audio::CompileTune(tune, "t");
  qssMusic music;
  ASSERT_EQ(music.load(m.data(), m.size(), false), 0);
  EXPECT_EQ(music.tracks(), 4u);
  EXPECT_EQ(music.patterns(), 2u);
  EXPECT_EQ(m[950], 3);  // song length
  EXPECT_EQ(m[951], 1);  // restart
  EXPECT_EQ(m[952], 0);
  EXPECT_EQ(m[953], 1);
  EXPECT_EQ(m[954], 0);

  // c4 on row 0 (the speed, 5, in the first free effect place: the note's own).
  const Cell c = At(m, 0, 0, 0);
  EXPECT_EQ(c.sample, 1);
  EXPECT_EQ(c.period, LeadPeriod(60));
  EXPECT_EQ(c.effect, 0xF);
  EXPECT_EQ(c.param, 5);
  // The rest fades the note out on row 4.
  EXPECT_EQ(At(m, 0, 4, 0).effect, 0xA);
  EXPECT_EQ(At(m, 0, 4, 0).param, 0x0F);
  EXPECT_EQ(At(m, 0, 4, 0).sample, 0);
  // The chord: its root with an arpeggio of 4 and 7 semitones on both of its rows.
  for (int row : {8, 9}) {
    EXPECT_EQ(At(m, 0, row, 0).effect, 0);
    EXPECT_EQ(At(m, 0, row, 0).param, 0x47);
  }
  EXPECT_EQ(At(m, 0, 8, 0).period, LeadPeriod(60));
  EXPECT_EQ(At(m, 0, 9, 0).period, 0);
  // A sixteenth, then one with an effect on its first row, tied on for a quarter.
  EXPECT_EQ(At(m, 0, 10, 0).period, LeadPeriod(64));
  EXPECT_EQ(At(m, 0, 11, 0).period, LeadPeriod(65));
  EXPECT_EQ(At(m, 0, 11, 0).effect, 0xA);
  EXPECT_EQ(At(m, 0, 11, 0).param, 0x01);
  for (int row = 12; row < 16; ++row) EXPECT_EQ(At(m, 0, row, 0).period, 0) << row;
  // A half note with vibrato on every row after its first, then a rest.
  EXPECT_EQ(At(m, 0, 16, 0).period, LeadPeriod(67));
  EXPECT_EQ(At(m, 0, 16, 0).effect, 0);
  for (int row = 17; row < 24; ++row) EXPECT_EQ(At(m, 0, row, 0).effect, 4) << row;
  EXPECT_EQ(At(m, 0, 24, 0).effect, 0xA);

  // The copy: two rows later at half the volume (the instrument's 40, or a given one).
  EXPECT_EQ(At(m, 0, 2, 1).period, LeadPeriod(60));
  EXPECT_EQ(At(m, 0, 2, 1).effect, 0xC);
  EXPECT_EQ(At(m, 0, 2, 1).param, 20);
  EXPECT_EQ(At(m, 0, 12, 1).period, LeadPeriod(64));
  EXPECT_EQ(At(m, 0, 12, 1).effect, 0xC);
  EXPECT_EQ(At(m, 0, 12, 1).param, 20);
  EXPECT_EQ(At(m, 1, 2, 1).effect, 0xC);
  EXPECT_EQ(At(m, 1, 2, 1).param, 10);
  EXPECT_EQ(At(m, 1, 0, 1).period, 0);

  // Drums: the drum's volume, more for an accent.
  EXPECT_EQ(At(m, 0, 0, 2).sample, 2);
  EXPECT_EQ(At(m, 0, 0, 2).param, 48);
  EXPECT_EQ(At(m, 0, 2, 2).param, 64);
  EXPECT_EQ(At(m, 0, 63, 2).sample, 2);
  EXPECT_EQ(At(m, 0, 1, 2).sample, 0);

  // A channel without a line stays empty; a volume goes with every note.
  for (int row = 0; row < 64; ++row) EXPECT_EQ(At(m, 1, row, 3).period, 0);
  EXPECT_EQ(At(m, 1, 16, 0).effect, 0xC);
  EXPECT_EQ(At(m, 1, 16, 0).param, 20);
}

TEST(TuneCompiler, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* text;  // after the header (line 8 on)
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"pattern a\n  melody: c1 c1 c1\nend\norder a\n", "fills 48 rows", 9},
      {"pattern a\n  melody: c1 c1 c1 c1 c16\nend\norder a\n", "runs past the end", 9},
      {"pattern a\n  melody: c4. | c1 c1 c1\nend\norder a\n", "not on a bar", 9},
      {"pattern a\n  melody: h1 c1 c1 c1\nend\norder a\n", "unexpected \"h\"", 9},
      {"pattern a\n  melody: o1 c1 c1 c1 c1\nend\norder a\n", "out of the range of lead", 9},
      {"pattern a\n  melody: [c>>c]1 c1 c1 c1\nend\norder a\n", "0 to 15 semitones", 9},
      {"pattern a\n  melody: @bass c1 c1 c1 c1\nend\norder a\n", "no instrument \"bass\"", 9},
      {"pattern a\n  melody: $riff c1 c1 c1\nend\norder a\n", "no phrase \"riff\"", 9},
      {"pattern a\n  melody: c3 c1 c1 c1\nend\norder a\n", "a length of 3", 9},
      {"pattern a\n  beat: k.z.\nend\norder a\n", "no drum \"z\"", 9},
      {"pattern a\n  drums: k\nend\norder a\n", "no channel plays \"drums\"", 9},
      {"pattern a\nend\npattern b\nend\norder a\n", "never played", 10},
      {"pattern a\nend\norder a c\n", "no pattern", 10},
      {"restart 4\npattern a\nend\norder a\n", "restart lies beyond", 11},
      {"instrument x flute 30\n", "no instrument preset \"flute\"", 8},
      {"channel 3 more notes\n", "given twice", 8},
      {"pattern a\n  melody: r1 & r1 r1 r1\nend\norder a\n", "a tie after no note", 9},
      {"pattern a\n  melody: v20 [ceg]1 r1 r1 r1\nend\norder a\n", "instrument's volume", 9},
      {"tempo 20\n", "tempo: \"20\" is not a number from 33 to 255", 8},
      {"pattern a\n  melody: l c1 c1 c1 c1\nend\norder a\n", "needs a length", 9},
      {"pattern a\n  melody: c1 \\\n c1 c1 c1 c1\nend\norder a\n", "runs past the end", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      k2audio::CompileTune(std::string(kHeader) + c.text, "tune");
      ADD_FAILURE() << "compiled";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
      EXPECT_EQ(what.rfind("tune:" + std::to_string(c.line) + ": ", 0), 0u) << what;
    }
  }
}

}  // namespace
